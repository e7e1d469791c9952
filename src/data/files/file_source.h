#pragma once
// Which file a connection string names and how to read it: the Jet/ACE provider strings, the ODBC
// file-driver strings (DBQ= / DefaultDir=) and plain file paths all end here.
#include "conn_string.h"

#include <QString>
#include <optional>
#include <vector>

enum class FileKind { Access, Xls, Xlsx, Ods, Text, DBase };

// How a text file is split. Unset members are detected from the data.
struct TextOptions {
    enum class Format { Detect, Delimited, Fixed };
    Format format = Format::Detect;
    char separator = 0;         // 0: detect
    char quote = 0;             // 0: detect ('"' unless the data says otherwise)
    int header = -1;            // -1: detect, 0: no title row, 1: first row holds the titles
    QString charset;            // empty: detect (marks, UTF-8, else the 8-bit code page)
    std::vector<int> widths;    // fixed-width columns; empty: found from the blank columns
    std::vector<QString> names; // column names given by the caller (fixed width)
};

struct FileSource {
    FileKind kind = FileKind::Text;
    QString path; // a file, or for Text and dBase also a folder of files
    TextOptions text;
    int header = -1; // spreadsheets: -1 = default (titles in the first row)
};

// The file source an initialisation string names, or none when it names another provider.
// Relative paths are taken relative to baseDir. Raises for a file provider string it cannot serve
// (no data source, an unsupported kind), naming what is wrong.
std::optional<FileSource> FileSourceOf(const InitString& s, const QString& baseDir);

// A bare path to a file with one of the known extensions (".csv", ".xlsx", ".mdb", ...), or to a
// folder of text files (else of dBase tables).
std::optional<FileSource> FileSourceOfPath(const QString& path, const QString& baseDir);

// FMT= / Format=: Delimited, Delimited(x), TabDelimited, CSVDelimited, FixedLength; raises naming
// `where` for other formats.
void ApplyTextFormat(const QString& fmt, TextOptions& t, const QString& where);

// The kind a file's extension names (none for unknown extensions).
std::optional<FileKind> FileKindOfExtension(const QString& suffix);
QString FileKindName(FileKind kind);
