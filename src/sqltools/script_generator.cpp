#include "script_generator.h"

#include "sql_names.h"

QString ExpandControlCodes(const QString& text) {
    QString s = text;
    s.replace(QLatin1String("#13"), QStringLiteral("\r"), Qt::CaseInsensitive);
    s.replace(QLatin1String("#10"), QStringLiteral("\n"), Qt::CaseInsensitive);
    s.replace(QLatin1String("#9"), QStringLiteral("\t"), Qt::CaseInsensitive);
    return s;
}

namespace {
void addLine(SqlTextSink& sink, const QString& line) {
    sink.add(line.toStdString());
}

// SET IDENTITY_INSERT, or a comment where the database fills identity columns without being asked.
void identityInsert(SqlTextSink& sink, const Dialect& dialect, const QString& table, const char* onOff) {
    const QString statement = QStringLiteral("SET IDENTITY_INSERT %1 %2").arg(table, QLatin1String(onOff));
    if (dialect.hasIdentityInsert()) {
        addLine(sink, statement);
        addLine(sink, QStringLiteral("GO"));
    } else {
        const char* db = dialect.kind() == DialectKind::PostgreSQL ? "PostgreSQL"
                         : dialect.kind() == DialectKind::MySQL    ? "MySQL"
                                                                   : "SQLite";
        addLine(
            sink,
            QStringLiteral("-- %1: left out, %2 has no such statement").arg(statement, QLatin1String(db)));
    }
}
} // namespace

namespace {
const StatementBuilder& checkedBuilder(std::optional<StatementBuilder>& builder, TDataSet& ds,
                                       const QString& tableName, const ScriptSettings& settings,
                                       const Dialect& dialect) {
    const bool insert = settings.type == ScriptType::Insert;
    if (!insert && settings.keyFields.isEmpty())
        throw EScriptWarning(QStringLiteral("Select at least one Key field for UPDATE script."));
    if (settings.valueFields.isEmpty())
        throw EScriptWarning(QStringLiteral("Select at least one Value field to include in script."));
    return builder.emplace(ds, tableName, &settings.keyFields, &settings.valueFields, insert,
                           ExpandControlCodes(settings.addAfterEach), dialect);
}
} // namespace

// Built before any line is written: a bad selection leaves the output empty.
SqlScriptWriter::SqlScriptWriter(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                                 const Dialect& dialect, SqlTextSink& sink)
    : ds_(ds), settings_(settings), dialect_(dialect), sink_(sink),
      builder_(checkedBuilder(builderStore_, ds, tableName, settings, dialect)),
      table_(QuoteTableName(tableName, dialect)) {}

void SqlScriptWriter::begin() {
    const bool go = dialect_.usesGoSeparator();
    if (insert() && settings_.generateDeleteAll) {
        addLine(sink_, QStringLiteral("DELETE FROM ") + table_ + (go ? QString() : QStringLiteral(";")));
        if (go) addLine(sink_, QStringLiteral("GO"));
    }
    if (insert() && settings_.generateIdentityInsert) identityInsert(sink_, dialect_, table_, "ON");
}

void SqlScriptWriter::records() {
    WriteRecordStatements(ds_, builder_, true, sink_);
}

void SqlScriptWriter::end() {
    if (insert() && settings_.generateIdentityInsert) identityInsert(sink_, dialect_, table_, "OFF");
}

void GenerateSqlScript(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                       const Dialect& dialect, SqlTextSink& sink) {
    SqlScriptWriter w(ds, tableName, settings, dialect, sink);
    w.begin();
    w.records();
    w.end();
}

QStringList GenerateSqlScript(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                              const Dialect& dialect) {
    QStringList lines;
    StringListSink sink(lines);
    GenerateSqlScript(ds, tableName, settings, dialect, sink);
    return lines;
}
