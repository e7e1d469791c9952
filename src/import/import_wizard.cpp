#include "import_wizard.h"

#include "ado_con_wizard.h"
#include "conn_string.h"
#include "connection_editor.h"
#include "db_grid.h"
#include "exceptions.h"
#include "export_form.h"
#include "fields_form.h"
#include "filter_form.h"
#include "filter_text.h"
#include "find_form.h"
#include "import_calc_help.h"
#include "messages.h"
#include "progress.h"
#include "prop_save_main.h"
#include "props_form.h"
#include "safe_file.h"
#include "shell.h"
#include "sort_text.h"
#include "sql_names.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextStream>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QWidget* column(std::initializer_list<QWidget*> widgets) {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    for (QWidget* c : widgets)
        l->addWidget(c);
    return w;
}

void SaveList(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception(QStringLiteral("Cannot create file \"%1\".").arg(path));
    f.write(text.toUtf8());
    Messages().information(QStringLiteral("File \"%1\" was saved.").arg(path));
}
} // namespace

TkDBImportForm::TkDBImportForm(QWidget* parent) : TkDBDlgBaseForm(QStringLiteral("kDBImportForm"), parent) {
    setWindowTitle(QStringLiteral("Import data"));
    wiz_ = std::make_unique<TADOConWizard>();
    wiz_->ADOConnection = &impCon_;
    wiz_->LogDetails = true;
    wiz_->ErrDialogShow = 0;
    wiz_->OnInfo = [this](TADOConWizard*, const QString& text) { mConInfo->appendPlainText(text); };
    qImp_.ReadOnly = true;
    dsImp_.setDataSet(impDS_);

    pc = named(new QStackedWidget, "pc");
    // Page 0: loading of data.
    btSelFile = named(new QPushButton(QStringLiteral("Select file")), "btSelFile");
    btNewCon = named(new QPushButton(QStringLiteral("New connection")), "btNewCon");
    lFile = named(new QLineEdit, "lFile");
    lFile->setReadOnly(true);
    cbTable = named(new QComboBox, "cbTable");
    eSelectCmd = named(new QLineEdit, "eSelectCmd");
    btLoadData = named(new QPushButton(QStringLiteral("Load data")), "lblLoadData");
    mConInfo = named(new QPlainTextEdit, "mConInfo");
    mConInfo->setReadOnly(true);
    grImpData1_ = named(new TkDBGrid, "grImpData1");
    grImpData1_->setDataSource(&dsImp_);
    tabSource = named(new QTabWidget, "tabSource");
    tabSource->addTab(mConInfo, QStringLiteral("Connection log"));
    tabSource->addTab(grImpData1_, QStringLiteral("Data for import"));
    btConExp = named(new QPushButton(QStringLiteral("Save log")), "btConExp");
    pLoad = named(new QWidget, "pLoad");
    pLoad->setAcceptDrops(true);
    pLoad->installEventFilter(this);
    auto* g0 = new QGridLayout(pLoad);
    // The two ways to a source, as links beside the buttons that do the same.
    auto* lblOpen1 =
        named(new QLabel(QStringLiteral("<a href=\"Open\">Select file</a> (Excel, Access, dBase, "
                                        "text or CSV) or drop it on this page.")),
              "lblOpen1");
    auto* lblOpen2 = named(
        new QLabel(QStringLiteral("Any other data source: <a href=\"New\">new connection</a>.")), "lblOpen2");
    connect(lblOpen1, &QLabel::linkActivated, btSelFile, &QPushButton::click);
    connect(lblOpen2, &QLabel::linkActivated, btNewCon, &QPushButton::click);
    g0->addWidget(column({new QLabel(QStringLiteral("Loading of data")), lblOpen1, lblOpen2}), 0, 0, 1, 3);
    g0->addWidget(btSelFile, 1, 0);
    g0->addWidget(btNewCon, 1, 1);
    g0->addWidget(lFile, 1, 2);
    g0->addWidget(new QLabel(QStringLiteral("Table:")), 2, 0);
    g0->addWidget(cbTable, 2, 1, 1, 2);
    g0->addWidget(new QLabel(QStringLiteral("Select command:")), 3, 0);
    g0->addWidget(eSelectCmd, 3, 1);
    g0->addWidget(btLoadData, 3, 2);
    g0->addWidget(tabSource, 4, 0, 1, 3);
    g0->addWidget(btConExp, 5, 2);
    pc->addWidget(pLoad);

    // Page 1: data selection and type of import.
    auto* p1 = new QWidget;
    auto* v1 = new QVBoxLayout(p1);
    v1->addWidget(new QLabel(QStringLiteral("Data selection and type of import")));
    grData_ = named(new TkDBGrid, "grData");
    dsData_.setDataSet(nullptr);
    grData_->setDataSource(&dsData_);
    grImpData2_ = named(new TkDBGrid, "grImpData2");
    grImpData2_->setDataSource(&dsImp_);
    btExpStruct = named(new QPushButton(QStringLiteral("Export structure")), "lblExpStructure");
    btExpData = named(new QPushButton(QStringLiteral("Export data")), "lblExpData");
    btFilterSet = named(new QPushButton(QStringLiteral("Set filter")), "lblFilterSet");
    btFilterReset = named(new QPushButton(QStringLiteral("Reset filter")), "lblFilterReset");
    const auto heading = [](const QString& caption, std::initializer_list<QPushButton*> links) {
        auto* w = new QWidget;
        auto* l = new QHBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(new QLabel(caption));
        l->addStretch();
        for (QPushButton* b : links) {
            b->setFlat(true);
            l->addWidget(b);
        }
        return w;
    };
    auto* grids = new QSplitter(Qt::Vertical);
    grids->addWidget(
        column({heading(QStringLiteral("Destination table:"), {btExpStruct, btExpData}), grData_}));
    grids->addWidget(column(
        {heading(QStringLiteral("Table with data to import:"), {btFilterSet, btFilterReset}), grImpData2_}));
    auto* sb1 = named(new QWidget, "sb1");
    sb1Layout_ = new QGridLayout(sb1);
    auto* sb1Scroll = new QScrollArea;
    sb1Scroll->setWidget(sb1);
    sb1Scroll->setWidgetResizable(true);
    btClear = named(new QPushButton(QStringLiteral("Clear")), "btMoveDelAll");
    btDown = named(new QPushButton(QStringLiteral("down")), "btMoveDown");
    btUp = named(new QPushButton(QStringLiteral("up")), "btMoveUp");
    auto* moveBar = new QWidget;
    auto* moveLayout = new QHBoxLayout(moveBar);
    for (QPushButton* b : {btClear, btDown, btUp}) {
        b->setFocusPolicy(Qt::NoFocus); // the commands act on the focused mapping row
        b->setFlat(true);
        moveLayout->addWidget(b);
    }
    moveLayout->addStretch();
    rgTyp = named(new QButtonGroup(this), "rgTyp");
    auto* typeBox = new QWidget;
    auto* tl = new QVBoxLayout(typeBox);
    tl->addWidget(new QLabel(QStringLiteral("Type of import")));
    int index = 0;
    for (const char* caption : {"Add all records", "Update found records",
                                "Update found records and add others", "Only add not found records"}) {
        auto* b = new QRadioButton(QString::fromLatin1(caption));
        rgTyp->addButton(b, index++);
        tl->addWidget(b);
    }
    rgTyp->button(0)->setChecked(true);
    sb2Box = new QWidget;
    auto* sb2 = named(new QWidget, "sb2");
    sb2Layout_ = new QGridLayout(sb2);
    auto* sb2Scroll = new QScrollArea;
    sb2Scroll->setWidget(sb2);
    sb2Scroll->setWidgetResizable(true);
    auto* sb2l = new QVBoxLayout(sb2Box);
    sb2l->addWidget(new QLabel(QStringLiteral("Fields to compare for update records:")));
    sb2l->addWidget(sb2Scroll);
    tl->addWidget(sb2Box);
    sb2Box->setVisible(false);
    connect(rgTyp, &QButtonGroup::idClicked, this, [this](int id) { sb2Box->setVisible(id > 0); });
    tabFields = named(new QTabWidget, "tabFields");
    tabFields->addTab(column({sb1Scroll, moveBar}), QStringLiteral("Fields to import"));
    tabFields->addTab(typeBox, QStringLiteral("Type of import"));
    mVal = named(new QPlainTextEdit, "mVal");
    chUseValAddOnly = named(new QCheckBox(QStringLiteral("Use for new records only")), "chUseValAddOnly");
    mCalc = named(new QPlainTextEdit, "mCalc");
    btCheckCalc = named(new QPushButton(QStringLiteral("Check")), "lblCalcCheck");
    btCalcHelp = named(new QPushButton(QStringLiteral("Help")), "lblCalcHelp");
    auto* calcLinks = new QWidget;
    auto* calcLinksLayout = new QHBoxLayout(calcLinks);
    calcLinksLayout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : {btCheckCalc, btCalcHelp}) {
        b->setFlat(true);
        calcLinksLayout->addWidget(b);
    }
    calcLinksLayout->addStretch();
    auto* tabValues = new QTabWidget;
    tabValues->addTab(column({mVal, chUseValAddOnly}), QStringLiteral("Fixed field values"));
    tabValues->addTab(column({calcLinks, mCalc}), QStringLiteral("Calculation"));
    auto* lower = new QSplitter(Qt::Horizontal);
    lower->addWidget(tabFields);
    lower->addWidget(tabValues);
    grids->addWidget(lower);
    v1->addWidget(grids);
    pc->addWidget(p1);

    // Page 2: checking before import.
    auto* p2 = new QWidget;
    auto* v2 = new QVBoxLayout(p2);
    v2->addWidget(new QLabel(QStringLiteral("Checking before import")));
    lInfoBefore = named(new QLabel, "lInfoBefore");
    lInfoPost = named(new QLabel, "lInfoPost");
    pInfoPost = column({lInfoPost});
    pInfoPost->setVisible(false);
    chBackup = named(new QCheckBox(QStringLiteral("Create database backup before import")), "chBackup");
    btRun = named(new QPushButton(QStringLiteral("Run import")), "btRun");
    btSaveAutoDesign = named(new QPushButton(QStringLiteral("Save import settings")), "btSaveAutoDesign");
    btSaveAutoDesign->setVisible(false); // mode 1 only
    btSaveAutoDesign->setEnabled(false);
    auto* showErr = named(new QPushButton(QStringLiteral("Show checkup detail")), "lblShowErr1");
    auto* showLog = named(new QPushButton(QStringLiteral("Show update log")), "lblShowLog");
    v2->addWidget(lInfoBefore);
    v2->addWidget(pInfoPost);
    v2->addWidget(new QLabel(QStringLiteral("Warning. There is no undo function after import.")));
    v2->addWidget(chBackup);
    v2->addWidget(btRun);
    v2->addWidget(btSaveAutoDesign);
    v2->addWidget(showErr);
    v2->addWidget(showLog);
    v2->addStretch();
    pc->addWidget(p2);
    // Pages 3 and 4: errors, update log.
    mErr = named(new QPlainTextEdit, "mErr");
    mLog = named(new QPlainTextEdit, "mLog");
    mErr->setReadOnly(true);
    mLog->setReadOnly(true);
    auto* saveErr = named(new QPushButton(QStringLiteral("Save list")), "btSaveErr");
    auto* saveLog = named(new QPushButton(QStringLiteral("Save list")), "mSaveLog");
    pc->addWidget(column({new QLabel(QStringLiteral("Errors")), mErr, saveErr}));
    pc->addWidget(column({new QLabel(QStringLiteral("UpdateLog")), mLog, saveLog}));

    btPrev = named(new QPushButton(QStringLiteral("< Back")), "btPrev");
    btNext = named(new QPushButton(QStringLiteral("Next >")), "btNext");
    btClose = named(new QPushButton(QStringLiteral("Close")), "btClose");
    btLoadSet = named(new QPushButton(QStringLiteral("Load")), "btSettingsLoad");
    btSaveSet = named(new QPushButton(QStringLiteral("Save")), "btSettingsSave");
    pButtons = named(new QWidget, "pButtons");
    auto* bar = new QHBoxLayout(pButtons);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(btLoadSet);
    bar->addWidget(btSaveSet);
    bar->addStretch();
    bar->addWidget(btPrev);
    bar->addWidget(btNext);
    bar->addWidget(btClose);
    auto* main = new QVBoxLayout(this);
    main->addWidget(pc);
    main->addWidget(pButtons);

    const auto guarded = [this](auto f) {
        return [this, f] {
            try {
                f();
            } catch (const std::exception& e) {
                ShowException(QString(), e);
            }
        };
    };
    connect(btSelFile, &QPushButton::clicked, this, guarded([this] {
                const QString f = QFileDialog::getOpenFileName(
                    this, QString(), UDLPath,
                    QStringLiteral(
                        "All files (*.*)|Database MS Access (*.mdb)|Excel file (*.xls*)|dBase file (*.dbf)")
                        .replace(u'|', QStringLiteral(";;")));
                if (!f.isEmpty()) OpenSourceFile(f);
            }));
    connect(btNewCon, &QPushButton::clicked, this, guarded([this] {
                QString s = impCon_.ConnectionString;
                const QString caption =
                    QStringLiteral("%1.%2 %3").arg(objectName(), "ImpCon", "ConnectionString");
                if (TConnectionEditor::EditString(s, caption, this) && s != impCon_.ConnectionString &&
                    OpenSourceConnection(s))
                    FillTableList(QString(), true);
            }));
    connect(cbTable, &QComboBox::activated, this, guarded([this] {
                const QString t = cbTable->currentText();
                const QString name = t.indexOf(u'$') == t.size() - 1 ? u'[' + t + u']' : QuoteTableName(t);
                eSelectCmd->setText(QStringLiteral("SELECT * FROM %1 WHERE 1=1").arg(name));
                LoadSourceData();
            }));
    connect(eSelectCmd, &QLineEdit::textEdited, this, [this] { qImp_.Close(); });
    connect(btLoadData, &QPushButton::clicked, this, guarded([this] {
                if (impCon_.Connected()) LoadSourceData();
            }));
    connect(btNext, &QPushButton::clicked, this, [this] { btNextClick(); });
    connect(btClear, &QPushButton::clicked, this, [this] { btMoveItemsAnchorClick("DelAll"); });
    connect(btDown, &QPushButton::clicked, this, [this] { btMoveItemsAnchorClick("Down"); });
    connect(btUp, &QPushButton::clicked, this, [this] { btMoveItemsAnchorClick("Up"); });
    connect(btConExp, &QPushButton::clicked, this, guarded([this] {
                SaveList(QDir(UDLPath).filePath("Connection_log.txt"), mConInfo->toPlainText());
            }));
    connect(btPrev, &QPushButton::clicked, this, [this] { btPrevClick(); });
    connect(btRun, &QPushButton::clicked, this, guarded([this] { btRunClick(); }));
    connect(btFilterSet, &QPushButton::clicked, this, guarded([this] { lblFilterAnchorClick("Set"); }));
    connect(btFilterReset, &QPushButton::clicked, this, guarded([this] { lblFilterAnchorClick("Reset"); }));
    connect(btExpStruct, &QPushButton::clicked, this,
            guarded([this] { lblExpStructureAnchorClick("ExpStruct"); }));
    connect(btExpData, &QPushButton::clicked, this,
            guarded([this] { lblExpStructureAnchorClick("ExpData"); }));
    connect(btSaveAutoDesign, &QPushButton::clicked, this, guarded([this] {
                StoreAutoSetting();
                btSaveAutoDesign->setEnabled(false);
            }));
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCheckCalc, &QPushButton::clicked, this, [this] { ParseCalcs(true); });
    connect(btCalcHelp, &QPushButton::clicked, this, guarded([this] { ShowCalcHelp(); }));
    connect(showErr, &QPushButton::clicked, this, [this] { pc->setCurrentIndex(3), updateButtons(); });
    connect(showLog, &QPushButton::clicked, this, [this] { pc->setCurrentIndex(4), updateButtons(); });
    connect(saveErr, &QPushButton::clicked, this,
            guarded([this] { SaveList(QDir(UDLPath).filePath("Import_err.txt"), mErr->toPlainText()); }));
    connect(saveLog, &QPushButton::clicked, this, guarded([this] {
                SaveList(QDir(UDLPath).filePath("Import_UpdateLog.txt"), mLog->toPlainText());
            }));
    connect(btLoadSet, &QPushButton::clicked, this, guarded([this] {
                const QString f = QFileDialog::getOpenFileName(this, QString(), UDLPath,
                                                               QStringLiteral("Import setting (*.imp)"));
                if (!f.isEmpty()) LoadSettings(f);
            }));
    connect(btSaveSet, &QPushButton::clicked, this, guarded([this] {
                const QString f = QFileDialog::getSaveFileName(
                    this, QString(), lastSettingsFile_.isEmpty() ? UDLPath : lastSettingsFile_,
                    QStringLiteral("Import setting (*.imp)"));
                if (!f.isEmpty()) SaveSettings(f.endsWith(".imp", Qt::CaseInsensitive) ? f : f + ".imp");
            }));
    buildGridMenu();
    updateButtons();
    resize(900, 680); // the stored position, when there is one, replaces this
}

