#include "sort_form.h"

#include "comp_config.h"
#include "dataset.h"
#include "messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

TkDBSortForm2::TkDBSortForm2(TkDBGrid* grid, QWidget* parent) : QDialog(parent), grid_(grid) {
    setObjectName(QStringLiteral("TkDBSortForm2"));
    setWindowTitle(QStringLiteral("Record sorting"));
    QList<QPair<QString, QString>> cols;
    for (int c = 0; grid_ && c < grid_->model()->columnCount(); ++c) {
        TField* f = grid_->fieldOfColumn(c);
        if (!grid_->isColumnHidden(c) && f && (IsPlainField(*f) || IsMemoField(*f)))
            cols.append({grid_->GetTitleText(c), f->FieldName});
    }
    std::stable_sort(cols.begin(), cols.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    for (const auto& [caption, name] : cols) {
        captions_ << caption;
        names_ << name;
    }

    table = new QTableWidget(0, 2);
    table->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Descending")});
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    auto* btUp = new QPushButton(QStringLiteral("Move selected field up"));
    auto* btDown = new QPushButton(QStringLiteral("Move selected field down"));
    auto* btDel = new QPushButton(QStringLiteral("Delete selected row"));
    auto* btDelAll = new QPushButton(QStringLiteral("Delete all rows"));
    btSave = new QPushButton(QStringLiteral(">>"));
    btSave->setToolTip(QStringLiteral("Save sorting"));
    lbSaved = new QListWidget;
    auto* btDelSaved = new QPushButton(QStringLiteral("Delete selected row"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Sorting criteria:")));
    left->addWidget(table, 1);
    auto* rowButtons = new QHBoxLayout;
    for (QPushButton* b : {btUp, btDown, btDel, btDelAll})
        rowButtons->addWidget(b);
    left->addLayout(rowButtons);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Saved sorting:")));
    right->addWidget(lbSaved, 1);
    right->addWidget(btDelSaved);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 2);
    body->addWidget(btSave);
    body->addLayout(right, 1);
    auto* l = new QVBoxLayout(this);
    l->addLayout(body, 1);
    l->addWidget(buttons);

    const bool hasStore = VemoCompConfig().Global_PropSaveFile != nullptr;
    btSave->setEnabled(hasStore);
    lbSaved->setEnabled(hasStore);
    btDelSaved->setEnabled(hasStore);
    setItems(grid_ ? grid_->SortList() : SortItems());
    fillSaved();

    connect(btUp, &QPushButton::clicked, this, [this] { moveRow(table->currentRow(), -1); });
    connect(btDown, &QPushButton::clicked, this, [this] { moveRow(table->currentRow(), +1); });
    connect(btDel, &QPushButton::clicked, this, [this] { deleteRow(table->currentRow()); });
    connect(btDelAll, &QPushButton::clicked, this, [this] { deleteAllRows(); });
    connect(btSave, &QPushButton::clicked, this, [this] { saveSorting(); });
    connect(lbSaved, &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { loadSaved(it->text()); });
    connect(lbSaved, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* it) {
        if (loadSaved(it->text())) applyOk();
    });
    connect(btDelSaved, &QPushButton::clicked, this, [this] {
        if (lbSaved->currentItem()) deleteSaved(lbSaved->currentItem()->text());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { applyOk(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString TkDBSortForm2::captionOf(const QString& field) const {
    for (int i = 0; i < names_.size(); ++i)
        if (names_[i].compare(field, Qt::CaseInsensitive) == 0) return captions_[i];
    return field;
}

QString TkDBSortForm2::fieldOf(const QString& caption) const {
    const qsizetype i = captions_.indexOf(caption);
    if (i >= 0) return names_[i];
    return names_.contains(caption, Qt::CaseInsensitive) ? caption : QString();
}

void TkDBSortForm2::setItems(const SortItems& items) {
    table->setRowCount(0);
    for (const auto& it : items) {
        setRowField(table->rowCount() - 1 < 0 ? 0 : table->rowCount() - 1, captionOf(it.field));
        setRowDescending(table->rowCount() - 2, it.desc);
    }
    if (table->rowCount() == 0) setRowField(0, QString());
}

void TkDBSortForm2::setRowField(int row, const QString& caption) {
    if (row >= table->rowCount()) {
        row = table->rowCount();
        table->insertRow(row);
        auto* combo = new QComboBox;
        combo->addItem(QString());
        combo->addItems(captions_);
        table->setCellWidget(row, 0, combo);
        auto* check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        check->setCheckState(Qt::Unchecked);
        table->setItem(row, 1, check);
        connect(combo, &QComboBox::currentTextChanged, this, [this, combo](const QString& text) {
            // Choosing a field in the "*" row opens a new "*" row.
            const int last = table->rowCount() - 1;
            if (!text.isEmpty() && table->cellWidget(last, 0) == combo) setRowField(last + 1, QString());
        });
    }
    auto* combo = static_cast<QComboBox*>(table->cellWidget(row, 0));
    if (combo->findText(caption) < 0 && !caption.isEmpty()) combo->addItem(caption);
    combo->setCurrentText(caption);
    for (int r = 0; r < table->rowCount(); ++r)
        table->setVerticalHeaderItem(
            r,
            new QTableWidgetItem(r == table->rowCount() - 1 ? QStringLiteral("*") : QString::number(r + 1)));
}

void TkDBSortForm2::setRowDescending(int row, bool desc) {
    if (QTableWidgetItem* it = row >= 0 ? table->item(row, 1) : nullptr)
        it->setCheckState(desc ? Qt::Checked : Qt::Unchecked);
}

SortItems TkDBSortForm2::items() const {
    SortItems out;
    for (int r = 0; r < table->rowCount(); ++r) {
        const QString field = fieldOf(static_cast<QComboBox*>(table->cellWidget(r, 0))->currentText());
        if (!field.isEmpty()) out.append({field, table->item(r, 1)->checkState() == Qt::Checked});
    }
    return out;
}

void TkDBSortForm2::moveRow(int row, int delta) {
    const int other = row + delta;
    const int last = table->rowCount() - 1; // the "*" row never moves
    if (row < 0 || row >= last || other < 0 || other >= last) return;
    SortItems all;
    for (int r = 0; r < last; ++r)
        all.append({static_cast<QComboBox*>(table->cellWidget(r, 0))->currentText(),
                    table->item(r, 1)->checkState() == Qt::Checked});
    all.swapItemsAt(row, other);
    for (int r = 0; r < last; ++r) {
        static_cast<QComboBox*>(table->cellWidget(r, 0))->setCurrentText(all[r].field);
        setRowDescending(r, all[r].desc);
    }
    table->setCurrentCell(other, 0);
}

void TkDBSortForm2::deleteRow(int row) {
    if (row < 0 || row >= table->rowCount() - 1) return;
    table->removeRow(row);
    for (int r = 0; r < table->rowCount(); ++r)
        table->setVerticalHeaderItem(
            r,
            new QTableWidgetItem(r == table->rowCount() - 1 ? QStringLiteral("*") : QString::number(r + 1)));
}

void TkDBSortForm2::deleteAllRows() {
    setItems({});
}

bool TkDBSortForm2::applyOk() {
    if (!grid_ || !grid_->ChangeSortEx(items())) {
        Messages().warning(QStringLiteral("Error: Sorting of data."));
        return false;
    }
    accept();
    return true;
}

int TkDBSortForm2::slotOf(const QString& name) const {
    for (int i = 0; i < kSavedSortSlots; ++i) {
        SavedSort s;
        if (ReadSavedSort(grid_, i, s) && s.name.compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

void TkDBSortForm2::fillSaved() {
    lbSaved->clear();
    QStringList names;
    for (int i = 0; i < kSavedSortSlots; ++i) {
        SavedSort s;
        if (ReadSavedSort(grid_, i, s)) names << s.name;
    }
    names.sort(Qt::CaseInsensitive);
    lbSaved->addItems(names);
}

bool TkDBSortForm2::saveSorting() {
    const SortItems current = items();
    if (current.isEmpty()) return false;
    QString name;
    if (lbSaved->currentItem()) {
        name = lbSaved->currentItem()->text();
    } else {
        QStringList fields;
        for (const auto& it : current)
            fields << it.field;
        name = fields.join(QStringLiteral(", "));
    }
    if (!Messages().inputBox(QStringLiteral("Input"), QStringLiteral("Name of saved item:"), name) ||
        name.trimmed().isEmpty())
        return false;
    const int slot = SavedSortSlotFor(grid_, name);
    if (slot < 0) {
        Messages().warning(QStringLiteral("All %1 places for saved sortings are used.").arg(kSavedSortSlots));
        return false;
    }
    WriteSavedSort(grid_, slot, {name, current});
    fillSaved();
    return true;
}

bool TkDBSortForm2::loadSaved(const QString& name) {
    SavedSort s;
    const int slot = slotOf(name);
    if (slot < 0 || !ReadSavedSort(grid_, slot, s)) return false;
    setItems(s.items);
    return true;
}

bool TkDBSortForm2::deleteSaved(const QString& name) {
    const int slot = slotOf(name);
    if (slot < 0) return false;
    EraseSavedSort(grid_, slot);
    fillSaved();
    return true;
}

bool ShowSortDialog(TkDBGrid* grid) {
    TkDBSortForm2 form(grid, grid ? grid->window() : nullptr);
    return form.exec() == QDialog::Accepted;
}
