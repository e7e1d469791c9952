#pragma once
// Every server with an ODBC driver, through the unixODBC C API. Result sets stream into the column
// store through bound column buffers fetched in blocks; catalog functions answer the schema rowsets.
#include "odbc_api.h"
#include "provider.h"

#include <QHash>
#include <functional>
#include <optional>

class OdbcProvider : public Provider {
public:
    // connectString: an ODBC connection string ("Driver={...};Server=...;" or "DSN=...").
    // dialect: the SQL dialect when the caller knows it; otherwise the driver's DBMS name decides.
    explicit OdbcProvider(const QString& connectString, std::optional<DialectKind> dialect = {});
    ~OdbcProvider() override;

    QString name() const override { return QStringLiteral("ODBC"); }
    void open() override;
    void close() override;
    bool connected() const override { return connected_; }
    const Dialect& dialect() const override { return dialect_; }
    QString defaultDatabase() const override;
    void query(const QString& sql, const QVariantList& params, ResultSink& sink) override;
    bool readsOnly(const QString& sql) override;
    qint64 execute(const QString& sql, const QVariantList& params) override;
    qint64 executeBatch(const QString& sql) override;
    void openSchema(int kind, const QVariantList& restrictions, ResultSink& sink) override;
    QStringList primaryKey(const QString& table) override;
    QVariant lastInsertId() override;
    void beginTrans() override;
    void commitTrans() override;
    void rollbackTrans() override;

    // The DBMS name the driver reports ("PostgreSQL", "Microsoft SQL Server", "SQLite").
    QString dbmsName() const { return dbms_; }
    // The names of the ODBC drivers registered with the driver manager.
    static QStringList InstalledDrivers();
    // A SQLite script as single statements (a ";" ends one only where SQLite says it is complete).
    static QStringList SplitSqliteStatements(const QString& sql);
    // The dialect a DBMS name stands for (unknown names: none).
    static std::optional<DialectKind> DialectOfDbms(const QString& dbmsName);

private:
    struct Params;
    struct Catalog;
    struct Fetch; // one result read into the store: described, bound, fetched in blocks
    void check() const;
    // A statement on the connection, or on another one of this provider (`on`).
    odbc::Handle statement(SQLHDBC on = SQL_NULL_HANDLE);
    // A second connection whose driver reads forward-only results from the server as they are fetched
    // (null when the driver has no such option, it cannot connect, or a transaction is open: the
    // second connection would not see its changes).
    SQLHDBC streamingConnection();
    // Connects dbc with the connection string under the connection's time-outs (no prompt).
    SQLRETURN connect(odbc::Handle& dbc, const QString& connectString) const;
    // Runs sql on st (prepared and bound when there are parameters); returns the SQLRETURN.
    SQLRETURN run(odbc::Handle& st, const QString& sql, const QVariantList& params, Params& buffers);
    void bind(odbc::Handle& st, const QVariantList& params, Params& buffers);
    // Sums the rows affected over every result of an executed statement.
    qint64 rowsAffected(odbc::Handle& st);
    // Reads the current result of st into the sink's store.
    void fetch(odbc::Handle& st, ResultSink& sink);
    // A catalog function's rows, read whole (the statement is closed before the next call).
    Catalog catalog(int kind, const char* function, const std::function<SQLRETURN(SQLHSTMT)>& call);
    void setAutoCommit(bool on);
    bool isMysqlBoolean(const QString& table, const QString& column);
    // The error text of a failed call, with the password of the connection string never shown.
    [[noreturn]] void fail(const odbc::Handle& h, const QString& context) const;

    QString connectString_;
    std::optional<DialectKind> dialectHint_;
    odbc::Handle env_, dbc_;
    odbc::Handle streamDbc_;
    bool streamTried_ = false, inTransaction_ = false;
    bool connected_ = false;
    Dialect dialect_{DialectKind::MSSQL};
    QString dbms_, database_;
    SQLUINTEGER getDataExtensions_ = 0;
    bool oneActiveStatement_ = false;      // the driver allows one result set at a time (TDS)
    bool utf8Narrow_ = false;              // narrow text comes as UTF-8 unchanged (MariaDB in utf8)
    QHash<QString, QStringList> keys_;     // primary keys by table, for one query's columns
    QHash<QString, QStringList> booleans_; // MySQL tinyint(1) columns by table, likewise
};
