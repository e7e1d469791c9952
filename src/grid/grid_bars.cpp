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

// Short button texts, so the whole bar fits a window of the usual width; the commands keep their
// captions in the menus and as the buttons' hints.
const std::pair<const char*, const char*> kShortTexts[] = {
    {"acoFind", "Find"},
    {"acsSort1", "Sort asc"},
    {"acsSort2", "Sort desc"},
    {"acsSortDlg", "Sorting"},
    {"acfFilterSel", "By selection"},
    {"acfFilterForm", "Filter"},
    {"acfFilter", "Filter on/off"},
    {"accColumns", "Fields"},
    {"acoProperties", "Properties"},
    {"acoCopyCell", "Copy"},
    {"acoExport", "Export"},
    {"acoPrint", "RTF print"},
    {"acoPrintDirect", "Print"},
    {"acoRefresh", "Refresh"},
};
} // namespace

TkDBToolBar::TkDBToolBar(TkDBAction* a, QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("TkDBToolBar"));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const auto& [name, text] : kShortTexts)
        a->action(QString::fromLatin1(name))->setIconText(QString::fromLatin1(text));
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
                {"accColumns", nullptr},
                {"acoProperties", nullptr},
                {"", nullptr},
                {"acoCopyCell", a->pmCopyData},
                {"acoExport", nullptr},
                {"acoPrint", nullptr},
                {"acoPrintDirect", nullptr},
                {"", nullptr},
                {"acoRefresh", nullptr}});
    // The column width modes on a button of their own, usable whatever the column dialog's state.
    auto* widths = new QToolButton(this);
    widths->setObjectName(QStringLiteral("btColumnWidth"));
    widths->setText(QStringLiteral("Column widths"));
    widths->setToolTip(QStringLiteral("Column widths"));
    widths->setMenu(a->pmColumnWidth);
    widths->setPopupMode(QToolButton::InstantPopup);
    widths->setToolButtonStyle(Qt::ToolButtonTextOnly);
    insertWidget(a->action(QStringLiteral("acoProperties")), widths);
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
