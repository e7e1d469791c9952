#pragma once
// Initialisation strings: "Key=Value;Key2=\"quoted; value\"".
#include <QString>
#include <utility>
#include <vector>

class InitString {
public:
    static InitString parse(const QString& text);
    QString value(const QString& key) const; // case-insensitive; empty when absent
    bool has(const QString& key) const;
    void set(const QString& key, const QString& value);
    void remove(const QString& key);
    QString text() const; // back to "Key=Value;..." (values quoted when needed)
    const std::vector<std::pair<QString, QString>>& items() const { return items_; }

private:
    std::vector<std::pair<QString, QString>> items_;
};

// The text with every password value replaced by "***", for messages and logs.
QString MaskPasswords(const QString& text);
