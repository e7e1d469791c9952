#include "column_store.h"

#include "exceptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dtconv {
namespace {
const QDate kEpoch(1899, 12, 30);
}
int64_t FromDate(const QDate& d) {
    return kEpoch.daysTo(d) * kMsPerDay;
}
int64_t FromTime(const QTime& t) {
    return t.msecsSinceStartOfDay();
}
int64_t FromDateTime(const QDateTime& dt) {
    return FromDate(dt.date()) + FromTime(dt.time());
}
QDate ToDate(int64_t ms) {
    int64_t days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    return kEpoch.addDays(days);
}
QTime ToTime(int64_t ms) {
    int64_t r = ms % kMsPerDay;
    if (r < 0) r += kMsPerDay;
    return QTime::fromMSecsSinceStartOfDay(int(r));
}
QDateTime ToDateTime(int64_t ms) {
    return QDateTime(ToDate(ms), ToTime(ms));
}
int64_t DaysOf(int64_t ms) {
    return ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
}

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    // Shifted from 1970-01-01 to 1899-12-30.
    const int64_t y = year - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468 + 25569;
}

bool ValidDate(int64_t year, unsigned month, unsigned day) {
    static const unsigned char kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year == 0 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return day <= kDays[month - 1] + unsigned(month == 2 && leap);
}

void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d) {
    int64_t z = days - 25569 + 719468; // 1899-12-30 -> 1970-01-01 -> 0000-03-01
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
}

// Writes v with at least `width` digits (zeros in front).
static char* digitsTo(char* out, int64_t v, int width) {
    if (v < 0) {
        *out++ = '-';
        v = -v;
    }
    if (v < 100 && width == 2) { // month, day, hours, minutes, seconds
        out[0] = char('0' + v / 10);
        out[1] = char('0' + v % 10);
        return out + 2;
    }
    if (v < 10000 && width <= 4) { // every part of a usual date or time
        char* p = out + std::max(width, v >= 1000 ? 4 : v >= 100 ? 3 : v >= 10 ? 2 : 1);
        char* end = p;
        do {
            *--p = char('0' + v % 10);
            v /= 10;
        } while (p > out);
        return end;
    }
    char buf[24];
    char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    for (int pad = width - int(end - buf); pad > 0; --pad)
        *out++ = '0';
    std::memcpy(out, buf, size_t(end - buf));
    return out + (end - buf);
}

char* IsoTo(char* out, int64_t ms, bool withDate, bool withTime, bool withMillis, IsoDay* lastDay) {
    int64_t days = DaysOf(ms);
    int64_t inDay = ms - days * kMsPerDay;
    if (withDate) {
        IsoDay own;
        IsoDay& day = lastDay ? *lastDay : own;
        if (days != day.days) {
            int64_t y;
            unsigned m, d;
            CivilFromDays(days, y, m, d);
            char* p = digitsTo(day.text, y, 4);
            *p++ = '-';
            p = digitsTo(p, m, 2);
            *p++ = '-';
            p = digitsTo(p, d, 2);
            day.size = size_t(p - day.text);
            day.days = days;
        }
        std::memcpy(out, day.text, day.size);
        out += day.size;
        if (withTime) *out++ = ' ';
    }
    if (withTime) {
        int64_t s = inDay / 1000;
        out = digitsTo(out, s / 3600, 2);
        *out++ = ':';
        out = digitsTo(out, s / 60 % 60, 2);
        *out++ = ':';
        out = digitsTo(out, s % 60, 2);
        if (withMillis && inDay % 1000) {
            *out++ = '.';
            out = digitsTo(out, inDay % 1000, 3);
        }
    }
    return out;
}

void AppendIso(std::string& out, int64_t ms, bool withDate, bool withTime, bool withMillis) {
    char buf[kIsoMax];
    out.append(buf, IsoTo(buf, ms, withDate, withTime, withMillis));
}

QString TimeText(const QTime& t) {
    return t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
}
QString DateTimeText(const QDateTime& dt) {
    return dt.date().toString(Qt::ISODate) + ' ' + TimeText(dt.time());
}
QString TemporalText(const QVariant& v, TFieldType type) {
    if (type == ftDate) return v.toDate().toString(Qt::ISODate);
    if (type == ftTime) return TimeText(v.toTime());
    return DateTimeText(v.toDateTime());
}
QString TemporalText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QDate:
        return TemporalText(v, ftDate);
    case QMetaType::QTime:
        return TemporalText(v, ftTime);
    case QMetaType::QDateTime:
        return TemporalText(v, ftDateTime);
    default:
        return QString();
    }
}

