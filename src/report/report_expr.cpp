// Expressions (usual precedence, left-associative), conditions and calculated fields.
#include "dataset.h"
#include "report_engine.h"
#include "report_format.h"
#include "tag_scanner.h"

#include <QCollator>
#include <QDateTime>
#include <cmath>

namespace {
constexpr int kMaxExprDepth = 200;

class ExprParser {
public:
    ExprParser(QStringView s, const std::function<double(QStringView)>& operand) : s_(s), operand_(operand) {}
    // False when the text does not parse (unbalanced parentheses, too deep).
    bool parse(double& v) {
        if (!expr(v)) return false;
        skip();
        return i_ == s_.size();
    }

private:
    void skip() {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
    }
    bool expr(double& v) {
        if (!term(v)) return false;
        while (true) {
            skip();
            if (i_ >= s_.size() || (s_[i_] != '+' && s_[i_] != '-')) return true;
            QChar op = s_[i_++];
            double r;
            if (!term(r)) return false;
            v = op == '+' ? v + r : v - r;
        }
    }
    bool term(double& v) {
        if (!unary(v)) return false;
        while (true) {
            skip();
            if (i_ >= s_.size() || (s_[i_] != '*' && s_[i_] != '/')) return true;
            QChar op = s_[i_++];
            double r;
            if (!unary(r)) return false;
            v = op == '*' ? v * r : v / r;
        }
    }
    bool unary(double& v) {
        if (++depth_ > kMaxExprDepth) return false;
        skip();
        bool ok;
        if (i_ < s_.size() && (s_[i_] == '-' || s_[i_] == '+')) {
            bool neg = s_[i_++] == '-';
            ok = unary(v);
            if (neg) v = -v;
        } else {
            ok = primary(v);
        }
        --depth_;
        return ok;
    }
    bool primary(double& v) {
        skip();
        if (i_ < s_.size() && s_[i_] == '(') {
            ++i_;
            if (!expr(v)) return false;
            skip();
            if (i_ >= s_.size() || s_[i_] != ')') return false;
            ++i_;
            return true;
        }
        // An operand runs to the next operator outside quotes and square brackets.
        qsizetype start = i_;
        int square = 0;
        bool quoted = false;
        for (; i_ < s_.size(); ++i_) {
            QChar c = s_[i_];
            if (c == '"')
                quoted = !quoted;
            else if (quoted)
                continue;
            else if (c == '[')
                ++square;
            else if (c == ']')
                --square;
            else if (square > 0)
                continue;
            else if (c == '(' && isCallName(start)) {
                // name(params): a caller-supplied function is one operand.
                int depth = 0;
                for (; i_ < s_.size(); ++i_) {
                    if (s_[i_] == '"')
                        quoted = !quoted;
                    else if (!quoted && s_[i_] == '(')
                        ++depth;
                    else if (!quoted && s_[i_] == ')' && --depth == 0)
                        break;
                }
                if (i_ >= s_.size()) return false;
            } else if (c == '(' || c == ')' || c == '*' || c == '/')
                break;
            else if (c == '+' || c == '-') {
                if (!exponentSign(start)) break;
            }
        }
        if (quoted || square > 0) return false;
        QStringView op = s_.mid(start, i_ - start).trimmed();
        v = op.isEmpty() ? 0 : operand_(op);
        return true;
    }
    bool isCallName(qsizetype start) const {
        QStringView run = s_.mid(start, i_ - start).trimmed();
        if (run.isEmpty() || !run[0].isLetter()) return false;
        for (QChar c : run)
            if (!c.isLetterOrNumber() && c != '_') return false;
        return true;
    }
    // "1E-5": the sign belongs to a number's exponent.
    bool exponentSign(qsizetype start) const {
        QStringView run = s_.mid(start, i_ - start).trimmed();
        if (run.size() < 2 || (run.back() != 'e' && run.back() != 'E')) return false;
        for (qsizetype k = 0; k + 1 < run.size(); ++k)
            if (!run[k].isDigit() && run[k] != '.' && run[k] != ',') return false;
        return run[0].isDigit();
    }

    QStringView s_;
    const std::function<double(QStringView)>& operand_;
    qsizetype i_ = 0;
    int depth_ = 0;
};

QString DecodeHex(QStringView s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == '\'') {
            bool ok = false;
            uint code = s.mid(i + 2, 2).toString().toUInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}
} // namespace

double TReportEngine::evaluateExpression(QStringView e) {
    const std::function<double(QStringView)> op = [this](QStringView o) { return operand(o); };
    ExprParser parser(e, op);
    double v = 0;
    if (!parser.parse(v)) ThrowTemplateError(report_errors::CalcFunction(markup_.errorText(e.trimmed())));
    return v;
}

