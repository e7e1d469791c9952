#include "dialect.h"

QString Dialect::name() const {
    switch (kind_) {
    case DialectKind::MSSQL:
        return QStringLiteral("mssql");
    case DialectKind::SQLite:
        return QStringLiteral("sqlite");
    case DialectKind::PostgreSQL:
        return QStringLiteral("postgresql");
    case DialectKind::MySQL:
        return QStringLiteral("mysql");
    }
    return {};
}

bool Dialect::fromName(const QString& name, DialectKind& kind) {
    QString n = name.toLower();
    if (n == "mssql" || n == "sqlserver")
        kind = DialectKind::MSSQL;
    else if (n == "sqlite")
        kind = DialectKind::SQLite;
    else if (n == "postgresql" || n == "postgres" || n == "pg")
        kind = DialectKind::PostgreSQL;
    else if (n == "mysql" || n == "mariadb")
        kind = DialectKind::MySQL;
    else
        return false;
    return true;
}

QString Dialect::quoteIdentifier(const QString& name) const {
    if (kind_ == DialectKind::MSSQL) return '[' + QString(name).replace(']', QLatin1String("]]")) + ']';
    if (kind_ == DialectKind::MySQL) return '`' + QString(name).replace('`', QLatin1String("``")) + '`';
    return '"' + QString(name).replace('"', QLatin1String("\"\"")) + '"';
}

QString Dialect::selectTop(const QString& quotedTable, int n) const {
    if (kind_ == DialectKind::MSSQL) return QStringLiteral("SELECT TOP %1 * FROM %2").arg(n).arg(quotedTable);
    return QStringLiteral("SELECT * FROM %1 LIMIT %2").arg(quotedTable).arg(n);
}

QString Dialect::caseFolded(const QString& expr) const {
    return kind_ == DialectKind::SQLite ? QStringLiteral("tabulo_casefold(%1)").arg(expr)
                                        : QStringLiteral("LOWER(%1)").arg(expr);
}

QString Dialect::inParameterRows(const QStringList& exprs, int rows) const {
    if (exprs.size() == 1) {
        QString marks;
        marks.reserve(rows * 3);
        for (int i = 0; i < rows; ++i)
            marks += i ? QStringLiteral(", ?") : QStringLiteral("?");
        return QStringLiteral("%1 IN (%2)").arg(exprs.first(), marks);
    }
    if (kind_ == DialectKind::MSSQL) return QString();
    QString row = QStringLiteral("(?");
    for (qsizetype i = 1; i < exprs.size(); ++i)
        row += QStringLiteral(", ?");
    row += u')';
    QStringList list;
    list.reserve(rows);
    for (int i = 0; i < rows; ++i)
        list << row;
    // SQLite takes a list of row values only from VALUES.
    return QStringLiteral("(%1) IN (%2%3)")
        .arg(exprs.join(QStringLiteral(", ")),
             kind_ == DialectKind::SQLite ? QStringLiteral("VALUES ") : QString(),
             list.join(QStringLiteral(", ")));
}

QString Dialect::countRows(const QString& quotedTable) const {
    return QStringLiteral("SELECT Count(*) FROM %1").arg(quotedTable);
}

QString Dialect::dateTimeLiteral(const QString& isoText) const {
    switch (kind_) {
    case DialectKind::MSSQL:
        return QStringLiteral("CONVERT(DATETIME, '%1', 102)").arg(isoText);
    case DialectKind::PostgreSQL:
    case DialectKind::MySQL:
        return QStringLiteral("TIMESTAMP '%1'").arg(isoText);
    case DialectKind::SQLite:
        return QStringLiteral("'%1'").arg(isoText);
    }
    return {};
}

QString Dialect::booleanLiteral(bool v) const {
    if (kind_ == DialectKind::PostgreSQL) return v ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return v ? QStringLiteral("1") : QStringLiteral("0");
}
