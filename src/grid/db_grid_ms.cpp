#include "db_grid_ms.h"

#include "cursor_guard.h"
#include "messages.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>

TkDBGrid_MS::TkDBGrid_MS(QWidget* parent) : TkDBGrid(parent), menu_(new QMenu(this)) {
    struct Item {
        int tag;
        const char* text;
        void (TkDBGrid_MS::*run)();
    };
    const Item items[] = {{1, "Select all records", &TkDBGrid_MS::SelectAll},
                          {2, "Deselect all records", &TkDBGrid_MS::DeSelectAll},
                          {3, "Reverse selection", &TkDBGrid_MS::ReverseSelection}};
    for (const Item& it : items) {
        QAction* a = menu_->addAction(QString::fromLatin1(it.text));
        a->setData(it.tag);
        connect(a, &QAction::triggered, this, [this, run = it.run] { (this->*run)(); });
    }
    menu_->addSeparator();
    QAction* del = menu_->addAction(QStringLiteral("Delete selected records"));
    del->setData(4);
    connect(del, &QAction::triggered, this, [this] { DeleteSelected(); });
}

bool TkDBGrid_MS::ready() const {
    TDataSet* ds = dataSet();
    return UseMultiSelect && ds && ds->Active();
}

bool TkDBGrid_MS::IsActiveSelected() const {
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active() || list_.IsEmpty()) return false;
    return list_.Contains(ds->GetBookmark());
}

std::vector<uint8_t> TkDBGrid_MS::selectedRowMask() const {
    TDataSet* ds = dataSet();
    if (list_.IsEmpty() || !ds || !ds->Active()) return {};
    std::vector<uint8_t> mask(ds->store().rowCount(), 0);
    for (TBookmark bm : list_.items())
        if (bm >= 0 && size_t(bm) < mask.size()) mask[size_t(bm)] = 1;
    return mask;
}

bool TkDBGrid_MS::isRowSelected(int row) const {
    TDataSet* ds = dataSet();
    if (list_.IsEmpty() || !ds || !ds->Active() || row < 0 || row >= ds->RecordCount()) return false;
    return list_.Contains(TBookmark(ds->rowIdAt(row)));
}

void TkDBGrid_MS::selectionChanged() {
    viewport()->update();
    verticalHeader()->viewport()->update();
    multiSelectChanged();
    if (OnSelectionChanged) OnSelectionChanged(this);
}

bool TkDBGrid_MS::SelectCurrent(bool selected) {
    TBookmark bm = TkBookmarkList::CurrentBookmark(dataSet());
    if (bm < 0 || !list_.Set(bm, selected)) return false;
    viewport()->update();
    verticalHeader()->viewport()->update();
    multiSelectChanged();
    return true;
}

bool TkDBGrid_MS::countSelected(int& count, TBookmark bm) {
    ++count;
    if (OnSelectingRecords) OnSelectingRecords(list_, bm);
    if (SelectingConfirmRecCount > 0 && count % SelectingConfirmRecCount == 0)
        return Messages().question(
                   QStringLiteral("There was already selected %1 records, continue?").arg(count)) ==
               MsgAnswer::Yes;
    return true;
}

void TkDBGrid_MS::walkAll(Walk how) {
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active()) return;
    DropStaleEntries(false);
    HourglassCursor wait;
    // The walk reads the view directly: the current record and the visible rows never move, and one
    // merge at the end keeps it linear for millions of records.
    std::vector<TBookmark> add, remove;
    int count = 0;
    const int n = ds->RecordCount();
    for (int pos = 0; pos < n; ++pos) {
        TBookmark bm = ds->rowIdAt(pos);
        bool selected = how == Walk::Select ? true : !list_.Contains(bm);
        if (!selected) {
            remove.push_back(bm);
            continue;
        }
        if (list_.Contains(bm)) continue;
        add.push_back(bm);
        if (!countSelected(count, bm)) break;
    }
    list_.RemoveSorted(remove);
    list_.AddSorted(std::move(add));
    selectionChanged();
}

