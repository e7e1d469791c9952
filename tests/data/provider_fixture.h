#pragma once
// The providers the dataset behaviour table runs against. Each makes a fresh database from
// portable SQL (CREATE TABLE / INSERT that SQLite and PostgreSQL both run; turned into MariaDB's
// forms for it) and returns its connection string.
#include <QString>
#include <functional>
#include <vector>

struct ProviderFixture {
    QString name; // "sqlite", "sqlite-odbc", "postgresql-odbc", "postgresql", "mariadb-odbc"
    std::function<QString(const QString& sql)>
        create;          // runs the SQL in a new database; returns the connection string
    QString unavailable; // why it cannot run here (empty: available)
};

const std::vector<ProviderFixture>& Providers();
std::vector<QString> ProviderNames();
const ProviderFixture& ProviderByName(const QString& name);
