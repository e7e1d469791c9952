#include "export_writer.h"

#include <QFile>

namespace {
constexpr size_t kFlushAt = size_t(1) << 16;
}

ExportWriter::ExportWriter(QStringList* lines) : list_(lines) {}

ExportWriter::ExportWriter(const QString& path, const QString& encodingName, bool append)
    : path_(path), encoding_(encodingName) {
    file_ = std::make_unique<SafeFile>(path_);
    QByteArray old;
    // Only a regular file has old lines; a pipe or a device is appended to by writing to it.
    if (append && file_->replacesFile()) {
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly))
            throw ExportSaveError(QStringLiteral("Cannot open file \"%1\". %2").arg(path_, f.errorString()),
                                  f.errorString());
        old = f.readAll();
    }
    QByteArray head;
    if (!old.isEmpty()) {
        int bomSize = 0;
        if (auto byBom = ExportEncoding::FromBom(old, bomSize))
            encoding_ = std::move(*byBom);
        else if (!encoding_.bom().isEmpty())
            throw Exception(QStringLiteral("Cannot append to file \"%1\": it has no byte-order mark of %2.")
                                .arg(path_, encoding_.name()));
        try {
            encoding_.validate(old.mid(bomSize));
        } catch (const Exception& e) {
            throw Exception(QStringLiteral("Cannot append to file \"%1\": %2").arg(path_, e.Message));
        }
        head = old;
        // The old last line gets its line end when it has none.
        int n = int(old.size());
        char16_t last = 0;
        if (n > bomSize) {
            if (encoding_.bom().size() != 2)
                last = uchar(old[n - 1]);
            else if (n - bomSize >= 2)
                last = encoding_.bom().startsWith('\xFF')
                           ? char16_t(uchar(old[n - 2]) | uchar(old[n - 1]) << 8)
                           : char16_t(uchar(old[n - 2]) << 8 | uchar(old[n - 1]));
            if (last != '\n' && last != '\r') encoding_.encode("\r\n", buf_);
        }
    } else {
        head = encoding_.bom();
    }
    buf_.insert(0, head.constData(), size_t(head.size()));
}

ExportWriter::~ExportWriter() = default;

void ExportWriter::line(std::string_view utf8) {
    ++lines_;
    if (list_) {
        list_->append(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
        return;
    }
    if (encoding_.isUtf8()) {
        buf_.append(utf8);
        buf_.append("\r\n", 2);
    } else {
        try {
            encoding_.encode(utf8, buf_);
        } catch (const Exception& e) {
            throw Exception(QStringLiteral("Line %1 of file \"%2\": %3").arg(lines_).arg(path_, e.Message));
        }
        encoding_.encode("\r\n", buf_);
    }
    if (buf_.size() >= kFlushAt) flush();
}

void ExportWriter::flush() {
    if (buf_.empty()) return;
    file_->write(buf_.data(), qint64(buf_.size()));
    buf_.clear();
}

void ExportWriter::commit() {
    if (!file_) return;
    flush();
    file_->commit();
    file_.reset();
}
