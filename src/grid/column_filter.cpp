#include "column_filter.h"

#include "comp_config.h"
#include "db_grid.h"
#include "filter_panel.h"
#include "filter_text.h"

#include <QPointer>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {
// The per-grid entries, kept as a child object of the grid so they live as long as the grid.
class ColumnFilterState : public QObject {
public:
    using QObject::QObject;
    QList<ColumnFilterEntry> entries;
    QStringList panelItems; // the filter footer's history

    static ColumnFilterState* of(TkDBGrid* grid) {
        static const QString name = QStringLiteral("columnFilters");
        auto* s =
            dynamic_cast<ColumnFilterState*>(grid->findChild<QObject*>(name, Qt::FindDirectChildrenOnly));
        if (!s) {
            s = new ColumnFilterState(grid);
            s->setObjectName(name);
        }
        return s;
    }
};
} // namespace

QList<ColumnFilterEntry>& ColumnFilters(TkDBGrid* grid) {
    return ColumnFilterState::of(grid)->entries;
}

ColumnFilterEntry& ColumnFilterOf(TkDBGrid* grid, const QString& fieldName) {
    QList<ColumnFilterEntry>& entries = ColumnFilters(grid);
    for (ColumnFilterEntry& e : entries)
        if (e.field.compare(fieldName, Qt::CaseInsensitive) == 0) return e;
    entries.append({fieldName, {}, {}, {}, {}});
    return entries.last();
}

bool MultiFieldFilterOn(const TkDBGrid* grid) {
    return grid->OptionsEx2.Filters.MultiFieldFilter || VemoCompConfig().kDBGridCfg.FilterMultiFieldForcedOn;
}

QStringList FilterFieldNames(const TDataSet& ds, const QString& filter) {
    // Words outside quoted values and dates: bracketed names whole, other runs up to a blank or one of
    // the characters that end a bare field name.
    QStringList out;
    auto take = [&](const QString& word) {
        const TField* f = word.isEmpty() ? nullptr : ds.FindField(word);
        if (f && !out.contains(f->FieldName)) out << f->FieldName;
    };
    static const QString stops = QStringLiteral("()<>='[#");
    const qsizetype n = filter.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = filter[i];
        if (c == '\'' || c == '#') {
            // 'text' with '' inside, #date#
            for (++i; i < n; ++i)
                if (filter[i] == c) {
                    if (c == '\'' && i + 1 < n && filter[i + 1] == c) {
                        ++i;
                        continue;
                    }
                    break;
                }
            ++i;
        } else if (c == '[') {
            QString name;
            for (++i; i < n; ++i) {
                if (filter[i] == ']') {
                    if (i + 1 < n && filter[i + 1] == ']') {
                        name += ']';
                        ++i;
                        continue;
                    }
                    break;
                }
                name += filter[i];
            }
            ++i;
            take(name);
        } else if (c.isSpace() || stops.contains(c)) {
            ++i;
        } else {
            const qsizetype from = i;
            while (i < n && !filter[i].isSpace() && !stops.contains(filter[i]))
                ++i;
            take(filter.mid(from, i - from));
        }
    }
    return out;
}

