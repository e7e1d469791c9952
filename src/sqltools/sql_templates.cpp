#include "sql_templates.h"

#include "sql_names.h"

QStringList DefaultSqlTemplates() {
    return {QStringLiteral("SELECT * FROM <Table>"),
            QStringLiteral("SELECT TOP 1000 * FROM <Table>"),
            QStringLiteral("SELECT <Fields> FROM <Table>"),
            QStringLiteral("SELECT Count(*) AS Pocet FROM <Table>"),
            QStringLiteral("JOIN <Table> ON ???.??? = <Table>.<Field>"),
            QStringLiteral("WHERE <Table>.<Field>= ???"),
            QStringLiteral("WHERE <Table>.<Field>= N'???'"),
            QStringLiteral("WHERE <Table>.<Field> IS Null"),
            QStringLiteral("ORDER BY <Table>.<Field>"),
            QStringLiteral("GROUP BY <Table>.<Field>"),
            QStringLiteral("UPDATE <Table> SET <Field> = ??? WHERE <Field> = ???"),
            QStringLiteral("DELETE FROM <Table> WHERE <Field> = ???"),
            QStringLiteral("<Table>.<Field>, ")};
}

QString QuotedFieldList(const QStringList& fields, const Dialect& dialect) {
    QString out;
    for (const QString& f : fields) {
        if (!out.isEmpty()) out += QLatin1String(", ");
        out += f == QLatin1String("*") ? f : QuoteFieldName(f, dialect);
    }
    return out;
}

QString ExpandSqlTemplate(const QString& tmpl, const QString& table, const QStringList& fields,
                          const Dialect& dialect) {
    QString text = tmpl;
    text.replace(QLatin1String("<Table>"), QuoteTableName(table, dialect), Qt::CaseInsensitive);
    if (text.contains(QLatin1String("<Fields>"), Qt::CaseInsensitive)) {
        text.replace(QLatin1String("<Fields>"), QuotedFieldList(fields, dialect), Qt::CaseInsensitive);
        return text;
    }
    if (!text.contains(QLatin1String("<Field>"), Qt::CaseInsensitive)) return text;
    QString out;
    for (const QString& f : fields) {
        if (!out.isEmpty()) out += QLatin1Char(' ');
        QString copy = text;
        copy.replace(QLatin1String("<Field>"), f == QLatin1String("*") ? f : QuoteFieldName(f, dialect),
                     Qt::CaseInsensitive);
        out += copy;
    }
    return out;
}

QString InsertionText(const QString& text, bool lineBreak) {
    return text + (lineBreak ? QStringLiteral(" \n") : QStringLiteral(" "));
}

QStringList FilterNames(const QStringList& source, const QString& find) {
    if (find.isEmpty()) return source;
    QStringList out;
    for (const QString& name : source)
        if (name.contains(find, Qt::CaseInsensitive)) out << name;
    return out;
}
