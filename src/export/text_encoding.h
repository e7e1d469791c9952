#pragma once
// The encodings export files are written in. Lines are built as UTF-8 and converted on the way out.
// An empty name is the system's 8-bit code page, which is UTF-8 (without a byte-order mark) on Linux.
// UTF-16 (little-endian unless "UTF-16BE") is written with its byte-order mark; any other name is
// an 8-bit code page known to iconv ("windows-1250", "ISO-8859-2", ...), converted strictly: a
// character it cannot hold stops the export.
#include "text_codec.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

class ExportEncoding {
public:
    // Raises naming the encoding when it is unknown.
    explicit ExportEncoding(const QString& name = QString());
    ~ExportEncoding();
    ExportEncoding(ExportEncoding&&) noexcept;
    ExportEncoding& operator=(ExportEncoding&&) noexcept;

    // The encoding a byte-order mark at the start of data names (UTF-8 with BOM, UTF-16LE or BE);
    // nullptr when there is none. bomSize receives the mark's length.
    static std::unique_ptr<ExportEncoding> FromBom(const QByteArray& data, int& bomSize);

    QString name() const { return name_; }
    bool isUtf8() const { return kind_ == Kind::Utf8; }
    // Written once at the start of a file.
    QByteArray bom() const;
    // Appends utf8 converted to this encoding; raises naming the first character it cannot hold.
    void encode(std::string_view utf8, std::string& out) const;
    // Checks that data (without its BOM) is text in this encoding; raises naming the offset if not.
    void validate(const QByteArray& data) const;
    // Appends the bytes of a blob as UTF-8 when they are text in this encoding (UTF-8 for the
    // Unicode encodings) without control characters other than tab and line breaks; otherwise
    // appends "0x" and their hexadecimal digits, so the file stays text and nothing is lost.
    void appendBlob(std::string_view bytes, std::string& utf8) const;

private:
    enum class Kind { Utf8, Utf8Bom, Utf16LE, Utf16BE, Iconv };
    ExportEncoding(Kind kind, const QString& name);
    Kind kind_;
    QString name_;
    std::unique_ptr<TextCodec> codec_; // the 8-bit code pages
};