TkDBImportForm::~TkDBImportForm() {
    dsImp_.setDataSet(nullptr);
    dsData_.setDataSet(nullptr);
}

void TkDBImportForm::setTarget(TADOQuery* target) {
    target_ = target;
    dsData_.setDataSet(target);
    grData_->dataSourceChanged();
}

void TkDBImportForm::setBackupEnabled(bool on) {
    chBackup->setEnabled(on);
    chBackup->setChecked(on);
}

void TkDBImportForm::buildGridMenu() {
    pm = new QMenu(this);
    pm->setObjectName(QStringLiteral("pm"));
    const std::initializer_list<TkDBGrid*> grids = {grImpData1_, grData_, grImpData2_};
    const auto item = [&](const char* caption, const char* name, const QKeySequence& key,
                          std::function<void(TkDBGrid*)> run) {
        QAction* a = pm->addAction(QString::fromLatin1(caption));
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut); // the focused grid is actGrid
        for (TkDBGrid* g : grids)
            g->addAction(a);
        connect(a, &QAction::triggered, this, [this, run = std::move(run)] {
            if (!actGrid || !actGrid->dataSet() || !actGrid->dataSet()->Active()) return;
            try {
                run(actGrid);
            } catch (const std::exception& e) {
                ShowException(QString(), e);
            }
        });
        return a;
    };
    miFind = item("Find record...", "miFind", QKeySequence(Qt::CTRL | Qt::Key_F),
                  [](TkDBGrid* g) { ShowFindDialog(g, false); });
    miColumns =
        item("Fields selection and properties...", "miColumns", {}, [](TkDBGrid* g) { ShowFieldsDialog(g); });
    miProps = item("Table properties...", "miProps", {},
                   [](TkDBGrid* g) { ShowGridPropsDialog(g, true, true, true, false); });
    pm->addSeparator();
    miFilterSel = item("Filter by selection", "miFilterSel", QKeySequence(Qt::CTRL | Qt::Key_R),
                       [](TkDBGrid* g) { FilterBySelection(g, FilterSelMode::Replace); });
    miFilterForm = item("Enter filter manually...", "miFilterForm", {},
                        [](TkDBGrid* g) { ShowFilterDialog(g, nullptr, true); });
    miFilter = item("Switch filter on/off", "miFilter", QKeySequence(Qt::CTRL | Qt::Key_Q), [](TkDBGrid* g) {
        TDataSet* ds = g->dataSet();
        // A stored text that no longer applies is ignored: the filter simply stays off.
        if (ApplyFilter(ds, ds->Filtered() ? QString() : ds->Filter(), false)) g->FilterChangedNotification();
    });
    for (TkDBGrid* g : grids) {
        g->ReadOnly = true; // a double click opens the table properties, not a cell editor
        g->OnEnter = [this](TkDBGrid* grid) { actGrid = grid; };
        g->setContextMenuPolicy(Qt::CustomContextMenu);
        g->PopupMenu = pm; // also a right click on the indicator column
        connect(g, &QWidget::customContextMenuRequested, this, [this, g](const QPoint& pos) {
            actGrid = g;
            pm->popup(g->viewport()->mapToGlobal(pos));
        });
        connect(g, &QAbstractItemView::doubleClicked, this, [this, g] {
            actGrid = g;
            miProps->trigger();
        });
    }
    // A title click sorts the source grids in memory; the target keeps the caller's order.
    for (TkDBGrid* g : {grImpData1_, grImpData2_}) {
        g->OnChangeSort = [](TkDBGrid* grid, const QString& fields, bool desc) {
            return SortDataSet(grid->dataSet(), SortItemsOf(fields, desc));
        };
        g->OnChangeSortEx = [](TkDBGrid* grid, const SortItems& items) {
            return SortDataSet(grid->dataSet(), items);
        };
    }
}

