#include "rtf_to_text.h"

#include <vector>

namespace {
bool IsDestination(QStringView word) {
    static const char* const kSkipped[] = {
        "fonttbl",      "colortbl",  "stylesheet", "info",      "pict",
        "header",       "footer",    "headerl",    "headerr",   "footerl",
        "footerr",      "footnote",  "object",     "listtable", "listoverridetable",
        "rsidtbl",      "generator", "xmlnstbl",   "themedata", "colorschememapping",
        "latentstyles", "datastore", "filetbl",    "revtbl",    "bkmkstart",
        "bkmkend",      "fldinst"};
    for (const char* k : kSkipped)
        if (word == QLatin1String(k)) return true;
    return false;
}

struct Group {
    bool skip = false;
    int uc = 1; // characters that stand in for a \u character
};
} // namespace

QString RtfToPlainText(QStringView rtf) {
    QString out;
    std::vector<Group> stack{Group{}};
    int pendingSkip = 0; // fallback characters still to drop after \u
    qsizetype i = 0, n = rtf.size();
    auto put = [&](QChar c) {
        if (pendingSkip > 0) {
            --pendingSkip;
            return;
        }
        if (!stack.back().skip) out += c;
    };
    while (i < n) {
        QChar c = rtf[i];
        if (c == '{') {
            stack.push_back(stack.back());
            ++i;
            if (i + 1 < n && rtf[i] == '\\' && rtf[i + 1] == '*') stack.back().skip = true, i += 2;
            continue;
        }
        if (c == '}') {
            if (stack.size() > 1) stack.pop_back();
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            put(c);
            ++i;
            continue;
        }
        // A control word or symbol.
        if (++i >= n) break;
        QChar s = rtf[i];
        if (s == '\\' || s == '{' || s == '}') {
            put(s);
            ++i;
            continue;
        }
        if (s == '\'') {
            bool ok = false;
            uint code = rtf.mid(i + 1, 2).toString().toUInt(&ok, 16);
            i += 3;
            if (ok) put(QChar(code)); // the Latin-1 reading of the code page byte
            continue;
        }
        if (s == '~') {
            put(QChar(0xA0));
            ++i;
            continue;
        }
        if (s == '-' || s == '_' || s == '\r' || s == '\n') {
            if (s == '_') put(QLatin1Char('-'));
            if (s == '\r' || s == '\n') {
                pendingSkip = 0;
                if (!stack.back().skip) out += QStringLiteral("\r\n");
            }
            ++i;
            continue;
        }
        if (!s.isLetter()) {
            ++i;
            continue;
        }
        qsizetype w = i;
        while (i < n && rtf[i].isLetter() && i - w < 32)
            ++i;
        QStringView word = rtf.mid(w, i - w);
        qsizetype numStart = i;
        if (i < n && rtf[i] == '-') ++i;
        while (i < n && rtf[i].isDigit() && i - numStart < 10)
            ++i;
        bool hasNum = i > numStart;
        int num = hasNum ? rtf.mid(numStart, i - numStart).toInt() : 0;
        if (i < n && rtf[i] == ' ') ++i;
        Group& g = stack.back();
        if (IsDestination(word)) {
            g.skip = true;
        } else if (word == u"par" || word == u"line" || word == u"sect" || word == u"page") {
            pendingSkip = 0;
            if (!g.skip) out += QStringLiteral("\r\n");
        } else if (word == u"tab") {
            pendingSkip = 0;
            if (!g.skip) out += QLatin1Char('\t');
        } else if (word == u"uc") {
            g.uc = std::max(0, num);
        } else if (word == u"u" && hasNum) {
            pendingSkip = 0;
            put(QChar(ushort(num < 0 ? num + 65536 : num)));
            pendingSkip = g.uc;
        } else if (word == u"emdash") {
            put(QChar(0x2014));
        } else if (word == u"endash") {
            put(QChar(0x2013));
        } else if (word == u"bullet") {
            put(QChar(0x2022));
        } else if (word == u"lquote" || word == u"rquote") {
            put(QChar(word == u"lquote" ? 0x2018 : 0x2019));
        } else if (word == u"ldblquote" || word == u"rdblquote") {
            put(QChar(word == u"ldblquote" ? 0x201C : 0x201D));
        } else {
            continue; // formatting words carry no text
        }
    }
    while (out.endsWith(QLatin1String("\r\n")))
        out.chop(2);
    return out;
}
