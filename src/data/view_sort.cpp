#include "view_sort.h"

#include "exceptions.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <optional>
#include <unordered_map>

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
// A per-row comparison of one key; returns <0, 0, >0 for rows a, b (NULLs first, ascending).
struct KeyCompare {
    const Column* col = nullptr;
    const TDataSet* ds = nullptr;
    const TField* field = nullptr;
    StorageKind kind;
    bool desc;
    std::vector<int32_t> textRank; // by row id: rank of the text among distinct values
    int32_t textRanks = 0;         // how many ranks there are

    int compare(uint32_t a, uint32_t b) const {
        int r;
        if (col) {
            bool na = col->isNull(a), nb = col->isNull(b);
            if (na || nb)
                r = na == nb ? 0 : (na ? -1 : 1);
            else
                switch (kind) {
                case StorageKind::Float: {
                    double x = col->floatAt(a), y = col->floatAt(b);
                    r = x < y ? -1 : (x > y ? 1 : 0);
                    break;
                }
                case StorageKind::Text:
                    r = textRank[a] - textRank[b];
                    r = r < 0 ? -1 : (r > 0 ? 1 : 0);
                    break;
                case StorageKind::Bytes: {
                    const TextArena& ar = ds->store().arena();
                    int c = col->bytesAt(a, ar).compare(col->bytesAt(b, ar));
                    r = c < 0 ? -1 : (c > 0 ? 1 : 0);
                    break;
                }
                default: {
                    int64_t x = col->intAt(a), y = col->intAt(b);
                    r = x < y ? -1 : (x > y ? 1 : 0);
                }
                }
        } else {
            QVariant x = ds->valueOfRow(field, a), y = ds->valueOfRow(field, b);
            if (!x.isValid() || !y.isValid())
                r = x.isValid() == y.isValid() ? 0 : (x.isValid() ? 1 : -1);
            else {
                QPartialOrdering o = QVariant::compare(x, y);
                r = o == QPartialOrdering::Less ? -1 : (o == QPartialOrdering::Greater ? 1 : 0);
            }
        }
        return desc ? -r : r;
    }
};

// Ranks the texts of a column: each distinct text gets its position in collation order, so the sort
// itself compares integers. Collation keys are built once per distinct text, not per comparison.
// Returns the number of ranks.
int32_t rankTexts(const TDataSet& ds, const Column& col, const std::vector<uint32_t>& rows,
                  std::vector<int32_t>& rank) {
    const TextArena& ar = ds.store().arena();
    QCollator coll;
    coll.setCaseSensitivity(Qt::CaseInsensitive);
    rank.assign(ds.store().rowCount(), 0);
    // Distinct texts by exact bytes: each gets one collation key, however often it occurs.
    std::unordered_map<std::string_view, uint32_t> index;
    index.reserve(rows.size() / 4 + 16);
    std::vector<std::string_view> distinct;
    std::vector<uint32_t> distinctOf(ds.store().rowCount(), 0);
    for (uint32_t r : rows) {
        if (col.isNull(r)) continue;
        auto [it, added] = index.try_emplace(col.bytesAt(r, ar), uint32_t(distinct.size()));
        if (added) distinct.push_back(it->first);
        distinctOf[r] = it->second;
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    // Folding first keeps the order case-insensitive also where the collator ignores the setting (C locale).
    for (std::string_view s : distinct)
        keys.push_back(coll.sortKey(QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded()));
    std::vector<uint32_t> order(distinct.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    // Equal collation keys (e.g. "abc" and "ABC") share a rank.
    std::vector<int32_t> rankOf(distinct.size());
    int32_t next = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]].compare(keys[order[i - 1]]) != 0) ++next;
        rankOf[order[i]] = next;
    }
    for (uint32_t r : rows)
        if (!col.isNull(r)) rank[r] = rankOf[distinctOf[r]];
    return distinct.empty() ? 0 : next + 1;
}

