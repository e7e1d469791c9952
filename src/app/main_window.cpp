#include "main_window.h"

#include "comp_config.h"
#include "conn_string.h"
#include "connection_editor.h"
#include "cursor_guard.h"
#include "db_action.h"
#include "db_grid_ms.h"
#include "dialog_actions.h"
#include "exceptions.h"
#include "export_form.h"
#include "file_connection.h"
#include "filter_sort_actions.h"
#include "grid_bars.h"
#include "grid_saver.h"
#include "html_label.h"
#include "import_wizard.h"
#include "messages.h"
#include "print_actions.h"
#include "program_folder.h"
#include "progress.h"
#include "prop_save_file.h"
#include "prop_save_main.h"
#include "schema_rowsets.h"
#include "shell.h"
#include "sort_text.h"
#include "tool_windows.h"
#include "value_list_form.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* linkLabel(const char* name, const QString& text) {
    auto* l = named(new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped())), name);
    l->setTextFormat(Qt::RichText);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return l;
}
} // namespace

TMain::TMain(TkDBAction* actions, QWidget* parent)
    : QMainWindow(parent), qData(&DBCon), qCount(&DBCon), DataSet(&DBCon), actions_(actions),
      files_(QString()) {
    setObjectName(QStringLiteral("TMain"));
    setWindowTitle(QStringLiteral("Tabulo"));
    setMinimumSize(800, 500);
    setAcceptDrops(true); // a database or connection file dropped on the window opens it
    DBCon.CommandTimeout = 10;
    DBCon.ConnectionTimeout = 5;
    ds1.setDataSet(&qData);
    DataSet.ReadOnly = true; // schema rowsets and the table list are never edited

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    buildTopGroup(central);
    layout->addWidget(gbTop);

    gbTabs = named(new QWidget, "gbTabs");
    auto* tabsLayout = new QVBoxLayout(gbTabs);
    tabsLayout->setContentsMargins(0, 0, 0, 0);
    pcAction = named(new QTabWidget, "pcAction");
    pcAction->addTab(buildDataPage(), QStringLiteral("Show / import / generate data"));
    pcAction->addTab(buildSchemaPage(), QStringLiteral("Show info schema"));
    pcAction->addTab(buildPropertiesPage(), QStringLiteral("Properties"));
    pcAction->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    tabsLayout->addWidget(pcAction);
    layout->addWidget(gbTabs);

    toolBar = new TkDBToolBar(actions_);
    layout->addWidget(toolBar);
    grData = named(new TkDBGrid_MS, "grData");
    grData->Tag = 128;
    actions_->AttachGrid(grData);
    grData->ConfirmDelete = true;
    grData->OptionsEx2.Editors.DateTimePicker = false;
    grData->OptionsEx2.Filters.FunnelBtn = true;
    grData->OnFunnelClick = ShowFunnelFilter;
    grData->TitlePopupItems = {QStringLiteral("Suma = %sum"),
                               QStringLiteral("Minimum = %min"),
                               QStringLiteral("Maximum = %max"),
                               QStringLiteral("Průměr = %avg"),
                               QStringLiteral("-"),
                               QStringLiteral("Počet hodnot = %CountVal"),
                               QStringLiteral("Počet prázdných = %CountNull"),
                               QStringLiteral("Počet celkem = %CountAll")};
    grData->setDataSource(&ds1);
    grData->OnChangeSort = [this](TkDBGrid*, const QString& f, bool d) { return grDataChangeSort(f, d); };
    grData->OnChangeSortEx = [this](TkDBGrid*, const SortItems& items) {
        return SortDataSet(ds1.DataSet(), items);
    };
    grData->OnRefreshData = [this](TkDBGrid*) { guarded([this] { grDataRefreshData(); }); };
    grData->OnTitleExClick = [this](TkDBGrid*) { grDataTitleExClick(); };
    grData->OnEnter = [this](TkDBGrid*) { grDataEnter(); };
    layout->addWidget(grData, 1);
    InstallFilterSortActions(actions_);
    InstallGridDialogActions(actions_);
    InstallPrintActions(actions_);
    InstallExportActions(actions_);
    editBar = new TkDBEditBar(actions_);
    layout->addWidget(editBar);
    lStatus = named(new QLabel, "lStatus");
    statusBar()->addWidget(lStatus, 1);
    // The action shortcuts work while the focus is anywhere in the window.
    for (const QString& n : actions_->names())
        addAction(actions_->action(n));
    setCentralWidget(central);
    resize(1100, 720);

    qData.AfterOpen = [this](TDataSet&) { qDataAfterOpen(); };

    tablesTimer_.setSingleShot(true);
    tablesTimer_.setInterval(500);
    connect(&tablesTimer_, &QTimer::timeout, this, [this] { guarded([this] { cbTablesUpdateTimer(); }); });
    schemaTimer_.setSingleShot(true);
    schemaTimer_.setInterval(500);
    connect(&schemaTimer_, &QTimer::timeout, this, [this] { cbSchemaUpdateTimer(); });
    // The enabling rules follow every state change; a light timer stands in for the idle event.
    idleTimer_.setInterval(150);
    connect(&idleTimer_, &QTimer::timeout, this, &TMain::ApplicationEvents1Idle);
    idleTimer_.start();

    setupSettings();
    FormCreate();
}

