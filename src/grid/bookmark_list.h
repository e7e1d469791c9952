#pragma once
// The selected records of a grid: bookmarks (stable row ids) kept sorted and without duplicates, with a
// one-entry search cache.
#include "dataset.h"

#include <QString>
#include <vector>

class TkBookmarkList {
public:
    // Where a bookmark is (found) or would be inserted (not found).
    int Find(TBookmark bm, bool& found) const;
    bool Contains(TBookmark bm) const;
    // Sets the membership; returns true when it changed.
    bool Set(TBookmark bm, bool selected);
    void Clear();
    int Count() const { return int(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    TBookmark Items(int index) const; // raises "List index out of bounds (%d)"
    void Delete(int index);
    const std::vector<TBookmark>& items() const { return items_; }
    // Adds many bookmarks at once (a walk over the dataset): one merge instead of one insert each.
    void AddSorted(std::vector<TBookmark> more);
    void RemoveSorted(const std::vector<TBookmark>& gone);

    // The current record's bookmark; raises on a closed dataset.
    static TBookmark CurrentBookmark(const TDataSet* ds);

private:
    void invalidate() const { cacheValid_ = false; }
    std::vector<TBookmark> items_;
    mutable bool cacheValid_ = false;
    mutable TBookmark cacheBm_ = -1;
    mutable int cachePos_ = 0;
    mutable bool cacheFound_ = false;
};
