#include "barcode_draw.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

namespace {
// Element code → width class 0..3, or -1.
int elementClass(char e) {
    if (e >= '0' && e <= '3') return e - '0';
    if (e >= '5' && e <= '8') return e - '5';
    if (e >= 'A' && e <= 'D') return e - 'A';
    return -1;
}
bool isBar(char e) {
    return e >= '5';
}
bool isHalfBar(char e) {
    return e >= 'A';
}

// The guard elements (1-based, inclusive) that reach further down under the digits.
bool isGuard(TBarcodeType type, int n) {
    auto in = [n](int a, int b) { return n >= a && n <= b; };
    switch (type) {
    case bcCodeEAN8:
        return in(1, 3) || in(20, 24) || in(41, 43);
    case bcCodeEAN13:
        return in(1, 3) || in(28, 32) || in(57, 59);
    case bcCodeUPC_A:
        return in(1, 7) || in(28, 32) || in(53, 59);
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
        return in(1, 3) || in(28, 33);
    default:
        return false;
    }
}

// EAN/UPC digit groups: first digit (1-based), count, and the element count before the group
// (-1: left of the bars, at Left).
struct DigitGroup {
    int first, count, afterElements;
};

std::vector<DigitGroup> digitGroups(TBarcodeType type) {
    switch (type) {
    case bcCodeEAN8:
        return {{1, 4, 3}, {5, 4, 23}};
    case bcCodeEAN13:
        return {{1, 1, -1}, {2, 6, 3}, {8, 6, 31}};
    case bcCodeUPC_A:
        return {{1, 1, -1}, {2, 5, 7}, {7, 5, 32}, {12, 1, 59}};
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
        return {{1, 1, -1}, {2, 6, 4}, {8, 1, 34}};
    default:
        return {};
    }
}
} // namespace

TAsBarcode::TAsBarcode() : ShowTextFont(QStringLiteral("Arial"), 8) {}

void TAsBarcode::SetModul(int modul) {
    if (modul >= 1 && modul <= 49) modul_ = modul;
}

std::array<int, 4> TAsBarcode::classWidths(int modul) const {
    const double ratio = BarcodeEffectiveRatio(BarCodeType, Ratio);
    const double wide = std::isfinite(ratio) ? std::round(modul * ratio) : modul;
    // Every element is at least one pixel wide, whatever ratio MSI or POSTNET are given.
    const int w1 = std::max(1, int(std::min(wide, 1e6)));
    return {modul, w1, std::max(1, w1 * 3 / 2), w1 * 2};
}

std::array<int, 4> TAsBarcode::classCounts(const std::string& elements) {
    std::array<int, 4> counts{};
    for (char e : elements) {
        const int c = elementClass(e);
        if (c < 0) throw EBarcodeError(QStringLiteral("TAsBarcode: internal Error"));
        ++counts[size_t(c)];
    }
    return counts;
}

int TAsBarcode::totalWidth(const std::array<int, 4>& counts, int modul) const {
    const std::array<int, 4> w = classWidths(modul);
    int64_t total = 0;
    for (size_t c = 0; c < 4; ++c)
        total += int64_t(counts[c]) * w[c];
    if (ShowText && BarcodeIsEanUpc(BarCodeType)) {
        // Room for the digits left (and for UPC also right) of the bars.
        total += std::llround(total * 0.15);
        if (BarCodeType != bcCodeEAN8 && BarCodeType != bcCodeEAN13) total += std::llround(total * 0.10);
    }
    return int(std::min<int64_t>(total, INT32_MAX));
}

int TAsBarcode::Width() const {
    return totalWidth(classCounts(Encoding().elements), modul_);
}

void TAsBarcode::SetWidth(int width) {
    const std::array<int, 4> counts = classCounts(Encoding().elements);
    int best = 1;
    for (int m = 2; m <= 49 && totalWidth(counts, m) < width; ++m)
        best = m;
    modul_ = best;
}

