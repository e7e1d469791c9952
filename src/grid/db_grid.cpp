#include "db_grid.h"

#include "column_filter.h"
#include "cursor_guard.h"
#include "exceptions.h"
#include "field.h"
#include "filter_panel.h"
#include "messages.h"
#include "text_filter_row.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {
constexpr int kSortMarkWidth = 10; // glyph widths at 96 dpi
constexpr int kFunnelWidth = 12;
constexpr int kIndicatorWidth = 11;

void drawTriangle(QPainter& p, const QRect& r, bool down, const QColor& c) {
    QPainterPath path;
    const int w = std::min(r.width(), r.height()) / 2, cx = r.center().x(), cy = r.center().y();
    if (down) {
        path.moveTo(cx - w / 2, cy - w / 4);
        path.lineTo(cx + w / 2, cy - w / 4);
        path.lineTo(cx, cy + w / 4 + 1);
    } else {
        path.moveTo(cx - w / 2, cy + w / 4);
        path.lineTo(cx + w / 2, cy + w / 4);
        path.lineTo(cx, cy - w / 4 - 1);
    }
    path.closeSubpath();
    p.fillPath(path, c);
}
} // namespace

// The title row: sort marks and funnel buttons, hot tracking, title clicks and the title menu.
class GridHeader : public QHeaderView {
public:
    explicit GridHeader(TkDBGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
        setSectionsClickable(true);
        setHighlightSections(false);
        setSectionsMovable(true);
        setAttribute(Qt::WA_Hover);
        setMouseTracking(true);
        setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        connect(this, &QHeaderView::sectionClicked, this, [this](int logical) {
            if (grid_->FunnelInColumn(logical) && funnelRect(logical).contains(pressPos_))
                grid_->OnFunnelClick(grid_, logical, viewport()->mapToGlobal(pressPos_));
            else
                grid_->titleClicked(logical, QApplication::keyboardModifiers());
        });
    }
    // Where a title's funnel is drawn, in viewport coordinates.
    QRect funnelRect(int logical) const {
        const int w = ScalePixels(kFunnelWidth, grid_->scaleRatio());
        const int right = sectionViewportPosition(logical) + sectionSize(logical) - 1 - 3;
        return QRect(right - w, 0, w, height());
    }
    QSize sizeHint() const override {
        QSize s = QHeaderView::sizeHint();
        if (grid_->GroupBandShown()) s.rheight() += grid_->GroupBandHeight();
        s.rheight() += grid_->TextBarHeight();
        return s;
    }

protected:
    void paintSection(QPainter* p, const QRect& full, int logical) const override {
        const double s = grid_->scaleRatio();
        const QRect rect = grid_->paintTextBar(p, grid_->paintGroupBand(p, full, logical), logical);
        QRect textRect = rect;
        int glyphs = 0;
        if (grid_->FunnelShown()) glyphs += ScalePixels(kFunnelWidth, s) + 6;
        int sortIndex = -1;
        TField* f = logical < grid_->dataModel()->columnCount() ? grid_->fieldOfColumn(logical) : nullptr;
        if (f)
            for (int i = 0; i < grid_->SortList().size(); ++i)
                if (grid_->SortList()[i].field.compare(f->FieldName, Qt::CaseInsensitive) == 0) sortIndex = i;
        if (sortIndex >= 0) glyphs += ScalePixels(kSortMarkWidth, s) + 6;
        p->save();
        QHeaderView::paintSection(p, textRect, logical);
        p->restore();
        if (!glyphs) return;
        int x = rect.right() - 3;
        const QColor ink = palette().color(QPalette::ButtonText);
        if (grid_->FunnelShown()) {
            // The funnel: a trapezoid over a stem, in the highlight colour while the column filters.
            int w = ScalePixels(kFunnelWidth, s);
            QRect r(x - w, rect.top(), w, rect.height());
            x -= w + 6;
            int cy = r.center().y(), h = std::min(w, rect.height() - 4);
            QPainterPath path;
            path.moveTo(r.left(), cy - h / 2);
            path.lineTo(r.right(), cy - h / 2);
            path.lineTo(r.center().x() + 1, cy);
            path.lineTo(r.center().x() + 1, cy + h / 2);
            path.lineTo(r.center().x() - 1, cy + h / 2);
            path.lineTo(r.center().x() - 1, cy);
            path.closeSubpath();
            if (grid_->FunnelInColumn(logical)) {
                const bool active = f && grid_->IsFieldFiltered(f->FieldName);
                p->save();
                p->setRenderHint(QPainter::Antialiasing);
                p->fillPath(path, palette().color(active ? QPalette::Highlight : QPalette::Mid));
                p->restore();
            }
        }
        if (sortIndex >= 0) {
            int w = ScalePixels(kSortMarkWidth, s);
            QRect r(x - w, rect.top(), w, rect.height());
            p->save();
            p->setRenderHint(QPainter::Antialiasing);
            drawTriangle(*p, r, grid_->SortList()[sortIndex].desc, ink);
            if (grid_->SortList().size() > 1) {
                QFont small = font();
                small.setPointSizeF(small.pointSizeF() * 0.7);
                p->setFont(small);
                p->setPen(ink);
                p->drawText(r.adjusted(0, 0, 0, -2), Qt::AlignHCenter | Qt::AlignBottom,
                            QString::number(sortIndex + 1));
            }
            p->restore();
        }
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        grid_->titleContextMenu(logicalIndexAt(e->pos()), e->globalPos());
    }
    void mousePressEvent(QMouseEvent* e) override {
        pressPos_ = e->position().toPoint();
        if (e->button() == Qt::LeftButton &&
            (grid_->groupBandPress(pressPos_) || grid_->textBarPress(pressPos_)))
            return;
        QHeaderView::mousePressEvent(e);
    }

private:
    TkDBGrid* grid_;
    QPoint pressPos_;
};

