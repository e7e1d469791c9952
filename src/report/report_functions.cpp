// The functions of value tags: str_*, seplist, firstvalue, case, numtotext, defvar, listallfields.
#include "dataset.h"
#include "number_words.h"
#include "report_engine.h"
#include "report_format.h"
#include "tag_scanner.h"

#include <QLocale>

namespace {
// A failure inside a string function; its message goes into the error text.
struct FunctionError {
    QString message;
};

// A quoted literal argument: quotes removed, doubled quotes single, "<TAB>" a tab; a text in
// apostrophes inside the quotes keeps "<TAB>" and loses the apostrophes.
QString Literal(const QString& arg) {
    QString s = arg.mid(1, arg.size() - 2);
    s.replace(QLatin1String("\"\""), QLatin1String("\""));
    if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') return s.mid(1, s.size() - 2);
    s.replace(QLatin1String("<TAB>"), QLatin1String("\t"), Qt::CaseInsensitive);
    return s;
}

QString Proper(const QString& s) {
    QString r = s.toLower();
    for (qsizetype i = 0; i < r.size(); ++i)
        if (i == 0 || r[i - 1] == ' ') r[i] = r[i].toUpper();
    return r;
}
} // namespace

QString TReportEngine::stringFunction(QStringView tag, QStringView expr) {
    auto detail = [&](const QString& message) {
        return report_errors::CalcFunction(markup_.errorText(tag) + QStringLiteral("; ") +
                                           report_errors::IncorrectTag(message));
    };
    TTagCall call;
    QStringList args;
    if (!SplitCall(expr, call) || !call.hasParens || !SplitArgs(call.args, args))
        ThrowTemplateError(detail(markup_.errorText(expr)));
    const QString name = call.name.toLower();
    auto need = [&](bool ok) {
        if (!ok) throw FunctionError{QStringLiteral("Wrong number of arguments of %1").arg(call.name)};
    };
    // An unquoted argument is resolved as a tag; a quoted one is a literal.
    auto text = [&](const QString& a) { return IsQuoted(a) ? Literal(a) : resolveArg(a); };
    try {
        need(!args.isEmpty());
        const QString s = resolveArg(args[0]);
        if (name == u"str_part" || name == u"str_partcs") {
            need(args.size() == 3);
            const Qt::CaseSensitivity cs = name == u"str_partcs" ? Qt::CaseSensitive : Qt::CaseInsensitive;
            auto number = [&](const QString& a) {
                double d;
                if (!ReadNumberText(a, d) && !ReadNumberText(resolveArg(a), d))
                    throw FunctionError{QStringLiteral("\"%1\" is not a number").arg(a)};
                return qsizetype(std::clamp(d, -1e9, 1e9));
            };
            qsizetype start;
            if (IsQuoted(args[1])) {
                start = s.indexOf(Literal(args[1]), 0, cs);
                if (start < 0) return QString();
            } else {
                start = number(args[1]) - 1;
                if (start < 0 || start >= s.size()) return QString();
            }
            if (IsQuoted(args[2])) {
                qsizetype end = s.indexOf(Literal(args[2]), start, cs);
                if (end < 0) return QString();
                return s.mid(start, end - start);
            }
            qsizetype n = number(args[2]);
            return n <= 0 ? QString() : s.mid(start, n);
        }
        if (name == u"str_replace" || name == u"str_replacecs") {
            need(args.size() >= 3 && args.size() % 2 == 1);
            const Qt::CaseSensitivity cs = name == u"str_replacecs" ? Qt::CaseSensitive : Qt::CaseInsensitive;
            QString r = s;
            for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
                QString from = text(args[i]);
                if (!from.isEmpty()) r.replace(from, text(args[i + 1]), cs);
            }
            return r;
        }
        need(args.size() == 1);
        if (name == u"str_upper") return s.toUpper();
        if (name == u"str_lower") return s.toLower();
        if (name == u"str_proper") return Proper(s);
        if (name == u"str_trim") return s.trimmed();
        throw FunctionError{QStringLiteral("Unknown function %1").arg(call.name)};
    } catch (const FunctionError& e) {
        ThrowTemplateError(detail(e.message));
    }
}