void TkDBImportForm::lblFilterAnchorClick(const QString& link) {
    TDataSet* ds = grImpData2_->dataSet();
    if (!ds || !ds->Active()) return;
    if (link == QLatin1String("Set")) {
        ShowFilterDialog(grImpData2_, nullptr, true);
    } else if (link == QLatin1String("Reset") && ds->Filtered()) {
        ApplyFilter(ds, QString(), false);
        grImpData2_->FilterChangedNotification();
    }
}

void TkDBImportForm::ShowCalcHelp() {
    const QString path = QDir(UDLPath).absoluteFilePath(QStringLiteral("Import_calc_help.html"));
    if (!QFileInfo::exists(path)) { // a page the user changed is kept
        SafeFile file(path);
        file.write(ImportCalcHelpHtml().toUtf8());
        file.commit();
    }
    DoActionAfter(path, aaShow);
}

void TkDBImportForm::lblExpStructureAnchorClick(const QString& link) {
    ShowExportDialog(grData_, true, true, true, link == QLatin1String("ExpStruct"));
}

void TkDBImportForm::BindPositionSaver(TPropSaveFile* store) {
    kDlgPropSave->PropSaveFile = store;
    LoadPosition();
}

std::vector<TDataSet*> TkDBImportForm::lookups() const {
    std::vector<TDataSet*> list;
    for (const auto& q : lookupDS_)
        list.push_back(q.get());
    return list;
}

