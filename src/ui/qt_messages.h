#pragma once
// The widget implementations of the message and progress interfaces.
#include "messages.h"
#include "progress.h"

class QtMessages : public IMessages {
public:
    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    MsgAnswer question(const QString& text, bool withCancel) override;
    MsgAnswer questionHeading(const QString& heading, const QString& text, bool withCancel) override;
    bool inputBox(const QString& caption, const QString& prompt, QString& value) override;
    void exceptionBox(const QString& heading, const QString& message) override;
};

class ProgressDialog;

// The shared tool window captioned "Information": centred text, an optional bar and "Abort" link.
class QtProgress : public IProgress {
public:
    ~QtProgress() override;
    void update(const QString& text, int percent, const std::function<void()>& onAbort,
                QObject* over) override;

private:
    ProgressDialog* window_ = nullptr;
};

// Installs both for the program's lifetime.
void InstallQtMessages();
