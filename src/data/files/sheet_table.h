#pragma once
// A worksheet read into memory as cells, the common ground of the xlsx, ods and xls readers. The
// first used row holds the titles (unless the connection says HDR=No); column types come from all
// the data cells: numbers that are all whole give integers, date-formatted numbers dates or
// date-times, and a column of mixed kinds is text with each value written out in full.
#include "provider.h"

#include <string>
#include <vector>

struct SheetCell {
    enum Kind : uint8_t { Empty, Number, Text, SharedText, Bool, Date, Time, Error };
    Kind kind = Empty;
    double num = 0;   // Number, Bool (0/1); Date and Time: days since 1899-12-30
    uint32_t str = 0; // Text: index into SheetTable::strings; SharedText: into SheetTable::shared
};

class SheetTable {
public:
    std::vector<std::string> strings;                 // texts of this sheet's cells
    const std::vector<std::string>* shared = nullptr; // the workbook's shared strings
    uint32_t addString(std::string s) {
        strings.push_back(std::move(s));
        return uint32_t(strings.size() - 1);
    }
    std::string_view text(const SheetCell& c) const {
        return c.kind == SheetCell::SharedText ? (*shared)[c.str] : strings[c.str];
    }
    // Cells by row and column (0-based); rows and columns grow as needed.
    SheetCell& at(size_t row, size_t col);
    size_t rowCount() const { return rows_.size(); }

    // Writes the sheet into the sink: titles from the first used row when header, else F1..Fn.
    void write(ResultSink& sink, bool header, qint64 maxRows) const;

private:
    std::vector<std::vector<SheetCell>> rows_;
};

// The shortest text that reads back as the same double ("0.1", "12", "1e+300").
std::string NumberText(double v);
