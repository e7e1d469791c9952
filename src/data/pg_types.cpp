#include "pg_types.h"

#include "exceptions.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {
// A double keeps 15 significant decimal digits exactly.
constexpr int kDoubleDigits = 15;

int significantDigits(std::string_view s) {
    int digits = 0, pendingZeros = 0;
    bool started = false, fraction = false;
    for (char ch : s) {
        if (ch == '.') {
            fraction = true;
        } else if (ch >= '0' && ch <= '9') {
            if (ch == '0' && !started) continue;
            started = true;
            if (ch == '0') {
                ++pendingZeros; // trailing zeros of a fraction hold no digit of the value
            } else {
                digits += pendingZeros + 1;
                pendingZeros = 0;
            }
        } else if (ch == 'e' || ch == 'E') {
            break;
        }
    }
    return fraction ? digits : digits + pendingZeros;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void invalid(const QString& column, std::string_view text, const char* what) {
    throw EDatabaseError(
        QStringLiteral("Column \"%1\": '%2' is not %3 this program can hold")
            .arg(column, QString::fromUtf8(text.data(), qsizetype(text.size())), QLatin1String(what)));
}
} // namespace

bool PgNumericPrecision(int typmod, int& precision, int& scale) {
    if (typmod < 4) return false;
    precision = ((typmod - 4) >> 16) & 0xffff;
    scale = (typmod - 4) & 0xffff;
    return true;
}

PgType PgTypeOf(unsigned oid, int typmod) {
    switch (oid) {
    case pgoid::Bool:
        return {ftBoolean, PgRead::Bool, 0, PgBinary::Bool};
    case pgoid::Int2:
        return {ftSmallint, PgRead::Int, 0, PgBinary::Int2};
    case pgoid::Int4:
        return {ftInteger, PgRead::Int, 0, PgBinary::Int4};
    case pgoid::Int8:
        return {ftLargeint, PgRead::Int, 0, PgBinary::Int8};
    case pgoid::Oid:
        return {ftLargeint, PgRead::Int, 0, PgBinary::Oid};
    case pgoid::Float4:
        return {ftSingle, PgRead::Float, 0, PgBinary::Float4};
    case pgoid::Float8:
        return {ftFloat, PgRead::Float, 0, PgBinary::Float8};
    case pgoid::Numeric: {
        int precision = 0, scale = 0;
        if (PgNumericPrecision(typmod, precision, scale) && precision <= kDoubleDigits)
            return {ftBCD, PgRead::Float, 0, PgBinary::Numeric};
        return {ftFMTBcd, PgRead::Numeric, 0, PgBinary::Numeric};
    }
    case pgoid::Date:
        return {ftDate, PgRead::Date, 0, PgBinary::Date};
    case pgoid::Time:
        return {ftTime, PgRead::Time, 0, PgBinary::Time};
    case pgoid::Timestamp:
        return {ftDateTime, PgRead::DateTime, 0, PgBinary::Timestamp};
    case pgoid::TimestampTz: // shown in the session's time zone (its text), its offset left off
        return {ftDateTime, PgRead::DateTime, 0};
    case pgoid::Bytea:
        return {ftBlob, PgRead::Bytea, 0, PgBinary::Bytea};
    case pgoid::Uuid:
        return {ftGuid, PgRead::Text, 36, PgBinary::Uuid};
    case pgoid::BpChar:
        return {ftFixedChar, PgRead::Text, typmod > 4 ? typmod - 4 : 0, PgBinary::Text};
    case pgoid::VarChar:
        return {ftWideString, PgRead::Text, typmod > 4 ? typmod - 4 : 0, PgBinary::Text};
    case pgoid::Name:
        return {ftWideString, PgRead::Text, 63, PgBinary::Text};
    case pgoid::Char:
        return {ftFixedChar, PgRead::Text, 1};
    case pgoid::Json:
        return {ftWideMemo, PgRead::Text, 0, PgBinary::Text};
    case pgoid::Jsonb:
        return {ftWideMemo, PgRead::Text, 0, PgBinary::Jsonb};
    case pgoid::Xml:
        return {ftWideMemo, PgRead::Text, 0};
    case pgoid::Text:
        return {ftWideString, PgRead::Text, 0, PgBinary::Text};
    default: // text, money, intervals, time zones, arrays, enums, ranges, network types: their text
        return {ftWideString, PgRead::Text, 0};
    }
}

