#include "value_text.h"

#include "column_store.h"

#include <QDate>
#include <charconv>

namespace {
bool digit(char c) {
    return c >= '0' && c <= '9';
}

bool digitsAt(std::string_view s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; ++i)
        if (!digit(s[i])) return false;
    return true;
}

bool isDate(std::string_view s) {
    return s.size() >= 10 && digitsAt(s, 0, 4) && s[4] == '-' && digitsAt(s, 5, 2) && s[7] == '-' &&
           digitsAt(s, 8, 2);
}

// "hh:mm", "hh:mm:ss" or "hh:mm:ss.f" (up to three fraction digits), from `at` to the end.
bool isTime(std::string_view s, size_t at, bool secondsRequired) {
    if (!digitsAt(s, at, 2) || at + 2 >= s.size() || s[at + 2] != ':' || !digitsAt(s, at + 3, 2))
        return false;
    size_t i = at + 5;
    if (i == s.size()) return !secondsRequired;
    if (s[i] != ':' || !digitsAt(s, i + 1, 2)) return false;
    i += 3;
    if (i == s.size()) return true;
    if (s[i] != '.') return false;
    size_t n = s.size() - i - 1;
    return n >= 1 && n <= 3 && digitsAt(s, i + 1, n);
}

bool isNumberText(std::string_view s, bool& hasPointOrExp) {
    size_t i = 0;
    if (i < s.size() && s[i] == '-') ++i;
    size_t intStart = i;
    while (i < s.size() && digit(s[i]))
        ++i;
    size_t intDigits = i - intStart;
    // A leading zero followed by a digit ("007") is a code, not a number.
    if (intDigits > 1 && s[intStart] == '0') return false;
    size_t fracDigits = 0;
    hasPointOrExp = false;
    if (i < s.size() && s[i] == '.') {
        hasPointOrExp = true;
        ++i;
        size_t f = i;
        while (i < s.size() && digit(s[i]))
            ++i;
        fracDigits = i - f;
    }
    if (intDigits + fracDigits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        hasPointOrExp = true;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t e = i;
        while (i < s.size() && digit(s[i]))
            ++i;
        if (i == e) return false;
    }
    if (i != s.size()) return false;
    // More than 15 significant digits do not survive a double.
    size_t sig = 0;
    bool leading = true;
    for (char c : s) {
        if (c == 'e' || c == 'E') break;
        if (!digit(c)) continue;
        if (leading && c == '0') continue;
        leading = false;
        ++sig;
    }
    return sig <= 15 || !hasPointOrExp;
}
} // namespace

bool ParseIntValue(std::string_view s, int64_t& v) {
    if (s.empty() || s == "-0") return false;
    bool pointOrExp;
    if (!isNumberText(s, pointOrExp) || pointOrExp) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseFloatValue(std::string_view s, double& v) {
    bool pointOrExp;
    if (s.empty() || !isNumberText(s, pointOrExp)) return false;
    if (!pointOrExp) {
        int64_t i;
        if (!ParseIntValue(s, i) || i > (int64_t(1) << 53) || i < -(int64_t(1) << 53)) return false;
        v = double(i);
        return true;
    }
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseBoolValue(std::string_view s, bool& v) {
    auto eq = [&](const char* w) {
        size_t n = std::char_traits<char>::length(w);
        if (s.size() != n) return false;
        for (size_t i = 0; i < n; ++i)
            if ((s[i] | 0x20) != w[i]) return false;
        return true;
    };
    if (eq("true")) {
        v = true;
        return true;
    }
    if (eq("false")) {
        v = false;
        return true;
    }
    return false;
}

bool ParseDateValue(std::string_view s, ValueClass c, int64_t& ms) {
    bool shape = false;
    switch (c) {
    case ValueClass::Date:
        shape = s.size() == 10 && isDate(s);
        break;
    case ValueClass::DateTime:
        shape = isDate(s) && ((s.size() == 10) ||
                              (s.size() > 11 && (s[10] == ' ' || s[10] == 'T') && isTime(s, 11, false)));
        break;
    case ValueClass::Time:
        shape = isTime(s, 0, true);
        if (shape && (s[0] > '2' || (s[0] == '2' && s[1] > '3'))) return false;
        break;
    default:
        return false;
    }
    return shape && dtconv::Parse(s, c == ValueClass::Time ? ftTime : ftDateTime, ms);
}

ValueClass ClassifyValue(std::string_view s) {
    if (s.empty()) return ValueClass::Null;
    char c = s[0];
    if (digit(c) || c == '-' || c == '.') {
        int64_t i;
        if (ParseIntValue(s, i)) return ValueClass::Int;
        double d;
        if (ParseFloatValue(s, d)) return ValueClass::Float;
        int64_t ms;
        if (s.size() == 10 && ParseDateValue(s, ValueClass::Date, ms)) return ValueClass::Date;
        if (s.size() > 10 && ParseDateValue(s, ValueClass::DateTime, ms)) return ValueClass::DateTime;
        if (ParseDateValue(s, ValueClass::Time, ms)) return ValueClass::Time;
        return ValueClass::Text;
    }
    bool b;
    if (ParseBoolValue(s, b)) return ValueClass::Bool;
    return ValueClass::Text;
}

ValueClass CombineClasses(ValueClass a, ValueClass b) {
    if (a == ValueClass::Null) return b;
    if (b == ValueClass::Null || a == b) return a;
    auto pair = [&](ValueClass x, ValueClass y) { return (a == x && b == y) || (a == y && b == x); };
    if (pair(ValueClass::Int, ValueClass::Float)) return ValueClass::Float;
    if (pair(ValueClass::Date, ValueClass::DateTime)) return ValueClass::DateTime;
    return ValueClass::Text;
}

TFieldType FieldTypeOfClass(ValueClass c, bool wideInts) {
    switch (c) {
    case ValueClass::Bool:
        return ftBoolean;
    case ValueClass::Int:
        return wideInts ? ftLargeint : ftInteger;
    case ValueClass::Float:
        return ftFloat;
    case ValueClass::Date:
        return ftDate;
    case ValueClass::DateTime:
        return ftDateTime;
    case ValueClass::Time:
        return ftTime;
    default:
        return ftWideString;
    }
}
