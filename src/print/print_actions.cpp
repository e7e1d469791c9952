#include "print_actions.h"

#include "db_action.h"
#include "direct_print_form.h"
#include "template_print_form.h"

#include <QAction>

void InstallPrintActions(TkDBAction* module) {
    // The windows get the enabled state of the column selection and filter commands.
    auto enabled = [module](const char* name) {
        QAction* a = module->action(QString::fromLatin1(name));
        return a && a->isEnabled();
    };
    module->setHandler(QStringLiteral("acoPrintDirect"), [=](TkDBGrid* g) {
        ShowDirectPrintDialog(g, enabled("accColumns"), enabled("acfFilter"), QString());
    });
    module->setHandler(QStringLiteral("acoPrint"), [=](TkDBGrid* g) {
        ShowPrintDialog(g, enabled("accColumns"), enabled("acfFilter"), QString());
    });
}