bool TReportEngine::fieldNumber(int slot, QStringView name, double& v) {
    TDataSet* ds = slots_[size_t(slot)].ds;
    TField* f = ds->FindField(name.toString());
    if (!f) return false;
    v = 0;
    if (slots_[size_t(slot)].eof || ds->IsEmpty()) return true;
    QVariant value = currentValue(slot, f);
    if (!value.isValid()) return true;
    if (f->DataType == ftBoolean) {
        v = value.toBool() ? 1 : 0;
        return true;
    }
    if (IsDateTimeType(f->DataType)) {
        QDateTime dt = f->DataType == ftDate   ? QDateTime(value.toDate(), QTime(0, 0))
                       : f->DataType == ftTime ? QDateTime(QDate(1899, 12, 30), value.toTime())
                                               : value.toDateTime();
        v = DateTimeToDays(dt);
        return true;
    }
    bool ok = false;
    if (IsNumericType(f->DataType))
        v = value.toDouble(&ok);
    else
        ok = ReadNumberText(value.toString(), v);
    if (!ok) v = 0;
    return ok || inCalcUpdate_;
}

double TReportEngine::operand(QStringView e) {
    e = e.trimmed();
    if (e.isEmpty()) return 0;
    double v;
    if (ReadNumberText(e, v)) return v;
    auto fail = [&]() -> double { ThrowTemplateError(report_errors::CalcFunction(markup_.errorText(e))); };
    if (e.size() >= 3 && e[0] >= 'A' && e[0] <= 'Z' && e[1] == '.') {
        int slot = e[0].unicode() - 'A';
        if (!slotOpen(slot)) fail();
        TDataSet* ds = slots_[size_t(slot)].ds;
        QStringView name = e.mid(2);
        if (name == u"#") return ds->RecNo();
        if (name == u"##") return ds->RecordCount();
        if (fieldNumber(slot, name, v)) return v;
        fail();
    }
    auto bracket = [&](QStringView kw, QStringView& inner) {
        if (!StartsCI(e, kw) || !e.endsWith(QLatin1Char(']'))) return false;
        inner = e.mid(kw.size(), e.size() - kw.size() - 1);
        return true;
    };
    QStringView inner;
    static const char16_t* const kCalcReads[] = {u"GrandSum[", u"GrandMax[", u"GrandMin[", u"GrandCount[",
                                                 u"GrandAvg[", u"Sum[",      u"Max[",      u"Min[",
                                                 u"Count[",    u"Avg["};
    for (const char16_t* kw : kCalcReads) {
        QStringView k(kw);
        if (bracket(k, inner)) return calcRead(k.left(k.size() - 1), inner.trimmed());
    }
    if (bracket(u"Today[", inner)) return DateTimeToDays(QDateTime(QDate::currentDate(), QTime(0, 0)));
    if (bracket(u"Now[", inner)) return QTime::currentTime().msecsSinceStartOfDay() / 86400000.0;
    if (bracket(u"abs[", inner)) return std::fabs(evaluateExpression(inner));
    if (bracket(u"strlen[", inner)) {
        if (inner.trimmed().size() < 2) fail();
        return double(resolveArg(inner).size());
    }
    bool cs = bracket(u"strposcs[", inner);
    if (cs || bracket(u"strpos[", inner)) {
        QStringList args;
        if (!SplitArgs(inner, args) || args.size() != 2) fail();
        QString s = resolveArg(args[0]);
        QString t = IsQuoted(args[1]) ? Unquote(args[1]) : resolveArg(args[1]);
        return double(s.indexOf(t, 0, cs ? Qt::CaseSensitive : Qt::CaseInsensitive) + 1);
    }
    QString text;
    if (lookupNameText(e, text) && ReadNumberText(text, v)) return v;
    return fail();
}

// --- calculated fields

void TReportEngine::declareCalc(int slot, const QString& list) {
    const QString letter = QString(QChar(char16_t('A' + slot)));
    for (const QString& raw : list.split(QLatin1Char(','))) {
        QString entry = raw.trimmed().toUpper();
        if (entry.isEmpty()) continue;
        if (!entry.contains(QLatin1Char('.')) && !entry.contains(QLatin1Char('=')))
            entry = letter + '.' + entry;
        qsizetype eq = entry.indexOf(QLatin1Char('='));
        QString name = eq >= 0 ? entry.left(eq).trimmed() : entry;
        QString expression = eq >= 0 ? entry.mid(eq + 1).trimmed() : entry;
        auto it = std::find_if(calc_.begin(), calc_.end(),
                               [&](const TCalcField& c) { return c.DSindex == slot && c.Name == name; });
        if (it != calc_.end()) {
            it->Expression = expression;
            it->Restart = true;
        } else {
            TCalcField c;
            c.DSindex = slot;
            c.Name = name;
            c.Expression = expression;
            calc_.push_back(std::move(c));
        }
    }
}

