#pragma once
// A new xlsx workbook of one sheet, written row by row in constant memory (rows must come in order,
// cells of a row left to right). Cell formats, column widths, freeze panes, auto filter, page set-up
// and zoom; the file is complete only after save().
#include "exceptions.h"

#include <QString>
#include <string_view>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A workbook call that failed, or a value a sheet cannot hold.
class WorkbookError : public Exception {
public:
    using Exception::Exception;
};

struct CellFormat {
    enum VAlign { vaNone, vaTop, vaCenter, vaBottom };
    QString NumberFormat; // empty: General
    QString FontName;     // empty: the workbook's
    double FontSize = 0;  // 0: the workbook's
    bool Bold = false;
    bool Borders = false; // thin, all edges
    bool Wrap = false;
    VAlign VerticalAlignment = vaNone;
};

class WorkbookWriter {
public:
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxCols = 16384;
    static constexpr int kMaxText = 32767;

    // Starts the workbook file at path with one sheet named sheetName (corrected by ValidSheetName).
    WorkbookWriter(const QString& path, const QString& sheetName);
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // A format for the cells; 0 is the default one. Formats live as long as the writer.
    int addFormat(const CellFormat& format);

    // Rows and columns from 0. A row before the last one written is refused.
    void number(int row, int col, double value, int format = 0);
    // UTF-8 text, always a text cell (never read as a number or formula); longer than kMaxText
    // characters raises WorkbookError.
    void text(int row, int col, std::string_view utf8, int format = 0);
    void boolean(int row, int col, bool value, int format = 0);
    // An A1 formula ("=SUM(B2:B9)") with the value it shows until the spreadsheet recalculates.
    void formula(int row, int col, const std::string& formula, double value, int format = 0);
    void blank(int row, int col, int format);

    // Width in characters of the default font.
    void columnWidth(int col, double width);
    // Rows above row and columns left of col stay in place.
    void freezePanes(int row, int col);
    void autoFilter(int firstRow, int firstCol, int lastRow, int lastCol);
    // Print settings: landscape, scale in percent (0 keeps 100) and fitting to pages (0: not fitted).
    void pageSetup(bool landscape, int scale, int fitWide, int fitTall);
    void repeatRows(int firstRow, int lastRow);
    void zoom(int percent);

    // Finishes and closes the file; raises WorkbookError when it cannot be written.
    void save();

    // A name a workbook accepts: the characters []:*?/\ become "_", no leading or trailing
    // apostrophe, at most 31 characters; empty gives "Sheet1".
    static QString ValidSheetName(const QString& name);
    // The column letters of a column from 0 ("A", "AB").
    static std::string ColumnName(int col);

private:
    void check(int error, int row, int col) const;

    QString path_;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    std::vector<lxw_format*> formats_;
    std::string scratch_;
};
