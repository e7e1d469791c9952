#include "sql_literals.h"

#include "column_store.h"
#include "comp_config.h"
#include "dataset.h"
#include "exceptions.h"
#include "field.h"
#include "float_text.h"
#include "sql_names.h"

#include <charconv>
#include <cmath>

namespace {
std::string utf8(const QString& s) {
    return s.toStdString();
}

// Splits a dialect's literal around its text: "CONVERT(DATETIME, '" and "', 102)".
void splitTemplate(const QString& literal, const QString& marker, std::string& open, std::string& close) {
    qsizetype at = literal.indexOf(marker);
    open = utf8(literal.left(at));
    close = utf8(literal.mid(at + marker.size()));
}

const char kHex[] = "0123456789ABCDEF";

bool isTextLike(std::string_view b) {
    // Valid UTF-8 without NUL: anything else is binary and is written as a binary literal.
    size_t i = 0, n = b.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(b[i]);
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (more < 0 || i + size_t(more) >= n) return false;
        for (int k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(b[i + size_t(k)]) & 0xC0) != 0x80) return false;
        i += size_t(more) + 1;
    }
    return true;
}
} // namespace

size_t Utf16Length(std::string_view s) {
    size_t n = 0;
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) ++n;
        if (c >= 0xF0) ++n; // outside the basic plane: a surrogate pair
    }
    return n;
}

SqlLiteralForms::SqlLiteralForms(const Dialect& dialect) : dialect_(dialect) {
    const TkDBToolCfg& cfg = VemoCompConfig().kDBToolCfg;
    const DialectKind kind = dialect.kind();
    null_ = "null";
    blobAsMemo_ = cfg.BlobField_ftBlobAsMemo;
    const QString marker = QStringLiteral("\x01");
    splitTemplate(dialect.dateTimeLiteral(marker), marker, dateTimeOpen_, temporalClose_);
    fullDateTime_ = kind == DialectKind::MSSQL;
    dateOpen_ = timeOpen_ = dateTimeOpen_;
    switch (kind) {
    case DialectKind::MSSQL:
        true_ = utf8(cfg.SQLScript_BooleanTrueValue);
        false_ = utf8(cfg.SQLScript_BooleanFalseValue);
        quote_ = utf8(cfg.SQLScript_StringFieldQuotes);
        lineBreak_ = "' + char(13) + char(10) + '";
        binaryOpen_ = "0x";
        break;
    case DialectKind::SQLite:
        // "+" adds numbers in SQLite; "||" joins texts.
        lineBreak_ = "' || char(13) || char(10) || '";
        binaryOpen_ = "X'";
        binaryClose_ = "'";
        statementEnd_ = ";";
        break;
    case DialectKind::PostgreSQL:
        lineBreak_ = "' || chr(13) || chr(10) || '";
        binaryOpen_ = "'\\x";
        binaryClose_ = "'::bytea";
        dateOpen_ = "DATE '";
        timeOpen_ = "TIME '";
        statementEnd_ = ";";
        break;
    case DialectKind::MySQL:
        // Backslash starts an escape in its string literals (the servers' default mode), so a CR LF
        // pair is written as one and a backslash as two.
        lineBreak_ = "\\r\\n";
        backslashEscapes_ = true;
        binaryOpen_ = "X'";
        binaryClose_ = "'";
        dateOpen_ = "DATE '";
        timeOpen_ = "TIME '";
        statementEnd_ = ";";
        break;
    }
    if (kind != DialectKind::MSSQL) {
        true_ = utf8(dialect.booleanLiteral(true));
        false_ = utf8(dialect.booleanLiteral(false));
        quote_ = "'";
    }
}

size_t SqlLiteralForms::append(std::string& out, TFieldType type, const SqlCell& cell) const {
    if (cell.null) {
        out += null_;
        return null_.size();
    }
    switch (StorageOf(type)) {
    case StorageKind::Int: {
        // Whole numbers are written exactly: the 15-digit float form would change values of 16 digits and
        // more (a 19-digit key would become 1.23456789012346E18).
        char buf[24];
        char* end = std::to_chars(buf, buf + sizeof buf, cell.i).ptr;
        out.append(buf, end);
        return size_t(end - buf);
    }
    case StorageKind::Float:
        return appendFloat(out, cell.f);
    case StorageKind::Bool: {
        const std::string& s = cell.i ? true_ : false_;
        out += s;
        return Utf16Length(s);
    }
    case StorageKind::DateTime:
        return appendTemporal(out, type, cell.i);
    case StorageKind::Text:
        return cell.otherClass ? appendBinary(out, cell.bytes) : appendStoredText(out, cell.bytes);
    case StorageKind::Bytes:
        if (cell.otherClass && (isTextLike(cell.bytes) || dialect_.kind() == DialectKind::SQLite))
            return appendStoredText(out, cell.bytes);
        // SQLite keeps the storage class per value: a blob stays a blob there, or a round trip would
        // turn it into text.
        if (type == ftBlob && dialect_.kind() != DialectKind::SQLite && blobAsMemo_ && isTextLike(cell.bytes))
            return appendText(out, cell.bytes);
        return appendBinary(out, cell.bytes);
    }
    return 0;
}