bool TkDBImportForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && DoInit) {
        DoInit = false;
        if (AutoSetting) try {
                OpenAutoSettingSource();
            } catch (const std::exception& ex) {
                ShowException(QString(), ex);
            }
    }
    return TkDBDlgBaseForm::event(e);
}

// A file dropped on the first page is opened as the source, as "Select file" would.
bool TkDBImportForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == pLoad &&
        (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove || e->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(e);
        const QList<QUrl> urls = drop->mimeData()->urls();
        if (urls.isEmpty() || !urls.first().isLocalFile()) return false;
        drop->acceptProposedAction();
        if (e->type() == QEvent::Drop) try {
                OpenSourceFile(urls.first().toLocalFile());
            } catch (const std::exception& ex) {
                ShowException(QString(), ex);
            }
        return true;
    }
    return TkDBDlgBaseForm::eventFilter(watched, e);
}

int TkDBImportForm::page() const {
    return pc->currentIndex();
}

void TkDBImportForm::updateButtons() {
    const int p = page();
    btPrev->setEnabled(p > 0);
    btNext->setEnabled(p < 2);
    btLoadSet->setVisible(p > 0 && AutoMode == 0);
    btSaveSet->setVisible(p > 0 && AutoMode == 0);
}

// ---- page 0

