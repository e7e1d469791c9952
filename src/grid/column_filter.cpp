#include "column_filter.h"

#include "byte_groups.h"
#include "comp_config.h"
#include "db_grid.h"
#include "filter_panel.h"
#include "filter_text.h"
#include "lookup_filter.h"

#include <QPointer>
#include <algorithm>
#include <cstring>
#include <functional>
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

namespace {
// Letter-case folded sort keys of the value list, as bytes whose plain byte order is the order of
// the folded UTF-16 texts: ASCII texts without capitals are their own keys, other ASCII texts are
// lowered, the rest is folded through QString and written as UTF-8 with the lead bytes of U+E000 to
// U+FFFF raised above those of the supplementary planes (UTF-16 puts those planes first).
class FoldedKeys {
public:
    // The key of stored bytes (a view that must outlive the keys); non-ASCII bytes are decoded into
    // `decoded` on the way.
    void addBytes(std::string_view b, QString& decoded) {
        bool upper = false;
        for (const char c : b) {
            if (uchar(c) >= 0x80)
                return addText((decoded = QString::fromUtf8(b.data(), qsizetype(b.size()))));
            upper = upper || (c >= 'A' && c <= 'Z');
        }
        if (!upper) return push(b.data(), b.size());
        const size_t at = own_.size();
        for (const char c : b)
            own_.push_back(c >= 'A' && c <= 'Z' ? char(c + 32) : c);
        pushOwn(at);
    }
    void addText(const QString& text) {
        const size_t at = own_.size();
        AppendUtf8(own_, text.toCaseFolded());
        for (size_t i = at; i < own_.size(); ++i)
            if (uchar(own_[i]) == 0xEE || uchar(own_[i]) == 0xEF) own_[i] = char(uchar(own_[i]) + 0x10);
        pushOwn(at);
    }
    // The keys, once all are added.
    std::vector<std::string_view> views() const {
        std::vector<std::string_view> out;
        out.reserve(refs_.size());
        for (const Ref& r : refs_)
            out.emplace_back(r.own ? own_.data() + r.offset : r.data, r.size);
        return out;
    }

private:
    struct Ref {
        const char* data;
        size_t offset;
        size_t size;
        bool own;
    };
    void push(const char* data, size_t n) { refs_.push_back({data, 0, n, false}); }
    void pushOwn(size_t at) { refs_.push_back({nullptr, at, own_.size() - at, true}); }
    std::string own_;
    std::vector<Ref> refs_;
};

// The order of keys by their bytes, then by tieLess: sorted by eight bytes at a time taken as one
// number, each run of equal numbers then by the next eight bytes, so comparisons seldom touch the
// keys' memory.
class KeyOrder {
public:
    KeyOrder(const std::vector<std::string_view>& keys,
             const std::function<bool(uint32_t, uint32_t)>& tieLess)
        : keys_(keys), tieLess_(tieLess), items_(keys.size()) {
        for (uint32_t i = 0; i < items_.size(); ++i)
            items_[i].index = i;
        sort(0, items_.size(), 0);
    }
    std::vector<uint32_t> order() const {
        std::vector<uint32_t> out(items_.size());
        for (size_t i = 0; i < items_.size(); ++i)
            out[i] = items_[i].index;
        return out;
    }

private:
    struct Item {
        uint64_t head;
        uint32_t index;
    };
    void sort(size_t from, size_t to, size_t depth) {
        bool longer = false; // a key goes on after these eight bytes
        for (size_t i = from; i < to; ++i) {
            const std::string_view k = keys_[items_[i].index];
            uint64_t head = 0;
            for (size_t j = depth; j < depth + 8; ++j)
                head = (head << 8) | (j < k.size() ? uchar(k[j]) : 0);
            items_[i].head = head;
            longer = longer || k.size() > depth + 8;
        }
        const auto first = items_.begin() + qsizetype(from), last = items_.begin() + qsizetype(to);
        if (!longer) {
            // Every key ends here: equal bytes, then the shorter key first (the longer one goes on
            // with zero bytes), then equal keys by tieLess.
            std::sort(first, last, [&](const Item& a, const Item& b) {
                if (a.head != b.head) return a.head < b.head;
                const size_t na = keys_[a.index].size(), nb = keys_[b.index].size();
                return na != nb ? na < nb : tieLess_(a.index, b.index);
            });
            return;
        }
        std::sort(first, last, [](const Item& a, const Item& b) { return a.head < b.head; });
        for (size_t i = from; i < to;) {
            size_t j = i + 1;
            while (j < to && items_[j].head == items_[i].head)
                ++j;
            if (j - i > 1) sort(i, j, depth + 8);
            i = j;
        }
    }

