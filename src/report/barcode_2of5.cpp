// The 2 of 5 family: every digit is five elements, two of them wide.
#include "barcode_symbologies.h"

namespace barcode {
namespace {
// Wide (1) or narrow (0) for the five elements of each digit.
const char* const kTwoOfFive[10] = {"00110", "10001", "01001", "11000", "00101",
                                    "10100", "01100", "00011", "10010", "01010"};

int digitAt(const QString& s, qsizetype i) {
    return s[i].unicode() - '0';
}
} // namespace

std::string EncodeInterleaved25(const QString& digits) {
    std::string out = "5050"; // narrow bar, narrow space, twice
    out.reserve(size_t(digits.size()) * 5 + 7);
    // The first digit of a pair is in the bars, the second in the spaces.
    for (qsizetype i = 0; i + 1 < digits.size(); i += 2) {
        const char* bars = kTwoOfFive[digitAt(digits, i)];
        const char* spaces = kTwoOfFive[digitAt(digits, i + 1)];
        for (int k = 0; k < 5; ++k) {
            out += bars[k] == '1' ? '6' : '5';
            out += spaces[k] == '1' ? '1' : '0';
        }
    }
    out += "605"; // wide bar, narrow space, narrow bar
    return out;
}

std::string EncodeIndustrial25(const QString& digits) {
    // Only the bars carry information; every bar is followed by a narrow space.
    std::string out = "606050";
    out.reserve(size_t(digits.size()) * 10 + 11);
    for (qsizetype i = 0; i < digits.size(); ++i)
        for (const char* p = kTwoOfFive[digitAt(digits, i)]; *p; ++p) {
            out += *p == '1' ? '6' : '5';
            out += '0';
        }
    out += "60506";
    return out;
}

std::string EncodeMatrix25(const QString& digits) {
    // Bar, space, bar, space, bar and a narrow separating space per digit.
    std::string out = "605050";
    out.reserve(size_t(digits.size()) * 6 + 12);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const char* p = kTwoOfFive[digitAt(digits, i)];
        for (int k = 0; k < 5; ++k)
            out += char((k % 2 ? '0' : '5') + (p[k] - '0'));
        out += '0';
    }
    out += "60505";
    return out;
}

} // namespace barcode