bool PgAppendText(Column& c, PgRead read, std::string_view v, TextArena& arena, std::string& tmp,
                  const QString& column) {
    const char* b = v.data();
    const char* e = b + v.size();
    switch (read) {
    case PgRead::Int: {
        int64_t x = 0;
        if (std::from_chars(b, e, x).ptr != e) invalid(column, v, "a whole number");
        c.appendInt(x);
        return true;
    }
    case PgRead::Numeric:
        if (significantDigits(v) > kDoubleDigits) return false;
        [[fallthrough]];
    case PgRead::Float: {
        double x = 0;
        // from_chars reads "NaN", "Infinity" and "-Infinity" too.
        if (std::from_chars(b, e, x).ptr != e) invalid(column, v, "a number");
        c.appendFloat(x);
        return true;
    }
    case PgRead::Bool:
        c.appendInt(!v.empty() && v[0] == 't');
        return true;
    case PgRead::Date:
    case PgRead::DateTime: {
        int64_t ms = 0;
        if (!dtconv::Parse(v, read == PgRead::Date ? ftDate : ftDateTime, ms))
            invalid(column, v, read == PgRead::Date ? "a date" : "a date and time");
        c.appendInt(ms);
        return true;
    }
    case PgRead::Time: {
        int64_t ms = 0;
        // The end of the day, 24:00:00, is the next midnight: a time of day holds it as 00:00:00.
        if (v.substr(0, 8) == "24:00:00")
            ms = 0;
        else if (!dtconv::Parse(v, ftTime, ms))
            invalid(column, v, "a time");
        c.appendInt(ms % dtconv::kMsPerDay);
        return true;
    }
    case PgRead::Bytea: {
        if (v.size() < 2 || v[0] != '\\' || v[1] != 'x' || v.size() % 2 != 0)
            invalid(column, v.substr(0, 16), "hex-encoded bytes");
        tmp.resize((v.size() - 2) / 2);
        for (size_t i = 2, o = 0; i < v.size(); i += 2, ++o) {
            int hi = hexValue(v[i]), lo = hexValue(v[i + 1]);
            if (hi < 0 || lo < 0) invalid(column, v.substr(0, 16), "hex-encoded bytes");
            tmp[o] = char(hi << 4 | lo);
        }
        c.appendBytes(tmp, arena);
        return true;
    }
    case PgRead::Text:
        c.appendBytes(v, arena);
        return true;
    }
    return true;
}

namespace {
// 2000-01-01, the origin of the binary dates and times, in days since 1899-12-30.
constexpr int64_t kPgEpochDays = 36526;

[[noreturn]] void malformed(const QString& column, size_t size) {
    throw EDatabaseError(QStringLiteral("Column \"%1\": a value of %2 bytes came in a form its type does "
                                        "not have")
                             .arg(column)
                             .arg(size));
}

// The server's text of a day count outside the years 1 to 9999 (the text path refuses those too).
std::string dayText(int64_t days) {
    int64_t y;
    unsigned m, d;
    dtconv::CivilFromDays(days + kPgEpochDays, y, m, d);
    const bool bc = y < 1;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u%s", static_cast<long long>(bc ? 1 - y : y), m, d,
                  bc ? " BC" : "");
    return buf;
}