TMain::~TMain() {
    // Saved while the grid still shows its data.
    PropSaveMain1->SaveBeforeDestroy();
    // The grid observes the datasets: unbind before they go.
    grData->setDataSource(nullptr);
    ds1.setDataSet(nullptr);
    qData.AfterOpen = nullptr;
}

void TMain::buildTopGroup(QWidget*) {
    gbTop = named(new QGroupBox(QStringLiteral("DB:")), "gbTop");
    auto* l = new QHBoxLayout(gbTop);
    l->addWidget(new QLabel(QStringLiteral("Select connection file:")));
    cbUDL_nostore = named(new QComboBox, "cbUDL_nostore");
    cbUDL_nostore->setEditable(true);
    cbUDL_nostore->setInsertPolicy(QComboBox::NoInsert);
    cbUDL_nostore->setMaxVisibleItems(28);
    cbUDL_nostore->setMinimumWidth(220);
    l->addWidget(cbUDL_nostore, 1);
    lNewUDL = linkLabel("lNewUDL", QStringLiteral("Create new connection"));
    lDuplicUDL = linkLabel("lDuplicUDL", QStringLiteral("Duplicate connection"));
    lModifyUDL = linkLabel("lModifyUDL", QStringLiteral("Modify connection"));
    int tag = 1;
    for (QLabel* link : {lNewUDL, lDuplicUDL, lModifyUDL}) {
        link->setProperty("Tag", tag++);
        connect(link, &QLabel::linkActivated, this,
                [this, link] { guarded([this, link] { lNewUDLClick(link->property("Tag").toInt()); }); });
        l->addWidget(link);
    }
    btConnect = named(new QPushButton(QStringLiteral("Connect")), "btConnect");
    btDiscon = named(new QPushButton(QStringLiteral("Disconnect")), "btDiscon");
    lblHelp = linkLabel("lblHelp", QStringLiteral("Help"));
    l->addWidget(btConnect);
    l->addWidget(btDiscon);
    l->addWidget(lblHelp);
    connect(btConnect, &QPushButton::clicked, this, &TMain::btConnectClick);
    connect(btDiscon, &QPushButton::clicked, this, [this] { guarded([this] { btDisconClick(); }); });
    connect(lblHelp, &QLabel::linkActivated, this, &TMain::lblHelpClick);
}

