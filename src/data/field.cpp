#include "field.h"

#include "comp_config.h"
#include "dataset.h"
#include "exceptions.h"

#include <QFile>
#include <QLocale>

TField::TField(TDataSet* dataSet, int column, const QString& name, TFieldType type, int size)
    : FieldName(name), DataType(type), Size(size), dataSet_(dataSet), column_(column) {
    Alignment = IsNumericType(type) ? Qt::AlignRight : Qt::AlignLeft;
}

// Numbers and date-times are as wide as their longest display text, so a fixed-width column never
// cuts one. Every integer is stored in 64 bits (SQLite keeps any integer in any integer column).
int TField::DisplayWidth() const {
    if (displayWidth_ >= 0) return displayWidth_;
    switch (StorageOf(DataType)) {
    case StorageKind::Text:
        if (IsMemoType(DataType)) return 10;
        return Size > 0 ? Size : 20;
    case StorageKind::Bool:
        return 5;
    case StorageKind::DateTime:
        return DataType == ftDate ? 10 : (DataType == ftTime ? 12 : 23); // milliseconds: hh:nn:ss.zzz
    case StorageKind::Bytes:
        return 10;
    case StorageKind::Int:
        return 20; // -9223372036854775807
    case StorageKind::Float:
        return 24; // 15 digits with sign, point and exponent (-1.23456789012345E-300), and spare
    }
    return 10;
}

int TField::Index() const {
    return dataSet_->fieldPosition(this);
}
void TField::setIndex(int index) {
    dataSet_->moveField(this, index);
}

bool TField::IsNull() const {
    return dataSet_->currentIsNull(this);
}
QVariant TField::AsVariant() const {
    return dataSet_->currentValue(this);
}

namespace {
// Converts a picture such as "dd.mm.yyyy hh:nn:ss" to Qt's date-time format.
QString qtDateFormat(const QString& f) {
    QString out;
    for (qsizetype i = 0; i < f.size();) {
        QChar c = f[i].toLower();
        qsizetype n = 1;
        while (i + n < f.size() && f[i + n].toLower() == c)
            ++n;
        QString run = f.mid(i, n);
        if (c == 'n')
            out += QString(n >= 2 ? 2 : 1, 'm');
        else if (c == 'm')
            out += QString(n >= 4 ? 4 : n, 'M');
        else if (c == 'y')
            out += n <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
        else if (c == 'd' || c == 'h' || c == 's')
            out += QString(std::min<qsizetype>(n, c == 'd' ? 4 : 2), c);
        else if (c == 'z')
            out += QStringLiteral("zzz");
        else if (c.isLetter())
            out += '\'' + run + '\'';
        else
            out += run;
        i += n;
    }
    return out;
}

// Numbers by a picture: "0.00", "#,##0.00", "0.###".
QString formatNumber(double v, const QString& picture) {
    QString pic = picture.section(';', 0, 0);
    qsizetype dot = pic.indexOf('.');
    int minDec = 0, maxDec = 0;
    if (dot >= 0)
        for (qsizetype i = dot + 1; i < pic.size(); ++i) {
            if (pic[i] == '0')
                ++minDec, ++maxDec;
            else if (pic[i] == '#')
                ++maxDec;
            else
                break;
        }
    bool group = pic.left(dot < 0 ? pic.size() : dot).contains(',');
    QString s = QString::number(v, 'f', maxDec);
    if (maxDec > minDec) {
        while (s.contains('.') && s.endsWith('0') && s.size() - s.indexOf('.') - 1 > minDec)
            s.chop(1);
        if (s.endsWith('.')) s.chop(1);
    }
    if (group) {
        qsizetype intEnd = s.indexOf('.');
        if (intEnd < 0) intEnd = s.size();
        qsizetype start = s.startsWith('-') ? 1 : 0;
        for (qsizetype p = intEnd - 3; p > start; p -= 3)
            s.insert(p, ',');
    }
    QLocale loc;
    if (loc.decimalPoint() != QLatin1String(".") || loc.groupSeparator() != QLatin1String(",")) {
        s.replace(',', QChar(0x1)).replace('.', loc.decimalPoint()).replace(QChar(0x1), loc.groupSeparator());
    }
    return s;
}
} // namespace

QString TField::formatValue(const QVariant& v) const {
    if (!v.isValid()) return QString();
    switch (StorageOf(DataType)) {
    case StorageKind::Int:
        if (!DisplayFormat.isEmpty()) return formatNumber(double(v.toLongLong()), DisplayFormat);
        return QString::number(v.toLongLong());
    case StorageKind::Float: {
        if (!DisplayFormat.isEmpty()) return formatNumber(v.toDouble(), DisplayFormat);
        QString s = QString::number(v.toDouble(), 'g', 15);
        QString dp = QLocale().decimalPoint();
        if (dp != QLatin1String(".")) s.replace('.', dp);
        return s;
    }
    case StorageKind::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case StorageKind::DateTime: {
        if (!DisplayFormat.isEmpty()) {
            QString f = qtDateFormat(DisplayFormat);
            if (DataType == ftDate) return v.toDate().toString(f);
            if (DataType == ftTime) return v.toTime().toString(f);
            return v.toDateTime().toString(f);
        }
        return dtconv::TemporalText(v, DataType);
    }
    case StorageKind::Text:
        return v.toString();
    case StorageKind::Bytes:
        return IsMemoField(*this) ? QString::fromUtf8(v.toByteArray()) : QString::fromLatin1(v.toByteArray());
    }
    return v.toString();
}

