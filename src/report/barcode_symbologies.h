#pragma once
// The encoders of each symbology family, called by EncodeBarcode (internal to the barcode files).
#include "barcode_encoder.h"

namespace barcode {

// "Character \"x\" at position n cannot be encoded in <symbology>."
[[noreturn]] void ThrowBadChar(TBarcodeType type, const QString& data, qsizetype pos);
// "Invalid length for barcode \"name\" (must be n digits, current \"data\")."
[[noreturn]] void ThrowBadLength(const char* name, int digits, const QString& data);
// "Invalid check digit for barcode \"name\" (must be c, current \"data\")."
[[noreturn]] void ThrowBadCheckDigit(const char* name, int check, const QString& data);
// Appends one element per run length: bar first, alternating; a run of k modules is class k - 1.
void AppendModules(std::string& out, const char* runs, bool barFirst = true);

std::string EncodeInterleaved25(const QString& digits);
std::string EncodeIndustrial25(const QString& digits);
std::string EncodeMatrix25(const QString& digits);

std::string EncodeCode39(TBarcodeType type, const QString& data, bool useCheckSum);
std::string EncodeCode93(TBarcodeType type, const QString& data);
std::string EncodeCode128(TBarcodeType type, const QString& data);

std::string EncodeMsi(const QString& digits, bool useCheckSum);
std::string EncodePostNet(const QString& digits, bool useCheckSum);
std::string EncodeCodabar(const QString& data);

// EAN/UPC and the add-ons; text receives every digit drawn.
std::string EncodeEanUpc(TBarcodeType type, const QString& digits, bool useCheckSum, QString& text);

} // namespace barcode
