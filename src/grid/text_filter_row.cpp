#include "text_filter_row.h"

#include "column_filter.h"
#include "db_grid.h"
#include "filter_text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

namespace {
constexpr int kClearMarkWidth = 12; // at 96 dpi

int margin(int value) {
    return std::clamp(value, 0, 20);
}

// The corner cell of the text filter row: clears every column's filter, or applies the dataset's
// filter text again when nothing is filtered.
class CornerFilter : public QObject {
public:
    CornerFilter(TkDBGrid* grid, QObject* corner) : QObject(grid), grid_(grid) {
        corner->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonRelease &&
            e->type() != QEvent::MouseButtonDblClick)
            return false;
        auto* w = static_cast<QWidget*>(o);
        const auto* me = static_cast<QMouseEvent*>(e);
        if (!grid_->TextBarShown() || me->button() != Qt::LeftButton) return false;
        const int top = grid_->TextBarRect(0).top();
        const int y = me->position().toPoint().y();
        if (y < top || y >= top + grid_->TextBarHeight() || y >= w->height()) return false;
        if (e->type() == QEvent::MouseButtonRelease) grid_->TextBarCornerClick();
        return true;
    }

private:
    TkDBGrid* grid_;
};
} // namespace

bool TextFilterable(const TField* field) {
    return field && (IsPlainField(*field) || IsMemoField(*field));
}

// --- the grid's side

bool TkDBGrid::TextBarShown() const {
    return OptionsEx2.Filters.TextBar;
}

int TkDBGrid::TextBarHeight() const {
    if (!TextBarShown()) return 0;
    return fontMetrics().height() + 2 * margin(OptionsEx2.Filters.TextMarginY) + 6;
}

QRect TkDBGrid::TextBarRect(int column) const {
    QHeaderView* h = horizontalHeader();
    const int band = GroupBandShown() ? GroupBandHeight() : 0;
    const int top = OptionsEx2.Filters.TextBarTopLayout ? band : h->height() - TextBarHeight();
    return QRect(h->sectionViewportPosition(column), top, h->sectionSize(column), TextBarHeight());
}

QRect TkDBGrid::paintTextBar(QPainter* p, const QRect& rect, int logical) const {
    if (!TextBarShown()) return rect;
    const int bar = TextBarHeight();
    const bool top = OptionsEx2.Filters.TextBarTopLayout;
    const QRect cell = top ? QRect(rect.left(), rect.top(), rect.width(), bar)
                           : QRect(rect.left(), rect.bottom() + 1 - bar, rect.width(), bar);
    const QRect title = top ? rect.adjusted(0, bar, 0, 0) : rect.adjusted(0, 0, 0, -bar);
    const TkDBGridFilters& o = OptionsEx2.Filters;
    p->save();
    p->fillRect(cell, palette().color(QPalette::Button));
    const TField* f = fieldOfColumn(logical);
    if (TextFilterable(f)) {
        const QRect box = cell.adjusted(2, 2, -3, -3);
        p->fillRect(box, o.TextBkColor.isValid() ? o.TextBkColor : palette().color(QPalette::Base));
        p->setPen(palette().color(QPalette::Mid));
        p->drawRect(box);
        const ColumnFilterEntry* e = nullptr;
        for (const ColumnFilterEntry& x : ColumnFilters(const_cast<TkDBGrid*>(this)))
            if (x.field.compare(f->FieldName, Qt::CaseInsensitive) == 0) e = &x;
        if (e && !e->text.isEmpty()) {
            const int mark = ScalePixels(kClearMarkWidth, scaleRatio());
            QRect text = box.adjusted(margin(o.TextMarginX) + 1, 0, -mark - 2, 0);
            p->setPen(e->error.isEmpty() ? palette().color(QPalette::Text) : QColor(Qt::red));
            p->drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                        fontMetrics().elidedText(e->text, Qt::ElideRight, text.width()));
            // The clear mark: a small cross at the right end.
            const QRect x(box.right() - mark, box.top(), mark, box.height());
            const int d = std::min(x.width(), x.height()) / 4;
            p->setPen(QPen(palette().color(QPalette::Dark), 1.5));
            p->setRenderHint(QPainter::Antialiasing);
            p->drawLine(x.center() + QPoint(-d, -d), x.center() + QPoint(d, d));
            p->drawLine(x.center() + QPoint(-d, d), x.center() + QPoint(d, -d));
        }
    }
    p->setPen(palette().color(QPalette::Mid));
    p->drawLine(cell.topRight(), cell.bottomRight());
    p->restore();
    return title;
}

