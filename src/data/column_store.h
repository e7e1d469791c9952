#pragma once
// Rows in memory as typed columns: one vector per column, a null bitmap, strings and bytes in an arena.
// Ten million rows of ten columns take a few times their raw size, not one heap object per cell.
#include "field_types.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Date-times are milliseconds since 1899-12-30 00:00 (the day-count epoch of date serials);
// a date is its midnight, a time is that day's moment.
namespace dtconv {
constexpr int64_t kMsPerDay = 86400000;
int64_t FromDateTime(const QDateTime& dt);
int64_t FromDate(const QDate& d);
int64_t FromTime(const QTime& t);
QDateTime ToDateTime(int64_t ms);
QDate ToDate(int64_t ms);
QTime ToTime(int64_t ms);
inline double ToDays(int64_t ms) {
    return double(ms) / double(kMsPerDay);
}
int64_t FromDays(double days);
// A moment as a field of the type keeps it: a date its midnight, a time its time of day.
inline int64_t ForType(int64_t ms, TFieldType type) {
    if (type == ftDate) return ms - ((ms % kMsPerDay) + kMsPerDay) % kMsPerDay;
    if (type == ftTime) return ((ms % kMsPerDay) + kMsPerDay) % kMsPerDay;
    return ms;
}
// Days since 1899-12-30 of a moment (floor), and the civil date of such a day count.
int64_t DaysOf(int64_t ms);
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day);
// Days since 1899-12-30 of a proleptic Gregorian date (no calendar object); ValidDate checks one.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
bool ValidDate(int64_t year, unsigned month, unsigned day);
// Appends "yyyy-mm-dd", "hh:nn:ss" or both (blank between), and ".zzz" when withMillis and the moment
// has milliseconds; no calendar object per value.
void AppendIso(std::string& out, int64_t ms, bool withDate, bool withTime, bool withMillis);
// The same written into a buffer of at least kIsoMax characters; returns its end. A loop over a column
// passes its IsoDay: values next to each other often share their day, whose text is then kept.
constexpr int kIsoMax = 48;
struct IsoDay {
    int64_t days = INT64_MIN;
    char text[kIsoMax];
    size_t size = 0;
};
char* IsoTo(char* out, int64_t ms, bool withDate, bool withTime, bool withMillis, IsoDay* lastDay = nullptr);
// "hh:nn:ss" and "yyyy-mm-dd hh:nn:ss", with ".zzz" when there are milliseconds: the form the grid shows
// and the providers write to databases that keep times as text.
QString TimeText(const QTime& t);
QString DateTimeText(const QDateTime& dt);
// A date ("yyyy-mm-dd"), time or date-time value in those forms, as the field type says.
QString TemporalText(const QVariant& v, TFieldType type);
// The same for a QDate, QTime or QDateTime value, as its own type says; an empty text for others.
QString TemporalText(const QVariant& v);
// Parses ISO-like texts ("yyyy-mm-dd", "yyyy-mm-dd hh:nn:ss[.zzz]", "hh:nn[:ss]", "yyyy-mm-ddThh:nn:ss").
bool Parse(std::string_view text, TFieldType type, int64_t& ms);
} // namespace dtconv

// Append-only byte storage in large chunks: no reallocation copies while rows stream in.
class TextArena {
public:
    uint64_t add(const char* data, size_t size);
    std::string_view get(uint64_t handle, uint32_t size) const {
        return {chunks_[handle >> 32].get() + (handle & 0xffffffffu), size};
    }
    size_t bytes() const { return total_; }
    void clear();
    // Empties the arena but keeps its standard-size chunks for the values that follow: rows read in
    // blocks then fill the same memory again instead of fresh pages the system must clear first.
    void recycle();

private:
    std::vector<std::unique_ptr<char[]>> chunks_, spare_;
    std::vector<size_t> sizes_; // of chunks_
    size_t used_ = 0, capacity_ = 0, total_ = 0;
};

// One value in the storage form of its column (see StorageKind): what a dataset's edit buffer holds
// and what the write-back binds, so a record travels from source to database without variants.
struct CellValue {
    bool null = true;
    bool otherClass = false; // a blob in a text column, a text in a blob column
    int64_t i = 0;           // Int, Bool (0 or 1), DateTime (ms)
    double f = 0;            // Float
    std::string bytes;       // Text (UTF-8), Bytes
    // Back to NULL, keeping the text's capacity for the next value.
    void clear() {
        null = true;
        otherClass = false;
        bytes.clear();
    }
    void setInt(int64_t v) {
        null = otherClass = false;
        i = v;
    }
    void setFloat(double v) {
        null = otherClass = false;
        f = v;
    }
    void setBytes(std::string_view v) {
        null = otherClass = false;
        bytes.assign(v.data(), v.size());
    }
    void swap(CellValue& o) noexcept {
        std::swap(null, o.null);
        std::swap(otherClass, o.otherClass);
        std::swap(i, o.i);
        std::swap(f, o.f);
        bytes.swap(o.bytes);
    }
};

