#include "pg_types.h"

#include "exceptions.h"

#include <charconv>

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
        return {ftBoolean, PgRead::Bool, 0};
    case pgoid::Int2:
        return {ftSmallint, PgRead::Int, 0};
    case pgoid::Int4:
        return {ftInteger, PgRead::Int, 0};
    case pgoid::Int8:
    case pgoid::Oid:
        return {ftLargeint, PgRead::Int, 0};
    case pgoid::Float4:
        return {ftSingle, PgRead::Float, 0};
    case pgoid::Float8:
        return {ftFloat, PgRead::Float, 0};
    case pgoid::Numeric: {
        int precision = 0, scale = 0;
        if (PgNumericPrecision(typmod, precision, scale) && precision <= kDoubleDigits)
            return {ftBCD, PgRead::Float, 0};
        return {ftFMTBcd, PgRead::Numeric, 0};
    }
    case pgoid::Date:
        return {ftDate, PgRead::Date, 0};
    case pgoid::Time:
        return {ftTime, PgRead::Time, 0};
    case pgoid::Timestamp:
    case pgoid::TimestampTz: // shown in the session's time zone, its offset left off
        return {ftDateTime, PgRead::DateTime, 0};
    case pgoid::Bytea:
        return {ftBlob, PgRead::Bytea, 0};
    case pgoid::Uuid:
        return {ftGuid, PgRead::Text, 36};
    case pgoid::BpChar:
        return {ftFixedChar, PgRead::Text, typmod > 4 ? typmod - 4 : 0};
    case pgoid::VarChar:
        return {ftWideString, PgRead::Text, typmod > 4 ? typmod - 4 : 0};
    case pgoid::Name:
        return {ftWideString, PgRead::Text, 63};
    case pgoid::Char:
        return {ftFixedChar, PgRead::Text, 1};
    case pgoid::Json:
    case pgoid::Jsonb:
    case pgoid::Xml:
        return {ftWideMemo, PgRead::Text, 0};
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
