#include "db_action.h"

#include "comp_config.h"
#include "db_grid.h"
#include "exceptions.h"
#include "grid_clipboard.h"
#include "messages.h"
#include "record_actions.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSet>
#include <cstring>

namespace {
struct ActionDef {
    const char* name;
    const char* category;
    const char* caption;
    const char* hint; // nullptr: the caption
    const char* shortcut;
    int disabledIn; // TkDBActionState bits: the dataset states in which the command is disabled
    int level;      // the rights level it needs: URightsEdit for "Edit" commands, URights for the others
    // Packed as the command's Tag: level * 100 (Edit) or * 1000 (others) + disabledIn. Tag 0 (no state,
    // no level) leaves the state to OnGetOtherActionState.
    int tag() const { return level * (std::strcmp(category, "Edit") == 0 ? 100 : 1000) + disabledIn; }
};

// The state sets of the table.
constexpr int kBrowsing = asNoDataSet | asEdit | asInsert;              // a dataset being browsed
constexpr int kWritable = kBrowsing | asReadOnly;                       // ... that can be changed
constexpr int kRecordToWrite = kWritable | asEmpty;                     // ... with a current record
constexpr int kEditing = asNoDataSet | asReadOnly | asEmpty | asBrowse; // a record being edited
constexpr int kNotEditing = asEdit | asInsert;                          // anything but editing

// The command list, in its order.
const ActionDef kActions[] = {
    {"acoCopyCell", "Copy", "Copy selected value", nullptr, "", kBrowsing, 0},
    {"aceView", "Edit", "Show", "Show selected record", "", 0, 0},
    {"aceEdit", "Edit", "Edit", "Edit selected record", "F2", kRecordToWrite, 3},
    {"aceAdd", "Edit", "New", "Insert new record", "Ctrl+N", kWritable, 2},
    {"aceDuplic", "Edit", "Duplicate", "Duplicate selected record", "Ctrl+M", kRecordToWrite, 2},
    {"aceDelete", "Edit", "Delete", "Delete selected record", "Ctrl+Del", kRecordToWrite, 4},
    {"aceSave", "Edit", "Save", "Save record", "Ctrl+S", kEditing, 2},
    {"aceSaveAdd", "Edit", "Save and new", "Save record and add new one", "Ctrl+W", kEditing, 2},
    {"aceCancel", "Edit", "Cancel", "Cancel changes", "", kEditing, 2},
    {"acoFind", "Other", "Find record...", nullptr, "Ctrl+F", kBrowsing, 0},
    {"acfFilterSel", "Filter", "Filter by selection", nullptr, "Ctrl+R", kBrowsing, 0},
    {"acfFilterSelAnd", "Filter", "Filter AND filter by selection", nullptr, "Ctrl+I", kBrowsing, 0},
    {"acfFilterSelOr", "Filter", "Filter OR filter by selection", nullptr, "Ctrl+O", kBrowsing, 0},
    {"acfFilterDlg", "Filter", "Filter by value selection", "Enter filter by value selection from list",
     "Ctrl+Alt+R", kBrowsing, 0},
    {"acfFilterForm", "Filter", "Enter filter manually...", nullptr, "", kBrowsing, 0},
    {"acfFilter", "Filter", "Switch filter on/off", nullptr, "Ctrl+Q", kBrowsing, 0},
    {"accColumns", "Column", "Fields selection and properties...", nullptr, "Ctrl+Alt+C", kBrowsing, 0},
    {"acsSort1", "Sort", "Sort data ascending", nullptr, "Ctrl+T", kBrowsing, 0},
    {"acsSort2", "Sort", "Sort data descending", nullptr, "", kBrowsing, 0},
    {"acsSort3", "Sort", "Sort data according additional column", nullptr, "Ctrl+Shift+T", kBrowsing, 0},
    {"acsSortDlg", "Sort", "Set sorting in dialog...", "Set sorting in dialog", "Ctrl+Alt+T", kBrowsing, 0},
    {"acoExport", "Other", "Export data...", nullptr, "", kBrowsing, 1},
    {"acoPrint", "Other", "Print data to RTF...", "Print data to RTF file...", "", kBrowsing, 1},
    {"acoPrintDirect", "Other", "Print data...", nullptr, "", kBrowsing, 1},
    {"acoRefresh", "Other", "Refresh data", nullptr, "F5", kBrowsing, 0},
    {"acoClose", "Other", "Close", "Close window", "", kNotEditing, 0},
    {"accWidthAuto", "Column", "Align columns to window (automatic width)", nullptr, "", kBrowsing, 0},
    {"accWidthSame", "Column", "Align columns to window (same width)", nullptr, "", kBrowsing, 0},
    {"accWidthData", "Column", "Width according data length", nullptr, "", kBrowsing, 0},
    {"accWidthDefault", "Column", "Restore default columns width", nullptr, "", kBrowsing, 0},
    {"acsSortNone", "Sort", "Cancel data sorting", nullptr, "", kBrowsing, 0},
    {"acfFilterSave", "Filter", "Save actual filter...", nullptr, "", kBrowsing, 0},
    {"acfFilterLoad", "Filter", "Stored filters...", nullptr, "Ctrl+L", kBrowsing, 0},
    {"aceAutoEdit", "Edit", "Automatic start of editing", nullptr, "Ctrl+E", kWritable, 3},
    {"acoImport", "Other", "Import data...", nullptr, "", 0, 0},
    {"acoBatchEdit", "Other", "Batch updates...", nullptr, "", 0, 0},
    {"accDefaultGrid", "Column", "", nullptr, "", 0, 0},
    {"acoProperties", "Props", "Table properties...", nullptr, "Ctrl+B", kBrowsing, 0},
    {"acoOtherAction", "Other", "", nullptr, "", 0, 0},
    {"acoColor", "Props", "Highlight of records...", nullptr, "", kBrowsing, 0},
    {"acoCopyRow", "Copy", "Copy selected row", nullptr, "", kBrowsing, 0},
    {"acoCopyCol", "Copy", "Copy selected column", nullptr, "", kBrowsing, 0},
    {"acoCopyAll", "Copy", "Copy entire table", nullptr, "", kBrowsing, 0},
    {"acoCopyIncTitle", "Copy", "Copy title row as well", nullptr, "", kBrowsing, 0},
    {"acoCopyIncHidden", "Copy", "Copy hidden columns as well", nullptr, "", kBrowsing, 0},
    {"acePasteUpdate", "Edit", "Update current records from clipboard",
     "Update current records by data from clipboard", "Ctrl+Alt+U", kRecordToWrite, 3},
    {"acePasteAdd", "Edit", "Paste new records from clipboard", nullptr, "Ctrl+Alt+V", kWritable, 2},
    {"accColumnGroupping", "Column", "Group columns", nullptr, "Ctrl+Shift+G", kBrowsing, 0},
    {"accColumnGroups", "Column", "Group settings", nullptr, "Ctrl+Alt+G", kBrowsing, 0},
};

// Pictures of the commands, from the desktop's icon theme.
const std::pair<const char*, const char*> kIcons[] = {
    {"acoCopyCell", "edit-copy"},
    {"aceEdit", "document-edit"},
    {"aceAdd", "document-new"},
    {"aceDuplic", "edit-copy"},
    {"aceDelete", "edit-delete"},
    {"aceSave", "document-save"},
    {"aceCancel", "edit-undo"},
    {"acoFind", "edit-find"},
    {"acsSort1", "view-sort-ascending"},
    {"acsSort2", "view-sort-descending"},
    {"acoPrint", "document-print"},
    {"acoPrintDirect", "document-print-preview"},
    {"acoRefresh", "view-refresh"},
    {"acoClose", "window-close"},
    {"acoProperties", "document-properties"},
    {"acePasteUpdate", "edit-paste"},
    {"acePasteAdd", "edit-paste"},
    {"acoImport", "document-open"},
};

// Grid Tag bits that hide single commands.
const std::pair<const char*, int> kHideBits[] = {
    {"acoClose", 128}, {"aceDuplic", 256},  {"aceSaveAdd", 512},   {"aceAdd", 1024},
    {"aceEdit", 2048}, {"aceDelete", 4096}, {"aceAutoEdit", 8192},
};

// The grid Tag bit that switches a whole category off (0: always allowed).
int categoryBit(const QString& category) {
    if (category == QLatin1String("Edit")) return 1;
    if (category == QLatin1String("Sort")) return 2;
    if (category == QLatin1String("Filter")) return 4;
    if (category == QLatin1String("Column")) return 8;
    if (category == QLatin1String("Props")) return 16;
    return 0;
}

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
        const QKeySequence shortcut(QString::fromLatin1(d.shortcut));
        acShortCuts_.insert(name, shortcut);
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        a->setEnabled(false);
        actions_.insert(name, a);
        categories_.insert(name, QString::fromLatin1(d.category));
        tags_.insert(name, d.tag());
        names_ << name;
    }
    for (const char* n : {"acoCopyIncTitle", "acoCopyIncHidden", "aceAutoEdit", "accColumnGroupping",
                          "accWidthAuto", "accWidthSame", "acfFilter"})
        action(QString::fromLatin1(n))->setCheckable(true);
    for (const auto& [name, icon] : kIcons)
        action(QString::fromLatin1(name))->setIcon(QIcon::fromTheme(QString::fromLatin1(icon)));

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

    pmDBAction = new QMenu();
    pmDBAction->setObjectName(QStringLiteral("pmDBAction"));
    auto sub = [&](const char* title, const char* name, std::initializer_list<const char*> items) {
        QMenu* m = menu(name, items);
        m->setTitle(QString::fromUtf8(title));
        m->setParent(pmDBAction, m->windowFlags());
        pmDBAction->addMenu(m);
        return m;
    };
    auto add = [&](std::initializer_list<const char*> items) {
        for (const char* it : items) {
            if (!*it)
                pmDBAction->addSeparator();
            else
                pmDBAction->addAction(action(QString::fromLatin1(it)));
        }
    };
    miRecord = sub("Record", "miRecord",
                   {"aceEdit", "", "aceAdd", "aceDuplic", "", "aceDelete", "aceSave", "aceSaveAdd",
                    "aceCancel", "", "aceAutoEdit", "acePasteUpdate", "acePasteAdd"});
    recordSeparator_ = pmDBAction->addSeparator();
    add({"acoFind"});
    miSort = sub("Sorting of data", "miSort",
                 {"acsSort1", "acsSort2", "acsSort3", "", "acsSortDlg", "acsSortNone"});
    miFilter = sub("Filter data", "miFilter",
                   {"acfFilterSel", "acfFilterSelAnd", "acfFilterSelOr", "", "acfFilterDlg", "acfFilterForm",
                    "", "acfFilter", "", "acfFilterSave", "acfFilterLoad"});
    add({""});
    miColumns = sub("Columns setting", "miColumns",
                    {"accColumns", "", "accWidthAuto", "accWidthSame", "accWidthData", "accWidthDefault", "",
                     "accColumnGroupping", "accColumnGroups"});
    add({"acoProperties", "acoColor", ""});
    sub("Copy data", "miCopy",
        {"acoCopyCol", "acoCopyRow", "acoCopyAll", "", "acoCopyIncTitle", "acoCopyIncHidden"});
    sub("Export and update data", "miExport",
        {"acoExport", "acoPrint", "acoPrintDirect", "", "acoBatchEdit", "acoImport"});
    add({"acoRefresh"});
    // Opened from a grid's indicator: that grid becomes the active one.
    connect(pmDBAction, &QMenu::aboutToShow, this, [this] {
        for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w; w = w->parentWidget())
            if (auto* g = qobject_cast<TkDBGrid*>(w)) {
                if (g != grid_) SetActiveGrid(g);
                return;
            }
    });

    buildCommands();
    idle_.setInterval(250);
    connect(&idle_, &QTimer::timeout, this, &TkDBAction::ActListUpdate);
    idle_.start();
}