// One stored key: NULLs first (last when descending), equal keys in fetch order.
template <typename Key>
void sortByOneKey(std::vector<uint32_t>& rows, const Column& col, bool desc,
                  Key (*keyOf)(const Column&, uint32_t, const void*), const void* ctx) {
    std::vector<uint32_t> nulls;
    std::vector<std::pair<Key, uint32_t>> keyed;
    keyed.reserve(rows.size());
    for (uint32_t r : rows) {
        if (col.isNull(r))
            nulls.push_back(r);
        else
            keyed.emplace_back(keyOf(col, r, ctx), r);
    }
    if (desc)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return b.first < a.first; });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t i = 0;
    if (!desc)
        for (uint32_t r : nulls)
            rows[i++] = r;
    for (const auto& k : keyed)
        rows[i++] = k.second;
    if (desc)
        for (uint32_t r : nulls)
            rows[i++] = r;
}

// Texts by their ranks in one counting pass: linear and stable, NULLs first (last when descending).
void sortByRank(std::vector<uint32_t>& rows, const Column& col, bool desc, const std::vector<int32_t>& rank,
                int32_t ranks) {
    // Bucket 0 and the last bucket hold the NULLs of an ascending and a descending sort.
    std::vector<uint32_t> start(size_t(ranks) + 2, 0);
    auto bucketOf = [&](uint32_t r) -> size_t {
        if (col.isNull(r)) return desc ? size_t(ranks) + 1 : 0;
        return desc ? size_t(ranks - rank[r]) : size_t(rank[r]) + 1;
    };
    for (uint32_t r : rows)
        ++start[bucketOf(r)];
    uint32_t sum = 0;
    for (uint32_t& s : start)
        sum += std::exchange(s, sum);
    std::vector<uint32_t> out(rows.size());
    for (uint32_t r : rows)
        out[start[bucketOf(r)]++] = r;
    rows.swap(out);
}

// Sorts by the first key alone, the fast way its storage allows.
void sortByFirstKey(const KeyCompare& k, std::vector<uint32_t>& rows) {
    if (k.col) {
        switch (k.kind) {
        case StorageKind::Float:
            sortByOneKey<double>(
                rows, *k.col, k.desc, [](const Column& c, uint32_t r, const void*) { return c.floatAt(r); },
                nullptr);
            return;
        case StorageKind::Text:
            sortByRank(rows, *k.col, k.desc, k.textRank, k.textRanks);
            return;
        case StorageKind::Bytes:
            break;
        default:
            sortByOneKey<int64_t>(
                rows, *k.col, k.desc, [](const Column& c, uint32_t r, const void*) { return c.intAt(r); },
                nullptr);
            return;
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&](uint32_t a, uint32_t b) { return k.compare(a, b) < 0; });
}
} // namespace

void SortView(const TDataSet& ds, const std::vector<SortKey>& keys, std::vector<uint32_t>& rows) {
    if (keys.empty()) return;
    std::vector<KeyCompare> cmps(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        KeyCompare& k = cmps[i];
        k.ds = &ds;
        k.field = keys[i].field;
        k.desc = keys[i].descending;
        if (k.field->column() >= 0) {
            k.col = &ds.store().column(size_t(k.field->column()));
            k.kind = k.col->kind();
            if (k.kind == StorageKind::Text) k.textRanks = rankTexts(ds, *k.col, rows, k.textRank);
        }
    }
    // The first key orders every row; the next keys are compared only within runs the first leaves tied.
    sortByFirstKey(cmps[0], rows);
    if (cmps.size() == 1) return;
    auto rest = [&](uint32_t a, uint32_t b) {
        for (size_t i = 1; i < cmps.size(); ++i)
            if (int r = cmps[i].compare(a, b)) return r < 0;
        return false;
    };
    for (size_t from = 0; from < rows.size();) {
        size_t to = from + 1;
        while (to < rows.size() && cmps[0].compare(rows[from], rows[to]) == 0)
            ++to;
        if (to - from > 1)
            std::stable_sort(rows.begin() + qsizetype(from), rows.begin() + qsizetype(to), rest);
        from = to;
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
