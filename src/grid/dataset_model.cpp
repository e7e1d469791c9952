#include "dataset_model.h"

#include "comp_config.h"
#include "exceptions.h"
#include "messages.h"

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

DataSetModel::~DataSetModel() {
    if (ds_) ds_->removeObserver(this);
}

void DataSetModel::setDataSet(TDataSet* ds) {
    beginResetModel();
    if (ds_) ds_->removeObserver(this);
    ds_ = ds;
    if (ds_) ds_->addObserver(this);
    rebuildColumns();
    endResetModel();
}

void DataSetModel::rebuildColumns() {
    columns_.clear();
    if (!ds_) return;
    for (int i = 0; i < ds_->FieldCount(); ++i)
        if (ds_->Fields(i)->Visible) columns_.push_back(ds_->Fields(i));
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !ds_ || !ds_->Active()) return 0;
    return ds_->RecordCount() + (insertRow_ >= 0 ? 1 : 0);
}

int DataSetModel::currentRow() const {
    if (insertRow_ >= 0) return insertRow_;
    return ds_ && ds_->Active() ? ds_->currentPosition() : -1;
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !ds_ || index.row() >= rowCount()) return QVariant();
    TField* f = columns_[size_t(index.column())];
    const bool inserted = index.row() == insertRow_;
    const int position = insertRow_ >= 0 && index.row() > insertRow_ ? index.row() - 1 : index.row();
    switch (role) {
    case Qt::DisplayRole: {
        QVariant v = inserted || (ds_->State() == dsEdit && position == ds_->currentPosition())
                         ? ds_->currentValue(f)
                         : ds_->valueAt(f, position);
        if (StorageOf(f->DataType) == StorageKind::Bytes && !IsMemoField(*f) && v.isValid())
            return QStringLiteral("(BLOB)");
        QString s = f->formatValue(v);
        if (s.contains('\n') || s.contains('\r'))
            s.replace(QLatin1String("\r\n"), VemoCompConfig().kDBGridCfg.CellSingleLineEOLSeparator)
                .replace('\n', VemoCompConfig().kDBGridCfg.CellSingleLineEOLSeparator)
                .replace('\r', VemoCompConfig().kDBGridCfg.CellSingleLineEOLSeparator);
        return s;
    }
    case Qt::EditRole:
        return f->formatValue(inserted ? ds_->currentValue(f) : ds_->valueAt(f, position));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(f->Alignment | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (o == Qt::Horizontal)
        return section < int(columns_.size()) ? columns_[size_t(section)]->DisplayLabel() : QVariant();
    return section + 1;
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags fl = QAbstractTableModel::flags(index);
    if (index.isValid() && ds_ && !ds_->ReadOnly) {
        TField* f = columns_[size_t(index.column())];
        if (!f->ReadOnly && f->column() >= 0 && StorageOf(f->DataType) != StorageKind::Bytes)
            fl |= Qt::ItemIsEditable;
    }
    return fl;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !ds_) return false;
    // An editor left as it was opened changes nothing (an empty cell stays NULL).
    if (value.toString() == data(index, Qt::EditRole).toString()) return true;
    TField* f = columns_[size_t(index.column())];
    if (index.row() == insertRow_) {
        // The new record collects its values; it is posted when the user leaves it or saves.
        try {
            f->setAsString(value.toString());
            return true;
        } catch (const std::exception& e) {
            ShowException(QStringLiteral("Error: Cannot save record."), e);
            return false;
        }
    }
    try {
        ds_->setRecNo(index.row() + 1);
        ds_->Edit();
        f->setAsString(value.toString());
        ds_->Post();
        return true;
    } catch (const std::exception& e) {
        ds_->Cancel();
        ShowException(QStringLiteral("Error: Cannot save record."), e);
        return false;
    }
}

void DataSetModel::dataSetEvent(TDataSet&, DataEvent ev, int row) {
    switch (ev) {
    case DataEvent::LayoutChanged:
    case DataEvent::DataSetChanged:
        beginResetModel();
        insertRow_ = ds_ ? ds_->insertPosition() : -1;
        rebuildColumns();
        endResetModel();
        if (ev == DataEvent::LayoutChanged)
            emit dataSetLayoutChanged();
        else
            emit dataSetRowsChanged();
        break;
    case DataEvent::RecordChanged:
        if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        break;
    case DataEvent::RowInserted:
        if (insertRow_ >= 0) {
            // The shown new record was posted: it keeps its row.
            const int was = insertRow_;
            insertRow_ = -1;
            emit dataChanged(index(was, 0), index(was, columnCount() - 1));
            break;
        }
        beginInsertRows({}, row, row);
        endInsertRows();
        break;
    case DataEvent::RowRemoved:
        beginRemoveRows({}, row, row);
        endRemoveRows();
        break;
    case DataEvent::Scrolled:
        emit currentRowChanged(row);
        break;
    case DataEvent::StateChanged: {
        const int at = ds_ ? ds_->insertPosition() : -1;
        if (at >= 0 && insertRow_ < 0) {
            beginInsertRows({}, at, at);
            insertRow_ = at;
            endInsertRows();
            emit currentRowChanged(at);
        } else if (at < 0 && insertRow_ >= 0) { // cancelled
            beginRemoveRows({}, insertRow_, insertRow_);
            insertRow_ = -1;
            endRemoveRows();
            if (ds_->currentPosition() >= 0) emit currentRowChanged(ds_->currentPosition());
        }
        break;
    }
    }
}
