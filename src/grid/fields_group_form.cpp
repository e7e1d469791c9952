#include "fields_group_form.h"

#include "db_action.h"
#include "db_grid.h"
#include "exceptions.h"
#include "field.h"
#include "messages.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QListWidget* columnList() {
    auto* l = new QListWidget;
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setDragDropMode(QAbstractItemView::DragDrop);
    l->setDefaultDropAction(Qt::MoveAction);
    return l;
}

QStringList fieldsOf(const QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->data(Qt::UserRole).toString();
    return out;
}
} // namespace

TkDBFieldsGroupForm::TkDBFieldsGroupForm(TkDBGrid* grid, QWidget* parent)
    : TkDBDlgBaseForm(QStringLiteral("kDBFieldsGroupForm"), parent), grid_(grid),
      groups_(grid->ColumnGroups().Groups) {
    setWindowTitle(QStringLiteral("Column groups"));
    lbGroups = new QListWidget;
    lbGroups->setObjectName(QStringLiteral("lbGroups"));
    btNew = new QPushButton(QStringLiteral("New group"));
    btNew->setToolTip(QStringLiteral("Add a new group"));
    btDelete = new QPushButton(QStringLiteral("Delete group"));
    btDelete->setToolTip(QStringLiteral("Delete selected group"));
    eName = new QLineEdit;
    cbMaster = new QComboBox;
    cbMaster->setToolTip(QStringLiteral("The column that stays shown while the group is collapsed"));
    lbFields = columnList();
    lbFields->setToolTip(QStringLiteral("Columns in no group: drag them into the group"));
    lbMembers = columnList();
    lbMembers->setToolTip(QStringLiteral("Columns of the group in their order"));
    btAdd = new QPushButton(QStringLiteral(">"));
    btAdd->setToolTip(QStringLiteral("Add selected columns to the group"));
    btRemove = new QPushButton(QStringLiteral("<"));
    btRemove->setToolTip(QStringLiteral("Remove selected columns from the group"));
    btUp = new QPushButton(QStringLiteral("\u25B2"));
    btUp->setToolTip(QStringLiteral("Move selected column up"));
    btDown = new QPushButton(QStringLiteral("\u25BC"));
    btDown->setToolTip(QStringLiteral("Move selected column down"));
    chActive = new QCheckBox(QStringLiteral("Group columns"));
    chActive->setChecked(grid->FieldGroupsActive());
    btOk = new QPushButton(QStringLiteral("Ok"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"));

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Groups:")));
    left->addWidget(lbGroups, 1);
    auto* groupButtons = new QHBoxLayout;
    groupButtons->addWidget(btNew);
    groupButtons->addWidget(btDelete);
    left->addLayout(groupButtons);

    auto* right = new QGridLayout;
    right->addWidget(new QLabel(QStringLiteral("Group name:")), 0, 0);
    right->addWidget(eName, 0, 1, 1, 3);
    right->addWidget(new QLabel(QStringLiteral("Master column:")), 1, 0);
    right->addWidget(cbMaster, 1, 1, 1, 3);
    right->addWidget(new QLabel(QStringLiteral("Other columns:")), 2, 0, 1, 2);
    right->addWidget(new QLabel(QStringLiteral("Columns in group:")), 2, 3);
    right->addWidget(lbFields, 3, 0, 1, 2);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton* b : {btAdd, btRemove, btUp, btDown})
        moves->addWidget(b);
    moves->addStretch();
    right->addLayout(moves, 3, 2);
    right->addWidget(lbMembers, 3, 3);
    right->setRowStretch(3, 1);

    auto* body = new QHBoxLayout;
    body->addLayout(left, 2);
    body->addLayout(right, 5);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chActive);
    bottom->addStretch();
    bottom->addWidget(btOk);
    bottom->addWidget(btCancel);
    auto* l = new QVBoxLayout(this);
    l->addLayout(body, 1);
    l->addLayout(bottom);
    resize(620, 360);

    for (const TColumnGroup& g : groups_)
        lbGroups->addItem(g.Name);
    showGroup(groups_.isEmpty() ? -1 : 0);
    LoadPosition();

    connect(lbGroups, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!filling_) showGroup(row);
    });
    connect(eName, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (act_ < 0) return;
        groups_[act_].Name = text;
        lbGroups->item(act_)->setText(text);
    });
    connect(cbMaster, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!filling_ && act_ >= 0 && i >= 0) {
            groups_[act_].Master = cbMaster->itemData(i).toString();
            showGroup(act_); // the master's entry turns bold
        }
    });
    connect(btNew, &QPushButton::clicked, this, &TkDBFieldsGroupForm::newGroup);
    connect(btDelete, &QPushButton::clicked, this, &TkDBFieldsGroupForm::deleteGroup);
    connect(btAdd, &QPushButton::clicked, this, &TkDBFieldsGroupForm::addSelected);
    connect(btRemove, &QPushButton::clicked, this, &TkDBFieldsGroupForm::removeSelected);
    connect(btUp, &QPushButton::clicked, this, [this] { moveMember(-1); });
    connect(btDown, &QPushButton::clicked, this, [this] { moveMember(1); });
    connect(lbFields, &QListWidget::itemDoubleClicked, this, [this] { addSelected(); });
    connect(lbMembers, &QListWidget::itemDoubleClicked, this, [this] { removeSelected(); });
    // A drop inserts and removes rows of the lists themselves: the group follows the member list.
    for (QAbstractItemModel* m : {lbMembers->model(), lbFields->model()}) {
        connect(m, &QAbstractItemModel::rowsInserted, this, [this] { membersChanged(); });
        connect(m, &QAbstractItemModel::rowsRemoved, this, [this] { membersChanged(); });
        connect(m, &QAbstractItemModel::rowsMoved, this, [this] { membersChanged(); });
        connect(m, &QAbstractItemModel::dataChanged, this, [this] { membersChanged(); });
    }
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (apply()) accept();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TkDBFieldsGroupForm::titleOf(const QString& field) const {
    const int c = grid_->columnOfField(field);
    return c >= 0 ? grid_->GetTitleText(c) : field;
}

