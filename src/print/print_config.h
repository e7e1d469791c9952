#pragma once
// Program-wide settings of the direct print, shared by every print window of the run: a change made
// in one window holds for later openings while the program runs.
struct TkPrintCfg {
    int HMarginMM = 20;          // left and right margin
    int VMarginMM = 20;          // top and bottom margin
    double LineSpaceRatio = 0.2; // row spacing as a fraction of a text line
    int PreviewMaxWidth = 1600;  // widest preview page image in pixels
    bool BooleanAsCheckBox = true;
};

TkPrintCfg& PrintConfig();
