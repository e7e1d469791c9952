#pragma once
// Reads the cells of one exported field straight from the dataset's column store, as UTF-8, without
// a QVariant or QString per cell. Fields with a display format, calculated and lookup fields take the
// field's own formatting (calculated ones for the dataset's current record).
#include "dataset.h"

#include <string>

class ExportEncoding;

class CellReader {
public:
    // Blob bytes are written as text or hexadecimal by the rule of the file's encoding (UTF-8 when
    // none is given).
    CellReader(const TDataSet& ds, TField& field, const ExportEncoding* encoding = nullptr);

    TField& field() const { return *field_; }
    StorageKind kind() const { return kind_; }
    bool isNull(int position) const;
    // The text a grid cell shows (TField::DisplayText: display format applied, memos in full).
    void appendDisplayText(std::string& out, int position) const { append(out, position, true); }
    // The value as text without display formatting (TField::AsString).
    void appendText(std::string& out, int position) const { append(out, position, false); }
    // Float and date-time cells: the value as a float (date-times: days since 1899-12-30).
    double floatAt(int position) const;
    // Date-time cells: milliseconds since 1899-12-30.
    int64_t msAt(int position) const;

private:
    void append(std::string& out, int position, bool display) const;
    QVariant variantAt(int position) const;

    const TDataSet* ds_;
    TField* field_;
    const Column* column_ = nullptr; // nullptr: read through the field
    StorageKind kind_;
    bool memo_;
    bool formatted_; // the field has a display format
    const ExportEncoding* encoding_;
    std::string decimalPoint_; // the locale's, for floats shown without a display format
};

// Appends the date-time text "yyyy-mm-dd", "hh:nn:ss[.zzz]" or "yyyy-mm-dd hh:nn:ss[.zzz]" by type
// (milliseconds when they are not zero);
// returns false (and appends nothing) for years outside 1 to 9999.
bool AppendDateTimeText(std::string& out, int64_t ms, TFieldType type);
