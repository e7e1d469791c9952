#include "text_encoding.h"

#include "exceptions.h"
#include "text_file.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <optional>

namespace {

TextEncoding g_codePage;

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);
const QByteArray kUtf16LeBom("\xFF\xFE", 2);
const QByteArray kUtf16BeBom("\xFE\xFF", 2);

std::optional<QStringConverter::Encoding> QtEncoding(const QByteArray& name) {
    return QStringConverter::encodingForName(name.constData());
}

QByteArray BomOf(const QByteArray& name) {
    const QByteArray n = name.toUpper();
    if (n == "UTF-8" || n == "UTF8") return kUtf8Bom;
    if (n == "UTF-16LE" || n == "UTF-16") return kUtf16LeBom;
    if (n == "UTF-16BE") return kUtf16BeBom;
    return {};
}

[[noreturn]] void UnknownEncoding(const QByteArray& name) {
    throw Exception(QStringLiteral("Unknown text encoding \"%1\".").arg(QString::fromLatin1(name)));
}

// The length of the UTF-8 sequence that starts with lead.
size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// iconv for code pages Qt does not convert itself; an invalid or unmappable character is replaced by
// '?' and the conversion goes on.
QByteArray Iconv(const QByteArray& from, const QByteArray& to, const QByteArray& in) {
    iconv_t cd = iconv_open(to.constData(), from.constData());
    if (cd == reinterpret_cast<iconv_t>(-1)) UnknownEncoding(to == "UTF-8" ? from : to);
    QByteArray out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1)) break;
        if (errno == E2BIG) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        // EILSEQ or EINVAL: skip one source unit and write a replacement.
        const size_t skip = std::min(from == "UTF-8" ? Utf8Length(*src) : size_t(1), srcLeft);
        src += skip;
        srcLeft -= skip;
        if (dstLeft == 0) continue;
        *dst++ = '?';
        --dstLeft;
    }
    iconv_close(cd);
    out.truncate(dst - out.data());
    return out;
}

} // namespace

TextEncoding SystemCodePage() {
    return g_codePage;
}
void SetSystemCodePage(const QByteArray& name) {
    g_codePage = TextEncoding{name, false};
    SetTextFileCodePage(name); // the other text files the program reads follow it
}

QString DecodeText(const QByteArray& bytes, TextEncoding& enc) {
    QByteArrayView body(bytes);
    if (bytes.startsWith(kUtf8Bom)) {
        enc = TextEncoding{"UTF-8", true};
        body = body.sliced(3);
    } else if (bytes.startsWith(kUtf16LeBom)) {
        enc = TextEncoding{"UTF-16LE", true};
        body = body.sliced(2);
    } else if (bytes.startsWith(kUtf16BeBom)) {
        enc = TextEncoding{"UTF-16BE", true};
        body = body.sliced(2);
    } else {
        enc.bom = false;
    }
    if (auto qt = QtEncoding(enc.name)) {
        QStringDecoder decoder(*qt, QStringConverter::Flag::Stateless);
        QString text = decoder.decode(body);
        if (decoder.hasError() && *qt == QStringConverter::Utf8 && !enc.bom) return QString::fromLatin1(body);
        return text;
    }
    return QString::fromUtf8(Iconv(enc.name, "UTF-8", body.toByteArray()));
}

QByteArray EncodeText(const QString& text, const TextEncoding& enc) {
    QByteArray out = enc.bom ? BomOf(enc.name) : QByteArray();
    if (auto qt = QtEncoding(enc.name)) {
        QStringEncoder encoder(*qt, QStringConverter::Flag::Stateless);
        out += encoder.encode(text);
        return out;
    }
    out += Iconv("UTF-8", enc.name, text.toUtf8());
    return out;
}
