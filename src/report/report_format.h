#pragma once
// Number texts, number and date pictures, edit masks and alignment of report values.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

// Reads a number text: "." or "," is the decimal separator; a text holding both is not a number.
bool ReadNumberText(QStringView text, double& value);
// A number in fixed notation at full precision with "." (for re-reading inside expressions).
QString FixedNumberText(double v);

// Formats by a number picture: "0", "#", ".", ",", "E+"/"E-"/"e+"/"e-", quoted text, up to three
// sections ";" for positive, negative and zero. An empty picture gives the shortest general form.
// The decimal and grouping characters are those of the default locale.
QString FormatNumberPicture(double v, QStringView picture);

// Splits a formatted number at a capital "E" for the power-of-ten form: mantissa and exponent
// ("+" dropped, "-" kept, leading zeros removed while two digits remain). False when there is no "E".
bool SplitScientific(const QString& formatted, QString& mantissa, QString& exponent);

// Formats by a date picture (d, dd, ddd, dddd, ddddd, dddddd, m..mmmm, yy, yyyy, h, hh, n, nn, s, ss,
// z, zzz, am/pm, a/p, c, t, tt, "/", ":", quoted text). Names from the default locale.
QString FormatDatePicture(const QDateTime& dt, QStringView picture);
QDateTime DaysToDateTime(double days);
// The locale's long time form without a time-zone name.
QString LongTimeText(const QLocale& locale, QTime time);
double DateTimeToDays(const QDateTime& dt);

// The raw text through an edit mask: mask characters 0 9 # L l A a C c take a character of the text,
// "\" takes the next mask character literally, other characters are written as they stand.
QString FormatMaskText(QStringView mask, QStringView text);

// "<n" or ">n": exactly n characters, cut or filled with blanks on the right ("<") or left (">").
QString AlignText(const QString& s, QStringView alignment);