bool TkDBGrid::textBarPress(const QPoint& pos) {
    if (!TextBarShown()) return false;
    const int column = horizontalHeader()->logicalIndexAt(pos);
    if (column < 0) return false;
    const QRect cell = TextBarRect(column);
    if (!cell.contains(pos)) return false;
    const TField* f = fieldOfColumn(column);
    if (!TextFilterable(f) || !CommitEdit()) return true;
    const QString text =
        ColumnCondition(this, f->FieldName).isEmpty() && ColumnFilterOf(this, f->FieldName).text.isEmpty()
            ? QString()
            : ColumnFilterOf(this, f->FieldName).text;
    const int mark = ScalePixels(kClearMarkWidth, scaleRatio());
    if (!text.isEmpty() && pos.x() >= cell.right() - 3 - mark) {
        if (textEditor_) textEditor_->deleteLater();
        SetFilterForField(this, f, QString(), false, true, true);
        return true;
    }
    ShowTextFilter(column);
    return true;
}

void TkDBGrid::TextBarCornerClick() {
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active() || !CommitEdit()) return;
    if (textEditor_) textEditor_->deleteLater();
    if (ds->Filtered()) {
        SetFilterForField(this, nullptr, QString(), false, true, false);
    } else if (ApplyFilter(ds, ds->Filter(), true)) {
        FilterChangedNotification();
    }
}

bool TkDBGrid::ShowTextFilter(int column) {
    if (!TextBarShown()) return false;
    if (column < 0) column = currentIndex().column();
    if (!TextFilterable(fieldOfColumn(column)) || isColumnHidden(column)) return false;
    if (textEditor_) {
        if (textEditor_->column() == column) {
            textEditor_->setFocus();
            return true;
        }
        delete textEditor_;
    }
    if (!cornerFilter_)
        if (auto* corner = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
            cornerFilter_ = new CornerFilter(this, corner);
    horizontalHeader()->viewport()->update();
    textEditor_ = new TextFilterEditor(this, column);
    textEditor_->show();
    textEditor_->setFocus();
    return true;
}

TextFilterEditor* TkDBGrid::TextFilterEditorWidget() const {
    return textEditor_;
}

// --- the editor

TextFilterEditor::TextFilterEditor(TkDBGrid* grid, int column)
    : QComboBox(grid->horizontalHeader()->viewport()), grid_(grid), column_(column) {
    setObjectName(QStringLiteral("TextFilterEditor"));
    // The drop-down list style offers the column's values (and an empty entry that clears) to pick from.
    setEditable(grid->OptionsEx2.Filters.TextComboStyle != tcsDropDownList);
    setInsertPolicy(QComboBox::NoInsert);
    setFrame(false);
    load();
    place();
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, [this] { applyText(); });
    if (lineEdit())
        connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
            pending_ = true;
            delay_.start(std::max(0, grid_->OptionsEx2.Filters.SetFilterDelay));
        });
    // A picked entry of the list filters at once.
    connect(this, &QComboBox::activated, this, [this] { applyText(); });
    QHeaderView* h = grid->horizontalHeader();
    connect(h, &QHeaderView::sectionResized, this, &TextFilterEditor::place);
    connect(h, &QHeaderView::sectionMoved, this, &TextFilterEditor::place);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TextFilterEditor::place);
}

