#pragma once
// Draws a one-dimensional barcode onto any QPainter: an image, a printer, a PDF or a picture record
// (the last three keep the bars as vector rectangles).
#include "barcode_encoder.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <array>

class QPainter;

enum TShowTextPosition {
    stpTopLeft,
    stpTopRight,
    stpTopCenter,
    stpBottomLeft,
    stpBottomRight,
    stpBottomCenter
};

class TAsBarcode {
public:
    TAsBarcode();

    QString BarCode;
    TBarcodeType BarCodeType = bcCodeEAN13;
    bool UseCheckSum = true;
    int Top = 0, Left = 0, Height = 100; // pixels
    double Ratio = 2.0;                  // wide to narrow
    bool ShowText = true;
    QFont ShowTextFont; // Arial, 8 points
    QColor ShowTextColor = Qt::black;
    TShowTextPosition ShowTextPosition = stpTopLeft;
    bool AutoFontSize = false;   // fit the text to the barcode's width when drawing
    QColor Color = Qt::white;    // spaces
    QColor ColorBar = Qt::black; // bars

    // The narrowest element in pixels; values outside 1 to 49 are ignored.
    int Modul() const { return modul_; }
    void SetModul(int modul);
    // The total drawn width in pixels. Throws EBarcodeError for data the symbology cannot encode.
    int Width() const;
    // Chooses the largest module width whose barcode is narrower than width (at least 1).
    void SetWidth(int width);

    // A copy that draws the same barcode.
    void Assign(const TAsBarcode& source) { *this = source; }
    // The text and element codes of the current data.
    BarcodeEncoding Encoding() const { return EncodeBarcode(BarCodeType, BarCode, UseCheckSum); }
    // Draws at Left, Top within Height; the painter's state is restored afterwards. Throws before
    // drawing anything when the data cannot be encoded.
    void DrawBarcode(QPainter& canvas);

private:
    // Pixel widths of the element classes 0 to 3 for a module width.
    std::array<int, 4> classWidths(int modul) const;
    // How many elements each class has; throws "TAsBarcode: internal Error" for an unknown code.
    static std::array<int, 4> classCounts(const std::string& elements);
    int totalWidth(const std::array<int, 4>& counts, int modul) const;

    int modul_ = 1;
};

// The barcode on a white image with margin pixels around it (room for the readers' quiet zones).
QImage BarcodeImage(const TAsBarcode& barcode, int margin);
