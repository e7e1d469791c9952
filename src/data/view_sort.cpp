#include "view_sort.h"

#include "exceptions.h"
#include "text_sort.h"

#include <algorithm>

std::vector<SortKey> ParseSortText(const TDataSet& ds, const QString& text) {
    std::vector<SortKey> keys;
    // Split at commas outside brackets.
    QStringList items;
    QString cur;
    bool inBracket = false;
    for (QChar c : text) {
        if (c == '[')
            inBracket = true;
        else if (c == ']')
            inBracket = false;
        if (c == ',' && !inBracket) {
            items << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    items << cur;
    for (QString item : items) {
        item = item.trimmed();
        if (item.isEmpty()) continue;
        bool desc = false;
        if (item.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) {
            desc = true;
            item.chop(5);
        } else if (item.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive)) {
            item.chop(4);
        }
        item = item.trimmed();
        if (item.startsWith('[') && item.endsWith(']')) item = item.mid(1, item.size() - 2);
        const TField* f = ds.FindField(item);
        if (!f) throw EDatabaseError(QStringLiteral("Sort: field '%1' not found").arg(item));
        keys.push_back({f, desc});
    }
    return keys;
}

namespace {
// One key of a sort over ranges of the view: NULLs first (last when descending), equal values in their
// given order, and the runs of equal values reported for the next key.
class KeySorter {
public:
    KeySorter(const TDataSet& ds, const SortKey& key) : ds_(ds), field_(key.field), desc_(key.descending) {
        if (field_->column() < 0) return;
        col_ = &ds.store().column(size_t(field_->column()));
        if (col_->kind() == StorageKind::Text) {
            coll_.setCaseSensitivity(Qt::CaseInsensitive);
            // Byte keys in the sorter's own order, or the collation's keys made directly; ranks by coll_
            // only when neither matches it.
            byKeys_ = CollatesByBytes(coll_) || folded_.useCollator(coll_);
        }
    }

    // Called once with every run this key will sort, before the first sort.
    void prepare(const std::vector<uint32_t>& rows, const std::vector<TieRun>& runs) {
        if (!col_ || col_->kind() != StorageKind::Text || byKeys_) return;
        std::vector<uint32_t> some;
        const std::vector<uint32_t>* all = &rows;
        if (runs.size() != 1 || runs[0].to - runs[0].from != rows.size()) {
            for (const TieRun& r : runs)
                some.insert(some.end(), rows.begin() + qsizetype(r.from), rows.begin() + qsizetype(r.to));
            all = &some;
        }
        ranks_.build(*col_, ds_.store().arena(), coll_, all->data(), all->data() + all->size(),
                     ds_.store().rowCount());
    }

    // Sorts view positions [from, to); appends the runs of equal values to ties when it is not null.
    void sort(std::vector<uint32_t>& rows, size_t from, size_t to, std::vector<TieRun>* ties) {
        uint32_t* first = rows.data() + from;
        uint32_t* last = rows.data() + to;
        if (!col_) {
            sortValues(first, last, ties, from);
            return;
        }
        // NULLs aside in their order, at the front or (descending) the back.
        uint32_t* split =
            std::stable_partition(first, last, [&](uint32_t r) { return col_->isNull(r) != desc_; });
        uint32_t *nullsFrom = desc_ ? split : first, *nullsTo = desc_ ? last : split;
        uint32_t *valuesFrom = desc_ ? first : split, *valuesTo = desc_ ? split : last;
        if (ties && nullsTo - nullsFrom > 1)
            ties->push_back({from + size_t(nullsFrom - first), from + size_t(nullsTo - first)});
        const size_t base = from + size_t(valuesFrom - first);
        const TextArena& ar = ds_.store().arena();
        switch (col_->kind()) {
        case StorageKind::Float:
            sortBy<double>(valuesFrom, valuesTo, ties, base, [&](uint32_t r) { return col_->floatAt(r); });
            break;
        case StorageKind::Text:
            if (byKeys_)
                folded_.sort(*col_, ar, desc_, valuesFrom, valuesTo, ties, base);
            else
                sortBy<int32_t>(valuesFrom, valuesTo, ties, base, [&](uint32_t r) { return ranks_.rank(r); });
            break;
        case StorageKind::Bytes:
            sortBy<std::string_view>(valuesFrom, valuesTo, ties, base,
                                     [&](uint32_t r) { return col_->bytesAt(r, ar); });
            break;
        default:
            sortBy<int64_t>(valuesFrom, valuesTo, ties, base, [&](uint32_t r) { return col_->intAt(r); });
        }
    }

private:
    // Stable sort of non-NULL rows by a stored value.
    template <typename Key, typename KeyOf>
    void sortBy(uint32_t* first, uint32_t* last, std::vector<TieRun>* ties, size_t base, KeyOf keyOf) {
        std::vector<std::pair<Key, uint32_t>> keyed;
        keyed.reserve(size_t(last - first));
        for (uint32_t* r = first; r != last; ++r)
            keyed.emplace_back(keyOf(*r), *r);
        if (desc_)
            std::stable_sort(keyed.begin(), keyed.end(),
                             [](const auto& a, const auto& b) { return b.first < a.first; });
        else
            std::stable_sort(keyed.begin(), keyed.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < keyed.size(); ++i)
            first[i] = keyed[i].second;
        if (ties) addTies(keyed, ties, base);
    }

    // Values not stored in a column (calculated and lookup fields).
    void sortValues(uint32_t* first, uint32_t* last, std::vector<TieRun>* ties, size_t base) {
        std::vector<std::pair<QVariant, uint32_t>> keyed;
        keyed.reserve(size_t(last - first));
        for (uint32_t* r = first; r != last; ++r)
            keyed.emplace_back(ds_.valueOfRow(field_, *r), *r);
        auto cmp = [](const QVariant& x, const QVariant& y) {
            if (!x.isValid() || !y.isValid()) return x.isValid() == y.isValid() ? 0 : (x.isValid() ? 1 : -1);
            const QPartialOrdering o = QVariant::compare(x, y);
            return o == QPartialOrdering::Less ? -1 : (o == QPartialOrdering::Greater ? 1 : 0);
        };
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            return desc_ ? cmp(b.first, a.first) < 0 : cmp(a.first, b.first) < 0;
        });
        for (size_t i = 0; i < keyed.size(); ++i)
            first[i] = keyed[i].second;
        if (!ties) return;
        for (size_t i = 0; i < keyed.size();) {
            size_t j = i + 1;
            while (j < keyed.size() && cmp(keyed[i].first, keyed[j].first) == 0)
                ++j;
            if (j - i > 1) ties->push_back({base + i, base + j});
            i = j;
        }
    }

    template <typename Keyed>
    static void addTies(const Keyed& keyed, std::vector<TieRun>* ties, size_t base) {
        for (size_t i = 0; i < keyed.size();) {
            size_t j = i + 1;
            while (j < keyed.size() && !(keyed[i].first < keyed[j].first) &&
                   !(keyed[j].first < keyed[i].first))
                ++j;
            if (j - i > 1) ties->push_back({base + i, base + j});
            i = j;
        }
    }

    const TDataSet& ds_;
    const TField* field_;
    bool desc_;
    const Column* col_ = nullptr;
    QCollator coll_;
    bool byKeys_ = false;
    FoldedTextSort folded_;
    CollatorRanks ranks_;
};
} // namespace

