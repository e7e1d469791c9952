#include "cell_reader.h"

#include "float_text.h"
#include "text_encoding.h"

#include <QLocale>
#include <charconv>

namespace {
void AppendUtf8(std::string& out, const QString& s) {
    QByteArray b = s.toUtf8();
    out.append(b.constData(), size_t(b.size()));
}
} // namespace

bool AppendDateTimeText(std::string& out, int64_t ms, TFieldType type) {
    if (type != ftTime) {
        int64_t y;
        unsigned m, d;
        dtconv::CivilFromDays(dtconv::DaysOf(ms), y, m, d);
        if (y < 1 || y > 9999) return false;
    }
    dtconv::AppendIso(out, ms, type != ftTime, type != ftDate, true);
    return true;
}

CellReader::CellReader(const TDataSet& ds, TField& field, const ExportEncoding* encoding)
    : ds_(&ds), field_(&field), kind_(StorageOf(field.DataType)), memo_(IsMemoField(field)),
      formatted_(!field.DisplayFormat.isEmpty()), encoding_(encoding) {
    static const ExportEncoding kUtf8;
    if (!encoding_) encoding_ = &kUtf8;
    if (field.column() >= 0) column_ = &ds.store().column(size_t(field.column()));
    QString dp = QLocale().decimalPoint();
    if (dp != QLatin1String(".")) decimalPoint_ = dp.toStdString();
}

QVariant CellReader::variantAt(int position) const {
    return column_ ? ds_->valueAt(field_, position) : field_->AsVariant();
}

bool CellReader::isNull(int position) const {
    return column_ ? column_->isNull(ds_->rowIdAt(position)) : !variantAt(position).isValid();
}

double CellReader::floatAt(int position) const {
    if (!column_) return field_->AsFloat();
    uint32_t row = ds_->rowIdAt(position);
    if (kind_ == StorageKind::Float) return column_->floatAt(row);
    if (kind_ == StorageKind::DateTime) return dtconv::ToDays(column_->intAt(row));
    return double(column_->intAt(row));
}

int64_t CellReader::msAt(int position) const {
    if (!column_) return dtconv::FromDateTime(field_->AsDateTime());
    return column_->intAt(ds_->rowIdAt(position));
}

void CellReader::append(std::string& out, int position, bool display) const {
    if (!column_ || (display && formatted_)) {
        QVariant v = variantAt(position);
        if (!v.isValid()) return;
        if (display)
            AppendUtf8(out, field_->formatValue(v));
        else {
            TField plain(*field_);
            plain.DisplayFormat.clear();
            AppendUtf8(out, plain.formatValue(v));
        }
        return;
    }
    uint32_t row = ds_->rowIdAt(position);
    if (column_->isNull(row)) return;
    switch (kind_) {
    case StorageKind::Int: {
        char buf[24];
        out.append(buf, size_t(std::to_chars(buf, buf + sizeof buf, column_->intAt(row)).ptr - buf));
        return;
    }
    case StorageKind::Float: {
        char buf[kFloatGeneral15Max];
        char* end = FloatPrintf15To(buf, column_->floatAt(row));
        if (decimalPoint_.empty()) {
            out.append(buf, size_t(end - buf));
        } else {
            for (char* p = buf; p < end; ++p)
                if (*p == '.')
                    out += decimalPoint_;
                else
                    out += *p;
        }
        return;
    }
    case StorageKind::Bool:
        out += column_->intAt(row) ? "True" : "False";
        return;
    case StorageKind::DateTime:
        if (!AppendDateTimeText(out, column_->intAt(row), field_->DataType))
            AppendUtf8(out, field_->formatValue(ds_->valueAt(field_, position)));
        return;
    case StorageKind::Text:
        out.append(column_->bytesAt(row, ds_->store().arena()));
        return;
    case StorageKind::Bytes:
        // The grid shows a binary field as "(BLOB)"; its value is its bytes.
        if (display && !memo_)
            out += "(BLOB)";
        else
            encoding_->appendBlob(column_->bytesAt(row, ds_->store().arena()), out);
        return;
    }
}
