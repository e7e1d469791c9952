#include "float_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

std::string FloatGeneral15(double v) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    // "1.5E+18" -> "1.5E18", "1E-05" -> "1E-5"
    std::string s(buf);
    size_t e = s.find('E');
    if (e == std::string::npos) return s == "-0" ? "0" : s;
    std::string mant = s.substr(0, e);
    char sign = s[e + 1];
    size_t digits = e + 2;
    while (digits + 1 < s.size() && s[digits] == '0') ++digits;
    return mant + 'E' + (sign == '-' ? "-" : "") + s.substr(digits);
}
