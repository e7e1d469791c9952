#include "record_statements.h"

#include "cursor_guard.h"
#include "dataset.h"
#include "sql_names.h"

namespace {
// A line of a column, SET or value part is closed once it grows past this many characters.
constexpr size_t kLineLimit = 150;
const char kContinue[] = "\r\n  ";
constexpr size_t kContinueIndent = 2; // the blanks that begin a continued line

bool listHas(const QStringList* list, const QString& name) {
    return list && list->contains(name, Qt::CaseInsensitive);
}

// Separator, item, then the line check; `line` is the length of the part's current line.
void appendItem(std::string& part, size_t& line, bool first, std::string_view item, size_t itemLength) {
    if (!first) {
        part += ", ";
        line += 2;
    }
    part += item;
    line += itemLength;
    if (line > kLineLimit) {
        part += kContinue;
        line = kContinueIndent;
    }
}

SqlCell storeCell(const Column& c, uint32_t row, const TextArena& arena) {
    SqlCell cell;
    cell.null = c.isNull(row);
    if (cell.null) return cell;
    switch (c.kind()) {
    case StorageKind::Float:
        cell.f = c.floatAt(row);
        break;
    case StorageKind::Text:
    case StorageKind::Bytes:
        cell.bytes = c.bytesAt(row, arena);
        cell.otherClass = c.isOtherClass(row);
        break;
    default:
        cell.i = c.intAt(row);
    }
    return cell;
}
} // namespace

StatementBuilder::StatementBuilder(const TDataSet& ds, const QString& tableName, const QStringList* keyFields,
                                   const QStringList* valueFields, bool insert, const QString& addText,
                                   const Dialect& dialect)
    : ds_(ds), forms_(dialect), insert_(insert) {
    for (int i = 0; i < ds.FieldCount(); ++i) {
        const TField* f = ds.Fields(i);
        if (!IsDataField(*f) || !(IsPlainField(*f) || IsMemoField(*f)) || !f->Visible || f->column() < 0)
            continue;
        const bool key = listHas(keyFields, f->FieldName);
        if (!key && valueFields && !listHas(valueFields, f->FieldName)) continue;
        if (insert && key) continue;
        std::string name = QuoteFieldName(f->FieldName, dialect).toStdString();
        items_.push_back({f, name, Utf16Length(name), key});
    }
    const std::string table = QuoteTableName(tableName, dialect).toStdString();
    if (insert) {
        std::string columns;
        size_t line = 0;
        for (const Item& it : items_)
            appendItem(columns, line, &it == &items_.front(), it.name, it.nameLength);
        head_ = "INSERT INTO " + table + " (" + columns + ") \r\nVALUES (";
    } else {
        head_ = "UPDATE " + table + " SET ";
    }
    tail_ = forms_.statementEnd() + addText.toStdString();
}

template <class CellOf> void StatementBuilder::build(const CellOf& cellOf, std::string& out) const {
    out += head_;
    size_t line = 0;
    bool first = true;
    if (insert_) {
        for (const Item& it : items_) {
            if (!first) {
                out += ", ";
                line += 2;
            }
            first = false;
            line += forms_.append(out, it.field->DataType, cellOf(*it.field));
            if (line > kLineLimit) {
                out += kContinue;
                line = kContinueIndent;
            }
        }
        out += ')';
    } else {
        where_.clear();
        for (const Item& it : items_) {
            if (it.key) {
                if (!where_.empty()) where_ += " AND ";
                where_ += it.name;
                // "= null" matches no row in any dialect.
                const SqlCell cell = cellOf(*it.field);
                if (cell.null) {
                    where_ += " IS NULL";
                    continue;
                }
                where_ += '=';
                forms_.append(where_, it.field->DataType, cell);
                continue;
            }
            if (!first) {
                out += ", ";
                line += 2;
            }
            first = false;
            out += it.name;
            out += '=';
            line += it.nameLength + 1 + forms_.append(out, it.field->DataType, cellOf(*it.field));
            if (line > kLineLimit) {
                out += kContinue;
                line = kContinueIndent;
            }
        }
        out += " \r\nWHERE ";
        out += where_;
    }
    out += tail_;
}

void StatementBuilder::appendRow(int position, std::string& out) const {
    const ColumnStore& store = ds_.store();
    const uint32_t row = ds_.rowIdAt(position);
    build([&](const TField& f) { return storeCell(store.column(size_t(f.column())), row, store.arena()); },
          out);
}

void StatementBuilder::appendCurrent(std::string& out) const {
    std::vector<QByteArray> holders;
    holders.reserve(items_.size()); // no reallocation: cells point into the holders
    build(
        [&](const TField& f) {
            holders.emplace_back();
            return CurrentCell(f, holders.back());
        },
        out);
}

void WriteRecordStatements(TDataSet& ds, const StatementBuilder& builder, bool allRecords,
                           SqlTextSink& sink) {
    std::string entry;
    if (!allRecords) {
        // Without a current record there is nothing to write (a statement of nulls would be wrong).
        if (ds.State() != dsInsert && ds.currentPosition() < 0) return;
        builder.appendCurrent(entry);
        sink.add(entry);
        return;
    }
    HourglassCursor cursor;
    ds.CheckBrowseMode();
    ds.DisableControls();
    try {
        // The rows are read by view position, so no scroll events fire per record; the dataset ends
        // on its last record as a walk from the first to the last would leave it.
        const int count = ds.RecordCount();
        for (int p = 0; p < count; ++p) {
            entry.clear();
            builder.appendRow(p, entry);
            sink.add(entry);
        }
        if (count > 0) ds.Last();
    } catch (...) {
        ds.EnableControls();
        throw;
    }
    ds.EnableControls();
}

void RecordStatements(QStringList& out, TDataSet& ds, const QString& tableName, const QStringList* keyFields,
                      const QStringList* valueFields, bool insert, bool allRecords, const QString& addText,
                      const Dialect& dialect) {
    StatementBuilder builder(ds, tableName, keyFields, valueFields, insert, addText, dialect);
    StringListSink sink(out);
    WriteRecordStatements(ds, builder, allRecords, sink);
}
