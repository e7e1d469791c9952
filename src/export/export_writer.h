#pragma once
// Where the lines of an export go: a file written through SafeFile (a failure or an abort leaves the
// old file as it was), or a list of lines. Every line ends with CR LF.
#include "safe_file.h"
#include "text_encoding.h"

#include <QStringList>
#include <memory>
#include <string>
#include <string_view>

// The file could not be written (folder not writable, disk full, rename refused).
using ExportSaveError = FileWriteError;

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
    // The encoding of the file (UTF-8 for a list).
    const ExportEncoding& encoding() const { return encoding_; }
    // Writes what is left and puts the file in place.
    void commit();

private:
    void flush();

    QStringList* list_ = nullptr;
    QString path_;
    std::unique_ptr<SafeFile> file_;
    ExportEncoding encoding_;
    std::string buf_;
    qint64 lines_ = 0;
};
