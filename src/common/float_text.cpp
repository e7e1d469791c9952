#include "float_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
// The value's shortest round-trip digits laid out as %.15G lays them out, or null when there are more
// than 15 of them. A double lies closer to its shortest digits than half a step of the 15th digit, so
// those digits are also its 15-digit rounding; the shortest form is much cheaper to get. Subnormals
// hold fewer digits, so they take the long way.
char* shortForm(char* out, double v) {
    if (std::fabs(v) < std::numeric_limits<double>::min()) return nullptr;
    char sci[kFloatGeneral15Max];
    const char* end = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific).ptr;
    const char* p = sci;
    const bool negative = *p == '-';
    if (negative) ++p;
    char digits[20];
    int n = 0;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') continue;
        if (n == 15) return nullptr;
        digits[n++] = *p;
    }
    int exp = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exp);
    if (negative) *out++ = '-';
    if (exp < -4 || exp >= 15) {
        *out++ = digits[0];
        if (n > 1) {
            *out++ = '.';
            std::memcpy(out, digits + 1, size_t(n - 1));
            out += n - 1;
        }
        *out++ = 'E';
        return std::to_chars(out, out + 8, exp).ptr;
    }
    if (exp < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int z = -exp - 1; z > 0; --z)
            *out++ = '0';
        std::memcpy(out, digits, size_t(n));
        return out + n;
    }
    for (int i = 0; i <= exp; ++i)
        *out++ = i < n ? digits[i] : '0';
    if (n > exp + 1) {
        *out++ = '.';
        std::memcpy(out, digits + exp + 1, size_t(n - exp - 1));
        out += n - exp - 1;
    }
    return out;
}
} // namespace

char* FloatGeneral15To(char* first, double v) {
    if (std::isnan(v)) return std::strcpy(first, "NAN") + 3;
    if (std::isinf(v)) return v > 0 ? std::strcpy(first, "INF") + 3 : std::strcpy(first, "-INF") + 4;
    if (v == 0) { // also -0
        *first = '0';
        return first + 1;
    }
    if (char* end = shortForm(first, v)) return end;
    // The same digits as printf's %.15G, without its exponent padding: "1.5E+18" -> "1.5E18".
    char buf[kFloatGeneral15Max];
    char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr;
    char* e = static_cast<char*>(std::memchr(buf, 'e', size_t(end - buf)));
    if (!e) {
        std::memcpy(first, buf, size_t(end - buf));
        return first + (end - buf);
    }
    size_t mant = size_t(e - buf);
    std::memcpy(first, buf, mant);
    char* out = first + mant;
    *out++ = 'E';
    const char* d = e + 1;
    if (*d == '-') *out++ = '-';
    ++d; // the sign
    while (d + 1 < end && *d == '0')
        ++d;
    std::memcpy(out, d, size_t(end - d));
    return out + (end - d);
}

std::string FloatGeneral15(double v) {
    char buf[kFloatGeneral15Max];
    return std::string(buf, FloatGeneral15To(buf, v));
}
