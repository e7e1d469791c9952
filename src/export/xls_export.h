#pragma once
// TkXLSExport: the records of a source as a new xlsx workbook: typed cells (numbers, dates with their
// number formats, texts, booleans), bold titles, a sum row of formulas, fonts, borders, column widths
// from the data, frozen titles, an auto filter and page set-up; then the file is shown or printed.
#include "export_run.h"

#include <QImage>
#include <functional>

enum TXLSExportOption : unsigned {
    xleExportTitles = 1u << 0,
    xleRealFieldNamesAsTitle = 1u << 1,
    xleBoldTitles = 1u << 2, // title row and sum row
    xleAddSumRow = 1u << 3,
    xleStringFieldAsText = 1u << 4, // texts are always text cells here, never read as numbers or formulas
    xleSetCellFormat = 1u << 5,     // number formats of numeric columns and the font
    xleSetCellBorders = 1u << 6,
    xleWrapMemoField = 1u << 7,
    xleSetColumnWidth = 1u << 8,
    xleSetRowHeight = 1u << 9,
    xleFreezeTitles = 1u << 10,
    xleSetAutoFilter = 1u << 11,
    xleSetPageSetup = 1u << 12,
    xleOnlyVisibleFields = 1u << 13,
    xleOnlySelectedRows = 1u << 14,
    xleExportPictures = 1u << 15,
    xleAddAsNewSheet = 1u << 16,
    xleAddToExistingRows = 1u << 17,
    xleTrimData = 1u << 18,
    xleNumericFieldAsFloat = 1u << 19,
};
using TXLSExportOptions = unsigned;

enum TXLSExportColor : unsigned {
    xleUseColumnsColor = 1u << 0, // each column's own colour and font (a grid's column looks), data rows
    xleUseCellsColor = 1u << 1,
    xleUseCellValueColor = 1u << 2,
    xleSetBkColor = 1u << 3,   // colours go to the cell background
    xleSetFontColor = 1u << 4, // fonts (and font colours) go to the cells
    xleHideText = 1u << 5,
};
using TXLSExportColors = unsigned;

enum TXLSVerticalAlignment { vaNone, vaTop, vaCenter, vaBottom };

// What GetFieldType may make of a field (0 leaves it an ordinary column).
enum TXLSFieldType { xftPicture = 1, xftColorValue = 2, xftDataBar = 3, xftColorScale = 4, xftIconSet = 5 };

// The conditional format of a data bar, colour scale or icon set column, as the events may change it.
// Colours are 0x00BBGGRR; 0x1FFFFFFF (kNoColor) is none: the format's usual colour, or no border.
struct TDatabarSetting {
    double MinValue = 0, MaxValue = 0; // both 0: the bar spans the column's lowest to highest value
    int FillColor = 0x1FFFFFFF, BorderColor = 0x1FFFFFFF;
    bool ShowValue = true;
};
struct TColorScaleSetting {
    bool UseMidValue = false;                        // three colours, else two
    double MinValue = 0, MidValue = 0, MaxValue = 0; // minimum and maximum 0: the column's own range
    int MinColor = 0x1FFFFFFF, MidColor = 0x1FFFFFFF, MaxColor = 0x1FFFFFFF;
};
struct TIconSetSetting {
    // 1 three arrows, 2 three grey arrows, 3 three flags, 4 three traffic lights, 5 three rimmed
    // traffic lights, 6 three signs, 7 three circled symbols, 8 three symbols, 9 four arrows, 10 four
    // grey arrows, 11 four red to black, 12 four signal bars, 13 four traffic lights, 14 five arrows,
    // 15 five grey arrows, 16 five signal bars, 17 five quarters; 0 (or another number): three
    // traffic lights.
    int IconSetType = 0;
    bool UseThresholds = false; // each icon after the first from its threshold on (values >= it)
    double ThresholdValues[4] = {};
    bool ShowIconOnly = false;
};

// ExportFile empty: a workbook in the temporary folder to show or print (aaNone: no run).
class TkXLSExport : public ExportEngine, public TExportStartPosition {
public:
    QString SetFontName;
    int SetFontSize = 0;
    QString DefaultDateFormat, DefaultTimeFormat, DefaultNumFormat;
    int MaxColWidth = 100;
    int MaxRowHeight = 30;
    TXLSVerticalAlignment VerticalAlignment = vaNone;
    int PageZoom = 0, WindowZoom = 0;
    // Pictures (xleExportPictures) are scaled down to fit, in pixels, and placed the margin away from
    // their cell's edges.
    int PictureMaxWidth = 200, PictureMaxHeight = 200;
    int PictureCellMargin = 5;
    bool PictureUseShadow = false; // kept for callers; a picture in the file has no shadow
    TXLSExportOptions Options = xleExportTitles | xleBoldTitles | xleAddSumRow | xleSetCellFormat |
                                xleSetColumnWidth | xleSetRowHeight | xleOnlyVisibleFields;
    TXLSExportColors OptionColors = 0;
    std::function<void(TkXLSExport&)> OnBeforeExport, OnAfterExport;
    // May set a field's kind (TXLSFieldType); called once per exported column.
    std::function<void(TkXLSExport&, const TField&, int& fieldType)> GetFieldType;
    // Supplies or changes the picture of a picture cell (sheet row and column from 1).
    std::function<void(TkXLSExport&, int row, int col, const TField&, QImage& picture)> OnPreparePictureEvent;
    // Adjust the conditional format of a data bar, colour scale or icon set column (GetFieldType 3, 4,
    // 5), applied over its data rows after the records.
    std::function<void(TkXLSExport&, const TField&, TDatabarSetting&)> OnPrepareDatabarEvent;
    std::function<void(TkXLSExport&, const TField&, TColorScaleSetting&)> OnPrepareColorScaleEvent;
    std::function<void(TkXLSExport&, const TField&, TIconSetSetting&)> OnPrepareIconSetEvent;
    // Pixels per column width unit (beyond a 5 pixel padding) and per point of row height: the sizes
    // of the file's default font at 96 dots per inch, used to fit cells to their pictures.
    double ColWidthPixelRatio = 7;
    double RowHeightPixelRatio = 4.0 / 3.0;

    // Run state beyond the engines' own.
    int RowIdx = 0;                        // rows written, titles and sums included
    int RecExported = 0;                   // records written
    int PicExported = 0;                   // pictures placed
    int FirstDataRow = 0, LastDataRow = 0; // sheet rows from 1
    QString SavedFile;                     // the file the last successful run wrote

    bool has(TXLSExportOption o) const { return (Options & o) != 0; }

    // True when the workbook was saved. Failures show the exception box and return false; a sheet
    // that cannot hold every record keeps the rows before it in a valid file and returns false.
    // AutoCloseApp is accepted for callers of the automation form and has no effect.
    bool ExportDBTable(TDataSet* dataset, bool AutoCloseApp = true, const QString& ExportToSheetName = {});
    bool ExportDBTable(const TExportSource& source, bool AutoCloseApp = true,
                       const QString& ExportToSheetName = {});
    // Opens a dataset that is not open yet and writes its records forward-only, each block of rows as
    // it is fetched, so memory stays flat whatever the row count. Column widths and sums cover every
    // row; the number formats follow the first block's fields.
    bool ExportForwardOnly(TDataSet* dataset, const QString& ExportToSheetName = {});

private:
    class Book;
    class Run;
};

// A display format of this program as a spreadsheet number format: "n" minutes become "m" and the
// letter codes lower case.
QString ConvertDateFormat(const QString& fieldFormat);
