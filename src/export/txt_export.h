#pragma once
// TTXTExport: the records of a source as a plain text file, one line per record after an optional
// title line; fixed-width columns (FillChar) or values joined by FieldSeparator (FillChar code 0).
#include "export_run.h"

#include <QStringList>
#include <functional>

class ExportWriter;

// ExportFile empty: the lines stay in ExportResult only.
class TTXTExport : public ExportEngine {
public:
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
    std::function<void(TTXTExport&)> OnBeforeExport, OnAfterExport;
    QString Encoding; // empty: the system's 8-bit code page (UTF-8)

    QString MemoEOLString = QStringLiteral(" || ");
    bool ExportAllAsText = false;
    // The lines of the last run when ExportFile is empty (with a file they go straight to it).
    QStringList ExportResult;

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
    ExportWriter* out_ = nullptr; // the output of the run in progress
};
