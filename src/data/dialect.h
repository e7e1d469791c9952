#pragma once
// The forms of SQL that differ between databases. The SQL Server dialect writes the program's
// classic texts; SQLite, PostgreSQL and MySQL/MariaDB get forms those databases execute.
#include <QString>

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
    bool hasIdentityInsert() const { return kind_ == DialectKind::MSSQL; }
    bool usesGoSeparator() const { return kind_ == DialectKind::MSSQL; }

private:
    DialectKind kind_;
};