void TextFilterEditor::load() {
    const TField* f = grid_->fieldOfColumn(column_);
    const ColumnFilterEntry& e = ColumnFilterOf(grid_, f->FieldName);
    QStringList items;
    if (!isEditable()) {
        // The listed values keep the stored value to filter by; a text that filtered before and is not
        // one of them (typed in the editable style, or restored) stays pickable as a text.
        clear();
        addItem(QString());
        for (const DistinctValue& d : DistinctValues(*grid_->dataSet(), f))
            if (d.value.isValid() && !d.text.isEmpty()) addItem(d.text, d.value);
        int at = e.text.isEmpty() ? 0 : findText(e.text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (at < 0) insertItem(at = 1, e.text);
        setCurrentIndex(at);
        showState();
        return;
    } else if (grid_->OptionsEx2.Filters.TextListAutoLoad) {
        for (const DistinctValue& d : DistinctValues(*grid_->dataSet(), f))
            if (d.value.isValid()) items << d.text;
    } else {
        items = e.history;
        items.sort(Qt::CaseInsensitive);
    }
    clear();
    addItems(items);
    setEditText(e.text);
    lineEdit()->selectAll();
    showState();
}

void TextFilterEditor::showState() {
    const TField* f = grid_->fieldOfColumn(column_);
    const QString error = f ? ColumnFilterOf(grid_, f->FieldName).error : QString();
    // The cell's colours; a text that gave no filter in red (the list style draws with the button text).
    const TkDBGridFilters& o = grid_->OptionsEx2.Filters;
    QPalette p = QApplication::palette();
    if (o.TextBkColor.isValid()) {
        p.setColor(QPalette::Base, o.TextBkColor);
        p.setColor(QPalette::Button, o.TextBkColor);
    }
    if (!error.isEmpty()) {
        p.setColor(QPalette::Text, QColor(Qt::red));
        p.setColor(QPalette::ButtonText, QColor(Qt::red));
    }
    setPalette(p);
    setToolTip(error);
}

void TextFilterEditor::place() {
    setGeometry(grid_->TextBarRect(column_).adjusted(1, 1, -2, -2));
}

bool TextFilterEditor::applyText() {
    delay_.stop();
    pending_ = false;
    const TField* f = grid_->fieldOfColumn(column_);
    if (!f) return false;
    const QString text = currentText();
    // A listed value picked selects the records holding exactly it (its text may hold "&", "|",
    // operators or wildcards that the typed grammar would read).
    const QVariant picked = isEditable() ? QVariant() : currentData();
    const bool ok =
        picked.isValid() ? FilterByColumnValue(grid_, f, picked, text) : ParseTextFilter(grid_, f, text);
    // The list follows the history; the typed text stays as it is.
    const QString error = ColumnFilterOf(grid_, f->FieldName).error;
    if (error.isEmpty() && lineEdit() && !grid_->OptionsEx2.Filters.TextListAutoLoad) {
        QStringList items = ColumnFilterOf(grid_, f->FieldName).history;
        items.sort(Qt::CaseInsensitive);
        const int caret = lineEdit()->cursorPosition();
        clear();
        addItems(items);
        setEditText(text);
        lineEdit()->setCursorPosition(caret);
    }
    showState();
    if (!error.isEmpty() && isVisible()) QToolTip::showText(mapToGlobal(QPoint(0, height())), error, this);
    grid_->horizontalHeader()->viewport()->update();
    return ok;
}

bool TextFilterEditor::moveTo(int step) {
    QHeaderView* h = grid_->horizontalHeader();
    for (int v = h->visualIndex(column_) + step; v >= 0 && v < h->count(); v += step) {
        const int c = h->logicalIndex(v);
        if (h->isSectionHidden(c) || !TextFilterable(grid_->fieldOfColumn(c))) continue;
        if (pending_) applyText();
        column_ = c;
        grid_->scrollTo(grid_->model()->index(std::max(0, grid_->currentIndex().row()), c));
        load();
        place();
        return true;
    }
    return false;
}

void TextFilterEditor::keyPressEvent(QKeyEvent* e) {
    const bool alt = e->modifiers() & Qt::AltModifier, ctrl = e->modifiers() & Qt::ControlModifier;
    if ((ctrl && e->key() == Qt::Key_Tab) || (alt && e->key() == Qt::Key_Right)) {
        moveTo(1);
        return;
    }
    if (alt && e->key() == Qt::Key_Left) {
        moveTo(-1);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        applyText();
        return;
    case Qt::Key_Escape:
        // Closes without filtering what was typed since.
        delay_.stop();
        pending_ = false;
        grid_->setFocus();
        deleteLater();
        return;
    default:
        QComboBox::keyPressEvent(e);
    }
}

void TextFilterEditor::focusOutEvent(QFocusEvent* e) {
    QComboBox::focusOutEvent(e);
    // Leaving for the editor's own list keeps it; anywhere else the typed text filters and it closes.
    if (e->reason() == Qt::PopupFocusReason || view()->isVisible()) return;
    if (pending_) applyText();
    deleteLater();
}
