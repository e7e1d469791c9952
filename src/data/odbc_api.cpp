#include "odbc_api.h"

#include "exceptions.h"

namespace odbc {
Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    SQLRETURN rc = SQLAllocHandle(type, parent, &h_);
    if (!Ok(rc)) {
        h_ = SQL_NULL_HANDLE;
        throw EDatabaseError(QStringLiteral("Cannot allocate an ODBC handle (type %1)").arg(type));
    }
}

Handle& Handle::operator=(Handle&& o) noexcept {
    if (this != &o) {
        reset();
        type_ = o.type_;
        h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
}

void Handle::reset() {
    if (h_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, h_);
    h_ = SQL_NULL_HANDLE;
}

QString Handle::diagnostics() const {
    QString out;
    if (!h_) return out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR msg[2048];
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRecW(type_, h_, i, state, &native, msg, SQLSMALLINT(std::size(msg)), &len);
        if (!Ok(rc)) break;
        len = std::min<SQLSMALLINT>(len, SQLSMALLINT(std::size(msg) - 1));
        QString text = FromW(msg, len).trimmed();
        if (!out.isEmpty()) out += '\n';
        out += QStringLiteral("[%1] %2").arg(FromW(state, 5), text);
    }
    return out;
}

QString Handle::sqlState() const {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR msg[8];
    SQLSMALLINT len = 0;
    if (!h_ || !Ok(SQLGetDiagRecW(type_, h_, 1, state, &native, msg, SQLSMALLINT(std::size(msg)), &len)))
        return {};
    return FromW(state, 5);
}

void Handle::check(SQLRETURN rc, const QString& context) const {
    if (Ok(rc) || rc == SQL_NO_DATA) return;
    QString diag = diagnostics();
    if (diag.isEmpty())
        diag = rc == SQL_INVALID_HANDLE ? QStringLiteral("invalid handle") : QStringLiteral("no details");
    throw EDatabaseError(context.isEmpty() ? diag : context + ": " + diag);
}

void AppendUtf8(const char16_t* p, size_t units, std::string& out) {
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = p[i];
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c <= 0xDBFF && i + 1 < units && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(p[i + 1]) - 0xDC00);
                ++i;
            } else {
                c = 0xFFFD;
            }
        }
        if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

bool ReadPieces(SQLHSTMT st, SQLUSMALLINT col, SQLSMALLINT cType, std::string& out, const Handle& h) {
    out.clear();
    const bool text = cType == SQL_C_WCHAR;
    char chunk[32768];
    std::u16string units;
    for (;;) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(st, col, cType, chunk, sizeof chunk, &ind);
        if (rc == SQL_NO_DATA) break;
        h.check(rc, QStringLiteral("Reading column %1").arg(col));
        if (ind == SQL_NULL_DATA) return false;
        const SQLLEN room = text ? SQLLEN(sizeof chunk) - 2 : SQLLEN(sizeof chunk);
        const SQLLEN got = (ind == SQL_NO_TOTAL || ind > room) ? room : ind;
        if (text)
            units.append(reinterpret_cast<const char16_t*>(chunk), size_t(got / 2));
        else
            out.append(chunk, size_t(got));
        if (rc == SQL_SUCCESS) break;
    }
    if (text) AppendUtf8(units.data(), units.size(), out);
    return true;
}

QString InfoText(SQLHDBC dbc, SQLUSMALLINT info) {
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!Ok(SQLGetInfoW(dbc, info, buf, sizeof(buf), &len))) return {};
    return FromW(buf, std::min<qsizetype>(len / 2, qsizetype(std::size(buf) - 1)));
}
} // namespace odbc
