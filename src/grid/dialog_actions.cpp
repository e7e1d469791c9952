#include "dialog_actions.h"

#include "cell_params_form.h"
#include "db_action.h"
#include "fields_form.h"
#include "fields_group_form.h"
#include "find_form.h"
#include "props_form.h"
#include "value_list_form.h"

namespace {
bool gridHasData(TkDBGrid* g) {
    return g && g->dataSet() && g->dataSet()->Active();
}
} // namespace

void InstallGridDialogActions(TkDBAction* module) {
    InstallColumnGroupActions(module);
    InstallGridPropsAction(module);
    module->setHandler(
        QStringLiteral("acoFind"), [](TkDBGrid* g) { ShowFindDialog(g, false); }, gridHasData);
    module->setHandler(
        QStringLiteral("accColumns"), [](TkDBGrid* g) { ShowFieldsDialog(g); }, gridHasData);
    module->setHandler(
        QStringLiteral("acoColor"), [](TkDBGrid* g) { ShowCellConditions(g); }, gridHasData);
    module->setHandler(
        QStringLiteral("acfFilterDlg"), [](TkDBGrid* g) { ShowFunnelFilter(g); },
        [](TkDBGrid* g) {
            const TField* f = g ? g->fieldOfColumn(g->currentIndex().column()) : nullptr;
            return gridHasData(g) && f && (IsPlainField(*f) || IsMemoField(*f));
        });
}
