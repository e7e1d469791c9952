#pragma once
// A message implementation for headless tests: records every box and answers from a script.
#include "messages.h"

#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

class ScriptedMessages : public IMessages {
public:
    struct Shown {
        QString kind; // "information", "warning", "error", "question", "input", "exception"
        QString heading;
        QString text;
    };
    std::vector<Shown> shown;
    std::deque<MsgAnswer> answers;             // for questions; No (or Cancel) when empty
    std::deque<std::optional<QString>> inputs; // for input boxes; nullopt or empty queue = Cancel

    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    MsgAnswer question(const QString& text, bool withCancel) override;
    MsgAnswer questionHeading(const QString& heading, const QString& text, bool withCancel) override;
    bool inputBox(const QString& caption, const QString& prompt, QString& value) override;
    void exceptionBox(const QString& heading, const QString& message) override;

    // "kind: heading | text" lines, for compact assertions.
    QStringList log() const;
    void clear() { shown.clear(); }

private:
    MsgAnswer next(bool withCancel);
};

// Installs a ScriptedMessages for the lifetime of the guard.
class ScopedScriptedMessages : public ScriptedMessages {
public:
    ScopedScriptedMessages() { prev_ = SetMessages(this); }
    ~ScopedScriptedMessages() override { SetMessages(prev_); }

private:
    IMessages* prev_;
};
