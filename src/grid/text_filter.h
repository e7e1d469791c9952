#pragma once
// The short expressions typed into a grid column's filter cell, turned into a filter condition:
//   text  := part {("&" | "|") part}        joined left to right, AND for "&", OR for "|", no precedence
//   part  := [op] value | "(null)" | "is null" | "=null" | "(not null)" | "is not null" | "<>null"
//   op    := "=" | "<>" | "<" | ">" | "<=" | ">="   ("=" alone is no operator)
//   value := a run up to "&", "|" or the end, or "..." ("" inside) holding any characters
// Text columns without an operator match by the like operator (anywhere, at the start or exactly, by
// the filter type); dates take the short date format, a year or a month and year as a range; numbers
// take the locale's form or a prefix with wildcards (12* is 120 up to below 130).
#include <QChar>
#include <QDate>
#include <QString>

class TField;

// How a text typed into a text column's filter cell becomes a pattern.
enum TOptionTextFilterType {
    oftAnyPos,             // anywhere in the value: like character on both sides
    oftStartPos,           // at the start: like character after it
    oftExactValue,         // the whole value, as typed
    oftAnyPosForNoLikeChar // like oftAnyPos unless the text holds a like character of its own
};

struct TextFilterSettings {
    QChar likeChar = '*';
    QString likeOperator = QStringLiteral("LIKE");
    TOptionTextFilterType type = oftAnyPos;
    bool datePartAsRange = true;   // 2023 is the year, 5/2023 the month
    bool numberPartAsRange = true; // 12* is 120 up to below 130
    QString numberWildChar = QStringLiteral("*");
};

struct TextFilterResult {
    QString condition; // empty for an empty text: the column's condition is removed
    QString error;     // what is wrong and where (1-based positions in the typed text)
    bool ok() const { return error.isEmpty(); }
};

// A whole text that is one of the NULL tests: "(null)", "is null", "=null" or "(not null)", "is not null",
// "<>null" (letter case and blanks between the words ignored).
enum class TypedNullTest { None, IsNull, NotNull };
TypedNullTest TypedNullTestOf(const QString& text);

// The condition of one column's typed text, built through the shared condition builders (values are
// quoted and escaped there, never pasted in as typed).
TextFilterResult BuildTextFilter(const TField* field, const QString& text,
                                 const TextFilterSettings& settings);

// A number typed in the locale's form, or with a decimal point.
bool ReadFilterNumber(const QString& text, double& out);
// A date field compared with the days first..last by op ("<", ">", "<=", ">=", "<>"; empty: within
// them). Date-time fields hold times within the last day too: ">" and "<=" compare with the next day's
// start, "<>" keeps the rows outside the period.
QString DatePeriodCondition(const TField* field, const QDate& first, const QDate& last, const QString& op);
