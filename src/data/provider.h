#pragma once
// A provider executes statements for a connection: one class per kind of database behind this interface.
#include "column_store.h"
#include "dialect.h"

#include <QStringList>
#include <QVariantList>
#include <vector>

struct ColumnDesc {
    QString name;
    TFieldType type = ftWideString;
    int size = 0;
    bool required = false;
    bool readOnly = false;
    bool autoIncrement = false;
    bool key = false;
    QString baseTable, baseColumn;
};

// Receives a result set: the columns first, then rows appended straight into the returned store.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual ColumnStore& begin(const std::vector<ColumnDesc>& columns) = 0;
    // A column whose values did not fit its type was widened to one that holds them all.
    virtual void columnRetyped(size_t column, TFieldType type) = 0;
    // Called now and then while rows stream in (every progressRows() rows); false stops the fetch
    // and keeps the rows fetched so far.
    virtual bool fetchProgress(qint64 rows) { return true; }
    // How many rows go between fetchProgress calls (a forward-only reader's block).
    virtual qint64 progressRows() const;
    // The rows are handed on in blocks and dropped (a forward-only read): a client library may then
    // stream them from the server instead of holding the whole result first.
    virtual bool forwardOnly() const { return false; }
};
constexpr qint64 kFetchProgressRows = 65536;
// The block of a forward-only read: small enough that a source read ahead by another thread fills the
// next block while the reader works on one, and memory stays low.
constexpr qint64 kForwardBlockRows = 8192;
inline qint64 ResultSink::progressRows() const {
    return kFetchProgressRows;
}

// One statement parameter in storage form, typed by its field: how the write-back hands a record on.
struct CellParam {
    const CellValue* cell;
    TFieldType type;
};

class Provider {
public:
    virtual ~Provider() = default;
    virtual QString name() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool connected() const = 0;
    virtual const Dialect& dialect() const = 0;
    virtual QString defaultDatabase() const = 0;

    // Runs a statement that returns rows.
    virtual void query(const QString& sql, const QVariantList& params, ResultSink& sink) = 0;
    // Whether a statement only reads: it returns a result set and, as far as the database can tell
    // before running it, changes nothing. The statement is prepared, not run.
    virtual bool readsOnly(const QString& sql) {
        (void)sql;
        return true;
    }
    // The number of rows a statement gives, when it can be told by a pass that keeps none of them in
    // memory (and that raises the errors reading them would); -1 when it cannot.
    virtual qint64 countRows(const QString& sql) {
        (void)sql;
        return -1;
    }
    // Runs one statement; returns the rows it changed (-1 when the database cannot tell).
    virtual qint64 execute(const QString& sql, const QVariantList& params) = 0;
    // Runs one statement with parameters in storage form; returns the rows it changed. Providers that
    // can bind them directly override this; the default hands them on as variants.
    virtual qint64 executeCells(const QString& sql, const std::vector<CellParam>& params) {
        QVariantList list;
        list.reserve(qsizetype(params.size()));
        for (const CellParam& p : params)
            list << CellVariant(*p.cell, p.type);
        return execute(sql, list);
    }
    // Runs a script of several statements; returns the rows changed by all of them.
    virtual qint64 executeBatch(const QString& sql) = 0;
    // Opens a schema rowset; raises "not supported" for kinds the provider cannot answer.
    virtual void openSchema(int kind, const QVariantList& restrictions, ResultSink& sink) = 0;
    // Primary-key columns of a table, in key order (empty when it has none).
    virtual QStringList primaryKey(const QString& table) = 0;
    // The value the database generated for an auto-increment key of the last insert.
    virtual QVariant lastInsertId() = 0;

    virtual void beginTrans() = 0;
    virtual void commitTrans() = 0;
    virtual void rollbackTrans() = 0;

    int commandTimeout = 30;    // seconds
    int connectionTimeout = 15; // seconds
};
