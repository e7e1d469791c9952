// Codabar, MSI and POSTNET.
#include "barcode_symbologies.h"

namespace barcode {

std::string EncodeMsi(const QString& digits, bool useCheckSum) {
    // A 1 bit is a wide bar and a narrow space, a 0 bit a narrow bar and a wide space.
    auto appendDigit = [](std::string& out, int d) {
        for (int b = 3; b >= 0; --b)
            out += (d >> b) & 1 ? "60" : "51";
    };
    std::string out = "60";
    out.reserve(size_t(digits.size()) * 8 + 13);
    for (QChar c : digits)
        appendDigit(out, c.unicode() - '0');
    if (useCheckSum) {
        // The published modulo 10 rule: from the right, every other digit (the rightmost first) doubled
        // and its digits summed, plus the remaining digits.
        int sum = 0;
        bool doubled = true;
        for (qsizetype i = digits.size() - 1; i >= 0; --i, doubled = !doubled) {
            const int d = digits[i].unicode() - '0';
            sum += doubled ? (2 * d) / 10 + (2 * d) % 10 : d;
        }
        appendDigit(out, (10 - sum % 10) % 10);
    }
    out += "515";
    return out;
}

std::string EncodePostNet(const QString& digits, bool useCheckSum) {
    // Five bars a digit, two of them full (1) and three short; full frame bars at both ends.
    static const char* const kDigits[10] = {"11000", "00011", "00101", "00110", "01001",
                                            "01010", "01100", "10001", "10010", "10100"};
    auto appendDigit = [](std::string& out, int d) {
        for (const char* p = kDigits[d]; *p; ++p) {
            out += *p == '1' ? '5' : 'A';
            out += '1';
        }
    };
    std::string out = "51";
    out.reserve(size_t(digits.size()) * 10 + 13);
    int sum = 0;
    for (QChar c : digits) {
        sum += c.unicode() - '0';
        appendDigit(out, c.unicode() - '0');
    }
    if (useCheckSum) appendDigit(out, (10 - sum % 10) % 10);
    out += '5';
    return out;
}

std::string EncodeCodabar(const QString& data) {
    static const char kChars[] = "0123456789-$:/.+ABCD";
    // Seven elements, bar first; bit 6 is the first element, 1 = wide.
    static const unsigned char kPatterns[20] = {0x03, 0x06, 0x09, 0x60, 0x12, 0x42, 0x21, 0x24, 0x30, 0x48,
                                                0x0C, 0x18, 0x45, 0x51, 0x54, 0x15, 0x1A, 0x29, 0x0B, 0x0E};
    const qsizetype n = data.size();
    auto isStartStop = [](char16_t c) { return (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'); };
    // The start and stop characters are part of the data; without them no reader finds the code.
    if (n < 2 || !isStartStop(data[0].unicode()) || !isStartStop(data[n - 1].unicode()))
        throw EBarcodeError(
            QStringLiteral("Codabar data must start and end with one of A, B, C, D (current \"%1\").")
                .arg(data));
    std::string out;
    out.reserve(size_t(n) * 8);
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = data[i].unicode();
        if (c >= 'a' && c <= 'd') c = char16_t(c - 'a' + 'A');
        int v = -1;
        for (int k = 0; k < 20; ++k)
            if (kChars[k] == c) v = k;
        if (v < 0 || (v >= 16 && i > 0 && i < n - 1)) ThrowBadChar(bcCodeCodabar, data, i);
        if (i > 0) out += '0';
        for (int b = 6; b >= 0; --b)
            out += char(((6 - b) % 2 ? '0' : '5') + ((kPatterns[v] >> b) & 1));
    }
    return out;
}

} // namespace barcode
