#pragma once
// TSLKExport: the records of a source as a SYLK spreadsheet file: typed cells with number formats,
// an optional bold title row, column widths and an optional row of column sums as formulas.
#include "action_after.h"
#include "export_progress.h"
#include "export_source.h"

#include <functional>

class TSLKExport : public TExportStartPosition {
public:
    QString SLKIdHeaderLine;                       // empty: "ID;SLKExport"
    QString ExportFile;                            // required
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
    TActionAfter ActionAfter = aaShow;
    // (Sender, MaxX, MaxY): before the column widths with StartCol and StartRow, before the end
    // record with MaxX and the current row.
    std::function<void(TSLKExport&, int, int)> OnBeforeExport, OnAfterExport;
    bool UseDisableControl = true;
    bool ShowProgressBar = false;
    TExportProgressEvent OnProgressEvent;
    QString Encoding; // empty: the system's 8-bit code page (UTF-8)
    bool ExportStructureOnly = false;

    // Run state.
    TSourceType SourceType = stDataset;
    const TExportSource* SourceObject = nullptr;
    TDataSet* Dataset = nullptr;
    int RecIdx = 0;
    int RecCount = 0;
    bool Aborted = false;
    int X = 1, Y = 1, MaxX = 0;

    // True when the file was saved. Failures show the exception box and return false.
    bool Execute(TDataSet* dataset);
    bool Execute(const TExportSource& source);
    // Adds one line to the file being written (during a run; an empty text adds nothing).
    void ExportLine(const QString& text);

private:
    // The file's sections in order: formats and fonts, column widths, titles, rows, sums.
    void run(const TExportSource& source, ExportProgress& progress);
    void writeFormats(const std::vector<ExportColumn>& cols, bool fonts);
    void writeColumnWidths(const std::vector<ExportColumn>& cols);
    void writeTitles(const std::vector<ExportColumn>& cols);
    // False when aborted.
    bool writeRows(const TExportSource& source, const std::vector<ExportColumn>& cols,
                   ExportProgress& progress);
    void writeSums(const std::vector<ExportColumn>& cols, int firstDataRow);
    void writeRowStart(); // the cursor to the first column of row Y
    class Writer;
    Writer* writer_ = nullptr;
};

// A SYLK text value: line breaks as ESC " :", longer than 250 characters cut to 247 and "...",
// wrapped in double quotes; then every ";" doubled.
void AppendSylkText(std::string& out, std::string_view text, std::string& scratch);
