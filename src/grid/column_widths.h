#pragma once
// Column width modes of the data grid: the arithmetic, kept apart from the widgets so it can be tested.
#include <QString>
#include <vector>

enum TColumnWidth {
    cwNone,
    cwDefaultWidth,
    cwSameWidth,
    cwAutoWidth,
    cwDataWidth,
    cwLabelWidth,
    cwDataLabelWidth,
    cwHideEmptyCol
};

// Pixel options are given at 96 dpi; a half rounds to the even neighbour.
int ScalePixels(int pixels, double ratio);

// Clamping to the minimum, and to both ends.
inline int ClampMin(int w, int min) {
    return w < min ? min : w;
}
inline int ClampBoth(int w, int min, int max) {
    return w < min ? min : (w > max ? max : w);
}

// The room the fitting modes share out (grid width less scroll bar, indicator, border and lines).
struct GridRoom {
    int gridWidth = 0;
    int scrollBarWidth = 0;
    bool indicator = false;
    int fixedTextArea = 0; // width of the indicator's text area, 0 when it has none
    bool singleBorder = false;
    bool look3D = true;
    bool columnLines = true;
};
int RoomWidth(const GridRoom& g, int sizedColumns);

// cwSameWidth: every sized column gets (room - fixed) div n, at least min.
int SameWidth(int room, int fixedSum, int n, int min);

// cwAutoWidth: the sized columns' widths scaled to fill room - fixed, never below min while there is
// room; widths are changed in place.
void AutoWidths(std::vector<int>& widths, int room, int fixedSum, int min);

// Title width: the title text's width + 4; split over TitleLines when wider than min; plus the room of
// the title's own glyphs (funnel, sort mark, images); clamped to both ends.
struct TitleMeasure {
    int textWidth = 0;           // the whole title in the title font
    std::vector<int> wordWidths; // the title's pieces split at the title separators
    int titleLines = 1;
    int glyphRoom = 0; // images, funnel button (+6) and sort mark (+6), already scaled
};
int TitleWidth(const TitleMeasure& m, int min, int max);

// The final width of a data-sized column: value capped at a quarter of the grid when it has more than
// four columns, 0 becomes 8, a date-time picker column gains the row height, then clamped to both ends
// and the additional space added.
int DataSizedWidth(int value, int gridWidth, int columnCount, bool picker, int rowHeight, int min, int max,
                   int additional);
