#pragma once
// dBase III/IV and FoxPro tables (.dbf) with their memo files (.dbt, .fpt). A folder of .dbf files
// is a source whose tables are its files. Text is decoded by the table's language driver byte, a
// .cpg file beside it, or else as UTF-8 when valid and windows-1252 otherwise.
#include "file_source.h"
#include "table_reader.h"

class DbfFolderReader : public TableReader {
public:
    explicit DbfFolderReader(const FileSource& source);
    QStringList tables() override;
    void read(const QString& table, ResultSink& sink, qint64 maxRows) override;
    std::vector<ColumnDesc> columns(const QString& table) override;

private:
    FileSource source_;
    QString dir_;
    QStringList files_;
};

// Reads one .dbf file (deleted records left out).
void ReadDbfFile(const QString& path, ResultSink& sink, qint64 maxRows);