QWidget* TMain::buildDataPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* row1 = new QHBoxLayout;
    rbTables = named(new QRadioButton(QStringLiteral("Tables")), "rbTables");
    rbViews = named(new QRadioButton(QStringLiteral("Views")), "rbViews");
    rbBoth = named(new QRadioButton(QStringLiteral("Both")), "rbBoth");
    rbTables->setChecked(true);
    auto* group = new QButtonGroup(page);
    for (QRadioButton* rb : {rbTables, rbViews, rbBoth}) {
        group->addButton(rb);
        row1->addWidget(rb);
        connect(rb, &QRadioButton::clicked, this, [this] { guarded([this] { rbTablesClick(); }); });
    }
    chAutoOpen = named(new QCheckBox(QStringLiteral("Auto Open")), "chAutoOpen");
    chAutoOpen->setChecked(true);
    chAutoOpen->setToolTip(QStringLiteral("Open selected table data after selection"));
    row1->addWidget(chAutoOpen);
    cbTables = named(new QComboBox, "cbTables");
    cbTables->setEditable(true);
    cbTables->setInsertPolicy(QComboBox::NoInsert);
    cbTables->setMaxVisibleItems(20);
    cbTables->setMinimumWidth(260);
    cbTables->lineEdit()->installEventFilter(this);
    row1->addWidget(cbTables, 1);
    row1->addWidget(new QLabel(QStringLiteral("Load TOP records:")));
    eTopRec = named(new QSpinBox, "eTopRec");
    eTopRec->setRange(0, 10000);
    eTopRec->setSingleStep(1);
    eTopRec->setValue(1);
    row1->addWidget(eTopRec);
    row1->addWidget(new QLabel(QStringLiteral("thousands")));
    v->addLayout(row1);
    // A pick from the list loads at once; typing waits for a pause. Leaving the edited combo also
    // activates it: the table already shown is not loaded again (that reload, run inside the click
    // that moved the focus, swallowed the click).
    connect(cbTables, &QComboBox::activated, this, [this] {
        tablesTimer_.stop();
        if (qData.Active() && !loadedTable_.isEmpty() && cbTables->currentText() == loadedTable_) return;
        guarded([this] { cbTablesUpdateTimer(); });
    });
    connect(cbTables, &QComboBox::editTextChanged, this, [this] {
        if (!lastKeyEnter_) tablesTimer_.start();
    });

    auto* row2 = new QHBoxLayout;
    lInfo = named(new TkHTMLLabel, "lInfo");
    lInfo->setCaptionStrings(QStringLiteral("Loaded <VAR>Num</VAR> records from <VAR>MaxNum</VAR>"));
    lInfo->OnGetParameter = [this](TkHTMLLabel*, QString& p) { lInfoGetParameter(p); };
    row2->addWidget(lInfo, 1);
    btOpen = named(new QPushButton(QStringLiteral("Open table")), "btOpen");
    btImportData = named(new QPushButton(QStringLiteral("Import data")), "btImportData");
    btGenData = named(new QPushButton(QStringLiteral("Generate data")), "btGenData");
    btGenScript = named(new QPushButton(QStringLiteral("Generate SQL script")), "btGenScript");
    btRunSQL = named(new QPushButton(QStringLiteral("Run SQL command")), "btRunSQL");
    for (QPushButton* b : {btOpen, btImportData, btGenData, btGenScript, btRunSQL})
        row2->addWidget(b);
    v->addLayout(row2);
    connect(btOpen, &QPushButton::clicked, this, [this] { guarded([this] { btOpenClick(); }); });
    connect(btImportData, &QPushButton::clicked, this, &TMain::btImportDataClick);
    connect(btGenData, &QPushButton::clicked, this, &TMain::btGenDataClick);
    connect(btGenScript, &QPushButton::clicked, this, &TMain::btGenScriptClick);
    connect(btRunSQL, &QPushButton::clicked, this, &TMain::btRunSQLClick);
    return page;
}

QWidget* TMain::buildSchemaPage() {
    auto* page = new QWidget;
    auto* h = new QHBoxLayout(page);
    h->addWidget(new QLabel(QStringLiteral("Schemas:")));
    cbSchema = named(new QComboBox, "cbSchema");
    cbSchema->setMaxVisibleItems(16);
    cbSchema->setMinimumWidth(260);
    h->addWidget(cbSchema);
    lblDelSchemas = named(new TkHTMLLabel, "lblDelSchemas");
    lblDelSchemas->setCaptionStrings(QStringLiteral("<A NAME=Del>Remove</A> erroneous schemas"));
    lblDelSchemas->OnAnchorClick = [this](TkHTMLLabel*, const QString&) { lblDelSchemasAnchorClick(); };
    h->addWidget(lblDelSchemas);
    lErr = named(new QLabel(QStringLiteral("...")), "lErr");
    lErr->setWordWrap(true);
    h->addWidget(lErr, 1);
    connect(cbSchema, &QComboBox::activated, this, [this] {
        schemaTimer_.stop();
        cbSchemaUpdateTimer();
    });
    connect(cbSchema, &QComboBox::currentIndexChanged, this, [this] { schemaTimer_.start(); });
    return page;
}