size_t SqlLiteralForms::appendText(std::string& out, std::string_view text) const {
    // Quotes doubled, the whole wrapped, then every CR LF pair turned into a concatenation that keeps
    // the statement on one line; a lone CR or LF stays as it is.
    const size_t start = out.size();
    out += quote_;
    size_t from = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c == '\'' || (c == '\\' && backslashEscapes_)) {
            out.append(text.data() + from, i + 1 - from);
            out += c;
            from = i + 1;
        } else if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
            out.append(text.data() + from, i - from);
            out += lineBreak_;
            from = i + 2;
            ++i;
        }
    }
    out.append(text.data() + from, n - from);
    out += quote_;
    return Utf16Length(std::string_view(out).substr(start));
}

size_t SqlLiteralForms::appendStoredText(std::string& out, std::string_view text) const {
    if (dialect_.kind() != DialectKind::SQLite || isTextLike(text)) return appendText(out, text);
    // SQLite text may hold any bytes (a NUL, invalid UTF-8) that no text literal can: the bytes, cast
    // back to text so the value keeps its class.
    const size_t start = out.size();
    out += "CAST(";
    appendBinary(out, text);
    out += " AS TEXT)";
    return out.size() - start;
}

size_t SqlLiteralForms::appendBinary(std::string& out, std::string_view bytes) const {
    const size_t start = out.size();
    out += binaryOpen_;
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    out += binaryClose_;
    return out.size() - start;
}

size_t SqlLiteralForms::appendFloat(std::string& out, double v) const {
    if (!std::isfinite(v)) {
        // No dialect here has a portable literal for these; null is at least a statement that runs.
        out += null_;
        return null_.size();
    }
    std::string s = FloatGeneral15(v);
    double back = 0;
    std::from_chars(s.data(), s.data() + s.size(), back);
    if (back != v) {
        // 15 digits do not give this value back (0.15000000000000002): write as many as it takes.
        for (int digits = 16; digits <= 17; ++digits) {
            char buf[40];
            char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits).ptr;
            std::from_chars(buf, end, back);
            s.assign(buf, end);
            if (back == v) break;
        }
        // The exponent in the general form's style: "1.2345678901234567E18", "1E-5".
        size_t e = s.find('e');
        if (e != std::string::npos) {
            size_t d = e + 2;
            while (d + 1 < s.size() && s[d] == '0')
                ++d;
            s = s.substr(0, e) + 'E' + (s[e + 1] == '-' ? "-" : "") + s.substr(d);
        }
    }
    out += s;
    return s.size();
}

size_t SqlLiteralForms::appendTemporal(std::string& out, TFieldType type, int64_t ms) const {
    const size_t start = out.size();
    const bool date = fullDateTime_ || type != ftTime;
    const bool time = fullDateTime_ || type != ftDate;
    out += type == ftDate && !fullDateTime_   ? dateOpen_
           : type == ftTime && !fullDateTime_ ? timeOpen_
                                              : dateTimeOpen_;
    // Milliseconds only when there are some, so whole seconds keep the classic form.
    dtconv::AppendIso(out, ms, date, time, true);
    out += temporalClose_;
    return out.size() - start;
}

QString ValueLiteral(const TField& field, bool withName) {
    return ValueLiteral(field, withName, Dialect(DialectKind::MSSQL));
}

SqlCell CurrentCell(const TField& field, QByteArray& holder) {
    QVariant stored;
    QVariant v = field.AsVariant();
    if (!ConvertForStorage(v, field.DataType, stored))
        throw EDatabaseError(QStringLiteral("Field '%1': the value '%2' is not a valid %3 value")
                                 .arg(field.FieldName, v.toString(), FieldTypeName(field.DataType)));
    SqlCell cell;
    cell.null = !stored.isValid();
    if (cell.null) return cell;
    switch (StorageOf(field.DataType)) {
    case StorageKind::Float:
        cell.f = stored.toDouble();
        break;
    case StorageKind::Bool:
        cell.i = stored.toBool();
        break;
    case StorageKind::Text:
    case StorageKind::Bytes: {
        // A value of the other storage class than its column's (a blob among texts keeps its bytes).
        const TDataSet* ds = field.DataSet();
        if (field.column() >= 0 && ds && ds->State() == dsBrowse && ds->currentPosition() >= 0)
            cell.otherClass =
                ds->store().column(size_t(field.column())).isOtherClass(ds->rowIdAt(ds->currentPosition()));
        else
            cell.otherClass =
                StorageOf(field.DataType) == StorageKind::Text && v.typeId() == QMetaType::QByteArray;
        holder = v.typeId() == QMetaType::QByteArray        ? v.toByteArray()
                 : stored.typeId() == QMetaType::QByteArray ? stored.toByteArray()
                                                            : stored.toString().toUtf8();
        cell.bytes = std::string_view(holder.constData(), size_t(holder.size()));
        break;
    }
    default:
        cell.i = stored.toLongLong();
    }
    return cell;
}

QString ValueLiteral(const TField& field, bool withName, const Dialect& dialect) {
    QByteArray holder;
    const SqlCell cell = CurrentCell(field, holder);
    std::string out;
    SqlLiteralForms(dialect).append(out, field.DataType, cell);
    QString literal = QString::fromStdString(out);
    return withName ? QuoteFieldName(field.FieldName, dialect) + '=' + literal : literal;
}