int64_t FromDays(double days) {
    return int64_t(std::llround(days * double(kMsPerDay)));
}

static bool num(std::string_view s, size_t& i, int digits, int& out) {
    if (i + digits > s.size()) return false;
    int v = 0;
    for (int k = 0; k < digits; ++k) {
        char c = s[i + k];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    i += digits;
    out = v;
    return true;
}

static bool parseTime(std::string_view s, size_t& i, int64_t& ms) {
    int h, m, sec = 0, milli = 0;
    if (!num(s, i, 2, h) || i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!num(s, i, 2, m)) return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!num(s, i, 2, sec)) return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int frac = 0, digits = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (digits < 3) frac = frac * 10 + (s[i] - '0'), ++digits;
                ++i;
            }
            while (digits < 3)
                frac *= 10, ++digits;
            milli = frac;
        }
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    ms = ((int64_t(h) * 60 + m) * 60 + sec) * 1000 + milli;
    return true;
}

bool Parse(std::string_view s, TFieldType type, int64_t& ms) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    size_t i = 0;
    int y, mo, d;
    if (s.size() >= 10 && s[4] == '-') {
        if (!num(s, i, 4, y) || s[i++] != '-' || !num(s, i, 2, mo) || s[i++] != '-' || !num(s, i, 2, d))
            return false;
        // Straight from the digits: a calendar object per value costs more than the rest of the parse.
        if (!ValidDate(y, unsigned(mo), unsigned(d))) return false;
        ms = DaysFromCivil(y, unsigned(mo), unsigned(d)) * kMsPerDay;
        if (i == s.size()) return true;
        if (s[i] != ' ' && s[i] != 'T') return false;
        ++i;
        int64_t t;
        if (!parseTime(s, i, t)) return false;
        // Time-zone suffixes ("Z", "+01:00") are ignored: values are shown as stored.
        ms += t;
        return true;
    }
    int64_t t;
    if (!parseTime(s, i, t)) return false;
    ms = t;
    (void)type;
    return i == s.size() || s[i] == 'Z' || s[i] == '+' || s[i] == '-';
}
} // namespace dtconv

namespace {
constexpr size_t kChunk = size_t(4) << 20;
}

uint64_t TextArena::add(const char* data, size_t size) {
    if (size > capacity_ - used_ || chunks_.empty()) {
        size_t cap = size > kChunk / 4 ? size : kChunk;
        if (size > 0xffffffffu) throw EDatabaseError(QStringLiteral("Value too large"));
        if (cap == kChunk && !spare_.empty()) {
            chunks_.push_back(std::move(spare_.back()));
            spare_.pop_back();
        } else {
            chunks_.emplace_back(new char[cap]);
        }
        sizes_.push_back(cap);
        used_ = 0;
        capacity_ = cap;
    }
    uint64_t handle = (uint64_t(chunks_.size() - 1) << 32) | used_;
    std::memcpy(chunks_.back().get() + used_, data, size);
    used_ += size;
    total_ += size;
    // A value that got a chunk of its own closes it, so small values keep filling big chunks.
    if (capacity_ == size && size != kChunk) used_ = capacity_;
    return handle;
}

void TextArena::clear() {
    chunks_.clear();
    sizes_.clear();
    spare_.clear();
    used_ = capacity_ = total_ = 0;
}

void TextArena::recycle() {
    // Chunks of one large value have their own size: those go.
    for (size_t i = 0; i < chunks_.size(); ++i)
        if (sizes_[i] == kChunk) spare_.push_back(std::move(chunks_[i]));
    chunks_.clear();
    sizes_.clear();
    used_ = capacity_ = total_ = 0;
}

void Column::reserve(size_t n) {
    nulls_.reserve((n + 63) / 64);
    switch (kind_) {
    case StorageKind::Float:
        floats_.reserve(n);
        break;
    case StorageKind::Text:
    case StorageKind::Bytes:
        pos_.reserve(n);
        lens_.reserve(n);
        break;
    default:
        ints_.reserve(n);
    }
}

