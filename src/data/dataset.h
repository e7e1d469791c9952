#pragma once
// The client-side dataset: every fetched row lives in a column store; sorting and filtering build an
// index vector over row ids and never move data. A bookmark is a stable row id.
#include "column_store.h"
#include "field.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class FilterProgram;
class RecordWriter;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
enum TFilterOption { foCaseInsensitive = 1 };

using TBookmark = qint64; // a row id; -1 is no bookmark

// What observers (grid models, list boxes) are told.
enum class DataEvent {
    LayoutChanged,  // opened, closed, fields changed
    DataSetChanged, // rows re-ordered, filtered, reloaded
    RecordChanged,  // the row at `row` (view position) changed its values
    RowInserted,    // a row was inserted at `row`
    RowRemoved,     // the row at `row` was removed
    Scrolled,       // the current record moved to `row`
    StateChanged,   // edit / insert / browse
};

class IDataSetObserver {
public:
    virtual ~IDataSetObserver() = default;
    virtual void dataSetEvent(TDataSet& ds, DataEvent ev, int row) = 0;
};

class TDataSet {
public:
    TDataSet();
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // --- opening
    void Open();
    void Close();
    bool Active() const { return state_ != dsInactive; }
    void setActive(bool a) { a ? Open() : Close(); }
    virtual void Requery();

    // --- fields
    int FieldCount() const { return int(order_.size()); }
    TField* Fields(int i) const { return order_[size_t(i)]; }
    TField* FindField(const QString& name) const;   // case-insensitive; nullptr when missing
    TField* FieldByName(const QString& name) const; // raises when missing
    QVariant FieldValue(const QString& name) const { return FieldByName(name)->AsVariant(); }
    void moveField(TField* f, int index);
    int fieldPosition(const TField* f) const;
    // Adds a calculated or lookup field (before Open or afterwards).
    TField* addVirtualField(const QString& name, TFieldType type, TFieldKind kind, int size = 0);
    std::function<QVariant(const TDataSet&, const TField&)> OnCalcField; // value of calculated fields

    // --- navigation (positions are 0-based view positions inside; RecNo is 1-based)
    int RecordCount() const { return int(view_.size()); }
    // The records held, whatever the filter: fetched and added ones, less the deleted.
    int LoadedCount() const { return int(store_.rowCount()) - deletedCount_; }
    bool IsEmpty() const { return view_.empty(); }
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    int RecNo() const; // 1-based; 0 when empty or inserting
    void setRecNo(int recNo);
    int currentPosition() const { return pos_; } // -1 when empty
    // The view position a record being inserted will take; -1 when not inserting.
    int insertPosition() const { return state_ == dsInsert ? insertAt_ : -1; }

    TBookmark GetBookmark() const;
    void GotoBookmark(TBookmark bm); // raises when the bookmark's row is not in the view
    void FreeBookmark(TBookmark) {}
    bool BookmarkValid(TBookmark bm) const;
    int CompareBookmarks(TBookmark a, TBookmark b) const; // by view order
    int positionOfRow(uint32_t rowId) const;              // -1 when not in the view

    // Names joined by ";", values one variant or a QVariantList. Searches from the first record.
    bool Locate(const QString& keyFields, const QVariant& keyValues, int options = 0);

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // --- state and editing
    TDataSetState State() const { return state_; }
    bool ReadOnly = false; // read-only lock type: editing raises
    void Edit();
    void Append();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    bool Modified() const { return modified_; }
    void CheckBrowseMode(); // posts a pending edit
    // Forgets the loaded rows while staying open (the database keeps them): for writers that append
    // many records and need none of them afterwards. Only in browse state.
    void ForgetRows();
    // Off: a posted new record is written and not kept (the dataset stays as it was), for writers
    // that append many records and read none of them back.
    bool KeepPostedInserts = true;

    // --- filter and sort
    QString Filter() const { return filterText_; }
    void setFilter(const QString& text); // compiles at once when filtering is on; raises on bad text
    bool Filtered() const { return filtered_; }
    void setFiltered(bool on);
    int FilterOptions = 0; // foCaseInsensitive
    QString Sort() const { return sortText_; }
    void setSort(const QString& text); // "A,[B C] DESC"; empty restores the fetched order
    // Re-applies filter and sort (edited rows move to their places).
    void refreshView();

