#include "ini_values.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString kTab = QStringLiteral("_#9_");
const QString kCr = QStringLiteral("_#13_");
const QString kLf = QStringLiteral("_#10_");

bool ParseInteger(const QString& text, qlonglong& out) {
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t[0] == QLatin1Char('-');
        t.remove(0, 1);
    }
    bool ok = false;
    qulonglong magnitude;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        magnitude = t.mid(2).toULongLong(&ok, 16);
    else
        magnitude = t.toULongLong(&ok, 10);
    if (!ok || t.isEmpty() || !t[0].isLetterOrNumber()) return false;
    if (negative) {
        if (magnitude > qulonglong(std::numeric_limits<qlonglong>::max()) + 1) return false;
        out = qlonglong(0 - magnitude);
    } else {
        if (magnitude > qulonglong(std::numeric_limits<qlonglong>::max())) return false;
        out = qlonglong(magnitude);
    }
    return true;
}

QLocale NumberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// The user's short date with a four-digit year (two digits would lose the century) and long time
// without the time-zone name.
QString DateTimeFormat() {
    const QLocale locale;
    QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy"))) date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    QString time = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    return date + QLatin1Char(' ') + time;
}

QDateTime ParseDateTime(const QString& text) {
    const QLocale locale;
    const QString t = text.trimmed();
    QDateTime dt = locale.toDateTime(t, DateTimeFormat());
    if (!dt.isValid()) {
        const QString format = DateTimeFormat();
        const QDate date = locale.toDate(t, format.left(format.indexOf(QLatin1Char(' '))));
        if (date.isValid()) dt = QDateTime(date, QTime(0, 0));
    }
    if (!dt.isValid()) dt = QDateTime::fromString(t, Qt::ISODate);
    return dt;
}

} // namespace

QString EscapeValueText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('\t'))
            out += kTab;
        else if (c == QLatin1Char('\r'))
            out += kCr;
        else if (c == QLatin1Char('\n'))
            out += kLf;
        else
            out += c;
    }
    return out;
}

QString UnescapeValueText(const QString& text) {
    if (!text.contains(QLatin1String("_#"))) return text;
    QString out = text;
    out.replace(kTab, QStringLiteral("\t"));
    out.replace(kCr, QStringLiteral("\r"));
    out.replace(kLf, QStringLiteral("\n"));
    return out;
}

bool IsNullValue(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

QString ValueToIniText(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return NumberLocale().toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDateTime:
        return QLocale().toString(value.toDateTime(), DateTimeFormat());
    case QMetaType::QDate:
        return QLocale().toString(QDateTime(value.toDate(), QTime(0, 0)), DateTimeFormat());
    default:
        return EscapeValueText(value.toString());
    }
}

QVariant IniTextToValue(const QString& text, const QVariant& def) {
    switch (def.typeId()) {
    case QMetaType::Bool: {
        qlonglong n;
        return ParseInteger(text, n) ? QVariant(n != 0) : def;
    }
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar: {
        qlonglong n;
        if (!ParseInteger(text, n)) return def;
        QVariant v(n);
        // A number that does not fit the caller's type is as unreadable as no number.
        if (!v.convert(def.metaType()) || v.toLongLong() != n) return def;
        return v;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        bool ok = false;
        double d = NumberLocale().toDouble(text.trimmed(), &ok);
        if (!ok) d = QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok) return def;
        QVariant v(d);
        v.convert(def.metaType());
        return v;
    }
    case QMetaType::QDateTime: {
        QDateTime dt = ParseDateTime(text);
        return dt.isValid() ? QVariant(dt) : def;
    }
    case QMetaType::QDate: {
        QDateTime dt = ParseDateTime(text);
        return dt.isValid() ? QVariant(dt.date()) : def;
    }
    default:
        return UnescapeValueText(text);
    }
}

int ColorToBgr(const QColor& color) {
    if (!color.isValid()) return kNoColor;
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor BgrToColor(int bgr) {
    if (bgr == kNoColor) return {};
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