void TkDBImportForm::resetSource() {
    tabSource->setCurrentIndex(0);
    mConInfo->clear();
    wiz_->Disconnect();
    impCon_.ConnectionString.clear();
    cbTable->clear();
}

bool TkDBImportForm::OpenSourceFile(const QString& fileName) {
    resetSource();
    lFile->setText(fileName);
    wiz_->UDLFilePath = QDir(UDLPath).absolutePath() + u'/';
    wiz_->UDLFileMask = QStringLiteral("*_") + QFileInfo(fileName).suffix() + QStringLiteral(".udl");
    if (!wiz_->ConnectToFile(fileName, true)) return false;
    FillTableList(fileName, true);
    return true;
}

bool TkDBImportForm::OpenSourceConnection(const QString& conStr) {
    resetSource();
    impCon_.ConnectionString = conStr;
    mConInfo->appendPlainText(MaskPasswords(conStr)); // the log is shown and saved: no passwords
    try {
        impCon_.Open();
    } catch (const std::exception& e) {
        ShowException(QString(), e);
        return false;
    }
    return true;
}

void TkDBImportForm::FillTableList(const QString& fileName, bool load) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    QStringList tables;
    if (ext == "dbf" || ext == "txt" || ext == "csv")
        tables << QFileInfo(fileName).fileName();
    else
        impCon_.GetTableNames(tables, QFileInfo(wiz_->ConnectedFile()).suffix().toLower() == "xls");
    if (tables.isEmpty()) return;
    cbTable->addItems(tables);
    tabSource->setCurrentIndex(1);
    int at = tables.indexOf(QFileInfo(fileName).completeBaseName());
    if (AutoSetting && AutoMode > 0)
        if (const int named = tables.indexOf(ImportSourceValue(*AutoSetting, "TableName")); named >= 0)
            at = named;
    cbTable->setCurrentIndex(at < 0 ? 0 : at);
    if (load) emit cbTable->activated(cbTable->currentIndex());
}

void TkDBImportForm::LoadSourceData() {
    qImp_.Close();
    qImp_.setFiltered(false);
    qImp_.setFilter(QString());
    qImp_.SQL = eSelectCmd->text();
    qImp_.Open();
    grImpData1_->dataSourceChanged();
    lFile->setText(wiz_->ConnectedFile().isEmpty() ? lFile->text() : wiz_->ConnectedFile());
}