void TAsBarcode::DrawBarcode(QPainter& canvas) {
    const BarcodeEncoding enc = Encoding();
    const std::array<int, 4> counts = classCounts(enc.elements);
    const std::array<int, 4> widths = classWidths(modul_);
    const int total = totalWidth(counts, modul_);
    const bool ean = BarcodeIsEanUpc(BarCodeType);

    canvas.save();
    if (ShowText && AutoFontSize) {
        QFont f = ShowTextFont;
        int size = 2;
        for (; size < 1000; ++size) {
            f.setPointSize(size);
            if (QFontMetrics(f, canvas.device()).horizontalAdvance(enc.text) >= total) break;
        }
        size = int(size * (BarCodeType == bcCodeEAN8 || BarCodeType == bcCodeUPC_A ? 0.65 : 0.75));
        f.setPointSize(std::max(1, size));
        if (Height < 2 * QFontMetrics(f, canvas.device()).height()) f.setPointSize(std::max(1, size / 2));
        ShowTextFont = f;
    }
    const QFontMetrics fm(ShowTextFont, canvas.device());
    const int textHeight = ShowText ? fm.height() : 0;
    const int barHeight = Height - textHeight;
    const bool textOnTop = !ean && ShowTextPosition <= stpTopCenter;
    // Text at the top moves the bars below it instead of being painted over.
    const int barTop = ShowText && textOnTop ? Top + textHeight : Top;
    const int x0 = Left + (ean && ShowText ? int(std::lround(total * 0.10)) : 0);

    // x of the element with the given 0-based index.
    std::vector<int> offsets(enc.elements.size() + 1);
    for (size_t i = 0; i < enc.elements.size(); ++i)
        offsets[i + 1] = offsets[i] + widths[size_t(elementClass(enc.elements[i]))];
    const int barsWidth = offsets.back();

    if (ShowText) {
        canvas.setFont(ShowTextFont);
        canvas.setPen(ShowTextColor);
        auto write = [&](int x, int y, const QString& s) {
            canvas.fillRect(QRect(x, y, fm.horizontalAdvance(s), textHeight), Qt::white);
            canvas.drawText(x, y + fm.ascent(), s);
        };
        const int bottom = Top + Height - textHeight;
        if (ean) {
            for (const DigitGroup& g : digitGroups(BarCodeType)) {
                const int x =
                    g.afterElements < 0
                        ? Left
                        : x0 + offsets[std::min<size_t>(size_t(g.afterElements), enc.elements.size())];
                write(x, bottom, enc.text.mid(g.first - 1, g.count));
            }
        } else {
            const int tw = fm.horizontalAdvance(enc.text);
            const int column = ShowTextPosition % 3; // left, right, centre
            const int x = column == 0   ? Left
                          : column == 1 ? Left + barsWidth - tw
                                        : Left + (barsWidth - tw) / 2;
            write(x, textOnTop ? Top : bottom, enc.text);
        }
    }

    const int guardExtra = ean ? textHeight / 2 : 0;
    for (size_t i = 0; i < enc.elements.size(); ++i) {
        const char e = enc.elements[i];
        const int x = x0 + offsets[i], w = offsets[i + 1] - offsets[i];
        if (!isBar(e)) {
            canvas.fillRect(QRect(x, barTop, w, barHeight), Color);
            continue;
        }
        const int top = isHalfBar(e) ? barTop + barHeight / 2 : barTop;
        const int bottom = barTop + barHeight + (isGuard(BarCodeType, int(i) + 1) ? guardExtra : 0);
        canvas.fillRect(QRect(x, top, w, bottom - top), ColorBar);
    }
    canvas.restore();
}

QImage BarcodeImage(const TAsBarcode& barcode, int margin) {
    TAsBarcode b = barcode;
    b.Left = margin;
    b.Top = margin;
    QImage image(b.Width() + 2 * margin, b.Height + 2 * margin, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    b.DrawBarcode(painter);
    return image;
}
