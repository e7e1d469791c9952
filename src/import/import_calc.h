#pragma once
// Value commands of an import: "Field = Command(Param1, Param2, ...)" lines, parsed once and applied
// to each imported text value before it is written into its target field.
#include <QString>
#include <QStringList>
#include <vector>

class TDataSet;
class TField;

// The character sets of Clean (a blank, digits and a-z; national letters; special characters).
struct ImportCharSets {
    QString standard = QStringLiteral(" 0123456789abcdefghchijklmnopqrstuvwxyz");
    QString local = QStringLiteral("áčďéěíľňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ");
    QString special = QStringLiteral(".,;:+-*/()?!#&@{}\\%=<>$");
};

enum TCalcType {
    ctUnknown = 0,
    ctTrim = 1,
    ctClean = 2,
    ctRemoveChar = 3,
    ctLeft = 11,
    ctRight = 12,
    ctMiddle = 13,
    ctPart = 15,
    ctFromTo = 16,
    ctReplace = 21,
};

struct TCalc {
    QString FieldName;
    TField* Field = nullptr; // none for an invalid line: it never applies
    int CalcType = ctUnknown;
    QString Params, Param1, Param2;
    QString AllowedChars;  // Clean: the characters that stay, upper-cased
    QString ExcludedChars; // RemoveChar: the characters that go, upper-cased
};

// Parses the lines against the target's fields. Invalid lines stay in the list without a field;
// errors gets one line per invalid row ("Unknown command ..." / "Unknown field ...").
std::vector<TCalc> ParseCalcs(const QStringList& lines, const TDataSet* target, QStringList* errors,
                              const ImportCharSets& sets = {});

// Applies every command for the field in list order. Returns true when at least one applied.
// (A value too long for the field is not cut here: the writer reports it as an error.)
bool ApplyCalcs(const std::vector<TCalc>& calcs, const TField* field, QString& value);

// One command on a value (exposed for tests of single commands).
QString ApplyCalc(const TCalc& calc, const QString& value);

// Integer text: leading blanks, an optional sign, decimal digits or "$" and hex digits, nothing after.
bool ParseCalcInt(const QString& text, int& out);