// The indicator column: the current record's mark and the selected records; clicks go to the grid.
class GridIndicator : public QHeaderView {
public:
    explicit GridIndicator(TkDBGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid) {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(true);
        setHighlightSections(false);
    }
    QSize sizeHint() const override {
        QSize s = QHeaderView::sizeHint();
        s.setWidth(ScalePixels(kIndicatorWidth, grid_->scaleRatio()));
        return s;
    }

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override {
        p->fillRect(rect, palette().color(QPalette::Button));
        if (grid_->isRowSelected(logical))
            p->fillRect(rect.adjusted(1, 1, -1, -1), palette().color(QPalette::Highlight));
        p->setPen(palette().color(QPalette::Mid));
        p->drawLine(rect.bottomLeft(), rect.bottomRight());
        p->drawLine(rect.topRight(), rect.bottomRight());
        TDataSet* ds = grid_->dataSet();
        if (ds && ds->Active() && grid_->dataModel()->currentRow() == logical) {
            p->save();
            p->setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            int h = std::min(rect.width(), rect.height()) / 2, cx = rect.center().x(), cy = rect.center().y();
            path.moveTo(cx - h / 3, cy - h / 2);
            path.lineTo(cx + h / 2, cy);
            path.lineTo(cx - h / 3, cy + h / 2);
            path.closeSubpath();
            p->fillPath(path, grid_->isRowSelected(logical) ? palette().color(QPalette::HighlightedText)
                                                            : palette().color(QPalette::ButtonText));
            p->restore();
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        int row = logicalIndexAt(e->pos());
        if (row < 0) return;
        if (e->button() == Qt::LeftButton) grid_->fixedColumnClick(row, e->modifiers());
    }
    void mouseMoveEvent(QMouseEvent*) override {}
    void mouseReleaseEvent(QMouseEvent*) override {}
    void contextMenuEvent(QContextMenuEvent* e) override {
        int row = logicalIndexAt(e->pos());
        grid_->fixedColumnContextMenu(row, e->globalPos());
    }

private:
    TkDBGrid* grid_;
};

// Cells: selected records in the selection colours, the current row's focus.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TkDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        // The grid keeps its editor: commands commit it before they post or leave the record.
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        grid_->editor_ = editor;
        grid_->editIndex_ = index;
        return editor;
    }
    void initStyleOption(QStyleOptionViewItem* o, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(o, index);
        if (grid_->ColumnShowsGroupText(index.column()))
            o->text =
                grid_->GetCellValue(index.column(), index.row()).replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const bool current = grid_->currentIndex() == index;
        TDataSet* ds = grid_->dataSet();
        const bool currentRow = ds && grid_->dataModel()->currentRow() == index.row();
        const TkDBGrid::ColumnLook look = grid_->columnLook(index.column());
        // The column's look, then the marked records' colours; the conditions may change both.
        TCellParams cp;
        cp.font = look.ownFont ? look.font : o.font;
        if (look.color.isValid()) cp.background = ColorToBgr(look.color);
        const bool marked = !current && grid_->isRowSelected(index.row());
        if (marked) {
            cp.background = ColorToBgr(o.palette.color(QPalette::Highlight));
            cp.fontColor = ColorToBgr(o.palette.color(QPalette::HighlightedText));
            o.state &= ~QStyle::State_Selected;
        }
        grid_->GetCellParams(grid_->fieldOfColumn(index.column()), index.row(), cp, currentRow,
                             (o.state & QStyle::State_Selected) != 0);
        if (cp.background != kNoColor)
            p->fillRect(o.rect, BgrToColor(cp.background));
        else if (!current && currentRow)
            p->fillRect(o.rect, o.palette.color(QPalette::AlternateBase));
        o.font = cp.font;
        if (cp.fontColor != kNoColor) o.palette.setColor(QPalette::Text, BgrToColor(cp.fontColor));
        if (cp.image.UseDataImage) grid_->applyDataImage(o, index, cp.image);
        const QWidget* w = o.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, p, w);
        if (currentRow) {
            // The row focus: a line above and below the current record.
            p->save();
            p->setPen(QPen(o.palette.color(QPalette::Highlight), 1, Qt::DotLine));
            p->drawLine(o.rect.topLeft(), o.rect.topRight());
            p->drawLine(o.rect.bottomLeft(), o.rect.bottomRight());
            p->restore();
        }
    }

private:
    TkDBGrid* grid_;
};

