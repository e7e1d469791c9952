// tabulo-cli words and barcode: output, files, exit statuses.
#include "test_util.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

TEST(ReportCli, Words) {
    struct Case {
        QStringList args;
        int status;
        QString out;
    };
    const Case cases[] = {
        {{"words", "1234.56", "--currency", "short"},
         0,
         "One Thousand Two Hundred Thirty Four Dollars Fifty Six Cents\n"},
        {{"words", "-3"}, 0, "minus Three\n"},
        {{"words", "2", "--lang", "cs", "--currency", "short"}, 0, QString::fromUtf8("dvě koruny\n")},
        {{"words", "19.5", "--currency", "EUR"}, 0, "Nineteen EUR Fifty Cents\n"},
        {{"words", "1e15"}, 1, ""},
        {{"words", "12,5"}, 2, ""},
        {{"words", "1", "--lang", "de"}, 2, ""},
        {{"words"}, 2, ""},
    };
    for (const Case& c : cases) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_TRUE(cli({"words", "1e15"}).err.endsWith("tabulo-cli: Number out of range\n"));
}

TEST(ReportCli, BarcodeWritesAPng) {
    TempDir dir;
    const QString png = dir.path("ean.png");
    CliRun r = cli({"barcode", "CodeEAN13", "400638133393", "--out", png});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "4006381333931\n");
    QImage image(png);
    ASSERT_FALSE(image.isNull());

    // --no-checksum takes a right check digit as given; --module and --width choose the module width
    // (three pixels by default).
    r = cli({"barcode", "codeean13", "4006381333931", "--no-checksum", "--module", "1", "--out", png});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    const int oneModule = QImage(png).width();
    EXPECT_LT(oneModule, image.width());
    r = cli({"barcode", "CodeEAN13", "400638133393", "--module", "3", "--out", png});
    EXPECT_EQ(QImage(png).width(), image.width());
    r = cli({"barcode", "CodeEAN13", "400638133393", "--width", "300", "--out", png});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_GT(QImage(png).width(), oneModule);
    EXPECT_LT(QImage(png).width(), image.width());
    // An odd number of digits in code set C gets a leading zero.
    r = cli({"barcode", "Code128C", "12345", "--out", png});
    EXPECT_EQ(r.out, "012345\n");
    // The report's automatic EAN choice keeps a right check digit.
    r = cli({"barcode", "CodeEANAuto", "96385074", "--out", png});
    EXPECT_EQ(r.out, "96385074\n");
}

TEST(ReportCli, BarcodeErrors) {
    TempDir dir;
    const QString png = dir.path("x.png");
    struct Case {
        QStringList args;
        int status;
        QString err;
    };
    const Case cases[] = {
        {{"barcode", "CodeEAN13", "4006381333931", "--checksum", "--out", png},
         1,
         "tabulo-cli: Invalid length for barcode \"EAN13\" (must be 12 digits, current "
         "\"4006381333931\").\n"},
        {{"barcode", "Code39", "abc", "--out", png},
         1,
         "tabulo-cli: Character \"a\" at position 1 cannot be encoded in Code39.\n"},
        {{"barcode", "CodeEANAuto", "96385075", "--out", png},
         1,
         "tabulo-cli: Invalid check digit for barcode \"EAN8\" (must be 4, current \"96385075\").\n"},
        {{"barcode", "Code39", "A", "--out", dir.path("missing/x.png")},
         1,
         "tabulo-cli: Cannot create file \"" + dir.path("missing/x.png") +
             "\": No such file or directory.\n"},
        {{"barcode", "CodeEAN13", "4006381333932", "--no-checksum", "--out", png},
         1,
         "tabulo-cli: Invalid check digit for barcode \"EAN13\" (must be 1, current \"4006381333932\").\n"},
        {{"barcode", "CodeUPC_A", "", "--out", png}, 1, "tabulo-cli: Barcode data is empty\n"},
        {{"barcode", "Code128B", "", "--out", png}, 1, "tabulo-cli: Barcode data is empty\n"},
        {{"barcode", "Code39", "A", "--out", png, "--module", "0"}, 2, ""},
        {{"barcode", "Code39", "A", "--out", png, "--module", "50"}, 2, ""},
        {{"barcode", "Code39", "A", "--out", png, "--module", "2", "--width", "300"}, 2, ""},
        {{"barcode", "Code77", "1", "--out", png}, 2, ""},
        {{"barcode", "Code39", "A"}, 2, ""},
        {{"barcode", "Code39", "A", "--out", png, "--checksum", "--no-checksum"}, 2, ""},
        {{"barcode", "Code39", "A", "--out", png, "--width", "x"}, 2, ""},
    };
    for (const Case& c : cases) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        // The message is the last line (the platform may warn before it).
        EXPECT_TRUE(r.err.endsWith(c.err)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(png)); // no file for a failed run
}