void Column::appendNull() {
    size_t row = size_;
    grow();
    markNull(row, true);
    switch (kind_) {
    case StorageKind::Float:
        floats_.push_back(0);
        break;
    case StorageKind::Text:
    case StorageKind::Bytes:
        pos_.push_back(0);
        lens_.push_back(0);
        break;
    default:
        ints_.push_back(0);
    }
}

void Column::appendBytes(std::string_view v, TextArena& arena) {
    grow();
    pos_.push_back(v.empty() ? 0 : arena.add(v.data(), v.size()));
    lens_.push_back(uint32_t(v.size()));
}

void Column::appendCell(const CellValue& v, TextArena& arena) {
    if (v.null) {
        appendNull();
        return;
    }
    switch (kind_) {
    case StorageKind::Float:
        appendFloat(v.f);
        break;
    case StorageKind::Text:
    case StorageKind::Bytes:
        appendBytes(v.bytes, arena);
        break;
    default:
        appendInt(v.i);
    }
    if (v.otherClass) markOtherClass(size_ - 1);
}

void Column::cellAt(size_t row, const TextArena& arena, CellValue& out) const {
    if (isNull(row)) {
        out.clear();
        return;
    }
    out.null = false;
    out.otherClass = isOtherClass(row);
    switch (kind_) {
    case StorageKind::Float:
        out.f = floats_[row];
        break;
    case StorageKind::Text:
    case StorageKind::Bytes: {
        const std::string_view b = bytesAt(row, arena);
        out.bytes.assign(b.data(), b.size());
        break;
    }
    default:
        out.i = ints_[row];
    }
}

void Column::setCell(size_t row, const CellValue& v, TextArena& arena) {
    if (v.null) {
        setNull(row);
        return;
    }
    switch (kind_) {
    case StorageKind::Float:
        setFloat(row, v.f);
        break;
    case StorageKind::Text:
    case StorageKind::Bytes:
        setBytes(row, v.bytes, arena);
        if (v.otherClass) markOtherClass(row);
        break;
    default:
        setInt(row, v.i);
    }
}

void Column::markOtherClass(size_t row) {
    if ((row >> 6) >= other_.size()) other_.resize((size_ + 63) / 64);
    other_[row >> 6] |= uint64_t(1) << (row & 63);
}

void Column::truncate(size_t n) {
    if (n >= size_) return;
    size_ = n;
    nulls_.resize((n + 63) / 64);
    // Appends rely on the bits past the end being clear.
    const uint64_t keep = (n & 63) ? (uint64_t(1) << (n & 63)) - 1 : ~uint64_t(0);
    if (!nulls_.empty()) nulls_.back() &= keep;
    if (other_.size() > nulls_.size()) other_.resize(nulls_.size());
    if (!other_.empty() && other_.size() == nulls_.size()) other_.back() &= keep;
    switch (kind_) {
    case StorageKind::Float:
        floats_.resize(n);
        break;
    case StorageKind::Text:
    case StorageKind::Bytes:
        pos_.resize(n);
        lens_.resize(n);
        break;
    default:
        ints_.resize(n);
    }
}

void Column::setNull(size_t row) {
    markNull(row, true);
    if ((row >> 6) < other_.size()) other_[row >> 6] &= ~(uint64_t(1) << (row & 63));
}
void Column::setInt(size_t row, int64_t v) {
    markNull(row, false);
    ints_[row] = v;
}
void Column::setFloat(size_t row, double v) {
    markNull(row, false);
    floats_[row] = v;
}
void Column::setBytes(size_t row, std::string_view v, TextArena& arena) {
    markNull(row, false);
    if ((row >> 6) < other_.size()) other_[row >> 6] &= ~(uint64_t(1) << (row & 63));
    // The old bytes stay in the arena until the dataset is reloaded; edits are rare next to loads.
    pos_[row] = v.empty() ? 0 : arena.add(v.data(), v.size());
    lens_[row] = uint32_t(v.size());
}

void ColumnStore::clear() {
    columns_.clear();
    arena_.clear();
    rows_ = 0;
    dropped_ = 0;
}

void ColumnStore::dropRows() {
    for (Column& c : columns_)
        c.truncate(0);
    arena_.recycle();
    dropped_ += rows_;
    rows_ = 0;
}

void ColumnStore::dropUnfinishedRow() {
    for (Column& c : columns_)
        c.truncate(rows_);
}

