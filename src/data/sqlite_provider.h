#pragma once
// The embedded default: SQLite through its C API.
#include "provider.h"

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
    struct Schema; // the schema rowsets (sqlite_schema.cpp)

    [[noreturn]] void fail(const QString& context) const;
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
};