QWidget* TMain::buildPropertiesPage() {
    auto* page = new QWidget;
    auto* h = new QHBoxLayout(page);
    auto* form = new QFormLayout;
    eNamePrefix = named(new QLineEdit, "eNamePrefix");
    eNameStart = named(new QLineEdit, "eNameStart");
    eNameStop = named(new QLineEdit, "eNameStop");
    eMaskListExclude = named(new QLineEdit, "eMaskListExclude");
    form->addRow(QStringLiteral("TableName prefix (owner.):"), eNamePrefix);
    form->addRow(QStringLiteral("TableName start apostroph:"), eNameStart);
    form->addRow(QStringLiteral("TableName stop apostroph:"), eNameStop);
    auto* form2 = new QFormLayout;
    form2->addRow(QStringLiteral("Mask to exclude from table list:"), eMaskListExclude);
    lblRef = linkLabel("lblRef", QStringLiteral("Refresh list"));
    form2->addRow(QString(), lblRef);
    connect(lblRef, &QLabel::linkActivated, this, [this] { guarded([this] { lblRefClick(); }); });
    h->addLayout(form, 1);
    h->addLayout(form2, 1);
    return page;
}

void TMain::setupSettings() {
    PropSaveFile1 = new TPropSaveFile(this);
    PropSaveFile1->setObjectName(QStringLiteral("PropSaveFile1"));
    PropSaveFile1->FileName = QStringLiteral("tabulo.ini");
    PropSaveFile1->Loaded();
    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->PropSaveFile = PropSaveFile1;
    PropSaveMain1->StdCtrl->Components = {QStringLiteral("cbUDL_nostore"), QStringLiteral("eMaskListExclude"),
                                          QStringLiteral("eNamePrefix"),   QStringLiteral("eNameStart"),
                                          QStringLiteral("eNameStop"),     QStringLiteral("eTopRec"),
                                          QStringLiteral("rbBoth"),        QStringLiteral("rbTables"),
                                          QStringLiteral("rbViews"),       QStringLiteral("chAutoOpen")};
    // The grid comes back as it was left: its look, footer and conditions at once; its columns,
    // sorting and filter when the same data is shown again.
    kDBGridsPropSave1 = new TkDBGridsPropSave(this);
    kDBGridsPropSave1->setObjectName(QStringLiteral("kDBGridsPropSave1"));
    kDBGridsPropSave1->Components = {QStringLiteral("grData")};
    kDBGridsPropSave1->StoreFooterRow = true;
    kDBGridsPropSave1->StoreFieldsGroup = true;
    kDBGridsPropSave1->StoreFilterSetting = true;
    kDBGridsPropSave1->OnGetDataName = [this](TkDBGrid*) {
        return ds1.DataSet() == &qData ? qData.SQL : QString();
    };
    kDBGridsPropSave1->SetPropSaveMain(PropSaveMain1);
    PropSaveMain1->Loaded();
}

void TMain::setToolWindows(TScript* script, TDlgGenSQL* genSQL, TDlgGenData* genData) {
    script_ = script;
    genSQL_ = genSQL;
    genData_ = genData;
}

void TMain::guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        Messages().error(ExceptionMessage(e));
    }
}

// --- start-up

