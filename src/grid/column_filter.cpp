#include "column_filter.h"

#include "db_grid.h"
#include "filter_text.h"

#include <QPointer>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {
// The per-grid condition list, kept as a child object of the grid so it lives as long as the grid.
class ColumnFilterState : public QObject {
public:
    using QObject::QObject;
    QList<QPair<QString, QString>> entries; // field name, condition

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
    QString& conditionOf(const QString& field) {
        for (auto& e : entries)
            if (e.first.compare(field, Qt::CaseInsensitive) == 0) return e.second;
        entries.append({field, QString()});
        return entries.last().second;
    }
};

} // namespace

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
            if (fresh)
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
    const bool memo = IsMemoField(*field) || kind == StorageKind::Bytes;
    for (DistinctValue& d : out)
        d.text = memo ? field->formatValue(d.value).left(200) : field->formatValue(d.value);
    if (IsDateTimeField(*field) || IsNumericField(*field)) {
        const bool date = IsDateTimeField(*field);
        std::sort(out.begin(), out.end(), [date](const DistinctValue& a, const DistinctValue& b) {
            return date ? a.value.toDateTime() < b.value.toDateTime()
                        : a.value.toDouble() < b.value.toDouble();
        });
    } else {
        std::sort(out.begin(), out.end(), [](const DistinctValue& a, const DistinctValue& b) {
            const int c = a.text.compare(b.text, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a.text < b.text;
        });
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
    for (const auto& e : ColumnFilterState::of(grid)->entries)
        if (!e.second.trimmed().isEmpty()) parts << e.second.trimmed();
    return JoinConditions(QStringLiteral("AND"), parts);
}

QString ColumnCondition(TkDBGrid* grid, const QString& fieldName) {
    for (const auto& e : ColumnFilterState::of(grid)->entries)
        if (e.first.compare(fieldName, Qt::CaseInsensitive) == 0) return e.second;
    return QString();
}

bool SetFilterForField(TkDBGrid* grid, const TField* field, const QString& condition, bool showMessages,
                       bool apply, bool multi) {
    ColumnFilterState* state = ColumnFilterState::of(grid);
    TDataSet* ds = grid->dataSet();
    if (!field) {
        if (apply && ds) ds->setFiltered(false);
        state->entries.clear();
        grid->FilterChangedNotification();
        return true;
    }
    // The previous conditions come back when the dataset refuses the new filter.
    const auto previous = state->entries;
    state->conditionOf(field->FieldName) = condition.trimmed();
    if (!multi)
        for (auto& e : state->entries)
            if (e.first.compare(field->FieldName, Qt::CaseInsensitive) != 0) e.second.clear();
    if (!apply || !ds) return true;
    const QString text = GetColumnFilterString(grid);
    bool ok = true;
    if (text.isEmpty())
        ds->setFiltered(false);
    else
        ok = ApplyFilter(ds, text, showMessages);
    if (!ok) state->entries = previous;
    grid->FilterChangedNotification();
    return ok;
}
