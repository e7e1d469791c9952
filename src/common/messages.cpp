#include "messages.h"

#include "exceptions.h"

#include <cstdio>
#include <new>

QString ExceptionMessage(const std::exception& e) {
    if (auto* ex = dynamic_cast<const Exception*>(&e)) return ex->Message;
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("Out of memory: the data or file is too large for the memory available.");
    return QString::fromUtf8(e.what());
}

namespace {
// Used by the command line and before the program installs its windows: writes to stderr.
class ConsoleMessages : public IMessages {
    static void put(const char* kind, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", kind, text.toLocal8Bit().constData());
    }

public:
    void information(const QString& text) override { put("Information", text); }
    void warning(const QString& text) override { put("Warning", text); }
    void error(const QString& text) override { put("Error", text); }
    MsgAnswer question(const QString& text, bool withCancel) override {
        put("Question", text);
        return withCancel ? MsgAnswer::Cancel : MsgAnswer::No;
    }
    MsgAnswer questionHeading(const QString& heading, const QString& text, bool withCancel) override {
        return question(heading + '\n' + text, withCancel);
    }
    bool inputBox(const QString&, const QString& prompt, QString&) override {
        put("Input", prompt);
        return false;
    }
    // The heading is a whole message of its own ("Error: Cannot export data.").
    void exceptionBox(const QString& heading, const QString& message) override {
        std::fprintf(stderr, "%s\n%s\n", heading.toLocal8Bit().constData(),
                     ExceptionBoxText(message).toLocal8Bit().constData());
    }
};

ConsoleMessages g_console;
IMessages* g_messages = &g_console;
} // namespace

IMessages& Messages() {
    return *g_messages;
}

IMessages* SetMessages(IMessages* messages) {
    IMessages* prev = g_messages;
    g_messages = messages ? messages : &g_console;
    return prev == &g_console ? nullptr : prev;
}

QString ExceptionBoxText(const QString& message) {
    return QStringLiteral("Error description:") + '\n' + message;
}

void ShowException(const QString& heading, const std::exception& e) {
    Messages().exceptionBox(heading, ExceptionMessage(e));
}
