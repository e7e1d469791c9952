#include "db_action.h"

#include "db_grid.h"

#include <QAction>
#include <QMenu>
#include <QSet>

namespace {
struct ActionDef {
    const char* name;
    const char* category;
    const char* caption;
    const char* hint; // nullptr: the caption
    const char* shortcut;
    int tag;
};

// The command list, in its order.
const ActionDef kActions[] = {
    {"acoCopyCell", "Copy", "Copy selected value", nullptr, "", 49},
    {"aceView", "Edit", "Show", "Show selected record", "", 0},
    {"aceEdit", "Edit", "Edit", "Edit selected record", "F2", 355},
    {"aceAdd", "Edit", "New", "Insert new record", "Ctrl+N", 251},
    {"aceDuplic", "Edit", "Duplicate", "Duplicate selected record", "Ctrl+M", 255},
    {"aceDelete", "Edit", "Delete", "Delete selected record", "Ctrl+Del", 455},
    {"aceSave", "Edit", "Save", "Save record", "Ctrl+S", 215},
    {"aceSaveAdd", "Edit", "Save and new", "Save record and add new one", "Ctrl+W", 215},
    {"aceCancel", "Edit", "Cancel", "Cancel changes", "", 215},
    {"acoFind", "Other", "Find record...", nullptr, "Ctrl+F", 49},
    {"acfFilterSel", "Filter", "Filter by selection", nullptr, "Ctrl+R", 49},
    {"acfFilterSelAnd", "Filter", "Filter AND filter by selection", nullptr, "Ctrl+I", 49},
    {"acfFilterSelOr", "Filter", "Filter OR filter by selection", nullptr, "Ctrl+O", 49},
    {"acfFilterDlg", "Filter", "Filter by value selection", "Enter filter by value selection from list",
     "Ctrl+Alt+R", 49},
    {"acfFilterForm", "Filter", "Enter filter manually...", nullptr, "", 49},
    {"acfFilter", "Filter", "Switch filter on/off", nullptr, "Ctrl+Q", 49},
    {"accColumns", "Column", "Fields selection and properties...", nullptr, "Ctrl+Alt+C", 49},
    {"acsSort1", "Sort", "Sort data ascending", nullptr, "Ctrl+T", 49},
    {"acsSort2", "Sort", "Sort data descending", nullptr, "", 49},
    {"acsSort3", "Sort", "Sort data according additional column", nullptr, "Ctrl+Shift+T", 49},
    {"acsSortDlg", "Sort", "Set sorting in dialog...", "Set sorting in dialog", "Ctrl+Alt+T", 49},
    {"acoExport", "Other", "Export data...", nullptr, "", 1049},
    {"acoPrint", "Other", "Print data to RTF...", "Print data to RTF file...", "", 1049},
    {"acoPrintDirect", "Other", "Print data...", nullptr, "", 1049},
    {"acoRefresh", "Other", "Refresh data", nullptr, "F5", 49},
    {"acoClose", "Other", "Close", "Close window", "", 48},
    {"accWidthAuto", "Column", "Align columns to window (automatic width)", nullptr, "", 49},
    {"accWidthSame", "Column", "Align columns to window (same width)", nullptr, "", 49},
    {"accWidthData", "Column", "Width according data length", nullptr, "", 49},
    {"accWidthDefault", "Column", "Restore default columns width", nullptr, "", 49},
    {"acsSortNone", "Sort", "Cancel data sorting", nullptr, "", 49},
    {"acfFilterSave", "Filter", "Save actual filter...", nullptr, "", 49},
    {"acfFilterLoad", "Filter", "Stored filters...", nullptr, "Ctrl+L", 49},
    {"aceAutoEdit", "Edit", "Automatic start of editing", nullptr, "Ctrl+E", 351},
    {"acoImport", "Other", "Import data...", nullptr, "", 0},
    {"acoBatchEdit", "Other", "Batch updates...", nullptr, "", 0},
    {"accDefaultGrid", "Column", "", nullptr, "", 0},
    {"acoProperties", "Props", "Table properties...", nullptr, "Ctrl+B", 49},
    {"acoOtherAction", "Other", "", nullptr, "", 0},
    {"acoColor", "Props", "Highlight of records...", nullptr, "", 49},
    {"acoCopyRow", "Copy", "Copy selected row", nullptr, "", 49},
    {"acoCopyCol", "Copy", "Copy selected column", nullptr, "", 49},
    {"acoCopyAll", "Copy", "Copy entire table", nullptr, "", 49},
    {"acoCopyIncTitle", "Copy", "Copy title row as well", nullptr, "", 49},
    {"acoCopyIncHidden", "Copy", "Copy hidden columns as well", nullptr, "", 49},
    {"acePasteUpdate", "Edit", "Update current records from clipboard",
     "Update current records by data from clipboard", "Ctrl+Alt+U", 355},
    {"acePasteAdd", "Edit", "Paste new records from clipboard", nullptr, "Ctrl+Alt+V", 251},
    {"accColumnGroupping", "Column", "Group columns", nullptr, "Ctrl+Shift+G", 49},
    {"accColumnGroups", "Column", "Group settings", nullptr, "Ctrl+Alt+G", 49},
};

TkDBAction* g_instance = nullptr;
} // namespace

