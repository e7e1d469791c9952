#include "cell_params_form.h"

#include "color_text.h"
#include "db_grid.h"
#include "field.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Drop-down lists for the list columns; plain text editors elsewhere.
class CondDelegate : public QStyledItemDelegate {
public:
    CondDelegate(TkDBGridCellParamsForm* form, TkDBGrid* grid)
        : QStyledItemDelegate(form), form_(form), grid_(grid) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QStringList items;
        switch (index.column()) {
        case TkDBGridCellParamsForm::colField:
            items = form_->fieldCaptions();
            break;
        case TkDBGridCellParamsForm::colSign:
            items = CondOperatorTexts();
            break;
        case TkDBGridCellParamsForm::colAction:
            items = CondActionTexts();
            break;
        case TkDBGridCellParamsForm::colFontColor:
        case TkDBGridCellParamsForm::colBkColor:
            items = QStringList{QString()} + ColorDisplayNames();
            break;
        case TkDBGridCellParamsForm::colIcon:
            items << QString() << QStringLiteral("#");
            for (int i = 0; grid_ && i < grid_->DataImages.size(); ++i)
                items << QString::number(i);
            break;
        default:
            return open = QStyledItemDelegate::createEditor(parent, option, index);
        }
        auto* combo = new QComboBox(parent);
        open = combo;
        combo->setObjectName(QStringLiteral("cbCellEditor"));
        combo->addItems(items);
        // Colours also take "$" texts.
        combo->setEditable(index.column() == TkDBGridCellParamsForm::colFontColor ||
                           index.column() == TkDBGridCellParamsForm::colBkColor);
        return combo;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const QString t = index.data(Qt::EditRole).toString();
            const int i = combo->findText(t, Qt::MatchFixedString);
            if (i >= 0)
                combo->setCurrentIndex(i);
            else if (combo->isEditable())
                combo->setEditText(t);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (editor == open) open = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }
    // Writes an open editor's text into its cell and closes it.
    void commitOpen() {
        if (!open) return;
        QWidget* editor = open;
        open = nullptr;
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    mutable QPointer<QWidget> open;

private:
    TkDBGridCellParamsForm* form_;
    TkDBGrid* grid_;
};

const char* const kTitles[] = {
    "Field", "Sign",      "Value", "Action",         "Font color",   "Background color",
    "Bold",  "Whole row", "Icon",  "Shown text (+)", "Stop if true", "Skip"};
} // namespace

