#pragma once
// Initialisation strings: "Key=Value;Key2=\"quoted; value\"".
// Splitting follows the ODBC driver manager: a key ends at "=" or ";", so a token without "="
// ("Encrypt;") is a token of its own that drivers ignore; a value is quoted when it starts with
// ", ' or { (the closing character doubled stands for itself), else it runs to the next ";".
#include <QString>
#include <utility>
#include <vector>

// One token of an initialisation string as it stands in the text.
struct InitToken {
    QString key, value;
    bool hasValue = false;        // false for a token without "="
    qsizetype begin = 0, end = 0; // the whole token
    qsizetype valueBegin = 0;     // where its value starts (quotes included); the value ends at end
};

// Splits text from position from. With oneLine the scan ends at the first line break outside a
// quoted value (a value may hold line breaks only in quotes). Returns the position where it ended.
qsizetype ScanInitString(const QString& text, qsizetype from, bool oneLine, std::vector<InitToken>* out);

class InitString {
public:
    static InitString parse(const QString& text); // tokens without "=" are left out
    QString value(const QString& key) const;      // case-insensitive; empty when absent
    bool has(const QString& key) const;
    void set(const QString& key, const QString& value);
    void remove(const QString& key);
    QString text() const; // back to "Key=Value;...": every value reads back as it was
    const std::vector<std::pair<QString, QString>>& items() const { return items_; }

private:
    std::vector<std::pair<QString, QString>> items_;
};

// A value as written after "=", quoted when the reading rules would otherwise change it.
QString QuoteInitValue(const QString& value);

// The connection string that opens a connection file, for any legal file name.
QString ConnectionFileString(const QString& path);

// The text with every password replaced by "***" in place, everything else kept as written. A
// password is the value of every PWD or Password key wherever it stands (also a provider's own, such
// as "Jet OLEDB:Database Password"), the tokens without "=" that
// follow it (the rest of a password holding an unquoted ";"), and the token after a PWD or Password
// that has no "=".
QString MaskPasswords(const QString& text);
// The password texts MaskPasswords hides, for scrubbing them from a driver's messages.
QStringList PasswordsOf(const QString& text);
