#include "text_file.h"

#include "exceptions.h"
#include "text_codec.h"

#include <QFile>
#include <QStringDecoder>

namespace {
// Who is reading: the kind and name of the file that messages start with.
struct Source {
    const QString& kind;
    const QString& name;
};

[[noreturn]] void refuse(const Source& src, const QString& text, qsizetype at, const QString& what) {
    const qsizetype line = QStringView(text).left(at).count(QLatin1Char('\n')) + 1;
    throw Exception(QStringLiteral("%1 \"%2\", line %3: %4").arg(src.kind, src.name).arg(line).arg(what));
}

QString utf16(QByteArrayView body, bool bigEndian, const Source& src) {
    QString text(body.size() / 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(body.data());
    for (qsizetype i = 0; i < text.size(); ++i, p += 2)
        out[i] = bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            refuse(src, text, i, QStringLiteral("the UTF-16 text holds a lone surrogate"));
        }
    }
    if (body.size() % 2)
        refuse(src, text, text.size(), QStringLiteral("the UTF-16 text ends in half a character"));
    return text;
}

// Text in a code page iconv knows; a byte sequence it does not define is refused.
QString iconvText(QByteArrayView body, const Source& src) {
    const TextCodec codec(SystemCodePageName(), TextCodec::Mode::Strict);
    std::string utf8;
    const size_t done = codec.decode(std::string_view(body.data(), size_t(body.size())), utf8);
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    if (done < size_t(body.size()))
        refuse(src, text, text.size(),
               QStringLiteral("the text is neither UTF-8 nor %1 (byte 0x%2); save it as UTF-8")
                   .arg(QString::fromLatin1(codec.name()),
                        QString::number(uchar(body[qsizetype(done)]), 16).toUpper()));
    return text;
}

QString eightBit(QByteArrayView body, const Source& src) {
    const QByteArray cp = SystemCodePageName().toUpper();
    if (cp != "UTF-8" && cp != "UTF8" && cp != "ISO-8859-1" && cp != "LATIN1") return iconvText(body, src);
    const QString text = QString::fromLatin1(body);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].unicode() >= 0x80 && text[i].unicode() <= 0x9F)
            refuse(src, text, i,
                   QStringLiteral("the text is neither UTF-8 nor Latin-1 (byte 0x%1); save it as UTF-8")
                       .arg(QString::number(text[i].unicode(), 16).toUpper()));
    return text;
}
} // namespace

QString DecodeTextFile(const QByteArray& bytes, const QString& fileName, const QString& kind) {
    const Source src{kind, fileName};
    QByteArrayView body(bytes);
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        text = utf16(body.sliced(2), false, src);
    } else if (bytes.startsWith("\xFE\xFF")) {
        text = utf16(body.sliced(2), true, src);
    } else if (bytes.size() > 1 && bytes[0] != '\0' && bytes[1] == '\0') {
        text = utf16(body, false, src);
    } else {
        const bool bom = bytes.startsWith("\xEF\xBB\xBF");
        if (bom) body = body.sliced(3);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        text = utf8.decode(body);
        if (utf8.hasError()) {
            if (bom) { // marked as UTF-8: name the first broken line
                const qsizetype good = QString::fromUtf8(body).indexOf(QChar::ReplacementCharacter);
                refuse(src, QString::fromUtf8(body), std::max<qsizetype>(good, 0),
                       QStringLiteral("the text is not valid UTF-8"));
            }
            text = eightBit(body, src);
        }
    }
    if (qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        refuse(src, text, nul, QStringLiteral("the text holds a NUL character"));
    return text;
}

QString ReadTextFile(const QString& path, const QString& what, qint64 maxBytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read the %1 \"%2\": %3").arg(what, path, f.errorString()));
    const QByteArray bytes = maxBytes >= 0 ? f.read(maxBytes + 1) : f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read the %1 \"%2\": %3").arg(what, path, f.errorString()));
    if (maxBytes >= 0 && bytes.size() > maxBytes)
        throw Exception(QStringLiteral("%1 \"%2\" is larger than %3, which no such file is")
                            .arg(what, path,
                                 maxBytes >= (1 << 20) ? QStringLiteral("%1 MB").arg(maxBytes >> 20)
                                                       : QStringLiteral("%1 KB").arg(maxBytes >> 10)));
    return DecodeTextFile(bytes, path, what);
}
