#pragma once
// Column filters of a grid: one condition per field, joined into the dataset's filter; the distinct
// values of a column (one pass with a hash table, sorted once) and the condition of ticked values.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "text_filter.h"

class TDataSet;
class TField;
class TkDBGrid;
class QWidget;

struct DistinctValue {
    QVariant value; // invalid for NULL
    QString text;   // as the list shows it: "(empty)" for NULL
    int count = 0;  // records holding it in the rows scanned
};

// The distinct values of a field over the dataset's view, ordered by date, number or text (letter case
// ignored), the NULL entry first.
QList<DistinctValue> DistinctValues(const TDataSet& ds, const TField* field);

// The condition selecting exactly the records holding one of the values: one comparison each
// (the NULL test for a null) joined with OR. Empty for no values. A lookup field's values are the
// shown ones: the condition selects the keys showing them (matched with letter case ignored when
// caseInsensitive).
QString ValuesCondition(const TField* field, const QList<QVariant>& values, bool caseInsensitive = false);

// One field's column filter: its condition and what the text filter row shows for it.
struct ColumnFilterEntry {
    QString field;
    QString condition;
    QString text;        // the text typed last into the text filter row
    QString error;       // why that text gave no filter (empty: it did)
    QStringList history; // earlier texts that filtered
};
// The grid's entries in order of first use (lives as long as the grid).
QList<ColumnFilterEntry>& ColumnFilters(TkDBGrid* grid);
// The entry of a field (letter case ignored), appended empty when it has none yet.
ColumnFilterEntry& ColumnFilterOf(TkDBGrid* grid, const QString& fieldName);

// The grid's column conditions in order of first use, each bracketed, joined with AND.
QString GetColumnFilterString(TkDBGrid* grid);
QString ColumnCondition(TkDBGrid* grid, const QString& fieldName);
// Sets one column's condition (empty removes it, with its typed text); without multi the other
// columns' conditions and texts go. With apply the joined filter goes to the dataset (switched off when
// empty); a filter the dataset refuses leaves the previous conditions and filter in force. A null
// field clears all.
bool SetFilterForField(TkDBGrid* grid, const TField* field, const QString& condition, bool showMessages,
                       bool apply, bool multi);
// A condition chosen in a value list, the condition window (form) or typed into the text filter row
// (typedText): OnSetColumnFilter decides when assigned, else SetFilterForField applies it.
bool SetColumnFilter(TkDBGrid* grid, const TField* field, const QString& condition, bool showMessages,
                     bool multi, QWidget* form, const QString& typedText = QString());
// Sets a column's condition and text-row text, applying the joined filter at once when asked (the
// way saved column filters come back).
void DefineColumnFilter(TkDBGrid* grid, const QString& fieldName, const QString& condition, bool activate,
                        const QString& textValue);
// Column filters of several columns are joined: the grid's option or the program-wide override.
bool MultiFieldFilterOn(const TkDBGrid* grid);

// The grid's like character and operator: its own options, else the filter settings'.
QChar GridLikeChar(const TkDBGrid* grid);
QString GridLikeOperator(const TkDBGrid* grid);
TextFilterSettings TextFilterSettingsOf(const TkDBGrid* grid);
// Whether the grid's filters ignore letter case: its own option, else the dataset's.
bool FilterIgnoresCase(const TkDBGrid* grid);
// The condition of a text typed into a column's filter cell. A lookup column's text is read as its
// shown field's and becomes a condition on the key fields: the keys whose shown value matches.
TextFilterResult ColumnTextFilter(const TkDBGrid* grid, const TField* field, const QString& text);
// A text typed into a column's filter cell: its condition replaces the column's (an empty text removes
// it), joined with the other columns'. A text that gives no condition leaves the filter in force and
// keeps its error in the column's entry. True when a filter was set.
bool ParseTextFilter(TkDBGrid* grid, const TField* field, const QString& text);
// A value picked from the text filter row's list: the column's condition selects the records holding
// exactly it (as ticking it in the value list does), and the row shows text. True when it was applied.
bool FilterByColumnValue(TkDBGrid* grid, const TField* field, const QVariant& value, const QString& text);

// The names of the dataset's fields that a filter text refers to (quoted values are not looked into).
QStringList FilterFieldNames(const TDataSet& ds, const QString& filter);