void TkDBGrid_MS::SelectAll() {
    walkAll(Walk::Select);
}

void TkDBGrid_MS::ReverseSelection() {
    walkAll(Walk::Reverse);
}

void TkDBGrid_MS::DeSelectAll() {
    if (list_.IsEmpty()) return;
    list_.Clear();
    selectionChanged();
}

void TkDBGrid_MS::walkRange(TBookmark anchor) {
    TDataSet* ds = dataSet();
    const int from = ds->currentPosition(), to = ds->positionOfRow(uint32_t(anchor));
    if (from < 0 || to < 0) return;
    const int step = from <= to ? 1 : -1;
    int count = 0;
    for (int pos = from;; pos += step) {
        TBookmark bm = ds->rowIdAt(pos);
        if (list_.Set(bm, true) && !countSelected(count, bm)) break;
        if (pos == to) break;
    }
    selectionChanged();
}

void TkDBGrid_MS::selectionClick(Qt::KeyboardModifiers mods) {
    if (!ready()) return;
    TDataSet* ds = dataSet();
    if ((mods & Qt::ShiftModifier) && !SingleSelect && ds->BookmarkValid(lastSelRow_)) {
        walkRange(lastSelRow_);
        return;
    }
    TBookmark bm = TkBookmarkList::CurrentBookmark(ds);
    if (bm < 0) return;
    list_.Set(bm, !list_.Contains(bm));
    lastSelRow_ = bm;
    selectionChanged();
}

void TkDBGrid_MS::fixedColumnClick(int row, Qt::KeyboardModifiers mods) {
    TDataSet* ds = dataSet();
    TBookmark before = ds && ds->Active() ? ds->GetBookmark() : -1;
    TkDBGrid::fixedColumnClick(row, mods);
    if (!OptionsEx2.FixedCells.FixedColButton) return;
    if ((mods & Qt::ShiftModifier) && ds && ds->BookmarkValid(before) && !ds->BookmarkValid(lastSelRow_))
        lastSelRow_ = before;
    selectionClick(mods);
}

void TkDBGrid_MS::mousePressEvent(QMouseEvent* event) {
    TDataSet* ds = dataSet();
    const TBookmark before = ds && ds->Active() ? ds->GetBookmark() : -1;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const QModelIndex index = indexAt(event->position().toPoint());
    // Ctrl and Shift belong to the record selection, not to the view's own.
    QMouseEvent plain(event->type(), event->position(), event->globalPosition(), event->button(),
                      event->buttons(), Qt::NoModifier);
    TkDBGrid::mousePressEvent(&plain);
    if (event->button() != Qt::LeftButton || !index.isValid() || !ready()) return;
    if (mods & (Qt::ControlModifier | Qt::ShiftModifier) || SelectByClickOnRow) {
        if ((mods & Qt::ShiftModifier) && ds->BookmarkValid(before)) lastSelRow_ = before;
        selectionClick(mods);
    } else if (DeselectAllByClickOnRow) {
        DeSelectAll();
    }
}

void TkDBGrid_MS::keyPressEvent(QKeyEvent* event) {
    TDataSet* ds = dataSet();
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        if (CanDeleteSelected()) {
            DeleteSelected();
            event->accept();
            return;
        }
    }
    const bool shiftArrow = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
                            event->modifiers() == Qt::ShiftModifier && ready();
    const TBookmark before = ds && ds->Active() ? ds->GetBookmark() : -1;
    if (shiftArrow) {
        QKeyEvent plain(event->type(), event->key(), Qt::NoModifier);
        TkDBGrid::keyPressEvent(&plain);
        if (ds->BookmarkValid(before)) lastSelRow_ = before;
        selectionClick(Qt::ShiftModifier);
        return;
    }
    TkDBGrid::keyPressEvent(event);
}

