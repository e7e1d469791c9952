#pragma once
// Field values as SQL literals, in the SQL Server form of the shared SQL settings or in the form of
// another dialect. The hot path writes UTF-8 straight from a cell of the column store.
#include "dialect.h"
#include "field_types.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

class TField;

// One value in its storage form (see ColumnStore): Int, Bool and DateTime use i, Float uses f, Text and
// Bytes use bytes (text is UTF-8).
struct SqlCell {
    bool null = true;
    int64_t i = 0;
    double f = 0;
    std::string_view bytes;
    // Text and Bytes: the value is of the other storage class than its column's (a blob among texts, a
    // text among blobs) and is written in the form of its own class.
    bool otherClass = false;
};

// The literal forms of one dialect, read from the shared SQL settings when constructed.
class SqlLiteralForms {
public:
    explicit SqlLiteralForms(const Dialect& dialect);
    const Dialect& dialect() const { return dialect_; }

    // Appends the literal of a value of the given field type; returns its length in characters
    // (UTF-16 units, as the line wrapping counts them).
    size_t append(std::string& out, TFieldType type, const SqlCell& cell) const;

    // What ends every statement: nothing for SQL Server (GO lines separate its batches), ";" otherwise.
    const std::string& statementEnd() const { return statementEnd_; }

private:
    size_t appendText(std::string& out, std::string_view text) const;
    // A text value as the database stores it: appendText, unless SQLite holds bytes no literal can.
    size_t appendStoredText(std::string& out, std::string_view text) const;
    size_t appendBinary(std::string& out, std::string_view bytes) const;
    size_t appendFloat(std::string& out, double v) const;
    size_t appendTemporal(std::string& out, TFieldType type, int64_t ms) const;

    Dialect dialect_;
    std::string null_, true_, false_, quote_, lineBreak_, statementEnd_;
    std::string dateOpen_, timeOpen_, dateTimeOpen_, temporalClose_;
    bool fullDateTime_; // SQL Server writes dates and times as full date-times
    std::string binaryOpen_, binaryClose_;
    bool blobAsMemo_;
    bool backslashEscapes_ = false; // a backslash in a text literal is written twice
};

// The current record's value of a field (the edit buffer while editing) as a cell; text and bytes live in
// holder. Raises naming the field when the value does not fit its type.
SqlCell CurrentCell(const TField& field, QByteArray& holder);

// The current record's value of a field as a literal (the edit buffer while editing); with withName
// prefixed by the quoted field name and "=". Raises naming the field when its value cannot be read.
QString ValueLiteral(const TField& field, bool withName = false);
QString ValueLiteral(const TField& field, bool withName, const Dialect& dialect);

// Length in UTF-16 units of UTF-8 text.
size_t Utf16Length(std::string_view utf8);