QList<DistinctValue> DistinctValues(const TDataSet& ds, const TField* field) {
    QList<DistinctValue> out;
    int nullCount = 0;
    const std::vector<uint32_t>& view = ds.view();
    const Column* col = field->column() >= 0 ? &ds.store().column(size_t(field->column())) : nullptr;
    const StorageKind kind = StorageOf(field->DataType);
    // Keys point into the store's arena (text) or hold the 64 bits of the value; one entry per distinct
    // value, one hash probe per record.
    std::unordered_map<std::string_view, int> texts;
    std::unordered_map<int64_t, int> numbers;
    QHash<QString, int> others; // calculated fields and values stored in the other class
    const bool memo = IsMemoField(*field) || kind == StorageKind::Bytes;
    const bool plainText = kind == StorageKind::Text && !memo;
    auto add = [&](const QVariant& v) {
        out.append({v, QString(), 1});
        return int(out.size()) - 1;
    };
    for (const uint32_t row : view) {
        if (col && col->isNull(row)) {
            ++nullCount;
            continue;
        }
        if (col && !col->isOtherClass(row) && (kind == StorageKind::Text || kind == StorageKind::Bytes)) {
            const std::string_view b = col->bytesAt(row, ds.store().arena());
            auto [it, fresh] = texts.try_emplace(b, 0);
            if (fresh && plainText) {
                // Decoded once: the value and the text the list shows share one string.
                const QString t = QString::fromUtf8(b.data(), qsizetype(b.size()));
                out.append({QVariant(t), t, 1});
                it->second = int(out.size()) - 1;
            } else if (fresh)
                it->second = add(ds.valueOfRow(field, row));
            else
                ++out[it->second].count;
        } else if (col && !col->isOtherClass(row)) {
            int64_t key;
            if (kind == StorageKind::Float) {
                double d = col->floatAt(row);
                if (d == 0) d = 0; // one key for -0 and +0
                std::memcpy(&key, &d, sizeof key);
            } else {
                key = col->intAt(row);
            }
            auto [it, fresh] = numbers.try_emplace(key, 0);
            if (fresh)
                it->second = add(ds.valueOfRow(field, row));
            else
                ++out[it->second].count;
        } else {
            const QVariant v = ds.valueOfRow(field, row);
            if (!v.isValid()) {
                ++nullCount;
                continue;
            }
            const QString key = field->formatValue(v);
            auto it = others.find(key);
            if (it == others.end())
                others.insert(key, add(v));
            else
                ++out[*it].count;
        }
    }
    for (DistinctValue& d : out)
        if (d.text.isNull())
            d.text = memo ? field->formatValue(d.value).left(200) : field->formatValue(d.value);
    if (IsDateTimeField(*field) || IsNumericField(*field)) {
        const bool date = IsDateTimeField(*field);
        std::sort(out.begin(), out.end(), [date](const DistinctValue& a, const DistinctValue& b) {
            return date ? a.value.toDateTime() < b.value.toDateTime()
                        : a.value.toDouble() < b.value.toDouble();
        });
    } else {
        // Letter case ignored, then the exact text: each text is folded once here instead of on every
        // comparison, and the entries are moved once into their order.
        std::vector<QString> folded;
        folded.reserve(size_t(out.size()));
        for (const DistinctValue& d : out)
            folded.push_back(d.text.toCaseFolded());
        std::vector<uint32_t> order(size_t(out.size()));
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = uint32_t(i);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const int c = QStringView(folded[a]).compare(QStringView(folded[b]));
            return c != 0 ? c < 0 : out[a].text < out[b].text;
        });
        QList<DistinctValue> sorted;
        sorted.reserve(out.size() + 1);
        for (const uint32_t i : order)
            sorted.append(std::move(out[i]));
        out = std::move(sorted);
    }
    if (nullCount) out.prepend({QVariant(), QStringLiteral("(empty)"), nullCount});
    return out;
}

QString ValuesCondition(const TField* field, const QList<QVariant>& values) {
    QStringList parts;
    // The stored value itself, not its display text: the comparison must find exactly it.
    for (const QVariant& v : values)
        parts << BuildCondition(field, ConditionValueText(field, v), !v.isValid());
    return JoinConditions(QStringLiteral("OR"), parts);
}

QString GetColumnFilterString(TkDBGrid* grid) {
    QStringList parts;
    for (const ColumnFilterEntry& e : ColumnFilters(grid))
        if (!e.condition.trimmed().isEmpty()) parts << e.condition.trimmed();
    return JoinConditions(QStringLiteral("AND"), parts);
}

QString ColumnCondition(TkDBGrid* grid, const QString& fieldName) {
    for (const ColumnFilterEntry& e : ColumnFilters(grid))
        if (e.field.compare(fieldName, Qt::CaseInsensitive) == 0) return e.condition;
    return QString();
}

namespace {
// The dataset's letter-case option as the grid asks for it.
void applyCaseOption(TkDBGrid* grid, TDataSet* ds) {
    switch (grid->OptionsEx2.Filters.FilterCaseSensitivity) {
    case fcsCaseInsensitive:
        ds->FilterOptions |= foCaseInsensitive;
        break;
    case fcsCaseSensitive:
        ds->FilterOptions &= ~foCaseInsensitive;
        break;
    case fcsDoNotChange:
        break;
    }
}
} // namespace

