#include "cli_args.h"

#include "connection.h"
#include "table_list.h"

#include <limits>

namespace {
// The options that stand alone; every other "--name" takes the argument after it as its value, so a
// positional argument is found wherever the options stand.
bool isFlag(const QString& a) {
    static const QStringList flags = {"--views",        "--both",
                                      "--delete-all",   "--identity-insert",
                                      "--delimited",    "--trim",
                                      "--no-titles",    "--field-names",
                                      "--memos",        "--all-fields",
                                      "--append",       "--all-as-text",
                                      "--sums",         "--no-widths",
                                      "--checksum",     "--no-checksum",
                                      "--landscape",    "--check-only",
                                      "--update",       "--help",
                                      "--version",      "-h",
                                      "--page-numbers", "--count",
                                      "--grid",         "--fit",
                                      "--borders",      "--wrap-memos",
                                      "--freeze",       "--auto-filter",
                                      "--new-sheet"};
    return flags.contains(a);
}
bool isOption(const QString& a) {
    return a.startsWith(QLatin1String("--")) || a == QLatin1String("-h");
}
} // namespace

qsizetype PositionalIndex(const QStringList& args) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!isOption(args[i])) return i;
        if (!isFlag(args[i]) && i + 1 < args.size() && !isOption(args[i + 1])) ++i; // its value
    }
    return -1;
}

bool CliArgs::take(const QString& name, QString& value) {
    qsizetype i = args_.indexOf(name);
    if (i < 0) return false;
    if (i + 1 >= args_.size()) throw UsageError(("missing value after " + name).toStdString());
    value = args_[i + 1];
    args_.remove(i, 2);
    return true;
}

bool CliArgs::flag(const QString& name) {
    // A flag missing from the list would make the argument after it read as its value.
    if (!isFlag(name))
        throw std::logic_error(("add " + name + " to the flags in cli_args.cpp").toStdString());
    return args_.removeOne(name);
}

QString CliArgs::positional(const char* what) {
    const qsizetype i = PositionalIndex(args_);
    if (i < 0) throw UsageError(std::string("missing ") + what);
    return args_.takeAt(i);
}

void CliArgs::finish() const {
    if (!args_.isEmpty()) throw UsageError(("unexpected argument " + args_.first()).toStdString());
}

int TakeTop(CliArgs& args) {
    QString top;
    if (!args.take("--top", top)) return -1;
    bool ok;
    const qlonglong n = top.toLongLong(&ok);
    if (!ok || n < 0 || n > std::numeric_limits<int>::max())
        throw UsageError(QStringLiteral("--top %1: the number of rows must be a whole number from 0 to %2")
                             .arg(top)
                             .arg(std::numeric_limits<int>::max())
                             .toStdString());
    return int(n);
}

QString TableSelect(const TADOConnection& con, const QString& table, int top) {
    const Dialect& d = con.dialect();
    return SelectRows(TableExpression(table, QString(), QString(), QString(), d), top, d);
}
