#pragma once
// The generator grid in the settings store, in the string-grid layout: in the grid's section
// "ColCount", "RowCount" and "RowHeight%d"; per column the section + ".Column%d" with "Width" and the
// column's cells from the top (title) row as a string list. Column 0 is the fixed column; columns
// 1 to 6 hold field name, field type, action, value, source table and source field.
#include "gen_data.h"

#include <QStringList>
#include <vector>

class TPropSaveFile;

struct StringGridData {
    std::vector<int> rowHeights;
    std::vector<int> colWidths;
    std::vector<QStringList> columns; // the cells of each column, the title row first
};

// The key of a table's generator settings: database + "." + table + ".Actions".
QString GenSettingsKey(const QString& database, const QString& table);

void WriteStringGrid(TPropSaveFile& store, const QString& section, const StringGridData& grid);
// False (and grid untouched) when the section holds no grid.
bool ReadStringGrid(TPropSaveFile& store, const QString& section, StringGridData& grid);

// The column titles of the generator grid (column 0, the fixed column, has none).
const QStringList& GenGridTitles();
// Grid cells <-> generator rows.
StringGridData GenGridOf(const std::vector<GenRow>& rows);
std::vector<GenRow> GenRowsOfGrid(const StringGridData& grid);
