#pragma once
// Strict recognition of typed values in text: a text is taken as a number, date or boolean only when
// reading it that way loses nothing ("007", "1e400", "12345678901234567890" and zone-suffixed times
// stay text).
#include "field_types.h"

#include <cstdint>
#include <string_view>

enum class ValueClass : uint8_t { Null, Bool, Int, Float, Date, DateTime, Time, Text };

ValueClass ClassifyValue(std::string_view s);
// The class two values of one column share (Int and Float give Float, Date and DateTime give
// DateTime, any other mix gives Text; Null takes the other's class).
ValueClass CombineClasses(ValueClass a, ValueClass b);
// The field type of a column whose values are all of the class (ints that fit 32 bits: ftInteger).
TFieldType FieldTypeOfClass(ValueClass c, bool wideInts);

bool ParseIntValue(std::string_view s, int64_t& v);
bool ParseFloatValue(std::string_view s, double& v); // integers too
bool ParseBoolValue(std::string_view s, bool& v);
// Dates, date-times and times of the strict forms; ms as the column store keeps them.
bool ParseDateValue(std::string_view s, ValueClass c, int64_t& ms);
