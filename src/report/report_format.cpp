#include "report_format.h"

#include "float_text.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

bool ReadNumberText(QStringView text, double& value) {
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 64) return false;
    bool dot = text.contains(QLatin1Char('.')), comma = text.contains(QLatin1Char(','));
    if (dot && comma) return false;
    QString s = text.toString();
    if (comma) s.replace(QLatin1Char(','), QLatin1Char('.'));
    // Only a plain decimal form: digits, one point, an exponent; no "inf", "nan" or hex.
    qsizetype i = 0, n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    qsizetype digits = 0;
    while (i < n && s[i].isDigit())
        ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i].isDigit())
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
        qsizetype exp = 0;
        while (i < n && s[i].isDigit())
            ++i, ++exp;
        if (exp == 0) return false;
    }
    if (i != n) return false;
    bool ok = false;
    value = s.toDouble(&ok);
    return ok;
}

QString FixedNumberText(double v) {
    if (!std::isfinite(v)) return QString::fromStdString(FloatGeneral15(v));
    QString s = QString::number(v, 'f', 17);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    return s;
}

namespace {
QString Localised(QString s) {
    QLocale loc;
    QString dp = loc.decimalPoint(), gs = loc.groupSeparator();
    if (dp == QLatin1String(".") && gs == QLatin1String(",")) return s;
    for (QChar& c : s) {
        if (c == '.')
            c = QChar(1);
        else if (c == ',')
            c = QChar(2);
    }
    s.replace(QChar(1), dp);
    s.replace(QChar(2), gs);
    return s;
}

// Sections of a picture split at ";" outside quotes.
QList<QStringView> Sections(QStringView pic) {
    QList<QStringView> out;
    QChar quote;
    qsizetype start = 0;
    for (qsizetype i = 0; i < pic.size(); ++i) {
        QChar c = pic[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out.append(pic.mid(start, i - start));
            start = i + 1;
        }
    }
    out.append(pic.mid(start));
    return out;
}

struct Picture {
    QString prefix, suffix;
    int minInt = 0, intPlaces = 0, minDec = 0, maxDec = 0, expDigits = 0;
    bool group = false, hasDot = false, sci = false;
    QChar expChar = 'E';
    bool expPlus = false;
};

Picture ReadPicture(QStringView pic) {
    Picture p;
    bool inNumber = false, afterNumber = false, afterDot = false;
    for (qsizetype i = 0; i < pic.size(); ++i) {
        QChar c = pic[i];
        QString* lit = (inNumber || afterNumber) ? &p.suffix : &p.prefix;
        if (c == '"' || c == '\'') {
            qsizetype e = pic.indexOf(c, i + 1);
            if (e < 0) e = pic.size();
            lit->append(pic.mid(i + 1, e - i - 1));
            if (inNumber) afterNumber = true, inNumber = false;
            i = e;
        } else if ((c == '0' || c == '#') && !afterNumber) {
            inNumber = true;
            if (afterDot) {
                ++p.maxDec;
                if (c == '0') p.minDec = p.maxDec;
            } else {
                ++p.intPlaces;
                if (c == '0' || p.minInt > 0) ++p.minInt;
            }
        } else if (c == '.' && !afterNumber && !afterDot) {
            inNumber = true;
            afterDot = p.hasDot = true;
        } else if (c == ',' && !afterNumber && !afterDot) {
            inNumber = true;
            p.group = true;
        } else if ((c == 'E' || c == 'e') && inNumber && i + 1 < pic.size() &&
                   (pic[i + 1] == '+' || pic[i + 1] == '-')) {
            p.sci = true;
            p.expChar = c;
            p.expPlus = pic[i + 1] == '+';
            i += 2;
            while (i < pic.size() && pic[i] == '0')
                ++p.expDigits, ++i;
            --i;
            inNumber = false;
            afterNumber = true;
        } else {
            if (inNumber) afterNumber = true, inNumber = false;
            lit->append(c);
        }
    }
    return p;
}

QString Digits(double a, const Picture& p) {
    QString s = QString::number(a, 'f', std::min(p.maxDec, 30));
    qsizetype dot = s.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        qsizetype keep = dot + 1 + p.minDec;
        while (s.size() > keep && s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    qsizetype intEnd = s.indexOf(QLatin1Char('.'));
    if (intEnd < 0) intEnd = s.size();
    if (s.startsWith(QLatin1Char('0')) && intEnd == 1 && p.minInt == 0 && s.size() > 1) {
        s.remove(0, 1);
        --intEnd;
    }
    if (intEnd < p.minInt) {
        s.prepend(QString(p.minInt - intEnd, QLatin1Char('0')));
        intEnd = p.minInt;
    }
    if (p.group)
        for (qsizetype q = intEnd - 3; q > 0; q -= 3)
            s.insert(q, QLatin1Char(','));
    return s;
}
} // namespace

QString FormatNumberPicture(double v, QStringView picture) {
    if (picture.isEmpty() || !std::isfinite(v)) {
        QString s = QString::fromStdString(FloatGeneral15(v));
        QString dp = QLocale().decimalPoint();
        if (dp != QLatin1String(".")) s.replace(QLatin1Char('.'), dp);
        return s;
    }
    QList<QStringView> sec = Sections(picture);
    QStringView pic = sec[0];
    bool ownNegative = false;
    if (v < 0 && sec.size() > 1 && !sec[1].isEmpty()) pic = sec[1], ownNegative = true;
    if (v == 0 && sec.size() > 2 && !sec[2].isEmpty()) pic = sec[2];
    Picture p = ReadPicture(pic);
    if (p.intPlaces == 0 && p.maxDec == 0 && !p.hasDot) return p.prefix + p.suffix;
    double a = std::fabs(v);
    QString body;
    if (p.sci) {
        int lead = std::max(1, p.intPlaces);
        int exp = 0;
        if (a != 0) {
            exp = int(std::floor(std::log10(a))) - (lead - 1);
            double m = a / std::pow(10.0, exp);
            // Rounding may carry into one more digit (9.996 -> 10.00).
            if (std::round(m * std::pow(10.0, p.maxDec)) >= std::pow(10.0, lead + p.maxDec)) {
                ++exp;
                m = a / std::pow(10.0, exp);
            }
            a = m;
        }
        Picture mp = p;
        mp.group = false;
        body = Digits(a, mp);
        QString e = QString::number(std::abs(exp)).rightJustified(p.expDigits, QLatin1Char('0'));
        body += p.expChar + QString(exp < 0 ? "-" : (p.expPlus ? "+" : "")) + e;
    } else {
        body = Digits(a, p);
    }
    bool negative = v < 0 && !ownNegative && body.contains(QRegularExpression(QStringLiteral("[1-9]")));
    return p.prefix + (negative ? QStringLiteral("-") : QString()) + Localised(body) + p.suffix;
}

bool SplitScientific(const QString& formatted, QString& mantissa, QString& exponent) {
    qsizetype e = formatted.indexOf(QLatin1Char('E'));
    if (e < 0) return false;
    mantissa = formatted.left(e);
    QString x = formatted.mid(e + 1);
    QString sign;
    if (x.startsWith(QLatin1Char('+')))
        x.remove(0, 1);
    else if (x.startsWith(QLatin1Char('-')))
        sign = QStringLiteral("-"), x.remove(0, 1);
    while (x.size() > 1 && x.startsWith(QLatin1Char('0')))
        x.remove(0, 1);
    exponent = sign + x;
    return true;
}

QDateTime DaysToDateTime(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3e6) days = 0;
    double whole = std::floor(days);
    qint64 ms = qint64(std::llround((days - whole) * 86400000.0));
    QDateTime dt(QDate(1899, 12, 30).addDays(qint64(whole)), QTime(0, 0));
    return dt.addMSecs(ms);
}

