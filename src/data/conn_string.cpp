#include "conn_string.h"

#include <QStringList>

InitString InitString::parse(const QString& text) {
    InitString out;
    qsizetype i = 0, n = text.size();
    while (i < n) {
        while (i < n && (text[i].isSpace() || text[i] == ';'))
            ++i;
        if (i >= n) break;
        qsizetype eq = text.indexOf('=', i);
        if (eq < 0) {
            out.items_.emplace_back(text.mid(i).trimmed(), QString());
            break;
        }
        QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text[i] == ' ')
            ++i;
        QString value;
        if (i < n && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
            QChar close = text[i] == '{' ? QChar('}') : text[i];
            ++i;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && text[i] != ';')
                ++i;
        } else {
            qsizetype semi = text.indexOf(';', i);
            if (semi < 0) semi = n;
            value = text.mid(i, semi - i).trimmed();
            i = semi;
        }
        out.items_.emplace_back(key, value);
    }
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
    for (const auto& [k, v] : items_) {
        QString val = v;
        if (val.contains(';') || val.contains('"') || val.startsWith(' ') || val.endsWith(' '))
            val = '"' + QString(v).replace('"', QLatin1String("\"\"")) + '"';
        parts << k + '=' + val;
    }
    return parts.join(';');
}

QString MaskPasswords(const QString& text) {
    InitString s = InitString::parse(text);
    bool any = false;
    InitString masked;
    for (const auto& [k, v] : s.items()) {
        bool secret = k.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0 ||
                      k.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0;
        masked.set(k, secret ? QStringLiteral("***") : v);
        any |= secret;
    }
    return any ? masked.text() : text;
}
