#pragma once
// The export dialog's separator rule: "#9   (tab)" gives a tab, "; (semicolon)" gives ";".
#include <QString>

// Empty: nullopt-like (returns false, separator unchanged). A text beginning with "#" gives the
// character whose code is the number in its second to fourth characters, trimmed (not a number:
// code 0); a text longer than 8 characters gives its first character; 1 to 8 characters are used whole.
bool SeparatorFromText(const QString& text, QString& separator);
