// Code 39 and Code 93, with their full-ASCII forms.
#include "barcode_symbologies.h"

#include <string>
#include <vector>

namespace barcode {
namespace {

const char kCode39Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
// Nine elements (bar first), 1 = wide; the last entry is the start/stop character "*".
const char* const kCode39[44] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000", "000100101",
    "100100100", "001100100", "100001001", "001001001", "101001000", "000011001", "100011000", "001011000",
    "000001101", "100001100", "001001100", "000011100", "100000011", "001000011", "101000010", "000010011",
    "100010010", "001010010", "000000111", "100000110", "001000110", "000010110", "110000001", "011000001",
    "111000000", "010010001", "110010000", "011010000", "010000101", "110000100", "011000100", "010101000",
    "010100010", "010001010", "000101010", "010010100"};
const int kCode39Star = 43;

// "0".."%" then the four shift characters ($) (%) (/) (+) written here as a, b, c, d.
const char kCode93Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%abcd";
// Nine modules each, 1 = bar; the last entry is the start/stop character.
const unsigned short kCode93[48] = {0x114, 0x148, 0x144, 0x142, 0x128, 0x124, 0x122, 0x150, 0x112, 0x10A,
                                    0x1A8, 0x1A4, 0x1A2, 0x194, 0x192, 0x18A, 0x168, 0x164, 0x162, 0x134,
                                    0x11A, 0x158, 0x14C, 0x146, 0x12C, 0x116, 0x1B4, 0x1B2, 0x1AC, 0x1A6,
                                    0x196, 0x19A, 0x16C, 0x166, 0x136, 0x13A, 0x12E, 0x1D4, 0x1D2, 0x1CA,
                                    0x16E, 0x176, 0x1AE, 0x126, 0x1DA, 0x1D6, 0x132, 0x15E};
const int kCode93Star = 47;

int indexIn(const char* alphabet, int length, char16_t c) {
    for (int i = 0; i < length; ++i)
        if (alphabet[i] == c) return i;
    return -1;
}

// The full-ASCII pair (or single character) of Code 39 for an ASCII code; shift characters are
// "$", "%", "/", "+".
void fullAsciiPair(int c, char out[3]) {
    out[1] = out[2] = 0;
    if (c == 0)
        out[0] = '%', out[1] = 'U';
    else if (c <= 26)
        out[0] = '$', out[1] = char('A' + c - 1);
    else if (c <= 31)
        out[0] = '%', out[1] = char('A' + c - 27);
    else if (c == ' ' || c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
        out[0] = char(c);
    else if (c <= ',')
        out[0] = '/', out[1] = char('A' + c - '!');
    else if (c == '/')
        out[0] = '/', out[1] = 'O';
    else if (c == ':')
        out[0] = '/', out[1] = 'Z';
    else if (c <= '?')
        out[0] = '%', out[1] = char('F' + c - ';');
    else if (c == '@')
        out[0] = '%', out[1] = 'V';
    else if (c <= '_')
        out[0] = '%', out[1] = char('K' + c - '[');
    else if (c == '`')
        out[0] = '%', out[1] = 'W';
    else if (c <= 'z')
        out[0] = '+', out[1] = char('A' + c - 'a');
    else
        out[0] = '%', out[1] = char('P' + c - '{');
}

// The data as symbol values; full-ASCII types expand each character to its pair first.
std::vector<int> symbolValues(TBarcodeType type, const QString& data, const char* alphabet, int basicCount,
                              bool extended, bool code93) {
    std::vector<int> values;
    values.reserve(size_t(data.size()) * (extended ? 2 : 1) + 2);
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char16_t c = data[i].unicode();
        if (!extended) {
            const int v = indexIn(alphabet, basicCount, c);
            if (v < 0) ThrowBadChar(type, data, i);
            values.push_back(v);
            continue;
        }
        if (c > 127) ThrowBadChar(type, data, i);
        char pair[3];
        fullAsciiPair(c, pair);
        for (const char* p = pair; *p; ++p) {
            char s = *p;
            if (code93 && p == pair && pair[1]) s = "abcd"[indexIn("$%/+", 4, char16_t(s))];
            values.push_back(indexIn(alphabet, int(std::char_traits<char>::length(alphabet)), char16_t(s)));
        }
    }
    return values;
}

void appendCode39(std::string& out, int value) {
    const char* p = kCode39[value];
    for (int k = 0; k < 9; ++k)
        out += char((k % 2 ? '0' : '5') + (p[k] - '0'));
}

void appendCode93(std::string& out, int value) {
    // Runs of equal modules, bar first.
    const unsigned bits = kCode93[value];
    int run = 0;
    bool bar = true;
    for (int b = 8; b >= 0; --b) {
        const bool isBar = (bits >> b) & 1;
        if (isBar != bar) {
            out += char((bar ? '5' : '0') + run - 1);
            bar = isBar;
            run = 0;
        }
        ++run;
    }
    out += char((bar ? '5' : '0') + run - 1);
}

} // namespace

std::string EncodeCode39(TBarcodeType type, const QString& data, bool useCheckSum) {
    std::vector<int> values = symbolValues(type, data, kCode39Chars, 43, type == bcCode39Extended, false);
    if (useCheckSum) {
        int sum = 0;
        for (int v : values)
            sum += v;
        values.push_back(sum % 43);
    }
    std::string out;
    out.reserve((values.size() + 2) * 10);
    appendCode39(out, kCode39Star);
    for (int v : values) {
        out += '0'; // a narrow space between characters
        appendCode39(out, v);
    }
    out += '0';
    appendCode39(out, kCode39Star);
    return out;
}

std::string EncodeCode93(TBarcodeType type, const QString& data) {
    std::vector<int> values = symbolValues(type, data, kCode93Chars, 43, type == bcCode93Extended, true);
    // The two check characters C (weights 1..20) and K (weights 1..15), counted from the right.
    for (int maxWeight : {20, 15}) {
        int sum = 0, weight = 1;
        for (auto it = values.rbegin(); it != values.rend(); ++it) {
            sum += *it * weight;
            weight = weight == maxWeight ? 1 : weight + 1;
        }
        values.push_back(sum % 47);
    }
    std::string out;
    out.reserve((values.size() + 2) * 6 + 1);
    appendCode93(out, kCode93Star);
    for (int v : values)
        appendCode93(out, v);
    appendCode93(out, kCode93Star);
    out += '5'; // the terminating bar
    return out;
}

} // namespace barcode