void SortView(const TDataSet& ds, const std::vector<SortKey>& keys, std::vector<uint32_t>& rows) {
    // The first key orders every row; each next key only the runs the keys before it left tied.
    std::vector<TieRun> runs{{0, rows.size()}}, next;
    for (size_t k = 0; k < keys.size() && !runs.empty(); ++k) {
        KeySorter sorter(ds, keys[k]);
        sorter.prepare(rows, runs);
        const bool last = k + 1 == keys.size();
        next.clear();
        for (const TieRun& r : runs)
            sorter.sort(rows, r.from, r.to, last ? nullptr : &next);
        runs.swap(next);
    }
}

RowMatcher::RowMatcher(const TDataSet& ds, const TField* field, const QVariant& value, int options)
    : ds_(ds), field_(field), partial_(options & loPartialKey),
      caseInsensitive_(options & loCaseInsensitive) {
    null_ = !value.isValid() || value.isNull();
    if (null_) return;
    if (field->column() < 0 || StorageOf(field->DataType) == StorageKind::Text) {
        QString s = value.toString();
        utf8_ = s.toUtf8();
        folded_ = s.toCaseFolded();
        return;
    }
    if (!ConvertForStorage(value, field->DataType, stored_))
        throw EDatabaseError(QStringLiteral("'%1' is not a valid value for field '%2'")
                                 .arg(value.toString(), field->FieldName));
}

bool RowMatcher::matches(uint32_t row) const {
    if (field_->column() < 0) {
        QVariant v = ds_.valueOfRow(field_, row);
        if (null_) return !v.isValid();
        QString s = v.toString();
        if (caseInsensitive_) s = s.toCaseFolded();
        const QString& want = caseInsensitive_ ? folded_ : QString::fromUtf8(utf8_);
        return partial_ ? s.startsWith(want) : s == want;
    }
    const Column& col = ds_.store().column(size_t(field_->column()));
    if (col.isNull(row)) return null_;
    if (null_) return false;
    switch (col.kind()) {
    case StorageKind::Text: {
        std::string_view s = col.bytesAt(row, ds_.store().arena());
        std::string_view w(utf8_.constData(), size_t(utf8_.size()));
        if (!caseInsensitive_) return partial_ ? s.substr(0, w.size()) == w : s == w;
        QString t = QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded();
        return partial_ ? t.startsWith(folded_) : t == folded_;
    }
    case StorageKind::Float:
        return col.floatAt(row) == stored_.toDouble();
    case StorageKind::Bool:
        return (col.intAt(row) != 0) == stored_.toBool();
    case StorageKind::Bytes: {
        QByteArray b = stored_.toByteArray();
        return col.bytesAt(row, ds_.store().arena()) == std::string_view(b.constData(), size_t(b.size()));
    }
    default:
        return col.intAt(row) == stored_.toLongLong();
    }
}
