#include "export_run.h"

#include "dataset.h"
#include "messages.h"
#include "query.h"
#include "safe_file.h"
#include "scan_dataset.h"
#include "shell.h"

#include <QScopeGuard>
#include <limits>

template <class Pass> bool ExportEngine::frame(ExportFormat& format, Pass&& pass) {
    ExportProgress progress(ShowProgressBar, OnProgressEvent);
    QString file;
    try {
        format.open();
        pass(progress);
        if (Aborted) return false;
        format.end();
        file = format.commit();
    } catch (const std::exception& e) {
        if (!format.showAllErrors && !dynamic_cast<const FileWriteError*>(&e)) throw;
        ShowException(QStringLiteral("Error: Cannot export data."), e);
        return false;
    }
    if (!file.isEmpty()) DoActionAfter(file, ActionAfter);
    return true;
}

void ExportEngine::head(ExportFormat& format) {
    format.begin();
    if (format.withTitles || ExportStructureOnly) format.titles();
}

bool ExportEngine::recorded(ExportProgress& progress) {
    progress.record(RecIdx, RecCount);
    if (progress.aborted()) Aborted = true;
    return Aborted;
}

bool ExportEngine::runExport(const TExportSource& source, ExportFormat& format) {
    SourceType = source.SourceType();
    SourceObject = &source;
    Dataset = nullptr;
    RecIdx = RecCount = 0;
    Aborted = false;
    if (!format.ready()) return false;
    TDataSet* ds = source.DataSet();
    if (!ds || !ds->Active()) return false;
    Dataset = ds;
    return frame(format, [&](ExportProgress& progress) {
        format.bind(source);
        head(format);
        if (ExportStructureOnly) return;
        RecCount = ds->RecordCount();
        const bool selectedOnly = format.selectedOnly && source.HasSelection();
        ScanDataset(ds, UseDisableControl, UseDisableControl, true, [&](int recNo, bool& stop) {
            if (selectedOnly && !source.IsSelected()) return;
            RecIdx = recNo;
            stop = !format.row(ds->currentPosition()) || recorded(progress);
        });
        if (!Aborted) format.sums();
    });
}

bool ExportEngine::runForwardOnly(TDataSet* ds, ExportFormat& format) {
    SourceType = stDataset;
    SourceObject = nullptr;
    Dataset = ds;
    RecIdx = RecCount = 0;
    Aborted = false;
    if (!format.ready() || !ds) return false;
    return frame(format, [&](ExportProgress& progress) {
        bool first = true, stopped = false;
        ds->OnBlock = [&](TDataSet& block, bool) {
            TDataSetSource source(&block);
            format.bind(source);
            if (first) {
                first = false;
                head(format);
            }
            if (ExportStructureOnly || Aborted || stopped) return;
            RecCount = int(std::min<qint64>(block.store().fetchedRows(), std::numeric_limits<int>::max()));
            const int n = block.RecordCount();
            for (int p = 0; p < n && !Aborted && !stopped; ++p) {
                ++RecIdx;
                stopped = !format.row(p);
                if (!stopped) recorded(progress);
            }
        };
        // An abort, or a format that takes no more rows, ends the read at the next block: a huge result
        // is not fetched for nothing.
        auto* query = dynamic_cast<TADOQuery*>(ds);
        std::function<bool(qint64)> fetchProgress;
        if (query) {
            fetchProgress = query->OnFetchProgress;
            query->OnFetchProgress = [&](qint64 rows) {
                return !Aborted && !stopped && (!fetchProgress || fetchProgress(rows));
            };
        }
        const auto detach = qScopeGuard([&] {
            ds->OnBlock = nullptr;
            if (query) query->OnFetchProgress = std::move(fetchProgress);
        });
        ds->Open();
        if (!Aborted && !ExportStructureOnly) format.sums();
    });
}
