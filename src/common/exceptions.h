#pragma once
// Failures are exceptions that carry a message text; handlers show it in the exception box.
#include <QByteArray>
#include <QString>
#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(const QString& message) : Message(message), utf8_(message.toUtf8()) {}
    const char* what() const noexcept override { return utf8_.constData(); }
    QString Message;

private:
    QByteArray utf8_;
};

// Raised by the data-access layer (connections, queries, fields, providers).
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// Raised when the user stops a long operation; handlers end quietly.
class EAbort : public Exception {
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};

// The message text of any exception, for the exception box.
QString ExceptionMessage(const std::exception& e);
