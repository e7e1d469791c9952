#pragma once
// One worksheet being written row by row (rows in order, cells of a row left to right), with cell
// formats, row heights, column widths, freeze panes, auto filter, page set-up and zoom. A new workbook
// (WorkbookWriter) and a sheet of an existing workbook package (EditWorkbookSheet) write through it;
// the file is complete only after save().
#include "exceptions.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A workbook call that failed, or a value a sheet cannot hold.
class WorkbookError : public Exception {
public:
    using Exception::Exception;
};

struct CellFormat {
    // Colours here are 0xRRGGBB; kNoColor leaves the workbook's.
    static constexpr uint32_t kNoColor = 0xFFFFFFFFu;
    enum VAlign { vaNone, vaTop, vaCenter, vaBottom };
    QString NumberFormat; // empty: General
    QString FontName;     // empty: the workbook's
    double FontSize = 0;  // 0: the workbook's
    bool Bold = false;
    bool Borders = false; // thin, all edges
    bool Wrap = false;
    VAlign VerticalAlignment = vaNone;
    uint32_t FontColor = kNoColor;
    uint32_t Background = kNoColor; // solid fill
};

// A data bar, colour scale or icon set over the cells of one column.
struct ConditionalFormat {
    enum Kind { DataBar, ColorScale, IconSet };
    Kind kind = DataBar;
    int firstRow = 0, lastRow = 0, col = 0; // from 0
    // The bar's ends or the scale's stops at these numbers; otherwise at the cells' lowest and highest
    // values (a scale's middle stop at their 50th percentile).
    bool atNumbers = false;
    double min = 0, mid = 0, max = 0;
    bool middleStop = false; // a scale of three colours
    // 0xRRGGBB; CellFormat::kNoColor: the usual colours of the kind (a bar without a border).
    uint32_t minColor = CellFormat::kNoColor, midColor = CellFormat::kNoColor,
             maxColor = CellFormat::kNoColor;
    uint32_t barColor = CellFormat::kNoColor, borderColor = CellFormat::kNoColor;
    bool showValue = true; // bars and icons shown beside the value, or alone
    int iconSet = 0;       // IconSetName's number; 0 or unknown: three traffic lights
    // The icons after the first one from these numbers on (cells >= the number); empty: in equal
    // percent steps of the cells' range.
    std::vector<double> thresholds;

    // The workbook's name of an icon set by number: 1 three arrows, 2 three grey arrows, 3 three flags,
    // 4 three traffic lights, 5 three rimmed traffic lights, 6 three signs, 7 three circled symbols,
    // 8 three symbols, 9 four arrows, 10 four grey arrows, 11 four red to black, 12 four signal
    // bars, 13 four traffic lights, 14 five arrows, 15 five grey arrows, 16 five signal bars, 17 five
    // quarters; null for other numbers.
    static const char* IconSetName(int number);
    // The icon set written for iconSet (unknown numbers give the three traffic lights) and its icons.
    int iconSetNumber() const { return IconSetName(iconSet) ? iconSet : 4; }
    int icons() const { return IconSetName(iconSetNumber())[0] - '0'; }
};

class SheetWriter {
public:
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxCols = 16384;
    static constexpr int kMaxText = 32767;

    virtual ~SheetWriter() = default;

    // A format for the cells; 0 is the default one. Formats live as long as the writer.
    virtual int addFormat(const CellFormat& format) = 0;

    // Rows and columns from 0. A row before the last one written is refused.
    virtual void number(int row, int col, double value, int format = 0) = 0;
    // UTF-8 text, always a text cell (never read as a number or formula); longer than kMaxText
    // characters raises WorkbookError.
    virtual void text(int row, int col, std::string_view utf8, int format = 0) = 0;
    virtual void boolean(int row, int col, bool value, int format = 0) = 0;
    // An A1 formula ("=SUM(B2:B9)") with the value it shows until the spreadsheet recalculates.
    virtual void formula(int row, int col, const std::string& formula, double value, int format = 0) = 0;
    virtual void blank(int row, int col, int format) = 0;
    // Height in points of a row not written yet.
    virtual void rowHeight(int row, double points) = 0;
    // A picture (PNG bytes, its size in pixels) over a cell, offset pixels right of and below the
    // cell's corner; it keeps its size whatever the cells' sizes are.
    virtual void picture(int row, int col, const QByteArray& png, int width, int height, int offset) = 0;

    // Width in characters of the default font.
    virtual void columnWidth(int col, double width) = 0;
    // Rows above row and columns left of col stay in place.
    virtual void freezePanes(int row, int col) = 0;
    virtual void autoFilter(int firstRow, int firstCol, int lastRow, int lastCol) = 0;
    // Print settings: landscape, scale in percent (0 keeps 100) and fitting to pages (0: not fitted).
    virtual void pageSetup(bool landscape, int scale, int fitWide, int fitTall) = 0;
    virtual void repeatRows(int firstRow, int lastRow) = 0;
    virtual void zoom(int percent) = 0;
    // Cells rows and columns of which may still be written; the format applies over them as they are.
    virtual void conditionalFormat(const ConditionalFormat& format) = 0;

    // Finishes the file; raises WorkbookError when it cannot be written.
    virtual void save() = 0;

    // A name a workbook accepts: the characters []:*?/\ become "_", no leading or trailing
    // apostrophe, at most 31 characters; empty gives "Sheet1".
    static QString ValidSheetName(const QString& name);
    // The column letters of a column from 0 ("A", "AB").
    static std::string ColumnName(int col);
};
