#pragma once
// One file source opened read-only: its tables, their columns and their rows. Each kind of file has
// its reader; the Files provider answers statements and schema rowsets through this interface.
#include "provider.h"

#include <QStringList>
#include <memory>

struct FileSource;

class TableReader {
public:
    virtual ~TableReader() = default;
    // Table names in the source's order.
    virtual QStringList tables() = 0;
    // Streams a table's rows into the sink; maxRows < 0 reads them all. The name is one of tables().
    virtual void read(const QString& table, ResultSink& sink, qint64 maxRows) = 0;
    // The rows read() would give, counted by a pass that keeps none of them and raises the errors
    // read() would; -1 when the reader cannot count without reading the rows into memory.
    virtual qint64 count(const QString& table) {
        (void)table;
        return -1;
    }
    // The columns of a table (types as a full read gives them).
    virtual std::vector<ColumnDesc> columns(const QString& table);
};

// Opens the reader for a source; raises naming the file when it is missing or not of its kind.
std::unique_ptr<TableReader> OpenTableReader(const FileSource& source);

// A sink that keeps rows in a store of its own (column lists, scratch reads).
class StoreSink : public ResultSink {
public:
    ColumnStore& begin(const std::vector<ColumnDesc>& columns) override;
    void columnRetyped(size_t column, TFieldType type) override { columns_[column].type = type; }
    std::vector<ColumnDesc> columns_;
    ColumnStore store_;
};

// "file \"x\"" and friends for messages: the file name and, where known, the row or sheet.
QString FileError(const QString& path, const QString& what);