    // --- events
    std::function<void(TDataSet&)> BeforeScroll, AfterScroll, AfterOpen, BeforeDelete, BeforePost, AfterPost,
        BeforeClose;
    // Forward-only reading: set before Open, it is handed the rows in blocks as they are fetched (the
    // dataset open over just that block, calculated fields not yet added), and each block is dropped
    // once it returns, so memory stays flat whatever the row count. The last call (last = true) comes
    // at the end of Open, also for an empty result, and its rows stay loaded. Filter and sort apply
    // to the last block only: leave them off.
    std::function<void(TDataSet&, bool last)> OnBlock;

    void addObserver(IDataSetObserver* o);
    void removeObserver(IDataSetObserver* o);

    // --- direct access for engines (grid model, exports, filters): O(1), no navigation
    const ColumnStore& store() const { return store_; }
    const std::vector<uint32_t>& view() const { return view_; }
    uint32_t rowIdAt(int position) const { return view_[size_t(position)]; }
    // Value of a field at a view position (calculated fields included), ignoring the edit buffer.
    QVariant valueAt(const TField* f, int position) const;
    QVariant valueOfRow(const TField* f, uint32_t rowId) const;
    // The current value of a field: the edit buffer while editing, else the stored row.
    QVariant currentValue(const TField* f) const;
    bool currentIsNull(const TField* f) const;
    void setCurrentValue(const TField* f, const QVariant& v);
    // The current value of a data field in its storage form (false for calculated and lookup fields,
    // and when there is no current record). Engines that copy records use these instead of variants.
    bool currentCell(const TField* f, CellValue& out) const;
    // Whether the current value equals a cell in the field's storage form.
    bool currentEquals(const TField* f, const CellValue& cell) const;
    // Sets a field of the record being edited from a cell already in the field's storage form; the
    // cell is swapped in (it comes back holding the value it replaced).
    void swapCurrentCell(const TField* f, CellValue& cell);

protected:
    // Subclasses fill the store: define the fields (addDataField) and append rows.
    virtual void doOpen() {}
    virtual void doClose() {}
    // Write-back of an edit; the base class keeps changes in memory only.
    virtual void writeUpdate(uint32_t rowId, const std::vector<CellValue>& newValues,
                             const std::vector<bool>& changed) {}
    // Writes a new row; may fill generated values (auto-increment keys) into values.
    virtual void writeInsert(std::vector<CellValue>& values) {}
    virtual void writeDelete(uint32_t rowId) {}

    TField* addDataField(const QString& name, TFieldType type, int size);
    // A fetch in progress reached a block boundary: with OnBlock set, hands the rows so far to it
    // and drops them.
    void fetchedBlock();
    // Rows from firstRow on were added to the store after the open (fetched later): they join the
    // view as fetched rows do; the current record stays.
    void fetchedMore(uint32_t firstRow);
    ColumnStore& mutableStore() { return store_; }
    void resetFields();
    void notify(DataEvent ev, int row = -1);

private:
    friend class TField;
    void rebuildView();
    void setPosition(int pos, bool events = true);
    void checkActive() const;
    void checkEditing(const TField* f) const;
    void startBuffer(uint32_t rowId, bool fromRow);
    void markChanged(size_t column);
    int indexOfField(const TField* f) const;
    void invalidateReverse() { reverse_.clear(); }

    ColumnStore store_;
    std::vector<std::unique_ptr<TField>> fields_; // creation order
    std::vector<TField*> order_;                  // display order (Index)
    std::vector<TFieldType> columnTypes_;
    std::vector<uint32_t> view_;
    mutable std::vector<int> reverse_; // row id -> view position, built on demand
    std::vector<uint8_t> deleted_;
    int deletedCount_ = 0;
    int pos_ = -1;
    bool bof_ = true, eof_ = true;
    TDataSetState state_ = dsInactive;
    std::vector<CellValue> buffer_; // edit buffer, one per data field column, in storage form
    mutable CellValue scratch_;
    std::vector<bool> changed_;
    bool modified_ = false;
    int insertAt_ = -1; // view position the inserted row will take
    int savedPos_ = -1; // position before Insert/Append, for Cancel
    int disableCount_ = 0;
    bool pendingNotify_ = false;
    QString filterText_;
    bool filtered_ = false;
    std::unique_ptr<FilterProgram> filter_;
    QString sortText_;
    std::vector<IDataSetObserver*> observers_;
};

// A switchable binding between a dataset and the controls that show it.
class TDataSource {
public:
    TDataSet* DataSet() const { return dataSet_; }
    void setDataSet(TDataSet* ds);
    std::function<void(TDataSource&)> OnDataSetChanged;
    bool AutoEdit = true; // typing into a grid cell starts editing the record

private:
    TDataSet* dataSet_ = nullptr;
};