void TkDBAction::buildCommands() {
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
    setHandler(QStringLiteral("aceEdit"), [](TkDBGrid* g) { RecordEdit(*g); });
    setHandler(QStringLiteral("aceAdd"), [](TkDBGrid* g) { RecordNew(*g); });
    setHandler(QStringLiteral("aceDuplic"), [](TkDBGrid* g) { RecordDuplicate(*g); });
    setHandler(QStringLiteral("aceDelete"), [](TkDBGrid* g) { RecordDelete(*g); });
    setHandler(QStringLiteral("aceSave"), [](TkDBGrid* g) { RecordSave(*g); });
    setHandler(QStringLiteral("aceSaveAdd"), [](TkDBGrid* g) { RecordSaveAndNew(*g); });
    setHandler(QStringLiteral("aceCancel"), [](TkDBGrid* g) { RecordCancel(*g); });
    setHandler(
        QStringLiteral("aceAutoEdit"),
        [](TkDBGrid* g) {
            if (TDataSource* s = g->DataSource()) s->AutoEdit = !s->AutoEdit;
        },
        [](TkDBGrid* g) { return g->DataSource() != nullptr; });
    setHandler(QStringLiteral("acoClose"), [this](TkDBGrid* g) {
        if (CheckEditState(true)) g->window()->close();
    });

    auto copyOptions = [this] {
        return TableCopyOptions{action(QStringLiteral("acoCopyIncTitle"))->isChecked(),
                                action(QStringLiteral("acoCopyIncHidden"))->isChecked()};
    };
    setHandler(QStringLiteral("acoCopyCell"), [](TkDBGrid* g) { CopyCellData(*g); });
    setHandler(QStringLiteral("acoCopyRow"), [=](TkDBGrid* g) { CopyActiveRecordData(*g, copyOptions()); });
    setHandler(QStringLiteral("acoCopyCol"), [=](TkDBGrid* g) { CopyActiveFieldData(*g, copyOptions()); });
    setHandler(QStringLiteral("acoCopyAll"), [=](TkDBGrid* g) { CopyAllData(*g, copyOptions()); });
    // Check items: the click toggles them.
    setImplemented(QStringLiteral("acoCopyIncTitle"));
    setImplemented(QStringLiteral("acoCopyIncHidden"));
    setHandler(QStringLiteral("acePasteUpdate"), [](TkDBGrid* g) { PasteData(*g, false); });
    setHandler(QStringLiteral("acePasteAdd"), [](TkDBGrid* g) { PasteData(*g, true); });
}

