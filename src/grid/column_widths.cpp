#include "column_widths.h"

#include <algorithm>
#include <cmath>

int ScalePixels(int pixels, double ratio) {
    return int(std::nearbyint(double(pixels) * ratio)); // the default rounding mode: half to even
}

int RoomWidth(const GridRoom& g, int n) {
    int r = g.gridWidth - g.scrollBarWidth - 2;
    if (g.indicator) r = g.fixedTextArea > 0 ? r - g.fixedTextArea : g.gridWidth - g.scrollBarWidth - 13;
    if (g.singleBorder) r -= g.look3D ? 4 : 2;
    if (g.columnLines) r -= n;
    return r;
}

int SameWidth(int room, int fixedSum, int n, int min) {
    if (n <= 0) return min;
    int w = room - fixedSum;
    // div truncates towards zero, as the integer division of the original arithmetic does
    return ClampMin(w / n, min);
}

void AutoWidths(std::vector<int>& widths, int room, int fixedSum, int min) {
    const int n = int(widths.size());
    long long total = 0;
    for (int w : widths)
        total += w;
    if (n == 0 || total == 0) return;
    double x = double(room - fixedSum) / double(total);
    bool belowMin = false;
    if (x < 1)
        for (int w : widths)
            belowMin |= int(x * w) < min;
    if (belowMin) {
        long long minSum = (long long)min * n;
        x = minSum < total ? double(room - minSum - fixedSum) / double(total - minSum) : 0.0;
        for (int& w : widths)
            w = ClampMin(min + int(x * (w - min)), min);
    } else {
        for (int& w : widths)
            w = ClampMin(int(x * w), min);
    }
}

int TitleWidth(const TitleMeasure& m, int min, int max) {
    int w = m.textWidth + 4;
    if (w > min && m.titleLines > 1 && !m.wordWidths.empty()) {
        int widest = *std::max_element(m.wordWidths.begin(), m.wordWidths.end());
        int k = int(m.wordWidths.size());
        int spread = int(std::nearbyint(((k - m.titleLines) * 0.2 + 1) * w / m.titleLines));
        w = std::max(widest + 4, spread);
    }
    w += m.glyphRoom;
    return ClampBoth(w, min, max);
}

int DataSizedWidth(int value, int gridWidth, int columnCount, bool picker, int rowHeight, int min, int max,
                   int additional) {
    if (columnCount > 4) value = std::min(value, gridWidth / 4);
    if (value == 0) value = 8;
    if (picker) value += rowHeight;
    return ClampBoth(value, min, max) + additional;
}
