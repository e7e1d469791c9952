#pragma once
// The shared progress window, behind an interface so engines stay free of widgets.
// Exports and prints update it every 100th record; every update processes pending events, so
// an "Abort" link (or a dialog's "Cancel") can stop a loop between two records.
#include <QString>
#include <functional>

class QObject;

class IProgress {
public:
    virtual ~IProgress() = default;
    // Shows text (centred, word-wrapped); percent < 0 hides the bar; an empty onAbort hides the
    // "Abort" link; over is the window to place it over. An empty text hides the window.
    virtual void update(const QString& text, int percent, const std::function<void()>& onAbort,
                        QObject* over) = 0;
};

// Shows or updates the shared progress window ("Information"); an empty text hides it.
void ProgressWindow(const QString& text, int percent = -1, const std::function<void()>& onAbort = {},
                    QObject* over = nullptr);

// The percentage that exports and prints show: recNo * 100 / count, rounded.
int ProgressPercent(qint64 recNo, qint64 count);

// Installs an implementation (nullptr: none, updates only process pending events). Returns the old one.
IProgress* SetProgress(IProgress* progress);

// Hides the progress window when it goes out of scope, also after a failure.
class ProgressScope {
public:
    ProgressScope() = default;
    ~ProgressScope() { ProgressWindow(QString()); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
};
