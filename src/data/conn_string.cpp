#include "conn_string.h"

#include <QStringList>

namespace {
bool isBreak(QChar c) {
    return c == '\n' || c == '\r';
}

// PWD, Password and the providers' own password keys ("Jet OLEDB:Database Password").
bool isPasswordKey(const QString& key) {
    if (key.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0) return true;
    if (!key.endsWith(QLatin1String("Password"), Qt::CaseInsensitive)) return false;
    const qsizetype before = key.size() - 9;
    return before < 0 || key[before] == ' ' || key[before] == ':';
}

// The tokens that hold a password (see MaskPasswords).
std::vector<InitToken> secretTokens(const QString& text) {
    std::vector<InitToken> tokens, secret;
    ScanInitString(text, 0, false, &tokens);
    bool afterPassword = false, afterBareKey = false;
    for (const InitToken& t : tokens) {
        const bool isSecret =
            (t.hasValue && isPasswordKey(t.key)) || (!t.hasValue && afterPassword) || afterBareKey;
        if (isSecret) secret.push_back(t);
        afterPassword = isSecret && (t.hasValue || afterPassword);
        afterBareKey = !t.hasValue && isPasswordKey(t.key);
    }
    return secret;
}
} // namespace

qsizetype ScanInitString(const QString& text, qsizetype from, bool oneLine, std::vector<InitToken>* out) {
    const qsizetype n = text.size();
    qsizetype i = from;
    auto stop = [&](QChar c) { return oneLine && isBreak(c); };
    while (i < n) {
        while (i < n && (text[i].isSpace() || text[i] == ';') && !stop(text[i]))
            ++i;
        if (i >= n || stop(text[i])) break;
        InitToken t;
        t.begin = i;
        qsizetype j = i;
        while (j < n && text[j] != '=' && text[j] != ';' && !stop(text[j]))
            ++j;
        t.key = text.mid(i, j - i).trimmed();
        if (j >= n || text[j] != '=') { // a token without "="
            t.end = t.valueBegin = j;
            if (out) out->push_back(std::move(t));
            i = j;
            continue;
        }
        t.hasValue = true;
        i = j + 1;
        while (i < n && text[i] == ' ')
            ++i;
        t.valueBegin = i;
        if (i < n && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
            const QChar close = text[i] == '{' ? QChar('}') : text[i];
            ++i;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        t.value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.value += text[i++];
            }
            while (i < n && text[i] != ';' && !stop(text[i]))
                ++i;
        } else {
            qsizetype e = i;
            while (e < n && text[e] != ';' && !stop(text[e]))
                ++e;
            t.value = text.mid(i, e - i).trimmed();
            i = e;
        }
        t.end = i;
        if (out) out->push_back(std::move(t));
    }
    return i;
}

InitString InitString::parse(const QString& text) {
    std::vector<InitToken> tokens;
    ScanInitString(text, 0, false, &tokens);
    InitString out;
    for (InitToken& t : tokens)
        if (t.hasValue) out.items_.emplace_back(std::move(t.key), std::move(t.value));
    return out;
}

QString InitString::value(const QString& key) const {
    for (const auto& [k, v] : items_)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return v;
    return QString();
}

bool InitString::has(const QString& key) const {
    for (const auto& kv : items_)
        if (kv.first.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void InitString::set(const QString& key, const QString& value) {
    for (auto& kv : items_)
        if (kv.first.compare(key, Qt::CaseInsensitive) == 0) {
            kv.second = value;
            return;
        }
    items_.emplace_back(key, value);
}

void InitString::remove(const QString& key) {
    std::erase_if(items_, [&](const auto& kv) { return kv.first.compare(key, Qt::CaseInsensitive) == 0; });
}

QString InitString::text() const {
    QStringList parts;
    for (const auto& [k, v] : items_)
        parts << k + '=' + QuoteInitValue(v);
    return parts.join(';');
}

QString QuoteInitValue(const QString& value) {
    if (value.isEmpty()) return value;
    const QChar first = value.front();
    const bool plain = !value.contains(';') && !value.contains('\n') && !value.contains('\r') &&
                       first != '"' && first != '\'' && first != '{' && !first.isSpace() &&
                       !value.back().isSpace();
    if (plain) return value;
    return '"' + QString(value).replace('"', QLatin1String("\"\"")) + '"';
}

QString ConnectionFileString(const QString& path) {
    return QStringLiteral("FILE NAME=") + QuoteInitValue(path);
}

QString MaskPasswords(const QString& text) {
    const std::vector<InitToken> secret = secretTokens(text);
    QString out = text;
    for (auto t = secret.rbegin(); t != secret.rend(); ++t) {
        const qsizetype from = t->hasValue ? t->valueBegin : t->begin;
        out.replace(from, t->end - from, QStringLiteral("***"));
    }
    return out;
}

QStringList PasswordsOf(const QString& text) {
    QStringList out;
    for (const InitToken& t : secretTokens(text)) {
        const QString s = t.hasValue ? t.value : t.key;
        if (!s.isEmpty()) out << s;
    }
    return out;
}
