#pragma once
// Field data types and the field categories the whole program tests.
#include <cstdint>

enum TFieldType : uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftTypedBinary,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd,
    ftFixedWideChar,
    ftWideMemo,
    ftLongWord,
    ftShortint,
    ftByte,
    ftExtended,
    ftSingle
};

// How a column is held in memory.
enum class StorageKind : uint8_t { Int, Float, Bool, DateTime, Text, Bytes };

StorageKind StorageOf(TFieldType t);
const char* FieldTypeName(TFieldType t);

// Categories by data type (the groups callers test).
bool IsIntegerType(TFieldType t);  // integer kinds, auto-increment included
bool IsNumericType(TFieldType t);  // integer, float, currency, BCD, large-integer, auto-increment
bool IsDateTimeType(TFieldType t); // date, time, date-time, time stamp
bool IsStringType(TFieldType t);   // string, wide string, GUID, fixed char
bool IsMemoType(TFieldType t);     // memo, formatted memo, wide memo
bool IsBinaryType(TFieldType t);   // blob, graphic, typed binary, bytes
bool IsBlobType(TFieldType t);     // the large-object types: memos and blobs
// Plain: the types that take part in SQL statements, filters and exports as single values.
bool IsPlainType(TFieldType t);
// Quoted text: the types whose literals are wrapped in the string quote.
bool IsQuotedTextType(TFieldType t);
