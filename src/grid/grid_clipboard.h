#pragma once
// Copying grid data to the clipboard as tab-separated text, and pasting such text as new records or
// as updates of the current and following records.
#include <QString>
#include <vector>

class TkDBGrid;

// The grid's columns in their on-screen order; hidden columns only with withHidden.
std::vector<int> GridColumnsInOrder(const TkDBGrid& grid, bool withHidden);
// The first column shown (the last column when none is), or -1 without columns.
int FirstVisibleColumn(const TkDBGrid& grid);
// Makes the first shown column current in the current row.
void GoToFirstVisibleColumn(TkDBGrid& grid);

struct TableCopyOptions {
    bool titles = false; // a first line of column titles
    bool hidden = false; // hidden columns as well
};

// The copied texts. A cell is copied as the grid shows it (a memo in full), unquoted and without a
// line end; the table texts quote values as AppendClipCell does, join them by tabs and end every
// line with CR LF. The texts read cells by position and never move the current record.
QString CellDataText(const TkDBGrid& grid);
QString ActiveRecordDataText(const TkDBGrid& grid, TableCopyOptions options);
QString ActiveFieldDataText(const TkDBGrid& grid, TableCopyOptions options);
QString AllDataText(const TkDBGrid& grid, TableCopyOptions options);

// The same texts put on the clipboard.
void CopyCellData(const TkDBGrid& grid);
void CopyActiveRecordData(const TkDBGrid& grid, TableCopyOptions options);
void CopyActiveFieldData(const TkDBGrid& grid, TableCopyOptions options);
void CopyAllData(const TkDBGrid& grid, TableCopyOptions options);

// Pastes text from the grid's current column on: each line appends a record (addNew) or updates the
// current record and then the following ones. A multi-line paste posts each record and asks whether
// to go on when a post fails; a single line stays in edit for the user to save or cancel. What could
// not be pasted (refused values, values beyond the last column, lines left over after the last
// record, lines skipped after a failed post) is reported in one warning at the end.
void PasteText(TkDBGrid& grid, const QString& text, bool addNew);
// PasteText with the clipboard's text.
void PasteData(TkDBGrid& grid, bool addNew);