bool TkDBGrid_MS::CanDeleteSelected() {
    TDataSet* ds = dataSet();
    bool allowed = !ReadOnly && AllowEditing && ds && ds->Active() && !ds->ReadOnly;
    if (OnCanDeleteSelected) OnCanDeleteSelected(this, allowed);
    return allowed;
}

bool TkDBGrid_MS::DeleteSelected() {
    if (OnDeleteSelected) {
        OnDeleteSelected(this);
        return false;
    }
    TDataSet* ds = dataSet();
    if (ReadOnly || !ds || !ds->Active() || ds->IsEmpty() || ds->ReadOnly) return false;
    DropStaleEntries(false);
    if (DeleteOnlySelected && list_.IsEmpty()) {
        Messages().warning(QStringLiteral("No record selected."));
        return false;
    }
    if (ConfirmDelete) {
        QString q = list_.Count() < 2 ? QStringLiteral("Delete selected record?")
                                      : QStringLiteral("Delete all selected records?");
        if (Messages().question(q) != MsgAnswer::Yes) return false;
    }
    try {
        if (list_.IsEmpty()) {
            ds->Delete();
        } else {
            HourglassCursor wait;
            ds->DisableControls();
            const auto enable = qScopeGuard([ds] { ds->EnableControls(); });
            while (!list_.IsEmpty()) {
                const int last = list_.Count() - 1;
                ds->GotoBookmark(list_.Items(last));
                ds->Delete();
                list_.Delete(last);
            }
        }
    } catch (const std::exception& e) {
        // A record that cannot be deleted stops the run; what was deleted stays deleted, the rest
        // stays selected so nothing is lost from view.
        selectionChanged();
        ShowException(QStringLiteral("Error: Cannot delete record."), e);
        return false;
    }
    DeSelectAll();
    selectionChanged();
    return true;
}

void TkDBGrid_MS::DropStaleEntries(bool extended) {
    TDataSet* ds = dataSet();
    if (list_.IsEmpty() || !ds || !ds->Active()) return;
    if (ds->State() == dsEdit || ds->State() == dsInsert) ds->CheckBrowseMode();
    // A bookmark is valid only while its record is in the view, so filtered-out and deleted records
    // fall out in the plain check already; the extended check needs nothing more.
    Q_UNUSED(extended);
    std::vector<TBookmark> gone;
    for (TBookmark bm : list_.items())
        if (!ds->BookmarkValid(bm)) gone.push_back(bm);
    if (gone.empty()) return;
    list_.RemoveSorted(gone);
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void TkDBGrid_MS::FilterChangedNotification() {
    const int before = list_.Count();
    try {
        DropStaleEntries(true);
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot save record."), e);
    }
    TkDBGrid::FilterChangedNotification();
    if (list_.Count() != before) {
        multiSelectChanged();
        if (OnSelectionChanged) OnSelectionChanged(this);
    }
}

void TkDBGrid_MS::dataSetLinkChanged() {
    list_.Clear();
    lastSelRow_ = -1;
    TkDBGrid::dataSetLinkChanged();
}

void TkDBGrid_MS::selectAll() {
    if (ready() && OptionsEx2.FixedCells.TitleExBtnSelectAll) SelectAll();
    TkDBGrid::selectAll();
}

void TkDBGrid_MS::updateSelectionMenu() {
    for (QAction* a : menu_->actions())
        if (a->data().toInt() == 4) {
            a->setText(QStringLiteral("Delete selected records") +
                       QStringLiteral(" (%1)").arg(GetSelectedRecCount()));
            a->setEnabled(CanDeleteSelected() && GetSelectedRecCount() > 0);
        }
}

void TkDBGrid_MS::fixedColumnContextMenu(int row, const QPoint& globalPos) {
    if (ShowMultiselectPopup && UseMultiSelect && OptionsEx2.FixedCells.FixedColButton) {
        updateSelectionMenu();
        menu_->exec(globalPos);
        return;
    }
    TkDBGrid::fixedColumnContextMenu(row, globalPos);
}
