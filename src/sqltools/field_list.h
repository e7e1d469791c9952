#pragma once
// The field-list routine: the names (or captions, or positions) of the fields of a dataset or the
// columns of a grid, filtered by visibility, kind and category.
#include <QString>
#include <QStringList>

class TDataSet;
class TField;

enum FieldListOption {
    floCaptions = 0x01,    // display captions instead of field names
    floPositions = 0x02,   // positions (decimal text) instead of names
    floVisibleOnly = 0x04, // visible columns or fields only
    floDataOnly = 0x08,    // data fields only (not calculated, not lookup)
    floPlain = 0x10,       // fields of the plain category
    floMemo = 0x20,        // fields of the memo category
    floGraphic = 0x40,     // fields of the graphic category
    floAllFields = 0x80,   // every field regardless of category
};

// The columns a field list is built from. A dataset gives its fields; grids and record views give their
// columns (a column may have no field); a string grid has no fields at all.
class FieldListSource {
public:
    virtual ~FieldListSource() = default;
    virtual int columnCount() const = 0;
    virtual TField* columnField(int i) const = 0; // nullptr when the column has none
    virtual QString columnCaption(int i) const = 0;
    virtual bool columnVisible(int i) const = 0;
    // A string grid: every column is taken, only the visible option filters.
    virtual bool isStringGrid() const { return false; }
};

class DataSetFieldSource : public FieldListSource {
public:
    explicit DataSetFieldSource(const TDataSet& ds) : ds_(ds) {}
    int columnCount() const override;
    TField* columnField(int i) const override;
    QString columnCaption(int i) const override;
    bool columnVisible(int i) const override;

private:
    const TDataSet& ds_;
};

// Clears target and fills it; returns the number of entries.
int FieldList(const FieldListSource& source, QStringList& target, int options);
int FieldList(const TDataSet& ds, QStringList& target, int options);
