#pragma once
// TSLKExport: the records of a source as a SYLK spreadsheet file: typed cells with number formats,
// an optional bold title row, column widths and an optional row of column sums as formulas.
#include "export_run.h"

#include <functional>

// ExportFile is required (no name: Execute returns false).
class TSLKExport : public ExportEngine, public TExportStartPosition {
public:
    QString SLKIdHeaderLine;                       // empty: "ID;SLKExport"
    QString SetFontName = QStringLiteral("Arial"); // "nil": no font records and no row formatting
    QString DefaultDateFormat;                     // empty: "d/m/yyyy"
    QString DefaultTimeFormat;                     // empty: "h:mm"
    QString DefaultNumFormat;                      // empty: "General"
    bool TrimData = false;
    bool ExportFieldName = true;
    bool RealFieldNamesAsTitle = false;
    bool ExportOnlyVisibleFields = true;
    bool ExportOnlySelectedRows = false;
    bool SetColWidth = true;
    bool MakeSumRow = false;
    // (Sender, MaxX, MaxY): before the column widths with StartCol and StartRow, before the end
    // record with MaxX and the current row.
    std::function<void(TSLKExport&, int, int)> OnBeforeExport, OnAfterExport;
    QString Encoding; // empty: the system's 8-bit code page (UTF-8)

    // Run state beyond the engines' own: the sheet column and row being written, the last column of
    // the last record.
    int X = 1, Y = 1, MaxX = 0;

    // True when the file was saved. Failures show the exception box and return false.
    bool Execute(TDataSet* dataset);
    bool Execute(const TExportSource& source);
    // Opens a dataset that is not open yet and writes its records forward-only, each block of rows as
    // it is fetched, so memory stays flat whatever the row count. Column widths, number formats and
    // the sum row's label column follow the first block's fields; the output is the one Execute
    // writes when the types of the columns do not change after the first block.
    bool ExecuteForwardOnly(TDataSet* dataset);
    // Adds one line to the file being written (during a run; an empty text adds nothing).
    void ExportLine(const QString& text);

private:
    class Run;
    Run* run_ = nullptr;
};

// A SYLK text value: line breaks as ESC " :", longer than 250 characters cut to 247 and "...",
// wrapped in double quotes; then every ";" doubled.
void AppendSylkText(std::string& out, std::string_view text, std::string& scratch);
