#pragma once
// The Qt model over a dataset: reads cells straight from the column store, O(1) per cell.
#include "dataset.h"

#include <QAbstractTableModel>

class DataSetModel : public QAbstractTableModel, private IDataSetObserver {
    Q_OBJECT
public:
    explicit DataSetModel(QObject* parent = nullptr);
    ~DataSetModel() override;

    void setDataSet(TDataSet* ds);
    TDataSet* dataSet() const { return ds_; }
    // The field shown in a column (visible fields in their order).
    TField* fieldAt(int column) const { return columns_[size_t(column)]; }
    // While a record is being inserted it is shown as a row of its own at the place it will take;
    // rows after it move down by one until it is posted or cancelled.
    int insertRow() const { return insertRow_; }
    // The model row of the current record: the record being inserted, else the current position.
    int currentRow() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void currentRowChanged(int row);
    // After the model was reset: the dataset opened, closed or changed its fields ...
    void dataSetLayoutChanged();
    // ... or its rows were re-ordered, filtered or reloaded.
    void dataSetRowsChanged();

private:
    void dataSetEvent(TDataSet& ds, DataEvent ev, int row) override;
    void rebuildColumns();

    TDataSet* ds_ = nullptr;
    std::vector<TField*> columns_;
    int insertRow_ = -1;
};
