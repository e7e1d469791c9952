#include "grid_bars.h"

#include "db_action.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace {
// Adds the buttons in order; "" is a separator, a menu makes the button a drop-down.
void addButtons(QToolBar* bar, TkDBAction* actions,
                std::initializer_list<std::pair<const char*, QMenu*>> items) {
    for (const auto& [name, menu] : items) {
        if (!*name) {
            bar->addSeparator();
            continue;
        }
        QAction* a = actions->action(QString::fromLatin1(name));
        bar->addAction(a);
        if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a))) {
            b->setObjectName(QStringLiteral("bt") + a->objectName());
            if (menu) {
                b->setMenu(menu);
                b->setPopupMode(QToolButton::MenuButtonPopup);
            }
        }
    }
}
} // namespace

TkDBToolBar::TkDBToolBar(TkDBAction* a, QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("TkDBToolBar"));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    addButtons(this, a,
               {{"acoFind", nullptr},
                {"", nullptr},
                {"acsSort1", nullptr},
                {"acsSort2", nullptr},
                {"acsSortDlg", a->pmSortList},
                {"", nullptr},
                {"acfFilterSel", a->pmFilterSel},
                {"acfFilterForm", nullptr},
                {"acfFilter", a->pmFilterList},
                {"", nullptr},
                {"accColumns", a->pmColumnWidth},
                {"acoProperties", nullptr},
                {"", nullptr},
                {"acoCopyCell", a->pmCopyData},
                {"acoExport", nullptr},
                {"acoPrint", nullptr},
                {"acoPrintDirect", nullptr},
                {"", nullptr},
                {"acoRefresh", nullptr}});
}

TkDBEditBar::TkDBEditBar(TkDBAction* a, QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("TkDBEditBar"));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    addButtons(this, a,
               {{"aceEdit", nullptr},
                {"", nullptr},
                {"aceAdd", nullptr},
                {"aceDuplic", nullptr},
                {"", nullptr},
                {"aceDelete", nullptr},
                {"aceSave", nullptr},
                {"aceSaveAdd", nullptr},
                {"aceCancel", nullptr},
                {"", nullptr},
                {"acoClose", nullptr}});
}