TkDBAction::~TkDBAction() {
    for (QMenu* m : {pmDBAction, pmSortList, pmFilterSel, pmFilterList, pmColumnWidth, pmCopyData})
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
    // Every command sees the record with what is typed in the open cell editor; "Cancel" drops it.
    const bool cancels = name == QLatin1String("aceCancel");
    connect(a, &QAction::triggered, this, [this, cancels, run = std::move(run)] {
        if (grid_) {
            try {
                if (cancels)
                    grid_->CancelEdit();
                else if (!grid_->CommitEdit())
                    return RefreshAction();
                run(grid_);
            } catch (const EAbort&) {
            } catch (const std::exception& e) {
                Messages().error(ExceptionMessage(e));
            }
        }
        RefreshAction();
    });
}

void TkDBAction::SetActiveGrid(TkDBGrid* grid) {
    grid_ = grid;
    RefreshAction();
}

void TkDBAction::ActListUpdate() {
    if (AutoUpdateState) RefreshAction();
}

int TkDBAction::StateFlags() const {
    TkDBGrid* g = grid_;
    if (!g) return 255;
    TDataSet* ds = g->DataSource() ? g->dataSet() : nullptr;
    if (!ds) return asNoDataSet;
    int flags;
    switch (ds->State()) {
    case dsBrowse:
        flags = asBrowse;
        break;
    case dsEdit:
        flags = asEdit;
        break;
    case dsInsert:
        flags = asInsert;
        break;
    default:
        return asNoDataSet;
    }
    // The record being inserted counts: a table that gets its first record is not empty.
    if (ds->IsEmpty() && ds->State() != dsInsert) flags |= asEmpty;
    if (ds->ReadOnly) flags |= asReadOnly;
    return flags;
}