// ---- page 1

void TkDBImportForm::OpenLookupTables() {
    ProgressScope hide;
    progress(QStringLiteral("Loading of data..."), -1, false);
    for (qsizetype i = qsizetype(lookupDS_.size()); i < LookupSQLStr.size(); ++i) {
        auto q = std::make_unique<TADOQuery>(target_->Connection);
        q->ReadOnly = true;
        q->SQL = LookupSQLStr[i];
        try {
            q->Open();
        } catch (const std::exception& e) {
            ShowException(QStringLiteral("Error: Cannot open data."), e);
        }
        lookupDS_.push_back(std::move(q));
    }
}

void TkDBImportForm::BuildFieldSelection() {
    for (QGridLayout* l : {sb1Layout_, sb2Layout_})
        while (QLayoutItem* item = l->takeAt(0)) {
            delete item->widget();
            delete item;
        }
    mapBoxes.clear();
    compareBoxes.clear();
    mFields_ = QStringList{QString()};
    for (int i = 0; i < impDS_->FieldCount(); ++i)
        mFields_ << impDS_->Fields(i)->FieldName;
    rows_ = ImportRowsOf(*target_, lookups());
    for (int i = 0; i < int(rows_.size()); ++i) {
        const ImportRow& row = rows_[size_t(i)];
        const TField* f = row.lookup < 0 ? target_->FindField(row.target) : nullptr;
        for (int side = 0; side < 2; ++side) {
            const QString box = side == 0 ? QStringLiteral("sb1") : QStringLiteral("sb2");
            auto* name = new QLineEdit(row.target);
            name->setObjectName(box + QStringLiteral("e%1").arg(i));
            name->setReadOnly(true);
            if (row.lookup >= 0) {
                QFont font = name->font();
                font.setItalic(true);
                name->setFont(font);
            }
            auto* cb = new QComboBox;
            cb->setObjectName(box + QStringLiteral("cb%1_nostore").arg(i));
            cb->setEditable(true);
            cb->setMaxVisibleItems(15);
            cb->addItems(mFields_);
            cb->setCurrentIndex(0);
            cb->setToolTip(row.target);
            cb->setProperty("tag", row.lookup < 0 ? 0 : 1000 + row.lookup);
            (side == 0 ? sb1Layout_ : sb2Layout_)->addWidget(name, i, 0);
            (side == 0 ? sb1Layout_ : sb2Layout_)->addWidget(cb, i, 1);
            if (side == 0) {
                const bool enabled = row.lookup >= 0 || (f && !f->ReadOnly && f->FieldKind != fkCalculated);
                cb->setEnabled(enabled);
                if (enabled) {
                    const int at = mFields_.indexOf(row.target, 0) >= 0 ? mFields_.indexOf(row.target) : [&] {
                        for (int k = 1; k < mFields_.size(); ++k)
                            if (mFields_[k].compare(row.target, Qt::CaseInsensitive) == 0) return k;
                        return 0;
                    }();
                    cb->setCurrentIndex(at);
                }
                mapBoxes.push_back(cb);
            } else {
                compareBoxes.push_back(cb);
            }
        }
    }
    grData_->dataSourceChanged();
    grImpData2_->dataSourceChanged();
}

void TkDBImportForm::btMoveItemsAnchorClick(const QString& command) {
    if (command == QLatin1String("DelAll")) {
        for (QComboBox* cb : mapBoxes)
            cb->setEditText(QString());
        return;
    }
    QWidget* focus = QApplication::focusWidget();
    while (focus && !focus->objectName().startsWith(QLatin1String("sb1cb")))
        focus = focus->parentWidget(); // the combo box's own line edit has the focus
    if (!focus) {
        Messages().warning(QStringLiteral("Place cursor to combobox witch should me moved as first."));
        return;
    }
    const int row = focus->objectName().mid(5).section(u'_', 0, 0).toInt();
    const int count = int(mapBoxes.size());
    if (command == QLatin1String("Down")) {
        for (int a = count - 1; a > row; --a)
            mapBoxes[size_t(a)]->setEditText(mapBoxes[size_t(a - 1)]->currentText());
        mapBoxes[size_t(row)]->setEditText(QString());
    } else if (row > 0) { // the first row has nothing above it: no text is given up
        for (int a = row; a < count; ++a)
            mapBoxes[size_t(a - 1)]->setEditText(mapBoxes[size_t(a)]->currentText());
        mapBoxes[size_t(count - 1)]->setEditText(QString());
    }
    Messages().information(QStringLiteral("Ok"));
}

ImportSettings TkDBImportForm::settingsOfPage() const {
    ImportSettings s;
    s.type = ImportType(std::max(0, rgTyp->checkedId()));
    for (size_t i = 0; i < rows_.size() && i < mapBoxes.size(); ++i) {
        if (!mapBoxes[i]->currentText().isEmpty() && mapBoxes[i]->isEnabledTo(pc))
            s.map.push_back({rows_[i].target, mapBoxes[i]->currentText(), rows_[i].lookup});
        if (!compareBoxes[i]->currentText().isEmpty())
            s.compare.push_back({rows_[i].target, compareBoxes[i]->currentText(), rows_[i].lookup});
    }
    s.fixed = mVal->toPlainText().split(u'\n');
    s.fixedAddOnly = chUseValAddOnly->isChecked();
    s.calc = mCalc->toPlainText().split(u'\n');
    s.filter = impDS_->Filter();
    s.filtered = impDS_->Filtered();
    return s;
}

