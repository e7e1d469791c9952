#include "barcode_encoder.h"

#include "barcode_symbologies.h"

namespace barcode {

void ThrowBadChar(TBarcodeType type, const QString& data, qsizetype pos) {
    const char32_t c = data.at(pos).unicode();
    const QString shown = c >= 0x20 && c != 0x7F
                              ? QStringLiteral("\"%1\"").arg(data.at(pos))
                              : QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar('0')).toUpper();
    throw EBarcodeError(QStringLiteral("Character %1 at position %2 cannot be encoded in %3.")
                            .arg(shown)
                            .arg(pos + 1)
                            .arg(BarcodeTypeName(type)));
}

void ThrowBadLength(const char* name, int digits, const QString& data) {
    throw EBarcodeError(
        QStringLiteral("Invalid length for barcode \"%1\" (must be %2 digits, current \"%3\").")
            .arg(QLatin1String(name))
            .arg(digits)
            .arg(data));
}

void ThrowBadCheckDigit(const char* name, int check, const QString& data) {
    throw EBarcodeError(QStringLiteral("Invalid check digit for barcode \"%1\" (must be %2, current \"%3\").")
                            .arg(QLatin1String(name))
                            .arg(check)
                            .arg(data));
}

void AppendModules(std::string& out, const char* runs, bool barFirst) {
    bool bar = barFirst;
    for (const char* r = runs; *r; ++r, bar = !bar)
        out += char((bar ? '5' : '0') + (*r - '1'));
}

} // namespace barcode

using namespace barcode;

BarcodeEncoding EncodeBarcode(TBarcodeType type, const QString& data, bool useCheckSum) {
    BarcodeEncoding enc;
    if (type < 0 || type >= bcTypeUndefined)
        throw EBarcodeError(QStringLiteral("TAsBarcode: wrong BarcodeType"));
    enc.text = data;
    if (BarcodeDigitsOnly(type)) {
        enc.text = data.trimmed();
        for (QChar c : enc.text)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                throw EBarcodeError(QStringLiteral("Barcode must be numeric"));
    }
    // Padding would turn nothing into a readable but made-up code.
    if (enc.text.isEmpty()) throw EBarcodeError(QStringLiteral("Barcode data is empty"));
    switch (type) {
    case bcCode_2_5_interleaved:
        // An odd count gets a leading zero so that no digit is dropped.
        if (enc.text.size() % 2) enc.text.prepend(QLatin1Char('0'));
        enc.elements = EncodeInterleaved25(enc.text);
        break;
    case bcCode_2_5_industrial:
        enc.elements = EncodeIndustrial25(enc.text);
        break;
    case bcCode_2_5_matrix:
        enc.elements = EncodeMatrix25(enc.text);
        break;
    case bcCode39:
    case bcCode39Extended:
        enc.elements = EncodeCode39(type, enc.text, useCheckSum);
        break;
    case bcCode93:
    case bcCode93Extended:
        enc.elements = EncodeCode93(type, enc.text);
        break;
    case bcCode128A:
    case bcCode128B:
    case bcCode128C:
    case bcCodeEAN128A:
    case bcCodeEAN128B:
    case bcCodeEAN128C:
        // Code set C takes digit pairs: an odd count gets a leading zero.
        if ((type == bcCode128C || type == bcCodeEAN128C) && enc.text.size() % 2)
            enc.text.prepend(QLatin1Char('0'));
        enc.elements = EncodeCode128(type, enc.text);
        break;
    case bcCodeMSI:
        enc.elements = EncodeMsi(enc.text, useCheckSum);
        break;
    case bcCodePostNet:
        enc.elements = EncodePostNet(enc.text, useCheckSum);
        break;
    case bcCodeCodabar:
        enc.elements = EncodeCodabar(enc.text);
        break;
    default: {
        const QString digits = enc.text;
        enc.elements = EncodeEanUpc(type, digits, useCheckSum, enc.text);
        break;
    }
    }
    return enc;
}

int EanCheckDigit(const QString& digits) {
    int sum = 0, weight = 3;
    for (qsizetype i = digits.size() - 1; i >= 0; --i, weight = 4 - weight)
        sum += (digits[i].unicode() - '0') * weight;
    return (10 - sum % 10) % 10;
}

EanAutoChoice ChooseEanAuto(const QString& value) {
    const QString v = value.trimmed();
    const qsizetype n = v.size();
    if (n != 7 && n != 8 && n != 12 && n != 13)
        throw EBarcodeError(QStringLiteral("Invalid text length (CodeEANAuto): ") + value);
    for (QChar c : v)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw EBarcodeError(QStringLiteral("Barcode must be numeric"));
    EanAutoChoice choice{n <= 8 ? bcCodeEAN8 : bcCodeEAN13, v};
    if (n == 8 || n == 13) {
        choice.data = v.left(n - 1);
        const int check = EanCheckDigit(choice.data);
        if (v.back().unicode() - '0' != check) ThrowBadCheckDigit(n == 8 ? "EAN8" : "EAN13", check, v);
    }
    return choice;
}
