// RTF memo texts as XML of the template's kind: text, paragraph and line ends, and (DOCX) the kept
// formatting as format marks that become runs when the part is finished.
#include "tag_scanner.h"
#include "xml_element.h"
#include "xml_report.h"
#include "xml_report_parts.h"

#include <QHash>

namespace {
struct TFormatWord {
    TRtfSupportedFormat format;
    const char16_t *on, *off, *property;
};
const TFormatWord kFormats[] = {
    {rtfFontName, u"\\f#", nullptr, nullptr},
    {rtfFontSize, u"\\fs#", nullptr, nullptr},
    {rtfBold, u"\\b", u"\\b0", u"<w:b/>"},
    {rtfItalic, u"\\i", u"\\i0", u"<w:i/>"},
    {rtfUnderline, u"\\ul", u"\\ulnone", u"<w:u w:val=\"single\"/>"},
    {rtfUnderlineDouble, u"\\uldb", u"\\ulnone", u"<w:u w:val=\"double\"/>"},
    {rtfStrike, u"\\strike", u"\\strikenone", u"<w:strike/>"},
    {rtfStrikeDouble, u"\\striked1", u"\\strikenone", u"<w:dstrike/>"},
};

QString CustomName(const QString& line) {
    QString name = line.section(QLatin1Char('='), 0, 0).trimmed();
    if (!name.startsWith(QLatin1Char('\\'))) name.prepend(QLatin1Char('\\'));
    return name;
}

// A listed word keeps word when equal, or as "prefix*", or as "prefix#" followed by a number.
bool Keeps(const QString& listed, QStringView word) {
    if (listed.endsWith(QLatin1Char('*')))
        return word.startsWith(QStringView(listed).chopped(1), Qt::CaseInsensitive);
    if (listed.endsWith(QLatin1Char('#'))) {
        const QStringView stem = QStringView(listed).chopped(1);
        if (!word.startsWith(stem, Qt::CaseInsensitive) || word.size() == stem.size()) return false;
        for (QChar c : word.mid(stem.size()))
            if (!c.isDigit()) return false;
        return true;
    }
    return word.compare(listed, Qt::CaseInsensitive) == 0;
}

// Groups whose text is not document text.
bool SkippedGroup(QStringView word) {
    static const char16_t* const kSkipped[] = {u"\\colortbl", u"\\stylesheet", u"\\info",   u"\\pict",
                                               u"\\header",   u"\\footer",     u"\\object", u"\\*"};
    for (const char16_t* k : kSkipped)
        if (word == QStringView(k)) return true;
    return false;
}
} // namespace