    const std::vector<std::string_view>& keys_;
    const std::function<bool(uint32_t, uint32_t)>& tieLess_;
    std::vector<Item> items_;
};
} // namespace

QList<DistinctValue> DistinctValues(const TDataSet& ds, const TField* field) {
    int nullCount = 0;
    const std::vector<uint32_t>& view = ds.view();
    const Column* col = field->column() >= 0 ? &ds.store().column(size_t(field->column())) : nullptr;
    const StorageKind kind = StorageOf(field->DataType);
    const TextArena& arena = ds.store().arena();
    const bool memo = IsMemoField(*field) || kind == StorageKind::Bytes;
    const bool stored = col && (kind == StorageKind::Text || kind == StorageKind::Bytes);
    // Stored texts and bytes are grouped by their bytes (one probe per record), numbers by their 64
    // bits; the other values (calculated fields, values stored in the other class) by their text.
    ByteGroups groups(stored ? std::min<size_t>(view.size(), 4096) : 0);
    std::vector<uint32_t> groupCount, groupRow;
    QList<DistinctValue> others;
    std::unordered_map<int64_t, int> numbers;
    QHash<QString, int> otherTexts;
    auto add = [&](const QVariant& v) {
        others.append({v, QString(), 1});
        return int(others.size()) - 1;
    };
    std::string_view batch[ByteGroups::kBatch];
    uint32_t batchRow[ByteGroups::kBatch];
    size_t batched = 0;
    auto flush = [&] {
        uint32_t g[ByteGroups::kBatch];
        bool fresh[ByteGroups::kBatch];
        groups.addBatch(batch, batched, g, fresh);
        for (size_t i = 0; i < batched; ++i) {
            if (fresh[i]) {
                groupCount.push_back(1);
                groupRow.push_back(batchRow[i]);
            } else {
                ++groupCount[g[i]];
            }
        }
        batched = 0;
    };
    const TField* lookupKey = SingleLookupKey(field);
    if (lookupKey) {
        // Each distinct key is looked up once, not the lookup records searched for every record.
        const QHash<QString, QVariant> shown = LookupShownByKey(field);
        for (const DistinctValue& k : DistinctValues(ds, lookupKey)) {
            const QVariant v = k.value.isValid() ? shown.value(LookupKeyText(k.value)) : QVariant();
            if (!v.isValid()) {
                nullCount += k.count;
                continue;
            }
            const QString text = field->formatValue(v);
            auto it = otherTexts.find(text);
            if (it != otherTexts.end()) {
                others[*it].count += k.count; // another key showing the same value
                continue;
            }
            otherTexts.insert(text, int(others.size()));
            others.append({v, QString(), k.count});
        }
    }
    static const std::vector<uint32_t> none;
    for (const uint32_t row : lookupKey ? none : view) {
        if (col && col->isNull(row)) {
            ++nullCount;
            continue;
        }
        if (stored && !col->isOtherClass(row)) {
            batch[batched] = col->bytesAt(row, arena);
            batchRow[batched] = row;
            if (++batched == ByteGroups::kBatch) flush();
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
                ++others[it->second].count;
        } else {
            const QVariant v = ds.valueOfRow(field, row);
            if (!v.isValid()) {
                ++nullCount;
                continue;
            }
            const QString key = field->formatValue(v);
            auto it = otherTexts.find(key);
            if (it == otherTexts.end())
                otherTexts.insert(key, add(v));
            else
                ++others[*it].count;
        }
    }
    flush();
    // Plain texts are shown as stored; memos and bytes go through the field's formatting.
    const bool plainText = kind == StorageKind::Text && !memo;
    const uint32_t plain = plainText ? uint32_t(groups.size()) : 0;
    if (!plainText)
        for (uint32_t g = 0; g < groups.size(); ++g)
            others.append({ds.valueOfRow(field, groupRow[g]), QString(), int(groupCount[g])});
    for (DistinctValue& d : others)
        if (d.text.isNull())
            d.text = memo ? field->formatValue(d.value).left(200) : field->formatValue(d.value);

    QList<DistinctValue> out;
    out.reserve(qsizetype(plain) + others.size() + 1);
    if (nullCount) out.append({QVariant(), QStringLiteral("(empty)"), nullCount});
    if (IsDateTimeField(*field) || IsNumericField(*field)) {
        const bool date = IsDateTimeField(*field);
        std::sort(others.begin(), others.end(), [date](const DistinctValue& a, const DistinctValue& b) {
            return date ? a.value.toDateTime() < b.value.toDateTime()
                        : a.value.toDouble() < b.value.toDouble();
        });
        out.append(std::move(others));
        return out;
    }
    // By text, letter case ignored, then by the exact text. Entries 0..plain-1 are the plain text
    // groups (decoded only here, once each), the others follow.
    std::vector<QString> decoded(plain);
    FoldedKeys folded;
    for (uint32_t g = 0; g < plain; ++g)
        folded.addBytes(groups.bytes(g), decoded[g]);
    for (const DistinctValue& d : others)
        folded.addText(d.text);
    auto textOf = [&](uint32_t i) -> QString {
        if (i >= plain) return others[qsizetype(i - plain)].text;
        if (!decoded[i].isNull()) return decoded[i];
        const std::string_view b = groups.bytes(i);
        return QString::fromUtf8(b.data(), qsizetype(b.size()));
    };
    const std::vector<std::string_view> keys = folded.views();
    const std::function<bool(uint32_t, uint32_t)> tieLess = [&](uint32_t a, uint32_t b) {
        // ASCII texts compare as their bytes; the rest as UTF-16, as QString orders them.
        if (a < plain && b < plain && decoded[a].isNull() && decoded[b].isNull())
            return groups.bytes(a) < groups.bytes(b);
        return textOf(a) < textOf(b);
    };
    const std::vector<uint32_t> order = KeyOrder(keys, tieLess).order();
    for (const uint32_t i : order) {
        if (i >= plain) {
            out.append(std::move(others[qsizetype(i - plain)]));
        } else {
            const QString t = textOf(i);
            out.append({QVariant(t), t, int(groupCount[i])});
        }
    }
    return out;
}

