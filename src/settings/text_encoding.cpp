#include "text_encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace {
std::optional<QStringConverter::Encoding> QtEncoding(const QByteArray& name) {
    return QStringConverter::encodingForName(name.constData());
}
} // namespace

TextEncoding SystemCodePage() {
    return TextEncoding{SystemCodePageName(), false};
}

QString DecodeText(const QByteArray& bytes, TextEncoding& enc) {
    int bomSize = 0;
    const QByteArray byBom = BomEncoding(bytes, bomSize);
    if (!byBom.isEmpty())
        enc = TextEncoding{byBom, true};
    else
        enc.bom = false;
    const QByteArrayView body = QByteArrayView(bytes).sliced(bomSize);
    if (auto qt = QtEncoding(enc.name)) {
        QStringDecoder decoder(*qt, QStringConverter::Flag::Stateless);
        QString text = decoder.decode(body);
        if (decoder.hasError() && *qt == QStringConverter::Utf8 && !enc.bom) return QString::fromLatin1(body);
        return text;
    }
    return TextCodec(enc.name, TextCodec::Mode::Lenient).decode(body);
}

QByteArray EncodeText(const QString& text, const TextEncoding& enc) {
    QByteArray out = enc.bom ? BomOf(enc.name) : QByteArray();
    if (auto qt = QtEncoding(enc.name)) {
        QStringEncoder encoder(*qt, QStringConverter::Flag::Stateless);
        out += encoder.encode(text);
        return out;
    }
    out += TextCodec(enc.name, TextCodec::Mode::Lenient).encode(text);
    return out;
}
