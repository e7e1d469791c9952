#include "fields_form.h"

#include "db_action.h"
#include "db_grid.h"
#include "fields_group_form.h"
#include "messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const char* const kFormats[] = {"0",        "0.00",      "#,##0", "#,##0.00", "d.m.yyyy",  "dd.mm.yyyy",
                                "d.mmm yy", "d.mmmm yy", "h:nn",  "h:nn:ss",  "h:nn AM/PM"};
const char* const kColors[] = {"white",     "yellow", "lightyellow", "lightgreen", "lightblue",
                               "lightgray", "pink",   "orange",      "cyan",       "silver"};
} // namespace

TkDBFieldsForm::TkDBFieldsForm(TkDBGrid* grid, TDataSet* ds, QWidget* parent)
    : QDialog(parent), grid_(grid), ds_(grid ? grid->dataSet() : ds) {
    setObjectName(QStringLiteral("kDBFieldsForm"));
    setWindowTitle(QStringLiteral("Fields selection and properties"));
    lbLabels = new QListWidget;
    lbLabels->setToolTip(QStringLiteral("Fields visibility and properties"));
    lbLabels->setDragDropMode(QAbstractItemView::InternalMove);
    btUp = new QPushButton(QStringLiteral("\u25B2"));
    btUp->setToolTip(QStringLiteral("Move selected field up"));
    btDown = new QPushButton(QStringLiteral("\u25BC"));
    btDown->setToolTip(QStringLiteral("Move selected field down"));
    btAll = new QPushButton(QStringLiteral("All"));
    btAll->setToolTip(QStringLiteral("Select or unselect all fields."));
    btDefault = new QPushButton(QStringLiteral("Set default properties"));
    btDefault->setFlat(true);
    chGroupFields = new QCheckBox(QStringLiteral("Group columns"));
    btGroupSettings = new QPushButton(QStringLiteral("Group settings"));
    btGroupSettings->setFlat(true);
    // "Group columns" only where there are groups to switch; the groups are defined through
    // "Group settings", which every grid offers.
    chGroupFields->setVisible(grid_ && !grid_->ColumnGroups().isEmpty());
    chGroupFields->setChecked(grid_ && grid_->FieldGroupsActive());
    btGroupSettings->setVisible(grid_ != nullptr);
    gb = new QGroupBox;
    eCaption = new QLineEdit;
    enWidth = new QSpinBox;
    enWidth->setRange(0, 10000);
    enWidth->setToolTip(QStringLiteral("Column width for export"));
    cbFormat = new QComboBox;
    cbFormat->setEditable(true);
    for (const char* f : kFormats)
        cbFormat->addItem(QString::fromLatin1(f));
    cbColor = new QComboBox;
    cbColor->setToolTip(QStringLiteral("Background color"));
    cbColor->addItem(QStringLiteral("(default)"), QColor());
    for (const char* c : kColors)
        cbColor->addItem(QString::fromLatin1(c), QColor(QString::fromLatin1(c)));
    btFont = new QPushButton(QStringLiteral("Font"));
    btFont->setToolTip(QStringLiteral("Font size and color"));
    auto* align = new QGroupBox(QStringLiteral(" Alignment: "));
    align->setToolTip(QStringLiteral("Column alignment"));
    auto* alignLayout = new QHBoxLayout(align);
    const char* alignCaptions[] = {"Left", "Right", "Center"};
    for (int i = 0; i < 3; ++i) {
        rgAlign[i] = new QRadioButton(QString::fromLatin1(alignCaptions[i]));
        alignLayout->addWidget(rgAlign[i]);
    }
    lTest = new QLabel(QStringLiteral("Example text"));
    lTest->setAutoFillBackground(true);
    lTest->setMinimumHeight(30);
    btApply = new QPushButton(QStringLiteral("Use"));
    btApply->setToolTip(QStringLiteral("Set field according selected values"));
    QFont bold = btApply->font();
    bold.setBold(true);
    btApply->setFont(bold);
    btClose = new QPushButton(QStringLiteral("Close"));
    btClose->setToolTip(QStringLiteral("Close form"));

    auto* listButtons = new QHBoxLayout;
    for (QPushButton* b : {btUp, btDown, btAll})
        listButtons->addWidget(b);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("List of fields:")));
    left->addWidget(lbLabels, 1);
    left->addLayout(listButtons);
    left->addWidget(btDefault);
    left->addWidget(chGroupFields);
    left->addWidget(btGroupSettings);
    auto* panel = new QVBoxLayout(gb);
    auto row = [panel](const QString& label, QWidget* w) {
        auto* h = new QHBoxLayout;
        h->addWidget(new QLabel(label));
        h->addWidget(w, 1);
        panel->addLayout(h);
    };
    row(QStringLiteral("Caption:"), eCaption);
    row(QStringLiteral("Size:"), enWidth);
    row(QStringLiteral("Format:"), cbFormat);
    row(QStringLiteral("Column color:"), cbColor);
    panel->addWidget(btFont);
    panel->addWidget(align);
    panel->addWidget(lTest);
    panel->addWidget(btApply);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(gb, 1);
    auto* l = new QVBoxLayout(this);
    l->addLayout(body, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btClose);
    l->addLayout(bottom);

    btDefault->setEnabled(grid_ != nullptr);
    cbColor->setEnabled(grid_ != nullptr);
    btFont->setEnabled(grid_ != nullptr);
    fillList();
    int current = 0;
    if (grid_ && grid_->currentIndex().isValid())
        current = qMax(0, grid_->horizontalHeader()->visualIndex(grid_->currentIndex().column()));
    filling_ = true;
    lbLabels->setCurrentRow(qMin(current, lbLabels->count() - 1));
    filling_ = false;
    act_ = lbLabels->currentRow();
    fillPanel();

    connect(lbLabels, &QListWidget::itemChanged, this, [this](QListWidgetItem* it) {
        if (!filling_) setVisibleAt(lbLabels->row(it), it->checkState() == Qt::Checked);
    });
    connect(lbLabels, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_ || row == act_) return;
        if (!showEntry(row)) {
            filling_ = true;
            lbLabels->setCurrentRow(act_);
            filling_ = false;
        }
    });
    connect(lbLabels->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex&, int from, int, const QModelIndex&, int to) {
                if (filling_) return;
                // A drag: the list moved already, the column follows.
                const int target = to > from ? to - 1 : to;
                if (grid_)
                    grid_->horizontalHeader()->moveSection(from, target);
                else if (TField* f = ds_->Fields(from))
                    ds_->moveField(f, target);
                act_ = target;
                fillPanel();
            });
    connect(btUp, &QPushButton::clicked, this, [this] { moveEntry(act_, act_ - 1); });
    connect(btDown, &QPushButton::clicked, this, [this] { moveEntry(act_, act_ + 1); });
    connect(btAll, &QPushButton::clicked, this, [this] { toggleAll(); });
    connect(btDefault, &QPushButton::clicked, this, [this] { resetDefaults(); });
    connect(btApply, &QPushButton::clicked, this, [this] { apply(); });
    connect(btClose, &QPushButton::clicked, this, [this] {
        if (!askPending()) return;
        if (grid_) grid_->FixGroupedColumns();
        accept();
    });
    connect(chGroupFields, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_ || !grid_) return;
        grid_->SetFieldGroupsActive(on);
        fillList();
    });
    connect(btGroupSettings, &QPushButton::clicked, this, [this] {
        if (!grid_) return;
        ShowFieldsGroupDialog(grid_);
        filling_ = true;
        chGroupFields->setVisible(!grid_->ColumnGroups().isEmpty());
        chGroupFields->setChecked(grid_->FieldGroupsActive());
        filling_ = false;
        fillList();
        fillPanel();
    });
    connect(btFont, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, font_, this);
        if (ok) setPanelFont(f);
    });
    connect(eCaption, &QLineEdit::textEdited, this, [this] { changed(); });
    connect(enWidth, &QSpinBox::valueChanged, this, [this] { changed(); });
    connect(cbFormat, &QComboBox::currentTextChanged, this, [this] { changed(); });
    connect(cbColor, &QComboBox::currentIndexChanged, this, [this] { changed(); });
    for (QRadioButton* r : rgAlign)
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) changed();
        });
}

