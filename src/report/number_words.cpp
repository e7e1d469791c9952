#include "number_words.h"

#include "exceptions.h"

#include <cmath>
#include <memory>

void TNumToTextUniv::AddText(const QString& v) {
    if (v.isEmpty()) return;
    if (!Text.isEmpty()) Text += Separator;
    Text += v;
}

bool TNumToTextUniv::ownCurrency() const {
    return Currency.compare(QLatin1String("short"), Qt::CaseInsensitive) == 0 || longCurrency();
}

bool TNumToTextUniv::longCurrency() const {
    return Currency.compare(QLatin1String("long"), Qt::CaseInsensitive) == 0;
}

void TNumToTextUniv::Convert() {
    Text.clear();
    // Round to hundredths before splitting, so 1.999 is two units and not one unit and no cents. The
    // whole part is split off first: scaling the whole amount by 100 would lose the cents of large values.
    const double magnitude = std::fabs(Value);
    if (!(magnitude < 1e15)) throw Exception(QStringLiteral("Number out of range")); // also NaN
    const double whole = std::trunc(magnitude);
    Whole = int64_t(whole);
    int cents = int(std::lround((magnitude - whole) * 100.0));
    if (cents == 100) {
        ++Whole;
        cents = 0;
    }
    if (Whole >= INT64_C(1000000000000000)) throw Exception(QStringLiteral("Number out of range"));
    if (Value < 0 && (Whole != 0 || cents != 0)) AddNegative();

    if (Whole == 0) {
        AddZero();
    } else {
        int64_t scale = INT64_C(1000000000000); // 1000^(Exp-1) for Exp 5
        for (int exp = 5; exp >= 1; --exp, scale /= 1000) {
            const int g = int(Whole / scale % 1000);
            if (g == 0) continue;
            if (g > 99) AddHundreds(g / 100, exp);
            AddTens(g % 100, exp);
            AddExp(g, exp);
        }
    }
    AddCurrency();
    if (cents != 0) {
        AddTens(cents, 0);
        AddSubCurrency();
    }
}

// English

void TNumToTextEN::AddDigit(int num, int) {
    static const char* const words[] = {"",        "One",     "Two",       "Three",    "Four",
                                        "Five",    "Six",     "Seven",     "Eight",    "Nine",
                                        "Ten",     "Eleven",  "Twelve",    "Thirteen", "Fourteen",
                                        "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen"};
    if (num > 0 && num < 20) AddText(QLatin1String(words[num]));
}

void TNumToTextEN::AddTens(int num, int exp) {
    static const char* const tens[] = {"Twenty", "Thirty",  "Forty",  "Fifty",
                                       "Sixty",  "Seventy", "Eighty", "Ninety"};
    if (num < 20) return AddDigit(num, exp);
    AddText(QLatin1String(tens[num / 10 - 2]));
    AddDigit(num % 10, 0);
}

void TNumToTextEN::AddHundreds(int num, int) {
    AddDigit(num, 1);
    AddText(QStringLiteral("Hundred"));
}

void TNumToTextEN::AddExp(int, int exp) {
    static const char* const words[] = {"", "", "Thousand", "Million", "Billion", "Trillion"};
    if (exp >= 2 && exp <= 5) AddText(QLatin1String(words[exp]));
}

void TNumToTextEN::AddCurrency() {
    if (Currency.isEmpty()) return;
    // The singular only for exactly one: "One Hundred One Dollars".
    if (ownCurrency())
        AddText(Whole == 1 ? QStringLiteral("Dollar") : QStringLiteral("Dollars"));
    else
        AddText(Currency);
}

void TNumToTextEN::AddSubCurrency() {
    AddText(SubCurrency.isEmpty() ? QStringLiteral("Cents") : SubCurrency);
}
void TNumToTextEN::AddNegative() {
    AddText(QStringLiteral("minus"));
}
void TNumToTextEN::AddZero() {
    AddText(QStringLiteral("Zero"));
}

// Czech: the forms follow the gender of the group word (Exp) and the count.

namespace {
// 1 → first, 2 to 4 → second, otherwise third.
QString czForm(int64_t n, const char16_t* one, const char16_t* few, const char16_t* many) {
    return QString::fromUtf16(n == 1 ? one : (n >= 2 && n <= 4 ? few : many));
}
} // namespace

void TNumToTextCZ::AddDigit(int num, int exp) {
    static const char16_t* const words[] = {u"",        u"",         u"",         u"tři",     u"čtyři",
                                            u"pět",     u"šest",     u"sedm",     u"osm",     u"devět",
                                            u"deset",   u"jedenáct", u"dvanáct",  u"třináct", u"čtrnáct",
                                            u"patnáct", u"šestnáct", u"sedmnáct", u"osmnáct", u"devatenáct"};
    if (num == 1)
        AddText(QString::fromUtf16(exp < 2 || exp == 4 ? u"jedna" : u"jeden"));
    else if (num == 2)
        AddText(QString::fromUtf16(exp == 1 || exp == 4 ? u"dvě" : u"dva"));
    else if (num > 2 && num < 20)
        AddText(QString::fromUtf16(words[num]));
}

void TNumToTextCZ::AddTens(int num, int exp) {
    static const char16_t* const tens[] = {u"dvacet",  u"třicet",    u"čtyřicet", u"padesát",
                                           u"šedesát", u"sedmdesát", u"osmdesát", u"devadesát"};
    if (num < 20) return AddDigit(num, exp);
    AddText(QString::fromUtf16(tens[num / 10 - 2]));
    AddDigit(num % 10, 0);
}

void TNumToTextCZ::AddHundreds(int num, int) {
    if (num > 1) AddDigit(num, 1);
    AddText(czForm(num, u"sto", num == 2 ? u"stě" : u"sta", u"set"));
}

void TNumToTextCZ::AddExp(int num, int exp) {
    switch (exp) {
    case 2:
        AddText(QString::fromUtf16(num >= 2 && num <= 4 ? u"tisíce" : u"tisíc"));
        break;
    case 3:
        AddText(czForm(num, u"milión", u"milióny", u"miliónů"));
        break;
    case 4:
        AddText(czForm(num, u"miliarda", u"miliardy", u"miliard"));
        break;
    case 5:
        AddText(czForm(num, u"bilión", u"bilióny", u"biliónů"));
        break;
    default:
        break;
    }
}

void TNumToTextCZ::AddCurrency() {
    if (Currency.isEmpty()) return;
    if (!ownCurrency()) return AddText(Currency);
    const int64_t b = Whole % 100;
    AddText(czForm(b, u"koruna", u"koruny", u"korun"));
    if (longCurrency()) AddText(czForm(b, u"česká", u"české", u"českých"));
}

void TNumToTextCZ::AddSubCurrency() {
    AddText(SubCurrency.isEmpty() ? QString::fromUtf16(u"haléřů") : SubCurrency);
}
void TNumToTextCZ::AddNegative() {
    AddText(QString::fromUtf16(u"mínus"));
}
void TNumToTextCZ::AddZero() {
    AddText(QStringLiteral("nula"));
}

QString ConvertNumToText(const QString& lang, const QString& separator, const QString& currency,
                         const QString& subCurrency, double value) {
    std::unique_ptr<TNumToTextUniv> conv;
    if (lang.compare(QLatin1String("CZ"), Qt::CaseInsensitive) == 0)
        conv = std::make_unique<TNumToTextCZ>();
    else
        conv = std::make_unique<TNumToTextEN>();
    conv->Separator = separator;
    conv->Currency = currency;
    conv->SubCurrency = subCurrency;
    conv->Value = value;
    conv->Convert();
    return conv->Text;
}
