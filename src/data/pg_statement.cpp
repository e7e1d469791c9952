#include "pg_statement.h"

#include <QRegularExpression>

namespace {
bool identChar(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '$';
}
} // namespace

PgStatement ScanPgStatement(const QString& sql, bool numberMarks) {
    PgStatement st;
    QString& out = st.text;
    QString& code = st.code;
    out.reserve(sql.size() + 8);
    code.reserve(sql.size());
    qsizetype lastCode = 0; // in out: after the last character that is not blank, ";" or comment
    bool afterSemicolon = false;
    auto keep = [&](QChar c, bool isCode) {
        out += c;
        code += isCode ? c : QChar(' ');
    };
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c == '-' && next == '-') { // line comment
            while (i < n && sql[i] != '\n')
                keep(sql[i++], false);
            continue;
        }
        if (c == '/' && next == '*') { // block comments nest
            int depth = 0;
            do {
                if (sql[i] == '/' && i + 1 < n && sql[i + 1] == '*') {
                    ++depth;
                    keep(sql[i++], false);
                } else if (sql[i] == '*' && i + 1 < n && sql[i + 1] == '/') {
                    --depth;
                    keep(sql[i++], false);
                }
                keep(sql[i++], false);
            } while (i < n && depth > 0);
            continue;
        }
        if (afterSemicolon && !c.isSpace() && c != ';') st.several = true;
        if (c == '\'' || c == '"') {
            // E'...' takes backslash escapes; otherwise a doubled quote stands for itself.
            const bool escapes = c == '\'' && i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') &&
                                 (i < 2 || !identChar(sql[i - 2]));
            keep(sql[i++], true);
            while (i < n) {
                if (escapes && sql[i] == '\\' && i + 1 < n) {
                    keep(sql[i++], false);
                    keep(sql[i++], false);
                    continue;
                }
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        keep(sql[i++], false);
                        keep(sql[i++], false);
                        continue;
                    }
                    break;
                }
                keep(sql[i++], false);
            }
            if (i < n) keep(sql[i++], true);
            lastCode = out.size();
            continue;
        }
        if (c == '$' && (i == 0 || !identChar(sql[i - 1])) && !next.isDigit()) { // $tag$ ... $tag$
            qsizetype j = i + 1;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == '_'))
                ++j;
            if (j < n && sql[j] == '$') {
                const QString tag = sql.mid(i, j - i + 1);
                qsizetype close = sql.indexOf(tag, j + 1);
                qsizetype stop = close < 0 ? n : close + tag.size();
                for (qsizetype k = i; k < stop; ++k)
                    keep(sql[k], k < j + 1 || (close >= 0 && k >= close));
                i = stop;
                lastCode = out.size();
                continue;
            }
        }
        if (c == '?' && numberMarks) {
            ++st.marks;
            const QString mark = '$' + QString::number(st.marks);
            out += mark;
            code += mark;
            ++i;
            lastCode = out.size();
            continue;
        }
        if (c == '?') ++st.marks;
        if (c == ';') {
            afterSemicolon = true;
        } else if (!c.isSpace()) {
            lastCode = out.size() + 1;
        }
        keep(c, true);
        ++i;
    }
    st.end = lastCode;
    static const QRegularExpression first(QStringLiteral("^\\s*\\(*\\s*([A-Za-z]+)"));
    if (auto m = first.match(code); m.hasMatch()) st.keyword = m.captured(1).toUpper();
    static const QRegularExpression returning(QStringLiteral("\\bRETURNING\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    st.returning = code.contains(returning);
    return st;
}
