#pragma once
// TkDBGrid_MS: the data grid with its own selection of records (a sorted list of bookmarks), chosen by
// clicks on the indicator column, Ctrl and Shift clicks, Shift+arrows or the selection menu.
#include "bookmark_list.h"
#include "db_grid.h"

#include <QColor>

class TkDBGrid_MS : public TkDBGrid {
    Q_OBJECT
public:
    explicit TkDBGrid_MS(QWidget* parent = nullptr);

    bool UseMultiSelect = true;
    bool SingleSelect = false;
    bool SelectByClickOnRow = false;
    bool DeselectAllByClickOnRow = true;
    int SelectingConfirmRecCount = 1000;
    bool ShowMultiselectPopup = true;
    bool DeleteOnlySelected = false;
    QColor SelectedRowsBkColor;   // invalid: the palette's highlight
    QColor SelectedRowsFontColor; // invalid: the palette's highlighted text

    std::function<void(TkDBGrid_MS*)> OnSelectionChanged;
    std::function<void(TkBookmarkList&, TBookmark)> OnSelectingRecords;
    std::function<void(TkDBGrid_MS*)> OnDeleteSelected;
    std::function<void(TkDBGrid_MS*, bool& allowed)> OnCanDeleteSelected;

    const TkBookmarkList& SelectedRows() const { return list_; }
    bool IsActiveSelected() const;
    int GetSelectedRecCount() const { return list_.Count(); }
    bool isRowSelected(int row) const override;
    std::vector<uint8_t> selectedRowMask() const override;
    TBookmark LastSelRow() const { return lastSelRow_; }

    void SelectAll();
    void DeSelectAll();
    void ReverseSelection();
    bool DeleteSelected();
    // Sets the current record's membership; returns true when it changed.
    bool SelectCurrent(bool selected);
    // Toggles the current record, or with Shift extends from the anchor; as a click on the indicator.
    void selectionClick(Qt::KeyboardModifiers mods);
    // Removes entries whose records are gone or filtered out.
    void DropStaleEntries(bool extended);
    bool CanDeleteSelected();

    // Menu items: 1 select all, 2 deselect all, 3 reverse, 4 delete (with the count).
    QMenu* SelectionMenu() const { return menu_; }
    void updateSelectionMenu();

    void fixedColumnClick(int row, Qt::KeyboardModifiers mods) override;
    void fixedColumnContextMenu(int row, const QPoint& globalPos) override;
    void FilterChangedNotification() override;

public slots:
    void selectAll() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dataSetLinkChanged() override;

private:
    enum class Walk { Select, Reverse };
    void walkAll(Walk how);
    void walkRange(TBookmark anchor);
    // Counts a record selected by a walk; false when the user stops the walk.
    bool countSelected(int& count, TBookmark bm);
    void selectionChanged();
    bool ready() const;

    TkBookmarkList list_;
    TBookmark lastSelRow_ = -1;
    QMenu* menu_;
};