void TReportEngine::sepList(QStringView args, TReportValue& value) {
    QStringList parts = SplitOutside(args, QLatin1Char(','));
    QString sep;
    qsizetype first = 0;
    for (; first < parts.size(); ++first)
        if (IsQuoted(parts[first])) {
            sep = Unquote(parts[first]).left(255);
            ++first;
            break;
        }
    sep.replace(QLatin1String("*|"), markup_.sepListBar);
    bool any = false;
    for (qsizetype i = first; i < parts.size() && !parts[i].isEmpty(); ++i) {
        QString v = resolveArg(parts[i]);
        if (v.isEmpty()) continue;
        if (any) value.addMarkup(sep);
        value.addText(v);
        any = true;
    }
}

QString TReportEngine::firstValue(QStringView args) {
    for (const QString& a : SplitUpToEmpty(args)) {
        QString v = resolveArg(a);
        if (!v.isEmpty()) return v;
    }
    return QString();
}

void TReportEngine::caseFunction(QStringView args, TReportValue& value) {
    QStringList parts = SplitOutside(args, QLatin1Char(';'));
    const QString subject = parts.value(0);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& part = parts[i];
        qsizetype comma = part.indexOf(QLatin1Char(','));
        QString cond = (comma >= 0 ? part.left(comma) : part).trimmed();
        QString result = comma >= 0 ? part.mid(comma + 1).trimmed() : QString();
        if (cond.isEmpty()) continue;
        if (cond.compare(u"#ELSE#", Qt::CaseInsensitive) == 0 || evaluateCondition(subject + cond)) {
            if (!result.isEmpty()) value.addText(resolveArg(result));
            return;
        }
    }
}

QString TReportEngine::numToText(QStringView expr, QStringView format) {
    qsizetype p = FirstParen(expr);
    qsizetype e = p >= 0 ? MatchParen(expr, p) : -1;
    QString arg = e > p ? expr.mid(p + 1, e - p - 1).trimmed().toString() : QString();
    QString text;
    if (IsQuoted(arg)) {
        text = Unquote(arg);
    } else {
        TReportValue v;
        if (!evaluateTag(arg, v)) return QLatin1Char('?') + arg + QLatin1Char('?');
        text = v.plain();
    }
    if (text.isEmpty()) return QString();
    QLocale loc;
    QString clean = text;
    clean.remove(loc.groupSeparator());
    clean.remove(QLatin1Char(' '));
    bool ok = false;
    double d = loc.toDouble(clean, &ok);
    if (!ok) ok = ReadNumberText(clean, d);
    if (!ok) return QLatin1Char('?') + text + QLatin1Char('?');
    QStringList f = format.toString().split(QLatin1Char(';'));
    QString lang = f.value(2).trimmed();
    if (lang.isEmpty()) lang = QStringLiteral("CZ");
    try {
        return ConvertNumToText(lang, QStringLiteral(" "), f.value(0), f.value(1), d);
    } catch (const std::exception&) {
        return QLatin1Char('?') + text + QLatin1Char('?');
    }
}

void TReportEngine::defVar(QStringView args) {
    QStringList parts;
    if (!SplitArgs(args, parts) || parts.isEmpty() || parts[0].isEmpty())
        ThrowTemplateError(report_errors::CalcFunction(markup_.errorText(args)));
    const QString name = parts[0];
    const QString raw = parts.value(1);
    QString value = raw.isEmpty()   ? QString()
                    : IsQuoted(raw) ? QString(raw).remove(QLatin1Char('"'))
                                    : resolveArg(raw);
    for (qsizetype i = Variables.size() - 1; i >= 0; --i) {
        qsizetype eq = Variables[i].indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(Variables[i]).left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            Variables.removeAt(i);
    }
    Variables.append(name + QLatin1Char('=') + value);
}

void TReportEngine::listAllFields(TReportValue& value) const {
    for (size_t i = 0; i < slots_.size(); ++i) {
        TDataSet* ds = slots_[i].ds;
        if (!ds) continue;
        value.addMarkup(markup_.listParEnd());
        value.addText(QString(QChar(char16_t('A' + i))) + QStringLiteral(" ()"));
        value.addMarkup(markup_.listParEnd());
        QString names;
        for (int f = 0; f < ds->FieldCount(); ++f)
            names += ds->Fields(f)->FieldName + QStringLiteral("; ");
        value.addText(names);
    }
    value.addMarkup(markup_.listParEnd());
}