QString FormatWordProperty(const QString& word, unsigned supported, const QStringList& custom,
                           QString& size) {
    for (const QString& line : custom)
        if (CustomName(line).compare(word, Qt::CaseInsensitive) == 0)
            return line.section(QLatin1Char('='), 1);
    for (const TFormatWord& f : kFormats)
        if ((supported & (1u << f.format)) && f.property &&
            word.compare(QStringView(f.on), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(f.property);
    if ((supported & (1u << rtfFontSize)) && Keeps(QStringLiteral("\\fs#"), word)) {
        size = QStringLiteral("<w:sz w:val=\"%1\"/><w:szCs w:val=\"%1\"/>").arg(word.mid(3).toInt());
    }
    return QString();
}

QString TkXMLReport::rtfMemoToXml(QStringView rtf) const {
    const bool docx = kind_ == xtfDOCX;
    QStringList kept{QStringLiteral("\\par"), QStringLiteral("\\line"), QStringLiteral("\\tab")};
    if (docx) {
        for (const TFormatWord& f : kFormats) {
            if (!(RtfSupportedFormats & (1u << f.format))) continue;
            kept.append(QString::fromUtf16(f.on));
            if (f.off) kept.append(QString::fromUtf16(f.off));
        }
        for (const QString& line : RtfCustomFormats)
            kept.append(CustomName(line));
    }
    const QString lineBreak = docx ? QStringLiteral("</w:t><w:br/><w:t xml:space=\"preserve\">")
                                   : QStringLiteral("<text:line-break/>");
    const QString tab =
        docx ? QStringLiteral("</w:t><w:tab/><w:t xml:space=\"preserve\">") : QStringLiteral("<text:tab/>");
    QHash<int, QString> fonts;
    QString out, words, text;
    bool marked = false;
    auto flushText = [&] {
        if (text.isEmpty()) return;
        if (!words.isEmpty()) {
            out += QChar(kFormatBegin) + words + QChar(kFormatEnd);
            words.clear();
            marked = true;
        }
        if (docx)
            AppendXmlText(out, text, tab, lineBreak);
        else
            AppendOdfText(out, text, tab, lineBreak);
        text.clear();
    };
    qsizetype i = FindCI(rtf, u"{\\rtf1");
    if (i < 0) return QString();
    i += 6;
    const qsizetype n = rtf.size();
    int depth = 1, skipDepth = 0, ucSkip = 0;
    auto readWord = [&](qsizetype& p) {
        const qsizetype s = p++;
        while (p < n && rtf[p].isLetter())
            ++p;
        if (p < n && (rtf[p] == '-' || rtf[p].isDigit())) {
            ++p;
            while (p < n && rtf[p].isDigit())
                ++p;
        }
        QStringView w = rtf.mid(s, p - s);
        if (p < n && rtf[p] == ' ') ++p;
        return w;
    };
    while (i < n && depth > 0) {
        const QChar c = rtf[i];
        if (c == '{') {
            ++i;
            if (skipDepth) {
                ++depth;
                continue;
            }
            qsizetype p = i;
            QStringView first = p < n && rtf[p] == '\\' ? readWord(p) : QStringView();
            if (first == u"\\*" || (p > i && rtf[i + 1] == '*')) first = u"\\*";
            ++depth;
            if (first.compare(u"\\fonttbl", Qt::CaseInsensitive) == 0) {
                // {\fonttbl{\f0\fnil Name;}...}
                int d = 1;
                qsizetype q = p;
                int current = -1;
                QString name;
                while (q < n && d > 0) {
                    if (rtf[q] == '{') {
                        ++d, ++q;
                    } else if (rtf[q] == '}') {
                        --d, ++q;
                    } else if (rtf[q] == '\\') {
                        QStringView w = readWord(q);
                        if (d == 2 && w.size() > 2 && w[1] == 'f' && w[2].isDigit())
                            current = w.mid(2).toInt(), name.clear();
                    } else if (rtf[q] == ';') {
                        if (current >= 0) fonts.insert(current, name.trimmed());
                        current = -1, ++q;
                    } else {
                        name += rtf[q++];
                    }
                }
                i = q;
                --depth;
            } else if (SkippedGroup(first)) {
                skipDepth = depth;
            }
            continue;
        }
        if (c == '}') {
            if (skipDepth == depth) skipDepth = 0;
            --depth;
            ++i;
            continue;
        }
        if (skipDepth) {
            ++i;
            if (c == '\\' && i < n) ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            if (ucSkip > 0)
                --ucSkip;
            else
                text += c;
            ++i;
            continue;
        }
        if (i + 1 >= n) break;
        const QChar e = rtf[i + 1];
        if (e == '\\' || e == '{' || e == '}') {
            text += e;
            i += 2;
            continue;
        }
        if (e == '\'') {
            bool ok = false;
            const int code = rtf.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                if (ucSkip > 0)
                    --ucSkip;
                else
                    text += QString::fromLatin1(QByteArray(1, char(code)));
            }
            i += 4;
            continue;
        }
        if (!e.isLetter()) {
            i += 2;
            continue;
        }
        const QStringView w = readWord(i);
        if (w.startsWith(u"\\u") && w.size() > 2 && (w[2].isDigit() || w[2] == '-')) {
            int code = w.mid(2).toInt();
            if (code < 0) code += 65536;
            text += QChar(char16_t(code));
            ucSkip = 1;
            continue;
        }
        if (w.compare(u"\\par", Qt::CaseInsensitive) == 0 || w.compare(u"\\line", Qt::CaseInsensitive) == 0) {
            text += QLatin1String("\r\n");
            continue;
        }
        if (w.compare(u"\\tab", Qt::CaseInsensitive) == 0) {
            text += QLatin1Char('\t');
            continue;
        }
        bool keep = false;
        for (const QString& k : kept)
            if (Keeps(k, w)) keep = true;
        if (!keep || !docx) continue;
        flushText();
        if (w.size() > 2 && w[1] == 'f' && w[2].isDigit())
            words += QStringLiteral("\\font*") + fonts.value(w.mid(2).toInt()) + QLatin1Char(';');
        else
            words += w.toString() + QLatin1Char(';');
    }
    while (text.endsWith(QLatin1String("\r\n")))
        text.chop(2); // the final paragraph end of the memo
    flushText();
    // Formatting ends with the memo: the text after it is back in the run's own properties.
    if (marked) out += QChar(kFormatBegin) + QStringLiteral("\\plain;") + QChar(kFormatEnd);
    return out;
}
