#pragma once
// Small helpers over the unixODBC C API: owned handles, the driver's diagnostics as text, and
// UTF-16 strings for the wide functions (SQLWCHAR is 16 bits on unixODBC).
#include <QString>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <utility>

namespace odbc {
static_assert(sizeof(SQLWCHAR) == 2, "unixODBC with 16-bit SQLWCHAR expected");

inline bool Ok(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent); // raises when the handle cannot be allocated
    ~Handle() { reset(); }
    Handle(Handle&& o) noexcept : type_(o.type_), h_(std::exchange(o.h_, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return h_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return h_ != SQL_NULL_HANDLE; }
    void reset();

    // The diagnostic records, "[SQLSTATE] message" joined by line breaks.
    QString diagnostics() const;
    // The SQLSTATE of the first diagnostic record (empty when there is none).
    QString sqlState() const;
    // Raises EDatabaseError with the context and the diagnostics unless rc succeeded.
    void check(SQLRETURN rc, const QString& context) const;

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE h_ = SQL_NULL_HANDLE;
};

// A QString as a null-terminated SQLWCHAR string (valid while s lives).
inline SQLWCHAR* W(const QString& s) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<ushort*>(s.utf16()));
}
// Catalog-function arguments: nullptr (no restriction) for an empty text.
inline SQLWCHAR* WOrNull(const QString& s) {
    return s.isEmpty() ? nullptr : W(s);
}
inline QString FromW(const SQLWCHAR* p, qsizetype units) {
    return QString(reinterpret_cast<const QChar*>(p), units);
}
// Appends UTF-16 text as UTF-8 (unpaired surrogates become U+FFFD).
void AppendUtf8(const char16_t* p, size_t units, std::string& out);

// Reads a text (SQL_C_WCHAR, stored as UTF-8) or binary value of the current row in pieces;
// returns false for NULL. h is the statement's handle, for the error text.
bool ReadPieces(SQLHSTMT st, SQLUSMALLINT col, SQLSMALLINT cType, std::string& out, const Handle& h);

// String information of a connection (SQLGetInfo).
QString InfoText(SQLHDBC dbc, SQLUSMALLINT info);
} // namespace odbc
