#pragma once
// TTXTExport: the records of a source as a plain text file, one line per record after an optional
// title line; fixed-width columns (FillChar) or values joined by FieldSeparator (FillChar code 0).
#include "action_after.h"
#include "export_progress.h"
#include "export_source.h"

#include <QStringList>
#include <functional>

class ExportWriter;

class TTXTExport {
public:
    QString ExportFile;     // empty: the lines stay in ExportResult only
    QString TextApostrophe; // before and after every text-like value
    QString FieldSeparator = QStringLiteral(" ");
    QChar FillChar = QChar(' '); // code 0: no fixed width
    bool TrimData = false;
    bool ExportFieldName = true;
    bool RealFieldNamesAsTitle = false;
    bool ExportMemoFields = false; // also replaces CR LF and CR in every value by MemoEOLString
    bool ExportOnlyVisibleFields = true;
    bool ExportOnlySelectedRows = false;
    bool AppendToFile = false;
    TActionAfter ActionAfter = aaShow;
    std::function<void(TTXTExport&)> OnBeforeExport, OnAfterExport;
    bool UseDisableControl = true;
    bool ShowProgressBar = false;
    TExportProgressEvent OnProgressEvent;
    QString Encoding; // empty: the system's 8-bit code page (UTF-8)

    QString MemoEOLString = QStringLiteral(" || ");
    bool ExportStructureOnly = false;
    bool ExportAllAsText = false;
    // The lines of the last run when ExportFile is empty (with a file they go straight to it).
    QStringList ExportResult;

    // Run state.
    TSourceType SourceType = stDataset;
    const TExportSource* SourceObject = nullptr;
    TDataSet* Dataset = nullptr;
    int RecIdx = 0;
    int RecCount = 0;
    bool Aborted = false;

    // True when the text was built and, with a file name, saved. A file that cannot be written shows
    // the exception box and returns false; other failures raise.
    bool Execute(TDataSet* dataset);
    bool Execute(const TExportSource& source);
    // Opens a dataset that is not open yet and writes its records forward-only, each block of rows as
    // it is fetched (see TDataSet::OnBlock), so memory stays flat whatever the row count. The output
    // is the one Execute writes; RecCount is the rows fetched so far.
    bool ExecuteForwardOnly(TDataSet* dataset);
    // Adds one line to the output of the run (to ExportResult outside a run).
    void ExportLine(const QString& text);

private:
    class Run;
    // The frame of a run around its records: output, events, commit, the action after.
    bool exportWith(const std::function<bool(ExportWriter&, ExportProgress&)>& records);
    Run* run_ = nullptr;
};