void TkDBImportForm::showSettings(const ImportSettings& s) {
    if (QAbstractButton* b = rgTyp->button(int(s.type))) b->setChecked(true);
    sb2Box->setVisible(int(s.type) > 0);
    const auto sourceOf = [](const std::vector<ImportRow>& list, const ImportRow& row) {
        for (const ImportRow& r : list)
            if (r.lookup == row.lookup && r.target.compare(row.target, Qt::CaseInsensitive) == 0)
                return r.source;
        return QString();
    };
    for (size_t i = 0; i < rows_.size() && i < mapBoxes.size(); ++i) {
        mapBoxes[i]->setEditText(sourceOf(s.map, rows_[i]));
        compareBoxes[i]->setEditText(sourceOf(s.compare, rows_[i]));
    }
    mVal->setPlainText(s.fixed.join(u'\n'));
    chUseValAddOnly->setChecked(s.fixedAddOnly);
    mCalc->setPlainText(s.calc.join(u'\n'));
    impDS_->setFilter(s.filter);
    impDS_->setFiltered(s.filtered);
}

void TkDBImportForm::LoadSettings(const QString& file) {
    showSettings(LoadImportSettings(file, *target_, lookups()));
    lastSettingsFile_ = file;
}

void TkDBImportForm::SaveSettings(const QString& file) {
    SaveImportSettings(settingsOfPage(), *target_, file, lookups());
    lastSettingsFile_ = file;
}

bool TkDBImportForm::ParseCalcs(bool withMessages) {
    QStringList errors;
    const TkDBImport_Setting& set = DBImportSetting;
    const std::vector<TCalc> calcs = ::ParseCalcs(mCalc->toPlainText().split(u'\n'), target_, &errors,
                                                  {set.StandardChars, set.LocalChars, set.SpecialChars});
    if (withMessages) {
        if (!errors.isEmpty())
            Messages().error(
                QStringLiteral("Calculation definition contains errors. Invalid rows will be ignored.") +
                u'\n' + errors.join(u'\n'));
        else if (!mCalc->toPlainText().isEmpty())
            Messages().information(QStringLiteral("Ok"));
    }
    return !calcs.empty();
}

// ---- page 2

void TkDBImportForm::showInfoBefore() {
    const ImportCheckCounts& c = engine_->checkCounts;
    lInfoBefore->setText(
        QStringLiteral("Expecting result of import:\nTotal number of records to import: %1\n"
                       "Expecting number of added records: %2\nNumber of updated records: %3\n"
                       "Number of skipped records: %4")
            .arg(c.sum)
            .arg(c.add)
            .arg(c.edit)
            .arg(c.skip));
}

void TkDBImportForm::showInfoPost() {
    const ImportRunCounts& c = engine_->runCounts;
    lInfoPost->setText(QStringLiteral("Final result of import:\nTotal number of records to import: %1\n"
                                      "Number of added records: %2\nNumber of updated records: %3\n"
                                      "Number of identical records: %4\nNumber of skipped records: %5\n"
                                      "Number of errors during import: %6\n"
                                      "Number of warnings during value lookup: %7")
                           .arg(c.sum)
                           .arg(c.add)
                           .arg(c.edit)
                           .arg(c.same)
                           .arg(c.skip)
                           .arg(c.err)
                           .arg(c.war));
    pInfoPost->setVisible(true);
}

void TkDBImportForm::progress(const QString& text, int percent, bool abortable) {
    if (AutoMode == 2 && !DBImportSetting.AutoRun_ShowProgress) return;
    QObject* over = AutoMode == 2 && !isVisible() ? DBImportSetting.AutoRun_OwnerForm : this;
    std::function<void()> abort;
    if (abortable) abort = [this] { engine_->abort(); };
    ProgressWindow(text, percent, abort, over);
}

void TkDBImportForm::CheckData() {
    ProgressScope hide;
    progress(QStringLiteral("Checking of data..."));
    engine_->check();
    mErr->setPlainText(engine_->resultLines.join(u'\n'));
    showInfoBefore();
}