TkDBGridCellParamsForm::TkDBGridCellParamsForm(TkDBGrid* grid, QWidget* parent)
    : QDialog(parent), grid_(grid) {
    setObjectName(QStringLiteral("TkDBGridCellParamsForm"));
    setWindowTitle(QStringLiteral("Conditions for colored records"));
    // Every column whose field is a single value or a text large object, shown or not.
    for (int c = 0; grid_ && c < grid_->model()->columnCount(); ++c) {
        const TField* f = grid_->fieldOfColumn(c);
        if (f && (IsPlainField(*f) || IsMemoField(*f))) {
            captions_ << grid_->GetTitleText(c);
            names_ << f->FieldName;
        }
    }
    grCond = new QTableWidget(0, colCount);
    grCond->setObjectName(QStringLiteral("grCond"));
    QStringList titles;
    for (const char* t : kTitles)
        titles << QString::fromLatin1(t);
    grCond->setHorizontalHeaderLabels(titles);
    grCond->verticalHeader()->setDefaultSectionSize(grCond->fontMetrics().height() + 6);
    grCond->verticalHeader()->setFixedWidth(12); // the narrow indicator column
    grCond->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grCond->setItemDelegate(new CondDelegate(this, grid_));
    grCond->setSelectionMode(QAbstractItemView::SingleSelection);
    grCond->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    for (int c : {colBold, colWholeRow, colStopIfTrue, colSkip})
        grCond->setColumnWidth(c, 60);

    auto* hint = new QLabel(QStringLiteral("Icon: <B>#</B> ... use field value as icon index "
                                           "Shown text: <B>+</B> ... show original field value"));
    hint->setTextFormat(Qt::RichText);
    auto button = [](const char* name, const char* caption, const char* hint) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QString::fromUtf8(hint));
        b->setAutoDefault(false);
        return b;
    };
    btUp = button("btUp", "Up", "Move selected row up");
    btDown = button("btDown", "Down", "Move selected row down");
    btClear = button("btClear", "Clear", "Delete selected row");
    btAll = button("btAll", "All", "Delete all rows");
    btOk = button("btOk", "Ok", "Use entered conditions and close dialog");
    btUse = button("btUse", "Use", "Use entered conditions");
    btCancel = button("btCancel", "Cancel", "Cancel changes");

    auto* move = new QHBoxLayout;
    move->addWidget(new QLabel(QStringLiteral("Move of condition:")));
    move->addWidget(btUp);
    move->addWidget(btDown);
    move->addSpacing(16);
    move->addWidget(new QLabel(QStringLiteral("Delete of condition:")));
    move->addWidget(btClear);
    move->addWidget(btAll);
    move->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(hint, 1);
    buttons->addWidget(btOk);
    buttons->addWidget(btUse);
    buttons->addWidget(btCancel);
    auto* l = new QVBoxLayout(this);
    l->addWidget(new QLabel(QStringLiteral("List of conditions:")));
    l->addWidget(grCond, 1);
    l->addLayout(move);
    l->addLayout(buttons);
    resize(1000, 360);

    LoadConditions();
    connect(grCond, &QTableWidget::cellChanged, this, &TkDBGridCellParamsForm::cellChanged);
    connect(btUp, &QPushButton::clicked, this, [this] { moveRow(-1); });
    connect(btDown, &QPushButton::clicked, this, [this] { moveRow(+1); });
    connect(btClear, &QPushButton::clicked, this, [this] { deleteRow(); });
    connect(btAll, &QPushButton::clicked, this, [this] { deleteAllRows(); });
    connect(btOk, &QPushButton::clicked, this, [this] {
        StoreConditions();
        accept();
    });
    connect(btUse, &QPushButton::clicked, this, [this] {
        StoreConditions();
        LoadConditions();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TkDBGridCellParamsForm::isCheckColumn(int col) const {
    return col == colBold || col == colWholeRow || col == colStopIfTrue || col == colSkip;
}

void TkDBGridCellParamsForm::addEmptyRow() {
    const bool was = loading_;
    loading_ = true;
    const int row = grCond->rowCount();
    grCond->insertRow(row);
    for (int c = 0; c < colCount; ++c) {
        auto* item = new QTableWidgetItem;
        if (isCheckColumn(c)) {
            item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
            item->setCheckState(Qt::Unchecked);
        }
        grCond->setItem(row, c, item);
    }
    updateRowLook(row);
    loading_ = was;
}

QString TkDBGridCellParamsForm::cellText(int row, int col) const {
    const QTableWidgetItem* item = grCond->item(row, col);
    if (!item) return QString();
    if (isCheckColumn(col)) return item->checkState() == Qt::Checked ? QStringLiteral("1") : QString();
    return item->text();
}

void TkDBGridCellParamsForm::setCellText(int row, int col, const QString& text) {
    QTableWidgetItem* item = grCond->item(row, col);
    if (!item) return;
    if (isCheckColumn(col))
        item->setCheckState(text == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
    else
        item->setText(text);
}

int TkDBGridCellParamsForm::conditionRows() const {
    return grCond->rowCount() - 1;
}

void TkDBGridCellParamsForm::fillRow(int row, const TCellParamsCond& c) {
    int at = -1;
    for (int i = 0; i < names_.size() && at < 0; ++i)
        if (names_[i].compare(c.FieldName, Qt::CaseInsensitive) == 0) at = i;
    setCellText(row, colField, at >= 0 ? captions_[at] : QString());
    setCellText(row, colSign, CondOperatorTexts().value(int(c.CondOperator)));
    setCellText(row, colValue, c.Value);
    setCellText(row, colAction, CondActionTexts().value(int(c.Action)));
    setCellText(row, colFontColor, ColorToText(c.FontColor));
    setCellText(row, colBkColor, ColorToText(c.BkColor));
    setCellText(row, colBold, c.Bold ? QStringLiteral("1") : QString());
    setCellText(row, colWholeRow, c.WholeRow ? QStringLiteral("1") : QString());
    if (c.ImageDef.UseDataImage) {
        const int i = c.ImageDef.ImageIndex;
        setCellText(row, colIcon, i == -3 ? QStringLiteral("#") : i >= 0 ? QString::number(i) : QString());
        setCellText(row, colShowText, c.ImageDef.ShowText);
    }
    setCellText(row, colStopIfTrue, c.StopIfTrue ? QStringLiteral("1") : QString());
    setCellText(row, colSkip, c.Deactive ? QStringLiteral("1") : QString());
    updateRowLook(row);
}

void TkDBGridCellParamsForm::LoadConditions() {
    loading_ = true;
    grCond->setRowCount(0);
    const TCellParamsCondList& list = grid_->CellParamsConditions;
    for (int i = 0; i < list.Count(); ++i) {
        addEmptyRow();
        fillRow(i, list.Item(i));
    }
    addEmptyRow();
    loading_ = false;
    if (grCond->currentRow() < 0) grCond->setCurrentCell(0, colField);
}

void TkDBGridCellParamsForm::StoreConditions() {
    // A cell being edited counts.
    static_cast<CondDelegate*>(grCond->itemDelegate())->commitOpen();
    std::vector<TCellParamsCond> items;
    for (int r = 0; r < conditionRows(); ++r) {
        TCellParamsCond c;
        const int f = captions_.indexOf(cellText(r, colField));
        c.FieldName = f >= 0 ? names_[f] : QString();
        const int op = CondOperatorOf(cellText(r, colSign)), action = CondActionOf(cellText(r, colAction));
        c.CondOperator = TCellParamsCondOperators(op < 0 ? cpoEqual : op);
        c.Action = TCellParamsCondActions(action < 0 ? cpaSet : action);
        c.Value = cellText(r, colValue);
        c.FontColor = TextToColor(cellText(r, colFontColor));
        c.BkColor = TextToColor(cellText(r, colBkColor));
        c.Bold = cellText(r, colBold) == QLatin1String("1");
        c.WholeRow = cellText(r, colWholeRow) == QLatin1String("1");
        const QString icon = cellText(r, colIcon).trimmed(), shown = cellText(r, colShowText);
        c.ImageDef.UseDataImage = !icon.isEmpty() || !shown.isEmpty();
        bool ok = false;
        c.ImageDef.ImageIndex = icon == QLatin1String("#") ? -3 : icon.toInt(&ok);
        if (icon != QLatin1String("#") && !ok) c.ImageDef.ImageIndex = -1;
        c.ImageDef.ShowText = shown;
        if (!shown.isEmpty()) c.ImageDef.ImageAlignment = QStringLiteral("A");
        c.StopIfTrue = cellText(r, colStopIfTrue) == QLatin1String("1");
        c.Deactive = cellText(r, colSkip) == QLatin1String("1");
        items.push_back(std::move(c));
    }
    grid_->CellParamsConditions.SetItems(std::move(items));
    grid_->SetCellConditionActive(true);
}

void TkDBGridCellParamsForm::updateRowLook(int row) {
    // The formatting columns belong to ">>>" rows only.
    const bool formats = CondActionOf(cellText(row, colAction)) <= cpaSet;
    const bool was = loading_;
    loading_ = true;
    for (int c = colFontColor; c <= colSkip; ++c) {
        QTableWidgetItem* item = grCond->item(row, c);
        if (!item) continue;
        Qt::ItemFlags flags = item->flags();
        const Qt::ItemFlag edit = isCheckColumn(c) ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
        item->setFlags(formats || c == colSkip ? flags | edit : flags & ~edit);
        item->setBackground(formats || c == colSkip ? QBrush() : palette().button());
    }
    loading_ = was;
}

void TkDBGridCellParamsForm::cellChanged(int row, int col) {
    if (loading_) return;
    loading_ = true;
    if (col == colField && !cellText(row, colField).isEmpty()) {
        if (cellText(row, colSign).isEmpty()) setCellText(row, colSign, QStringLiteral("="));
        if (cellText(row, colAction).isEmpty()) setCellText(row, colAction, QStringLiteral(">>>"));
    }
    if (col == colAction) {
        if (CondActionOf(cellText(row, colAction)) > cpaSet)
            for (int c : {colFontColor, colBkColor, colBold, colWholeRow, colStopIfTrue})
                setCellText(row, c, QString());
        updateRowLook(row);
    }
    loading_ = false;
    // Typing into the empty last row makes it a condition and brings a new empty row.
    if (row == grCond->rowCount() - 1) {
        bool any = false;
        for (int c = 0; c < colCount && !any; ++c)
            any = !cellText(row, c).isEmpty();
        if (any) addEmptyRow();
    }
}

void TkDBGridCellParamsForm::moveRow(int delta) {
    const int row = grCond->currentRow(), to = row + delta;
    // The empty last row stays last.
    if (row < 0 || row >= conditionRows() || to < 0 || to >= conditionRows()) return;
    loading_ = true;
    for (int c = 0; c < colCount; ++c) {
        QTableWidgetItem* a = grCond->takeItem(row, c);
        QTableWidgetItem* b = grCond->takeItem(to, c);
        grCond->setItem(row, c, b);
        grCond->setItem(to, c, a);
    }
    loading_ = false;
    grCond->setCurrentCell(to, std::max(0, grCond->currentColumn()));
}

void TkDBGridCellParamsForm::deleteRow() {
    const int row = grCond->currentRow();
    if (row < 0 || row >= conditionRows()) return;
    grCond->removeRow(row);
}

void TkDBGridCellParamsForm::deleteAllRows() {
    loading_ = true;
    grCond->setRowCount(0);
    addEmptyRow();
    loading_ = false;
    grCond->setCurrentCell(0, colField);
}

bool ShowCellConditions(TkDBGrid* grid) {
    if (!grid) return false;
    TkDBGridCellParamsForm form(grid, grid->window());
    return form.exec() == QDialog::Accepted;
}

bool TkDBGrid::ShowCellConditions() {
    return ::ShowCellConditions(this);
}
