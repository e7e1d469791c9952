#include "scripted_messages.h"

void ScriptedMessages::information(const QString& text) {
    shown.push_back({"information", {}, text});
}
void ScriptedMessages::warning(const QString& text) {
    shown.push_back({"warning", {}, text});
}
void ScriptedMessages::error(const QString& text) {
    shown.push_back({"error", {}, text});
}

MsgAnswer ScriptedMessages::next(bool withCancel) {
    if (answers.empty()) return withCancel ? MsgAnswer::Cancel : MsgAnswer::No;
    MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

MsgAnswer ScriptedMessages::question(const QString& text, bool withCancel) {
    shown.push_back({"question", {}, text});
    return next(withCancel);
}

MsgAnswer ScriptedMessages::questionHeading(const QString& heading, const QString& text, bool withCancel) {
    shown.push_back({"question", heading, text});
    return next(withCancel);
}

bool ScriptedMessages::inputBox(const QString& caption, const QString& prompt, QString& value) {
    shown.push_back({"input", caption, prompt});
    if (inputs.empty()) return false;
    std::optional<QString> a = inputs.front();
    inputs.pop_front();
    if (!a) return false;
    value = *a;
    return true;
}

void ScriptedMessages::exceptionBox(const QString& heading, const QString& message) {
    shown.push_back({"exception", heading, ExceptionBoxText(message)});
}

QStringList ScriptedMessages::log() const {
    QStringList out;
    for (const Shown& s : shown)
        out << (s.heading.isEmpty() ? s.kind + ": " + s.text : s.kind + ": " + s.heading + " | " + s.text);
    return out;
}
