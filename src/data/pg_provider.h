#pragma once
// PostgreSQL through libpq. Plain queries stream into the column store as COPY text, typed by a
// describe of the statement; queries with parameters or several statements come row by row.
// Write-back goes through typed parameters; schema rowsets come from pg_catalog.
#include "provider.h"

#include <QHash>
#include <QSet>

struct pg_conn;
struct pg_result;

// Where a PostgreSQL server is and who connects; read from an initialisation string.
struct PgTarget {
    QString host, port, database, user, password;
    // Server / Host / Data Source ("host:port" too), Port, Database / Initial Catalog / Location,
    // User ID / UID, Password / PWD. Raises when no server is named.
    static PgTarget FromInitString(const QString& initString);
};

class PgProvider : public Provider {
public:
    // initString: the connection's own string, kept only to hide its passwords in messages.
    PgProvider(const PgTarget& target, const QString& initString);
    ~PgProvider() override;

    QString name() const override { return QStringLiteral("PostgreSQL"); }
    void open() override;
    void close() override;
    bool connected() const override { return conn_ != nullptr; }
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

    // Whether an OLE DB provider name stands for this provider ("PostgreSQL", "PGNP.1", ...).
    static bool IsProviderName(const QString& provider);

private:
    class Result;
    struct Fetch;
    class OwnConnectionSink;
    // A new connection to the target; raises when it cannot be made.
    pg_conn* connect() const;
    // Runs a query on conn_ (query() decides which connection that is).
    void queryOn(const QString& sql, const QVariantList& params, ResultSink& sink);
    // Swaps the provider's connection with the one forward-only reads stream on.
    void swapConnections();
    void check();
    void applyTimeout();
    // Runs one statement with parameters (text "$n" marks) and returns its result; raises on failure.
    Result run(const QString& sql, const QVariantList& params);
    Result exec(const QString& sql);
    // The rows of a query without parameters: booleans, whole numbers and texts.
    std::vector<QVariantList> rowsOf(const QString& sql);
    // Streams the rows of a statement that was sent (single-row mode) or a COPY that started.
    void fetchRows(Fetch& f, ResultSink& sink);
    void cancelRunning();
    void drain();
    [[noreturn]] void fail(const pg_result* res, const QString& context) const;

    PgTarget target_;
    QString initString_;
    pg_conn* conn_ = nullptr;
    pg_conn* streamConn_ = nullptr; // forward-only reads stream on it (opened on the first)
    int streamTimeout_ = -1;        // the command time-out applied to it
    bool streamTried_ = false, streaming_ = false;
    Dialect dialect_{DialectKind::PostgreSQL};
    int appliedTimeout_ = -1;
    bool inTransaction_ = false;
    QVariant lastId_;
    bool lastInsertKnown_ = false;
    QHash<unsigned, QSet<int>> autoColumns_; // by table oid: the attribute numbers the database fills
};