void TMain::FormCreate() {
    pcAction->setCurrentIndex(0);
    btDisconClick();
    ConDir = QDir(ProgramFolder()).filePath(QStringLiteral("Connections")) + '/';
    QDir().mkpath(ConDir);
    files_ = ConnectionFiles(ConDir);
    files_.OpenEditor = [this](const QString& path) { return TConnectionEditor::Edit(path, this); };
    RefreshConnectionList();
    // The last connection used, else the demo one (else the first there is), is ready to connect.
    const QString last = cbUDL_nostore->currentText().trimmed();
    if (last.isEmpty() || cbUDL_nostore->findText(last) < 0) {
        int pick = cbUDL_nostore->findText(QStringLiteral("Demo.udl"));
        if (pick < 0 && cbUDL_nostore->count() > 0) pick = 0;
        if (pick >= 0) cbUDL_nostore->setEditText(cbUDL_nostore->itemText(pick));
    }
    VemoCompConfig().Global_PropSaveFile = PropSaveFile1;
    VemoCompConfig().DontStoreFieldDependentSettings = true;
    actions_->OnGetOtherActionState = [this](TkDBAction*, QAction* a, TkDBGrid*, bool& enabled) {
        if (a == actions_->action(QStringLiteral("acoImport"))) enabled = btImportData->isEnabled();
    };
    actions_->OnRunOtherAction = [this](TkDBAction*, QAction* a, TkDBGrid*) {
        if (a == actions_->action(QStringLiteral("acoImport"))) btImportData->click();
    };
    connect(pcAction, &QTabWidget::currentChanged, this, &TMain::pcActionChange);
    ApplicationEvents1Idle();
}

void TMain::RefreshConnectionList() {
    const QString text = cbUDL_nostore->currentText();
    cbUDL_nostore->clear();
    cbUDL_nostore->addItems(ConnectionList(ConDir));
    cbUDL_nostore->setCurrentIndex(-1);
    cbUDL_nostore->setEditText(text);
}

bool TMain::OpenFile(const QString& path) {
    if (!LeaveRecord()) return false;
    QString name;
    try {
        name = ConnectionForFile(ConDir, path);
    } catch (const std::exception& e) {
        Messages().error(ExceptionMessage(e));
        return false;
    }
    RefreshConnectionList();
    cbUDL_nostore->setEditText(name);
    btConnectClick();
    return DBCon.Connected();
}

void TMain::lNewUDLClick(int tag) {
    const QString name = files_.run(tag, cbUDL_nostore->currentText());
    if (name.isEmpty()) return;
    RefreshConnectionList();
    cbUDL_nostore->setEditText(name);
}

// --- connect and disconnect

void TMain::btConnectClick() {
    if (cbUDL_nostore->currentText().trimmed().isEmpty()) {
        Messages().warning(QStringLiteral("Choose a connection file first."));
        return;
    }
    if (!LeaveRecord()) return;
    HourglassCursor wait;
    btDisconClick();
    try {
        DBCon.ConnectionString = ConnectionFileString(ConDir + cbUDL_nostore->currentText());
        DBCon.LoginPrompt = false;
        try {
            DBCon.Open();
        } catch (const std::exception&) {
            // The provider may ask for the credentials the file does not hold.
            DBCon.LoginPrompt = true;
            DBCon.Open();
        }
        gbTop->setTitle(QStringLiteral("DB: ") + DBCon.DefaultDatabase());
        {
            const QSignalBlocker block(cbSchema);
            cbSchema->clear();
            for (int k = 0; k < kSchemaKindCount; ++k)
                cbSchema->addItem(SchemaKindName(k), k);
            cbSchema->setCurrentIndex(-1);
        }
        rbTablesClick();
    } catch (const std::exception& e) {
        QApplication::beep();
        Messages().error(ExceptionBoxText(ExceptionMessage(e)));
        // Half a connection is no connection: the window stays disconnected.
        try {
            btDisconClick();
        } catch (...) {
        }
    }
    ApplicationEvents1Idle();
}

void TMain::btDisconClick() {
    if (!LeaveRecord()) return;
    tablesTimer_.stop();
    schemaTimer_.stop();
    DataSet.Close();
    qData.Close();
    qCount.Close();
    lastRunMs_ = -1;
    DBCon.Close();
    gbTop->setTitle(QStringLiteral("DB: none"));
    const QSignalBlocker block(cbTables);
    cbTables->clear();
    lInfo->update();
    ApplicationEvents1Idle();
}

// --- table list and loading

TableChoice TMain::tableChoice() const {
    if (rbViews->isChecked()) return TableChoice::Views;
    if (rbBoth->isChecked()) return TableChoice::Both;
    return TableChoice::Tables;
}