TkDBAction::TkDBAction(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("TkDBAction"));
    g_instance = this;
    for (const ActionDef& d : kActions) {
        const QString name = QString::fromLatin1(d.name);
        auto* a = new QAction(QString::fromUtf8(d.caption), this);
        a->setObjectName(name);
        a->setToolTip(QString::fromUtf8(d.hint ? d.hint : d.caption));
        a->setStatusTip(a->toolTip());
        if (*d.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(d.shortcut)));
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        a->setEnabled(false);
        actions_.insert(name, a);
        categories_.insert(name, QString::fromLatin1(d.category));
        tags_.insert(name, d.tag);
        names_ << name;
    }
    for (const char* n : {"acoCopyIncTitle", "acoCopyIncHidden", "aceAutoEdit", "accColumnGroupping",
                          "accWidthAuto", "accWidthSame"})
        action(QString::fromLatin1(n))->setCheckable(true);

    auto menu = [this](const char* name, std::initializer_list<const char*> items) {
        auto* m = new QMenu();
        m->setObjectName(QString::fromLatin1(name));
        for (const char* it : items) {
            if (!*it)
                m->addSeparator();
            else
                m->addAction(action(QString::fromLatin1(it)));
        }
        return m;
    };
    pmSortList = menu("pmSortList", {});
    pmFilterSel = menu("pmFilterSel", {"acfFilterSelAnd", "acfFilterSelOr"});
    pmFilterList = menu("pmFilterList", {"acfFilterSave", "acfFilterLoad", ""});
    pmColumnWidth =
        menu("pmColumnWidth", {"accWidthAuto", "accWidthSame", "accWidthData", "", "accWidthDefault"});
    pmCopyData = menu("pmCopyData",
                      {"acoCopyCol", "acoCopyRow", "acoCopyAll", "", "acoCopyIncTitle", "acoCopyIncHidden"});

    for (const char* n : {"accWidthAuto", "accWidthSame", "accWidthData", "accWidthDefault"}) {
        const QString name = QString::fromLatin1(n);
        setImplemented(name);
        connect(action(name), &QAction::triggered, this, [this, name] { runColumnWidth(name); });
    }
    for (const char* n : {"acoImport", "acoBatchEdit", "acoOtherAction"}) {
        const QString name = QString::fromLatin1(n);
        setImplemented(name);
        connect(action(name), &QAction::triggered, this, [this, name] {
            if (OnRunOtherAction) OnRunOtherAction(this, action(name), grid_);
        });
    }
}

TkDBAction::~TkDBAction() {
    for (QMenu* m : {pmSortList, pmFilterSel, pmFilterList, pmColumnWidth, pmCopyData})
        delete m;
    if (g_instance == this) g_instance = nullptr;
}

TkDBAction* TkDBAction::Instance() {
    return g_instance;
}

QAction* TkDBAction::action(const QString& name) const {
    return actions_.value(name, nullptr);
}

QString TkDBAction::category(const QString& name) const {
    return categories_.value(name);
}

int TkDBAction::tag(const QString& name) const {
    return tags_.value(name, 0);
}

void TkDBAction::setImplemented(const QString& name, bool on) {
    if (on)
        implemented_.insert(name);
    else
        implemented_.remove(name);
}

void TkDBAction::setHandler(const QString& name, RunHandler run, StateHandler state) {
    QAction* a = action(name);
    if (!a) return;
    setImplemented(name);
    if (state) states_.insert(name, std::move(state));
    connect(a, &QAction::triggered, this, [this, run = std::move(run)] {
        if (grid_) run(grid_);
        RefreshAction();
    });
}

void TkDBAction::SetActiveGrid(TkDBGrid* grid) {
    grid_ = grid;
    RefreshAction();
}

void TkDBAction::RefreshAction() {
    TkDBGrid* g = grid_;
    TDataSet* ds = g ? g->dataSet() : nullptr;
    const bool open = ds && ds->Active();
    for (const QString& name : names_) {
        QAction* a = actions_.value(name);
        bool enabled = false;
        if (implemented_.contains(name)) {
            if (tags_.value(name) == 0) {
                if (OnGetOtherActionState) OnGetOtherActionState(this, a, g, enabled);
            } else {
                enabled = open;
            }
            if (enabled && states_.contains(name)) enabled = states_.value(name)(g);
        }
        a->setEnabled(enabled);
        if (name == QLatin1String("acoClose")) a->setVisible(!(g && (g->Tag & 128)));
    }
    if (g) {
        action(QStringLiteral("accWidthAuto"))->setChecked(g->ColumnWidth() == cwAutoWidth);
        action(QStringLiteral("accWidthSame"))->setChecked(g->ColumnWidth() == cwSameWidth);
    }
}

void TkDBAction::runColumnWidth(const QString& name) {
    TkDBGrid* g = grid_;
    if (!g) return;
    if (name == QLatin1String("accWidthAuto"))
        g->setColumnWidth(g->ColumnWidth() == cwAutoWidth ? cwNone : cwAutoWidth);
    else if (name == QLatin1String("accWidthSame"))
        g->setColumnWidth(g->ColumnWidth() == cwSameWidth ? cwNone : cwSameWidth);
    else if (name == QLatin1String("accWidthData"))
        g->setColumnWidth(cwDataLabelWidth);
    else if (name == QLatin1String("accWidthDefault")) {
        g->setColumnWidth(cwDefaultWidth);
        g->RestoreColumnsWidth(true, true);
    }
    RefreshAction();
}
