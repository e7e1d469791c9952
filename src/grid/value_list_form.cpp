#include "value_list_form.h"

#include "comp_config.h"
#include "cursor_guard.h"
#include "db_grid.h"
#include "filter_cond_form.h"
#include "messages.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

TkDBGridFilterForm::TkDBGridFilterForm(TkDBGrid* grid, TField* field, QWidget* parent)
    : QDialog(parent), grid_(grid), field_(field) {
    setObjectName(QStringLiteral("kDBGridFilterForm"));
    setWindowTitle(field->DisplayLabel());
    lbValues = new QListWidget;
    chAnd = new QCheckBox(QStringLiteral("Add to act. filter"));
    chAnd->setVisible(grid->OptionsEx2.Filters.MultiFieldFilter);
    btOk = new QPushButton(QStringLiteral("Ok"));
    btOk->setDefault(true);
    btClear = new QPushButton(QStringLiteral("Clear"));
    btFilter = new QPushButton(QStringLiteral("Filter..."));
    btFilter->setEnabled(field->FieldKind == fkData && !IsBooleanField(*field));
    btCancel = new QPushButton(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btOk, btClear, btFilter, btCancel})
        buttons->addWidget(b);
    auto* l = new QVBoxLayout(this);
    l->addWidget(lbValues, 1);
    l->addWidget(chAnd);
    l->addLayout(buttons);

    TDataSet* ds = grid->dataSet();
    const bool filtered = ds->Filtered();
    btClear->setEnabled(filtered);
    {
        HourglassCursor wait;
        // The values of the records shown are ticked; with a filter on, the others follow unticked.
        values_ = DistinctValues(*ds, field);
        if (filtered) {
            QSet<QString> shown;
            for (const DistinctValue& d : values_)
                shown.insert(d.value.isValid() ? d.text : QString());
            const TBookmark bm = ds->GetBookmark();
            ds->DisableControls();
            ds->setFiltered(false);
            QList<DistinctValue> all = DistinctValues(*ds, field);
            ds->setFiltered(true);
            if (ds->BookmarkValid(bm)) ds->GotoBookmark(bm);
            ds->EnableControls();
            values_ = all;
            filling_ = true;
            lbValues->addItem(QStringLiteral("(select all)"));
            for (const DistinctValue& d : values_) {
                auto* it = new QListWidgetItem(d.text, lbValues);
                it->setCheckState(shown.contains(d.value.isValid() ? d.text : QString()) ? Qt::Checked
                                                                                         : Qt::Unchecked);
            }
        } else {
            filling_ = true;
            lbValues->addItem(QStringLiteral("(select all)"));
            for (const DistinctValue& d : values_)
                (new QListWidgetItem(d.text, lbValues))->setCheckState(Qt::Checked);
        }
    }
    QListWidgetItem* all = lbValues->item(0);
    bool every = true;
    for (int i = 1; i < lbValues->count(); ++i)
        every = every && lbValues->item(i)->checkState() == Qt::Checked;
    all->setCheckState(every ? Qt::Checked : Qt::Unchecked);
    if (VemoCompConfig().kDBGridCfg.FilterListBoldSelectAll) {
        QFont f = all->font();
        f.setBold(true);
        all->setFont(f);
    }
    if (VemoCompConfig().kDBGridCfg.FilterListUseColumnAlignment)
        for (int i = 1; i < lbValues->count(); ++i)
            lbValues->item(i)->setTextAlignment(field->Alignment | Qt::AlignVCenter);
    filling_ = false;
    refreshOk();

    connect(lbValues, &QListWidget::itemChanged, this, [this](QListWidgetItem* it) { itemChanged(it); });
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (ok()) accept();
    });
    connect(btClear, &QPushButton::clicked, this, [this] {
        SetFilterForField(grid_, field_, QString(), true, true, true); // the other columns keep theirs
        accept();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btFilter, &QPushButton::clicked, this, [this] {
        conditionAsked_ = true;
        reject();
    });
}

bool TkDBGridFilterForm::ticked(int value) const {
    return lbValues->item(value + 1)->checkState() == Qt::Checked;
}

void TkDBGridFilterForm::setTicked(int value, bool on) {
    lbValues->item(value + 1)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void TkDBGridFilterForm::itemChanged(QListWidgetItem* it) {
    if (filling_) return;
    filling_ = true;
    const bool on = it->checkState() == Qt::Checked;
    if (lbValues->row(it) == 0) {
        for (int i = 1; i < lbValues->count(); ++i)
            lbValues->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    } else if (!on) {
        lbValues->item(0)->setCheckState(Qt::Unchecked);
    }
    filling_ = false;
    refreshOk();
}

void TkDBGridFilterForm::refreshOk() {
    bool any = false;
    for (int i = 0; i < lbValues->count() && !any; ++i)
        any = lbValues->item(i)->checkState() == Qt::Checked;
    btOk->setEnabled(any);
}

bool TkDBGridFilterForm::ok() {
    QString condition;
    if (lbValues->item(0)->checkState() != Qt::Checked) {
        QList<QVariant> chosen;
        for (int i = 0; i < values_.size(); ++i)
            if (ticked(i)) chosen << values_[i].value;
        const int max = VemoCompConfig().kDBGridCfg.FilterConditionMaxItems;
        if (values_.size() > max && chosen.size() > max) {
            Messages().warning(QStringLiteral("It generates too complex filter condition. Change filter "
                                              "setting or use text filter instead."));
            return false;
        }
        if (chosen.isEmpty()) return false; // "Ok" is off while nothing is ticked
        condition = ValuesCondition(field_, chosen, FilterIgnoresCase(grid_));
    }
    const bool multi = chAnd->isChecked() || VemoCompConfig().kDBGridCfg.FilterMultiFieldForcedOn;
    return SetColumnFilter(grid_, field_, condition, true, multi, this);
}

void ShowFunnelFilter(TkDBGrid* grid, int column, const QPoint& pos) {
    TDataSet* ds = grid ? grid->dataSet() : nullptr;
    if (!ds || !ds->Active()) return;
    if (column < 0) column = grid->currentIndex().column();
    TField* field = grid->fieldOfColumn(column);
    if (!field || !(IsPlainField(*field) || IsMemoField(*field))) return;
    TkDBGridFilterForm form(grid, field, grid->window());
    form.resize(qMax(form.minimumSizeHint().width(), grid->columnWidth(column)), 320);
    QPoint at = pos;
    if (at.isNull())
        at = grid->mapToGlobal(QPoint(grid->columnViewportPosition(column) + grid->verticalHeader()->width(),
                                      grid->horizontalHeader()->height()));
    form.move(at);
    form.exec();
    if (!form.conditionAsked()) return;
    // The condition window offers the listed values, without the NULL entry.
    QStringList values;
    for (const DistinctValue& d : form.values())
        if (d.value.isValid()) values << d.text;
    const bool multi = form.chAnd->isChecked() || VemoCompConfig().kDBGridCfg.FilterMultiFieldForcedOn;
    ShowFilterCondForm(grid, field, multi, values);
}
