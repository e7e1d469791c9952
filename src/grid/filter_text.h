#pragma once
// Filter texts built from user input, and applying them to a dataset. Every filter feature (filter by
// selection, the incremental-search filter, the filter dialog, stored filters, the column filters) builds
// its conditions here so that values are quoted one way.
#include <QDateTime>
#include <QString>
#include <QStringList>

class TDataSet;
class TField;
class TkDBGrid;

// The texts of numbers and dates inside conditions. A number is written in the shortest form that
// reads back to the same value, with the configured decimal separator; a date in FilterDateFormat(),
// followed by its time when it has one (so a date-time condition finds its own row).
QString FilterFloatText(double v);
QString FilterDateText(const QDateTime& v, bool withTime = true);
QString FilterDateText(const QDate& d);

// "(name op 'value')": empty when no condition can be built for the field (none, closed dataset, not of
// the plain category or a memo). Apostrophes of the value are doubled inside quotes. op empty = "=".
QString BuildCondition(const TField* field, const QString& value, bool isNull, const QString& op = QString(),
                       bool isNotNull = false);
// "(F>=QaQ) AND (F<=QbQ)", F already quoted.
QString BuildRangeCondition(const QString& quotedField, const QString& from, const QString& to,
                            const QString& quote);
// The items joined by " op ", each bracketed unless it is one bracketed condition already.
QString JoinConditions(const QString& op, const QStringList& items);
// The value between apostrophes for a field of the quoted-text category, else as it is.
QString QuoteConditionValue(const TField& field, const QString& value);

// Sets the filter text and switches filtering on, or only switches it off for an empty text (the old
// text stays). A rejected text leaves the previous text and flag in force; with showErrors it is
// shown as "Error in expression.". The current record is kept when it is still in the view.
bool ApplyFilter(TDataSet* ds, const QString& text, bool showErrors);

// Filter by the current value of a field: mode 0 replaces the filter, 1 ANDs and 2 ORs with it.
enum class FilterSelMode { Replace = 0, And = 1, Or = 2 };
QString SelectionCondition(const TField* field);
// A value as a condition holds it: dates in the filter format (with their time), numbers exactly.
QString ConditionValueText(const TField* field, const QVariant& v);
bool FilterBySelection(TDataSet* ds, const TField* field, FilterSelMode mode);
bool FilterBySelection(TkDBGrid* grid, FilterSelMode mode);

// The condition of the incremental search: a text field contains the search text, other fields equal it.
// The like character and operator default to the filter settings'.
QString SearchTextCondition(const TField* field, const QString& searchText, QChar likeChar = QChar(),
                            const QString& likeOperator = QString());
// The hint line's tail while searching.
QString SearchFilterHint(const TDataSet* ds);

// The two dates of a "Set period" item relative to today; false for an unknown item. Items: "Yesterday",
// "Today", "Tomorrow", "MonthFirstDay", "MonthLastDay", "Week-1/0/+1", "Month-1/0/+1", "Month1".."Month12",
// "Quarter-1/0/+1", "Quarter1".."Quarter4", "Semester-1/0/+1", "Semester1", "Semester2", "Year-1/0/+1",
// "YearN" (a year), "SinceMonth/Quarter/Semester/Year", "UntilMonth/Quarter/Semester/Year".
bool PeriodDates(const QString& item, const QDate& today, QDate& from, QDate& to);

// Stored filters of a grid: rows of (name, condition) in the settings store.
struct StoredFilter {
    QString name;
    QString condition;
};
QString StoredFiltersSection(const TkDBGrid* grid);
QList<StoredFilter> ReadStoredFilters(const QString& section);
void WriteStoredFilters(const QString& section, const QList<StoredFilter>& rows);
// A readable name for a filter text: brackets dropped, field names outside quoted texts replaced by the
// fields' display labels.
QString ProposeFilterName(const TDataSet& ds, const QString& filter);
bool SaveCurrentFilter(TkDBGrid* grid);
QStringList StoredFilterNames(TkDBGrid* grid);
bool ApplyStoredFilter(TkDBGrid* grid, const QString& name);