void TkDBImportForm::btNextClick() {
    try {
        if (page() == 0) {
            if (!impDS_->Active())
                throw Exception(QStringLiteral("Select and open table with data to import."));
            OpenLookupTables();
            BuildFieldSelection();
            if (AutoSetting && HoldsImportSettings(*AutoSetting))
                showSettings(ImportSettingsOfLines(*AutoSetting, *target_, lookups()));
        } else if (page() == 1) {
            const ImportSettings s = settingsOfPage();
            if (s.map.empty()) throw Exception(QStringLiteral("Select fields to import."));
            ParseCalcs(false);
            engine_ = std::make_unique<ImportEngine>(*target_, *impDS_, target_->Connection);
            engine_->settings = s;
            for (auto& q : lookupDS_)
                engine_->lookups.push_back(q.get());
            const TkDBImport_Setting& set = DBImportSetting;
            engine_->charSets = {set.StandardChars, set.LocalChars, set.SpecialChars};
            engine_->copyNumericFieldAsFloat = set.CopyNumericFieldAsFloat;
            engine_->resultInTableForm = set.ResultInTableForm;
            engine_->resultValueSeparator = set.ResultValueSeparator;
            engine_->LogCallBack = LogCallBack;
            engine_->OnProgress = [this](const QString& text, int percent) { progress(text, percent); };
            if (AutoMode != 2 || set.AutoRun_DoCheck) CheckData();
            pInfoPost->setVisible(false);
            btSaveAutoDesign->setEnabled(AutoSetting != nullptr);
        }
        pc->setCurrentIndex(std::min(page() + 1, 2));
        updateButtons();
    } catch (const std::exception& e) {
        if (AutoMode == 2) throw;
        ShowException(QString(), e);
    }
}

void TkDBImportForm::btPrevClick() {
    pc->setCurrentIndex(std::max(0, std::min(page(), 3) - 1));
    updateButtons();
}

void TkDBImportForm::btRunClick() {
    if (!engine_) return;
    bool go = true;
    if (chBackup->isChecked() && BackupCallBack) BackupCallBack(go);
    if (!go) return;
    pInfoPost->setVisible(false);
    {
        ProgressScope hide;
        progress(QStringLiteral("Importing of data..."));
        engine_->run();
    }
    Imported = true;
    if (engine_->wasAborted() && AutoMode != 2) Messages().information(QStringLiteral("Action aborted."));
    mErr->setPlainText(engine_->resultLines.join(u'\n'));
    mLog->setPlainText(engine_->updateLog.join(u'\n'));
    showInfoPost();
    grData_->dataSourceChanged();
}

void TkDBImportForm::StoreAutoSetting() {
    if (!AutoSetting) return;
    *AutoSetting = WithImportSource(ImportSettingsLines(settingsOfPage(), *target_, lookups()),
                                    impCon_.ConnectionString, cbTable->currentText(), eSelectCmd->text());
}

void TkDBImportForm::OpenAutoSettingSource() {
    const QString conStr = ImportSourceValue(*AutoSetting, "ConnectionString");
    eSelectCmd->setText(ImportSourceValue(*AutoSetting, "SelectCmd"));
    if (conStr.isEmpty() || !OpenSourceConnection(conStr)) return;
    FillTableList(QString(), false);
    LoadSourceData();
}

void TkDBImportForm::AutoRunImport(TDataSet* source) {
    pc->setEnabled(false);
    pButtons->setEnabled(false);
    if (DBImportSetting.AutoRun_ShowForm) show();
    try {
        if (source) {
            impDS_ = source;
            dsImp_.setDataSet(source);
        } else {
            const QStringList none;
            const QStringList& lines = AutoSetting ? *AutoSetting : none;
            impCon_.ConnectionString = ImportSourceValue(lines, "ConnectionString");
            impCon_.Open();
            eSelectCmd->setText(ImportSourceValue(lines, "SelectCmd"));
            LoadSourceData();
        }
        btNextClick();
        btNextClick();
        btRunClick();
    } catch (const std::exception& e) {
        if (!engine_) {
            engine_ = std::make_unique<ImportEngine>(*target_, *impDS_, target_->Connection);
            engine_->LogCallBack = LogCallBack;
        }
        for (const QString& line : {QStringLiteral("Error: Cannot import data."), ExceptionMessage(e)})
            engine_->logStamped(line, llError);
        mErr->setPlainText(engine_->resultLines.join(u'\n'));
    }
}

TkDBImport_Setting DBImportSetting;

bool RunDBImport(int AutoMode, TADOQuery* Target, TDataSet* Source, TkDBImport_LogCallBack LogCallBack,
                 TkDBImport_BackupCallBack BackupCallBack, TPropSaveFile* PropSaveFile,
                 const QString& UDLPath, QStringList* AutoSetting, const QStringList& LookupSQL,
                 QWidget* parent) {
    if (!Target || !Target->Active()) return false;
    TkDBImportForm form(parent);
    form.AutoMode = AutoMode;
    form.LookupSQLStr = LookupSQL;
    form.AutoSetting = AutoMode == 0 ? nullptr : AutoSetting;
    form.UDLPath = UDLPath;
    form.setTarget(Target);
    form.LogCallBack = std::move(LogCallBack);
    form.BackupCallBack = std::move(BackupCallBack);
    form.setBackupEnabled(bool(form.BackupCallBack));
    form.BindPositionSaver(PropSaveFile);
    form.btSaveAutoDesign->setVisible(AutoMode == 1);
    form.DoInit = AutoMode == 1;
    if (AutoMode == 2)
        form.AutoRunImport(Source);
    else
        form.exec();
    return form.Imported;
}

bool ShowDBImport(TADOQuery* Target, const QStringList& LookupSQL, const QString& UDLPath,
                  TkDBImport_BackupCallBack BackupCallBack, TPropSaveFile* PropSaveFile, QWidget* parent) {
    return RunDBImport(0, Target, nullptr, nullptr, std::move(BackupCallBack), PropSaveFile, UDLPath, nullptr,
                       LookupSQL, parent);
}
