#pragma once
// Finding tags and reading their parts: name(arguments)rest, options after ";", argument lists.
// Parentheses are counted outside double quotes only; keywords ignore letter case.
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

// Position of what in text at or after from, ignoring letter case; -1 when absent.
qsizetype FindCI(QStringView text, QStringView what, qsizetype from = 0);
bool StartsCI(QStringView text, QStringView prefix);

// A tag found in a text: [start, end) spans the delimiters, inner is the text between them.
struct TTagSpan {
    qsizetype start = -1, end = -1;
    QStringView inner;
    bool found() const { return start >= 0; }
};
// The first tag whose opening delimiter stands at or after from (optionally followed by keyword,
// any case); not found when there is no opening or no closing delimiter after it. A tag's text holds
// no opening delimiter: of several openings before one closing, the last starts the tag.
TTagSpan FindTag(QStringView text, QStringView open, QStringView close, qsizetype from,
                 QStringView keyword = {});

// The ")" matching the "(" at pos, counted outside double quotes; -1 when it does not balance.
qsizetype MatchParen(QStringView s, qsizetype pos);
// The first "(" outside double quotes; -1 when none.
qsizetype FirstParen(QStringView s);
// Whether every quote is closed and every parenthesis matched.
bool Balanced(QStringView s);

// name(args)rest of a tag. Without "(" the whole trimmed text is the name. Returns false when the
// parentheses or quotes do not balance.
struct TTagCall {
    QString name, args, rest;
    bool hasParens = false;
};
bool SplitCall(QStringView tag, TTagCall& call);

// Options after the first part of a tag, each after ";": keyword or keyword(argument).
struct TTagOption {
    QString name; // lower case
    QString arg;
    bool hasArg = false;
};
// Returns false for an option without keyword or with text after its ")".
bool ParseOptions(QStringView rest, std::vector<TTagOption>& options);

// An argument list split at ",": a quoted argument runs to its closing quote (a doubled quote
// stands for one) and keeps its quotes; an argument starting with "str_" runs to its ")"; others run
// to the next "," outside quotes, parentheses and square brackets. Returns false when anything but
// the separator follows an argument.
bool SplitArgs(QStringView args, QStringList& out);
// A list split at sep outside quotes, parentheses and square brackets; parts trimmed.
QStringList SplitOutside(QStringView s, QChar sep);
// The parts of a list split at "," up to the first empty one.
QStringList SplitUpToEmpty(QStringView s);

bool IsQuoted(QStringView s);
// s without its enclosing quotes.
QString Unquote(QStringView s);
