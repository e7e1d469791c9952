// Drawing: widths, the module width search, bar heights, text placement and the vector path.
#include "barcode_draw.h"

#include <QPainter>
#include <QPicture>
#include <gtest/gtest.h>

namespace {
TAsBarcode code(TBarcodeType type, const char* data, bool showText = false) {
    TAsBarcode b;
    b.BarCodeType = type;
    b.BarCode = data;
    b.ShowText = showText;
    return b;
}

QImage draw(TAsBarcode& b, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    b.DrawBarcode(p);
    return image;
}

bool dark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

int darkInColumn(const QImage& image, int x) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += dark(image, x, y);
    return n;
}

// The length of the bar that starts at the top of the column.
int barFromTop(const QImage& image, int x) {
    int n = 0;
    while (n < image.height() && dark(image, x, n))
        ++n;
    return n;
}

int darkInRow(const QImage& image, int y) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += dark(image, x, y);
    return n;
}
} // namespace

TEST(BarcodeDraw, WidthAddsRoomForEanDigits) {
    struct Case {
        TBarcodeType type;
        const char* data;
        bool showText;
        double ratio;
        int width;
    };
    const Case cases[] = {
        {bcCodeEAN13, "400638133393", false, 2, 95},
        {bcCodeEAN13, "400638133393", true, 2, 95 + 14},
        {bcCodeEAN8, "1234567", true, 2, 67 + 10},
        {bcCodeUPC_A, "03600029145", true, 2, 109 + 11},
        {bcCodeUPC_E0, "425261", true, 2, 51 + 8 + 6},
        {bcCodeEAN13, "400638133393", false, 3, 95}, // module-counted: the ratio stays 2
        {bcCode39, "A", true, 2, 38},                // no extra room for other symbologies
        {bcCode39, "A", false, 3, 47},
        {bcCode39, "A", false, 9, 47}, // limited to 3
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(BarcodeTypeName(c.type).toStdString() + " ratio " + std::to_string(c.ratio));
        TAsBarcode b = code(c.type, c.data, c.showText);
        b.UseCheckSum = c.type != bcCode39;
        b.Ratio = c.ratio;
        EXPECT_EQ(b.Width(), c.width);
        b.SetModul(3);
        EXPECT_GE(b.Width(), 3 * c.width - 2 * 3); // the extras round per width
    }
}

TEST(BarcodeDraw, ModulSearchAndLimits) {
    TAsBarcode b = code(bcCode39, "ABC");
    b.UseCheckSum = false; // 5 characters of 12 modules and 4 separators: 64 modules
    b.SetWidth(485);
    EXPECT_EQ(b.Modul(), 7); // 448 < 485 <= 512
    EXPECT_LT(b.Width(), 485);
    b.SetWidth(448);
    EXPECT_EQ(b.Modul(), 6);
    b.SetWidth(10);
    EXPECT_EQ(b.Modul(), 1); // at least 1
    b.SetWidth(1000000);
    EXPECT_EQ(b.Modul(), 49); // never beyond the largest module width
    b.SetModul(0);
    b.SetModul(50);
    EXPECT_EQ(b.Modul(), 49);
    b.SetModul(2);
    EXPECT_EQ(b.Modul(), 2);
    b.BarCode = "abc";
    EXPECT_THROW(b.Width(), EBarcodeError);
}

TEST(BarcodeDraw, EanGuardBarsReachBelowTheOthers) {
    TAsBarcode b = code(bcCodeEAN13, "400638133393", true);
    b.SetModul(2);
    b.Height = 100;
    const QImage image = draw(b, b.Width() + 10, 110);
    int longest = 0, shortest = 1000, first = -1;
    for (int x = 0; x < image.width(); ++x) {
        const int n = barFromTop(image, x);
        if (n > 0) {
            if (first < 0) first = x;
            longest = std::max(longest, n);
            shortest = std::min(shortest, n);
        }
    }
    ASSERT_GE(first, 0);
    EXPECT_GT(first, b.Width() / 20); // the bars start right of the leading digit
    EXPECT_GT(longest, shortest + 2);
    EXPECT_EQ(barFromTop(image, first), longest); // the start guard
}

