#pragma once
// The record search behind the find window: compares the chosen fields of the view's records with a
// text, straight from the column store (text columns are compared as stored bytes where that is
// exact, so no display string is built per cell).
#include <QByteArray>
#include <QList>
#include <QString>

class TDataSet;
class TField;

enum class FindMatch { WholeField, Beginning, AnyPart };

struct FindOptions {
    QString text;
    FindMatch match = FindMatch::AnyPart;
    bool caseSensitive = false;
    bool ignoreDiacritics = false;
};

// Upper-cased unless case-sensitive; with ignoreDiacritics letters lose their accents and what has no
// ASCII form becomes "?".
QString NormalizeFindText(const QString& text, bool caseSensitive, bool ignoreDiacritics);

struct FindHit {
    int position = -1;   // view position of the record, -1 when nothing matched
    int fieldIndex = -1; // index into the searched fields
};

// Scans from view position `from` forward (or backward) to the end (beginning) of the view; on each
// record the fields are tried in order. A null value counts as empty text.
FindHit FindInDataSet(const TDataSet& ds, const QList<TField*>& fields, const FindOptions& options, int from,
                      bool forward);

// The value of a field as the search sees it (undecorated: no display format; null is empty).
QString FindValueText(const TDataSet& ds, const TField* field, int position);
