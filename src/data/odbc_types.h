#pragma once
// How ODBC SQL types become field types, and the C type and buffer each field type is fetched with.
#include "field_types.h"

#include <QString>
#include <sql.h>
#include <sqlext.h>

// The field type of a result column or catalog entry. typeName is the driver's own name ("money").
TFieldType OdbcFieldType(SQLSMALLINT sqlType, SQLULEN columnSize, bool isUnsigned, const QString& typeName);

struct OdbcFetchType {
    SQLSMALLINT cType;
    SQLLEN width; // bytes of one value in a bound buffer (0: read in pieces with SQLGetData)
};
// Text and binary wider than these (or of unknown size) are read in pieces rather than bound.
constexpr SQLULEN kMaxBoundChars = 4000;
constexpr SQLULEN kMaxBoundBytes = 8000;
// Characters of a time's text: "hh:mm:ss" and a fraction of up to nine digits, with room to spare.
constexpr SQLLEN kTimeTextChars = 32;
// utf8Narrow: the driver hands narrow (SQL_C_CHAR) text over as UTF-8 unchanged, so bound texts are
// fetched so; converting every value to UTF-16 and back costs some drivers more than the rest of
// the fetch. Long values are still read in UTF-16 pieces.
OdbcFetchType OdbcFetchTypeOf(TFieldType type, SQLULEN columnSize, bool utf8Narrow = false);

// Days since 1899-12-30 of a proleptic Gregorian date.
int64_t OdbcDaySerial(int year, unsigned month, unsigned day);