void TkDBAction::RefreshAction() {
    TkDBGrid* g = grid_;
    TDataSet* ds = g ? g->dataSet() : nullptr;
    const int mask = g ? (g->Tag | (g->ReadOnly ? 1 : 0)) : -1;
    const int flags = StateFlags();
    for (const QString& name : names_) {
        QAction* a = actions_.value(name);
        const int tag = tags_.value(name);
        const QString& cat = categories_[name];
        const bool allowed = !(mask & categoryBit(cat));
        bool enabled = false;
        if (tag == 0) {
            if (g && OnGetOtherActionState) OnGetOtherActionState(this, a, g, enabled);
        } else {
            const bool edit = cat == QLatin1String("Edit");
            const int level = edit ? (tag / 100) % 10 : (tag / 1000) % 10;
            enabled = g && !((tag % 100) & flags) && level <= (edit ? URightsEdit : URights) &&
                      implemented_.contains(name);
            if (enabled) {
                TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
                if (name == QLatin1String("acoRefresh"))
                    enabled = g->CanSort() || bool(g->OnRefreshData);
                else if (name == QLatin1String("acfFilterLoad"))
                    enabled = store != nullptr;
                else if (name == QLatin1String("acfFilterSave"))
                    enabled = store && ds && ds->Filtered();
                else if (name == QLatin1String("acfFilterDlg"))
                    enabled = g->OptionsEx2.Filters.FunnelBtn;
            }
            if (enabled && states_.contains(name)) enabled = states_.value(name)(g);
        }
        a->setEnabled(allowed && enabled);
        bool visible = true;
        if (g)
            for (const auto& [hidden, bit] : kHideBits)
                if ((mask & bit) && name == QLatin1String(hidden)) visible = false;
        if (name == QLatin1String("acoColor") && !AllowSetCellConditions) visible = false;
        a->setVisible(visible);
        a->setShortcut(allowed && visible ? acShortCuts_.value(name) : QKeySequence());
    }
    QAction* edit = action(QStringLiteral("aceEdit"));
    edit->setShortcut(edit->isEnabled() ? acEditSC : QKeySequence());
    miRecord->menuAction()->setVisible(!(mask & 1));
    recordSeparator_->setVisible(!(mask & 1));
    miSort->menuAction()->setVisible(!(mask & 2));
    miFilter->menuAction()->setVisible(!(mask & 4));
    miColumns->menuAction()->setVisible(!(mask & 8));
    if (!g || !ds) return;
    try {
        if ((mask & 1024) && ds->Active() && ds->State() == dsInsert) ds->Cancel();
        action(QStringLiteral("accWidthAuto"))->setChecked(g->ColumnWidth() == cwAutoWidth);
        action(QStringLiteral("accWidthSame"))->setChecked(g->ColumnWidth() == cwSameWidth);
        action(QStringLiteral("aceAutoEdit"))->setChecked(g->DataSource() && g->DataSource()->AutoEdit);
        action(QStringLiteral("acfFilter"))->setChecked(ds->Filtered());
    } catch (const std::exception&) {
        // The check marks are a display only.
    }
}