void TkDBFieldsGroupForm::showGroup(int group) {
    filling_ = true;
    act_ = group;
    if (lbGroups->currentRow() != group) lbGroups->setCurrentRow(group);
    const bool any = group >= 0;
    for (QWidget* w : std::initializer_list<QWidget*>{eName, cbMaster, lbFields, lbMembers, btAdd, btRemove,
                                                      btUp, btDown, btDelete})
        w->setEnabled(any);
    eName->setText(any ? groups_[group].Name : QString());
    lbMembers->clear();
    if (any)
        for (const QString& f : groups_[group].Fields) {
            auto* it = new QListWidgetItem(titleOf(f));
            it->setData(Qt::UserRole, f);
            if (f.compare(groups_[group].Master, Qt::CaseInsensitive) == 0) {
                QFont bold = it->font();
                bold.setBold(true);
                it->setFont(bold);
            }
            lbMembers->addItem(it);
        }
    fillFields();
    fillMaster();
    filling_ = false;
}

void TkDBFieldsGroupForm::fillFields() {
    // Every column of the grid in the order shown that no group holds.
    lbFields->clear();
    QStringList taken;
    for (const TColumnGroup& g : groups_)
        taken << g.Fields;
    const QHeaderView* h = grid_->horizontalHeader();
    for (int v = 0; v < grid_->model()->columnCount(); ++v) {
        const TField* f = grid_->fieldOfColumn(h->logicalIndex(v));
        if (!f || taken.contains(f->FieldName, Qt::CaseInsensitive)) continue;
        auto* it = new QListWidgetItem(titleOf(f->FieldName));
        it->setData(Qt::UserRole, f->FieldName);
        lbFields->addItem(it);
    }
}

void TkDBFieldsGroupForm::fillMaster() {
    cbMaster->clear();
    if (act_ < 0) return;
    TColumnGroup& g = groups_[act_];
    for (const QString& f : g.Fields)
        cbMaster->addItem(titleOf(f), f);
    if (!g.Fields.contains(g.Master, Qt::CaseInsensitive)) g.Master = g.Fields.value(0);
    cbMaster->setCurrentIndex(std::max(0, int(g.Fields.indexOf(g.Master))));
}

void TkDBFieldsGroupForm::membersChanged() {
    if (filling_ || act_ < 0) return;
    groups_[act_].Fields = fieldsOf(lbMembers);
    filling_ = true;
    fillMaster();
    filling_ = false;
}

void TkDBFieldsGroupForm::newGroup() {
    TColumnGroup g;
    g.Name = QStringLiteral("Group %1").arg(groups_.size() + 1);
    groups_ << g;
    filling_ = true;
    lbGroups->addItem(g.Name);
    filling_ = false;
    showGroup(int(groups_.size()) - 1);
    eName->setFocus();
    eName->selectAll();
}

void TkDBFieldsGroupForm::deleteGroup() {
    if (act_ < 0) return;
    const int row = act_;
    groups_.removeAt(row);
    filling_ = true;
    delete lbGroups->takeItem(row);
    filling_ = false;
    showGroup(std::min(row, int(groups_.size()) - 1));
}

void TkDBFieldsGroupForm::addSelected() {
    if (act_ < 0) return;
    for (QListWidgetItem* it : lbFields->selectedItems())
        groups_[act_].Fields << it->data(Qt::UserRole).toString();
    showGroup(act_);
}

void TkDBFieldsGroupForm::removeSelected() {
    if (act_ < 0) return;
    for (QListWidgetItem* it : lbMembers->selectedItems())
        groups_[act_].Fields.removeAll(it->data(Qt::UserRole).toString());
    showGroup(act_);
}

void TkDBFieldsGroupForm::moveMember(int delta) {
    const int row = lbMembers->currentRow();
    if (act_ < 0 || row < 0) return;
    QStringList& fields = groups_[act_].Fields;
    const int to = row + delta;
    if (to < 0 || to >= fields.size()) return;
    fields.move(row, to);
    showGroup(act_);
    lbMembers->setCurrentRow(to);
}

bool TkDBFieldsGroupForm::apply() {
    try {
        grid_->SetColumnGroups(groups_);
    } catch (const Exception& e) {
        Messages().warning(e.Message);
        return false;
    }
    grid_->SetFieldGroupsActive(chActive->isChecked());
    return true;
}

bool ShowFieldsGroupDialog(TkDBGrid* grid) {
    if (!grid) return false;
    TkDBFieldsGroupForm form(grid, grid->window());
    return form.exec() == QDialog::Accepted;
}

void InstallColumnGroupActions(TkDBAction* module) {
    auto hasData = [](TkDBGrid* g) { return g && g->dataSet() && g->dataSet()->Active(); };
    module->setHandler(
        QStringLiteral("accColumnGroupping"),
        [](TkDBGrid* g) { g->SetFieldGroupsActive(!g->FieldGroupsActive()); },
        [module, hasData](TkDBGrid* g) {
            module->action(QStringLiteral("accColumnGroupping"))->setChecked(g && g->FieldGroupsActive());
            return hasData(g);
        });
    module->setHandler(
        QStringLiteral("accColumnGroups"), [](TkDBGrid* g) { ShowFieldsGroupDialog(g); }, hasData);
}
