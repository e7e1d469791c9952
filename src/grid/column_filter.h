#pragma once
// Column filters of a grid: one condition per field, joined into the dataset's filter; the distinct
// values of a column (one pass with a hash table, sorted once) and the condition of ticked values.
#include <QList>
#include <QString>
#include <QVariant>

class TDataSet;
class TField;
class TkDBGrid;

struct DistinctValue {
    QVariant value; // invalid for NULL
    QString text;   // as the list shows it: "(empty)" for NULL
    int count = 0;  // records holding it in the rows scanned
};

// The distinct values of a field over the dataset's view, ordered by date, number or text (letter case
// ignored), the NULL entry first.
QList<DistinctValue> DistinctValues(const TDataSet& ds, const TField* field);

// The condition selecting exactly the records holding one of the values: one comparison each
// (the NULL test for a null) joined with OR. Empty for no values.
QString ValuesCondition(const TField* field, const QList<QVariant>& values);

// The grid's column conditions in order of first use, each bracketed, joined with AND.
QString GetColumnFilterString(TkDBGrid* grid);
QString ColumnCondition(TkDBGrid* grid, const QString& fieldName);
// Sets one column's condition (empty removes it); without multi the other columns' conditions go.
// With apply the joined filter goes to the dataset (switched off when empty). A null field clears all.
bool SetFilterForField(TkDBGrid* grid, const TField* field, const QString& condition, bool showMessages,
                       bool apply, bool multi);