void TReportEngine::updateCalc(int slot) {
    for (TCalcField& c : calc_) {
        if (c.DSindex != slot) continue;
        double v;
        inCalcUpdate_ = true;
        try {
            v = evaluateExpression(c.Expression);
        } catch (const std::exception&) {
            inCalcUpdate_ = false;
            ThrowTemplateError(report_errors::DatabaseField(markup_.errorText(c.Expression)));
        }
        inCalcUpdate_ = false;
        if (!c.Init) {
            c.Max = c.Min = c.Sum = c.GrandMax = c.GrandMin = c.GrandSum = v;
            c.Count = c.GrandCount = 1;
            c.Init = true;
        } else if (c.Restart) {
            c.Max = c.Min = c.Sum = v;
            c.Count = 1;
            c.GrandMax = std::max(c.GrandMax, v);
            c.GrandMin = std::min(c.GrandMin, v);
            c.GrandSum += v;
            ++c.GrandCount;
        } else {
            c.Max = std::max(c.Max, v);
            c.Min = std::min(c.Min, v);
            c.Sum += v;
            ++c.Count;
            c.GrandMax = std::max(c.GrandMax, v);
            c.GrandMin = std::min(c.GrandMin, v);
            c.GrandSum += v;
            ++c.GrandCount;
        }
        c.Restart = false;
    }
}

double TReportEngine::calcRead(QStringView kind, QStringView name) {
    const QString n = name.toString().toUpper();
    const TCalcField* found = nullptr;
    if (n.size() >= 2)
        for (auto it = calc_.rbegin(); it != calc_.rend() && !found; ++it) {
            const QString prefixed = QString(QChar(char16_t('A' + it->DSindex))) + '.' + n;
            if (it->Name == n || it->Name == prefixed) found = &*it;
        }
    if (!found) ThrowTemplateError(report_errors::DatabaseField(markup_.errorText(name)));
    const TCalcField& c = *found;
    const QString k = kind.toString().toLower();
    if (k == u"sum") return c.Sum;
    if (k == u"max") return c.Max;
    if (k == u"min") return c.Min;
    if (k == u"count") return c.Count;
    if (k == u"avg") return c.Count > 0 ? c.Sum / c.Count : 0;
    if (k == u"grandsum") return c.GrandSum;
    if (k == u"grandmax") return c.GrandMax;
    if (k == u"grandmin") return c.GrandMin;
    if (k == u"grandcount") return c.GrandCount;
    return c.GrandCount > 0 ? c.GrandSum / c.GrandCount : 0;
}

// --- conditions

bool TReportEngine::evaluateCondition(QStringView c) {
    DepthGuard g(*this, c);
    QString text = c.toString();
    // Parenthesised parts are decided first, innermost by recursion, and replaced by their result.
    for (qsizetype p; (p = FirstParen(text)) >= 0;) {
        qsizetype m = MatchParen(text, p);
        if (m < 0) ThrowTemplateError(report_errors::Bracket(markup_.errorText(c)));
        bool r = evaluateCondition(QStringView(text).mid(p + 1, m - p - 1));
        text.replace(p, m - p + 1, r ? QStringLiteral("\"TRUE\"") : QStringLiteral("\"FALSE\""));
    }
    return decideSimple(text);
}

