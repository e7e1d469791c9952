#pragma once
// Rows in PostgreSQL's COPY text format: a title line of field names, one line per row, TAB between
// fields, NULL as \N, and backslash, TAB, CR and LF inside values escaped.
#include <cstdio>
#include <string>

class TDataSet;

class CopyWriter {
public:
    explicit CopyWriter(std::FILE* out) : out_(out) {}
    ~CopyWriter() { flush(); }
    // Writes the visible fields of every record in view order, straight from the column store.
    void write(const TDataSet& ds);
    // The same in parts: the title line, then the records (of each block of a forward-only read).
    void writeTitles(const TDataSet& ds);
    void writeRows(const TDataSet& ds);
    void flush();

private:
    void put(const char* p, size_t n);
    void putEscaped(const char* p, size_t n);
    std::FILE* out_;
    std::string buf_;
};
