#include "float_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

char* FloatGeneral15To(char* first, double v) {
    if (std::isnan(v)) return std::strcpy(first, "NAN") + 3;
    if (std::isinf(v)) return v > 0 ? std::strcpy(first, "INF") + 3 : std::strcpy(first, "-INF") + 4;
    if (v == 0) { // also -0
        *first = '0';
        return first + 1;
    }
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
