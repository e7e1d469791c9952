#pragma once
// The forms of SQL that differ between databases. The SQL Server dialect writes the program's
// classic texts; SQLite, PostgreSQL and MySQL/MariaDB get forms those databases execute.
#include <QString>
#include <QStringList>

enum class DialectKind { MSSQL, SQLite, PostgreSQL, MySQL };

class Dialect {
public:
    explicit Dialect(DialectKind kind) : kind_(kind) {}
    DialectKind kind() const { return kind_; }
    QString name() const; // "mssql", "sqlite", "postgresql", "mysql"
    static bool fromName(const QString& name, DialectKind& kind);

    // Always-quoted identifier: [a]]b], "a""b" or `a``b`.
    QString quoteIdentifier(const QString& name) const;
    // The first n rows of a table (name already quoted).
    QString selectTop(const QString& quotedTable, int n) const;
    QString countRows(const QString& quotedTable) const;
    // A date-time literal for "yyyy-mm-dd hh:nn:ss".
    QString dateTimeLiteral(const QString& isoText) const;
    QString booleanLiteral(bool v) const;
    // A text expression in the form texts are compared in without letter case: SQLite's connections of
    // this program fold as the program does; the others lower the letters by the server's rules.
    QString caseFolded(const QString& expr) const;
    // The condition that the expressions equal, together, one of `rows` rows of parameters ("?");
    // several expressions as row values. Empty when the database cannot compare row values.
    QString inParameterRows(const QStringList& exprs, int rows) const;
    bool hasIdentityInsert() const { return kind_ == DialectKind::MSSQL; }
    bool usesGoSeparator() const { return kind_ == DialectKind::MSSQL; }

private:
    DialectKind kind_;
};