QString ValuesCondition(const TField* field, const QList<QVariant>& values, bool caseInsensitive) {
    if (const TField* shown = LookupResultFieldOf(field)) {
        // The listed values are the lookup's: the keys showing them are selected.
        QList<QVariant> some;
        for (const QVariant& v : values)
            if (v.isValid()) some << v;
        if (values.isEmpty()) return QString();
        QString error;
        return LookupKeyCondition(field, ValuesCondition(shown, some), some.size() < values.size(),
                                  caseInsensitive, error);
    }
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

bool FilterIgnoresCase(const TkDBGrid* grid) {
    switch (grid->OptionsEx2.Filters.FilterCaseSensitivity) {
    case fcsCaseInsensitive:
        return true;
    case fcsCaseSensitive:
        return false;
    case fcsDoNotChange:
        break;
    }
    const TDataSet* ds = grid->dataSet();
    return ds && (ds->FilterOptions & foCaseInsensitive);
}

TextFilterResult ColumnTextFilter(const TkDBGrid* grid, const TField* field, const QString& text) {
    const TField* shown = LookupResultFieldOf(field);
    if (!shown) return BuildTextFilter(field, text, TextFilterSettingsOf(grid));
    // The text is read as the shown field's (its type's grammar) and selects the keys showing a match.
    TextFilterResult r = BuildTextFilter(shown, text, TextFilterSettingsOf(grid));
    if (!r.ok() || r.condition.isEmpty()) return r;
    const bool isNull = TypedNullTestOf(text) == TypedNullTest::IsNull;
    r.condition =
        LookupKeyCondition(field, isNull ? QString() : r.condition, isNull, FilterIgnoresCase(grid), r.error);
    return r;
}

bool ParseTextFilter(TkDBGrid* grid, const TField* field, const QString& text) {
    if (!field) return false;
    const TextFilterResult r = ColumnTextFilter(grid, field, text);
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

bool FilterByColumnValue(TkDBGrid* grid, const TField* field, const QVariant& value, const QString& text) {
    if (!field) return false;
    const QString condition = ValuesCondition(field, {value}, FilterIgnoresCase(grid));
    const bool ok =
        !condition.isEmpty() && SetColumnFilter(grid, field, condition, false, true, nullptr, text);
    ColumnFilterEntry& e = ColumnFilterOf(grid, field->FieldName);
    e.text = text;
    e.error = ok ? QString() : QStringLiteral("The filter was not accepted.");
    grid->FilterChangedNotification();
    return ok;
}

QStringList& FilterPanelItems(TkDBGrid* grid) {
    return ColumnFilterState::of(grid)->panelItems;
}