bool TkDBAction::CheckEditState(bool showDialog) {
    TDataSet* ds = grid_ ? grid_->dataSet() : nullptr;
    if (!ds) return true;
    auto editing = [ds] { return ds->State() == dsEdit || ds->State() == dsInsert; };
    if (showDialog && editing()) {
        switch (Messages().question(QStringLiteral("Save changes?"), true)) {
        case MsgAnswer::Yes:
            try {
                RecordSave(*grid_);
            } catch (const EAbort&) {
            } catch (const std::exception& e) {
                ShowException(QStringLiteral("Error: Cannot save record."), e);
            }
            break;
        case MsgAnswer::No:
            RecordCancel(*grid_);
            break;
        default:
            break;
        }
    }
    return !editing();
}

void TkDBAction::AttachGrid(TkDBGrid* grid) {
    grid->PopupMenu = pmDBAction;
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& pos) { PopupFor(grid, grid->viewport()->mapToGlobal(pos)); });
}

void TkDBAction::PopupFor(TkDBGrid* grid, const QPoint& globalPos) {
    if (grid != grid_)
        SetActiveGrid(grid);
    else
        RefreshAction();
    pmDBAction->popup(globalPos);
}

void TkDBAction::OnSetDefaultGridColumns(QObject* sender) {
    auto* g = qobject_cast<TkDBGrid*>(sender);
    if (OnRunOtherAction && g) OnRunOtherAction(this, action(QStringLiteral("accDefaultGrid")), g);
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
