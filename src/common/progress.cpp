#include "progress.h"

#include <QCoreApplication>
#include <cmath>

namespace {
IProgress* g_progress = nullptr;
}

IProgress* SetProgress(IProgress* progress) {
    IProgress* prev = g_progress;
    g_progress = progress;
    return prev;
}

void ProgressWindow(const QString& text, int percent, const std::function<void()>& onAbort, QObject* over) {
    if (g_progress)
        g_progress->update(text, percent, onAbort, over);
    else if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

int ProgressPercent(qint64 recNo, qint64 count) {
    if (count <= 0) return 0;
    return int(std::lround(double(recNo) * 100.0 / double(count)));
}
