#include "odbc_types.h"

#include "column_store.h"

TFieldType OdbcFieldType(SQLSMALLINT sqlType, SQLULEN columnSize, bool isUnsigned, const QString& typeName) {
    switch (sqlType) {
    case SQL_CHAR:
        return ftFixedChar;
    case SQL_WCHAR:
        return ftFixedWideChar;
    case SQL_VARCHAR:
        return ftString;
    case SQL_WVARCHAR:
        return ftWideString;
    case SQL_LONGVARCHAR:
        return ftMemo;
    case SQL_WLONGVARCHAR:
        return ftWideMemo;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        if (typeName.contains(QLatin1String("money"), Qt::CaseInsensitive)) return ftCurrency;
        return columnSize > 18 ? ftFMTBcd : ftBCD;
    case SQL_TINYINT:
        return isUnsigned ? ftByte : ftShortint;
    case SQL_SMALLINT:
        return isUnsigned ? ftWord : ftSmallint;
    case SQL_INTEGER:
        return isUnsigned ? ftLongWord : ftInteger;
    case SQL_BIGINT:
        return ftLargeint;
    case SQL_REAL:
        return ftSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return ftFloat;
    case SQL_BIT:
        return ftBoolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return ftDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case -154 /* SQL Server time(n) */:
        return ftTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return ftDateTime;
    case SQL_GUID:
        return ftGuid;
    case SQL_BINARY:
        return ftBytes;
    case SQL_VARBINARY:
        return ftVarBytes;
    case SQL_LONGVARBINARY:
        return ftBlob;
    case -152 /* SQL Server xml */:
        return ftWideMemo;
    default:
        return ftWideString; // intervals, time zones, driver types: read as text
    }
}

OdbcFetchType OdbcFetchTypeOf(TFieldType type, SQLULEN columnSize, bool utf8Narrow) {
    switch (type) {
    case ftDate:
        return {SQL_C_TYPE_DATE, SQLLEN(sizeof(SQL_DATE_STRUCT))};
    case ftTime:
        // The time structure has no fraction of a second: a time is read as its text ("12:00:00.5").
        if (utf8Narrow) return {SQL_C_CHAR, kTimeTextChars + 1};
        return {SQL_C_WCHAR, 2 * (kTimeTextChars + 1)};
    case ftGuid:
        if (utf8Narrow) return {SQL_C_CHAR, 40};
        return {SQL_C_WCHAR, 2 * 40};
    default:
        break;
    }
    switch (StorageOf(type)) {
    case StorageKind::Int:
        return {SQL_C_SBIGINT, 8};
    case StorageKind::Float:
        return {SQL_C_DOUBLE, 8};
    case StorageKind::Bool:
        return {SQL_C_BIT, 1};
    case StorageKind::DateTime:
        return {SQL_C_TYPE_TIMESTAMP, SQLLEN(sizeof(SQL_TIMESTAMP_STRUCT))};
    case StorageKind::Bytes:
        if (IsBlobType(type) || columnSize == 0 || columnSize > kMaxBoundBytes) return {SQL_C_BINARY, 0};
        return {SQL_C_BINARY, SQLLEN(columnSize)};
    case StorageKind::Text:
        if (IsBlobType(type) || columnSize == 0 || columnSize > kMaxBoundChars) return {SQL_C_WCHAR, 0};
        // A character may take four UTF-8 bytes or two UTF-16 units; one more for the terminator.
        if (utf8Narrow) return {SQL_C_CHAR, SQLLEN(4 * columnSize + 1)};
        return {SQL_C_WCHAR, SQLLEN(2 * (2 * columnSize + 1))};
    }
    return {SQL_C_WCHAR, 0};
}

int64_t OdbcDaySerial(int year, unsigned month, unsigned day) {
    return dtconv::DaysFromCivil(year, month, day);
}
