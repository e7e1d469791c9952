#include "export_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr size_t kFlushAt = size_t(1) << 20;
}

ExportWriter::ExportWriter(QStringList* lines) : list_(lines) {}

ExportWriter::ExportWriter(const QString& path, const QString& encodingName, bool append)
    : path_(path), encoding_(encodingName) {
    QByteArray old;
    if (append && QFileInfo::exists(path_)) {
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly))
            throw ExportSaveError(QStringLiteral("Cannot open file \"%1\". %2").arg(path_, f.errorString()));
        old = f.readAll();
    }
    QByteArray head;
    if (!old.isEmpty()) {
        int bomSize = 0;
        if (auto byBom = TextEncoding::FromBom(old, bomSize))
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
    file_ = std::make_unique<QSaveFile>(path_);
    if (!file_->open(QIODevice::WriteOnly)) fail(QStringLiteral("Cannot create file \"%1\"."));
}

ExportWriter::~ExportWriter() {
    if (file_) file_->cancelWriting();
}

void ExportWriter::fail(const QString& what) const {
    throw ExportSaveError(what.arg(path_) + ' ' + file_->errorString());
}

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
    if (file_->write(buf_.data(), qint64(buf_.size())) != qint64(buf_.size()))
        fail(QStringLiteral("Cannot write file \"%1\"."));
    buf_.clear();
}

void ExportWriter::commit() {
    if (!file_) return;
    flush();
    if (!file_->commit()) fail(QStringLiteral("Cannot save file \"%1\"."));
    file_.reset();
}