void TMain::rbTablesClick() {
    const QSignalBlocker block(cbTables);
    const QString text = cbTables->currentText();
    cbTables->clear();
    if (!DBCon.Connected()) return;
    DataSet.Close();
    DataSet.setSchema(siTables, {});
    const auto reset = qScopeGuard([this] {
        DataSet.Close();
        DataSet.setSchema(-1, {});
    });
    DataSet.Open();
    cbTables->addItems(TableNamesOf(DataSet, tableChoice(), eMaskListExclude->text()));
    cbTables->setCurrentIndex(-1);
    cbTables->setEditText(text);
}

void TMain::cbTablesUpdateTimer() {
    if (chAutoOpen->isChecked() && !cbTables->currentText().isEmpty()) LoadTable();
}

void TMain::btOpenClick() {
    LoadTable();
}

bool TMain::LeaveRecord() {
    if (!grData->CommitEdit()) return false;
    TDataSet* ds = ds1.DataSet();
    if (!ds || !ds->Active()) return true;
    try {
        if (ds->State() == dsInsert && !ds->Modified())
            ds->Cancel();
        else
            ds->CheckBrowseMode();
        return true;
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot save record."), e);
        return false;
    }
}

void TMain::LoadTable() {
    if (!LeaveRecord()) return;
    // A load started any way answers the typed name too: the pause timer must not load it again
    // later, over a record the user has begun to edit.
    tablesTimer_.stop();
    HourglassCursor wait;
    QElapsedTimer timer;
    timer.start();
    countAtLoad_ = -1;
    lastRunMs_ = -1;
    qData.Close();
    // The order and the filter belong to the table they were made on.
    qData.setFilter(QString());
    qData.setFiltered(false);
    qData.setSort(QString());
    qCount.Close();
    lInfo->repaint();
    const QString expr = TableExpression(cbTables->currentText(), eNamePrefix->text(), eNameStart->text(),
                                         eNameStop->text(), DBCon.dialect());
    lastLoad_ = LoadStatementsFor(expr, eTopRec->value(), DBCon.dialect());
    qCount.SQL = lastLoad_.count;
    qCount.Open();
    lInfo->repaint(); // the total shows before the rows arrive
    qData.SQL = lastLoad_.data;
    // A large fetch shows its progress and can be stopped; the rows fetched so far stay loaded.
    const qint64 total =
        qCount.Active() && qCount.FieldCount() && qCount.RecordCount() ? qCount.Fields(0)->AsInteger() : 0;
    const qint64 expected =
        eTopRec->value() > 0 ? std::min<qint64>(total, qint64(eTopRec->value()) * 1000) : total;
    abortLoad_ = false;
    ProgressScope progress;
    qData.OnFetchProgress = [this, expected](qint64 rows) {
        ProgressWindow(
            QStringLiteral("Loading data... %1 records").arg(rows),
            expected > 0 ? ProgressPercent(rows, expected) : -1, [this] { abortLoad_ = true; }, this);
        return !abortLoad_;
    };
    const auto detach = qScopeGuard([this] { qData.OnFetchProgress = nullptr; });
    loadedTable_.clear();
    qData.Open();
    loadedTable_ = cbTables->currentText();
    countAtLoad_ = total;
    fetchedAtLoad_ = qData.LoadedCount();
    lastRunMs_ = timer.elapsed();
    lastRunWasQuery_ = false;
    lInfo->repaint();
    actions_->SetActiveGrid(grData);
    grData->SetColumnWidth(cwDataLabelWidth, 0);
    ApplicationEvents1Idle();
}

void TMain::lInfoGetParameter(QString& param) {
    if (param.compare(QLatin1String("Num"), Qt::CaseInsensitive) == 0) {
        param = qData.Active() ? QString::number(qData.RecordCount()) : QStringLiteral("-");
    } else if (param.compare(QLatin1String("MaxNum"), Qt::CaseInsensitive) == 0) {
        const qint64 total = TotalRecords();
        param = total >= 0 ? QString::number(total) : QStringLiteral("-");
    }
}

