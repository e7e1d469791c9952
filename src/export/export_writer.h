#pragma once
// Where the lines of an export go: a temporary file in the target's folder that replaces the target
// only on commit (a failure or an abort leaves the old file as it was), or a list of lines.
// Every line ends with CR LF.
#include "exceptions.h"
#include "text_encoding.h"

#include <QStringList>
#include <memory>
#include <string>
#include <string_view>

class QSaveFile;

// The file could not be written (folder not writable, disk full, rename refused).
class ExportSaveError : public Exception {
public:
    using Exception::Exception;
};

class ExportWriter {
public:
    // Lines into a list.
    explicit ExportWriter(QStringList* lines);
    // Lines into a file in encodingName. With append, an existing file's content comes first,
    // unchanged, and the file keeps the encoding its byte-order mark names (else encodingName).
    ExportWriter(const QString& path, const QString& encodingName, bool append);
    ~ExportWriter();
    ExportWriter(const ExportWriter&) = delete;
    ExportWriter& operator=(const ExportWriter&) = delete;

    void line(std::string_view utf8);
    void lineText(const QString& text) {
        QByteArray b = text.toUtf8();
        line(std::string_view(b.constData(), size_t(b.size())));
    }
    qint64 lines() const { return lines_; }
    // Writes what is left and puts the file in place.
    void commit();

private:
    void flush();
    [[noreturn]] void fail(const QString& what) const;

    QStringList* list_ = nullptr;
    QString path_;
    std::unique_ptr<QSaveFile> file_;
    TextEncoding encoding_;
    std::string buf_;
    qint64 lines_ = 0;
};
