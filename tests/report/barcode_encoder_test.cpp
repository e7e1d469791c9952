// Barcode encoders without drawing: (symbology, data, check sum) → text and element codes, or the error.
#include "barcode_encoder.h"

#include <gtest/gtest.h>

namespace {
struct EncodeCase {
    TBarcodeType type;
    const char* data; // UTF-8
    bool checkSum;
    const char* text;     // expected text, or nullptr when an error is expected
    const char* elements; // exact element codes (nullptr: not checked)
    int count;            // element count (-1: not checked)
    const char* error;    // UTF-8
};

const EncodeCase kCases[] = {
    // EAN/UPC: padding, check digits, lengths.
    {bcCodeEAN13, "400638133393", true, "4006381333931", nullptr, 59, nullptr},
    {bcCodeEAN13, "4006381333931", true, nullptr, nullptr, -1,
     "Invalid length for barcode \"EAN13\" (must be 12 digits, current \"4006381333931\")."},
    {bcCodeEAN13, "4006381333931", false, "4006381333931", nullptr, 59, nullptr},
    {bcCodeEAN13, "40063813339312", false, nullptr, nullptr, -1,
     "Invalid length for barcode \"EAN13\" (must be 13 digits, current \"40063813339312\")."},
    {bcCodeEAN8, "123", false, "00000123", nullptr, 43, nullptr},
    // A check digit that is given must be right, with or without the check sum option.
    {bcCodeEAN13, "4006381333932", false, nullptr, nullptr, -1,
     "Invalid check digit for barcode \"EAN13\" (must be 1, current \"4006381333932\")."},
    {bcCodeEAN8, "96385075", false, nullptr, nullptr, -1,
     "Invalid check digit for barcode \"EAN8\" (must be 4, current \"96385075\")."},
    {bcCodeEAN8, "124", false, nullptr, nullptr, -1,
     "Invalid check digit for barcode \"EAN8\" (must be 3, current \"00000124\")."},
    {bcCodeUPC_A, "036000291453", false, nullptr, nullptr, -1,
     "Invalid check digit for barcode \"UPC_A\" (must be 2, current \"036000291453\")."},
    {bcCodeUPC_E1, "4252610", false, nullptr, nullptr, -1,
     "Invalid check digit for barcode \"UPC_E1\" (must be 1, current \"4252610\")."},
    // No data is no barcode (padding would make up a code).
    {bcCodeEAN13, "", true, nullptr, nullptr, -1, "Barcode data is empty"},
    {bcCodeUPC_A, "  ", false, nullptr, nullptr, -1, "Barcode data is empty"},
    {bcCode128B, "", true, nullptr, nullptr, -1, "Barcode data is empty"},
    {bcCodeCodabar, "", true, nullptr, nullptr, -1, "Barcode data is empty"},
    {bcCodeEAN8, " 1234567 ", true, "12345670", nullptr, 43, nullptr},
    {bcCodeEAN8, "12a", true, nullptr, nullptr, -1, "Barcode must be numeric"},
    {bcCodeUPC_A, "03600029145", true, "036000291452", nullptr, 59, nullptr},
    {bcCodeUPC_A, "12", true, "000000000123", nullptr, 59, nullptr},
    {bcCodeUPC_E0, "425261", true, "04252614", nullptr, 33, nullptr},
    {bcCodeUPC_E0, "4252614", false, "04252614", nullptr, 33, nullptr},
    {bcCodeUPC_E1, "425261", true, "14252611", "505052615160715151635050616050505", 33, nullptr},
    {bcCodeUPC_E0, "4252614", true, nullptr, nullptr, -1,
     "Invalid length for barcode \"UPC_E0\" (must be 6 digits, current \"4252614\")."},
    {bcCodeUPC_Supp2, "12", true, "12", "5061615051516", -1, nullptr},
    {bcCodeUPC_Supp5, "52495", true, "52495", "5060715051516051705052506050625", -1, nullptr},
    {bcCodeUPC_Supp5, "123456", true, nullptr, nullptr, -1,
     "Invalid length for barcode \"UPC_Supp5\" (must be 5 digits, current \"123456\")."},
    // 2 of 5: an odd count gets a leading zero instead of losing its last digit.
    {bcCode_2_5_interleaved, "12", true, "12", "50506051505061605", -1, nullptr},
    {bcCode_2_5_interleaved, "12345", true, "012345", nullptr, 4 + 30 + 3, nullptr},
    {bcCode_2_5_interleaved, "12A", true, nullptr, nullptr, -1, "Barcode must be numeric"},
    {bcCode_2_5_industrial, "1", true, "1", "606050605050506060506", -1, nullptr},
    {bcCode_2_5_matrix, "12", true, "12", nullptr, 6 + 12 + 5, nullptr},
    // Code 39: check character only when asked; characters outside the table are errors.
    {bcCode39, "A", false, "A", "51506060506050515060515060605", -1, nullptr},
    {bcCode39, "A", true, "A", nullptr, 4 * 10 - 1, nullptr},
    {bcCode39, "Ab", true, nullptr, nullptr, -1,
     "Character \"b\" at position 2 cannot be encoded in Code39."},
    {bcCode39, "*", true, nullptr, nullptr, -1, "Character \"*\" at position 1 cannot be encoded in Code39."},
    {bcCode39Extended, "a\t", false, "a\t", nullptr, 6 * 10 - 1, nullptr},
    {bcCode39Extended, "x\xC3\xA9", false, nullptr, nullptr, -1,
     "Character \"\xC3\xA9\" at position 2 cannot be encoded in Code39Extended."},
    // Code 93: start, data, C and K, stop and the terminating bar.
    {bcCode93, "A", true, "A", "5050806050526050526150605050805", -1, nullptr},
    {bcCode93, "a", true, nullptr, nullptr, -1, "Character \"a\" at position 1 cannot be encoded in Code93."},
    {bcCode93Extended, "a", true, "a", nullptr, 6 * 6 + 1, nullptr},
    // Code 128: one code set, no silent blanks; C needs whole pairs; EAN-128 starts with FNC1.
    {bcCode128B, "A", true, "A", "6051535052625250626270506", -1, nullptr},
    {bcCode128B, "A\x01", true, nullptr, nullptr, -1,
     "Character U+0001 at position 2 cannot be encoded in Code128B."},
    {bcCode128A, "\t", true, "\t", nullptr, 6 * 3 + 7, nullptr},
    {bcCode128A, "Ab", true, nullptr, nullptr, -1,
     "Character \"b\" at position 2 cannot be encoded in Code128A."},
    {bcCode128C, "123", true, "0123", nullptr, 6 * 4 + 7, nullptr}, // an odd count gets a leading zero
    {bcCodeEAN128C, "1", true, "01", nullptr, 6 * 4 + 7, nullptr},
    {bcCode128C, "1234", true, "1234", nullptr, 6 * 4 + 7, nullptr},
    {bcCodeEAN128C, "12", true, "12", "6051718050705061717150616270506", -1, nullptr},
    {bcCodeEAN128B, "1", true, "1", nullptr, 6 * 4 + 7, nullptr},
    // MSI with the published modulo 10 check digit: 1234567 → 4.
    {bcCodeMSI, "1234567", false, "1234567", nullptr, 2 + 7 * 8 + 3, nullptr},
    {bcCodeMSI, "1234567", true, "1234567",
     "605151516051516051515160605160515151605160516060515160606051605151515", -1, nullptr},
    // POSTNET: frame bars, five bars a digit, check digit 9 for "1".
    {bcCodePostNet, "1", true, "1", "51A1A1A1515151A151A1A15", -1, nullptr},
    {bcCodePostNet, "12345", false, "12345", nullptr, 2 + 50 + 1, nullptr},
    // Codabar: start and stop characters are part of the data.
    {bcCodeCodabar, "A1B", true, "A1B", "50615150505061505151506", -1, nullptr},
    {bcCodeCodabar, "a1d", true, "a1d", nullptr, 3 * 8 - 1, nullptr},
    {bcCodeCodabar, "40156", true, nullptr, nullptr, -1,
     "Codabar data must start and end with one of A, B, C, D (current \"40156\")."},
    {bcCodeCodabar, "A4E5B", true, nullptr, nullptr, -1,
     "Character \"E\" at position 3 cannot be encoded in CodeCodabar."},
    {bcCodeCodabar, "A4B5B", true, nullptr, nullptr, -1,
     "Character \"B\" at position 3 cannot be encoded in CodeCodabar."},
    {bcTypeUndefined, "1", true, nullptr, nullptr, -1, "TAsBarcode: wrong BarcodeType"},
    {TBarcodeType(99), "1", true, nullptr, nullptr, -1, "TAsBarcode: wrong BarcodeType"},
};
} // namespace

