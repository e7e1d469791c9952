// Code 128 in one code set (A, B or C) and EAN-128 (GS1-128), which starts with FNC1.
#include "barcode_symbologies.h"

#include <vector>

namespace barcode {
namespace {
// Module widths, bar first; 103 to 105 are the start characters A, B, C, 106 the stop character.
const char* const kPatterns[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};
const int kFnc1 = 102, kStartA = 103, kStop = 106;
} // namespace

std::string EncodeCode128(TBarcodeType type, const QString& data) {
    const bool ean = type == bcCodeEAN128A || type == bcCodeEAN128B || type == bcCodeEAN128C;
    const int set = (type == bcCode128A || type == bcCodeEAN128A)   ? 0
                    : (type == bcCode128B || type == bcCodeEAN128B) ? 1
                                                                    : 2;
    std::vector<int> values;
    values.reserve(size_t(data.size()) + 4);
    values.push_back(kStartA + set);
    if (ean) values.push_back(kFnc1);
    if (set == 2) {
        // Digits only was checked before; pairs must be complete.
        if (data.size() % 2)
            throw EBarcodeError(
                QStringLiteral(
                    "Invalid length for barcode \"%1\" (must be an even number of digits, current \"%2\").")
                    .arg(BarcodeTypeName(type), data));
        for (qsizetype i = 0; i < data.size(); i += 2)
            values.push_back((data[i].unicode() - '0') * 10 + data[i + 1].unicode() - '0');
    } else {
        for (qsizetype i = 0; i < data.size(); ++i) {
            const char16_t c = data[i].unicode();
            if (set == 0 && c < 96)
                values.push_back(c >= 32 ? c - 32 : c + 64);
            else if (set == 1 && c >= 32 && c < 128)
                values.push_back(c - 32);
            else
                ThrowBadChar(type, data, i);
        }
    }
    int sum = values[0];
    for (size_t i = 1; i < values.size(); ++i)
        sum += values[i] * int(i);
    values.push_back(sum % 103);
    values.push_back(kStop);

    std::string out;
    out.reserve(values.size() * 6 + 1);
    for (int v : values)
        AppendModules(out, kPatterns[v]);
    return out;
}

} // namespace barcode
