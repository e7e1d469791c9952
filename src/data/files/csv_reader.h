#pragma once
// Delimited (RFC 4180) and fixed-width text files as tables. A folder holds one table per .csv/.txt
// file; a schema.ini beside the files may state each file's format, title row, character set and
// fixed column widths. Column types are inferred over a sample of the rows; a later value that does
// not fit turns its column into text, read again from the file, so no value is lost or changed.
#include "file_source.h"
#include "table_reader.h"

#include <QFile>

class CsvReader {
public:
    // Raises naming the file when it cannot be read or decoded.
    CsvReader(const QString& path, const TextOptions& options);
    ~CsvReader();
    void read(ResultSink& sink, qint64 maxRows);
    // What detection found (after the constructor).
    const TextOptions& options() const { return opt_; }

private:
    struct Scanner;
    void detect();
    std::vector<int> findFixedWidths() const;
    QString where(qint64 line) const;

    QString path_;
    TextOptions opt_;
    QFile file_;
    QByteArray whole_; // the raw bytes when the file cannot be mapped
    QByteArray decodedOwned_;
    const char* data_ = nullptr;
    size_t size_ = 0;
};

// The text tables of one file or of a folder of files.
class TextFolderReader : public TableReader {
public:
    explicit TextFolderReader(const FileSource& source);
    QStringList tables() override;
    void read(const QString& table, ResultSink& sink, qint64 maxRows) override;

private:
    TextOptions optionsFor(const QString& file) const;
    FileSource source_;
    QString dir_;
    QStringList files_;
};