namespace {
// The typed variant of a stored value; one rule for the column store and the edit buffer.
QVariant TypedVariant(StorageKind kind, TFieldType type, int64_t i, double f, std::string_view bytes,
                      bool otherClass) {
    switch (kind) {
    case StorageKind::Int:
        return QVariant(qlonglong(i));
    case StorageKind::Float:
        return QVariant(f);
    case StorageKind::Bool:
        return QVariant(i != 0);
    case StorageKind::DateTime:
        if (type == ftDate) return QVariant(dtconv::ToDate(i));
        if (type == ftTime) return QVariant(dtconv::ToTime(i));
        return QVariant(dtconv::ToDateTime(i));
    case StorageKind::Text:
        if (otherClass) return QVariant(QByteArray(bytes.data(), qsizetype(bytes.size()))); // a blob
        return QVariant(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    case StorageKind::Bytes:
        return QVariant(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    return QVariant();
}
} // namespace

QVariant ColumnStore::value(size_t col, uint32_t row, TFieldType type) const {
    const Column& c = columns_[col];
    if (c.isNull(row)) return QVariant();
    switch (c.kind()) {
    case StorageKind::Float:
        return QVariant(c.floatAt(row));
    case StorageKind::Text:
    case StorageKind::Bytes:
        return TypedVariant(c.kind(), type, 0, 0, c.bytesAt(row, arena_), c.isOtherClass(row));
    default:
        return TypedVariant(c.kind(), type, c.intAt(row), 0, {}, false);
    }
}

QVariant CellVariant(const CellValue& c, TFieldType type) {
    if (c.null) return QVariant();
    return TypedVariant(StorageOf(type), type, c.i, c.f, c.bytes, c.otherClass);
}

void AppendUtf8(std::string& out, QStringView s) {
    const char16_t* p = s.utf16();
    const size_t n = size_t(s.size());
    size_t k = 0;
    while (k < n && p[k] < 0x80)
        ++k;
    if (k == n) {
        const size_t start = out.size();
        out.resize(start + n);
        for (size_t i = 0; i < n; ++i)
            out[start + i] = char(p[i]);
        return;
    }
    const QByteArray u = s.toUtf8();
    out.append(u.constData(), size_t(u.size()));
}

void AppendCaseFolded(std::string& out, std::string_view utf8) {
    bool ascii = true;
    for (char ch : utf8)
        ascii = ascii && (unsigned char)ch < 0x80;
    if (ascii) {
        const size_t start = out.size();
        out.resize(start + utf8.size());
        for (size_t i = 0; i < utf8.size(); ++i) {
            const char ch = utf8[i];
            out[start + i] = (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch;
        }
        return;
    }
    const QByteArray folded = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toCaseFolded().toUtf8();
    out.append(folded.constData(), size_t(folded.size()));
}

bool ToCell(const QVariant& v, TFieldType type, CellValue& out) {
    if (!v.isValid() || v.isNull()) {
        out.clear();
        return true;
    }
    out.null = false;
    out.otherClass = false;
    bool ok = true;
    switch (StorageOf(type)) {
    case StorageKind::Int: {
        qlonglong i;
        if (v.typeId() == QMetaType::Double) {
            double d = v.toDouble();
            ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18;
            i = qlonglong(d);
        } else if (v.typeId() == QMetaType::Bool) {
            i = v.toBool();
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            i = v.toLongLong();
        } else {
            i = v.toString().trimmed().toLongLong(&ok);
            if (!ok) {
                double d = v.toString().trimmed().toDouble(&ok);
                ok = ok && d == std::floor(d) && std::fabs(d) < 9.2e18;
                i = qlonglong(d);
            }
        }
        out.i = i;
        return ok;
    }
    case StorageKind::Float:
        out.f = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
        return ok;
    case StorageKind::Bool: {
        if (v.typeId() == QMetaType::QString) {
            QString s = v.toString().trimmed().toLower();
            if (s == "true" || s == "1" || s == "yes" || s == "t" || s == "y")
                out.i = 1;
            else if (s == "false" || s == "0" || s == "no" || s == "f" || s == "n")
                out.i = 0;
            else
                return false;
            return true;
        }
        out.i = v.toBool() ? 1 : 0;
        return true;
    }
    case StorageKind::DateTime: {
        int64_t ms;
        switch (v.typeId()) {
        case QMetaType::QDateTime:
            ms = dtconv::FromDateTime(v.toDateTime());
            break;
        case QMetaType::QDate:
            ms = dtconv::FromDate(v.toDate());
            break;
        case QMetaType::QTime:
            ms = dtconv::FromTime(v.toTime());
            break;
        case QMetaType::Double:
        case QMetaType::Int:
        case QMetaType::LongLong:
            ms = dtconv::FromDays(v.toDouble());
            break;
        default: {
            QByteArray u = v.toString().trimmed().toUtf8();
            if (!dtconv::Parse(std::string_view(u.constData(), size_t(u.size())), type, ms)) return false;
        }
        }
        out.i = dtconv::ForType(ms, type);
        return true;
    }
    case StorageKind::Text:
        out.bytes.clear();
        AppendUtf8(out.bytes, v.toString());
        return true;
    case StorageKind::Bytes:
        if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            out.bytes.assign(b.constData(), size_t(b.size()));
        } else {
            out.bytes.clear();
            AppendUtf8(out.bytes, v.toString());
        }
        return true;
    }
    return false;
}

namespace {
bool AsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A stored text as a number or date straight from its bytes, for the plain forms ([-]digits,
// [-]digits[.digits][e[+-]digits], the date parser's forms). False leaves anything else (non-ASCII,
// a sign '+', "inf", "1.0" into a whole number, a bad date) to the variant conversion, which decides
// those, and reports failures, as it always has.
bool TextToCell(std::string_view s, TFieldType to, CellValue& out) {
    for (char c : s)
        if ((unsigned char)c >= 0x80) return false;
    while (!s.empty() && AsciiSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && AsciiSpace(s.back()))
        s.remove_suffix(1);
    switch (StorageOf(to)) {
    case StorageKind::Int: {
        const size_t digits = s.size() - (!s.empty() && s[0] == '-');
        if (digits == 0 || digits > 18) return false;
        for (size_t k = s.size() - digits; k < s.size(); ++k)
            if (s[k] < '0' || s[k] > '9') return false;
        int64_t v = 0;
        for (size_t k = s.size() - digits; k < s.size(); ++k)
            v = v * 10 + (s[k] - '0');
        out.setInt(s[0] == '-' ? -v : v);
        return true;
    }
    case StorageKind::Float: {
        size_t k = !s.empty() && s[0] == '-';
        const auto run = [&] {
            const size_t start = k;
            while (k < s.size() && s[k] >= '0' && s[k] <= '9')
                ++k;
            return k - start;
        };
        size_t mantissa = run();
        if (k < s.size() && s[k] == '.') {
            ++k;
            mantissa += run();
        }
        if (mantissa == 0) return false;
        if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
            ++k;
            if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
            if (run() == 0) return false;
        }
        if (k != s.size()) return false;
        double d;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), d);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(d)) return false;
        out.setFloat(d);
        return true;
    }
    case StorageKind::DateTime: {
        int64_t ms;
        if (!dtconv::Parse(s, to, ms)) return false; // the variant path reports it the same way
        out.setInt(dtconv::ForType(ms, to));
        return true;
    }
    default:
        return false;
    }
}
} // namespace

