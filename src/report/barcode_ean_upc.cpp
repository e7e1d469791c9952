// EAN-8, EAN-13, UPC-A, UPC-E and the 2- and 5-digit add-ons.
#include "barcode_symbologies.h"

namespace barcode {
namespace {
// Module widths of the left-hand odd (L) digits, space first; the right-hand (R) digits are the same
// widths bar first, the even (G) digits the same widths reversed, space first.
const char* const kL[10] = {"3211", "2221", "2122", "1411", "1132", "1231", "1114", "1312", "1213", "3112"};
const char* const kG[10] = {"1123", "1222", "2212", "1141", "2311", "1321", "4111", "2131", "3121", "2113"};
// Parity of EAN-13's left half by its first digit (G = even).
const char* const kEan13Parity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                      "LGGLLG", "LGGGLG", "LGLGLG", "LGLGGL", "LGGLGL"};
// Parity of UPC-E's six digits by the check digit, number system 0 (number system 1 swaps L and G).
const char* const kUpcEParity[10] = {"GGGLLL", "GGLGLL", "GGLLGL", "GGLLLG", "GLGGLL",
                                     "GLLGGL", "GLLLGG", "GLGLGL", "GLGLLG", "GLLGLG"};
const char* const kSupp5Parity[10] = {"GGLLL", "GLGLL", "GLLGL", "GLLLG", "LGGLL",
                                      "LLGGL", "LLLGG", "LGLGL", "LGLLG", "LLGLG"};

int digitAt(const QString& s, qsizetype i) {
    return s[i].unicode() - '0';
}

void appendLeft(std::string& out, int digit, bool even) {
    AppendModules(out, even ? kG[digit] : kL[digit], false);
}

// Pads with leading zeros to the required count (with the check digit: one less) and adds the check
// digit when asked; a check digit that is given must be right (readers refuse the symbol otherwise).
QString checkedDigits(const char* name, const QString& digits, int count, bool useCheckSum,
                      bool hasCheckDigit = true) {
    const int want = useCheckSum ? count - 1 : count;
    QString padded = digits;
    if (padded.size() < want) padded.prepend(QString(want - padded.size(), QLatin1Char('0')));
    if (padded.size() != want) ThrowBadLength(name, want, padded);
    if (useCheckSum) {
        padded += QChar('0' + EanCheckDigit(padded));
    } else if (hasCheckDigit) {
        const int check = EanCheckDigit(padded.left(count - 1));
        if (digitAt(padded, count - 1) != check) ThrowBadCheckDigit(name, check, padded);
    }
    return padded;
}

// UPC-E's six digits expanded to UPC-A's eleven (without the check digit).
QString upcEToUpcA(QChar numberSystem, const QString& d) {
    const int last = digitAt(d, 5);
    QString a(numberSystem);
    if (last <= 2)
        a += d.left(2) + d[5] + QLatin1String("0000") + d.mid(2, 3);
    else if (last == 3)
        a += d.left(3) + QLatin1String("00000") + d.mid(3, 2);
    else if (last == 4)
        a += d.left(4) + QLatin1String("00000") + d[4];
    else
        a += d.left(5) + QLatin1String("0000") + d[5];
    return a;
}

std::string encodeAddOn(const QString& d) {
    std::string out = "506";
    if (d.size() == 2) {
        const int parity = (digitAt(d, 0) * 10 + digitAt(d, 1)) % 4;
        appendLeft(out, digitAt(d, 0), parity >= 2);
        out += "05";
        appendLeft(out, digitAt(d, 1), parity % 2);
        return out;
    }
    const int check =
        (3 * (digitAt(d, 0) + digitAt(d, 2) + digitAt(d, 4)) + 9 * (digitAt(d, 1) + digitAt(d, 3))) % 10;
    for (int i = 0; i < 5; ++i) {
        if (i) out += "05";
        appendLeft(out, digitAt(d, i), kSupp5Parity[check][i] == 'G');
    }
    return out;
}
} // namespace

std::string EncodeEanUpc(TBarcodeType type, const QString& digits, bool useCheckSum, QString& text) {
    std::string out;
    out.reserve(64);
    switch (type) {
    case bcCodeEAN8: {
        text = checkedDigits("EAN8", digits, 8, useCheckSum);
        out += "505";
        for (int i = 0; i < 4; ++i)
            appendLeft(out, digitAt(text, i), false);
        out += "05050";
        for (int i = 4; i < 8; ++i)
            AppendModules(out, kL[digitAt(text, i)]);
        out += "505";
        break;
    }
    case bcCodeEAN13:
    case bcCodeUPC_A: {
        const bool upc = type == bcCodeUPC_A;
        text = checkedDigits(upc ? "UPC_A" : "EAN13", digits, upc ? 12 : 13, useCheckSum);
        // UPC-A is EAN-13 with a leading 0.
        const QString d = upc ? QLatin1Char('0') + text : text;
        const char* parity = kEan13Parity[digitAt(d, 0)];
        out += "505";
        for (int i = 1; i < 7; ++i)
            appendLeft(out, digitAt(d, i), parity[i - 1] == 'G');
        out += "05050";
        for (int i = 7; i < 13; ++i)
            AppendModules(out, kL[digitAt(d, i)]);
        out += "505";
        break;
    }
    case bcCodeUPC_E0:
    case bcCodeUPC_E1: {
        const bool e1 = type == bcCodeUPC_E1;
        const char* name = e1 ? "UPC_E1" : "UPC_E0";
        const QChar ns = e1 ? QLatin1Char('1') : QLatin1Char('0');
        // Six digits, and the check digit of the expanded UPC-A code when it is not given.
        QString d = digits;
        const int want = useCheckSum ? 6 : 7;
        if (d.size() < want) d.prepend(QString(want - d.size(), QLatin1Char('0')));
        if (d.size() != want) ThrowBadLength(name, want, d);
        const int expected = EanCheckDigit(upcEToUpcA(ns, d.left(6)));
        if (useCheckSum)
            d += QChar('0' + expected);
        else if (digitAt(d, 6) != expected)
            ThrowBadCheckDigit(name, expected, d);
        const int check = digitAt(d, 6);
        text = ns + d;
        out += "505";
        for (int i = 0; i < 6; ++i)
            appendLeft(out, digitAt(d, i), (kUpcEParity[check][i] == 'G') != e1);
        out += "050505";
        break;
    }
    case bcCodeUPC_Supp2:
    case bcCodeUPC_Supp5: {
        const bool five = type == bcCodeUPC_Supp5;
        text = checkedDigits(five ? "UPC_Supp5" : "UPC_Supp2", digits, five ? 5 : 2, false, false);
        out = encodeAddOn(text);
        break;
    }
    default:
        throw EBarcodeError(QStringLiteral("TAsBarcode: wrong BarcodeType"));
    }
    return out;
}

} // namespace barcode
