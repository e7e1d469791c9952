#include "export_progress.h"

#include "progress.h"

QString ExportingText() {
    return QStringLiteral("Exporting") + QStringLiteral(" of data...");
}

ExportProgress::ExportProgress(bool showWindow, const TExportProgressEvent& event)
    : show_(showWindow), event_(event) {
    if (show_) ProgressWindow(ExportingText());
    if (event_) event_(psStarting, 0, false, QRect(), ExportingText());
}

ExportProgress::~ExportProgress() {
    if (show_) ProgressWindow(QString());
    if (event_) event_(psEnding, 100, false, QRect(), QString());
}

void ExportProgress::record(qint64 recIdx, qint64 recCount) {
    if (recCount == 0) return;
    if (!show_ && !event_) return;
    int percent = ProgressPercent(recIdx, recCount);
    if (show_ && recIdx % 100 == 0) ProgressWindow(ExportingText(), percent, [this] { aborted_ = true; });
    if (event_) event_(psRunning, percent, false, QRect(), ExportingText());
}
