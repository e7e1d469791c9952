#pragma once
// Savers that keep grids between runs: string grids (sizes and cells), data grids (appearance, column
// order, widths and visibility) and the data grid's own features (sorting, filters, footer, cell
// conditions, design lists). Damaged or foreign settings never break a window: an unknown field, a bad
// number or a missing section is passed over.
#include "custom_prop_save.h"

#include <functional>

class TkDBGrid;
class TPropSaveFile;

class TGridsPropSave : public TCustomPropSave {
    Q_OBJECT
public:
    using TCustomPropSave::TCustomPropSave;
    bool StoreMetrix = true;
    bool StoreStrings = true;
    bool StoreRowColCount = true;
    bool KeepColCount = false;

    void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                          const QString& key) override;
    bool CanSave(QObject* component) const override;
};

class TDBGridsPropSave : public TCustomPropSave {
    Q_OBJECT
public:
    using TCustomPropSave::TCustomPropSave;
    bool StoreColumns = true;
    bool StoreColumnsProp = false;
    bool EraseUnusedSection = true;
    double ScaleRatio = 1.0;
    // Names the data a grid shows (a table, a query). When set, a stored column layout, sorting and
    // filter are applied only to the data they were saved with.
    std::function<QString(TkDBGrid*)> OnGetDataName;

    void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                          const QString& key) override;
    bool CanSave(QObject* component) const override;

protected:
    bool DataMatches(TPropSaveFile& store, TkDBGrid* grid, const QString& key) const;
    // The parts that need the grid's fields (columns; sorting and filters below) wait for its data
    // when it shows none yet, and are read once it opens.
    virtual void ReadDataParts(TPropSaveFile& store, TkDBGrid* grid, const QString& key);
    virtual void SaveDataParts(TPropSaveFile& store, TkDBGrid* grid, const QString& key);
    virtual void DeleteParts(TPropSaveFile& store, TkDBGrid* grid, const QString& key);
    virtual void ReadGrid(TPropSaveFile& store, TkDBGrid* grid, const QString& key);
    virtual void SaveGrid(TPropSaveFile& store, TkDBGrid* grid, const QString& key);
};

class TkDBGridsPropSave : public TDBGridsPropSave {
    Q_OBJECT
public:
    using TDBGridsPropSave::TDBGridsPropSave;
    bool StoreFieldsGroup = false;
    bool StoreFooterRow = false;
    bool StoreFilterSetting = false;
    bool StoreDesignSetting = false;
    // Called after each run over a grid.
    std::function<void(TkDBGrid*, TPropSaveAction, TPropSaveFile*)> OnReadSaveProps;

    void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                          const QString& key) override;

protected:
    void ReadDataParts(TPropSaveFile& store, TkDBGrid* grid, const QString& key) override;
    void SaveDataParts(TPropSaveFile& store, TkDBGrid* grid, const QString& key) override;
    void DeleteParts(TPropSaveFile& store, TkDBGrid* grid, const QString& key) override;
    void ReadGrid(TPropSaveFile& store, TkDBGrid* grid, const QString& key) override;
    void SaveGrid(TPropSaveFile& store, TkDBGrid* grid, const QString& key) override;
};