bool ConvertCell(const CellValue& in, TFieldType from, TFieldType to, CellValue& out) {
    if (in.null) {
        out.clear();
        return true;
    }
    const StorageKind kf = StorageOf(from), kt = StorageOf(to);
    if (!in.otherClass) {
        if (kf == kt) {
            out.null = false;
            out.otherClass = false;
            switch (kt) {
            case StorageKind::Float:
                out.f = in.f;
                return true;
            case StorageKind::Text:
            case StorageKind::Bytes:
                out.bytes = in.bytes;
                return true;
            case StorageKind::DateTime:
                out.i = dtconv::ForType(dtconv::ForType(in.i, from), to);
                return true;
            default:
                out.i = in.i;
                return true;
            }
        }
        if (kf == StorageKind::Int && kt == StorageKind::Float) {
            out.setFloat(double(in.i));
            return true;
        }
        if (kf == StorageKind::Float && kt == StorageKind::Int) {
            const double d = in.f;
            out.setInt(int64_t(d));
            return std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18;
        }
        if (kf == StorageKind::Text) {
            if (TextToCell(in.bytes, to, out)) return true;
        }
    }
    return ToCell(CellVariant(in, from), to, out);
}

bool SameCell(const CellValue& a, const CellValue& b, StorageKind kind) {
    if (a.null || b.null) return a.null == b.null;
    switch (kind) {
    case StorageKind::Float:
        return a.f == b.f;
    case StorageKind::Text:
    case StorageKind::Bytes:
        return a.otherClass == b.otherClass && a.bytes == b.bytes;
    default:
        return a.i == b.i;
    }
}

