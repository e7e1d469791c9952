#pragma once
// Progress of an export run: the shared progress window every 100th record (with an "Abort" link)
// and the engine's progress event for every record.
#include <QRect>
#include <QString>
#include <functional>

enum TProgressStage { psStarting, psRunning, psEnding };

// (Stage, PercentDone, RedrawNow, R, Msg)
using TExportProgressEvent = std::function<void(TProgressStage, int, bool, const QRect&, const QString&)>;

// "Exporting" + " of data..."
QString ExportingText();

class ExportProgress {
public:
    ExportProgress(bool showWindow, const TExportProgressEvent& event);
    // Hides the window and sends the ending event, also when the run failed.
    ~ExportProgress();
    ExportProgress(const ExportProgress&) = delete;
    ExportProgress& operator=(const ExportProgress&) = delete;

    // After record recIdx (from 1) of recCount was written; nothing when recCount is 0.
    void record(qint64 recIdx, qint64 recCount);
    bool aborted() const { return aborted_; }

private:
    bool show_;
    const TExportProgressEvent& event_;
    bool aborted_ = false;
};
