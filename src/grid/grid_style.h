#pragma once
// The look of a data grid as the properties dialog edits it: fonts, colours, lines, row height, the
// indicator column and the footer row. Read from a grid, changed, and applied back in one step.
#include <QColor>
#include <QFont>

class TkDBGrid;
class TPropSaveFile;

struct TkDBGridStyle {
    QFont Font;                 // the cells' font
    QFont TitleFont;            // the titles' font
    QColor Color;               // background of the cells; invalid: the window colour
    QColor ColorOddRow;         // every other row; invalid: no alternate colour
    QColor ColorSelection;      // the selected cells and records; invalid: the system's
    bool GridLines = true;      // lines between the cells
    int RowHeight = 0;          // pixels; 0: from the font
    bool ShowIndicator = true;  // the indicator column at the left
    bool FooterVisible = false; // the footer row under the records
    bool operator==(const TkDBGridStyle&) const = default;
};

TkDBGridStyle ReadGridStyle(const TkDBGrid& grid);
void ApplyGridStyle(TkDBGrid& grid, const TkDBGridStyle& style);
// What a grid looks like before anyone changed it.
TkDBGridStyle DefaultGridStyle();

// What the properties window changes beyond the fonts, lines and footer that the grid saver keeps:
// the colours, the row height, the indicator and the column filter options, in the grid's section.
void SaveGridLook(TPropSaveFile& store, const TkDBGrid& grid, const QString& key);
// A missing key leaves that part as it is.
void ReadGridLook(TPropSaveFile& store, TkDBGrid& grid, const QString& key);