double DateTimeToDays(const QDateTime& dt) {
    return double(QDate(1899, 12, 30).daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

QString LongTimeText(const QLocale& loc, QTime t) {
    // The locale's long form ends in a time-zone name, which a database value does not have.
    const QString format = loc.timeFormat(QLocale::LongFormat);
    QString own;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == '\'') quoted = !quoted;
        if (quoted || c != 't') {
            own += c;
            continue;
        }
        while (!own.isEmpty() && own.back().isSpace())
            own.chop(1);
        while (i + 1 < format.size() && format[i + 1] == 't')
            ++i;
    }
    return loc.toString(t, own.trimmed());
}

QString FormatDatePicture(const QDateTime& dt, QStringView pic) {
    QLocale loc;
    QDate d = dt.date();
    QTime t = dt.time();
    QString out;
    bool afterHour = false;
    qsizetype i = 0, n = pic.size();
    auto run = [&](QChar c) {
        qsizetype k = i;
        while (k < n && pic[k].toLower() == c)
            ++k;
        return k - i;
    };
    bool twelve = pic.contains(u"am/pm", Qt::CaseInsensitive) || pic.contains(u"a/p", Qt::CaseInsensitive);
    while (i < n) {
        QChar c = pic[i], lc = c.toLower();
        if (c == '"' || c == '\'') {
            qsizetype e = pic.indexOf(c, i + 1);
            if (e < 0) e = n;
            out += pic.mid(i + 1, e - i - 1);
            i = e + 1;
            continue;
        }
        if (pic.mid(i).startsWith(u"am/pm", Qt::CaseInsensitive)) {
            out += t.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            i += 5;
            continue;
        }
        if (pic.mid(i).startsWith(u"a/p", Qt::CaseInsensitive)) {
            out += t.hour() < 12 ? QStringLiteral("a") : QStringLiteral("p");
            i += 3;
            continue;
        }
        qsizetype k = run(lc);
        switch (lc.unicode()) {
        case 'd':
            if (k >= 6)
                out += loc.toString(d, QLocale::LongFormat), k = 6;
            else if (k == 5)
                out += loc.toString(d, QLocale::ShortFormat);
            else if (k == 4)
                out += loc.dayName(d.dayOfWeek(), QLocale::LongFormat);
            else if (k == 3)
                out += loc.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += QString::number(d.day()).rightJustified(int(k), QLatin1Char('0'));
            break;
        case 'm':
            if (afterHour && k <= 2) {
                out += QString::number(t.minute()).rightJustified(int(k), QLatin1Char('0'));
                break;
            }
            if (k >= 4)
                out += loc.monthName(d.month(), QLocale::LongFormat), k = 4;
            else if (k == 3)
                out += loc.monthName(d.month(), QLocale::ShortFormat);
            else
                out += QString::number(d.month()).rightJustified(int(k), QLatin1Char('0'));
            break;
        case 'y':
            if (k <= 2)
                out += QString::number(d.year() % 100).rightJustified(2, QLatin1Char('0'));
            else
                out += QString::number(d.year()).rightJustified(4, QLatin1Char('0'));
            break;
        case 'h': {
            int h = t.hour();
            if (twelve) h = h % 12 == 0 ? 12 : h % 12;
            k = std::min<qsizetype>(k, 2);
            out += QString::number(h).rightJustified(int(k), QLatin1Char('0'));
            break;
        }
        case 'n':
            k = std::min<qsizetype>(k, 2);
            out += QString::number(t.minute()).rightJustified(int(k), QLatin1Char('0'));
            break;
        case 's':
            k = std::min<qsizetype>(k, 2);
            out += QString::number(t.second()).rightJustified(int(k), QLatin1Char('0'));
            break;
        case 'z':
            k = k >= 3 ? 3 : 1;
            out += k == 3 ? QString::number(t.msec()).rightJustified(3, QLatin1Char('0'))
                          : QString::number(t.msec());
            break;
        case 'c':
            k = 1;
            out += loc.toString(d, QLocale::ShortFormat);
            if (t.msecsSinceStartOfDay() != 0) out += QLatin1Char(' ') + LongTimeText(loc, t);
            break;
        case 't':
            k = std::min<qsizetype>(k, 2);
            out += k == 2 ? LongTimeText(loc, t) : loc.toString(t, QLocale::ShortFormat);
            break;
        case '/':
            k = 1;
            out += loc.dateFormat(QLocale::ShortFormat).contains(QLatin1Char('.')) ? QStringLiteral(".")
                                                                                   : QStringLiteral("/");
            break;
        default:
            k = 1;
            out += c;
        }
        afterHour = lc == 'h' || (afterHour && !(lc.isLetter()));
        i += k;
    }
    return out;
}

QString FormatMaskText(QStringView mask, QStringView text) {
    // The mask's own sections (";1;_") are not part of the picture.
    qsizetype semi = mask.indexOf(QLatin1Char(';'));
    if (semi >= 0) mask = mask.left(semi);
    QString out;
    qsizetype t = 0;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        QChar c = mask[i];
        switch (c.unicode()) {
        case '\\':
            if (++i < mask.size()) out += mask[i];
            break;
        case '0':
        case '9':
        case '#':
        case 'L':
        case 'l':
        case 'A':
        case 'a':
        case 'C':
        case 'c':
            if (t < text.size()) out += text[t++];
            break;
        case '>':
        case '<':
        case '!':
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString AlignText(const QString& s, QStringView alignment) {
    if (alignment.isEmpty()) return s;
    bool ok = false;
    int n = alignment.mid(1).trimmed().toInt(&ok);
    if (!ok || n <= 0) return s;
    n = std::min(n, 100000);
    if (s.size() >= n) return s.left(n);
    return alignment[0] == '<' ? s.leftJustified(n, QLatin1Char(' ')) : s.rightJustified(n, QLatin1Char(' '));
}
