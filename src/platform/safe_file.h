#pragma once
// The one way the program writes a result file. A regular file, or a new one, is written to a hidden
// temporary file beside it that replaces it only on commit, with the old file's mode and owner (a new
// file gets the mode the umask gives); a device, a pipe or a descriptor of this process (/dev/stdout)
// is written in place. Links are followed to the file they name. A failure leaves the target as it
// was and removes the temporary file; the ones a killed run left behind are removed when the next
// run writes into that folder. Files registered as open (the database and its journals) are never
// written over.
#include "exceptions.h"

#include <QByteArray>
#include <QString>

// A result file that could not be written. Message names the file the caller gave and the reason.
class FileWriteError : public Exception {
public:
    FileWriteError(const QString& message, const QString& reason) : Exception(message), Reason(reason) {}
    QString Reason; // the system's text ("No space left on device") or our own
};

class SafeFile {
public:
    enum Use {
        Stream,   // bytes through write()
        WorkFile, // a regular file that another library changes in place (a zip package)
    };
    // Opens the target for writing; raises FileWriteError when it cannot be written.
    explicit SafeFile(const QString& path, Use use = Stream);
    // Without commit: the temporary file is removed and the target stays as it was.
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    void write(const char* data, qint64 size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // WorkFile use: the bytes written so far as a regular file that may be changed or replaced under
    // its name until commit, which puts its content in place. Nothing more goes through write().
    QString workFile();
    // Puts the result in place; raises FileWriteError when it cannot.
    void commit();

    const QString& path() const { return path_; }
    // True when an existing regular file is being replaced (its content can be read first).
    bool replacesFile() const { return kind_ == Kind::Regular; }

    // Raises what the constructor would for path, without creating anything.
    static void Check(const QString& path);

private:
    enum class Kind { New, Regular, Special };
    [[noreturn]] void fail(const char* what, int error) const;
    void createTemporary(const QByteArray& folder);
    void closeWork();

    QString path_;
    Use use_;
    Kind kind_ = Kind::New;
    QByteArray target_;    // the file links lead to (New, Regular)
    QByteArray temporary_; // the file being written before it is renamed or copied
    int fd_ = -1;          // the temporary file, or the target itself when written in place
    int targetFd_ = -1;    // a Special target written through a work file
    unsigned mode_ = 0;
    unsigned uid_ = 0, gid_ = 0;
    bool committed_ = false;
};

// Whether two paths name the same file once links are followed (missing files by their resolved names).
bool SameFile(const QString& a, const QString& b);

// Files the program keeps open (the database and its journals): SafeFile refuses to write over them,
// naming them by description ("the open database \"x.sqlite\""). Registrations are counted.
void RegisterOpenFile(const QString& path, const QString& description);
void UnregisterOpenFile(const QString& path);
