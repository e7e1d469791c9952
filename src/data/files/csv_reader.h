#pragma once
// Delimited (RFC 4180) and fixed-width text files as tables. A folder holds one table per .csv/.txt
// file; a schema.ini beside the files may state each file's format, title row, character set and
// fixed column widths. Column types are inferred over a sample of the rows; a later value that does
// not fit turns its column into text, read again from the file, so no value is lost or changed.
#include "file_source.h"
#include "table_reader.h"
#include "value_text.h"

#include <QFile>
#include <memory>

class CsvReader {
public:
    // Raises naming the file when it cannot be read or decoded.
    CsvReader(const QString& path, const TextOptions& options);
    ~CsvReader();
    void read(ResultSink& sink, qint64 maxRows);
    // The rows read() gives, by a pass over the file that stores none; raises the errors read() would.
    qint64 count() const;
    // What detection found (after the constructor).
    const TextOptions& options() const { return opt_; }

private:
    struct Scanner;
    struct Layout {
        std::vector<ColumnDesc> cols;
        std::vector<ValueClass> classes;
        bool header = false;
    };
    void detect();
    Layout layout(bool classify) const; // classify: column types too, not only count and titles
    // Raises when the row holds values beyond the table's columns.
    void checkWidth(const Scanner& r, size_t ncols) const;
    // Lets the pages of the mapped file before upTo go: a long read stays flat in memory.
    void release(const char* upTo) const;
    std::vector<int> findFixedWidths() const;
    QString where(qint64 line) const;

    QString path_;
    TextOptions opt_;
    QFile file_;
    QByteArray whole_; // the raw bytes when the file cannot be mapped
    QByteArray decodedOwned_;
    const char* data_ = nullptr;
    const char* map_ = nullptr; // the mapped file, when it is
    size_t mapSize_ = 0;
    size_t size_ = 0;
};

// The text tables of one file or of a folder of files.
class TextFolderReader : public TableReader {
public:
    explicit TextFolderReader(const FileSource& source);
    QStringList tables() override;
    void read(const QString& table, ResultSink& sink, qint64 maxRows) override;
    qint64 count(const QString& table) override;

private:
    TextOptions optionsFor(const QString& file) const;
    std::unique_ptr<CsvReader> readerOf(const QString& table) const;
    FileSource source_;
    QString dir_;
    QStringList files_;
};
