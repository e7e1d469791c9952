#pragma once
// Column aggregates of a grid's view (sum, minimum, maximum, average, counts, distinct values) and the
// token language that writes them into texts ("Sum = %sum").
#include "dataset.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct TDistinctValues {
    QString Value;
    int Count = 0;
    bool operator==(const TDistinctValues&) const = default;
};

struct TSummaryResults {
    TField* Field = nullptr;
    // Numbers, and dates as days since 1899-12-30; for booleans Sum counts the true values.
    double Sum = 0, Min = 0, Max = 0, Avg = 0;
    int CountValues = 0, CountEmpty = 0;
    double SelSum = 0, SelMin = 0, SelMax = 0, SelAvg = 0;
    int SelCountValues = 0, SelCountEmpty = 0;
    int DistinctValueCount = 0;
    std::vector<TDistinctValues> DistinctValues; // at most kMaxDistinctValues, most frequent first
};

constexpr int kMaxDistinctValues = 25;

// x rounded to about six significant digits (at most 15 decimals; 100000 and more to whole numbers),
// halves to even.
double RoundSignificant(double x);

// One pass per column over the dataset's view straight from the column store. selected: a flag per
// row id (empty = no selection). distinct: count the distinct display texts of every column.
std::vector<TSummaryResults> ComputeSummaries(const TDataSet& ds, const std::vector<TField*>& fields,
                                              const std::vector<uint8_t>& selected, bool distinct);

// A value written by the value format of its field ("sum" picks the sum rule of dates and booleans).
enum class SummaryValue { Sum, Other };
QString FormatSummaryValue(const TField* f, double v, SummaryValue kind);

// Lets an owner change each value text before it is inserted (token word in upper case).
using SummaryTextHook = std::function<void(const TField* f, const QString& token, QString& text)>;

// Replaces the tokens of a text; values lists the inserted value texts. recNo serves "%RECNO".
QString ReplaceSummaryTokens(const QString& text, const TSummaryResults& r, int recNo,
                             QStringList* values = nullptr, const SummaryTextHook& hook = {});

// Whether a text asks for the distinct values ("%DISTINCTVALUES", any letter case).
bool WantsDistinctValues(const QString& text);