qint64 TMain::TotalRecords() const {
    const bool counted = qCount.Active() && qCount.FieldCount() && qCount.RecordCount();
    if (!qData.Active()) return counted ? qCount.Fields(0)->AsInteger() : -1;
    if (!counted) return qData.LoadedCount(); // a query holds all its records
    return (countAtLoad_ >= 0 ? countAtLoad_ : qCount.Fields(0)->AsInteger()) + qData.LoadedCount() -
           fetchedAtLoad_;
}

QString TMain::StatusText() const {
    TDataSet* ds = ds1.DataSet();
    if (!ds || !ds->Active()) return QStringLiteral("No data loaded");
    const qint64 total = ds == &qData ? TotalRecords() : ds->LoadedCount();
    QString text = QStringLiteral("Records: %1 in view / %2 loaded / %3 total")
                       .arg(ds->RecordCount())
                       .arg(ds->LoadedCount())
                       .arg(total >= 0 ? QString::number(total) : QStringLiteral("-"));
    text += QStringLiteral("    Selected: %1").arg(grData->GetSelectedRecCount());
    if (ds->Filtered() && !ds->Filter().trimmed().isEmpty()) text += QStringLiteral("    Filter on");
    if (ds == &qData && lastRunMs_ >= 0)
        text += QStringLiteral("    %1 took %2 s")
                    .arg(lastRunWasQuery_ ? QStringLiteral("Query") : QStringLiteral("Loading"))
                    .arg(lastRunMs_ / 1000.0, 0, 'f', 2);
    return text;
}

void TMain::QueryStarting() {
    queryTimer_.start();
}

void TMain::DataQueryChanged() {
    // The rows are the query's now: the loaded table's count no longer describes them.
    loadedTable_.clear();
    qCount.Close();
    countAtLoad_ = -1;
    lastRunMs_ = queryTimer_.isValid() && qData.Active() ? queryTimer_.elapsed() : -1;
    lastRunWasQuery_ = true;
    queryTimer_.invalidate();
    actions_->SetActiveGrid(grData);
    ApplicationEvents1Idle();
}

void TMain::qDataAfterOpen() {
    for (int i = 0; i < qData.FieldCount(); ++i)
        qData.Fields(i)->Tag = 1;
    // Opened while the schema page shows (a query of the SQL window): sized when it is shown.
    dataWidths_.clear();
    if (ds1.DataSet() == &qData) grData->SetColumnWidth(cwDataWidth, 20);
}

// --- schema page

bool TMain::OpenSchemaKind(int kind) {
    HourglassCursor wait;
    try {
        DataSet.Close();
        DataSet.setFilter(QString());
        DataSet.setFiltered(false);
        DataSet.setSchema(kind, {});
        DataSet.Open();
        lErr->setText(QStringLiteral("Ok"));
        grData->SetColumnWidth(cwDefaultWidth, 0);
        return true;
    } catch (const std::exception& e) {
        lErr->setText(ExceptionMessage(e));
        return false;
    }
}

void TMain::cbSchemaUpdateTimer() {
    if (cbSchema->currentIndex() < 0) return;
    if (!OpenSchemaKind(cbSchema->currentData().toInt())) QApplication::beep();
}

void TMain::lblDelSchemasAnchorClick() {
    const QSignalBlocker block(cbSchema);
    cbSchema->clear();
    for (int k = 0; k < kSchemaKindCount; ++k)
        cbSchema->addItem(SchemaKindName(k), k);
    for (int i = cbSchema->count() - 1; i >= 0; --i)
        if (!OpenSchemaKind(cbSchema->itemData(i).toInt())) cbSchema->removeItem(i);
    if (cbSchema->count() > 0) {
        cbSchema->setCurrentIndex(0);
        OpenSchemaKind(cbSchema->itemData(0).toInt());
    }
}

void TMain::pcActionChange() {
    TDataSet* target = pcAction->currentIndex() == 0 ? static_cast<TDataSet*>(&qData) : &DataSet;
    if (ds1.DataSet() == &qData && target != &qData) {
        if (!LeaveRecord()) {
            // The record could not be saved: the user stays with it.
            const QSignalBlocker block(pcAction);
            pcAction->setCurrentIndex(0);
            return;
        }
        dataWidths_ = grData->ColumnWidthsByField();
    }
    ds1.setDataSet(target);
    // Back on the data page the columns are as the user left them (sized afresh for new rows).
    if (target == &qData && qData.Active()) {
        if (dataWidths_.isEmpty())
            grData->SetColumnWidth(cwDataWidth, 20);
        else
            grData->SetColumnWidthsByField(dataWidths_);
    }
    actions_->RefreshAction();
}

