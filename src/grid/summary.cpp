#include "summary.h"

#include "column_store.h"
#include "field.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

double RoundSignificant(double x) {
    if (x == 0 || !std::isfinite(x)) return x;
    int d = 0;
    while (d > -15 && std::pow(10.0, d + 5) > std::fabs(x))
        --d;
    // Scaling by the inverse power keeps decimal steps exact for the usual magnitudes.
    const double scaled = d < 0 ? x * std::pow(10.0, -d) : x / std::pow(10.0, d);
    const double r = std::nearbyint(scaled); // the default rounding mode: halves to even
    return d < 0 ? r / std::pow(10.0, -d) : r * std::pow(10.0, d);
}

namespace {
// Running figures of one column, all rows and the selected ones.
struct Acc {
    double sum = 0, min = 0, max = 0;
    int values = 0, empty = 0;
    void add(double v) {
        if (values == 0)
            min = max = v;
        else if (v < min)
            min = v;
        else if (v > max)
            max = v;
        sum += v;
        ++values;
    }
};

void store(TSummaryResults& r, const Acc& all, const Acc& sel) {
    r.Sum = all.sum, r.Min = all.min, r.Max = all.max, r.CountValues = all.values, r.CountEmpty = all.empty;
    r.SelSum = sel.sum, r.SelMin = sel.min, r.SelMax = sel.max, r.SelCountValues = sel.values,
    r.SelCountEmpty = sel.empty;
}

// Distinct texts with their counts: the most frequent first, ties by text ignoring letter case.
void finishDistinct(TSummaryResults& r, const QHash<QString, int>& counts) {
    r.DistinctValueCount = int(counts.size());
    std::vector<TDistinctValues> all;
    all.reserve(size_t(counts.size()));
    for (auto it = counts.begin(); it != counts.end(); ++it)
        all.push_back({it.key(), it.value()});
    auto before = [](const TDistinctValues& a, const TDistinctValues& b) {
        if (a.Count != b.Count) return a.Count > b.Count;
        // Texts equal but for letter case still need a fixed order.
        const int c = a.Value.compare(b.Value, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.Value < b.Value;
    };
    const size_t keep = std::min(all.size(), size_t(kMaxDistinctValues));
    std::partial_sort(all.begin(), all.begin() + ptrdiff_t(keep), all.end(), before);
    all.resize(keep);
    r.DistinctValues = std::move(all);
}

// Numeric, boolean and date columns: typed values from the store; distinct values are hashed by
// their bits and turned into display texts once per distinct value.
void numericColumn(const TDataSet& ds, const TField* f, const std::vector<uint8_t>& sel, bool distinct,
                   TSummaryResults& r) {
    const Column& c = ds.store().column(size_t(f->column()));
    const StorageKind kind = c.kind();
    const std::vector<uint32_t>& view = ds.view();
    const bool hasSel = !sel.empty();
    Acc all, s;
    std::unordered_map<int64_t, int> bits;
    for (uint32_t row : view) {
        const bool picked = hasSel && sel[row];
        if (c.isNull(row)) {
            ++all.empty;
            if (picked) ++s.empty;
            continue;
        }
        double v;
        int64_t key;
        switch (kind) {
        case StorageKind::Float: {
            v = c.floatAt(row);
            std::memcpy(&key, &v, sizeof key);
            break;
        }
        case StorageKind::DateTime:
            key = c.intAt(row);
            v = dtconv::ToDays(key);
            break;
        default:
            key = c.intAt(row);
            v = double(key);
            break;
        }
        if (kind == StorageKind::Bool) {
            ++all.values;
            all.sum += key ? 1 : 0;
            if (picked) ++s.values, s.sum += key ? 1 : 0;
        } else {
            all.add(v);
            if (picked) s.add(v);
        }
        if (distinct) ++bits[key];
    }
    store(r, all, s);
    if (!distinct) return;
    QHash<QString, int> texts;
    for (const auto& [key, count] : bits) {
        QVariant v;
        if (kind == StorageKind::Float) {
            double d;
            std::memcpy(&d, &key, sizeof d);
            v = d;
        } else if (kind == StorageKind::DateTime) {
            const QDateTime dt = dtconv::ToDateTime(key);
            v = f->DataType == ftDate   ? QVariant(dt.date())
                : f->DataType == ftTime ? QVariant(dt.time())
                                        : QVariant(dt);
        } else if (kind == StorageKind::Bool) {
            v = key != 0;
        } else {
            v = qlonglong(key);
        }
        texts[f->formatValue(v)] += count; // values that show alike count as one text
    }
    finishDistinct(r, texts);
}

void textColumn(const TDataSet& ds, const TField* f, const std::vector<uint8_t>& sel, bool distinct,
                TSummaryResults& r) {
    const Column& c = ds.store().column(size_t(f->column()));
    const TextArena& arena = ds.store().arena();
    const bool hasSel = !sel.empty();
    const bool readable = c.kind() == StorageKind::Text || IsMemoField(*f);
    Acc all, s;
    std::unordered_map<std::string_view, int> counts;
    int blobs = 0; // binary values all show as one marker text
    for (uint32_t row : ds.view()) {
        const bool picked = hasSel && sel[row];
        if (c.isNull(row)) {
            ++all.empty;
            if (picked) ++s.empty;
            continue;
        }
        ++all.values;
        if (picked) ++s.values;
        if (!distinct) continue;
        if (readable && !c.isOtherClass(row))
            ++counts[c.bytesAt(row, arena)];
        else
            ++blobs;
    }
    store(r, all, s);
    if (!distinct) return;
    QHash<QString, int> texts;
    for (const auto& [bytes, count] : counts)
        texts[QString::fromUtf8(bytes.data(), qsizetype(bytes.size()))] += count;
    if (blobs) texts[IsGraphicField(*f) ? QStringLiteral("(GRAPHIC)") : QStringLiteral("(BLOB)")] += blobs;
    finishDistinct(r, texts);
}

// Calculated and lookup fields have no store column: their values come one by one.
void computedColumn(const TDataSet& ds, const TField* f, const std::vector<uint8_t>& sel, bool distinct,
                    TSummaryResults& r) {
    const bool hasSel = !sel.empty();
    const bool numeric = IsNumericField(*f), date = IsDateTimeField(*f), boolean = IsBooleanField(*f);
    Acc all, s;
    QHash<QString, int> texts;
    const int n = ds.RecordCount();
    for (int p = 0; p < n; ++p) {
        const bool picked = hasSel && sel[ds.rowIdAt(p)];
        const QVariant v = ds.valueAt(f, p);
        if (!v.isValid()) {
            ++all.empty;
            if (picked) ++s.empty;
            continue;
        }
        if (boolean) {
            ++all.values, all.sum += v.toBool();
            if (picked) ++s.values, s.sum += v.toBool();
        } else if (numeric || date) {
            const double d = date ? dtconv::ToDays(dtconv::FromDateTime(v.toDateTime())) : v.toDouble();
            all.add(d);
            if (picked) s.add(d);
        } else {
            ++all.values;
            if (picked) ++s.values;
        }
        if (distinct) ++texts[f->formatValue(v)];
    }
    store(r, all, s);
    if (distinct) finishDistinct(r, texts);
}
} // namespace

std::vector<TSummaryResults> ComputeSummaries(const TDataSet& ds, const std::vector<TField*>& fields,
                                              const std::vector<uint8_t>& selected, bool distinct) {
    std::vector<TSummaryResults> out(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        TSummaryResults& r = out[i];
        TField* f = fields[i];
        r.Field = f;
        if (!f || !ds.Active()) continue;
        if (f->column() < 0) {
            computedColumn(ds, f, selected, distinct, r);
        } else {
            const StorageKind k = ds.store().column(size_t(f->column())).kind();
            if (k == StorageKind::Text || k == StorageKind::Bytes)
                textColumn(ds, f, selected, distinct, r);
            else
                numericColumn(ds, f, selected, distinct, r);
        }
        if (r.CountValues > 0 && !IsBooleanField(*f) && (IsNumericField(*f) || IsDateTimeField(*f)))
            r.Avg = RoundSignificant(r.Sum / r.CountValues);
        if (r.SelCountValues > 0 && !IsBooleanField(*f) && (IsNumericField(*f) || IsDateTimeField(*f)))
            r.SelAvg = RoundSignificant(r.SelSum / r.SelCountValues);
        if (IsBooleanField(*f)) {
            // The share of true values.
            if (r.CountValues > 0) r.Avg = RoundSignificant(r.Sum / r.CountValues);
            if (r.SelCountValues > 0) r.SelAvg = RoundSignificant(r.SelSum / r.SelCountValues);
        }
    }
    return out;
}

QString FormatSummaryValue(const TField* f, double v, SummaryValue kind) {
    if (!f) return QString();
    if (IsBooleanField(*f)) {
        if (kind == SummaryValue::Sum || v == 0) return QString::number(std::llround(v));
        QString s = QString::number(v, 'f', 3);
        const QString dp = QLocale().decimalPoint();
        if (dp != QLatin1String(".")) s.replace('.', dp);
        return s;
    }
    if (IsDateTimeField(*f)) {
        if (kind == SummaryValue::Sum) return QString();
        const int64_t ms = dtconv::FromDays(v);
        TField shown(*f);
        const QDateTime dt = dtconv::ToDateTime(ms);
        if (f->DataType == ftTime) return shown.formatValue(dt.time());
        if (shown.DisplayFormat.isEmpty()) return QLocale().toString(dt, QLocale::ShortFormat);
        if (f->DataType == ftDate && dt.time() != QTime(0, 0)) shown.DataType = ftDateTime;
        return shown.formatValue(shown.DataType == ftDate ? QVariant(dt.date()) : QVariant(dt));
    }
    if (IsNumericField(*f)) {
        // Through a floating field, so an integer column's average keeps its decimals.
        TField shown(*f);
        shown.DataType = ftFloat;
        return shown.formatValue(v);
    }
    return QString();
}

bool WantsDistinctValues(const QString& text) {
    return text.contains(QLatin1String("%DISTINCTVALUES"), Qt::CaseInsensitive);
}

QString ReplaceSummaryTokens(const QString& text, const TSummaryResults& r, int recNo, QStringList* values,
                             const SummaryTextHook& hook) {
    enum Form { Integer, Value, SumValue };
    struct Token {
        const char* word;
        Form form;
        double value;
    };
    const Token tokens[] = {
        {"RECNO", Integer, double(recNo)},
        {"SUM", SumValue, r.Sum},
        {"MIN", Value, r.Min},
        {"MAX", Value, r.Max},
        {"AVG", Value, r.Avg},
        {"COUNTVAL", Integer, double(r.CountValues)},
        {"COUNTNULL", Integer, double(r.CountEmpty)},
        {"COUNTALL", Integer, double(r.CountValues) + r.CountEmpty},
        {"SELSUM", SumValue, r.SelSum},
        {"SELMIN", Value, r.SelMin},
        {"SELMAX", Value, r.SelMax},
        {"SELAVG", Value, r.SelAvg},
        {"SELCOUNTVAL", Integer, double(r.SelCountValues)},
        {"SELCOUNTNULL", Integer, double(r.SelCountEmpty)},
        {"SELCOUNTALL", Integer, double(r.SelCountValues) + r.SelCountEmpty},
        {"DISTINCTVALUES", Integer, double(r.DistinctValueCount)},
    };
    QString out = text;
    if (!out.contains('%')) return out;
    for (const Token& t : tokens) {
        const QString token = QLatin1Char('%') + QLatin1String(t.word);
        qsizetype at = out.indexOf(token, 0, Qt::CaseInsensitive);
        if (at < 0) continue;
        QString shown;
        switch (t.form) {
        case Integer:
            shown = QString::number(std::llround(t.value));
            break;
        case Value:
            shown = FormatSummaryValue(r.Field, t.value, SummaryValue::Other);
            break;
        case SumValue:
            shown = FormatSummaryValue(r.Field, t.value, SummaryValue::Sum);
            break;
        }
        if (hook) hook(r.Field, QLatin1String(t.word), shown);
        while (at >= 0) {
            out.replace(at, token.size(), shown);
            if (values) values->append(shown);
            at = out.indexOf(token, at + shown.size(), Qt::CaseInsensitive);
        }
    }
    return out;
}
