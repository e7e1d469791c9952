#include "sheet_table.h"

#include "column_store.h"
#include "value_text.h"

#include <charconv>
#include <cmath>

std::string NumberText(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

SheetCell& SheetTable::at(size_t row, size_t col) {
    if (row >= rows_.size()) rows_.resize(row + 1);
    std::vector<SheetCell>& r = rows_[row];
    if (col >= r.size()) r.resize(col + 1);
    return r[col];
}

namespace {
bool wholeNumber(double v) {
    return std::isfinite(v) && v == std::floor(v) && std::fabs(v) <= 9007199254740992.0;
}

// A cell's value in its own right, for the class a column takes.
ValueClass classOf(const SheetCell& c) {
    switch (c.kind) {
    case SheetCell::Number:
        return wholeNumber(c.num) ? ValueClass::Int : ValueClass::Float;
    case SheetCell::Text:
    case SheetCell::SharedText:
        return ValueClass::Text;
    case SheetCell::Bool:
        return ValueClass::Bool;
    case SheetCell::Date:
        return c.num == std::floor(c.num) ? ValueClass::Date : ValueClass::DateTime;
    case SheetCell::Time:
        return ValueClass::Time;
    default:
        return ValueClass::Null;
    }
}

std::string textOf(const SheetCell& c, const SheetTable& t) {
    switch (c.kind) {
    case SheetCell::Number:
        return NumberText(c.num);
    case SheetCell::Text:
    case SheetCell::SharedText:
        return std::string(t.text(c));
    case SheetCell::Bool:
        return c.num != 0 ? "TRUE" : "FALSE";
    case SheetCell::Date:
    case SheetCell::Time: {
        std::string s;
        int64_t ms = dtconv::FromDays(c.num);
        bool time = c.kind == SheetCell::Time || c.num != std::floor(c.num);
        dtconv::AppendIso(s, ms, c.kind == SheetCell::Date, time, true);
        return s;
    }
    default:
        return std::string();
    }
}
} // namespace

void SheetTable::write(ResultSink& sink, bool header, qint64 maxRows) const {
    // The used range: from the first row and column that hold a value.
    size_t first = 0, firstCol = SIZE_MAX, ncols = 0, last = 0;
    bool any = false;
    for (size_t r = 0; r < rows_.size(); ++r)
        for (size_t c = 0; c < rows_[r].size(); ++c)
            if (rows_[r][c].kind != SheetCell::Empty) {
                if (!any) first = r;
                any = true;
                last = r;
                firstCol = std::min(firstCol, c);
                ncols = std::max(ncols, c + 1);
            }
    if (!any) {
        sink.begin({});
        return;
    }
    ncols -= firstCol;
    const size_t dataStart = header ? first + 1 : first;
    auto cell = [&](size_t r, size_t c) -> const SheetCell& {
        static const SheetCell empty;
        const std::vector<SheetCell>& row = rows_[r];
        return c + firstCol < row.size() ? row[c + firstCol] : empty;
    };
    std::vector<ColumnDesc> cols(ncols);
    std::vector<ValueClass> classes(ncols, ValueClass::Null);
    std::vector<bool> wide(ncols, false);
    for (size_t r = dataStart; r <= last; ++r)
        for (size_t c = 0; c < ncols; ++c) {
            const SheetCell& x = cell(r, c);
            classes[c] = CombineClasses(classes[c], classOf(x));
            if (x.kind == SheetCell::Number && std::fabs(x.num) > 2147483647.0) wide[c] = true;
        }
    for (size_t c = 0; c < ncols; ++c) {
        QString name;
        if (header) {
            std::string t = textOf(cell(first, c), *this);
            name = QString::fromUtf8(t.data(), qsizetype(t.size())).trimmed();
        }
        if (name.isEmpty()) name = QStringLiteral("F%1").arg(c + 1);
        cols[c].name = name;
        if (classes[c] == ValueClass::Null) classes[c] = ValueClass::Text;
        cols[c].type = FieldTypeOfClass(classes[c], wide[c]);
        cols[c].readOnly = true;
    }
    ColumnStore& store = sink.begin(cols);
    qint64 rows = 0;
    for (size_t r = dataStart; r <= last && (maxRows < 0 || rows < maxRows); ++r) {
        for (size_t c = 0; c < ncols; ++c) {
            const SheetCell& x = cell(r, c);
            Column& col = store.column(c);
            if (x.kind == SheetCell::Empty || x.kind == SheetCell::Error) {
                col.appendNull();
                continue;
            }
            switch (classes[c]) {
            case ValueClass::Int:
                col.appendInt(int64_t(x.num));
                break;
            case ValueClass::Float:
                col.appendFloat(x.num);
                break;
            case ValueClass::Bool:
                col.appendInt(x.num != 0);
                break;
            case ValueClass::Date:
            case ValueClass::DateTime:
            case ValueClass::Time:
                col.appendInt(dtconv::FromDays(x.num));
                break;
            default: {
                if (x.kind == SheetCell::Text || x.kind == SheetCell::SharedText) {
                    col.appendBytes(text(x), store.arena());
                } else {
                    std::string s = textOf(x, *this);
                    col.appendBytes(s, store.arena());
                }
            }
            }
        }
        store.commitRow();
        ++rows;
        if (rows % sink.progressRows() == 0 && !sink.fetchProgress(rows)) return;
    }
}
