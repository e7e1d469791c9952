#pragma once
// TkDBGrid: the data grid, a QTableView over a dataset. Titles with sort marks and funnel buttons, an
// indicator column (the vertical header), column width modes, title clicks that ask for sorting,
// editing through the dataset, the current record kept in step with the current row.
#include "cell_conditions.h"
#include "column_groups.h"
#include "column_widths.h"
#include "dataset.h"
#include "dataset_model.h"
#include "footer_row.h"
#include "summary.h"
#include "text_filter.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTableView>
#include <functional>

class QMenu;
class GridFilterPanel;
class TextFilterEditor;
class QPainter;
class GridHeader;
class GridIndicator;

struct TkDBGridAppearance {
    int ColumnMinWidth = 40;
    int ColumnMaxWidth = 200;
    int ColumnWidthMaxRecordsSearch = 2000;
};
enum TOptionFilterCaseSensitivityType { fcsDoNotChange, fcsCaseInsensitive, fcsCaseSensitive };
enum TOptionTextComboStyle { tcsDropDown, tcsDropDownList };

// The column filter options. After changing the visible parts (funnels, the text filter row, the
// filter footer) call TkDBGrid::FiltersChanged().
struct TkDBGridFilters {
    bool FunnelBtn = false;           // a funnel button in every title opens the column's value list
    bool FunnelBtnActiveOnly = false; // the funnel only in the current column's title (and filtered ones)
    bool MultiFieldFilter = false; // column filters of several columns are joined (else one replaces another)
    bool TextBar = false;          // a row of filter texts under the titles
    bool TextBarTopLayout = false; // the text row above the titles instead of under them
    int TextMarginX = 2;           // 0 to 20
    int TextMarginY = 1;           // 0 to 20
    QColor TextBkColor;            // invalid: the window colour
    bool TextListAutoLoad = false; // the editor's list holds the column's distinct values
    bool TextListAddFilter = true; // texts that filtered are kept in the editor's list
    TOptionTextFilterType TextFilterType = oftAnyPos;
    TOptionTextComboStyle TextComboStyle = tcsDropDown;
    QChar TextFilterLikeChar;         // null: the filter settings' wildcard
    QString TextFilterLikeOperator;   // empty: the filter settings' like operator
    bool UseDatePartAsRange = true;   // 2023 or 5/2023 in a date column: the year or month
    bool UseNumberPartAsRange = true; // 12* in a number column: 120 up to below 130
    QString NumberPartWildChar = QStringLiteral("*");
    int SetFilterDelay = 1000;        // ms after the last key before a typed text filters
    bool FilterPanel = false;         // a footer showing the whole filter text
    QColor FilterPanelColor;          // invalid: the button colour
    int FilterPanelPaddingHeight = 2; // the footer is 2 x this + 21 pixels high
    QString FilterPanelButtonList;    // comma-separated button numbers shown in the footer
    TOptionFilterCaseSensitivityType FilterCaseSensitivity = fcsDoNotChange;
};
struct TkDBGridEditors {
    bool ShowMemo = true;        // memo contents are shown (and measured by the data width modes)
    bool DateTimePicker = false; // date-time columns are edited with a picker
    int MemoStringSize = 250;    // string fields declared longer than this are treated as memos
};
struct TkDBGridFixedCells {
    bool TitleExBtnSelectAll = true; // the indicator's title cell selects all records
    bool FixedColButton = true;      // the indicator column reacts to clicks
};
struct TOptionsCellCondition {
    bool Active = false; // the cell conditions colour the cells (SetCellConditionActive repaints)
};
struct TOptionsHighlightText {
    bool Active = false;
    QString HighlightText;
    int FontColor = kNoColor;
    int BkColor = 0x00FFFF;
    bool Bold = false;
    QStringList HighlightInFields; // empty: all fields
};
struct TkDBGridOptionsEx2 {
    TOptionsCellCondition CellCondition;
    TOptionsHighlightText HighlightText;
    TkDBGridAppearance Appearance;
    TkDBGridFilters Filters;
    TkDBGridEditors Editors;
    TkDBGridFixedCells FixedCells;
};

class TkDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TkDBGrid(QWidget* parent = nullptr);
    ~TkDBGrid() override;

    void setDataSource(TDataSource* source);
    TDataSource* DataSource() const { return source_; }
    TDataSet* dataSet() const { return model_->dataSet(); }
    DataSetModel* dataModel() const { return model_; }
    // Re-reads the data source's dataset (after the source switched datasets).
    void dataSourceChanged();

    int Tag = 0;
    TkDBGridOptionsEx2 OptionsEx2;
    QStringList FieldsFixedColumnWidth;
    int TitleLines = 1;
    bool ReadOnly = false;
    bool AllowEditing = true;
    bool ConfirmDelete = true;
    bool ShowIndicator() const;
    void setShowIndicator(bool on);
    int DefaultRowHeight() const;
    double scaleRatio() const;

    // --- column widths
    TColumnWidth ColumnWidth() const { return columnWidth_; }
    void setColumnWidth(TColumnWidth mode);
    using QTableView::setColumnWidth;
    void SetColumnWidth(TColumnWidth mode, int additional = 0);
    void SetOneColumnWidth(TColumnWidth mode, int column, int additional = 0);
    void RestoreColumnsWidth(bool restoreVisibility, bool restorePosition);
    // Column widths by field name (lower case), to put back after the grid showed another dataset.
    QHash<QString, int> ColumnWidthsByField() const;
    void SetColumnWidthsByField(const QHash<QString, int>& widths);
    // Takes the columns as they are now as the design-time snapshot.
    void TakeColumnsSnapshot();
    int TitleWidthOf(int column) const;
    // The widest non-empty cell text (+8) over the first ColumnWidthMaxRecordsSearch + 1 records.
    std::vector<int> DataWidths(bool withTitles) const;

    // --- texts
    QString GetTitleText(int column) const;
    // The display text of a cell (the full text of a memo); row -1 is the current record.
    QString GetCellValue(int column, int row = -1) const;
    TField* fieldOfColumn(int column) const;
    int columnOfField(const QString& name) const; // -1 when not shown

    // --- sorting
    struct SortItem {
        QString field;
        bool desc = false;
        bool operator==(const SortItem&) const = default;
    };
    const QList<SortItem>& SortList() const { return sortList_; }
    // Asks OnChangeSort for the order; on agreement the sort marks follow. Empty fields clear it.
    bool ChangeSort(const QStringList& fields, bool desc);
    // The same with a direction per field, through OnChangeSortEx.
    bool ChangeSortEx(const QList<SortItem>& items);
    // The direction a new sort column takes: the one of the last single-direction request.
    bool SortDesc() const { return sortDesc_; }
    bool CanSort() const { return bool(OnChangeSort); }
    // Re-reads the data (OnRefreshData) and re-applies the sort order. The current record stays
    // current when it comes back unchanged, else the first record becomes current.
    void RefreshData();
    // The grid's filter changed: selection and column filters follow.
    virtual void FilterChangedNotification();
    // "name;" for every field that occurs in the dataset's filter (the funnels drawn active).
    QString FilteredFieldNames;
    bool IsFieldFiltered(const QString& fieldName) const;
    // Lays out and repaints after OptionsEx2.Filters changed.
    void FiltersChanged();
    // The text filter row (OptionsEx2.Filters.TextBar): a filter cell per column in the title row.
    bool TextBarShown() const;
    int TextBarHeight() const;
    QRect TextBarRect(int column) const; // a column's filter cell, in the title row's coordinates
    // Opens the editor of a column's filter cell (the current column for -1); false when it cannot.
    bool ShowTextFilter(int column = -1);
    TextFilterEditor* TextFilterEditorWidget() const;
    // The corner cell of the text filter row: clears every column filter while the data is filtered,
    // else applies the dataset's filter text again.
    void TextBarCornerClick();
    // The incremental search: typing that would not open a cell editor jumps to the first record whose
    // current column begins with the typed text (Backspace, Esc; Ctrl+Right filters by it, Ctrl+Left
    // switches the filter off). The hint shows the text and those keys.
    QString SearchText() const { return searchText_; }
    QString SearchHint() const;
    void ClearSearch();
    // The filter footer (OptionsEx2.Filters.FilterPanel) and its buttons' clicks.
    GridFilterPanel* FilterPanel() const { return filterPanel_; }
    std::function<void(TkDBGrid*, int button)> OnFilterPanelButtonClick;

    // --- the cell editor
    // Writes an open cell editor's text into the record, as leaving the cell would, and closes the
    // editor. Every command that posts or leaves the record calls this first. False when the value
    // was refused (the user was told; the editor stays open with the text).
    bool CommitEdit();
    // Closes an open cell editor without taking its text.
    void CancelEdit();
    bool isEditorOpen() const;

    std::function<bool(TkDBGrid*, const QString& fields, bool desc)> OnChangeSort;
    std::function<bool(TkDBGrid*, const QList<SortItem>& items)> OnChangeSortEx;
    std::function<void(TkDBGrid*)> OnRefreshData;
    std::function<void(TkDBGrid*)> OnTitleExClick; // the indicator's title cell
    std::function<void(TkDBGrid*)> OnEnter;        // the grid got the focus
    std::function<void(TkDBGrid*)> OnDataSetOpened;

    // --- aggregates: the title pop-up and the footer row
    // The pop-up's lines ("Sum = %sum", "-" for a separator); empty: the default lines.
    QStringList TitlePopupItems;
    bool TitlePopup = true;                // the lines show computed values (off: all values zero)
    bool TitlePopupDistinctValues = false; // lines with "%DistinctValues" are offered, with sub-items
    TFooterRow FooterRow;
    // Computes every column's aggregates over the filtered rows; forPopup lets the pop-up reuse them.
    void RecalculateSummaryResults(bool forPopup = false);
    const std::vector<TSummaryResults>& SummaryResults() const { return summary_; }
    // The last results of a field's column (computed when there are none); nullptr when not shown.
    const TSummaryResults* SummaryOf(const QString& fieldName);
    // The footer cell text of a column: its field's mask with the tokens replaced.
    QString FooterText(int column) const;
    // Applies changed FooterRow properties (visibility, height, texts).
    void FooterChanged();
    GridFooter* Footer() const { return footer_; }
    // The pop-up's lines for a column, tokens replaced (empty when there is nothing to offer).
    QStringList TitlePopupTexts(int column);
    // Builds the title pop-up of a column (nullptr when it has no lines); the grid owns it.
    QMenu* TitleMenu(int column);
    // Fills one column's results instead of the pass over the rows.
    std::function<void(TkDBGrid*, TSummaryResults& result)> OnRecalculateSummaryResult;
    // May change a value text (token word in upper case) before it is inserted.
    std::function<void(TkDBGrid*, const TField* field, const QString& token, QString& text)>
        OnGetSummaryResult;
    // A pop-up item was clicked: true when handled (else its value texts go to the clipboard).
    std::function<bool(TkDBGrid*, int column, const QString& line, const QString& values)>
        OnTitlePopupItemClick;

    // The funnel in the titles opens the column's value list: it is drawn (and takes room) only
    // while FunnelBtn is on and a value list is there to open.
    std::function<void(TkDBGrid*, int column, const QPoint& globalPos)> OnFunnelClick;
    bool FunnelShown() const { return OptionsEx2.Filters.FunnelBtn && bool(OnFunnelClick); }
    // Whether a column's title shows its funnel: every column, or with FunnelBtnActiveOnly the current
    // column and the filtered ones.
    bool FunnelInColumn(int column) const;
    // A column filter is about to be set: when assigned it decides instead of the grid (true: a filter
    // was set). It gets the value list or condition window (else nullptr), the typed text of the text
    // filter row (else empty), the built condition and the field.
    std::function<bool(TkDBGrid*, TDataSet*, QWidget* form, const QString& typedText,
                       const QString& condition, const TField* field)>
        OnSetColumnFilter;
    // After a column filter changed the dataset's filter.
    std::function<void(TkDBGrid*)> OnFilterChanged;
    QMenu* PopupMenu = nullptr; // the usual right-click menu (the action module's)

    // A column's own look, set in the column dialog and kept by field name (lower case).
    struct ColumnLook {
        QColor color; // invalid: the window colour
        QFont font;
        bool ownFont = false;
        Qt::Alignment titleAlignment = Qt::AlignLeft;
    };
    QHash<QString, ColumnLook> ColumnLooks;
    ColumnLook columnLook(int column) const;

    // --- column groups (grid_column_groups.cpp)
    const TColumnGroups& ColumnGroups() const { return groups_; }
    // Replaces the groups (as the group dialog hands them over) and shows them.
    void SetColumnGroups(const QList<TColumnGroup>& groups);
    bool FieldGroupsActive() const { return groups_.Active; }
    void SetFieldGroupsActive(bool on);
    void SetGroupCollapsed(int group, bool collapsed);
    // Puts each group's shown columns side by side in the group's order, where its first one is.
    void FixGroupedColumns();
    // Hides the members of collapsed groups again (after something showed columns, such as a
    // settings saver restoring their visibility) and shows those of opened groups.
    void ApplyColumnGroups();
    // The column's own visibility: shown, or hidden only because its group is collapsed. This is what
    // a settings saver stores, so an expanded group shows the column again after a restart.
    bool ColumnUserVisible(int column) const;
    // The title band over grouped columns is drawn (groups on, some group has a column here).
    bool GroupBandShown() const;
    int GroupBandHeight() const;
    // The column is the master of a collapsed group: its cells show the group text.
    bool ColumnShowsGroupText(int column) const;
    // Where the +/- mark of a group is drawn, in title viewport coordinates (empty when not shown).
    QRect GroupMarkRect(int group) const;
    // --- cell conditions
    TCellParamsCondList CellParamsConditions;
    void SetCellConditionActive(bool on);
    // Repaints the grid (the conditions' row results are computed anew).
    void RefreshCellParamsCond();
    // What a data cell is drawn with: the conditions first, then the events. row: a row of the model.
    virtual void GetCellParams(const TField* field, int row, TCellParams& params, bool activeRow,
                               bool highlight);
    // Runs the "Conditions for colored records" dialog; true when closed with Ok.
    bool ShowCellConditions();
    // The pictures an image definition's ImageIndex points into.
    QList<QIcon> DataImages;
    std::function<void(TkDBGrid*, const TField*, QFont&, int& background, bool activeRow, bool highlight)>
        OnGetCellParams;
    std::function<void(TkDBGrid*, const TField*, QFont&, int& background, TDataImageDef& image,
                       bool activeRow, bool highlight)>
        OnGetCellParamsEx;

    // Fixed-column (indicator) clicks; the multi-select grid extends these.
    virtual void fixedColumnClick(int row, Qt::KeyboardModifiers mods);
    virtual void fixedColumnContextMenu(int row, const QPoint& globalPos);
    // Whether the record shown in a row is drawn as selected.
    virtual bool isRowSelected(int row) const;
    // One flag per row id of the records in the grid's own selection (empty: none).
    virtual std::vector<uint8_t> selectedRowMask() const { return {}; }

