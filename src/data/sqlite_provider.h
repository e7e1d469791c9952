#pragma once
// The embedded default: SQLite through its C API.
#include "provider.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class SqliteProvider : public Provider {
public:
    explicit SqliteProvider(const QString& path, bool readOnly = false);
    ~SqliteProvider() override;

    QString name() const override { return QStringLiteral("SQLite"); }
    void open() override;
    void close() override;
    bool connected() const override { return db_ != nullptr; }
    const Dialect& dialect() const override { return dialect_; }
    QString defaultDatabase() const override { return QStringLiteral("main"); }
    void query(const QString& sql, const QVariantList& params, ResultSink& sink) override;
    bool readsOnly(const QString& sql) override;
    qint64 execute(const QString& sql, const QVariantList& params) override;
    qint64 executeCells(const QString& sql, const std::vector<CellParam>& params) override;
    qint64 executeBatch(const QString& sql) override;
    void openSchema(int kind, const QVariantList& restrictions, ResultSink& sink) override;
    QStringList primaryKey(const QString& table) override;
    QVariant lastInsertId() override;
    void beginTrans() override;
    void commitTrans() override;
    void rollbackTrans() override;

    sqlite3* handle() const { return db_; }
    // The field type a declared column type maps to (SQLite's affinity rules plus the known names).
    static TFieldType TypeOfDeclared(const QString& declared, int* size = nullptr);

private:
    struct Schema;   // the schema rowsets (sqlite_schema.cpp)
    struct Rows;     // result rows into the column store (sqlite_rows.cpp)
    class ReadAhead; // a large result read on a thread of its own (sqlite_read_ahead.cpp)

    // Holds the connection. It is opened without SQLite's own mutex, yet the thread reading a large
    // result ahead steps it while the caller's sink runs, and the sink may use the connection too:
    // every entry point holds it, the read-ahead thread while it steps.
    class Hold {
    public:
        // A read-ahead thread takes it without asking the other one (of a result read from a sink
        // call) to let it in between rows: they take turns by batches.
        explicit Hold(const SqliteProvider& p, bool readAhead = false) : p_(p), readAhead_(readAhead) {
            lock();
        }
        ~Hold() {
            if (owned_) unlock();
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        void lock() {
            if (readAhead_) {
                p_.mutex_.lock();
            } else {
                p_.waiting_.fetch_add(1, std::memory_order_relaxed);
                p_.mutex_.lock();
                p_.waiting_.fetch_sub(1, std::memory_order_relaxed);
            }
            ++p_.depth_;
            owned_ = true;
        }
        void unlock() {
            --p_.depth_;
            owned_ = false;
            p_.mutex_.unlock();
        }
        // No other hold of this thread encloses this one.
        bool outermost() const { return p_.depth_ == 1; }

    private:
        const SqliteProvider& p_;
        const bool readAhead_;
        bool owned_ = false;
    };

    // SQLite's message for the last failure on the connection, after a context when one is given.
    QString errorText(const QString& context) const;
    [[noreturn]] void fail(const QString& context) const;
    // Appends the rows the read-ahead thread reads (count: the rows appended before them).
    void readAhead(ReadAhead& ahead, ColumnStore& store, Column* const* columns, ResultSink& sink,
                   qint64 count);
    sqlite3_stmt* prepare(const QString& sql, const QVariantList& params);
    // One statement, unbound, kept prepared for the next execute of the same text (writes repeat
    // the same INSERT or UPDATE per record). Owned by the cache.
    sqlite3_stmt* prepared(const QString& sql);
    void clearPrepared();
    void bind(sqlite3_stmt* st, const QVariantList& params);
    void bindCells(sqlite3_stmt* st, const std::vector<CellParam>& params);
    // Steps a bound statement kept prepared to its end (then resets it); returns the rows it changed.
    qint64 run(sqlite3_stmt* st);
    void check();

    QString path_;
    bool readOnly_;
    sqlite3* db_ = nullptr;
    std::vector<std::pair<QString, sqlite3_stmt*>> prepared_; // most recently used last
    std::string dateText_;                                    // texts of the date-time parameters being bound
    QString file_; // the database file as SQLite opened it, registered as open (no result written over it)
    Dialect dialect_{DialectKind::SQLite};
    mutable std::recursive_mutex mutex_;
    mutable int depth_ = 0;                // holds of the owning thread
    mutable std::atomic<int> waiting_ = 0; // threads waiting for the connection
};
