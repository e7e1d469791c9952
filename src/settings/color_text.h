#pragma once
// Colours as texts in settings and dialog cells: a name from the fixed table ("Red", "Money Green") or
// "$" and eight hexadecimal digits; integers in 0x00BBGGRR form, 0x1FFFFFFF for none.
#include "ini_values.h"

#include <QString>
#include <QStringList>

// The display name ("Money Green"), or "$00BBGGRR" for a colour outside the table; empty for none.
QString ColorToText(int bgr);
// Reads a name of either form (any letter case) or an integer ("$" prefix: hexadecimal); none when
// empty or unreadable.
int TextToColor(const QString& text);
// The display names of the table, in table order.
QStringList ColorDisplayNames();
