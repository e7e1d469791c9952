#pragma once
// Small SQLite databases and open queries over them for the sqltools tests.
#include "connection.h"
#include "query.h"
#include "test_util.h"

#include <memory>

// A database made from SQL in a temporary folder, connected.
struct SqliteFixture {
    explicit SqliteFixture(const QString& sql);
    // The rows of a table (or any SELECT when sqlOrTable starts with SELECT), in rowid order.
    std::unique_ptr<TADOQuery> open(const QString& sqlOrTable);

    TempDir dir;
    QString path;
    TADOConnection connection;
};

// The first column of a query's rows as text, read through a connection of its own.
QStringList ReadColumn(const QString& path, const QString& sql);

// Restores the shared SQL settings and the default locale after a test changed them.
struct SettingsGuard {
    SettingsGuard();
    ~SettingsGuard();

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};