bool TReportEngine::decideSimple(QStringView c) {
    DepthGuard g(*this, c);
    QStringView t = c.trimmed();
    if (StartsCI(t, u"not ")) return !decideSimple(t.mid(4));
    qsizetype a = FindCI(t, u" and ");
    if (a >= 0) return decideSimple(t.left(a)) && decideSimple(t.mid(a + 5));
    qsizetype o = FindCI(t, u" or ");
    if (o >= 0) return decideSimple(t.left(o)) || decideSimple(t.mid(o + 4));
    static const char16_t* const kOps[] = {u"==", u">=", u"<=", u"<>", u"=", u">", u"<", u"%%", u"%"};
    auto fail = [&]() -> bool { ThrowTemplateError(report_errors::CalcFunction(markup_.errorText(t))); };
    for (const char16_t* opText : kOps) {
        QStringView op(opText);
        qsizetype pos = t.indexOf(op);
        if (pos < 0) continue;
        struct Side {
            bool number = false;
            double num = 0;
            QString text;
        };
        auto read = [&](QStringView s) {
            Side r;
            s = s.trimmed();
            if (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
                r.text = DecodeHex(s).remove(QLatin1Char('"'));
                return r;
            }
            if (s.size() >= 2 && s.front() == '#' && s.back() == '#') {
                QString d = s.mid(1, s.size() - 2).toString();
                QDateTime dt = d.size() == 8    ? QDateTime::fromString(d, QStringLiteral("yyyyMMdd"))
                               : d.size() == 14 ? QDateTime::fromString(d, QStringLiteral("yyyyMMddHHmmss"))
                                                : QDateTime();
                if (!dt.isValid()) fail();
                r.number = true;
                r.num = DateTimeToDays(dt);
                return r;
            }
            try {
                r.num = evaluateExpression(s);
                r.number = true;
                return r;
            } catch (const TReportException& e) {
                // Not a number: read as a text below; limits still stop the run.
                if (e.Message.contains(QLatin1String("too deep"))) throw;
            }
            if (s.size() >= 3 && s[0] >= 'A' && s[0] <= 'Z' && s[1] == '.') {
                // A misspelt field stops the run here as it does in if(A.NAME): compared as its error
                // mark it would silently decide every record.
                const int slot = s[0].unicode() - 'A';
                const QStringView name = s.mid(2);
                const bool byIndex = name.size() > 1 && name[0] == '#' && name[1].isDigit();
                if (!slotOpen(slot) || (!byIndex && !slots_[size_t(slot)].ds->FindField(name.toString())))
                    fail();
                TReportValue v;
                fieldValue(slot, name, {}, v);
                r.text = v.plain();
                return r;
            }
            if (!lookupNameText(s, r.text)) fail();
            return r;
        };
        Side l = read(t.left(pos)), r = read(t.mid(pos + op.size()));
        const bool textOp = op == u"%%" || op == u"%";
        if (l.number && r.number && !textOp) {
            if (op == u"==" || op == u"=") return l.num == r.num;
            if (op == u"<>") return l.num != r.num;
            if (op == u">") return l.num > r.num;
            if (op == u"<") return l.num < r.num;
            if (op == u">=") return l.num >= r.num;
            return l.num <= r.num;
        }
        QString ls = l.number ? FormatNumberPicture(l.num, {}) : l.text;
        QString rs = r.number ? FormatNumberPicture(r.num, {}) : r.text;
        if (op == u"==") return ls == rs;
        if (op == u"%%") return ls.contains(rs, Qt::CaseInsensitive);
        if (op == u"%") return ls.startsWith(rs, Qt::CaseInsensitive);
        // One collator for the run of the program (the default one is per thread and never freed).
        static const QCollator collator = [] {
            QCollator c;
            c.setCaseSensitivity(Qt::CaseInsensitive);
            return c;
        }();
        int cmp = collator.compare(ls, rs);
        if (op == u"=") return cmp == 0;
        if (op == u"<>") return cmp != 0;
        if (op == u">") return cmp > 0;
        if (op == u"<") return cmp < 0;
        if (op == u">=") return cmp >= 0;
        return cmp <= 0;
    }
    if (t.compare(u"\"FALSE\"", Qt::CaseInsensitive) == 0) return false;
    if (t.compare(u"\"TRUE\"", Qt::CaseInsensitive) == 0) return true;
    if (t.size() >= 3 && t[0] >= 'A' && t[0] <= 'Z' && t[1] == '.') {
        int slot = t[0].unicode() - 'A';
        if (!slotOpen(slot)) fail();
        TDataSet* ds = slots_[size_t(slot)].ds;
        QStringView name = t.mid(2);
        if (name == u"0") return ds->IsEmpty();
        if (name == u"@") return slots_[size_t(slot)].eof;
        TField* f = ds->FindField(name.toString());
        if (!f) fail();
        if (slots_[size_t(slot)].eof || ds->IsEmpty()) return false;
        QVariant v = currentValue(slot, f);
        if (!v.isValid()) return false;
        if (v.typeId() == QMetaType::QString) {
            QString s = v.toString().trimmed();
            if (s.compare(u"true", Qt::CaseInsensitive) == 0 || s == u"1") return true;
            if (s.compare(u"false", Qt::CaseInsensitive) == 0 || s == u"0" || s.isEmpty()) return false;
            fail();
        }
        return v.toBool();
    }
    return fail();
}
