// script TABLE --type insert|update [--keys F,..] [--values F,..] [--delete-all] [--identity-insert]
//        [--add TEXT] [--dialect mssql|sqlite|postgresql|mysql]
#include "cmd_script.h"

#include "cli_args.h"
#include "connection.h"
#include "field_list.h"
#include "query.h"
#include "script_generator.h"

#include <cstdio>
#include <string>

namespace {
// Every entry as lines ending in CR LF, as the script window shows them; written in large blocks.
class StdoutSink : public SqlTextSink {
public:
    ~StdoutSink() override { flush(); }
    void add(std::string_view entry) override {
        buf_.append(entry);
        buf_ += "\r\n";
        if (buf_.size() >= (size_t(1) << 20)) flush();
    }
    void flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), stdout) != buf_.size())
            throw Exception(QStringLiteral("Cannot write the script to standard output"));
        buf_.clear();
    }

private:
    std::string buf_;
};

// The names of an option, each matched to an offered field (its spelling in the table); raises
// naming the option and the first name that is not one.
QStringList fieldNames(const QString& option, const QString& text, const QStringList& offered,
                       const TDataSet& ds, const QString& table) {
    QStringList names;
    for (const QString& part : text.split(',')) {
        const QString name = part.trimmed();
        if (name.isEmpty()) throw UsageError(("empty field name in " + option + " " + text).toStdString());
        qsizetype at = -1;
        for (qsizetype i = 0; at < 0 && i < offered.size(); ++i)
            if (offered[i].compare(name, Qt::CaseInsensitive) == 0) at = i;
        if (at < 0) {
            const bool exists = ds.FindField(name) != nullptr;
            throw Exception(
                QStringLiteral("%1: \"%2\" is %3 of table \"%4\"")
                    .arg(option, name,
                         exists ? QStringLiteral("not a field a script can hold (binary or calculated)")
                                : QStringLiteral("not a field"),
                         table));
        }
        names << offered[at];
    }
    return names;
}
} // namespace

int CmdScript(CliContext& ctx) {
    const QString table = ctx.args.positional("TABLE");
    QString type, keys, values, add, dialectName;
    if (!ctx.args.take("--type", type)) throw UsageError("script needs --type insert|update");
    const bool hasKeys = ctx.args.take("--keys", keys);
    const bool hasValues = ctx.args.take("--values", values);
    ScriptSettings settings;
    settings.generateDeleteAll = ctx.args.flag("--delete-all");
    settings.generateIdentityInsert = ctx.args.flag("--identity-insert");
    ctx.args.take("--add", settings.addAfterEach);
    const bool hasDialect = ctx.args.take("--dialect", dialectName);
    ctx.args.finish();
    if (type == "insert")
        settings.type = ScriptType::Insert;
    else if (type == "update")
        settings.type = ScriptType::Update;
    else
        throw UsageError(("--type takes insert or update, not " + type).toStdString());
    DialectKind kind = ctx.connection->dialect().kind();
    if (hasDialect && !Dialect::fromName(dialectName, kind))
        throw UsageError(
            ("--dialect takes mssql, sqlite, postgresql or mysql, not " + dialectName).toStdString());

    const Dialect& own = ctx.connection->dialect();
    const QString quoted = own.quoteIdentifier(table);
    // The fields first, from a read of no rows: a wrong selection is refused before any line is written.
    {
        TADOQuery fields(ctx.connection);
        fields.ReadOnly = true;
        fields.SQL = own.selectTop(quoted, 0);
        fields.Open();
        // The fields the window offers: plain and memo, visible or not. Every one is a value by default.
        QStringList offered;
        FieldList(fields, offered, floPlain | floMemo);
        settings.valueFields = hasValues ? fieldNames("--values", values, offered, fields, table) : offered;
        if (hasKeys) settings.keyFields = fieldNames("--keys", keys, offered, fields, table);
    }

    // The rows are written block by block as they are read, never all held.
    StdoutSink out;
    std::optional<SqlScriptWriter> script;
    TADOQuery q(ctx.connection);
    q.ReadOnly = true;
    q.SQL = QStringLiteral("SELECT * FROM %1").arg(quoted);
    q.OnBlock = [&](TDataSet& ds, bool) {
        if (!script) {
            script.emplace(ds, table, settings, Dialect(kind), out);
            script->begin();
        }
        script->records();
    };
    q.Open();
    script->end();
    out.flush();
    return 0;
}
