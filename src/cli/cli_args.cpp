#include "cli_args.h"

#include "connection.h"

bool CliArgs::take(const QString& name, QString& value) {
    qsizetype i = args_.indexOf(name);
    if (i < 0) return false;
    if (i + 1 >= args_.size()) throw UsageError(("missing value after " + name).toStdString());
    value = args_[i + 1];
    args_.remove(i, 2);
    return true;
}

bool CliArgs::flag(const QString& name) {
    return args_.removeOne(name);
}

QString CliArgs::positional(const char* what) {
    for (qsizetype i = 0; i < args_.size(); ++i)
        if (!args_[i].startsWith(QLatin1String("--"))) return args_.takeAt(i);
    throw UsageError(std::string("missing ") + what);
}

void CliArgs::finish() const {
    if (!args_.isEmpty()) throw UsageError(("unexpected argument " + args_.first()).toStdString());
}

int TakeTop(CliArgs& args) {
    QString top;
    if (!args.take("--top", top)) return -1;
    bool ok;
    int n = top.toInt(&ok);
    if (!ok || n < 0) throw UsageError("--top takes a whole number of rows");
    return n;
}

QString TableSelect(const TADOConnection& con, const QString& table, int top) {
    const Dialect& d = con.dialect();
    return top >= 0 ? d.selectTop(d.quoteIdentifier(table), top)
                    : QStringLiteral("SELECT * FROM %1").arg(d.quoteIdentifier(table));
}