TkDBGrid::TkDBGrid(QWidget* parent) : QTableView(parent), model_(new DataSetModel(this)) {
    header_ = new GridHeader(this);
    indicator_ = new GridIndicator(this);
    setHorizontalHeader(header_);
    setVerticalHeader(indicator_);
    setModel(model_);
    setItemDelegate(new GridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    indicator_->setDefaultSectionSize(DefaultRowHeight());
    header_->setMinimumSectionSize(8);
    connect(model_, &DataSetModel::currentRowChanged, this, &TkDBGrid::syncCurrentFromDataSet);
    connect(model_, &DataSetModel::dataSetLayoutChanged, this, [this] { dataSetLinkChanged(); });
    connect(model_, &DataSetModel::dataSetRowsChanged, this, [this] { FilterChangedNotification(); });
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { syncCurrentFromDataSet(model_->currentRow()); });
    footer_ = new GridFooter(this);
    footer_->hide();
    filterPanel_ = new GridFilterPanel(this);
    filterPanel_->hide();
    // Any change of the rows makes the last aggregates stale.
    connect(model_, &QAbstractItemModel::modelReset, this, &TkDBGrid::summaryOutdated);
    connect(model_, &QAbstractItemModel::dataChanged, this, &TkDBGrid::summaryOutdated);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &TkDBGrid::summaryOutdated);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &TkDBGrid::summaryOutdated);
    connect(header_, &QHeaderView::sectionResized, footer_, qOverload<>(&QWidget::update));
    connect(header_, &QHeaderView::sectionMoved, footer_, qOverload<>(&QWidget::update));
    // A reset shows every column again: collapsed groups hide their members anew.
    connect(model_, &QAbstractItemModel::modelReset, this, &TkDBGrid::ApplyColumnGroups);
    CellParamsConditions.LinkGrid(this);
}

TkDBGrid::~TkDBGrid() {
    if (source_) source_->OnDataSetChanged = nullptr;
}

double TkDBGrid::scaleRatio() const {
    return logicalDpiX() / 96.0;
}

int TkDBGrid::DefaultRowHeight() const {
    return fontMetrics().height() + 4;
}

bool TkDBGrid::ShowIndicator() const {
    return !indicator_->isHidden();
}

void TkDBGrid::setShowIndicator(bool on) {
    indicator_->setVisible(on);
}

void TkDBGrid::setDataSource(TDataSource* source) {
    if (source_) source_->OnDataSetChanged = nullptr;
    source_ = source;
    if (source_) source_->OnDataSetChanged = [this](TDataSource&) { dataSourceChanged(); };
    dataSourceChanged();
}

void TkDBGrid::dataSourceChanged() {
    TDataSet* ds = source_ ? source_->DataSet() : nullptr;
    if (ds == dataSet()) return;
    sortList_.clear();
    model_->setDataSet(ds);
    dataSetLinkChanged();
}

void TkDBGrid::dataSetLinkChanged() {
    CellParamsConditions.Invalidate();
    TDataSet* ds = dataSet();
    if (ds && ds->Active()) {
        // Opened without a sort (another table, a new query): the marks of the old order go.
        if (ds->Sort().trimmed().isEmpty() && !sortList_.isEmpty()) {
            sortList_.clear();
            header_->viewport()->update();
        }
        applyModeInForce();
        if (FooterRow.FooterVisible && FooterRow.RecalculateAfterOpen) RecalculateSummaryResults();
        if (OnDataSetOpened) OnDataSetOpened(this);
        emit dataSetOpened();
    } else {
        summary_.clear();
        if (footer_) footer_->update();
    }
}

TField* TkDBGrid::fieldOfColumn(int column) const {
    if (column < 0 || column >= model_->columnCount()) return nullptr;
    return model_->fieldAt(column);
}

int TkDBGrid::columnOfField(const QString& name) const {
    for (int c = 0; c < model_->columnCount(); ++c)
        if (model_->fieldAt(c)->FieldName.compare(name, Qt::CaseInsensitive) == 0) return c;
    return -1;
}

TkDBGrid::ColumnLook TkDBGrid::columnLook(int column) const {
    const TField* f = ColumnLooks.isEmpty() ? nullptr : fieldOfColumn(column);
    return f ? ColumnLooks.value(f->FieldName.toLower()) : ColumnLook();
}

QString TkDBGrid::GetTitleText(int column) const {
    TField* f = fieldOfColumn(column);
    return f ? f->DisplayLabel() : QString();
}

QString TkDBGrid::GetCellValue(int column, int row) const {
    if (!ColumnShowsGroupText(column)) return cellText(column, row);
    const int g = groups_.groupOf(fieldOfColumn(column)->FieldName);
    return groups_.groupText(g, [&](const QString& field) {
        const int c = columnOfField(field);
        return c < 0 ? QString() : cellText(c, row);
    });
}

