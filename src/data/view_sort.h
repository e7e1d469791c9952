#pragma once
// Sorting a dataset's view and matching rows for Locate, both straight over the column store.
#include "dataset.h"

struct SortKey {
    const TField* field;
    bool descending;
};

// Parses "A,[B C] DESC,C ASC"; raises when a field is missing.
std::vector<SortKey> ParseSortText(const TDataSet& ds, const QString& text);

// Stable sort of row ids: NULLs first, text case-insensitively by the locale's collation.
void SortView(const TDataSet& ds, const std::vector<SortKey>& keys, std::vector<uint32_t>& rows);

// One key of a Locate: does a stored row hold the value?
class RowMatcher {
public:
    RowMatcher(const TDataSet& ds, const TField* field, const QVariant& value, int options);
    bool matches(uint32_t row) const;

private:
    const TDataSet& ds_;
    const TField* field_;
    bool null_ = false;
    bool partial_, caseInsensitive_;
    QVariant stored_; // the value in storage form
    QByteArray utf8_; // text values
    QString folded_;  // case-folded text for case-insensitive matches
};
