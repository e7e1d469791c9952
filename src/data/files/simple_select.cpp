#include "simple_select.h"

#include "exceptions.h"

#include <QRegularExpression>

namespace {
class Lexer {
public:
    explicit Lexer(const QString& s) : s_(s) {}

    void skipBlanks() {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
    }
    bool atEnd() {
        skipBlanks();
        return i_ >= s_.size() || (s_[i_] == ';' && s_.mid(i_ + 1).trimmed().isEmpty());
    }
    // A keyword (case-insensitive) followed by a non-word character.
    bool keyword(const char* kw) {
        skipBlanks();
        QLatin1String k(kw);
        if (s_.mid(i_, k.size()).compare(k, Qt::CaseInsensitive) != 0) return false;
        qsizetype e = i_ + k.size();
        if (e < s_.size() && (s_[e].isLetterOrNumber() || s_[e] == '_')) return false;
        i_ = e;
        return true;
    }
    bool punct(QChar c) {
        skipBlanks();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    // [name] (with ]] for ]), "name", `name` or a bare run of name characters.
    QString name() {
        skipBlanks();
        if (i_ >= s_.size()) return QString();
        QChar open = s_[i_];
        if (open == '[' || open == '"' || open == '`') {
            QChar close = open == '[' ? QChar(']') : open;
            QString out;
            for (qsizetype j = i_ + 1; j < s_.size(); ++j) {
                if (s_[j] == close) {
                    if (j + 1 < s_.size() && s_[j + 1] == close) {
                        out += close;
                        ++j;
                        continue;
                    }
                    i_ = j + 1;
                    return out;
                }
                out += s_[j];
            }
            throw EDatabaseError(
                QStringLiteral("The name starting at position %1 is not closed").arg(i_ + 1));
        }
        qsizetype j = i_;
        while (j < s_.size() && (s_[j].isLetterOrNumber() || QStringLiteral("_.#$-").contains(s_[j])))
            ++j;
        QString out = s_.mid(i_, j - i_);
        i_ = j;
        return out;
    }
    qint64 number() {
        skipBlanks();
        qsizetype j = i_;
        while (j < s_.size() && s_[j].isDigit())
            ++j;
        bool ok = false;
        qint64 n = s_.mid(i_, j - i_).toLongLong(&ok);
        if (!ok) throw EDatabaseError(QStringLiteral("A row count is expected at position %1").arg(i_ + 1));
        i_ = j;
        return n;
    }
    qsizetype pos() const { return i_; }
    void setPos(qsizetype p) { i_ = p; }
    QString rest() const { return s_.mid(i_); }
    const QString& text() const { return s_; }

private:
    const QString& s_;
    qsizetype i_ = 0;
};

[[noreturn]] void unsupported(const QString& what) {
    throw EDatabaseError(
        QStringLiteral("File sources answer only simple SELECT statements: %1 is not supported").arg(what));
}

// The position of a keyword outside quotes and brackets, or -1.
qsizetype findKeyword(const QString& s, qsizetype from, const QString& kw) {
    QChar quote;
    for (qsizetype i = from; i < s.size(); ++i) {
        QChar c = s[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"' || c == '`' || c == '#')
            quote = c;
        else if (c == '[')
            quote = ']';
        else if ((i == 0 || s[i - 1].isSpace() || s[i - 1] == ')') &&
                 s.mid(i, kw.size()).compare(kw, Qt::CaseInsensitive) == 0 &&
                 (i + kw.size() == s.size() || s[i + kw.size()].isSpace()))
            return i;
    }
    return -1;
}

// Drops the "1=1" terms the import wizard's statements carry.
QString withoutTrueTerms(QString w) {
    static const QRegularExpression lead(QStringLiteral("^\\s*\\(?\\s*1\\s*=\\s*1\\s*\\)?\\s*(AND\\s+|$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression trail(QStringLiteral("\\s+AND\\s+\\(?\\s*1\\s*=\\s*1\\s*\\)?\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (;;) {
        QString before = w;
        w.remove(lead);
        w.remove(trail);
        if (w == before) return w.trimmed();
    }
}
} // namespace

SimpleSelect ParseSimpleSelect(const QString& sqlText) {
    QString sql = sqlText.trimmed();
    while (sql.endsWith(';'))
        sql.chop(1);
    Lexer lx(sql);
    SimpleSelect q;
    if (!lx.keyword("SELECT")) {
        QString verb = sql.section(QRegularExpression("\\s+"), 0, 0);
        unsupported(QStringLiteral("the statement \"%1\" (the file is read-only)").arg(verb.left(30)));
    }
    if (lx.keyword("DISTINCT")) unsupported(QStringLiteral("DISTINCT"));
    if (lx.keyword("TOP")) q.top = lx.number();
    if (lx.punct('*')) {
        q.star = true;
    } else if (lx.keyword("COUNT")) {
        if (!lx.punct('(') || !lx.punct('*') || !lx.punct(')'))
            unsupported(QStringLiteral("COUNT of anything but *"));
        q.count = true;
        QString alias = QStringLiteral("Expr1000");
        if (lx.keyword("AS")) alias = lx.name();
        q.columns.emplace_back(QString(), alias);
    } else {
        do {
            qsizetype at = lx.pos();
            QString n = lx.name();
            if (n.isEmpty())
                unsupported(QStringLiteral("the column list at \"%1\"").arg(lx.rest().left(30).trimmed()));
            if (lx.punct('(')) unsupported(QStringLiteral("the function %1()").arg(n));
            QString alias = n;
            if (lx.keyword("AS")) alias = lx.name();
            if (alias.isEmpty()) {
                lx.setPos(at);
                unsupported(QStringLiteral("the column list at \"%1\"").arg(lx.rest().left(30).trimmed()));
            }
            q.columns.emplace_back(n, alias);
        } while (lx.punct(','));
    }
    if (!lx.keyword("FROM"))
        unsupported(QStringLiteral("the column list at \"%1\"").arg(lx.rest().left(30).trimmed()));
    q.table = lx.name();
    if (q.table.isEmpty()) unsupported(QStringLiteral("a FROM without a table name"));
    if (lx.punct(',') || lx.keyword("JOIN") || lx.keyword("INNER") || lx.keyword("LEFT") ||
        lx.keyword("RIGHT"))
        unsupported(QStringLiteral("a statement over more than one table"));
    // What follows: [WHERE ...] [ORDER BY ...] [LIMIT n]
    QString rest = lx.rest().trimmed();
    qsizetype limitAt = findKeyword(rest, 0, QStringLiteral("LIMIT"));
    if (limitAt >= 0) {
        Lexer l2(rest);
        l2.setPos(limitAt + 5);
        qint64 n = l2.number();
        if (!l2.atEnd()) unsupported(QStringLiteral("\"%1\"").arg(rest.mid(limitAt).left(40)));
        q.top = q.top < 0 ? n : std::min(q.top, n);
        rest = rest.left(limitAt).trimmed();
    }
    qsizetype orderAt = findKeyword(rest, 0, QStringLiteral("ORDER"));
    if (orderAt >= 0) {
        QString order = rest.mid(orderAt + 5).trimmed();
        if (!order.startsWith(QLatin1String("BY"), Qt::CaseInsensitive))
            unsupported(QStringLiteral("ORDER without BY"));
        Lexer ol(order);
        ol.setPos(2);
        QStringList parts;
        do {
            QString n = ol.name();
            if (n.isEmpty())
                unsupported(QStringLiteral("ORDER BY \"%1\"").arg(order.mid(2).trimmed().left(40)));
            QString part = QStringLiteral("[%1]").arg(n);
            if (ol.keyword("DESC"))
                part += QStringLiteral(" DESC");
            else
                ol.keyword("ASC");
            parts << part;
        } while (ol.punct(','));
        if (!ol.atEnd()) unsupported(QStringLiteral("ORDER BY \"%1\"").arg(order.mid(2).trimmed().left(40)));
        q.orderBy = parts.join(',');
        rest = rest.left(orderAt).trimmed();
    }
    if (!rest.isEmpty()) {
        if (!rest.startsWith(QLatin1String("WHERE"), Qt::CaseInsensitive) ||
            (rest.size() > 5 && !rest[5].isSpace() && rest[5] != '('))
            unsupported(QStringLiteral("\"%1\"").arg(rest.left(40)));
        q.where = withoutTrueTerms(rest.mid(5));
        for (const char* kw : {"GROUP", "HAVING", "UNION", "SELECT"})
            if (findKeyword(q.where, 0, QLatin1String(kw)) >= 0) unsupported(QLatin1String(kw));
    }
    return q;
}