QString TkDBGrid::cellText(int column, int row) const {
    TField* f = fieldOfColumn(column);
    TDataSet* ds = dataSet();
    if (!f || !ds || !ds->Active()) return QString();
    if (row < 0) return f->DisplayText();
    if (row >= ds->RecordCount()) return QString();
    // The value's own text, line breaks included (the cells show them flattened); binaries as shown.
    if (IsMemoField(*f) || StorageOf(f->DataType) != StorageKind::Bytes)
        return f->formatValue(ds->valueAt(f, row));
    return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

bool TkDBGrid::isSortableField(const TField* f) const {
    return f && IsPlainField(*f) && CanSort();
}

bool TkDBGrid::isRowSelected(int) const {
    return false;
}

// --- sorting and refreshing

void TkDBGrid::titleClicked(int column, Qt::KeyboardModifiers mods) {
    TField* f = fieldOfColumn(column);
    if (!f || !CanSort() || !dataSet() || !dataSet()->Active() || !CommitEdit()) return;
    // Shift adds the column to the order; a new column keeps the direction, the sorted one reverses it.
    QStringList fields;
    for (const SortItem& s : sortList_)
        fields << s.field;
    const bool isNew = !fields.contains(f->FieldName, Qt::CaseInsensitive);
    if (!(mods & Qt::ShiftModifier))
        fields = QStringList{f->FieldName};
    else if (isNew)
        fields << f->FieldName;
    ChangeSort(fields, isNew ? sortDesc_ : !sortDesc_);
}

bool TkDBGrid::ChangeSort(const QStringList& fields, bool desc) {
    if (!OnChangeSort) return false;
    if (!OnChangeSort(this, fields.join(','), desc)) return false;
    sortList_.clear();
    for (const QString& f : fields)
        sortList_.append({f, desc});
    sortDesc_ = desc;
    header_->viewport()->update();
    return true;
}

bool TkDBGrid::ChangeSortEx(const QList<SortItem>& items) {
    if (!OnChangeSortEx || !OnChangeSortEx(this, items)) return false;
    sortList_ = items;
    header_->viewport()->update();
    return true;
}

void TkDBGrid::RefreshData() {
    // The current record stays current when the reload brings it back unchanged at its place.
    TDataSet* before = dataSet();
    TBookmark bm = -1;
    std::vector<QVariant> values;
    if (before && before->Active() && before->currentPosition() >= 0) {
        bm = before->GetBookmark();
        for (int i = 0; i < before->FieldCount(); ++i)
            values.push_back(before->Fields(i)->AsVariant());
    }
    if (OnRefreshData) OnRefreshData(this);
    if (!sortList_.isEmpty()) {
        // The sort is put back through whichever path can serve it.
        const QList<SortItem> items = sortList_;
        bool ok = false;
        if (OnChangeSortEx) {
            ok = OnChangeSortEx(this, items);
        } else if (OnChangeSort) {
            QStringList fields;
            for (const SortItem& s : items)
                fields << s.field;
            ok = OnChangeSort(this, fields.join(','), items.first().desc);
        }
        if (!ok) sortList_.clear();
        header_->viewport()->update();
    }
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active()) return;
    bool same = ds == before && bm >= 0 && ds->BookmarkValid(bm) && ds->FieldCount() == int(values.size());
    for (int i = 0; same && i < ds->FieldCount(); ++i)
        same = ds->valueOfRow(ds->Fields(i), uint32_t(bm)) == values[size_t(i)];
    if (same)
        ds->GotoBookmark(bm);
    else
        ds->First();
}

bool TkDBGrid::FunnelInColumn(int column) const {
    if (!FunnelShown()) return false;
    if (!OptionsEx2.Filters.FunnelBtnActiveOnly || column == currentIndex().column()) return true;
    const TField* f = fieldOfColumn(column);
    return f && IsFieldFiltered(f->FieldName);
}

