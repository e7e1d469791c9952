#include "import_calc.h"

#include "dataset.h"

namespace {
// Upper case of the letters a to z only; every other character stays.
QString UpperAscii(QString s) {
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
    return s;
}

QChar UpperAscii(QChar c) {
    return c >= u'a' && c <= u'z' ? QChar(c.unicode() - 32) : c;
}

// Characters with codes up to 32 off both ends.
QString TrimControl(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

// count characters from the 1-based start, clamped to the value.
QString Copy(const QString& s, qint64 start, qint64 count) {
    if (start < 1) start = 1;
    if (count <= 0 || start > s.size()) return QString();
    return s.mid(qsizetype(start - 1), qsizetype(std::min<qint64>(count, s.size() - start + 1)));
}

int CommandType(const QString& name) {
    static const std::pair<const char*, int> names[] = {
        {"Trim", ctTrim}, {"Clean", ctClean},   {"RemoveChar", ctRemoveChar},
        {"Left", ctLeft}, {"Right", ctRight},   {"Middle", ctMiddle},
        {"Part", ctPart}, {"FromTo", ctFromTo}, {"Replace", ctReplace},
    };
    for (const auto& [n, t] : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return t;
    return ctUnknown;
}

QString PartOf(const QString& value, const QString& sep, int part) {
    if (value.count(u' ') == value.size()) return QString(); // empty or only blanks
    part &= 0xFF;
    if (sep.isEmpty()) return part <= 1 ? value : QString();
    qsizetype from = 0;
    for (int i = 1; i < part; ++i) {
        const qsizetype at = value.indexOf(sep, from, Qt::CaseInsensitive);
        if (at < 0) return QString();
        from = at + sep.size();
    }
    const qsizetype end = value.indexOf(sep, from, Qt::CaseInsensitive);
    return value.mid(from, end < 0 ? -1 : end - from);
}

QString FromTo(const QString& value, const QString& start, const QString& end) {
    if (start.isEmpty() || end.isEmpty()) return QString();
    const qsizetype a = value.indexOf(start, 0, Qt::CaseInsensitive);
    if (a < 0) return QString();
    const qsizetype from = a + start.size();
    const qsizetype b = value.indexOf(end, from, Qt::CaseInsensitive);
    if (b < 0) return QString();
    return value.mid(from, b - from);
}
} // namespace

bool ParseCalcInt(const QString& text, int& out) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    }
    const QString digits = text.mid(i);
    if (digits.isEmpty()) return false;
    for (QChar c : digits)
        if (!(c.isDigit() && c.unicode() < 128) &&
            !(base == 16 && QStringLiteral("abcdefABCDEF").contains(c)))
            return false;
    bool ok = false;
    const qlonglong v = digits.toLongLong(&ok, base);
    if (!ok || v > qlonglong(INT_MAX) + (negative ? 1 : 0)) return false;
    out = int(negative ? -v : v);
    return true;
}

std::vector<TCalc> ParseCalcs(const QStringList& lines, const TDataSet* target, QStringList* errors,
                              const ImportCharSets& sets) {
    std::vector<TCalc> list;
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const QString line = TrimControl(lines[row]);
        if (line.isEmpty()) continue;
        TCalc c;
        const qsizetype eq = line.indexOf(u'=');
        const QString rest = eq < 0 ? QString() : TrimControl(line.mid(eq + 1));
        c.FieldName = eq < 0 ? line : TrimControl(line.left(eq));
        const qsizetype br = rest.indexOf(u'(');
        const QString name = br < 0 ? rest : rest.left(br);
        QString params = br < 0 ? QString() : rest.mid(br + 1);
        if (params.endsWith(u')')) params.chop(1);
        c.Params = params;
        const qsizetype comma = params.indexOf(u',');
        c.Param1 = comma < 0 ? params : params.left(comma);
        if (comma >= 0) {
            const qsizetype next = params.indexOf(u',', comma + 1);
            c.Param2 = params.mid(comma + 1, next < 0 ? -1 : next - comma - 1);
        }
        c.CalcType = CommandType(name);
        if (c.CalcType == ctClean) {
            const auto is = [&](const char* w) {
                return c.Param1.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
            };
            c.AllowedChars = sets.standard;
            if (!is("All") && !is("Local")) c.AllowedChars += sets.local;
            // The short form is what stored settings hold.
            if (!is("All") && !is("Spec") && !is("Special")) c.AllowedChars += sets.special;
            c.AllowedChars = UpperAscii(c.AllowedChars);
        } else if (c.CalcType == ctRemoveChar) {
            for (const QString& token : params.split(u',')) {
                if (token.startsWith(u'#')) {
                    int code = 0;
                    if (ParseCalcInt(token.mid(1, 255), code) && code > 0 && code <= 0xFFFF)
                        c.ExcludedChars += QChar(code);
                } else {
                    c.ExcludedChars += token;
                }
            }
            c.ExcludedChars = UpperAscii(c.ExcludedChars);
        }
        const int rowNo = int(row) + 1;
        if (c.CalcType == ctUnknown) {
            if (errors)
                *errors << QStringLiteral("Unknown command \"%1\" in row no. %2").arg(name).arg(rowNo);
        } else {
            c.Field = target ? target->FindField(c.FieldName) : nullptr;
            if (!c.Field && errors)
                *errors << QStringLiteral("Unknown field \"%1\" in row no. %2").arg(c.FieldName).arg(rowNo);
        }
        list.push_back(std::move(c));
    }
    return list;
}

QString ApplyCalc(const TCalc& c, const QString& value) {
    const qint64 len = value.size();
    int n1 = int(len), n2 = int(len);
    if (!ParseCalcInt(c.Param1, n1)) n1 = int(len);
    if (!ParseCalcInt(c.Param2, n2)) n2 = int(len);
    switch (c.CalcType) {
    case ctTrim:
        return TrimControl(value);
    case ctClean: {
        QString out;
        out.reserve(value.size());
        for (QChar ch : value)
            if (c.AllowedChars.contains(UpperAscii(ch))) out += ch;
        return out;
    }
    case ctRemoveChar: {
        QString out;
        out.reserve(value.size());
        for (QChar ch : value)
            if (!c.ExcludedChars.contains(UpperAscii(ch))) out += ch;
        return out;
    }
    case ctLeft:
        return Copy(value, 1, n1);
    case ctRight:
        return Copy(value, len - n1 + 1, n1);
    case ctMiddle:
        return Copy(value, n1, n2);
    case ctPart:
        return PartOf(value, c.Param1, n2);
    case ctFromTo:
        return FromTo(value, c.Param1, c.Param2);
    case ctReplace:
        if (c.Param1.isEmpty()) return value;
        return QString(value).replace(c.Param1, c.Param2, Qt::CaseInsensitive);
    default:
        return value;
    }
}

bool ApplyCalcs(const std::vector<TCalc>& calcs, const TField* field, QString& value) {
    bool applied = false;
    for (const TCalc& c : calcs)
        if (c.Field && c.Field == field) {
            value = ApplyCalc(c, value);
            applied = true;
        }
    return applied;
}
