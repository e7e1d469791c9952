#pragma once
// The grid's column filters in the settings store, in one section (the grid's key + ".Filter"):
// "CondCount" and per entry "Field%d", "Cond%d", "Text%d"; the typed-text histories as the list
// section + "TextValues" (field, tab, text); the filter footer's history as the list section +
// ".FilterPanelItems" (the newest 21); the dataset's "FilterText" and "Filtered".
#include <QString>

class TkDBGrid;
class TPropSaveFile;

void SaveColumnFilters(TPropSaveFile& store, TkDBGrid* grid, const QString& section);
// Defines the stored conditions again (fields no longer there are passed over), then sets the
// dataset's filter text and state; a stored filter the data no longer takes is dropped.
void ReadColumnFilters(TPropSaveFile& store, TkDBGrid* grid, const QString& section);