bool TkDBGrid::IsFieldFiltered(const QString& fieldName) const {
    if (FilteredFieldNames.isEmpty()) return false;
    for (const QStringView n : QStringView(FilteredFieldNames).split(u';', Qt::SkipEmptyParts))
        if (n.compare(fieldName, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void TkDBGrid::FiltersChanged() {
    if (!TextBarShown() && textEditor_) textEditor_->deleteLater();
    filterPanel_->buttonsChanged();
    filterPanel_->filterChanged();
    updateGeometries();
    header_->viewport()->update();
    viewport()->update();
}

void TkDBGrid::FilterChangedNotification() {
    TDataSet* ds = dataSet();
    FilteredFieldNames.clear();
    if (ds && ds->Active() && ds->Filtered()) {
        for (const QString& n : FilterFieldNames(*ds, ds->Filter()))
            FilteredFieldNames += n + QLatin1Char(';');
        // A lookup column's condition names its key fields only: its own funnel shows it too.
        for (const ColumnFilterEntry& e : ColumnFilters(this)) {
            const TField* f = e.condition.isEmpty() ? nullptr : ds->FindField(e.field);
            if (f && f->FieldKind == fkLookup) FilteredFieldNames += f->FieldName + QLatin1Char(';');
        }
    }
    filterPanel_->filterChanged();
    header_->viewport()->update();
    viewport()->update();
    if (FooterRow.FooterVisible && FooterRow.RecalculateAfterFilter) RecalculateSummaryResults();
}

// --- aggregates, the title pop-up and the footer

namespace {
const QStringList& defaultPopupLines() {
    static const QStringList lines = {
        QStringLiteral("Sum = %sum"),
        QStringLiteral("Min = %min"),
        QStringLiteral("Max = %max"),
        QStringLiteral("Avg = %avg"),
        QStringLiteral("-"),
        QStringLiteral("Count of values = %CountVal"),
        QStringLiteral("Count of empty = %CountNull"),
        QStringLiteral("Count of all = %CountAll"),
        QStringLiteral("Distinct values = %DistinctValues"),
    };
    return lines;
}
} // namespace

void TkDBGrid::summaryOutdated() {
    summaryValid_ = false;
}

void TkDBGrid::multiSelectChanged() {
    summaryValid_ = false;
    if (FooterRow.FooterVisible && FooterRow.RecalculateAfterMultiselect) RecalculateSummaryResults();
}

void TkDBGrid::RecalculateSummaryResults(bool forPopup) {
    const QStringList& lines = TitlePopupItems.isEmpty() ? defaultPopupLines() : TitlePopupItems;
    bool distinct = false;
    if (TitlePopupDistinctValues)
        for (const QString& l : lines)
            distinct = distinct || WantsDistinctValues(l);
    std::vector<TField*> fields;
    for (int c = 0; c < model_->columnCount(); ++c)
        fields.push_back(model_->fieldAt(c));
    TDataSet* ds = dataSet();
    if (OnRecalculateSummaryResult) {
        summary_.assign(fields.size(), TSummaryResults());
        for (size_t i = 0; i < fields.size(); ++i) {
            summary_[i].Field = fields[i];
            OnRecalculateSummaryResult(this, summary_[i]);
        }
    } else if (ds && ds->Active()) {
        // Straight from the column store by view position: no navigation, no scroll events.
        HourglassCursor wait;
        summary_ = ComputeSummaries(*ds, fields, selectedRowMask(), distinct);
    } else {
        summary_.assign(fields.size(), TSummaryResults());
        for (size_t i = 0; i < fields.size(); ++i)
            summary_[i].Field = fields[i];
    }
    summaryValid_ = true;
    summaryForPopup_ = forPopup;
    summaryDistinct_ = distinct;
    footer_->update();
}

const TSummaryResults* TkDBGrid::SummaryOf(const QString& fieldName) {
    const int c = columnOfField(fieldName);
    if (c < 0) return nullptr;
    if (size_t(c) >= summary_.size() || summary_[size_t(c)].Field != model_->fieldAt(c))
        RecalculateSummaryResults();
    return size_t(c) < summary_.size() ? &summary_[size_t(c)] : nullptr;
}

QString TkDBGrid::FooterText(int column) const {
    TField* f = fieldOfColumn(column);
    if (!f) return QString();
    const QString def = FooterRow.DefinitionOf(f->FieldName);
    if (def.isEmpty()) return QString();
    TSummaryResults zero;
    zero.Field = f;
    const TSummaryResults& r = size_t(column) < summary_.size() && summary_[size_t(column)].Field == f
                                   ? summary_[size_t(column)]
                                   : zero;
    TDataSet* ds = dataSet();
    SummaryTextHook hook;
    if (OnGetSummaryResult)
        hook = [this](const TField* field, const QString& token, QString& text) {
            OnGetSummaryResult(const_cast<TkDBGrid*>(this), field, token, text);
        };
    return ReplaceSummaryTokens(def.section(';', 0, 0), r, ds && ds->Active() ? ds->RecNo() : 0, nullptr,
                                hook);
}

void TkDBGrid::FooterChanged() {
    updateGeometries();
    footer_->update();
}

void TkDBGrid::updateGeometries() {
    QTableView::updateGeometries();
    if (!footer_) return; // still being built
    // The footer row and under it the filter footer take their room from the bottom of the viewport,
    // above the horizontal scroll bar.
    const int h = FooterRow.FooterVisible ? footer_->rowHeight() : 0;
    const int panel = OptionsEx2.Filters.FilterPanel ? filterPanel_->panelHeight() : 0;
    QMargins m = viewportMargins();
    if (m.bottom() != h + panel) {
        m.setBottom(h + panel);
        setViewportMargins(m);
    }
    const QRect vg = viewport()->geometry();
    if (h > 0) {
        footer_->setGeometry(frameWidth(), vg.bottom() + 1, vg.right() + 1 - frameWidth(), h);
        footer_->show();
        footer_->raise();
    } else {
        footer_->hide();
    }
    if (panel > 0) {
        filterPanel_->setGeometry(frameWidth(), vg.bottom() + 1 + h, vg.right() + 1 - frameWidth(), panel);
        filterPanel_->show();
        filterPanel_->raise();
    } else {
        filterPanel_->hide();
    }
}

void TkDBGrid::paintEvent(QPaintEvent* event) {
    // The conditions' per-row results hold for one repaint.
    CellParamsConditions.ResetCond();
    QTableView::paintEvent(event);
}

void TkDBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (dx && footer_->isVisible()) footer_->update();
}

QStringList TkDBGrid::TitlePopupTexts(int column) {
    QStringList texts;
    if (QMenu* menu = TitleMenu(column))
        for (QAction* a : menu->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

QMenu* TkDBGrid::TitleMenu(int column) {
    TField* f = fieldOfColumn(column);
    const QStringList& lines =
        TitlePopupItems.isEmpty() && TitlePopup ? defaultPopupLines() : TitlePopupItems;
    bool any = false;
    for (const QString& l : lines)
        any = any || !l.trimmed().isEmpty();
    if (!f || !any) return nullptr;
    bool wantsDistinct = false;
    for (const QString& l : lines)
        wantsDistinct = wantsDistinct || (TitlePopupDistinctValues && WantsDistinctValues(l));
    TSummaryResults r;
    r.Field = f;
    if (TitlePopup) {
        if (!summaryValid_ || size_t(column) >= summary_.size() || summary_[size_t(column)].Field != f ||
            (wantsDistinct && !summaryDistinct_))
            RecalculateSummaryResults(true);
        if (size_t(column) < summary_.size()) r = summary_[size_t(column)];
    }
    delete titleMenu_;
    titleMenu_ = new QMenu(this);
    QAction* title = titleMenu_->addAction(GetTitleText(column) + QLatin1Char(':'));
    const QString name = f->FieldName;
    connect(title, &QAction::triggered, this, [name] { QApplication::clipboard()->setText(name); });
    titleMenu_->addSeparator();
    TDataSet* ds = dataSet();
    const int recNo = ds && ds->Active() ? ds->RecNo() : 0;
    SummaryTextHook hook;
    if (OnGetSummaryResult)
        hook = [this](const TField* field, const QString& token, QString& text) {
            OnGetSummaryResult(this, field, token, text);
        };
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line == QLatin1String("-")) {
            titleMenu_->addSeparator();
            continue;
        }
        if (line.isEmpty()) continue;
        const bool distinct = WantsDistinctValues(line);
        if (distinct && !TitlePopupDistinctValues) continue;
        QStringList values;
        const QString text = ReplaceSummaryTokens(line, r, recNo, &values, hook);
        if (distinct) {
            // The distinct values as sub-items; a click copies that value.
            QMenu* sub = titleMenu_->addMenu(text);
            for (const TDistinctValues& d : r.DistinctValues) {
                QAction* a = sub->addAction(QStringLiteral("%1 (%2)").arg(d.Value).arg(d.Count));
                connect(a, &QAction::triggered, this, [this, column, line, v = d.Value] {
                    if (!OnTitlePopupItemClick || !OnTitlePopupItemClick(this, column, line, v))
                        QApplication::clipboard()->setText(v);
                });
            }
            continue;
        }
        QAction* a = titleMenu_->addAction(text);
        connect(a, &QAction::triggered, this,
                [this, column, line, joined = values.join(QLatin1String("; "))] {
                    if (!OnTitlePopupItemClick || !OnTitlePopupItemClick(this, column, line, joined))
                        QApplication::clipboard()->setText(joined);
                });
    }
    return titleMenu_;
}

void TkDBGrid::titleContextMenu(int column, const QPoint& globalPos) {
    if (QMenu* menu = TitleMenu(column)) menu->exec(globalPos);
}

void TkDBGrid::selectAll() {
    if (OnTitleExClick) OnTitleExClick(this);
}

void TkDBGrid::fixedColumnClick(int row, Qt::KeyboardModifiers) {
    TDataSet* ds = dataSet();
    if (ds && ds->Active() && row >= 0 && row < ds->RecordCount() && CommitEdit()) {
        try {
            ds->setRecNo(row + 1);
        } catch (const std::exception& e) {
            ShowException(QStringLiteral("Error: Cannot save record."), e);
        }
    }
}

void TkDBGrid::fixedColumnContextMenu(int, const QPoint& globalPos) {
    if (PopupMenu) PopupMenu->exec(globalPos);
}

// --- current record

void TkDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // Filtering, sorting and reloading reset the model: the current column stays (by its field).
    if (TField* f = fieldOfColumn(current.column())) resetField_ = f->FieldName;
    // Footer texts may show the record number.
    if (current.row() != previous.row() && FooterRow.FooterVisible && FooterRow.RefreshAfterScroll)
        footer_->update();
    if (OptionsEx2.Filters.FunnelBtnActiveOnly && current.column() != previous.column())
        header_->viewport()->update();
    if (current.column() != searchColumn_ && !searchText_.isEmpty()) ClearSearch();
    TDataSet* ds = dataSet();
    if (syncing_ || !ds || !ds->Active() || !current.isValid()) return;
    if (current.row() != model_->currentRow()) {
        syncing_ = true;
        try {
            // Leaving a new record posts it first; the rows below it then keep their numbers.
            ds->setRecNo(current.row() + 1);
        } catch (const std::exception& e) {
            ShowException(QStringLiteral("Error: Cannot save record."), e);
        }
        syncing_ = false;
        const int row = model_->currentRow();
        if (row >= 0 && row != current.row()) {
            // Refused (e.g. a post failed): the cursor goes back to the current record.
            syncCurrentFromDataSet(row);
        }
    }
    indicator_->viewport()->update();
    viewport()->update();
}

void TkDBGrid::syncCurrentFromDataSet(int row) {
    if (syncing_ || row < 0 || row >= model_->rowCount()) return;
    int column = currentIndex().column();
    if (column < 0) column = std::max(0, columnOfField(resetField_));
    if (column >= model_->columnCount()) return;
    if (currentIndex().row() == row) return;
    syncing_ = true;
    setCurrentIndex(model_->index(row, column));
    syncing_ = false;
    indicator_->viewport()->update();
    viewport()->update();
}

bool TkDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if ((ReadOnly || !AllowEditing) && trigger != QAbstractItemView::NoEditTriggers &&
        trigger != QAbstractItemView::CurrentChanged)
        return false;
    TDataSet* ds = dataSet();
    // Without automatic editing a key starts no editor while the record is only browsed.
    if (trigger == QAbstractItemView::AnyKeyPressed && source_ && !source_->AutoEdit && ds &&
        ds->State() == dsBrowse)
        return false;
    if (!QTableView::edit(index, trigger, event)) return false;
    // An open cell editor is an edit of the record: Save and Cancel apply to it.
    if (isEditorOpen() && ds && ds->Active() && ds->State() == dsBrowse &&
        index.row() == ds->currentPosition()) {
        try {
            ds->Edit();
        } catch (const std::exception& e) {
            CancelEdit();
            ShowException(QStringLiteral("Error: Cannot save record."), e);
        }
    }
    return true;
}

void TkDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor == editor_) {
        editor_ = nullptr;
        editIndex_ = QPersistentModelIndex();
    }
    QTableView::closeEditor(editor, hint);
    // Esc on a record that nothing was written to ends its edit.
    TDataSet* ds = dataSet();
    if (hint == QAbstractItemDelegate::RevertModelCache && ds && ds->State() == dsEdit && !ds->Modified())
        ds->Cancel();
}

bool TkDBGrid::isEditorOpen() const {
    return editor_ && editIndex_.isValid() && state() == QAbstractItemView::EditingState;
}

bool TkDBGrid::CommitEdit() {
    if (!isEditorOpen()) return true;
    QWidget* editor = editor_;
    const QByteArray property = editor->metaObject()->userProperty().name();
    if (!property.isEmpty() && !model_->setData(editIndex_, editor->property(property), Qt::EditRole)) {
        editor->setFocus();
        return false;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void TkDBGrid::CancelEdit() {
    if (editor_) closeEditor(editor_, QAbstractItemDelegate::NoHint);
}

void TkDBGrid::keyPressEvent(QKeyEvent* event) {
    if (searchKey(event)) return;
    QTableView::keyPressEvent(event);
}

void TkDBGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (OnEnter) OnEnter(this);
}

// --- column widths

void TkDBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (width() != lastWidth_) {
        lastWidth_ = width();
        applyModeInForce();
    }
}