TEST(BarcodeEncoder, Table) {
    for (const EncodeCase& c : kCases) {
        SCOPED_TRACE(BarcodeTypeName(c.type).toStdString() + " \"" + c.data + "\" checksum " +
                     (c.checkSum ? "on" : "off"));
        try {
            const BarcodeEncoding enc = EncodeBarcode(c.type, QString::fromUtf8(c.data), c.checkSum);
            ASSERT_TRUE(c.text) << "no error, encoded " << enc.elements;
            EXPECT_EQ(enc.text.toStdString(), c.text);
            if (c.elements) {
                EXPECT_EQ(enc.elements, c.elements);
            }
            if (c.count >= 0) {
                EXPECT_EQ(int(enc.elements.size()), c.count);
            }
        } catch (const EBarcodeError& e) {
            ASSERT_TRUE(c.error) << "unexpected error " << e.what();
            EXPECT_EQ(e.Message.toStdString(), c.error);
        }
    }
}

TEST(BarcodeEncoder, Code128PatternsAreElevenModules) {
    // Every symbol of Code 128 A is 11 modules (the stop 13): 96 data characters plus control codes.
    QString all;
    for (char16_t c = 0; c < 96; ++c)
        all += QChar(c);
    const std::string e = EncodeBarcode(bcCode128A, all, true).elements;
    int modules = 0;
    for (char x : e)
        modules += (x >= '5' ? x - '5' : x - '0') + 1;
    EXPECT_EQ(modules, 11 * (96 + 2) + 13);
}

