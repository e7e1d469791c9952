#pragma once
// The message interface: every window shows its boxes through it, never through QMessageBox directly.
// The program installs the widget implementation; tests install ScriptedMessages.
#include <QString>
#include <exception>

enum class MsgAnswer { Ok, Yes, No, Cancel };

class IMessages {
public:
    virtual ~IMessages() = default;
    virtual void information(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
    // The application's default handler for an exception nobody caught.
    virtual void error(const QString& text) = 0;
    // Yes / No, or Yes / No / Cancel with withCancel.
    virtual MsgAnswer question(const QString& text, bool withCancel = false) = 0;
    // A question with a bold heading above the text.
    virtual MsgAnswer questionHeading(const QString& heading, const QString& text,
                                      bool withCancel = false) = 0;
    // Returns false on Cancel; value holds the initial value and receives the answer.
    virtual bool inputBox(const QString& caption, const QString& prompt, QString& value) = 0;
    // After a warning beep: heading, then "Error description:", a line break and the message.
    virtual void exceptionBox(const QString& heading, const QString& message) = 0;
};

// The installed implementation (a console one that answers No / Cancel until another is installed).
IMessages& Messages();
// Installs an implementation; nullptr restores the console one. Returns the previous one.
IMessages* SetMessages(IMessages* messages);

// Shows an exception in the exception box under the caller's heading ("Error: Cannot export data.").
void ShowException(const QString& heading, const std::exception& e);

// The text the exception box shows below its heading.
QString ExceptionBoxText(const QString& message);