void TkDBGrid::applyModeInForce() {
    if (columnWidth_ != cwNone) SetColumnWidth(columnWidth_, 0);
}

void TkDBGrid::setColumnWidth(TColumnWidth mode) {
    columnWidth_ = mode;
    SetColumnWidth(mode, 0);
    if (mode == cwDefaultWidth || mode == cwDataWidth || mode == cwDataLabelWidth) columnWidth_ = cwNone;
}

GridRoom TkDBGrid::room() const {
    GridRoom g;
    g.gridWidth = width();
    g.scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    g.indicator = ShowIndicator();
    g.fixedTextArea = 0;
    g.singleBorder = frameShape() != QFrame::NoFrame;
    g.look3D = frameShadow() != QFrame::Plain;
    g.columnLines = showGrid();
    return g;
}

int TkDBGrid::TitleWidthOf(int column) const {
    const double s = scaleRatio();
    const int min = ScalePixels(OptionsEx2.Appearance.ColumnMinWidth, s);
    const int max = ScalePixels(OptionsEx2.Appearance.ColumnMaxWidth, s);
    QFontMetrics fm(header_->font());
    TitleMeasure m;
    const QString title = GetTitleText(column);
    m.textWidth = fm.horizontalAdvance(title);
    m.titleLines = TitleLines;
    for (const QString& w : title.split(' ', Qt::SkipEmptyParts))
        m.wordWidths.push_back(fm.horizontalAdvance(w));
    if (FunnelShown()) m.glyphRoom += ScalePixels(kFunnelWidth, s) + 6;
    if (isSortableField(fieldOfColumn(column))) m.glyphRoom += ScalePixels(kSortMarkWidth, s) + 6;
    return TitleWidth(m, min, max);
}

std::vector<int> TkDBGrid::DataWidths(bool withTitles) const {
    const int n = model_->columnCount();
    std::vector<int> widths(size_t(n), 0);
    if (withTitles)
        for (int c = 0; c < n; ++c)
            widths[size_t(c)] = TitleWidthOf(c);
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active()) return widths;
    HourglassCursor wait;
    // Cells are read by view position: no navigation, so the current record, the visible rows and
    // the filter all stay as they are.
    const int rows = std::min(ds->RecordCount(), OptionsEx2.Appearance.ColumnWidthMaxRecordsSearch + 1);
    QFontMetrics fm(font());
    for (int c = 0; c < n; ++c) {
        TField* f = model_->fieldAt(c);
        const bool plain = IsPlainField(*f), memo = IsMemoField(*f) && OptionsEx2.Editors.ShowMemo;
        if (!plain && !memo) continue;
        int best = widths[size_t(c)];
        bool any = false;
        for (int r = 0; r < rows; ++r) {
            QString text = plain ? model_->data(model_->index(r, c), Qt::DisplayRole).toString()
                                 : f->formatValue(ds->valueAt(f, r));
            if (!text.isEmpty()) {
                any = true;
                best = std::max(best, fm.horizontalAdvance(text) + 8);
            }
        }
        // Sized from the first rows only, a number further down must not be cut: numbers then take
        // their field's display width.
        if (any && IsNumericField(*f) && rows < ds->RecordCount())
            best = std::max(best, f->DisplayWidth() * fm.horizontalAdvance(QLatin1Char('0')) + 8);
        widths[size_t(c)] = best;
    }
    return widths;
}

