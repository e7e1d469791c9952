#include "field_types.h"

StorageKind StorageOf(TFieldType t) {
    switch (t) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftLongWord:
    case ftShortint:
    case ftByte:
        return StorageKind::Int;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
    case ftExtended:
    case ftSingle:
        return StorageKind::Float;
    case ftBoolean:
        return StorageKind::Bool;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        return StorageKind::DateTime;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
        return StorageKind::Bytes;
    default:
        return StorageKind::Text;
    }
}

const char* FieldTypeName(TFieldType t) {
    static const char* names[] = {
        "Unknown",    "String",   "Smallint", "Integer",   "Word",     "Boolean",       "Float",
        "Currency",   "BCD",      "Date",     "Time",      "DateTime", "Bytes",         "VarBytes",
        "AutoInc",    "Blob",     "Memo",     "Graphic",   "FmtMemo",  "TypedBinary",   "FixedChar",
        "WideString", "Largeint", "Guid",     "TimeStamp", "FMTBcd",   "FixedWideChar", "WideMemo",
        "LongWord",   "Shortint", "Byte",     "Extended",  "Single"};
    return t <= ftSingle ? names[t] : "Unknown";
}

bool IsIntegerType(TFieldType t) {
    return StorageOf(t) == StorageKind::Int;
}
bool IsNumericType(TFieldType t) {
    return IsIntegerType(t) || StorageOf(t) == StorageKind::Float;
}
bool IsDateTimeType(TFieldType t) {
    return StorageOf(t) == StorageKind::DateTime;
}
bool IsStringType(TFieldType t) {
    return t == ftString || t == ftWideString || t == ftGuid || t == ftFixedChar || t == ftFixedWideChar;
}
bool IsMemoType(TFieldType t) {
    return t == ftMemo || t == ftFmtMemo || t == ftWideMemo;
}
bool IsBinaryType(TFieldType t) {
    return StorageOf(t) == StorageKind::Bytes;
}
bool IsBlobType(TFieldType t) {
    return IsMemoType(t) || t == ftBlob || t == ftGraphic || t == ftTypedBinary;
}

bool IsPlainType(TFieldType t) {
    switch (t) {
    case ftString:
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftAutoInc:
    case ftWideString:
    case ftLargeint:
    case ftGuid:
    case ftTimeStamp:
    case ftFMTBcd:
    case ftLongWord:
    case ftShortint:
    case ftByte:
    case ftExtended:
    case ftSingle:
        return true;
    default:
        return false;
    }
}

bool IsQuotedTextType(TFieldType t) {
    switch (t) {
    case ftString:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftBlob:
    case ftMemo:
    case ftFmtMemo:
    case ftWideString:
    case ftGuid:
    case ftTimeStamp:
    case ftWideMemo:
        return true;
    default:
        return false;
    }
}
