#pragma once
// How typed values are stored as INI text.
#include <QColor>
#include <QString>
#include <QVariant>

// TAB, CR and LF inside a text value are stored as "_#9_", "_#13_" and "_#10_", so a value never
// breaks its line; reading turns the marks back.
QString EscapeValueText(const QString& text);
QString UnescapeValueText(const QString& text);

// A null or invalid variant: writing it deletes the key.
bool IsNullValue(const QVariant& value);

// The stored form by the value's own type: integers in decimal, booleans "1"/"0", floats in the user's
// number format, date-times in the user's short date and long time format, anything else as escaped text.
QString ValueToIniText(const QVariant& value);

// Converts stored text by the type of def; text that does not convert yields def. Integers also read
// a "0x" hexadecimal form; booleans are true for any non-zero number.
QVariant IniTextToValue(const QString& text, const QVariant& def);

// Colours are stored as 32-bit values in BGR order; 0x1FFFFFFF means no colour.
constexpr int kNoColor = 0x1FFFFFFF;
int ColorToBgr(const QColor& color);
QColor BgrToColor(int bgr);