// --- grid events

void TMain::grDataEnter() {
    actions_->SetActiveGrid(grData);
}

bool TMain::grDataChangeSort(const QString& fields, bool desc) {
    return SortDataSet(ds1.DataSet(), SortItemsOf(fields, desc));
}

void TMain::grDataRefreshData() {
    TDataSet* ds = ds1.DataSet();
    if (!ds) return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (!ds->Active())
        ds->Open();
    else
        ds->Requery();
}

void TMain::grDataTitleExClick() {
    TDataSet* ds = ds1.DataSet();
    Messages().information(
        QStringLiteral("Selected %1 records.").arg(ds && ds->Active() ? ds->RecordCount() : 0));
}

// --- enabling rules and tool buttons

void TMain::ApplicationEvents1Idle() {
    gbTabs->setEnabled(DBCon.Connected());
    const bool tableNamed = !cbTables->currentText().isEmpty();
    btImportData->setEnabled(qData.Active() && tableNamed);
    btGenData->setEnabled(btImportData->isEnabled());
    btGenScript->setEnabled(btImportData->isEnabled());
    btOpen->setEnabled(tableNamed);
    actions_->RefreshAction();
    // The info line and the status line follow the rows as they change.
    const QString info = lInfo->PreparedText();
    if (info != lastInfoText_) {
        lastInfoText_ = info;
        lInfo->update();
    }
    const QString status = StatusText();
    if (lStatus->text() != status) lStatus->setText(status);
}

void TMain::btImportDataClick() {
    if (!LeaveRecord()) return;
    ShowDBImport(&qData, {}, QDir(ProgramFolder()).filePath(QStringLiteral("udl_import")), nullptr,
                 PropSaveFile1, this);
}

void TMain::btGenDataClick() {
    if (!LeaveRecord()) return;
    if (genData_) genData_->exec();
}

void TMain::btGenScriptClick() {
    if (!LeaveRecord()) return;
    TkDBFilterCfg& cfg = VemoCompConfig().kDBFilterCfg;
    cfg.TableQuoteStart = eNameStart->text().isEmpty() ? QChar('[') : eNameStart->text().at(0);
    cfg.TableQuoteStop = eNameStop->text().isEmpty() ? QChar(']') : eNameStop->text().at(0);
    if (script_) script_->exec();
}

void TMain::btRunSQLClick() {
    if (genSQL_) {
        genSQL_->show();
        genSQL_->raise();
    }
}

void TMain::lblHelpClick() {
    const QDir dir(ProgramFolder());
    QString file = dir.filePath(QStringLiteral("help.pdf"));
    if (!QFileInfo::exists(file)) file = dir.filePath(QStringLiteral("help.html"));
    if (!QFileInfo::exists(file) || !ShellOpen(file))
        Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(file));
}

void TMain::closeEvent(QCloseEvent* event) {
    // Closing leaves the record: what was typed is saved, or the user says what to do with it.
    if (!grData->CommitEdit()) return event->ignore();
    // A record opened for editing with nothing written to it needs no question.
    if (TDataSet* ds = ds1.DataSet();
        ds && ds->Active() && !ds->Modified() && (ds->State() == dsEdit || ds->State() == dsInsert))
        ds->Cancel();
    actions_->SetActiveGrid(grData);
    if (!actions_->CheckEditState(true)) return event->ignore();
    QMainWindow::closeEvent(event);
}

namespace {
QString droppedFile(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    return urls.size() == 1 && urls[0].isLocalFile() ? urls[0].toLocalFile() : QString();
}
} // namespace

void TMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMain::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    OpenFile(file);
}

bool TMain::event(QEvent* event) {
    // The status line stays: the commands' hints show as tooltips instead of over it.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbTables->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        lastKeyEnter_ = key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    return QMainWindow::eventFilter(watched, event);
}
