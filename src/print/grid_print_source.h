#pragma once
// The print windows' working copy of a grid: a hidden grid named "gr" beside the source grid with its
// columns (order, widths, hidden ones), so column choices made for a print never change the grid on
// the screen; and the print sources built from it.
#include "direct_print.h"
#include "template_print.h"

class TkDBGrid;
class QWidget;

// Creates the working copy of orig (hidden, named "gr", on orig's parent, owned by owner).
TkDBGrid* MakeWorkingCopy(TkDBGrid* orig, QObject* owner);
// Copies orig's font, data source and columns into the copy again.
void CopyGridColumns(TkDBGrid* orig, TkDBGrid* copy);

// The copy's columns in their shown order; titles and cell texts are asked of orig.
TPrintSource GridPrintSource(TkDBGrid* orig, TkDBGrid* copy);
std::vector<TTextColumn> GridTextColumns(TkDBGrid* orig, TkDBGrid* copy);
