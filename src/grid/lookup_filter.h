#pragma once
// A lookup column shows values of another dataset and filters by its key fields: a condition on the
// shown values is turned into the keys whose lookup record satisfies it.
#include <QHash>
#include <QString>
#include <QVariant>

class TField;

// The lookup dataset's result field of a lookup field whose lookup dataset is open; nullptr otherwise.
const TField* LookupResultFieldOf(const TField* field);

// The condition on the key fields of a lookup field's own dataset that selects the records whose shown
// value satisfies shownCondition (a filter text over the lookup dataset; empty: no value does), or is
// NULL when withNull (a NULL key or a key the lookup does not hold shows NULL). Each key counts as its
// first lookup record shows it, as the grid shows it; a lookup record with a NULL key is found by no
// key. Keys are written by the condition builders. Empty, with error set, when the condition does not
// compile on the lookup dataset or a key field is missing.
QString LookupKeyCondition(const TField* field, const QString& shownCondition, bool withNull,
                           bool caseInsensitive, QString& error);

// The key field of a lookup field with one key field, and the shown value of each key held by the
// lookup dataset (the first record with that key, as the grid shows it), found by LookupKeyText.
const TField* SingleLookupKey(const TField* field);
QString LookupKeyText(const QVariant& key);
QHash<QString, QVariant> LookupShownByKey(const TField* field);