TEST(BarcodeEncoder, EanAutoKeepsARightCheckDigit) {
    struct Case {
        const char* value;
        TBarcodeType type;
        const char* data;
        const char* error;
    };
    const Case cases[] = {
        {"9638507", bcCodeEAN8, "9638507", nullptr},
        {"96385074", bcCodeEAN8, "9638507", nullptr},
        {" 400638133393 ", bcCodeEAN13, "400638133393", nullptr},
        {"4006381333931", bcCodeEAN13, "400638133393", nullptr},
        {"96385075", bcCodeEAN8, nullptr,
         "Invalid check digit for barcode \"EAN8\" (must be 4, current \"96385075\")."},
        {"4006381333932", bcCodeEAN13, nullptr,
         "Invalid check digit for barcode \"EAN13\" (must be 1, current \"4006381333932\")."},
        {"12345", bcCodeEAN13, nullptr, "Invalid text length (CodeEANAuto): 12345"},
        {"1234567x", bcCodeEAN8, nullptr, "Barcode must be numeric"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        try {
            const EanAutoChoice choice = ChooseEanAuto(c.value);
            ASSERT_TRUE(c.data);
            EXPECT_EQ(choice.type, c.type);
            EXPECT_EQ(choice.data.toStdString(), c.data);
        } catch (const EBarcodeError& e) {
            ASSERT_TRUE(c.error) << e.what();
            EXPECT_EQ(e.Message.toStdString(), c.error);
        }
    }
}

TEST(BarcodeTypes, NamesAndRatios) {
    for (int t = 0; t <= bcTypeUndefined; ++t) {
        TBarcodeType back;
        ASSERT_TRUE(BarcodeTypeFromName(BarcodeTypeName(TBarcodeType(t)).toLower(), back));
        EXPECT_EQ(back, t);
    }
    TBarcodeType unused;
    EXPECT_FALSE(BarcodeTypeFromName("CodeEANAuto", unused));
    // Module-counted symbologies always draw with 2; the others are limited.
    EXPECT_EQ(BarcodeEffectiveRatio(bcCode128B, 3.0), 2.0);
    EXPECT_EQ(BarcodeEffectiveRatio(bcCodeEAN13, 2.7), 2.0);
    EXPECT_EQ(BarcodeEffectiveRatio(bcCode39, 5.0), 3.0);
    EXPECT_EQ(BarcodeEffectiveRatio(bcCode39, 1.0), 2.0);
    EXPECT_EQ(BarcodeEffectiveRatio(bcCode_2_5_matrix, 2.0), 2.25);
    EXPECT_EQ(BarcodeEffectiveRatio(bcCodeMSI, 2.6), 2.6);
}
