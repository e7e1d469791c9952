#pragma once
// Floats as text in the general form with up to 15 significant digits and "." whatever the locale:
// 1234.5, 0.0001, 1E-5, 1.23456789012346E18.
#include <QString>
#include <string>

std::string FloatGeneral15(double v);
// The same form written into a buffer of at least kFloatGeneral15Max characters; returns its end.
// For loops over many values (no allocation).
constexpr int kFloatGeneral15Max = 32;
char* FloatGeneral15To(char* first, double v);
// The form of C's "%.15g" (lower-case exponent with its sign and at least two digits: 1e+20, 1e-05;
// "nan", "inf"), which std::to_chars gives with 15 digits of precision, at a fraction of its cost.
char* FloatPrintf15To(char* first, double v);
inline QString FloatGeneral15Q(double v) {
    return QString::fromStdString(FloatGeneral15(v));
}