int TkDBFieldsForm::columnAt(int entry) const {
    return grid_ ? grid_->horizontalHeader()->logicalIndex(entry) : -1;
}

TField* TkDBFieldsForm::fieldAt(int entry) const {
    if (entry < 0) return nullptr;
    if (grid_) return grid_->fieldOfColumn(columnAt(entry));
    return entry < ds_->FieldCount() ? ds_->Fields(entry) : nullptr;
}

void TkDBFieldsForm::fillList() {
    filling_ = true;
    lbLabels->clear();
    const int n = grid_ ? grid_->model()->columnCount() : ds_->FieldCount();
    for (int i = 0; i < n; ++i) {
        TField* f = fieldAt(i);
        auto* it = new QListWidgetItem(grid_ ? grid_->GetTitleText(columnAt(i)) : f->DisplayLabel());
        it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
        const bool visible = grid_ ? !grid_->isColumnHidden(columnAt(i)) : f->Visible;
        it->setCheckState(visible ? Qt::Checked : Qt::Unchecked);
        lbLabels->addItem(it);
    }
    filling_ = false;
    refreshGroupStates();
}

void TkDBFieldsForm::refreshGroupStates() {
    if (!grid_) return;
    const TColumnGroups& groups = grid_->ColumnGroups();
    filling_ = true;
    for (int i = 0; i < lbLabels->count(); ++i) {
        QListWidgetItem* it = lbLabels->item(i);
        const TField* f = fieldAt(i);
        const int g = f ? groups.groupOf(f->FieldName) : -1;
        const bool master = g >= 0 && groups.isMaster(f->FieldName);
        bool enabled = true;
        if (g >= 0 && !master) {
            const int m = grid_->columnOfField(groups.Groups[g].Master);
            enabled = m >= 0 && !grid_->isColumnHidden(m);
        }
        it->setFlags(enabled ? it->flags() | Qt::ItemIsEnabled : it->flags() & ~Qt::ItemIsEnabled);
        // A disabled entry shows no tick; its column keeps its visibility.
        const bool shown = !grid_->isColumnHidden(columnAt(i));
        it->setCheckState(enabled && shown ? Qt::Checked : Qt::Unchecked);
        QFont font = it->font();
        font.setBold(master);
        it->setFont(font);
    }
    filling_ = false;
}

