#include "record_actions.h"

#include "db_grid_ms.h"
#include "grid_clipboard.h"
#include "messages.h"

#include <QVariant>
#include <vector>

namespace {
TDataSet* openDataSet(TkDBGrid& grid) {
    TDataSet* ds = grid.dataSet();
    return ds && ds->Active() ? ds : nullptr;
}
} // namespace

void RecordEdit(TkDBGrid& grid) {
    TDataSet* ds = openDataSet(grid);
    if (!ds) return;
    ds->Edit();
    // The current cell opens for typing, as F2 does in the cell.
    const QModelIndex cell = grid.currentIndex();
    if (cell.isValid() && cell.row() == grid.dataModel()->currentRow())
        static_cast<QAbstractItemView&>(grid).edit(cell);
}

void RecordNew(TkDBGrid& grid) {
    TDataSet* ds = openDataSet(grid);
    if (!ds) return;
    GoToFirstVisibleColumn(grid);
    ds->Append();
}

void RecordDuplicate(TkDBGrid& grid) {
    TDataSet* ds = openDataSet(grid);
    if (!ds || ds->currentPosition() < 0) return;
    std::vector<QVariant> values;
    values.reserve(size_t(ds->FieldCount()));
    for (int i = 0; i < ds->FieldCount(); ++i)
        values.push_back(ds->Fields(i)->AsVariant());
    const bool hasNext = ds->currentPosition() + 1 < ds->RecordCount();
    if (hasNext) ds->Next();
    GoToFirstVisibleColumn(grid);
    if (hasNext)
        ds->Insert();
    else
        ds->Append();
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        if (!(f->Tag & 1) || f->AutoIncrement) continue;
        try {
            f->setAsVariant(values[size_t(i)]);
        } catch (const std::exception&) {
            // Read-only and calculated fields refuse a value; the copy goes on without it.
        }
    }
}

void RecordDelete(TkDBGrid& grid) {
    if (auto* ms = qobject_cast<TkDBGrid_MS*>(&grid)) {
        ms->DeleteSelected();
        return;
    }
    TDataSet* ds = openDataSet(grid);
    if (!ds || ds->IsEmpty()) return;
    if (grid.ConfirmDelete &&
        Messages().question(QStringLiteral("Delete selected record?")) != MsgAnswer::Yes)
        return;
    try {
        ds->Delete();
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot delete record."), e);
    }
}

void RecordSave(TkDBGrid& grid) {
    if (TDataSet* ds = openDataSet(grid)) ds->Post();
}

void RecordSaveAndNew(TkDBGrid& grid) {
    RecordSave(grid);
    RecordNew(grid);
}

void RecordCancel(TkDBGrid& grid) {
    if (TDataSet* ds = openDataSet(grid)) ds->Cancel();
}
