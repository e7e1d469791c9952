#include "float_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
// Whole numbers and decimals of up to four places (amounts, halves, counts) without the shortest-digit
// search. When m = v * 10^k comes out whole with at most 15 digits, v lies within half a step of m's last
// bit of D = m / 10^k, under 2^-53 of it: far less than half a step of D's 15th digit, so D is the
// 15-digit rounding, written in the fixed form as 1e-4 <= D < 1e15. Null for any other value.
char* decimalForm(char* out, double v) {
    static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
    static constexpr int64_t kIntScale[] = {1, 10, 100, 1000, 10000};
    const double a = std::fabs(v);
    if (!(a < 1e15)) return nullptr;
    for (int k = 0; k < 5; ++k) {
        const double y = a * kScale[k];
        if (y >= 1e15) return nullptr;
        const int64_t m = int64_t(y);
        if (double(m) != y || m == 0) continue;
        if (v < 0) *out++ = '-';
        out = std::to_chars(out, out + 16, m / kIntScale[k]).ptr;
        int64_t frac = m % kIntScale[k];
        if (frac == 0) return out;
        int places = k;
        while (frac % 10 == 0) {
            frac /= 10;
            --places;
        }
        *out++ = '.';
        for (int i = places - 1; i >= 0; --i, frac /= 10)
            out[i] = char('0' + frac % 10);
        return out + places;
    }
    return nullptr;
}

// The value's 15-digit rounding laid out as %.15G lays it out (printfExponent: as %.15g, "e+05"; else
// "E5"), taken from its shortest round-trip digits, which are much cheaper to get; null when those
// cannot tell. Up to 15 shortest digits are the rounding itself: a double lies closer to them than
// half a step of the 15th digit. 16 or 17 of them round to it too, since no 16-digit number can lie
// between them and the value (it would round-trip and be chosen as shorter or closer), unless they
// are 16 ending in 5: such a tie may have the value on either side. Subnormals take the long way.
char* shortForm(char* out, double v, bool printfExponent) {
    if (char* end = decimalForm(out, v)) return end;
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
        if (n == 17) return nullptr;
        digits[n++] = *p;
    }
    int exp = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exp);
    if (n > 15) {
        if (n == 16 && digits[15] == '5') return nullptr;
        const bool up = digits[15] >= '5';
        n = 15;
        if (up) {
            int i = n - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else { // 999... became 1000...
                digits[0] = '1';
                ++exp;
            }
        }
        while (n > 1 && digits[n - 1] == '0')
            --n;
    }
    if (negative) *out++ = '-';
    if (exp < -4 || exp >= 15) {
        *out++ = digits[0];
        if (n > 1) {
            *out++ = '.';
            std::memcpy(out, digits + 1, size_t(n - 1));
            out += n - 1;
        }
        if (!printfExponent) {
            *out++ = 'E';
            return std::to_chars(out, out + 8, exp).ptr;
        }
        *out++ = 'e';
        *out++ = exp < 0 ? '-' : '+';
        if (exp < 0) exp = -exp;
        if (exp < 10) *out++ = '0';
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
    if (char* end = shortForm(first, v, false)) return end;
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

char* FloatPrintf15To(char* first, double v) {
    if (std::isfinite(v) && v != 0)
        if (char* end = shortForm(first, v, true)) return end;
    return std::to_chars(first, first + kFloatGeneral15Max, v, std::chars_format::general, 15).ptr;
}
