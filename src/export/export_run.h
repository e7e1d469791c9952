#pragma once
// The run the export engines share: the source and its checks, the record pass (over a loaded dataset
// with the selected-rows test, or forward-only block by block as the rows are fetched), progress with
// Abort, the exception box, putting the output in place and the action after. An engine adds only its
// format's part: an ExportFormat.
#include "action_after.h"
#include "export_progress.h"
#include "export_source.h"

// One format's part of a run. The run calls ready, open, bind, begin, titles (when asked or for a
// structure-only run), row for every record, sums (after the records, not for a structure-only run),
// end and commit, in this order; an abort skips sums, end and commit.
class ExportFormat {
public:
    virtual ~ExportFormat() = default;

    bool withTitles = true;    // write the title row
    bool selectedOnly = false; // a grid source's selected records only
    // Every failure shows the exception box and makes the run return false; otherwise only a file
    // that cannot be written does, and other errors leave the run as exceptions.
    bool showAllErrors = true;

    // False makes the run return false before it starts (a setting is missing).
    virtual bool ready() const { return true; }
    // Opens the destination; raises when it cannot.
    virtual void open() = 0;
    // The source whose records come next: once for a loaded dataset, again for every block of a
    // forward-only read (each block has its own rows, and a column may have widened its type).
    virtual void bind(const TExportSource& source) = 0;
    // What comes before the titles (the head of the file, the before-export event).
    virtual void begin() {}
    virtual void titles() {}
    // One record at a view position of the bound dataset. False stops the pass without an abort:
    // the rows so far are kept and the run goes on with sums and end.
    virtual bool row(int position) = 0;
    virtual void sums() {}
    // What comes after the records (the after-export event, the tail of the file).
    virtual void end() {}
    // Puts the output in place; returns the file the action after applies to (empty: none).
    virtual QString commit() = 0;
};

// The properties and run state the engines have in common, and the run.
class ExportEngine {
public:
    QString ExportFile; // what an empty name means is the engine's
    TActionAfter ActionAfter = aaShow;
    bool UseDisableControl = true; // detach the dataset's controls and scroll events during the pass
    bool ShowProgressBar = false;  // the shared progress window, with "Abort"
    TExportProgressEvent OnProgressEvent;
    bool ExportStructureOnly = false; // the title row only, no records

    // Run state, reset by every run.
    TSourceType SourceType = stDataset;
    const TExportSource* SourceObject = nullptr;
    TDataSet* Dataset = nullptr;
    int RecIdx = 0;   // the record being written, from 1
    int RecCount = 0; // records expected (forward-only: fetched so far), for the percentage
    bool Aborted = false;

protected:
    ExportEngine() = default;
    ~ExportEngine() = default;

    // True when the output was built and put in place.
    bool runExport(const TExportSource& source, ExportFormat& format);
    // Opens a dataset that is not open yet and writes its records forward-only, each block of rows as
    // it is fetched (TDataSet::OnBlock), so memory stays flat whatever the row count.
    bool runForwardOnly(TDataSet* dataset, ExportFormat& format);

private:
    template <class Pass> bool frame(ExportFormat& format, Pass&& pass);
    void head(ExportFormat& format);
    // After a record was written: progress, and whether the pass stops.
    bool recorded(ExportProgress& progress);
};
