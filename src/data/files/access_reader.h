#pragma once
// Access databases (.mdb, .accdb) through libmdb, read-only: the user tables, their declared column
// types and their rows.
#include "file_source.h"
#include "table_reader.h"

struct _MdbHandle;

class AccessReader : public TableReader {
public:
    explicit AccessReader(const FileSource& source);
    ~AccessReader() override;
    QStringList tables() override;
    void read(const QString& table, ResultSink& sink, qint64 maxRows) override;
    std::vector<ColumnDesc> columns(const QString& table) override;

private:
    [[noreturn]] void fail(const QString& what) const;
    QString path_;
    struct Impl;
    std::unique_ptr<Impl> d_;
};