void TkDBGrid::SetOneColumnWidth(TColumnWidth mode, int column, int additional) {
    TField* f = fieldOfColumn(column);
    if (!f) return;
    const double s = scaleRatio();
    const int min = ScalePixels(OptionsEx2.Appearance.ColumnMinWidth, s);
    const int max = ScalePixels(OptionsEx2.Appearance.ColumnMaxWidth, s);
    const bool picker = OptionsEx2.Editors.DateTimePicker && IsDateTimeField(*f);
    int w;
    switch (mode) {
    case cwNone:
        w = columnWidth(column);
        break;
    case cwDefaultWidth:
        w = f->DisplayWidth() * fontMetrics().averageCharWidth() + 4;
        break;
    case cwLabelWidth:
        w = TitleWidthOf(column);
        break;
    case cwDataWidth:
    case cwDataLabelWidth: {
        w = mode == cwDataLabelWidth ? TitleWidthOf(column) : columnWidth(column);
        TDataSet* ds = dataSet();
        if (ds && ds->Active()) {
            TkDBGrid* self = const_cast<TkDBGrid*>(this);
            std::vector<int> all = self->DataWidths(false);
            int d = all[size_t(column)];
            if (picker && d > 0) d += DefaultRowHeight();
            if (d > 0 && d >= w) w = d;
        }
        break;
    }
    default:
        return;
    }
    if (w > 0) setColumnWidth(column, ClampBoth(w, min, max) + additional);
}

void TkDBGrid::SetColumnWidth(TColumnWidth mode, int additional) {
    const int n = model_->columnCount();
    if (sizing_ || mode == cwNone || n == 0) return;
    sizing_ = true;
    const auto reset = qScopeGuard([this] { sizing_ = false; });
    const double s = scaleRatio();
    const int min = ScalePixels(OptionsEx2.Appearance.ColumnMinWidth, s);
    const int max = ScalePixels(OptionsEx2.Appearance.ColumnMaxWidth, s);
    const GridRoom g = room();
    auto fixed = [this](int c) {
        return FieldsFixedColumnWidth.contains(fieldOfColumn(c)->FieldName, Qt::CaseInsensitive);
    };
    int F = 0, count = 0;
    long long T = 0;
    std::vector<int> sized;
    for (int c = 0; c < n; ++c) {
        if (isColumnHidden(c)) continue;
        if (columnWidth(c) > g.gridWidth) QTableView::setColumnWidth(c, g.gridWidth);
        if (fixed(c)) {
            F += columnWidth(c) + (g.columnLines ? 1 : 0);
        } else {
            ++count;
            T += columnWidth(c);
            sized.push_back(c);
        }
    }
    if (count == 0 || T == 0) return;
    const int R = RoomWidth(g, count);
    switch (mode) {
    case cwDefaultWidth:
    case cwLabelWidth:
        for (int c : sized)
            SetOneColumnWidth(mode, c, 0);
        break;
    case cwSameWidth: {
        const int w = SameWidth(R, F, count, min);
        for (int c : sized)
            QTableView::setColumnWidth(c, w);
        break;
    }
    case cwAutoWidth: {
        std::vector<int> widths;
        for (int c : sized)
            widths.push_back(columnWidth(c));
        AutoWidths(widths, R, F, min);
        for (size_t i = 0; i < sized.size(); ++i)
            QTableView::setColumnWidth(sized[i], widths[i]);
        break;
    }
    case cwDataWidth:
    case cwDataLabelWidth:
    case cwHideEmptyCol: {
        std::vector<int> values = DataWidths(mode == cwDataLabelWidth);
        for (int c = 0; c < n; ++c) {
            if (mode == cwHideEmptyCol) {
                if (values[size_t(c)] == 0) setColumnHidden(c, true);
                continue;
            }
            if (fixed(c)) continue;
            TField* f = fieldOfColumn(c);
            const bool picker = OptionsEx2.Editors.DateTimePicker && IsDateTimeField(*f);
            QTableView::setColumnWidth(c, DataSizedWidth(values[size_t(c)], g.gridWidth, n, picker,
                                                         DefaultRowHeight(), min, max, additional));
        }
        break;
    }
    default:
        break;
    }
    emit columnWidthsApplied();
}

QHash<QString, int> TkDBGrid::ColumnWidthsByField() const {
    QHash<QString, int> widths;
    for (int c = 0; c < model_->columnCount(); ++c)
        widths.insert(fieldOfColumn(c)->FieldName.toLower(), columnWidth(c));
    return widths;
}

void TkDBGrid::SetColumnWidthsByField(const QHash<QString, int>& widths) {
    for (int c = 0; c < model_->columnCount(); ++c)
        if (auto it = widths.find(fieldOfColumn(c)->FieldName.toLower()); it != widths.end())
            QTableView::setColumnWidth(c, *it);
}

void TkDBGrid::TakeColumnsSnapshot() {
    snapshot_.clear();
    for (int c = 0; c < model_->columnCount(); ++c)
        snapshot_.push_back({fieldOfColumn(c)->FieldName, columnWidth(c), !isColumnHidden(c)});
}

void TkDBGrid::RestoreColumnsWidth(bool restoreVisibility, bool restorePosition) {
    for (size_t i = 0; i < snapshot_.size(); ++i) {
        int c = columnOfField(snapshot_[i].field);
        if (c < 0) continue;
        QTableView::setColumnWidth(c, snapshot_[i].width);
        if (restoreVisibility) setColumnHidden(c, !snapshot_[i].visible);
        if (restorePosition) header_->moveSection(header_->visualIndex(c), int(i));
    }
}