// Milliseconds since 1899-12-30 of a day since 2000-01-01, refused as the text path refuses years a
// date cannot hold.
int64_t dayMs(int64_t days, const char* what, const QString& column) {
    static const int64_t first = dtconv::DaysFromCivil(1, 1, 1) - kPgEpochDays,
                         last = dtconv::DaysFromCivil(9999, 12, 31) - kPgEpochDays;
    if (days < first || days > last) invalid(column, dayText(days), what);
    return (days + kPgEpochDays) * dtconv::kMsPerDay;
}

// The same for a moment in microseconds since 2000-01-01; infinities are refused too.
int64_t momentMs(int64_t us, const QString& column) {
    const char* what = "a date and time";
    if (us == INT64_MAX) invalid(column, "infinity", what);
    if (us == INT64_MIN) invalid(column, "-infinity", what);
    const int64_t ms = us >= 0 ? us / 1000 : -((-us + 999) / 1000); // floor: the text path drops digits
    const int64_t days = dtconv::DaysOf(ms);
    return dayMs(days, what, column) + (ms - days * dtconv::kMsPerDay);
}

void fixedSize(std::string_view v, size_t size, const QString& column) {
    if (v.size() != size) malformed(column, v.size());
}
} // namespace

void PgAppendBinary(Column& c, PgBinary binary, std::string_view v, TextArena& arena, std::string& tmp,
                    const QString& column) {
    const char* p = v.data();
    switch (binary) {
    case PgBinary::Int2:
        fixedSize(v, 2, column);
        c.appendInt(int16_t(PgBe16(p)));
        return;
    case PgBinary::Int4:
        fixedSize(v, 4, column);
        c.appendInt(int32_t(PgBe32(p)));
        return;
    case PgBinary::Oid:
        fixedSize(v, 4, column);
        c.appendInt(PgBe32(p));
        return;
    case PgBinary::Int8:
        fixedSize(v, 8, column);
        c.appendInt(int64_t(PgBe64(p)));
        return;
    case PgBinary::Float4: {
        fixedSize(v, 4, column);
        const uint32_t bits = PgBe32(p);
        float x;
        std::memcpy(&x, &bits, 4);
        // As its shortest text reads: 1.1 stays 1.1, not the double nearest to the float.
        char buf[32];
        char* end = std::to_chars(buf, buf + sizeof buf, x).ptr;
        double d = 0;
        std::from_chars(buf, end, d);
        c.appendFloat(d);
        return;
    }
    case PgBinary::Float8: {
        fixedSize(v, 8, column);
        const uint64_t bits = PgBe64(p);
        double x;
        std::memcpy(&x, &bits, 8);
        c.appendFloat(x);
        return;
    }
    case PgBinary::Bool:
        fixedSize(v, 1, column);
        c.appendInt(p[0] != 0);
        return;
    case PgBinary::Date: {
        fixedSize(v, 4, column);
        const int32_t days = int32_t(PgBe32(p));
        if (days == INT32_MAX) invalid(column, "infinity", "a date");
        if (days == INT32_MIN) invalid(column, "-infinity", "a date");
        c.appendInt(dayMs(days, "a date", column));
        return;
    }
    case PgBinary::Time: {
        fixedSize(v, 8, column);
        const int64_t us = int64_t(PgBe64(p));
        if (us < 0 || us > 86400000000) malformed(column, v.size());
        c.appendInt(us / 1000 % dtconv::kMsPerDay); // 24:00:00 is the next midnight
        return;
    }
    case PgBinary::Timestamp:
        fixedSize(v, 8, column);
        c.appendInt(momentMs(int64_t(PgBe64(p)), column));
        return;
    case PgBinary::Jsonb:
        if (v.empty() || v[0] != 1) malformed(column, v.size()); // version 1: the text follows
        c.appendBytes(v.substr(1), arena);
        return;
    case PgBinary::Uuid: {
        fixedSize(v, 16, column);
        static const char hex[] = "0123456789abcdef";
        tmp.clear();
        for (size_t i = 0; i < 16; ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10) tmp += '-';
            tmp += hex[static_cast<unsigned char>(p[i]) >> 4];
            tmp += hex[p[i] & 15];
        }
        c.appendBytes(tmp, arena);
        return;
    }
    case PgBinary::Text:
    case PgBinary::Bytea:
        c.appendBytes(v, arena);
        return;
    case PgBinary::Numeric:
    case PgBinary::None:
        break;
    }
    malformed(column, v.size());
}

