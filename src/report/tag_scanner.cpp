#include "tag_scanner.h"

qsizetype FindCI(QStringView text, QStringView what, qsizetype from) {
    if (from < 0) from = 0;
    if (from > text.size()) return -1;
    return text.indexOf(what, from, Qt::CaseInsensitive);
}

bool StartsCI(QStringView text, QStringView prefix) {
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

TTagSpan FindTag(QStringView text, QStringView open, QStringView close, qsizetype from, QStringView keyword) {
    TTagSpan t;
    while (true) {
        qsizetype s = FindCI(text, open, from);
        if (s < 0) return t;
        if (!keyword.isEmpty() && !StartsCI(text.mid(s + open.size()), keyword)) {
            from = s + 1;
            continue;
        }
        qsizetype e = FindCI(text, close, s + open.size());
        if (e < 0) return t;
        // Tags do not nest: an opening delimiter inside the text makes the last one before the closing
        // delimiter the tag's start. Jumping there keeps many openings before one closing linear.
        if (open.compare(close, Qt::CaseInsensitive) != 0 && e - open.size() > s + open.size()) {
            const qsizetype last = text.lastIndexOf(open, e - open.size(), Qt::CaseInsensitive);
            if (last >= s + open.size()) {
                if (!keyword.isEmpty() && !StartsCI(text.mid(last + open.size()), keyword)) {
                    from = last + 1;
                    continue;
                }
                s = last;
            }
        }
        t.start = s;
        t.end = e + close.size();
        t.inner = text.mid(s + open.size(), e - s - open.size());
        return t;
    }
}

qsizetype MatchParen(QStringView s, qsizetype pos) {
    int depth = 0;
    bool quoted = false;
    for (qsizetype i = pos; i < s.size(); ++i) {
        QChar c = s[i];
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '(')
            ++depth;
        else if (c == ')' && --depth == 0)
            return i;
    }
    return -1;
}

qsizetype FirstParen(QStringView s) {
    bool quoted = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (!quoted && s[i] == '(')
            return i;
    }
    return -1;
}

bool Balanced(QStringView s) {
    int depth = 0;
    bool quoted = false;
    for (QChar c : s) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '(')
            ++depth;
        else if (c == ')' && --depth < 0)
            return false;
    }
    return depth == 0 && !quoted;
}

bool SplitCall(QStringView tag, TTagCall& call) {
    tag = tag.trimmed();
    qsizetype p = FirstParen(tag);
    if (p < 0) {
        call = {tag.toString(), {}, {}, false};
        return Balanced(tag);
    }
    qsizetype e = MatchParen(tag, p);
    if (e < 0) return false;
    call.name = tag.left(p).trimmed().toString();
    call.args = tag.mid(p + 1, e - p - 1).trimmed().toString();
    call.rest = tag.mid(e + 1).toString();
    call.hasParens = true;
    return true;
}

bool ParseOptions(QStringView rest, std::vector<TTagOption>& options) {
    options.clear();
    rest = rest.trimmed();
    if (rest.isEmpty()) return true;
    if (rest[0] != ';') return false;
    for (QStringView part : rest.mid(1).split(QLatin1Char(';'))) {
        part = part.trimmed();
        if (part.isEmpty()) continue;
        TTagOption o;
        qsizetype p = part.indexOf(QLatin1Char('('));
        if (p < 0) {
            o.name = part.toString().toLower();
        } else {
            qsizetype e = part.lastIndexOf(QLatin1Char(')'));
            if (e < p || !part.mid(e + 1).trimmed().isEmpty()) return false;
            o.name = part.left(p).trimmed().toString().toLower();
            o.arg = part.mid(p + 1, e - p - 1).toString();
            o.hasArg = true;
        }
        if (o.name.isEmpty()) return false;
        options.push_back(std::move(o));
    }
    return true;
}

namespace {
// End of a run outside quotes, parentheses and square brackets, stopping at sep; -1 when unbalanced.
qsizetype RunEnd(QStringView s, qsizetype i, QChar sep) {
    int paren = 0, square = 0;
    bool quoted = false;
    for (; i < s.size(); ++i) {
        QChar c = s[i];
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '(')
            ++paren;
        else if (c == ')')
            --paren;
        else if (c == '[')
            ++square;
        else if (c == ']')
            --square;
        else if (c == sep && paren <= 0 && square <= 0)
            return i;
    }
    return quoted ? -1 : s.size();
}
} // namespace

bool SplitArgs(QStringView args, QStringList& out) {
    out.clear();
    qsizetype i = 0, n = args.size();
    if (args.trimmed().isEmpty()) return true;
    while (true) {
        while (i < n && args[i].isSpace())
            ++i;
        qsizetype start = i, end;
        if (i < n && args[i] == '"') {
            ++i;
            while (true) {
                if (i >= n) return false;
                if (args[i] == '"') {
                    if (i + 1 < n && args[i + 1] == '"') {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            end = ++i;
        } else if (StartsCI(args.mid(i), u"str_")) {
            qsizetype p = FirstParen(args.mid(i));
            if (p < 0) return false;
            qsizetype e = MatchParen(args, i + p);
            if (e < 0) return false;
            end = i = e + 1;
        } else {
            end = i = RunEnd(args, i, QLatin1Char(','));
            if (end < 0) return false;
        }
        out.append(args.mid(start, end - start).trimmed().toString());
        while (i < n && args[i].isSpace())
            ++i;
        if (i >= n) return true;
        if (args[i] != ',') return false;
        ++i;
    }
}

QStringList SplitOutside(QStringView s, QChar sep) {
    QStringList parts;
    qsizetype i = 0;
    while (true) {
        qsizetype e = RunEnd(s, i, sep);
        if (e < 0) e = s.size();
        parts.append(s.mid(i, e - i).trimmed().toString());
        if (e >= s.size()) return parts;
        i = e + 1;
    }
}

QStringList SplitUpToEmpty(QStringView s) {
    QStringList parts;
    for (const QString& p : SplitOutside(s, QLatin1Char(','))) {
        if (p.isEmpty()) break;
        parts.append(p);
    }
    return parts;
}

bool IsQuoted(QStringView s) {
    return s.size() >= 2 && s.front() == '"' && s.back() == '"';
}

QString Unquote(QStringView s) {
    return IsQuoted(s) ? s.mid(1, s.size() - 2).toString() : s.toString();
}
