// Amounts in words: every rule of both languages in one table.
#include "exceptions.h"
#include "number_words.h"

#include <gtest/gtest.h>

namespace {
struct WordsCase {
    const char* lang;
    double value;
    const char* currency;
    const char* subCurrency;
    const char* words; // UTF-8
};

const WordsCase kCases[] = {
    {"EN", 1234.56, "short", "", "One Thousand Two Hundred Thirty Four Dollars Fifty Six Cents"},
    {"EN", 1234.56, "LONG", "", "One Thousand Two Hundred Thirty Four Dollars Fifty Six Cents"},
    // The singular only for exactly one.
    {"EN", 1, "short", "", "One Dollar"},
    {"EN", 1.5, "short", "", "One Dollar Fifty Cents"},
    {"EN", 101, "short", "", "One Hundred One Dollars"},
    {"EN", 0.5, "", "", "Zero Fifty Cents"},
    {"EN", 0.05, "short", "pence", "Zero Dollars Five pence"},
    {"EN", -3, "", "", "minus Three"},
    // Rounded to hundredths before splitting: no cent is lost and no minus for a rounded zero.
    {"EN", 1.999, "", "", "Two"},
    {"EN", 0.995, "", "", "One"},
    {"EN", -0.001, "", "", "Zero"},
    {"EN", 19.99, "EUR", "", "Nineteen EUR Ninety Nine Cents"},
    {"EN", 100, "", "", "One Hundred"},
    {"EN", 1000010, "", "", "One Million Ten"},
    {"EN", 999999999999999, "", "",
     "Nine Hundred Ninety Nine Trillion Nine Hundred Ninety Nine Billion Nine Hundred Ninety Nine Million "
     "Nine Hundred Ninety Nine Thousand Nine Hundred Ninety Nine"},
    {"EN", 1e12, "short", "", "One Trillion Dollars"},
    {"en", 2e9 + 40, "", "", "Two Billion Forty"},
    {"XX", 7, "", "", "Seven"}, // anything but CZ is English
    // Czech forms by group gender and count.
    {"CZ", 1234.56, "long", "", "jeden tisíc dvě stě třicet čtyři korun českých padesát šest haléřů"},
    {"CZ", 2, "short", "", "dvě koruny"},
    {"CZ", 5, "short", "", "pět korun"},
    {"cz", 101, "short", "", "sto jedna koruna"},
    {"CZ", 1, "long", "", "jedna koruna česká"},
    {"CZ", 3, "long", "", "tři koruny české"},
    {"CZ", 2000000, "short", "", "dva milióny korun"},
    {"CZ", 1000000, "", "", "jeden milión"},
    {"CZ", 5000000, "", "", "pět miliónů"},
    {"CZ", 22000, "", "", "dvacet dva tisíc"},
    {"CZ", 3000, "", "", "tři tisíce"},
    {"CZ", 1000, "", "", "jeden tisíc"},
    {"CZ", 1e9, "", "", "jedna miliarda"},
    {"CZ", 2e9, "", "", "dvě miliardy"},
    {"CZ", 7e9, "", "", "sedm miliard"},
    {"CZ", 1e12, "", "", "jeden bilión"},
    {"CZ", 3e12, "", "", "tři bilióny"},
    {"CZ", 5e12, "", "", "pět biliónů"},
    {"CZ", 200, "", "", "dvě stě"},
    {"CZ", 300, "", "", "tři sta"},
    {"CZ", 900, "", "", "devět set"},
    {"CZ", 0.5, "", "", "nula padesát haléřů"},
    {"CZ", 0.02, "Kč", "h", "nula Kč dva h"},
    {"CZ", -19, "", "", "mínus devatenáct"},
};
} // namespace

TEST(NumberWords, Table) {
    for (const WordsCase& c : kCases) {
        SCOPED_TRACE(std::string(c.lang) + " " + std::to_string(c.value) + " " + c.currency);
        EXPECT_EQ(ConvertNumToText(c.lang, " ", QString::fromUtf8(c.currency),
                                   QString::fromUtf8(c.subCurrency), c.value)
                      .toStdString(),
                  c.words);
    }
}

TEST(NumberWords, SeparatorBetweenWordsOnly) {
    EXPECT_EQ(ConvertNumToText("EN", "-", "short", "", 21.3), "Twenty-One-Dollars-Thirty-Cents");
}

TEST(NumberWords, OutOfRange) {
    for (double v : {1e15, -1e15, 1e300, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
        try {
            ConvertNumToText("CZ", " ", "", "", v);
            ADD_FAILURE() << "no error for " << v;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Number out of range");
        }
    }
}
