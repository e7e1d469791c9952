#include "sqlite_rows.h"

#include <cmath>
#include <cstring>

namespace {
std::string_view textOf(sqlite3_value* v) {
    const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return {p ? p : "", size_t(sqlite3_value_bytes(v))};
}
} // namespace

std::string_view SqliteText(sqlite3_stmt* st, int i) {
    return textOf(sqlite3_column_value(st, i));
}

TFieldType SqliteValueType(int sqliteType) {
    switch (sqliteType) {
    case SQLITE_INTEGER:
        return ftLargeint;
    case SQLITE_FLOAT:
        return ftFloat;
    case SQLITE_BLOB:
        return ftBlob;
    default:
        return ftWideString;
    }
}

namespace {
// Values are read through the column's value object, once per cell: each sqlite3_column_* call would
// look the column up and check the connection again. The value is unprotected, which is safe here: the
// connection is held (and SQLite's own mutex is off).

// SQLite keeps dates as text, Julian day numbers (REAL) or Unix seconds (INTEGER).
bool dateOf(sqlite3_value* v, int vt, TFieldType type, int64_t& ms) {
    switch (vt) {
    case SQLITE_FLOAT:
        ms = dtconv::FromDays(sqlite3_value_double(v) - 2415018.5);
        return true;
    case SQLITE_INTEGER:
        ms = sqlite3_value_int64(v) * 1000 + int64_t(25569) * dtconv::kMsPerDay;
        return true;
    default:
        return dtconv::Parse(textOf(v), type, ms);
    }
}

bool boolOf(sqlite3_value* v, int vt, int64_t& out) {
    if (vt == SQLITE_INTEGER || vt == SQLITE_FLOAT) {
        out = sqlite3_value_double(v) != 0;
        return true;
    }
    std::string_view s = textOf(v);
    if (s == "1" || s == "true" || s == "TRUE" || s == "True" || s == "t")
        out = 1;
    else if (s == "0" || s == "false" || s == "FALSE" || s == "False" || s == "f")
        out = 0;
    else
        return false;
    return true;
}

// The narrowest type that holds the values of a column of type `type` and one more that did not fit
// it (of SQLite storage class vt): a whole number beside a fraction widens to float, a date with a time
// to a date-time; only values that are really text (or a blob beside numbers) make a text column.
TFieldType widerType(TFieldType type, sqlite3_value* v, int vt) {
    if (StorageOf(type) == StorageKind::Int && vt == SQLITE_FLOAT) return ftFloat;
    int64_t ms;
    if (type == ftDate && dateOf(v, vt, ftDateTime, ms)) return ftDateTime;
    return ftWideString;
}

constexpr size_t kChunkBytes = size_t(1) << 19;
} // namespace

const char* ByteChunks::keep(const char* data, size_t size) {
    if (size == 0) return data;
    if (chunks_.empty() || chunks_[current_].size - used_ < size) {
        if (!chunks_.empty()) ++current_;
        if (current_ == chunks_.size() || chunks_[current_].size < size)
            chunks_.insert(
                chunks_.begin() + std::ptrdiff_t(current_),
                Chunk{std::make_unique<char[]>(std::max(size, kChunkBytes)), std::max(size, kChunkBytes)});
        used_ = 0;
    }
    char* at = chunks_[current_].data.get() + used_;
    std::memcpy(at, data, size);
    used_ += size;
    total_ += size;
    return at;
}

void ByteChunks::clear() {
    // A chunk made for one large value is not kept.
    std::erase_if(chunks_, [](const Chunk& c) { return c.size > kChunkBytes; });
    current_ = used_ = total_ = 0;
}

bool SqliteProvider::Rows::fit(FetchedCell& c, TFieldType type, sqlite3_value* v, int vt) {
    switch (StorageOf(type)) {
    case StorageKind::Int: {
        c.kind = FetchedCell::Int;
        if (vt == SQLITE_INTEGER) {
            c.i = sqlite3_value_int64(v);
            return true;
        }
        if (vt != SQLITE_FLOAT) return false;
        const double d = sqlite3_value_double(v);
        if (std::floor(d) != d || std::fabs(d) >= 9.2e18) return false; // a fraction, or too big
        c.i = int64_t(d);
        return true;
    }
    case StorageKind::Float:
        if (vt != SQLITE_INTEGER && vt != SQLITE_FLOAT) return false;
        c.kind = FetchedCell::Float;
        c.f = sqlite3_value_double(v);
        return true;
    case StorageKind::Bool:
        c.kind = FetchedCell::Int;
        return boolOf(v, vt, c.i);
    case StorageKind::DateTime:
        c.kind = FetchedCell::Int;
        return dateOf(v, vt, type, c.i) && !(type == ftDate && c.i % dtconv::kMsPerDay);
    case StorageKind::Text:
    case StorageKind::Bytes: {
        // The bytes of either class; a value of the other class than the column's is marked so that
        // scripts and COPY text write it in its own form.
        const bool blob = vt == SQLITE_BLOB;
        const char* p = blob ? static_cast<const char*>(sqlite3_value_blob(v))
                             : reinterpret_cast<const char*>(sqlite3_value_text(v));
        c.kind = FetchedCell::Bytes;
        c.size = uint32_t(sqlite3_value_bytes(v));
        c.bytes = p ? p : "";
        c.otherClass = blob != (StorageOf(type) == StorageKind::Bytes);
        return true;
    }
    }
    return false;
}

bool SqliteProvider::Rows::convert(FetchedCell* out, ByteChunks* keep, QString& error) {
    const int n = int(types.size());
    for (int i = 0; i < n; ++i) {
        const size_t k = size_t(i);
        FetchedCell& c = out[k];
        c.widenFrom = c.widenTo = types[k];
        c.otherClass = false;
        sqlite3_value* v = sqlite3_column_value(st, i);
        const int vt = sqlite3_value_type(v);
        if (vt == SQLITE_NULL) {
            c.kind = FetchedCell::Null;
            continue;
        }
        if (undecided[k]) { // nothing but NULLs so far
            undecided[k] = false;
            types[k] = SqliteValueType(vt);
        }
        if (!fit(c, types[k], v, vt)) {
            types[k] = widerType(types[k], v, vt);
            if (!fit(c, types[k], v, vt)) {
                error = db.errorText(QStringLiteral("Column \"%1\"").arg(cols[k].name));
                return false;
            }
        }
        c.widenTo = types[k];
        if (keep && c.kind == FetchedCell::Bytes) c.bytes = keep->keep(c.bytes, c.size);
    }
    return true;
}

void AppendFetchedRow(ColumnStore& store, Column* const* columns, const FetchedCell* cells, size_t n,
                      ResultSink& sink) {
    for (size_t k = 0; k < n; ++k) {
        const FetchedCell& c = cells[k];
        if (c.widenFrom != c.widenTo) {
            WidenColumn(store, k, c.widenFrom, c.widenTo, store.rowCount());
            sink.columnRetyped(k, c.widenTo);
        }
        Column& col = *columns[k];
        switch (c.kind) {
        case FetchedCell::Null:
            col.appendNull();
            break;
        case FetchedCell::Int:
            col.appendInt(c.i);
            break;
        case FetchedCell::Float:
            col.appendFloat(c.f);
            break;
        case FetchedCell::Bytes:
            col.appendBytes(std::string_view(c.bytes, c.size), store.arena());
            if (c.otherClass) col.markOtherClass(col.size() - 1);
            break;
        }
    }
    store.commitRow();
}
