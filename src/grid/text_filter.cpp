#include "text_filter.h"

#include "comp_config.h"
#include "field.h"
#include "filter_expr.h"
#include "filter_text.h"
#include "sql_names.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace {
// One operand of the text: its operator, its value and where the value starts (0-based).
struct Part {
    QString op;
    QString value;
    qsizetype at = 0; // the operand's first character
    qsizetype valueAt = 0;
    bool quoted = false;
};

struct Failure {
    QString message;
};

QString pos(qsizetype i) {
    return QString::number(i + 1);
}

bool isBlank(QChar c) {
    return c.isSpace();
}

// Splits the text into operands and the separators between them.
void split(const QString& s, QList<Part>& parts, QList<QChar>& seps) {
    const qsizetype n = s.size();
    qsizetype i = 0;
    for (;;) {
        Part p;
        while (i < n && isBlank(s[i]))
            ++i;
        p.at = i;
        while (i < n && (s[i] == '<' || s[i] == '>' || s[i] == '='))
            p.op += s[i++];
        while (i < n && isBlank(s[i]))
            ++i;
        p.valueAt = i;
        if (i < n && s[i] == '"') {
            // A quoted value holds separators, operators and outer blanks as typed.
            const qsizetype open = i++;
            bool closed = false;
            while (i < n) {
                if (s[i] == '"') {
                    if (i + 1 < n && s[i + 1] == '"') {
                        p.value += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                p.value += s[i++];
            }
            if (!closed)
                throw Failure{QStringLiteral("The quote at position %1 is not closed.").arg(pos(open))};
            p.quoted = true;
            while (i < n && isBlank(s[i]))
                ++i;
            if (i < n && s[i] != '&' && s[i] != '|')
                throw Failure{QStringLiteral("Position %1: only \"&\" or \"|\" may follow a quoted value.")
                                  .arg(pos(i))};
        } else {
            while (i < n && s[i] != '&' && s[i] != '|')
                p.value += s[i++];
            p.value = p.value.trimmed();
        }
        parts << p;
        if (i >= n) break;
        seps << s[i++];
    }
}

QString parseOperator(const Part& p) {
    static const QStringList ops = {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"),
                                    QStringLiteral(">"), QStringLiteral("<="), QStringLiteral(">=")};
    if (!p.op.isEmpty() && !ops.contains(p.op))
        throw Failure{QStringLiteral("Position %1: \"%2\" is not an operator (=, <>, <, >, <=, >=).")
                          .arg(pos(p.at), p.op)};
    return p.op == QLatin1String("=") ? QString() : p.op;
}

QString yyyyVariant(const QString& format) {
    if (format.contains(QLatin1String("yyyy")) || !format.contains(QLatin1String("yy"))) return QString();
    QString f = format;
    return f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
}

// A date in the short date format (blanks and month names as the locale writes them), the filter
// date format or ISO form.
bool readDate(const QString& text, QDate& out) {
    const QLocale sys = QLocale::system();
    const QString shortFormat = sys.dateFormat(QLocale::ShortFormat);
    for (const QString& f :
         {yyyyVariant(shortFormat), shortFormat, FilterDateFormat(), QStringLiteral("yyyy-MM-dd")}) {
        if (f.isEmpty()) continue;
        out = sys.toDate(text, f);
        if (!out.isValid()) out = QLocale::c().toDate(text, f);
        if (out.isValid()) {
            // A two-digit year is read in the last century; the near one is meant.
            if (f == shortFormat && !yyyyVariant(f).isEmpty() && out.year() < 1950) out = out.addYears(100);
            return true;
        }
    }
    return false;
}

bool readTime(const QString& text, QTime& out) {
    const QLocale sys = QLocale::system();
    for (const QString& f :
         {sys.timeFormat(QLocale::ShortFormat), sys.timeFormat(QLocale::LongFormat),
          QStringLiteral("H:mm:ss.zzz"), QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
        out = sys.toTime(text, f);
        if (!out.isValid()) out = QLocale::c().toTime(text, f);
        if (out.isValid()) return true;
    }
    return false;
}

class Builder {
public:
    Builder(const TField* field, const TextFilterSettings& s) : f_(field), s_(s) {}

    QString part(const Part& p) {
        const QString op = parseOperator(p);
        if (p.value.isEmpty())
            throw Failure{QStringLiteral("Position %1: a value is missing.").arg(pos(p.valueAt))};
        if (f_->DataType == ftDate || f_->DataType == ftDateTime || f_->DataType == ftTimeStamp)
            return date(p, op);
        if (IsNumericField(*f_)) return number(p, op);
        if (f_->DataType == ftTime) return time(p, op);
        if (IsBooleanField(*f_)) return boolean(p, op);
        if (IsQuotedTextField(*f_)) return text(p, op);
        return cond(p.value, op.isEmpty() ? QStringLiteral("=") : op);
    }

private:
    QString cond(const QString& value, const QString& op) const {
        return BuildCondition(f_, value, false, op);
    }
    QString both(const QString& a, const QString& b, const char* join) const {
        return a + QLatin1Char(' ') + QLatin1String(join) + QLatin1Char(' ') + b;
    }

    QString text(const Part& p, const QString& op) const {
        if (!op.isEmpty()) return cond(p.value, op);
        const QString l = s_.likeChar.isNull() ? QString() : QString(s_.likeChar);
        QString v = p.value;
        switch (s_.type) {
        case oftAnyPos:
            v = l + v + l;
            break;
        case oftStartPos:
            v = v + l;
            break;
        case oftExactValue:
            break;
        case oftAnyPosForNoLikeChar:
            if (l.isEmpty() || !v.contains(l)) v = l + v + l;
            break;
        }
        return cond(v, s_.likeOperator);
    }

    QString boolean(const Part& p, const QString& op) const {
        const auto& words = VemoCompConfig().kDBFilterCfg.BooleanString;
        for (const QString& w : {words[1], QStringLiteral("True"), QStringLiteral("1")})
            if (p.value.compare(w, Qt::CaseInsensitive) == 0) return cond(words[1], op.isEmpty() ? "=" : op);
        for (const QString& w : {words[0], QStringLiteral("False"), QStringLiteral("0")})
            if (p.value.compare(w, Qt::CaseInsensitive) == 0) return cond(words[0], op.isEmpty() ? "=" : op);
        throw Failure{QStringLiteral("Position %1: \"%2\" is not %3 or %4.")
                          .arg(pos(p.valueAt), p.value, words[1], words[0])};
    }

    QString time(const Part& p, const QString& op) const {
        QTime t;
        if (!readTime(p.value, t))
            throw Failure{QStringLiteral("Position %1: \"%2\" is not a time.").arg(pos(p.valueAt), p.value)};
        return cond(t.toString(t.msec() ? QStringLiteral("H:mm:ss.zzz") : QStringLiteral("H:mm:ss")),
                    op.isEmpty() ? QStringLiteral("=") : op);
    }

    QString period(const QDate& first, const QDate& last, const QString& op) const {
        return DatePeriodCondition(f_, first, last, op);
    }

    QString date(const Part& p, const QString& op) const {
        QDate d;
        if (readDate(p.value, d)) return period(d, d, op);
        const QString bad = QStringLiteral("Position %1: \"%2\" is not a date").arg(pos(p.valueAt), p.value);
        if (!s_.datePartAsRange) throw Failure{bad + QLatin1Char('.')};
        static const QRegularExpression year(QStringLiteral("^\\d{1,4}$"));
        static const QRegularExpression monthYear(QStringLiteral("^(\\d{1,4})\\s*[/\\-.,]\\s*(\\d{1,4})$"));
        if (year.match(p.value).hasMatch()) {
            const int y = p.value.toInt();
            if (y < 1)
                throw Failure{QStringLiteral("Position %1: %2 is not a year.").arg(pos(p.valueAt), p.value)};
            return period(QDate(y, 1, 1), QDate(y, 12, 31), op);
        }
        const auto m = monthYear.match(p.value);
        if (!m.hasMatch()) throw Failure{bad + QStringLiteral(", a year or a month and year.")};
        int a = m.captured(1).toInt(), b = m.captured(2).toInt();
        const int y = std::max(a, b), month = std::min(a, b);
        if (month < 1 || month > 12 || y < 1)
            throw Failure{
                QStringLiteral("Position %1: \"%2\" is not a month and year.").arg(pos(p.valueAt), p.value)};
        const QDate first(y, month, 1);
        return period(first, first.addDays(first.daysInMonth() - 1), op);
    }

    QString number(const Part& p, const QString& op) const {
        double x;
        if (ReadFilterNumber(p.value, x))
            return cond(FilterFloatText(x), op.isEmpty() ? QStringLiteral("=") : op);
        const QString& w = s_.numberWildChar;
        const qsizetype wild = w.isEmpty() ? -1 : p.value.indexOf(w, 1);
        if (op.isEmpty() && s_.numberPartAsRange && wild > 0) return numberRange(p, wild);
        throw Failure{QStringLiteral("Position %1: \"%2\" is not a number.").arg(pos(p.valueAt), p.value)};
    }

    // "12*" covers 120 up to below 130: the number before the wildcards, the wildcards as zeros after
    // it; a decimal separator right before them belongs to the zeros ("12.*": 12.0 up to below 13.0).
    // Digits after a separator step by their last place ("1.5*": 1.5 up to below 1.6).
    QString numberRange(const Part& p, qsizetype wild) const {
        const QString sys = QLocale::system().decimalPoint();
        QString prefix = p.value.left(wild);
        bool sepBefore = false;
        if (prefix.endsWith(sys) || prefix.endsWith('.')) {
            prefix.chop(prefix.endsWith(sys) ? sys.size() : 1);
            sepBefore = true;
        }
        int zeros = 0;
        const QString rest = p.value.mid(wild);
        for (qsizetype i = 0; i < rest.size(); i += s_.numberWildChar.size(), ++zeros)
            if (rest.mid(i, s_.numberWildChar.size()) != s_.numberWildChar)
                throw Failure{QStringLiteral("Position %1: only wildcards may follow the number in \"%2\".")
                                  .arg(pos(p.valueAt + wild + i), p.value)};
        const QRegularExpression re(
            QStringLiteral("^([+-]?)(\\d+)(?:(?:\\.|%1)(\\d+))?$").arg(QRegularExpression::escape(sys)));
        const auto m = re.match(prefix);
        if (!m.hasMatch() || (sepBefore && !m.captured(3).isEmpty()))
            throw Failure{
                QStringLiteral("Position %1: \"%2\" is not a number.").arg(pos(p.valueAt), p.value)};
        const QString fraction = m.captured(3);
        const QString digits = m.captured(2) + fraction;
        // The next number at the last digit's place, carried through the digits.
        QString next = digits;
        qsizetype i = next.size() - 1;
        for (; i >= 0 && next[i] == '9'; --i)
            next[i] = '0';
        if (i >= 0)
            next[i] = QChar(next[i].unicode() + 1);
        else
            next.prepend('1');
        // Zeros after a whole number shift it; after a fraction or a separator they change nothing.
        const bool shift = fraction.isEmpty() && !sepBefore;
        auto value = [&](const QString& ds) {
            QString t = ds;
            if (!fraction.isEmpty()) t.insert(t.size() - fraction.size(), '.');
            if (shift) t += QString(zeros, '0');
            return QLocale::c().toDouble(t);
        };
        const double lo = value(digits), hi = value(next);
        if (m.captured(1) == QLatin1String("-"))
            return both(cond(FilterFloatText(-hi), QStringLiteral(">")),
                        cond(FilterFloatText(-lo), QStringLiteral("<=")), "AND");
        return both(cond(FilterFloatText(lo), QStringLiteral(">=")),
                    cond(FilterFloatText(hi), QStringLiteral("<")), "AND");
    }

    const TField* f_;
    const TextFilterSettings& s_;
};
} // namespace

bool ReadFilterNumber(const QString& text, double& out) {
    bool ok = false;
    out = QLocale::system().toDouble(text, &ok);
    if (!ok) out = QLocale::c().toDouble(text, &ok);
    return ok;
}

QString DatePeriodCondition(const TField* field, const QDate& first, const QDate& last, const QString& op) {
    const QDate after = last.addDays(1);
    const bool times = field->DataType != ftDate;
    auto c = [&](const char* o, const QDate& d) {
        return BuildCondition(field, FilterDateText(d), false, QLatin1String(o));
    };
    auto both = [](const QString& a, const QString& b, const char* join) {
        return a + QLatin1Char(' ') + QLatin1String(join) + QLatin1Char(' ') + b;
    };
    if (op.isEmpty() || op == QLatin1String("=")) return both(c(">=", first), c("<", after), "AND");
    if (op == QLatin1String(">=")) return c(">=", first);
    if (op == QLatin1String("<")) return c("<", first);
    if (op == QLatin1String(">")) return times ? c(">=", after) : c(">", last);
    if (op == QLatin1String("<=")) return times ? c("<", after) : c("<=", last);
    if (times || first != last) return both(c("<", first), c(">=", after), "OR");
    return c("<>", first);
}

TypedNullTest TypedNullTestOf(const QString& text) {
    const QString words = text.simplified().toLower();
    static const QStringList isNull = {QStringLiteral("(null)"), QStringLiteral("is null"),
                                       QStringLiteral("=null"), QStringLiteral("= null")};
    static const QStringList notNull = {QStringLiteral("(not null)"), QStringLiteral("is not null"),
                                        QStringLiteral("<>null"), QStringLiteral("<> null")};
    if (isNull.contains(words)) return TypedNullTest::IsNull;
    if (notNull.contains(words)) return TypedNullTest::NotNull;
    return TypedNullTest::None;
}

TextFilterResult BuildTextFilter(const TField* field, const QString& text,
                                 const TextFilterSettings& settings) {
    TextFilterResult r;
    const QString t = text.trimmed();
    if (t.isEmpty() || !field) return r;
    const TypedNullTest nullTest = TypedNullTestOf(t);
    if (nullTest != TypedNullTest::None) {
        r.condition = BuildCondition(field, QString(), nullTest == TypedNullTest::IsNull, QString(),
                                     nullTest == TypedNullTest::NotNull);
        if (r.condition.isEmpty()) r.error = QStringLiteral("This column cannot be filtered.");
        return r;
    }
    try {
        QList<Part> parts;
        QList<QChar> seps;
        split(text, parts, seps);
        Builder b(field, settings);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString c = b.part(parts[i]);
            if (c.isEmpty()) throw Failure{QStringLiteral("This column cannot be filtered.")};
            r.condition =
                i == 0 ? c
                       : JoinConditions(seps[i - 1] == '&' ? QStringLiteral("AND") : QStringLiteral("OR"),
                                        {r.condition, c});
        }
    } catch (const Failure& f) {
        r.condition.clear();
        r.error = f.message;
    }
    return r;
}
