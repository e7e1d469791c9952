#pragma once
// How PostgreSQL types become field types, and how their text forms (COPY and query results) are read
// into the column store without a conversion object per value.
#include "column_store.h"

#include <QString>

// Type oids of the built-in types the provider reads by value.
namespace pgoid {
enum : unsigned {
    Bool = 16,
    Bytea = 17,
    Char = 18,
    Name = 19,
    Int8 = 20,
    Int2 = 21,
    Int4 = 23,
    Text = 25,
    Oid = 26,
    Json = 114,
    Xml = 142,
    Float4 = 700,
    Float8 = 701,
    Money = 790,
    BpChar = 1042,
    VarChar = 1043,
    Date = 1082,
    Time = 1083,
    Timestamp = 1114,
    TimestampTz = 1184,
    Interval = 1186,
    TimeTz = 1266,
    Numeric = 1700,
    Uuid = 2950,
    Jsonb = 3802,
};
}

// How a column's text is read.
enum class PgRead : uint8_t { Int, Float, Numeric, Bool, Date, Time, DateTime, Bytea, Text };

// How a column's value is read from binary COPY. None: the type has no binary reader here, so a result
// with such a column comes as text.
enum class PgBinary : uint8_t {
    None,
    Int2,
    Int4,
    Oid,
    Int8,
    Float4,
    Float8,
    Numeric,
    Bool,
    Date,
    Time,
    Timestamp,
    Text,
    Jsonb,
    Uuid,
    Bytea
};

struct PgType {
    TFieldType type;
    PgRead read;
    int size; // characters of a sized string type (0: unknown or not a string)
    PgBinary binary = PgBinary::None;
};
// typmod: the column's type modifier (-1: none). Numerics of up to 15 digits are doubles; wider or
// unconstrained numerics start as doubles and become their decimal text once a value needs more digits.
PgType PgTypeOf(unsigned oid, int typmod);
// Precision and scale of a numeric type modifier (false: unconstrained).
bool PgNumericPrecision(int typmod, int& precision, int& scale);

// Appends one value's text to its column. Returns false (appending nothing) for a numeric whose digits
// a double cannot hold: the caller turns the column into text and appends again. Raises naming the
// column for a value the column cannot hold (a date outside the calendar the program keeps).
bool PgAppendText(Column& c, PgRead read, std::string_view text, TextArena& arena, std::string& tmp,
                  const QString& column);

// Big-endian integers of the binary forms.
inline uint16_t PgBe16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(u[0] << 8 | u[1]);
}
inline uint32_t PgBe32(const char* p) {
    return uint32_t(PgBe16(p)) << 16 | PgBe16(p + 2);
}
inline uint64_t PgBe64(const char* p) {
    return uint64_t(PgBe32(p)) << 32 | PgBe32(p + 4);
}

// Appends one value's binary form to its column, giving the same value its text form gives. Numerics
// are not read here: PgNumericText turns them into their text. Raises naming the column for a value
// the column cannot hold or a form that does not fit the type.
void PgAppendBinary(Column& c, PgBinary binary, std::string_view value, TextArena& arena, std::string& tmp,
                    const QString& column);
// The text the server writes for a numeric's binary form (sign, base-10000 digits, display scale):
// every digit kept. Raises naming the column for a malformed form.
void PgNumericText(std::string_view value, std::string& out, const QString& column);
// The value of a numeric's binary form as a double, when the digits its text shows are at most 15 (at
// most those PgAppendText lets a numeric column read as a number) and the double is the one its text
// reads as; false otherwise (and for NaN and infinities): the text's way then decides.
bool PgNumericDouble(std::string_view value, double& out);
