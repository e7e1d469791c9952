#include "text_encoding.h"

#include "exceptions.h"

#include <QList>
#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>

namespace {
// The code point of the UTF-8 sequence at p (for messages).
uint32_t CodePointAt(const char* p, size_t n) {
    QString s = QString::fromUtf8(p, qsizetype(std::min<size_t>(n, 4)));
    return s.isEmpty() ? 0 : s.toUcs4().value(0);
}

} // namespace

struct TextEncoding::Iconv {
    iconv_t to = iconv_t(-1);   // UTF-8 -> the encoding
    iconv_t from = iconv_t(-1); // the encoding -> UTF-8
    ~Iconv() {
        if (to != iconv_t(-1)) iconv_close(to);
        if (from != iconv_t(-1)) iconv_close(from);
    }
};

TextEncoding::TextEncoding(Kind kind, const QString& name) : kind_(kind), name_(name) {}

TextEncoding::TextEncoding(const QString& name) {
    QString n = name.trimmed().toUpper();
    if (n.isEmpty() || n == "UTF-8" || n == "UTF8") {
        kind_ = Kind::Utf8;
        name_ = QStringLiteral("UTF-8");
    } else if (n == "UTF-16" || n == "UTF-16LE" || n == "UNICODE") {
        kind_ = Kind::Utf16LE;
        name_ = QStringLiteral("UTF-16LE");
    } else if (n == "UTF-16BE") {
        kind_ = Kind::Utf16BE;
        name_ = n;
    } else {
        kind_ = Kind::Iconv;
        name_ = name.trimmed();
        iconv_ = std::make_unique<Iconv>();
        QByteArray code = name_.toLatin1();
        iconv_->to = iconv_open(code.constData(), "UTF-8");
        iconv_->from = iconv_open("UTF-8", code.constData());
        if (iconv_->to == iconv_t(-1) || iconv_->from == iconv_t(-1))
            throw Exception(QStringLiteral("Unknown encoding \"%1\".").arg(name_));
    }
}

TextEncoding::~TextEncoding() = default;
TextEncoding::TextEncoding(TextEncoding&&) noexcept = default;
TextEncoding& TextEncoding::operator=(TextEncoding&&) noexcept = default;

std::unique_ptr<TextEncoding> TextEncoding::FromBom(const QByteArray& data, int& bomSize) {
    bomSize = 0;
    if (data.startsWith("\xEF\xBB\xBF")) {
        bomSize = 3;
        return std::unique_ptr<TextEncoding>(new TextEncoding(Kind::Utf8Bom, QStringLiteral("UTF-8")));
    }
    if (data.startsWith("\xFF\xFE")) {
        bomSize = 2;
        return std::unique_ptr<TextEncoding>(new TextEncoding(Kind::Utf16LE, QStringLiteral("UTF-16LE")));
    }
    if (data.startsWith("\xFE\xFF")) {
        bomSize = 2;
        return std::unique_ptr<TextEncoding>(new TextEncoding(Kind::Utf16BE, QStringLiteral("UTF-16BE")));
    }
    return nullptr;
}

QByteArray TextEncoding::bom() const {
    switch (kind_) {
    case Kind::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF");
    case Kind::Utf16LE:
        return QByteArray("\xFF\xFE");
    case Kind::Utf16BE:
        return QByteArray("\xFE\xFF");
    default:
        return QByteArray();
    }
}

void TextEncoding::encode(std::string_view utf8, std::string& out) const {
    switch (kind_) {
    case Kind::Utf8:
    case Kind::Utf8Bom:
        out.append(utf8);
        return;
    case Kind::Utf16LE:
    case Kind::Utf16BE: {
        QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        size_t at = out.size();
        out.resize(at + size_t(s.size()) * 2);
        char* p = out.data() + at;
        bool le = kind_ == Kind::Utf16LE;
        for (QChar c : s) {
            char16_t u = c.unicode();
            *p++ = char(le ? u & 0xff : u >> 8);
            *p++ = char(le ? u >> 8 : u & 0xff);
        }
        return;
    }
    case Kind::Iconv:
        break;
    }
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    iconv(iconv_->to, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char buf[4096];
        char* o = buf;
        size_t oLeft = sizeof buf;
        size_t r = iconv(iconv_->to, &in, &inLeft, &o, &oLeft);
        out.append(buf, size_t(o - buf));
        if (r == size_t(-1) && errno != E2BIG)
            throw Exception(
                QStringLiteral("The character U+%1 cannot be written in the encoding %2.")
                    .arg(QString::number(CodePointAt(in, inLeft), 16).toUpper().rightJustified(4, '0'),
                         name_));
    }
}

void TextEncoding::validate(const QByteArray& data) const {
    auto bad = [&](qint64 offset) {
        return Exception(QStringLiteral("The text at byte %1 is not valid %2.").arg(offset).arg(name_));
    };
    switch (kind_) {
    case Kind::Utf8:
    case Kind::Utf8Bom: {
        QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString s = dec.decode(data);
        if (dec.hasError()) throw bad(s.left(s.indexOf(QChar::ReplacementCharacter)).toUtf8().size());
        return;
    }
    case Kind::Utf16LE:
    case Kind::Utf16BE:
        if (data.size() % 2) throw bad(data.size() - 1);
        return;
    case Kind::Iconv:
        break;
    }
    char* in = const_cast<char*>(data.constData());
    size_t inLeft = size_t(data.size());
    iconv(iconv_->from, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char buf[4096];
        char* o = buf;
        size_t oLeft = sizeof buf;
        if (iconv(iconv_->from, &in, &inLeft, &o, &oLeft) == size_t(-1) && errno != E2BIG)
            throw bad(in - data.constData());
    }
}
