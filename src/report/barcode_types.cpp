#include "barcode_types.h"

#include <algorithm>
#include <iterator>

namespace {
const char* const kNames[] = {"Code_2_5_interleaved",
                              "Code_2_5_industrial",
                              "Code_2_5_matrix",
                              "Code39",
                              "Code39Extended",
                              "Code128A",
                              "Code128B",
                              "Code128C",
                              "Code93",
                              "Code93Extended",
                              "CodeMSI",
                              "CodePostNet",
                              "CodeCodabar",
                              "CodeEAN8",
                              "CodeEAN13",
                              "CodeUPC_A",
                              "CodeUPC_E0",
                              "CodeUPC_E1",
                              "CodeUPC_Supp2",
                              "CodeUPC_Supp5",
                              "CodeEAN128A",
                              "CodeEAN128B",
                              "CodeEAN128C",
                              "Undefined"};
static_assert(std::size(kNames) == bcTypeUndefined + 1);
} // namespace

QString BarcodeTypeName(TBarcodeType type) {
    return type >= 0 && type <= bcTypeUndefined ? QLatin1String(kNames[type]) : QString();
}

bool BarcodeTypeFromName(const QString& name, TBarcodeType& type) {
    for (int i = 0; i <= bcTypeUndefined; ++i)
        if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) {
            type = TBarcodeType(i);
            return true;
        }
    return false;
}

bool BarcodeDigitsOnly(TBarcodeType type) {
    switch (type) {
    case bcCode_2_5_interleaved:
    case bcCode_2_5_industrial:
    case bcCode_2_5_matrix:
    case bcCode128C:
    case bcCodeMSI:
    case bcCodePostNet:
    case bcCodeEAN8:
    case bcCodeEAN13:
    case bcCodeUPC_A:
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
    case bcCodeUPC_Supp2:
    case bcCodeUPC_Supp5:
    case bcCodeEAN128C:
        return true;
    default:
        return false;
    }
}

bool BarcodeIsEanUpc(TBarcodeType type) {
    return type == bcCodeEAN8 || type == bcCodeEAN13 || type == bcCodeUPC_A || type == bcCodeUPC_E0 ||
           type == bcCodeUPC_E1;
}

double BarcodeEffectiveRatio(TBarcodeType type, double ratio) {
    switch (type) {
    case bcCode128A:
    case bcCode128B:
    case bcCode128C:
    case bcCodeEAN128A:
    case bcCodeEAN128B:
    case bcCodeEAN128C:
    case bcCode93:
    case bcCode93Extended:
    case bcCodeEAN8:
    case bcCodeEAN13:
    case bcCodeUPC_A:
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
    case bcCodeUPC_Supp2:
    case bcCodeUPC_Supp5:
        return 2.0;
    case bcCodeMSI:
    case bcCodePostNet:
        return ratio;
    case bcCode_2_5_matrix:
        return std::clamp(ratio, 2.25, 3.0);
    default:
        return std::clamp(ratio, 2.0, 3.0);
    }
}
