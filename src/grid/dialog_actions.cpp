#include "dialog_actions.h"

#include "db_action.h"
#include "fields_form.h"
#include "find_form.h"

namespace {
bool gridHasData(TkDBGrid* g) {
    return g && g->dataSet() && g->dataSet()->Active();
}
} // namespace

void InstallGridDialogActions(TkDBAction* module) {
    module->setHandler(
        QStringLiteral("acoFind"), [](TkDBGrid* g) { ShowFindDialog(g, false); }, gridHasData);
    module->setHandler(
        QStringLiteral("accColumns"), [](TkDBGrid* g) { ShowFieldsDialog(g); }, gridHasData);
}