bool PgNumericDouble(std::string_view v, double& out) {
    static constexpr double kScale[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (v.size() < 8) return false;
    const char* p = v.data();
    const int ndigits = int16_t(PgBe16(p));
    const int weight = int16_t(PgBe16(p + 2));
    const uint16_t sign = PgBe16(p + 4);
    const int dscale = int16_t(PgBe16(p + 6));
    if (ndigits < 0 || dscale < 0 || dscale > 22 || (sign != 0 && sign != 0x4000) ||
        v.size() != 8 + 2 * size_t(ndigits))
        return false;
    // The digits the text shows (the whole part, then dscale places) as one integer; the group d stands
    // for 10000^(weight - d) and those not sent are zero.
    constexpr uint64_t kLimit = 1000000000000000; // 10^15: more digits take the text's way
    uint64_t n = 0;
    const int last = weight + (dscale + 3) / 4; // the group holding the last place shown
    for (int d = std::min(weight + 1, 0); d <= last; ++d) {
        const int x = d >= 0 && d < ndigits ? PgBe16(p + 8 + 2 * d) : 0;
        if (x > 9999) return false;
        if (d == last && dscale % 4) {
            static constexpr int kCut[] = {1, 1000, 100, 10};
            const int cut = kCut[dscale % 4];
            n = n * uint64_t(10000 / cut) + uint64_t(x / cut);
        } else {
            n = n * 10000 + uint64_t(x);
        }
        if (n >= kLimit) return false;
    }
    // Both exact, so the one division rounds correctly, as reading the text does.
    out = double(n) / kScale[dscale];
    if (sign) out = -out;
    return true;
}

void PgNumericText(std::string_view v, std::string& out, const QString& column) {
    if (v.size() < 8) malformed(column, v.size());
    const char* p = v.data();
    const int ndigits = int16_t(PgBe16(p));
    const int weight = int16_t(PgBe16(p + 2));
    const uint16_t sign = PgBe16(p + 4);
    const int dscale = int16_t(PgBe16(p + 6));
    if (ndigits < 0 || dscale < 0 || v.size() != 8 + 2 * size_t(ndigits)) malformed(column, v.size());
    out.clear();
    switch (sign) {
    case 0xC000:
        out = "NaN";
        return;
    case 0xD000:
        out = "Infinity";
        return;
    case 0xF000:
        out = "-Infinity";
        return;
    case 0x4000:
        out += '-';
        break;
    case 0x0000:
        break;
    default:
        malformed(column, v.size());
    }
    // Digit d of the base-10000 digits stands for 10000^(weight - d); those not sent are zero.
    auto digit = [&](int d) {
        if (d < 0 || d >= ndigits) return 0;
        const int x = PgBe16(p + 8 + 2 * d);
        if (x > 9999) malformed(column, v.size());
        return x;
    };
    auto four = [&](int x) {
        const char g[4] = {char('0' + x / 1000), char('0' + x / 100 % 10), char('0' + x / 10 % 10),
                           char('0' + x % 10)};
        out.append(g, 4);
    };
    int d = 0;
    if (weight < 0) {
        d = weight + 1;
        out += '0';
    } else {
        char buf[8];
        out.append(buf, std::to_chars(buf, buf + sizeof buf, digit(0)).ptr);
        for (d = 1; d <= weight; ++d)
            four(digit(d));
    }
    if (dscale > 0) {
        out += '.';
        const size_t stop = out.size() + size_t(dscale);
        for (int i = 0; i < dscale; i += 4, ++d)
            four(digit(d));
        out.resize(stop);
    }
}