void TkDBFieldsForm::setVisibleAt(int entry, bool on) {
    TField* f = fieldAt(entry);
    if (!f) return;
    if (QListWidgetItem* it = lbLabels->item(entry); it && (it->checkState() == Qt::Checked) != on) {
        filling_ = true;
        it->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        filling_ = false;
    }
    if (!grid_) {
        f->Visible = on;
        return;
    }
    const int column = columnAt(entry);
    grid_->setColumnHidden(column, !on);
    const TColumnGroups& groups = grid_->ColumnGroups();
    if (groups.isMaster(f->FieldName)) {
        // Hiding a master collapses its group; the member entries follow the master.
        if (!on) grid_->SetGroupCollapsed(groups.groupOf(f->FieldName), true);
        refreshGroupStates();
    }
    if (on)
        grid_->SetOneColumnWidth(grid_->ColumnWidth() == cwNone ? cwDefaultWidth : grid_->ColumnWidth(),
                                 column);
    if (grid_->ColumnWidth() == cwSameWidth || grid_->ColumnWidth() == cwAutoWidth)
        grid_->SetColumnWidth(grid_->ColumnWidth());
}

void TkDBFieldsForm::toggleAll() {
    for (int i = 0; i < lbLabels->count(); ++i)
        if (lbLabels->item(i)->flags() & Qt::ItemIsEnabled) setVisibleAt(i, SetAll);
    SetAll = !SetAll;
}

void TkDBFieldsForm::moveEntry(int from, int to) {
    if (from < 0 || to < 0 || from >= lbLabels->count() || to >= lbLabels->count() || from == to) return;
    filling_ = true;
    QListWidgetItem* it = lbLabels->takeItem(from);
    lbLabels->insertItem(to, it);
    lbLabels->setCurrentRow(to);
    lbLabels->scrollToItem(it);
    filling_ = false;
    if (grid_)
        grid_->horizontalHeader()->moveSection(from, to);
    else
        ds_->moveField(ds_->Fields(from), to);
    act_ = to;
    fillPanel();
}

bool TkDBFieldsForm::askPending() {
    if (!btApply->isEnabled()) return true;
    switch (Messages().question(QStringLiteral("Use changes?"), true)) {
    case MsgAnswer::Yes:
        apply();
        return true;
    case MsgAnswer::No:
        fillPanel();
        return true;
    default:
        return false;
    }
}