TEST(BarcodeDraw, TextAtTheTopIsNotCoveredByBars) {
    for (TShowTextPosition pos : {stpTopLeft, stpTopCenter, stpBottomRight}) {
        TAsBarcode b = code(bcCode39, "CODE", true);
        b.ShowTextPosition = pos;
        b.Height = 80;
        const QImage image = draw(b, b.Width(), 80);
        const bool top = pos <= stpTopCenter;
        // The outermost row on the text's side crosses no bar; the other side's does.
        EXPECT_LT(darkInRow(image, top ? 0 : 79), image.width() / 10) << pos;
        EXPECT_GT(darkInRow(image, top ? 79 : 0), image.width() / 3) << pos;
        // Some text is drawn.
        const int textRows = QFontMetrics(b.ShowTextFont, &image).height();
        int ink = 0;
        for (int y = 0; y < textRows; ++y)
            ink += darkInRow(image, top ? y : 79 - y);
        EXPECT_GT(ink, 0) << pos;
    }
}

TEST(BarcodeDraw, PostNetShortBarsStartHalfway) {
    TAsBarcode b = code(bcCodePostNet, "1"); // frame bar, then three short bars
    b.UseCheckSum = false;
    b.Height = 60;
    const QImage image = draw(b, b.Width(), 60);
    EXPECT_EQ(darkInColumn(image, 0), 60);
    const int shortBar = b.Modul() + 2; // after the frame bar's space (ratio 2)
    EXPECT_EQ(darkInColumn(image, shortBar), 30);
    EXPECT_FALSE(dark(image, shortBar, 29));
}

TEST(BarcodeDraw, VectorRecordMatchesTheImage) {
    TAsBarcode b = code(bcCode128B, "Vector 128");
    b.SetModul(2);
    b.Left = 7;
    b.Top = 3;
    b.Height = 50;
    const QImage direct = draw(b, b.Width() + 14, 56);

    QPicture picture;
    {
        QPainter p(&picture);
        b.DrawBarcode(p);
    }
    EXPECT_EQ(picture.boundingRect(), QRect(7, 3, b.Width(), 50));
    QImage replayed(direct.size(), QImage::Format_RGB32);
    replayed.fill(Qt::white);
    {
        QPainter p(&replayed);
        p.drawPicture(0, 0, picture);
    }
    EXPECT_EQ(replayed, direct);
}

TEST(BarcodeDraw, AutoFontSizeFitsTheBars) {
    TAsBarcode b = code(bcCode39, "AUTO SIZE", true);
    b.SetModul(3);
    b.Height = 200;
    b.AutoFontSize = true;
    const QImage image = draw(b, b.Width(), 200);
    const int size = b.ShowTextFont.pointSize();
    EXPECT_GT(size, 8);
    const QFontMetrics fm(b.ShowTextFont, &image);
    EXPECT_LE(fm.horizontalAdvance("AUTO SIZE"), b.Width());
    QFont bigger = b.ShowTextFont;
    bigger.setPointSize(size * 2);
    EXPECT_GT(QFontMetrics(bigger, &image).horizontalAdvance("AUTO SIZE"), b.Width() * 1.2);

    // A low barcode halves the fitted size.
    TAsBarcode low = b;
    low.Height = 30;
    draw(low, low.Width(), 30);
    EXPECT_LE(low.ShowTextFont.pointSize(), size / 2 + 1);
}

TEST(BarcodeDraw, FailsBeforeDrawingAndRestoresThePainter) {
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const QFont font("Serif", 17);
    p.setFont(font);
    p.setPen(Qt::red);
    TAsBarcode bad = code(bcCodeEAN8, "12x");
    EXPECT_THROW(bad.DrawBarcode(p), EBarcodeError);
    TAsBarcode good = code(bcCodeEAN8, "1234567", true);
    good.Height = 40;
    good.DrawBarcode(p);
    EXPECT_EQ(p.font(), font);
    EXPECT_EQ(p.pen().color(), QColor(Qt::red));
    p.end();
    TAsBarcode colours = code(bcCode39, "A");
    colours.Color = Qt::yellow;
    colours.ColorBar = Qt::blue;
    colours.Height = 10;
    const QImage coloured = draw(colours, colours.Width(), 10);
    EXPECT_EQ(QColor(coloured.pixel(0, 5)), QColor(Qt::blue));   // first bar
    EXPECT_EQ(QColor(coloured.pixel(1, 5)), QColor(Qt::yellow)); // then a wide space (ratio 2)
}