QString TField::AsString() const {
    QVariant v = AsVariant();
    if (!v.isValid()) return QString();
    if (StorageOf(DataType) == StorageKind::Bytes) return formatValue(v);
    QString saved;
    // AsString ignores the display format.
    if (DisplayFormat.isEmpty()) return formatValue(v);
    TField copy(*this);
    copy.DisplayFormat.clear();
    return copy.formatValue(v);
}

QString TField::DisplayText() const {
    QVariant v = AsVariant();
    if (StorageOf(DataType) == StorageKind::Bytes && !IsMemoField(*this) && v.isValid())
        return IsGraphicField(*this) ? QStringLiteral("(GRAPHIC)") : QStringLiteral("(BLOB)");
    if (v.typeId() == QMetaType::QByteArray && StorageOf(DataType) == StorageKind::Text)
        return QStringLiteral("(BLOB)"); // a blob among the texts of a column without a declared type
    return formatValue(v);
}

qint64 TField::AsInteger() const {
    QVariant v = AsVariant();
    if (!v.isValid()) return 0;
    bool ok;
    qint64 r = v.typeId() == QMetaType::Double ? qint64(v.toDouble()) : v.toLongLong(&ok);
    if (v.typeId() == QMetaType::QString && !ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
    return r;
}

double TField::AsFloat() const {
    QVariant v = AsVariant();
    if (!v.isValid()) return 0;
    if (StorageOf(DataType) == StorageKind::DateTime) {
        QVariant s;
        ConvertForStorage(v, DataType, s);
        return dtconv::ToDays(s.toLongLong());
    }
    bool ok;
    double d = v.toDouble(&ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
    return d;
}

bool TField::AsBoolean() const {
    QVariant v = AsVariant();
    if (!v.isValid()) return false;
    QVariant s;
    if (!ConvertForStorage(v, ftBoolean, s))
        throw EDatabaseError(QStringLiteral("'%1' is not a valid boolean value").arg(v.toString()));
    return s.toBool();
}

QDateTime TField::AsDateTime() const {
    QVariant v = AsVariant();
    if (!v.isValid()) return QDateTime();
    QVariant s;
    if (!ConvertForStorage(v, ftDateTime, s))
        throw EDatabaseError(QStringLiteral("'%1' is not a valid date and time").arg(v.toString()));
    return dtconv::ToDateTime(s.toLongLong());
}

QByteArray TField::AsBytes() const {
    QVariant v = AsVariant();
    if (v.typeId() == QMetaType::QByteArray) return v.toByteArray();
    return v.isValid() ? v.toString().toUtf8() : QByteArray();
}

void TField::setAsVariant(const QVariant& v) {
    if (dataSet_->State() == dsBrowse) dataSet_->Edit();
    dataSet_->setCurrentValue(this, v);
}

void TField::setAsString(const QString& s) {
    // An empty text clears every field but a string.
    if (s.isEmpty() && !IsStringType(DataType) && !IsMemoType(DataType))
        setAsVariant(QVariant());
    else
        setAsVariant(s);
}

void TField::LoadFromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot open file \"%1\".").arg(path));
    setAsVariant(f.readAll());
}

void TField::SaveToFile(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EDatabaseError(QStringLiteral("Cannot create file \"%1\".").arg(path));
    f.write(AsBytes());
}

// ---- categories

bool IsPlainField(const TField& f) {
    return IsPlainType(f.DataType);
}

bool IsMemoField(const TField& f) {
    if (IsMemoType(f.DataType)) return true;
    return f.DataType == ftBlob && VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo;
}

bool IsGraphicField(const TField& f) {
    if (f.DataType == ftGraphic) return true;
    if (!IsBlobType(f.DataType) || IsMemoField(f)) return false;
    if (f.DataType == ftTypedBinary) return true;
    QByteArray b = f.DataSet()->Active() ? f.AsBytes() : QByteArray();
    return b.startsWith("BM") || b.startsWith("\x89PNG") || b.startsWith("\xFF\xD8") || b.startsWith("GIF8");
}

bool IsDateTimeField(const TField& f) {
    return IsDateTimeType(f.DataType);
}
bool IsQuotedTextField(const TField& f) {
    return IsQuotedTextType(f.DataType);
}
bool IsDataField(const TField& f) {
    return f.FieldKind == fkData;
}
bool IsNumericField(const TField& f) {
    return IsNumericType(f.DataType);
}
bool IsBooleanField(const TField& f) {
    return f.DataType == ftBoolean;
}
