#pragma once
// The dataset side of grid sorting: the sort text for a request, sorting a dataset while keeping the
// current record, and the saved sortings of the sort dialog.
#include "db_grid.h"

#include <QList>
#include <QString>

using SortItems = QList<TkDBGrid::SortItem>;

// Items from "A,B" with one direction, or with one letter ("A"/"D") per field in "A,D".
SortItems SortItemsOf(const QString& fields, bool desc);
SortItems SortItemsOf(const QString& fields, const QString& directions);
QString SortDirectionsOf(const SortItems& items); // "A,D"

// The dataset's sort text ("a,[b c] DESC"). False (refused) when the dataset is closed or editing, a
// field is missing or not of the plain category; a lookup field sorts by its key fields.
bool SortTextForItems(const TDataSet& ds, const SortItems& items, QString& sort);

// Sets the dataset's sort and returns to the record that was current; false when refused or when the
// dataset raised (its sort is then unchanged).
bool SortDataSet(TDataSet* ds, const SortItems& items);

// Saved sortings of a grid: 20 slots, each a name and its items, in the settings store.
constexpr int kSavedSortSlots = 20;
QString SavedSortSection(const TkDBGrid* grid, int index);
struct SavedSort {
    QString name;
    SortItems items;
};
bool ReadSavedSort(const TkDBGrid* grid, int index, SavedSort& out); // false for an empty slot
void WriteSavedSort(const TkDBGrid* grid, int index, const SavedSort& sort);
void EraseSavedSort(const TkDBGrid* grid, int index);
// The slot holding the name (case-insensitive), else the first free one, else -1.
int SavedSortSlotFor(const TkDBGrid* grid, const QString& name);
bool ApplySavedSort(TkDBGrid* grid, int index);
