#pragma once
// The barcode symbologies and the names the report tag and the command line use for them.
#include <QString>

enum TBarcodeType {
    bcCode_2_5_interleaved,
    bcCode_2_5_industrial,
    bcCode_2_5_matrix,
    bcCode39,
    bcCode39Extended,
    bcCode128A,
    bcCode128B,
    bcCode128C,
    bcCode93,
    bcCode93Extended,
    bcCodeMSI,
    bcCodePostNet,
    bcCodeCodabar,
    bcCodeEAN8,
    bcCodeEAN13,
    bcCodeUPC_A,
    bcCodeUPC_E0,
    bcCodeUPC_E1,
    bcCodeUPC_Supp2,
    bcCodeUPC_Supp5,
    bcCodeEAN128A,
    bcCodeEAN128B,
    bcCodeEAN128C,
    bcTypeUndefined
};

// "Code_2_5_interleaved", ..., "CodeEAN128C", "Undefined".
QString BarcodeTypeName(TBarcodeType type);
// The type for a name, compared without regard to letter case; false when there is none.
bool BarcodeTypeFromName(const QString& name, TBarcodeType& type);
// Whether the data must be digits only.
bool BarcodeDigitsOnly(TBarcodeType type);
// EAN-8, EAN-13, UPC-A and UPC-E: digits written under the bars, longer guard bars.
bool BarcodeIsEanUpc(TBarcodeType type);
// The wide-to-narrow ratio the elements are drawn with: symbologies counted in modules (EAN/UPC and
// their add-ons, Code 128, Code 93, EAN-128) need exactly 2; Matrix 2 of 5 takes 2.25 to 3; MSI and
// POSTNET take the ratio as set; the others 2 to 3.
double BarcodeEffectiveRatio(TBarcodeType type, double ratio);
