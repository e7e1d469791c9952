#pragma once
// The one text codec of the program: the system's 8-bit code page, byte-order marks, and conversion
// between UTF-8 and any encoding iconv knows. Strict conversion raises at the first character (or
// byte) the other side cannot hold; lenient conversion writes "?" for it and goes on. Callers choose
// the mode by what they may lose: the export refuses, the settings file keeps going.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

// The system's 8-bit code page ("UTF-8", "ISO-8859-1", "CP1250", ...): UTF-8 here unless the
// configuration or a test sets another. Every reader and writer of 8-bit text follows it.
QByteArray SystemCodePageName();
void SetSystemCodePage(const QByteArray& name);

// The encoding a byte-order mark at the start of data names ("UTF-8", "UTF-16LE", "UTF-16BE"), its
// length in bomSize; an empty name (and 0) when there is none.
QByteArray BomEncoding(QByteArrayView data, int& bomSize);
// The byte-order mark of a Unicode encoding name ("UTF-8", "UTF-16", "UTF-16LE", "UTF-16BE"); empty
// for any other.
QByteArray BomOf(const QByteArray& name);

class TextCodec {
public:
    enum class Mode { Strict, Lenient };
    // Raises Exception "Unknown text encoding "<name>"." for a name iconv does not know.
    explicit TextCodec(const QByteArray& name, Mode mode = Mode::Strict);
    ~TextCodec();
    TextCodec(TextCodec&&) noexcept;
    TextCodec& operator=(TextCodec&&) noexcept;

    const QByteArray& name() const { return name_; }

    // Appends utf8 (valid UTF-8) in this encoding. Strict: raises "The character U+XXXX cannot be
    // written in the encoding <name>." for the first character it cannot hold.
    void encode(std::string_view utf8, std::string& out) const;
    QByteArray encode(const QString& text) const;
    // Appends bytes of this encoding as UTF-8; returns how many bytes were converted. Strict stops at
    // the first sequence the encoding does not define (the return value is its offset); lenient
    // writes "?" for it and converts everything.
    size_t decode(std::string_view bytes, std::string& utf8) const;
    QString decode(QByteArrayView bytes) const;
    // How many bytes from the start are text in this encoding (all of them when the text is valid);
    // nothing is kept, so a file of any size is checked in constant memory.
    size_t validLength(std::string_view bytes) const;

private:
    struct Iconv;
    QByteArray name_;
    Mode mode_;
    std::unique_ptr<Iconv> iconv_;
};