bool TkDBFieldsForm::showEntry(int entry) {
    if (!askPending()) return false;
    act_ = entry;
    fillPanel();
    return true;
}

void TkDBFieldsForm::fillPanel() {
    filling_ = true;
    TField* f = fieldAt(act_);
    QListWidgetItem* it = lbLabels->item(act_);
    gb->setTitle(' ' + (it ? it->text() : QString()) + QStringLiteral(": "));
    Qt::Alignment a = f ? f->Alignment : Qt::Alignment();
    if (grid_) {
        const TkDBGrid::ColumnLook look = grid_->columnLook(columnAt(act_));
        const int c = cbColor->findData(look.color);
        cbColor->setCurrentIndex(c >= 0 ? c : 0);
        font_ = look.ownFont ? look.font : grid_->font();
        eCaption->setText(grid_->GetTitleText(columnAt(act_)));
    } else {
        font_ = font();
        eCaption->setText(f ? f->DisplayLabel() : QString());
    }
    rgAlign[a & Qt::AlignRight ? 1 : a & Qt::AlignHCenter ? 2 : 0]->setChecked(true);
    enWidth->setEnabled(f != nullptr);
    enWidth->setValue(f ? f->DisplayWidth() : 0);
    const bool formatted = f && (IsNumericField(*f) || IsDateTimeField(*f));
    cbFormat->setEnabled(formatted);
    cbFormat->setEditText(formatted ? f->DisplayFormat : QString());
    filling_ = false;
    refreshPreview();
    btApply->setEnabled(false);
}

void TkDBFieldsForm::changed() {
    if (filling_) return;
    refreshPreview();
    btApply->setEnabled(true);
}

void TkDBFieldsForm::setPanelFont(const QFont& font) {
    font_ = font;
    changed();
}

Qt::Alignment TkDBFieldsForm::alignment() const {
    return rgAlign[1]->isChecked()   ? Qt::AlignRight
           : rgAlign[2]->isChecked() ? Qt::AlignHCenter
                                     : Qt::AlignLeft;
}

void TkDBFieldsForm::refreshPreview() {
    QPalette pal = lTest->palette();
    const QColor c = cbColor->currentData().value<QColor>();
    pal.setColor(QPalette::Window, c.isValid() ? c : palette().color(QPalette::Base));
    lTest->setPalette(pal);
    lTest->setFont(font_);
    lTest->setAlignment(alignment() | Qt::AlignVCenter);
}

void TkDBFieldsForm::apply() {
    TField* f = fieldAt(act_);
    if (grid_) {
        TkDBGrid::ColumnLook look;
        look.color = cbColor->currentData().value<QColor>();
        look.ownFont = font_ != grid_->font();
        look.font = font_;
        look.titleAlignment = alignment();
        if (f) grid_->ColumnLooks.insert(f->FieldName.toLower(), look);
    }
    if (f) {
        f->Alignment = alignment();
        f->setDisplayLabel(eCaption->text());
        f->setDisplayWidth(enWidth->value());
        if (IsNumericField(*f) || IsDateTimeField(*f)) f->DisplayFormat = cbFormat->currentText();
    }
    if (QListWidgetItem* it = lbLabels->item(act_)) it->setText(eCaption->text());
    if (grid_) {
        grid_->viewport()->update();
        grid_->horizontalHeader()->viewport()->update();
    }
    btApply->setEnabled(false);
}

void TkDBFieldsForm::resetDefaults() {
    if (!grid_ || Messages().question(QStringLiteral("Reset to default properties?")) != MsgAnswer::Yes)
        return;
    grid_->ColumnLooks.clear();
    grid_->RestoreColumnsWidth(true, true);
    if (TkDBAction* module = TkDBAction::Instance()) module->OnSetDefaultGridColumns(grid_);
    btApply->setEnabled(false);
    accept();
}

void ShowFieldsDialog(TkDBGrid* grid, TDataSet* ds) {
    TDataSet* source = grid ? grid->dataSet() : ds;
    if (!source || !source->Active()) return;
    TkDBFieldsForm form(grid, grid ? nullptr : ds, grid ? grid->window() : nullptr);
    form.exec();
}
