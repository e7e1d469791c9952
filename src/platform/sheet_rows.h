#pragma once
// The rows of a worksheet part as XML, written in order into an unnamed temporary file (memory stays
// flat in the row count) and read back when the package is written. Texts are inline strings, so
// the workbook's shared string table is left as it is.
#include <QtGlobal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class SheetRows {
public:
    SheetRows();
    ~SheetRows();
    SheetRows(const SheetRows&) = delete;
    SheetRows& operator=(const SheetRows&) = delete;

    // Rows and columns from 0, rows in order and cells of a row left to right; xf 0 is the default.
    void number(int row, int col, double value, int xf);
    void text(int row, int col, std::string_view utf8, int xf);
    void boolean(int row, int col, bool value, int xf);
    // formula without its leading "="
    void formula(int row, int col, std::string_view formula, double value, int xf);
    void blank(int row, int col, int xf);
    // The height of a row not started yet.
    void height(int row, double points);

    // Ends the last row; then size(), rewind() and read() give the XML.
    void finish();
    qint64 size() const { return size_; }
    bool rewind();
    qint64 read(char* data, qint64 n);

    // The area written, from 0; firstRow < 0 when nothing was.
    int firstRow = -1, lastRow = -1, firstCol = -1, lastCol = -1;

private:
    void start(int row, int col, int xf, const char* type);
    void openRow(int row);
    void flush();

    FILE* file_ = nullptr;
    std::string buf_;
    std::vector<std::string> colNames_;
    std::string rowText_; // the current row's number
    int row_ = -1, col_ = -1;
    int heightRow_ = -1;
    double height_ = 0;
    qint64 size_ = 0;
};

// Appends text escaped for element content: &, <, >; carriage returns as references; characters XML
// cannot carry as _xHHHH_, and a literal _xHHHH_ with its underscore escaped so it reads back as it is.
void AppendXmlText(std::string& out, std::string_view utf8);
// Escapes the underscore of every literal _xHHHH_ in a text (as _x005F_) for a writer that escapes
// only what XML itself needs, so that the text reads back as it was.
void EscapeLiteralEscapes(std::string& text);
