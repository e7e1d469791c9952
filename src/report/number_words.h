#pragma once
// Amounts in words, in English and Czech, with optional currency and sub-currency words.
#include <QString>
#include <cstdint>

// The common algorithm; each language supplies its words.
class TNumToTextUniv {
public:
    virtual ~TNumToTextUniv() = default;

    double Value = 0;
    QString Text;
    QString Separator = QStringLiteral(" ");
    QString Currency;    // empty, "short", "long" (any case) or a text written as it stands
    QString SubCurrency; // after the hundredths; empty: the language's own word

    // Appends Separator (when Text is not empty) and v; an empty v adds nothing.
    void AddText(const QString& v);
    // Builds Text from Value, Currency and SubCurrency; throws Exception("Number out of range").
    void Convert();

protected:
    // Exp is the group of three digits: 1 units, 2 thousands, ..., 5 million millions; 0 the hundredths.
    virtual void AddCurrency() = 0;
    virtual void AddSubCurrency() = 0;
    virtual void AddNegative() = 0;
    virtual void AddDigit(int num, int exp) = 0;
    virtual void AddTens(int num, int exp) = 0;
    virtual void AddHundreds(int num, int exp) = 0;
    virtual void AddExp(int num, int exp) = 0;
    virtual void AddZero() = 0;

    // "short" or "long", any case.
    bool ownCurrency() const;
    bool longCurrency() const;

    // The whole part of the amount after rounding to hundredths.
    int64_t Whole = 0;
};

class TNumToTextEN : public TNumToTextUniv {
protected:
    void AddCurrency() override;
    void AddSubCurrency() override;
    void AddNegative() override;
    void AddDigit(int num, int exp) override;
    void AddTens(int num, int exp) override;
    void AddHundreds(int num, int exp) override;
    void AddExp(int num, int exp) override;
    void AddZero() override;
};

class TNumToTextCZ : public TNumToTextUniv {
protected:
    void AddCurrency() override;
    void AddSubCurrency() override;
    void AddNegative() override;
    void AddDigit(int num, int exp) override;
    void AddTens(int num, int exp) override;
    void AddHundreds(int num, int exp) override;
    void AddExp(int num, int exp) override;
    void AddZero() override;
};

// Czech when lang is "CZ" (any case), English otherwise.
QString ConvertNumToText(const QString& lang, const QString& separator, const QString& currency,
                         const QString& subCurrency, double value);