bool SetFilterForField(TkDBGrid* grid, const TField* field, const QString& condition, bool showMessages,
                       bool apply, bool multi) {
    QList<ColumnFilterEntry>& entries = ColumnFilters(grid);
    TDataSet* ds = grid->dataSet();
    if (!field) {
        if (apply && ds) ds->setFiltered(false);
        entries.clear();
        grid->FilterChangedNotification();
        if (apply && grid->OnFilterChanged) grid->OnFilterChanged(grid);
        return true;
    }
    // The previous entries come back when the dataset refuses the new filter.
    const QList<ColumnFilterEntry> previous = entries;
    const QString trimmed = condition.trimmed();
    ColumnFilterEntry& entry = ColumnFilterOf(grid, field->FieldName);
    entry.condition = trimmed;
    if (trimmed.isEmpty()) {
        entry.text.clear();
        entry.error.clear();
    }
    if (!multi)
        for (ColumnFilterEntry& e : entries)
            if (e.field.compare(field->FieldName, Qt::CaseInsensitive) != 0) {
                e.condition.clear();
                e.text.clear();
                e.error.clear();
            }
    if (!apply || !ds) return true;
    const QString text = GetColumnFilterString(grid);
    bool ok = true;
    if (text.isEmpty()) {
        ds->setFiltered(false);
    } else {
        const int options = ds->FilterOptions;
        applyCaseOption(grid, ds);
        ok = ApplyFilter(ds, text, showMessages);
        if (!ok) ds->FilterOptions = options;
    }
    if (!ok) entries = previous;
    grid->FilterChangedNotification();
    if (ok && grid->OnFilterChanged) grid->OnFilterChanged(grid);
    return ok;
}

bool SetColumnFilter(TkDBGrid* grid, const TField* field, const QString& condition, bool showMessages,
                     bool multi, QWidget* form, const QString& typedText) {
    if (grid->OnSetColumnFilter)
        return grid->OnSetColumnFilter(grid, grid->dataSet(), form, typedText, condition, field);
    return SetFilterForField(grid, field, condition, showMessages, true, multi);
}

void DefineColumnFilter(TkDBGrid* grid, const QString& fieldName, const QString& condition, bool activate,
                        const QString& textValue) {
    ColumnFilterEntry& e = ColumnFilterOf(grid, fieldName);
    e.condition = condition.trimmed();
    e.text = textValue;
    e.error.clear();
    if (!activate) return;
    TDataSet* ds = grid->dataSet();
    if (ds) {
        const QString text = GetColumnFilterString(grid);
        if (text.isEmpty())
            ds->setFiltered(false);
        else
            ApplyFilter(ds, text, false);
    }
    grid->FilterChangedNotification();
}

QChar GridLikeChar(const TkDBGrid* grid) {
    const QChar own = grid->OptionsEx2.Filters.TextFilterLikeChar;
    return own.isNull() ? VemoCompConfig().kDBFilterCfg.FilterWildCardChar : own;
}

QString GridLikeOperator(const TkDBGrid* grid) {
    const QString& own = grid->OptionsEx2.Filters.TextFilterLikeOperator;
    return own.isEmpty() ? VemoCompConfig().kDBFilterCfg.FilterLikeOperator : own;
}

TextFilterSettings TextFilterSettingsOf(const TkDBGrid* grid) {
    const TkDBGridFilters& o = grid->OptionsEx2.Filters;
    TextFilterSettings s;
    s.likeChar = GridLikeChar(grid);
    s.likeOperator = GridLikeOperator(grid);
    s.type = o.TextFilterType;
    s.datePartAsRange = o.UseDatePartAsRange;
    s.numberPartAsRange = o.UseNumberPartAsRange;
    s.numberWildChar = o.NumberPartWildChar;
    return s;
}

bool ParseTextFilter(TkDBGrid* grid, const TField* field, const QString& text) {
    if (!field) return false;
    const TextFilterResult r = BuildTextFilter(field, text, TextFilterSettingsOf(grid));
    if (!r.ok()) {
        ColumnFilterEntry& e = ColumnFilterOf(grid, field->FieldName);
        e.text = text;
        e.error = r.error;
        grid->FilterChangedNotification();
        return false;
    }
    const bool ok = SetColumnFilter(grid, field, r.condition, false, true, nullptr, text);
    ColumnFilterEntry& e = ColumnFilterOf(grid, field->FieldName);
    e.text = r.condition.isEmpty() ? QString() : text;
    e.error = ok ? QString() : QStringLiteral("The filter was not accepted.");
    const TkDBGridFilters& o = grid->OptionsEx2.Filters;
    const QString t = text.trimmed();
    if (ok && t.size() > 2 && o.TextListAddFilter && !o.TextListAutoLoad && !e.history.contains(t)) {
        e.history << t;
        e.history.sort(Qt::CaseInsensitive);
    }
    grid->FilterChangedNotification();
    return ok && !r.condition.isEmpty();
}

QStringList& FilterPanelItems(TkDBGrid* grid) {
    return ColumnFilterState::of(grid)->panelItems;
}