// Converts a variant to the storage form of a field type (the rules of ConvertForStorage). Returns
// false when it cannot; `out` is then undefined.
bool ToCell(const QVariant& v, TFieldType type, CellValue& out);
// The typed variant of a cell (as ColumnStore::value gives it).
QVariant CellVariant(const CellValue& c, TFieldType type);
// Converts a cell of one field type to another's storage form, as ToCell(CellVariant(in, from), to)
// would, without the variant where the kinds allow it. Returns false when it cannot.
bool ConvertCell(const CellValue& in, TFieldType from, TFieldType to, CellValue& out);
// Whether two cells of one storage kind hold the same value.
bool SameCell(const CellValue& a, const CellValue& b, StorageKind kind);
// Appends a text as UTF-8 (no intermediate byte array for plain ASCII).
void AppendUtf8(std::string& out, QStringView s);
// Appends UTF-8 text in its case-folded form, the form texts are matched in without letter case
// (ASCII letters lowered in place, other texts through Unicode case folding).
void AppendCaseFolded(std::string& out, std::string_view utf8);

class Column {
public:
    explicit Column(StorageKind kind) : kind_(kind) {}
    StorageKind kind() const { return kind_; }
    size_t size() const { return size_; }
    void reserve(size_t n);

    bool isNull(size_t row) const { return (nulls_[row >> 6] >> (row & 63)) & 1; }
    int64_t intAt(size_t row) const { return ints_[row]; } // Int, Bool, DateTime
    double floatAt(size_t row) const { return floats_[row]; }
    std::string_view bytesAt(size_t row, const TextArena& arena) const {
        return lens_[row] ? arena.get(pos_[row], lens_[row]) : std::string_view();
    }

    void appendNull();
    // Inline: called for every value a provider reads.
    void appendInt(int64_t v) {
        grow();
        ints_.push_back(v);
    }
    void appendFloat(double v) {
        grow();
        floats_.push_back(v);
    }
    void appendBytes(std::string_view v, TextArena& arena);
    void appendCell(const CellValue& v, TextArena& arena);
    // The value at a row in storage form.
    void cellAt(size_t row, const TextArena& arena, CellValue& out) const;

    // A value of the other storage class than its column's: a blob among texts or a text among blobs
    // (SQLite keeps the class per value). Rare, so the bitmap exists only once a value is marked;
    // writing a value clears the mark.
    bool isOtherClass(size_t row) const {
        return (row >> 6) < other_.size() && ((other_[row >> 6] >> (row & 63)) & 1);
    }
    void markOtherClass(size_t row);
    // Keeps the first n values (a row cut short by a failed fetch).
    void truncate(size_t n);

    void setNull(size_t row);
    void setInt(size_t row, int64_t v);
    void setFloat(size_t row, double v);
    void setBytes(size_t row, std::string_view v, TextArena& arena);
    void setCell(size_t row, const CellValue& v, TextArena& arena);

private:
    void grow() {
        if ((size_ & 63) == 0) nulls_.push_back(0);
        ++size_;
    }
    void markNull(size_t row, bool null) {
        uint64_t bit = uint64_t(1) << (row & 63);
        nulls_[row >> 6] = null ? (nulls_[row >> 6] | bit) : (nulls_[row >> 6] & ~bit);
    }

    StorageKind kind_;
    size_t size_ = 0;
    std::vector<uint64_t> nulls_;
    std::vector<int64_t> ints_;
    std::vector<double> floats_;
    std::vector<uint64_t> pos_;
    std::vector<uint32_t> lens_;
    std::vector<uint64_t> other_;
};

class ColumnStore {
public:
    void clear();
    void addColumn(StorageKind kind) { columns_.emplace_back(kind); }
    size_t columnCount() const { return columns_.size(); }
    Column& column(size_t i) { return columns_[i]; }
    const Column& column(size_t i) const { return columns_[i]; }
    TextArena& arena() { return arena_; }
    const TextArena& arena() const { return arena_; }
    uint32_t rowCount() const { return rows_; }
    // Rows fetched into the store since it was cleared, also those a forward-only reader dropped.
    qint64 fetchedRows() const { return dropped_ + rows_; }
    // Drops every row, keeping the columns and their kinds (a forward-only reader's block is done).
    void dropRows();
    // Called after every column got one more value.
    void commitRow() { ++rows_; }
    // Drops the values of a row that was being appended when the fetch failed.
    void dropUnfinishedRow();

    // The cell as a variant typed by the field type (null: an invalid QVariant of no type).
    QVariant value(size_t col, uint32_t row, TFieldType type) const;
    // Stores a variant converted to the column's kind; throws EDatabaseError when it cannot convert.
    void setValue(size_t col, uint32_t row, const QVariant& v, TFieldType type);
    // Appends one row of values (one per column).
    void appendRow(const std::vector<QVariant>& values, const std::vector<TFieldType>& types);
    void appendRow(const std::vector<CellValue>& cells);

    size_t memoryBytes() const;

private:
    std::vector<Column> columns_;
    TextArena arena_;
    uint32_t rows_ = 0;
    qint64 dropped_ = 0;
};

// Converts a variant to the storage form of a field type. Returns false when it cannot.
bool ConvertForStorage(const QVariant& v, TFieldType type, QVariant& out);

// Rebuilds the first `rows` values of a column for a wider type (float or text; any type while they are
// all NULL), so no value is lost.
void WidenColumn(ColumnStore& store, size_t c, TFieldType oldType, TFieldType newType, uint32_t rows);
