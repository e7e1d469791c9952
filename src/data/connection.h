#pragma once
// The program's database connection: a connection file (ConnectionFileString(path)) or a provider string.
#include "provider.h"

#include <QStringList>
#include <memory>

class TADOQuery;

class TADOConnection {
public:
    TADOConnection();
    ~TADOConnection();

    QString ConnectionString;
    bool LoginPrompt = false;
    int CommandTimeout = 30;    // seconds
    int ConnectionTimeout = 15; // seconds

    void Open();
    void Close();
    bool Connected() const;
    void setConnected(bool on) { on ? Open() : Close(); }
    QString DefaultDatabase() const;
    // Names of the tables (and views), sorted; system tables only when asked.
    void GetTableNames(QStringList& list, bool systemTables = false);
    // Opens a schema rowset into a query (closed first).
    void OpenSchema(int kind, const QVariantList& restrictions, TADOQuery& target);
    // Runs SQL that returns no rows; returns the rows it changed.
    qint64 Execute(const QString& sql, const QVariantList& params = {});
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return inTransaction_; }

    Provider& provider() const; // raises when not connected
    const Dialect& dialect() const;

private:
    std::unique_ptr<Provider> provider_;
    bool inTransaction_ = false;
};

// Makes the provider for a connection string, reading a connection file first ("FILE NAME=").
// Raises naming the file or the unknown provider.
std::unique_ptr<Provider> CreateProvider(const QString& connectionString);
