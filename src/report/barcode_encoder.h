#pragma once
// Turns barcode data into element codes, one character per bar or space:
//   '0'..'3' spaces and '5'..'8' bars of width class 0..3,
//   'A'..'D' bars of width class 0..3 that start at half the bar height (POSTNET's short bars).
// Pure functions: no drawing, no state.
#include "barcode_types.h"
#include "exceptions.h"

#include <string>

// Raised for data a symbology cannot encode; the message names what is wrong.
class EBarcodeError : public Exception {
public:
    using Exception::Exception;
};

struct BarcodeEncoding {
    QString text;         // the text drawn with the bars (EAN/UPC: every digit, check digit included)
    std::string elements; // the element codes
};

BarcodeEncoding EncodeBarcode(TBarcodeType type, const QString& data, bool useCheckSum);

// The report's automatic EAN choice: 7 or 8 digits give EAN-8, 12 or 13 digits EAN-13. A value that
// carries its check digit keeps it when it is right (data then holds the digits without it, to be
// encoded with the check sum on); a wrong check digit is an error.
struct EanAutoChoice {
    TBarcodeType type;
    QString data;
};
EanAutoChoice ChooseEanAuto(const QString& value);

// The modulo-10 check digit of EAN/UPC (weights 3 and 1 from the right) over ASCII digits.
int EanCheckDigit(const QString& digits);
