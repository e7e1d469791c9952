#pragma once
// Rows in PostgreSQL's COPY text format: a title line of field names, one line per row, TAB between
// fields, NULL as \N, and backslash, TAB, CR and LF inside values escaped.
#include <cstdio>
#include <memory>

class TDataSet;

class CopyWriter {
public:
    explicit CopyWriter(std::FILE* out);
    ~CopyWriter() { flush(); }
    // Writes the visible fields of every record in view order, straight from the column store.
    void write(const TDataSet& ds);
    // The same in parts: the title line, then the records (of each block of a forward-only read).
    void writeTitles(const TDataSet& ds);
    void writeRows(const TDataSet& ds);
    void flush();

private:
    // Space for n more characters at the end of the buffer (writing out what it holds when needed);
    // the caller writes there and hands back the end with done().
    char* room(size_t n) { return len_ + n <= cap_ ? buf_.get() + len_ : makeRoom(n); }
    char* makeRoom(size_t n);
    void done(char* end) { len_ = size_t(end - buf_.get()); }
    void put(const char* p, size_t n);
    void putEscaped(const char* p, size_t n);
    std::FILE* out_;
    std::unique_ptr<char[]> buf_;
    size_t len_ = 0, cap_;
};
