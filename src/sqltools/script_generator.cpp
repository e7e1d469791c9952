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

void GenerateSqlScript(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                       const Dialect& dialect, SqlTextSink& sink) {
    const bool insert = settings.type == ScriptType::Insert;
    if (!insert && settings.keyFields.isEmpty())
        throw EScriptWarning(QStringLiteral("Select at least one Key field for UPDATE script."));
    if (settings.valueFields.isEmpty())
        throw EScriptWarning(QStringLiteral("Select at least one Value field to include in script."));
    // Built before any line is written: a bad selection leaves the output empty.
    StatementBuilder builder(ds, tableName, &settings.keyFields, &settings.valueFields, insert,
                             ExpandControlCodes(settings.addAfterEach), dialect);
    const QString table = QuoteTableName(tableName, dialect);
    const bool go = dialect.usesGoSeparator();
    if (insert && settings.generateDeleteAll) {
        addLine(sink, QStringLiteral("DELETE FROM ") + table + (go ? QString() : QStringLiteral(";")));
        if (go) addLine(sink, QStringLiteral("GO"));
    }
    if (insert && settings.generateIdentityInsert) identityInsert(sink, dialect, table, "ON");
    WriteRecordStatements(ds, builder, true, sink);
    if (insert && settings.generateIdentityInsert) identityInsert(sink, dialect, table, "OFF");
}

QStringList GenerateSqlScript(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                              const Dialect& dialect) {
    QStringList lines;
    StringListSink sink(lines);
    GenerateSqlScript(ds, tableName, settings, dialect, sink);
    return lines;
}
