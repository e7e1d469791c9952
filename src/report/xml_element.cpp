#include "xml_element.h"

namespace {
bool EndsName(QStringView text, qsizetype pos) {
    if (pos >= text.size()) return false;
    const QChar c = text[pos];
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

qsizetype FindElementStart(QStringView text, QStringView name, qsizetype from) {
    for (qsizetype p = from; (p = text.indexOf(QLatin1Char('<'), p)) >= 0; ++p)
        if (text.mid(p + 1).startsWith(name) && EndsName(text, p + 1 + name.size())) return p;
    return -1;
}

qsizetype FindElementStartBack(QStringView text, QStringView name, qsizetype before) {
    for (qsizetype p = before - 1; p >= 0 && (p = text.lastIndexOf(QLatin1Char('<'), p)) >= 0; --p)
        if (text.mid(p + 1).startsWith(name) && EndsName(text, p + 1 + name.size())) return p;
    return -1;
}

qsizetype FindElementEnd(QStringView text, QStringView name, qsizetype from) {
    for (qsizetype p = from; (p = text.indexOf(QLatin1String("</"), p)) >= 0; p += 2) {
        qsizetype q = p + 2 + name.size();
        if (text.mid(p + 2).startsWith(name) && q < text.size() && text[q] == '>') return q + 1;
    }
    return -1;
}

qsizetype TagEnd(QStringView text, qsizetype pos) {
    qsizetype e = text.indexOf(QLatin1Char('>'), pos);
    return e < 0 ? -1 : e + 1;
}

void AppendXmlText(QString& out, QStringView text, const QString& tab, const QString& lineBreak) {
    out.reserve(out.size() + text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        switch (u) {
        case '&':
            out += QLatin1String("&amp;");
            continue;
        case '<':
            out += QLatin1String("&lt;");
            continue;
        case '>':
            out += QLatin1String("&gt;");
            continue;
        case '"':
            out += QLatin1String("&quot;");
            continue;
        case '\'':
            out += QLatin1String("&apos;");
            continue;
        case '\t':
            out += tab;
            continue;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += lineBreak;
            continue;
        case '\n':
            out += lineBreak;
            continue;
        default:
            break;
        }
        if (u < 0x20 || u == 0xFFFE || u == 0xFFFF) continue;
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                out += c;
                out += text[++i];
            }
            continue;
        }
        if (c.isLowSurrogate()) continue;
        out += c;
    }
}

void AppendOdfText(QString& out, QStringView text, const QString& tab, const QString& lineBreak) {
    auto isEdge = [](QChar c) { return c == '\t' || c == '\r' || c == '\n'; };
    auto spaces = [&](qsizetype n) {
        if (n == 1)
            out += QLatin1String("<text:s/>");
        else if (n > 1)
            out += QStringLiteral("<text:s text:c=\"%1\"/>").arg(n);
    };
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype b = text.indexOf(QLatin1Char(' '), pos);
        if (b < 0) break;
        qsizetype e = b;
        while (e < text.size() && text[e] == ' ')
            ++e;
        AppendXmlText(out, text.mid(pos, b - pos), tab, lineBreak);
        const bool edge = b == 0 || e == text.size() || isEdge(text[b - 1]) || isEdge(text[e]);
        if (edge) {
            spaces(e - b);
        } else {
            out += QLatin1Char(' ');
            spaces(e - b - 1);
        }
        pos = e;
    }
    AppendXmlText(out, text.mid(pos), tab, lineBreak);
}

QString DecodeXmlEntities(QStringView text) {
    if (!text.contains(QLatin1Char('&'))) return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (semi < 0 || semi - i > 10) {
            out += text[i];
            continue;
        }
        const QStringView ent = text.mid(i + 1, semi - i - 1);
        char32_t code = 0;
        if (ent == u"amp")
            code = '&';
        else if (ent == u"lt")
            code = '<';
        else if (ent == u"gt")
            code = '>';
        else if (ent == u"quot")
            code = '"';
        else if (ent == u"apos")
            code = '\'';
        else if (ent.startsWith(u"#x") || ent.startsWith(u"#X"))
            code = ent.mid(2).toUInt(nullptr, 16);
        else if (ent.startsWith(u"#"))
            code = ent.mid(1).toUInt();
        if (code == 0 || code > 0x10FFFF) {
            out += text[i];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi;
    }
    return out;
}
