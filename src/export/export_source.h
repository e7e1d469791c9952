#pragma once
// What the export engines read: a dataset with its exported columns, in order, and (for a grid) the
// grid's selected-row test.
#include "action_after.h"

#include <QString>
#include <functional>
#include <vector>

class TDataSet;
class TField;

// A grid column's own look: background colour (0xRRGGBB), font name and size, bold.
struct ExportColumnLook {
    static constexpr unsigned kNone = 0xFFFFFFFFu;
    unsigned Background = kNone; // kNone: the window colour
    QString FontName;            // empty: the grid's font
    double FontSize = 0;
    bool Bold = false;
};

// The look a grid gives one data cell as it paints it (not drawn as selected): colours 0xRRGGBB.
struct ExportCellLook {
    static constexpr unsigned kNone = 0xFFFFFFFFu;
    unsigned Background = kNone; // kNone: the window colour
    unsigned FontColor = kNone;  // kNone: the window text colour
    bool Bold = false;
    bool operator==(const ExportCellLook&) const = default;
};

struct ExportColumn {
    TField* field;
    QString title; // the column caption (grid title, display label)
    ExportColumnLook look = {};
};

class TExportSource {
public:
    virtual ~TExportSource() = default;
    virtual TSourceType SourceType() const = 0;
    // The dataset whose records are written; nullptr or a closed one makes the export return false.
    virtual TDataSet* DataSet() const = 0;
    // The exported columns: plain fields, memo and graphic fields when asked, only visible ones when
    // asked.
    virtual std::vector<ExportColumn> Columns(bool onlyVisible, bool withMemos,
                                              bool withGraphics = false) const = 0;
    // Whether the source can tell selected records apart (grids).
    virtual bool HasSelection() const { return false; }
    // Whether the dataset's current record is selected.
    virtual bool IsSelected() const { return true; }
    // Whether the source gives its cells looks of their own (a grid's colours and conditions).
    virtual bool HasCellLooks() const { return false; }
    // The look of field's cell in the record at view position `position` of the dataset.
    virtual void CellLook(const TField* field, int position, ExportCellLook& look) const {
        (void)field, (void)position, (void)look;
    }
};

// A dataset: its fields in order, display labels as titles.
class TDataSetSource : public TExportSource {
public:
    explicit TDataSetSource(TDataSet* ds) : ds_(ds) {}
    TSourceType SourceType() const override { return stDataset; }
    TDataSet* DataSet() const override { return ds_; }
    std::vector<ExportColumn> Columns(bool onlyVisible, bool withMemos,
                                      bool withGraphics = false) const override;

private:
    TDataSet* ds_;
};

// A grid's column as the grid shows it.
struct TGridColumn {
    QString FieldName;
    QString Title;
    bool Visible = true;
    ExportColumnLook Look = {};
};

// A data grid: its columns in order with their titles, and its selection of records. A thin adapter
// that the grid fills; columns whose field the dataset does not have are left out.
class TGridSource : public TExportSource {
public:
    TGridSource(TDataSet* ds, std::vector<TGridColumn> columns, std::function<bool()> isSelected = {})
        : ds_(ds), columns_(std::move(columns)), isSelected_(std::move(isSelected)) {}
    TSourceType SourceType() const override { return stGrid; }
    TDataSet* DataSet() const override { return ds_; }
    std::vector<ExportColumn> Columns(bool onlyVisible, bool withMemos,
                                      bool withGraphics = false) const override;
    bool HasSelection() const override { return bool(isSelected_); }
    bool IsSelected() const override { return !isSelected_ || isSelected_(); }
    // The grid's painting of a cell: field, view position, the look to fill in.
    using CellLookFn = std::function<void(const TField*, int, ExportCellLook&)>;
    void SetCellLooks(CellLookFn fn) { cellLook_ = std::move(fn); }
    bool HasCellLooks() const override { return bool(cellLook_); }
    void CellLook(const TField* field, int position, ExportCellLook& look) const override {
        if (cellLook_) cellLook_(field, position, look);
    }

private:
    TDataSet* ds_;
    std::vector<TGridColumn> columns_;
    std::function<bool()> isSelected_;
    CellLookFn cellLook_;
};

// The sheet cell of an export's first cell, from 1; values below 1 are ignored.
class TExportStartPosition {
public:
    int StartRow() const { return startRow_; }
    int StartCol() const { return startCol_; }
    void setStartRow(int row) {
        if (row >= 1) startRow_ = row;
    }
    void setStartCol(int col) {
        if (col >= 1) startCol_ = col;
    }

protected:
    int startRow_ = 1, startCol_ = 1;
};
