#include "bookmark_list.h"

#include "exceptions.h"

#include <algorithm>

int TkBookmarkList::Find(TBookmark bm, bool& found) const {
    if (cacheValid_ && cacheBm_ == bm) {
        found = cacheFound_;
        return cachePos_;
    }
    auto it = std::lower_bound(items_.begin(), items_.end(), bm);
    found = it != items_.end() && *it == bm;
    cacheValid_ = true;
    cacheBm_ = bm;
    cachePos_ = int(it - items_.begin());
    cacheFound_ = found;
    return cachePos_;
}

bool TkBookmarkList::Contains(TBookmark bm) const {
    bool found;
    Find(bm, found);
    return found;
}

bool TkBookmarkList::Set(TBookmark bm, bool selected) {
    bool found;
    int pos = Find(bm, found);
    if (found == selected) return false;
    if (selected)
        items_.insert(items_.begin() + pos, bm);
    else
        items_.erase(items_.begin() + pos);
    invalidate();
    return true;
}

void TkBookmarkList::Clear() {
    items_.clear();
    invalidate();
}

TBookmark TkBookmarkList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return items_[size_t(index)];
}

void TkBookmarkList::Delete(int index) {
    Items(index);
    items_.erase(items_.begin() + index);
    invalidate();
}

void TkBookmarkList::AddSorted(std::vector<TBookmark> more) {
    if (more.empty()) return;
    std::sort(more.begin(), more.end());
    std::vector<TBookmark> merged;
    merged.reserve(items_.size() + more.size());
    std::set_union(items_.begin(), items_.end(), more.begin(), more.end(), std::back_inserter(merged));
    items_.swap(merged);
    invalidate();
}

void TkBookmarkList::RemoveSorted(const std::vector<TBookmark>& gone) {
    if (gone.empty()) return;
    std::vector<TBookmark> g = gone;
    std::sort(g.begin(), g.end());
    std::vector<TBookmark> kept;
    kept.reserve(items_.size());
    std::set_difference(items_.begin(), items_.end(), g.begin(), g.end(), std::back_inserter(kept));
    items_.swap(kept);
    invalidate();
}

TBookmark TkBookmarkList::CurrentBookmark(const TDataSet* ds) {
    if (!ds || !ds->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    return ds->GetBookmark();
}
