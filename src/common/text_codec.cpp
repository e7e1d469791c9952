#include "text_codec.h"

#include "exceptions.h"

#include <QList>
#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {
QByteArray g_codePage = "UTF-8";

// The length of the UTF-8 sequence that starts with lead.
size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The code point of the UTF-8 sequence at p (for messages).
uint32_t CodePointAt(const char* p, size_t n) {
    QString s = QString::fromUtf8(p, qsizetype(std::min<size_t>(n, 4)));
    return s.isEmpty() ? 0 : s.toUcs4().value(0);
}

// Converts input with cd, appending to out (when given). Strict: stops at the first unconvertible unit
// and returns its offset. Lenient: writes "?" for each one (skipping unitOf its lead byte) and converts
// everything.
template <class UnitLength>
size_t Convert(iconv_t cd, std::string_view input, std::string* out, bool lenient, UnitLength unitOf) {
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char buf[4096];
        char* o = buf;
        size_t oLeft = sizeof buf;
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        if (out) out->append(buf, size_t(o - buf));
        if (r != size_t(-1) || errno == E2BIG) continue;
        if (!lenient) break;
        // EILSEQ or EINVAL: one unit the other side cannot hold.
        const size_t skip = std::min(unitOf(static_cast<unsigned char>(*in)), inLeft);
        in += skip;
        inLeft -= skip;
        if (out) *out += '?';
    }
    return input.size() - inLeft;
}
} // namespace

QByteArray SystemCodePageName() {
    return g_codePage;
}
void SetSystemCodePage(const QByteArray& name) {
    g_codePage = name;
}

QByteArray BomEncoding(QByteArrayView data, int& bomSize) {
    bomSize = 0;
    if (data.startsWith("\xEF\xBB\xBF")) {
        bomSize = 3;
        return "UTF-8";
    }
    if (data.startsWith("\xFF\xFE")) {
        bomSize = 2;
        return "UTF-16LE";
    }
    if (data.startsWith("\xFE\xFF")) {
        bomSize = 2;
        return "UTF-16BE";
    }
    return QByteArray();
}

QByteArray BomOf(const QByteArray& name) {
    const QByteArray n = name.trimmed().toUpper();
    if (n == "UTF-8" || n == "UTF8") return QByteArray("\xEF\xBB\xBF", 3);
    if (n == "UTF-16LE" || n == "UTF-16") return QByteArray("\xFF\xFE", 2);
    if (n == "UTF-16BE") return QByteArray("\xFE\xFF", 2);
    return QByteArray();
}

struct TextCodec::Iconv {
    iconv_t to = iconv_t(-1);   // UTF-8 -> the encoding
    iconv_t from = iconv_t(-1); // the encoding -> UTF-8
    ~Iconv() {
        if (to != iconv_t(-1)) iconv_close(to);
        if (from != iconv_t(-1)) iconv_close(from);
    }
};

TextCodec::TextCodec(const QByteArray& name, Mode mode)
    : name_(name.trimmed()), mode_(mode), iconv_(std::make_unique<Iconv>()) {
    iconv_->to = iconv_open(name_.constData(), "UTF-8");
    iconv_->from = iconv_open("UTF-8", name_.constData());
    if (name_.isEmpty() || iconv_->to == iconv_t(-1) || iconv_->from == iconv_t(-1))
        throw Exception(QStringLiteral("Unknown text encoding \"%1\".").arg(QString::fromLatin1(name_)));
}

TextCodec::~TextCodec() = default;
TextCodec::TextCodec(TextCodec&&) noexcept = default;
TextCodec& TextCodec::operator=(TextCodec&&) noexcept = default;

void TextCodec::encode(std::string_view utf8, std::string& out) const {
    const bool lenient = mode_ == Mode::Lenient;
    const size_t done = Convert(iconv_->to, utf8, &out, lenient, Utf8Length);
    if (done < utf8.size())
        throw Exception(QStringLiteral("The character U+%1 cannot be written in the encoding %2.")
                            .arg(QString::number(CodePointAt(utf8.data() + done, utf8.size() - done), 16)
                                     .toUpper()
                                     .rightJustified(4, '0'),
                                 QString::fromLatin1(name_)));
}

QByteArray TextCodec::encode(const QString& text) const {
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    encode(std::string_view(utf8.constData(), size_t(utf8.size())), out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

size_t TextCodec::decode(std::string_view bytes, std::string& utf8) const {
    return Convert(iconv_->from, bytes, &utf8, mode_ == Mode::Lenient,
                   [](unsigned char) { return size_t(1); });
}

size_t TextCodec::validLength(std::string_view bytes) const {
    return Convert(iconv_->from, bytes, nullptr, false, [](unsigned char) { return size_t(1); });
}

QString TextCodec::decode(QByteArrayView bytes) const {
    std::string utf8;
    decode(std::string_view(bytes.data(), size_t(bytes.size())), utf8);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
