#pragma once
// The dataset filter language, compiled once and evaluated per stored row.
//   expr := and {OR and}      and := not {AND not}      not := [NOT] prim
//   prim := '(' expr ')' | field (op value | IS [NOT] NULL)      op := = <> < > <= >= LIKE
// A field is [name] (']]' stands for ']') or a bare run up to a blank or one of ()<>='[.
// A value is 'text' ('' inside), a number, #date#, NULL or a boolean word of the filter settings.
#include <QString>
#include <memory>

class TDataSet;

// The format of dates in filter texts: the configured one, else the system's short date format with a
// four-digit year. Times follow as " H:mm:ss[.zzz]".
QString FilterDateFormat();

class FilterProgram {
public:
    struct Node;
    ~FilterProgram();
    // Raises EDatabaseError naming the position (1-based) of what does not compile.
    static std::unique_ptr<FilterProgram> compile(const QString& text, const TDataSet& ds,
                                                  bool caseInsensitive);
    bool matches(uint32_t rowId) const;

private:
    FilterProgram() = default;
    std::unique_ptr<Node> root_;
};
