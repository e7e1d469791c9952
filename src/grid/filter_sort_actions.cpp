#include "filter_sort_actions.h"

#include "comp_config.h"
#include "db_action.h"
#include "filter_form.h"
#include "filter_text.h"
#include "sort_form.h"
#include "sort_text.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

namespace {
bool gridHasData(TkDBGrid* g) {
    return g && g->dataSet() && g->dataSet()->Active();
}

TField* currentField(TkDBGrid* g) {
    return g ? g->fieldOfColumn(g->currentIndex().column()) : nullptr;
}

bool canFilterBySelection(TkDBGrid* g) {
    return gridHasData(g) && !g->dataSet()->IsEmpty() && !SelectionCondition(currentField(g)).isEmpty();
}

bool canSortCurrent(TkDBGrid* g) {
    TField* f = currentField(g);
    return gridHasData(g) && g->CanSort() && f && IsPlainField(*f);
}

void addNoSavedItems(QMenu* m) {
    m->addAction(QStringLiteral("no saved items"))->setEnabled(false);
}

void fillFilterList(TkDBAction* module) {
    QMenu* m = module->pmFilterList;
    const QList<QAction*> items = m->actions();
    for (int i = 3; i < items.size(); ++i) {
        m->removeAction(items[i]);
        if (items[i]->parent() == m) delete items[i];
    }
    TkDBGrid* grid = module->GetActiveGrid();
    const QStringList names = grid ? StoredFilterNames(grid) : QStringList();
    if (names.isEmpty()) addNoSavedItems(m);
    for (const QString& n : names) {
        QAction* a = m->addAction(n);
        QObject::connect(a, &QAction::triggered, m, [module, n] {
            if (TkDBGrid* g = module->GetActiveGrid()) ApplyStoredFilter(g, n);
        });
    }
}

void fillSortList(TkDBAction* module) {
    QMenu* m = module->pmSortList;
    m->clear();
    TkDBGrid* grid = module->GetActiveGrid();
    QList<QPair<QString, int>> saved;
    for (int i = 0; grid && VemoCompConfig().Global_PropSaveFile && i < kSavedSortSlots; ++i) {
        SavedSort s;
        if (ReadSavedSort(grid, i, s)) saved.append({s.name, i});
    }
    std::sort(saved.begin(), saved.end(),
              [](const auto& a, const auto& b) { return a.first.compare(b.first, Qt::CaseInsensitive) < 0; });
    if (saved.isEmpty()) addNoSavedItems(m);
    for (const auto& [name, slot] : saved) {
        QAction* a = m->addAction(name);
        a->setData(slot);
        QObject::connect(a, &QAction::triggered, m, [module, slot = slot] {
            if (TkDBGrid* g = module->GetActiveGrid()) ApplySavedSort(g, slot);
        });
    }
}
} // namespace

void InstallFilterSortActions(TkDBAction* module) {
    auto sel = [](FilterSelMode mode) { return [mode](TkDBGrid* g) { FilterBySelection(g, mode); }; };
    module->setHandler(QStringLiteral("acfFilterSel"), sel(FilterSelMode::Replace), canFilterBySelection);
    module->setHandler(QStringLiteral("acfFilterSelAnd"), sel(FilterSelMode::And), canFilterBySelection);
    module->setHandler(QStringLiteral("acfFilterSelOr"), sel(FilterSelMode::Or), canFilterBySelection);
    module->setHandler(
        QStringLiteral("acfFilterForm"), [](TkDBGrid* g) { ShowFilterDialog(g, nullptr, true); },
        gridHasData);
    module->setHandler(
        QStringLiteral("acfFilter"),
        [](TkDBGrid* g) {
            TDataSet* ds = g->dataSet();
            if (ApplyFilter(ds, ds->Filtered() ? QString() : ds->Filter(), true))
                g->FilterChangedNotification();
        },
        [module](TkDBGrid* g) {
            const bool on = gridHasData(g) && g->dataSet()->Filtered();
            QAction* a = module->action(QStringLiteral("acfFilter"));
            a->setCheckable(true);
            a->setChecked(on);
            return gridHasData(g) && (on || !g->dataSet()->Filter().trimmed().isEmpty());
        });
    const auto hasStore = [] { return VemoCompConfig().Global_PropSaveFile != nullptr; };
    module->setHandler(
        QStringLiteral("acfFilterSave"), [](TkDBGrid* g) { SaveCurrentFilter(g); },
        [hasStore](TkDBGrid* g) { return hasStore() && gridHasData(g) && g->dataSet()->Filtered(); });
    module->setHandler(
        QStringLiteral("acfFilterLoad"), [](TkDBGrid* g) { ShowStoredFilters(g); },
        [hasStore](TkDBGrid* g) { return hasStore() && gridHasData(g); });

    module->setHandler(
        QStringLiteral("acsSort1"), [](TkDBGrid* g) { g->ChangeSort({currentField(g)->FieldName}, false); },
        canSortCurrent);
    module->setHandler(
        QStringLiteral("acsSort2"), [](TkDBGrid* g) { g->ChangeSort({currentField(g)->FieldName}, true); },
        canSortCurrent);
    module->setHandler(
        QStringLiteral("acsSort3"),
        [](TkDBGrid* g) {
            // Without a sort yet the field alone becomes the order.
            QStringList fields;
            for (const auto& s : g->SortList())
                fields << s.field;
            const QString name = currentField(g)->FieldName;
            if (fields.contains(name, Qt::CaseInsensitive)) return;
            g->ChangeSort(fields << name, g->SortDesc());
        },
        canSortCurrent);
    module->setHandler(
        QStringLiteral("acsSortDlg"), [](TkDBGrid* g) { ShowSortDialog(g); },
        [](TkDBGrid* g) { return gridHasData(g) && g->CanSort(); });
    module->setHandler(
        QStringLiteral("acsSortNone"), [](TkDBGrid* g) { g->ChangeSort({}, false); },
        [](TkDBGrid* g) { return gridHasData(g) && g->CanSort() && !g->SortList().isEmpty(); });

    // Refreshing re-reads the rows and keeps the order, the current column and record.
    module->setHandler(
        QStringLiteral("acoRefresh"), [](TkDBGrid* g) { g->RefreshData(); }, gridHasData);

    QObject::connect(module->pmFilterList, &QMenu::aboutToShow, module, [module] { fillFilterList(module); });
    QObject::connect(module->pmSortList, &QMenu::aboutToShow, module, [module] { fillSortList(module); });
}