bool ConvertForStorage(const QVariant& v, TFieldType type, QVariant& out) {
    if (!v.isValid() || v.isNull()) {
        out = QVariant();
        return true;
    }
    switch (StorageOf(type)) {
    case StorageKind::Text:
        out = v.toString();
        return true;
    case StorageKind::Bytes:
        out = v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
        return true;
    default:
        break;
    }
    CellValue c;
    if (!ToCell(v, type, c)) return false;
    switch (StorageOf(type)) {
    case StorageKind::Float:
        out = c.f;
        break;
    case StorageKind::Bool:
        out = c.i != 0;
        break;
    default:
        out = qlonglong(c.i);
    }
    return true;
}

void ColumnStore::setValue(size_t col, uint32_t row, const QVariant& v, TFieldType type) {
    QVariant s;
    if (!ConvertForStorage(v, type, s))
        throw EDatabaseError(
            QStringLiteral("'%1' is not a valid %2 value").arg(v.toString(), FieldTypeName(type)));
    Column& c = columns_[col];
    if (!s.isValid()) {
        c.setNull(row);
        return;
    }
    switch (c.kind()) {
    case StorageKind::Int:
    case StorageKind::DateTime:
        c.setInt(row, s.toLongLong());
        break;
    case StorageKind::Bool:
        c.setInt(row, s.toBool() ? 1 : 0);
        break;
    case StorageKind::Float:
        c.setFloat(row, s.toDouble());
        break;
    case StorageKind::Text: {
        QByteArray u = s.toString().toUtf8();
        c.setBytes(row, std::string_view(u.constData(), size_t(u.size())), arena_);
        break;
    }
    case StorageKind::Bytes: {
        QByteArray b = s.toByteArray();
        c.setBytes(row, std::string_view(b.constData(), size_t(b.size())), arena_);
        break;
    }
    }
}

void ColumnStore::appendRow(const std::vector<QVariant>& values, const std::vector<TFieldType>& types) {
    for (size_t i = 0; i < columns_.size(); ++i) {
        Column& c = columns_[i];
        // Append a null first, then set: one conversion path for loads and edits.
        c.appendNull();
        setValue(i, rows_, i < values.size() ? values[i] : QVariant(), types[i]);
    }
    ++rows_;
}

void ColumnStore::appendRow(const std::vector<CellValue>& cells) {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (i < cells.size())
            columns_[i].appendCell(cells[i], arena_);
        else
            columns_[i].appendNull();
    }
    ++rows_;
}

size_t ColumnStore::memoryBytes() const {
    size_t n = arena_.bytes();
    for (const Column& c : columns_) {
        switch (c.kind()) {
        case StorageKind::Float:
            n += c.size() * 8;
            break;
        case StorageKind::Text:
        case StorageKind::Bytes:
            n += c.size() * 12;
            break;
        default:
            n += c.size() * 8;
        }
        n += c.size() / 8;
    }
    return n;
}

// Rebuilds the first `rows` values of a column for a wider type (float or text; any type while they are
// all NULL), so no value is lost.
void WidenColumn(ColumnStore& store, size_t c, TFieldType oldType, TFieldType newType, uint32_t rows) {
    const StorageKind kind = StorageOf(newType);
    if (StorageOf(oldType) == kind) return; // a date column taking date-times: same storage
    Column wide(kind);
    wide.reserve(rows);
    for (uint32_t r = 0; r < rows; ++r) {
        QVariant v = store.value(c, r, oldType);
        if (!v.isValid()) {
            wide.appendNull();
        } else if (kind == StorageKind::Float) {
            wide.appendFloat(v.toDouble());
        } else {
            QString s;
            switch (StorageOf(oldType)) {
            case StorageKind::Float:
                s = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
                break;
            case StorageKind::DateTime:
                s = dtconv::TemporalText(v, oldType);
                break;
            case StorageKind::Bool:
                s = v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
                break;
            default:
                s = v.toString();
            }
            QByteArray u = s.toUtf8();
            wide.appendBytes(std::string_view(u.constData(), size_t(u.size())), store.arena());
        }
    }
    store.column(c) = std::move(wide);
}