public slots:
    void selectAll() override; // the corner (indicator title) cell

signals:
    void columnWidthsApplied();
    void dataSetOpened(); // the grid shows an open dataset (opened, or another one linked)

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    virtual void dataSetLinkChanged(); // the dataset opened, closed or switched
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    // The multi-selection changed: aggregates of the selection follow.
    void multiSelectChanged();
    bool sizing() const { return sizing_; }

private:
    friend class GridHeader;
    friend class GridDelegate;
    // Draws a grouped column's part of the band; returns the rest of the title's rectangle.
    QRect paintGroupBand(QPainter* p, const QRect& rect, int logical) const;
    // A press in the band: true when it hit the band (a press on a mark toggles the group).
    bool groupBandPress(const QPoint& pos);
    QRect paintTextBar(QPainter* p, const QRect& rect, int logical) const;
    bool searchKey(QKeyEvent* e);
    bool typingEdits() const; // a typed character opens the cell editor
    void showSearchHint(bool found);
    bool textBarPress(const QPoint& pos);
    QString cellText(int column, int row) const;
    // Draws a cell as icon and shown text as its image definition says.
    void applyDataImage(QStyleOptionViewItem& option, const QModelIndex& index,
                        const TDataImageDef& image) const;
    void titleClicked(int column, Qt::KeyboardModifiers mods);
    void titleContextMenu(int column, const QPoint& globalPos);
    void syncCurrentFromDataSet(int row);
    bool isSortableField(const TField* f) const;
    GridRoom room() const;
    void applyModeInForce();
    void summaryOutdated();

    DataSetModel* model_;
    GridHeader* header_;
    GridIndicator* indicator_;
    TDataSource* source_ = nullptr;
    TColumnWidth columnWidth_ = cwNone;
    bool sizing_ = false;
    bool syncing_ = false;
    QList<SortItem> sortList_;
    bool sortDesc_ = false;
    struct Snapshot {
        QString field;
        int width;
        bool visible;
    };
    std::vector<Snapshot> snapshot_;
    int lastWidth_ = -1;
    QString resetField_; // the current column's field, kept while the model resets
    QString searchText_;
    int searchColumn_ = -1;
    class QLabel* searchHint_ = nullptr;
    QPointer<TextFilterEditor> textEditor_;
    QObject* cornerFilter_ = nullptr;
    GridFilterPanel* filterPanel_ = nullptr;
    QPointer<QWidget> editor_;        // the open cell editor
    QPersistentModelIndex editIndex_; // the cell it edits
    GridFooter* footer_ = nullptr;
    QMenu* titleMenu_ = nullptr;
    std::vector<TSummaryResults> summary_;
    bool summaryValid_ = false;    // no data change since the last computation
    bool summaryForPopup_ = false; // made for the pop-up
    bool summaryDistinct_ = false; // with the distinct values
    TColumnGroups groups_;
    QSet<QString> groupHidden_; // fields (lower case) whose columns only a collapsed group hides
};
