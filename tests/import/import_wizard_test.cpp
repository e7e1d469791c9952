// The import wizard, headless, page by page: a CSV file through the template connection files into a
// SQLite table, driven by clicks.
#include "import_wizard.h"

#include "connection_editor.h"
#include "db_grid.h"
#include "export_form.h"
#include "filter_form.h"
#include "progress.h"
#include "prop_save_file.h"
#include "props_form.h"
#include "scripted_messages.h"
#include "shell.h"
#include "test_util.h"

#include <QApplication>
#include <QMimeData>
#include <QPointer>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTimer>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Wizard : ::testing::Test {
    TempDir dir;
    TADOConnection con;
    TADOQuery target{&con};
    ScopedScriptedMessages messages;
    void SetUp() override {
        con.ConnectionString =
            "Provider=SQLite;Data Source=" +
            MakeSqliteDb(dir.path("t.db"), "CREATE TABLE items (id INTEGER PRIMARY KEY, Code VARCHAR(10),"
                                           " name VARCHAR(8), qty INTEGER);"
                                           "INSERT INTO items (Code, name, qty) VALUES ('A', 'Alpha', 1);");
        con.Open();
        target.SQL = "SELECT * FROM items";
        target.Open();
        WriteFile(dir.path("in.csv"), "code,name,qty\nA,Alpha,9\nZ,Zulu,3\n");
    }
    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    static QString udlPath() { return QString(TABULO_PROGRAM_DIR) + "/udl_import"; }
    // Runs the wizard modally and hands the shown window to `use`, which the window closes after.
    static bool runModal(int mode, TADOQuery* target, TPropSaveFile* store, QStringList* setting,
                         const std::function<void(TkDBImportForm&)>& use) {
        bool used = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TkDBImportForm*>(QApplication::activeModalWidget());
            ASSERT_TRUE(form);
            const auto close = qScopeGuard([&] { click(form->btClose); });
            ASSERT_TRUE(QTest::qWaitFor([&] { return form->isActiveWindow(); }));
            use(*form);
            used = true;
        });
        const bool imported = RunDBImport(mode, target, nullptr, nullptr, nullptr, store, udlPath(), setting);
        EXPECT_TRUE(used);
        return imported;
    }
    // Hands the next modal window of type W to `use` once it shows; it is closed after.
    template <class W> static void onModal(std::function<void(W*)> use) {
        QTimer::singleShot(0, [use] {
            W* w = nullptr;
            QTest::qWaitFor(
                [&] { return (w = qobject_cast<W*>(QApplication::activeModalWidget())) != nullptr; });
            // Whatever modal window is open then is closed after, so a failed step cannot hang the test.
            QPointer<QDialog> open = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            const auto close = qScopeGuard([&] {
                if (open && open->isVisible()) open->reject();
            });
            ASSERT_TRUE(w) << (QApplication::activeModalWidget()
                                   ? QApplication::activeModalWidget()->metaObject()->className()
                                   : "none");
            use(w);
        });
    }
    // Drops a file on the window's first page as a file manager would.
    static void dropFile(TkDBImportForm& form, const QString& path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.pLoad, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.pLoad, &drop);
    }
    QString stored() {
        TADOConnection other;
        other.ConnectionString = con.ConnectionString;
        other.Open();
        TADOQuery q(&other);
        q.SQL = "SELECT Code, name, qty FROM items ORDER BY id";
        q.Open();
        QStringList rows;
        for (q.First(); !q.Eof(); q.Next())
            rows << q.Fields(0)->AsString() + "," + q.Fields(1)->AsString() + "," + q.Fields(2)->AsString();
        return rows.join(" ");
    }
};
} // namespace

TEST_F(Wizard, PageByPageFromCsv) {
    TkDBImportForm form;
    form.UDLPath = QString(TABULO_PROGRAM_DIR) + "/udl_import";
    form.setTarget(&target);
    form.setBackupEnabled(false);
    EXPECT_FALSE(form.chBackup->isEnabled());
    EXPECT_FALSE(form.chBackup->isChecked());
    form.show();

    // Page 0: no source yet.
    click(form.btNext);
    EXPECT_EQ(form.page(), 0);
    EXPECT_EQ(messages.log().join("\n"),
              "exception: Error description:\nSelect and open table with data to import.");
    messages.clear();
    ASSERT_TRUE(form.OpenSourceFile(dir.path("in.csv"))) << form.mConInfo->toPlainText().toStdString();
    EXPECT_EQ(form.cbTable->currentText(), "in.csv");
    EXPECT_TRUE(form.eSelectCmd->text().startsWith("SELECT * FROM "))
        << form.eSelectCmd->text().toStdString();
    EXPECT_TRUE(form.eSelectCmd->text().endsWith(" WHERE 1=1"));

    // Page 1: rows preselected by name (Code ~ code); the id row has no source.
    click(form.btNext);
    ASSERT_EQ(form.page(), 1);
    ASSERT_EQ(form.mapBoxes.size(), 4u);
    EXPECT_EQ(form.mapBoxes[0]->currentText(), "");
    EXPECT_EQ(form.mapBoxes[1]->currentText(), "code");
    EXPECT_EQ(form.mapBoxes[2]->currentText(), "name");
    EXPECT_EQ(form.compareBoxes[1]->currentText(), "");
    EXPECT_FALSE(form.sb2Box->isVisible());
    form.tabFields->setCurrentIndex(1);
    click(static_cast<QRadioButton*>(form.rgTyp->button(2)));
    EXPECT_TRUE(form.sb2Box->isVisibleTo(&form));
    form.compareBoxes[1]->setCurrentText("code");
    form.mCalc->setPlainText("name=Left(2)\nname=Lft(1)");
    click(form.btCheckCalc);
    EXPECT_EQ(messages.log().join("\n"),
              "error: Calculation definition contains errors. Invalid rows will be "
              "ignored.\nUnknown command \"Lft\" in row no. 2");
    messages.clear();
    form.mCalc->setPlainText("name=Left(2)");
    click(form.btCheckCalc);
    EXPECT_EQ(messages.log().join("\n"), "information: Ok");
    messages.clear();

    // The settings file keeps the page.
    form.SaveSettings(dir.path("w.imp"));
    form.mCalc->clear();
    form.LoadSettings(dir.path("w.imp"));
    EXPECT_EQ(form.mCalc->toPlainText(), "name=Left(2)");
    EXPECT_EQ(form.rgTyp->checkedId(), 2);

    // Page 2: the check, then the run.
    click(form.btNext);
    ASSERT_EQ(form.page(), 2);
    EXPECT_TRUE(form.lInfoBefore->text().contains("Expecting number of added records: 1"))
        << form.lInfoBefore->text().toStdString();
    EXPECT_TRUE(form.lInfoBefore->text().contains("Number of updated records: 1"));
    click(form.btRun);
    EXPECT_TRUE(form.Imported);
    EXPECT_TRUE(form.lInfoPost->text().contains("Number of updated records: 1"))
        << form.lInfoPost->text().toStdString();
    EXPECT_TRUE(form.mErr->toPlainText().contains("To import in total: 2, added: 1, edited: 1"));
    EXPECT_EQ(form.mLog->toPlainText(), "Record: Code = A\nUpdated values: name: Alpha => Al; qty: 1 => 9; ");
    EXPECT_EQ(stored(), "A,Al,9 Z,Zu,3");
    EXPECT_TRUE(messages.shown.empty());

    // Mapping list commands on the focused row: down shifts the rows below, up the rows from it.
    click(form.btPrev);
    ASSERT_EQ(form.page(), 1);
    const auto texts = [&] {
        QStringList t;
        for (QComboBox* cb : form.mapBoxes)
            t << cb->currentText();
        return t.join("|");
    };
    form.btNext->setFocus();
    click(form.btDown);
    EXPECT_EQ(messages.log().join("\n"), "warning: Place cursor to combobox witch should me moved as first.");
    messages.clear();
    form.mapBoxes[1]->setFocus();
    click(form.btDown);
    EXPECT_EQ(texts(), "||code|name");
    form.mapBoxes[3]->setFocus();
    click(form.btUp);
    EXPECT_EQ(texts(), "||name|");
    form.mapBoxes[0]->setFocus();
    click(form.btUp);
    EXPECT_EQ(texts(), "||name|");
    EXPECT_EQ(messages.log().join("\n"), "information: Ok\ninformation: Ok\ninformation: Ok");
    messages.clear();
    click(form.btClear);
    EXPECT_EQ(texts(), "|||");

    // No mapping: the page stays.
    click(form.btNext);
    EXPECT_EQ(form.page(), 1);
    EXPECT_EQ(messages.log().join("\n"), "exception: Error description:\nSelect fields to import.");
}

TEST_F(Wizard, UnattendedRunFromSettingsLines) {
    TADOConnection srcCon;
    srcCon.ConnectionString = "Provider=SQLite;Data Source=" +
                              MakeSqliteDb(dir.path("s.db"), "CREATE TABLE s (code TEXT, qty INTEGER);"
                                                             "INSERT INTO s VALUES ('A', 5), ('B', 6);");
    srcCon.Open();
    TADOQuery source(&srcCon);
    source.SQL = "SELECT * FROM s";
    source.Open();
    ImportSettings s;
    s.type = ImportType::Update;
    s.map = {{"qty", "qty"}};
    s.compare = {{"Code", "code"}};
    QStringList lines = ImportSettingsLines(s, target);
    QStringList log;
    bool backupAsked = false;
    EXPECT_TRUE(RunDBImport(
        2, &target, &source,
        [&](const QString& line, int level, bool&) { log << QString::number(level) + ":" + line; },
        [&](bool& go) { backupAsked = go = true; }, nullptr, dir.path(), &lines));
    EXPECT_TRUE(backupAsked);
    EXPECT_TRUE(log.contains("6:#RESULT#: Total=2;Add=0;Edit=1;Same=0;Skip=1;Error=0;Warning=0;"))
        << log.join("\n").toStdString();
    EXPECT_EQ(stored(), "A,Alpha,5");

    // The module's settings: the window shown (its pages and buttons locked) without the progress
    // window; then hidden, with the progress window over the caller's form.
    struct Progress : IProgress {
        QList<QObject*> over;
        void update(const QString& text, int, const std::function<void()>&, QObject* o) override {
            if (!text.isEmpty()) over << o;
        }
    } progress;
    IProgress* before = SetProgress(&progress);
    const auto restore = qScopeGuard([&] {
        SetProgress(before);
        DBImportSetting = TkDBImport_Setting();
    });
    const auto shownForm = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TkDBImportForm*>(w); f && f->isVisible()) return f;
        return static_cast<TkDBImportForm*>(nullptr);
    };
    bool lockedWhileShown = false;
    DBImportSetting.AutoRun_ShowForm = true;
    EXPECT_TRUE(RunDBImport(
        2, &target, &source,
        [&](const QString&, int, bool&) {
            const TkDBImportForm* f = shownForm();
            lockedWhileShown = f && !f->pc->isEnabled() && !f->pButtons->isEnabled();
        },
        nullptr, nullptr, dir.path(), &lines));
    EXPECT_TRUE(lockedWhileShown);
    EXPECT_TRUE(progress.over.isEmpty());
    QWidget owner;
    DBImportSetting = TkDBImport_Setting();
    DBImportSetting.AutoRun_ShowProgress = true;
    DBImportSetting.AutoRun_OwnerForm = &owner;
    EXPECT_TRUE(RunDBImport(
        2, &target, &source, [&](const QString&, int, bool&) { EXPECT_FALSE(shownForm()); }, nullptr, nullptr,
        dir.path(), &lines));
    ASSERT_FALSE(progress.over.isEmpty());
    EXPECT_EQ(progress.over.count(&owner), progress.over.size());

    // A source that cannot be opened: two stamped error lines, nothing imported.
    QStringList errors;
    QStringList badSource =
        WithImportSource({}, "Provider=SQLite;Data Source=" + dir.path("none/x.db"), "s", "SELECT * FROM s");
    EXPECT_FALSE(RunDBImport(
        2, &target, nullptr,
        [&](const QString& line, int level, bool&) { errors << QString::number(level) + ":" + line; },
        nullptr, nullptr, dir.path(), &badSource));
    ASSERT_EQ(errors.size(), 2) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].startsWith("10:") && errors[0].endsWith(": Error: Cannot import data."))
        << errors[0].toStdString();
    EXPECT_TRUE(errors[1].startsWith("10:") && errors[1].contains("x.db")) << errors[1].toStdString();

    // A closed target: nothing happens.
    target.Close();
    EXPECT_FALSE(RunDBImport(2, &target, &source, nullptr, nullptr, nullptr, dir.path(), &lines));
}

// Mode 1 designs the automatic-run settings by hand (source dropped, choices typed), mode 2 runs them
// unattended, and mode 1 opened again on them shows the same source and choices.
TEST_F(Wizard, DesignedSettingsRunUnattendedAndReopen) {
    TPropSaveFile store; // the program's settings store, in memory
    store.OnLoadContent = [](TPropSaveFile*) {};
    store.OnSaveContent = [](TPropSaveFile*) {};
    store.Loaded();
    store.SetStrings({"[kDBImportForm_XY]", "Left=30", "Top=40", "Right=530", "Bottom=560"});
    QStringList setting;
    EXPECT_FALSE(runModal(1, &target, &store, &setting, [&](TkDBImportForm& form) {
        EXPECT_EQ(form.geometry(), QRect(30, 40, 500, 520)); // the stored position
        EXPECT_FALSE(form.btSaveAutoDesign->isHidden());
        EXPECT_FALSE(form.btLoadSet->isVisibleTo(&form));
        dropFile(form, dir.path("in.csv"));
        ASSERT_EQ(form.cbTable->currentText(), "in.csv") << form.mConInfo->toPlainText().toStdString();
        click(form.btNext);
        ASSERT_EQ(form.page(), 1);
        form.tabFields->setCurrentIndex(1);
        click(static_cast<QRadioButton*>(form.rgTyp->button(2)));
        form.compareBoxes[1]->setFocus();
        QTest::keyClicks(form.compareBoxes[1], "code");
        form.mapBoxes[2]->setFocus(); // name: no source
        QTest::keyClick(form.mapBoxes[2], Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(form.mapBoxes[2], Qt::Key_Delete);
        click(form.btNext);
        ASSERT_EQ(form.page(), 2) << messages.log().join("\n").toStdString();
        EXPECT_TRUE(form.btSaveAutoDesign->isEnabled());
        click(form.btSaveAutoDesign);
        EXPECT_FALSE(form.btSaveAutoDesign->isEnabled());
        form.setGeometry(50, 60, 600, 500);
    }));
    EXPECT_EQ(store.ReadInteger("kDBImportForm_XY", "Left", 0), 50);
    EXPECT_EQ(store.ReadInteger("kDBImportForm_XY", "Right", 0), 650);
    EXPECT_EQ(stored(), "A,Alpha,1"); // designing imports nothing
    EXPECT_EQ(ImportSourceValue(setting, "TableName"), "in.csv");
    EXPECT_TRUE(ImportSourceValue(setting, "SelectCmd").endsWith(" WHERE 1=1"));
    EXPECT_TRUE(ImportSourceValue(setting, "ConnectionString").contains(dir.path()))
        << setting.join("\n").toStdString();

    QStringList log;
    EXPECT_TRUE(RunDBImport(
        2, &target, nullptr,
        [&](const QString& line, int level, bool&) { log << QString::number(level) + ":" + line; }, nullptr,
        nullptr, udlPath(), &setting));
    EXPECT_TRUE(log.contains("6:#RESULT#: Total=2;Add=1;Edit=1;Same=0;Skip=0;Error=0;Warning=0;"))
        << log.join("\n").toStdString();
    EXPECT_EQ(stored(), "A,Alpha,9 Z,,3");

    runModal(1, &target, &store, &setting, [&](TkDBImportForm& form) {
        EXPECT_EQ(form.cbTable->currentText(), "in.csv");
        EXPECT_EQ(form.tabSource->currentIndex(), 1);
        click(form.btNext);
        ASSERT_EQ(form.page(), 1) << messages.log().join("\n").toStdString();
        EXPECT_EQ(form.rgTyp->checkedId(), 2);
        EXPECT_EQ(form.compareBoxes[1]->currentText(), "code");
        EXPECT_EQ(form.mapBoxes[2]->currentText(), "");
        EXPECT_EQ(form.mapBoxes[3]->currentText(), "qty");
    });
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join("\n").toStdString();
}

// The grids' pop-up menu and shortcuts act on the grid that has the focus; the source grid's filter links
// and title clicks; the target's structure and data exports. What the source grid shows is what the
// run imports.
TEST_F(Wizard, GridMenuFilterLinksAndExports) {
    TkDBImportForm form;
    form.UDLPath = udlPath();
    form.setTarget(&target);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_TRUE(form.OpenSourceFile(dir.path("in.csv")));
    click(form.btNext);
    ASSERT_EQ(form.page(), 1);
    TkDBGrid* grid = form.grImpData2();
    TDataSet* ds = grid->dataSet();
    const auto cell = [](TkDBGrid* g, int row, int col) {
        return g->visualRect(g->model()->index(row, col)).center();
    };
    const auto codes = [&] {
        QStringList list;
        for (ds->First(); !ds->Eof(); ds->Next())
            list << ds->FieldByName("code")->AsString();
        return list.join(",");
    };

    // A title click sorts the source; again the other way.
    QHeaderView* header = grid->horizontalHeader();
    const QPoint qtyTitle(header->sectionViewportPosition(2) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, qtyTitle);
    EXPECT_EQ(codes(), "Z,A");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, qtyTitle);
    EXPECT_EQ(codes(), "A,Z");

    // Ctrl+R filters by the current cell, Ctrl+Q switches the filter off and on again.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(grid, 1, 0)); // Z
    EXPECT_EQ(form.actGrid, grid);
    QTest::keyClick(grid, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(ds->Filtered());
    EXPECT_EQ(codes(), "Z");
    QTest::keyClick(grid, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(codes(), "A,Z");
    QTest::keyClick(grid, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(codes(), "Z");
    click(form.btFilterReset);
    EXPECT_FALSE(ds->Filtered());

    // "Set filter": the manual filter dialog on the source grid.
    onModal<TkDBFilterForm>([&](TkDBFilterForm* f) {
        QTest::keyClick(f->eRes, Qt::Key_A, Qt::ControlModifier); // replaces the last filter's text
        QTest::keyClicks(f->eRes, "qty<5");
        EXPECT_TRUE(f->applyOk()) << messages.log().join("\n").toStdString();
    });
    click(form.btFilterSet);
    EXPECT_EQ(codes(), "Z");

    // A double click on a grid opens the table properties; a right click the pop-up menu.
    bool props = false;
    onModal<TkDBGridPropsForm>([&](TkDBGridPropsForm*) { props = true; });
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(grid, 0, 1)); // a double click's events
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(grid, 0, 1));
    EXPECT_TRUE(props);
    EXPECT_EQ(form.actGrid, grid);

    TkDBGrid* targetGrid = form.grData();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, cell(targetGrid, 0, 1),
                           targetGrid->viewport()->mapToGlobal(cell(targetGrid, 0, 1)));
    QApplication::sendEvent(targetGrid->viewport(), &menu);
    EXPECT_TRUE(form.pm->isVisible());
    EXPECT_EQ(form.actGrid, targetGrid);
    form.pm->close();

    // The structure and the data of the target table, through the export dialog.
    const auto saved = TkDBExportForm::AskSaveFile;
    const auto restore = qScopeGuard([&] { TkDBExportForm::AskSaveFile = saved; });
    for (QPushButton* link : {form.btExpStruct, form.btExpData}) {
        const QString out = dir.path(link->objectName() + ".txt");
        TkDBExportForm::AskSaveFile = [&](QWidget*, const QString&, const QString&) { return out; };
        onModal<TkDBExportForm>([&](TkDBExportForm* f) {
            EXPECT_EQ(f->rg->buttons().size(), 3); // no template reports
            f->rg->button(0)->click();
            f->cbAction_nostore->setCurrentIndex(0);
            f->btOk->click();
        });
        click(link);
    }
    EXPECT_EQ(ReadFile(dir.path("lblExpStructure.txt")), "id;Code;name;qty\r\n");
    EXPECT_EQ(ReadFile(dir.path("lblExpData.txt")), "id;Code;name;qty\r\n1;\"A\";\"Alpha\";1\r\n");

    // Only the filtered source rows are imported.
    click(form.btNext);
    ASSERT_EQ(form.page(), 2);
    click(form.btRun);
    EXPECT_EQ(stored(), "A,Alpha,1 Z,Zulu,3");
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join("\n").toStdString();
}

// "New connection": the connection editor on the source connection's string; the source's tables are
// listed and the first is loaded. Cancel keeps the source; the log never shows a password.
TEST_F(Wizard, NewConnectionThroughTheEditor) {
    const QString source = MakeSqliteDb(dir.path("s.db"), "CREATE TABLE s (code TEXT, qty INTEGER);"
                                                          "INSERT INTO s VALUES ('B', 5), ('C', 6);");
    TkDBImportForm form;
    form.UDLPath = udlPath();
    form.setTarget(&target);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    onModal<TConnectionEditor>([&](TConnectionEditor* editor) {
        EXPECT_EQ(editor->windowTitle(), "kDBImportForm.ImpCon ConnectionString");
        auto* file = editor->findChild<QLineEdit*>("eDataSource");
        file->setFocus();
        QTest::keyClicks(file, source);
        click(editor->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    });
    auto* link = form.findChild<QLabel*>("lblOpen2"); // "Any other data source: new connection."
    const int at = link->fontMetrics().horizontalAdvance("Any other data source: new");
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(link->contentsRect().left() + at, link->height() / 2));
    EXPECT_EQ(form.cbTable->currentText(), "s");
    EXPECT_EQ(form.tabSource->currentIndex(), 1);
    EXPECT_EQ(form.grImpData1()->model()->rowCount(), 2);
    EXPECT_TRUE(form.mConInfo->toPlainText().contains(source));

    onModal<TConnectionEditor>([&](TConnectionEditor* editor) {
        EXPECT_EQ(editor->findChild<QLineEdit*>("eDataSource")->text(), source);
        click(editor->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));
    });
    click(form.btNewCon);
    EXPECT_EQ(form.cbTable->currentText(), "s");

    click(form.btNext);
    ASSERT_EQ(form.page(), 1);
    EXPECT_EQ(form.mapBoxes[1]->currentText(), "code");
    click(form.btNext);
    click(form.btRun);
    EXPECT_EQ(stored(), "A,Alpha,1 B,,5 C,,6");
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join("\n").toStdString();

    form.OpenSourceConnection("Provider=SQLite;Data Source=" + source + ";Password=secret");
    EXPECT_FALSE(form.mConInfo->toPlainText().contains("secret"))
        << form.mConInfo->toPlainText().toStdString();
}

// "Help" writes the value commands' page into the template folder once (a page edited there is kept)
// and opens it; a folder that cannot take it is reported and nothing is opened.
TEST_F(Wizard, CalcHelpPage) {
    QStringList opened;
    SetShellHandler([&](ShellVerb, const QString& path) {
        opened << path;
        return true;
    });
    const auto restore = qScopeGuard([] { SetShellHandler(nullptr); });
    TkDBImportForm form;
    form.UDLPath = dir.path();
    form.setTarget(&target);
    const QString page = dir.path("Import_calc_help.html");
    click(form.btCalcHelp);
    EXPECT_EQ(opened, QStringList{page});
    const QByteArray html = ReadFile(page);
    for (const char* command :
         {"Trim", "Clean", "RemoveChar", "Left", "Right", "Middle", "Part", "FromTo", "Replace"})
        EXPECT_TRUE(html.contains(QByteArray(command) + "(")) << command;
    WriteFile(page, "<p>our own notes</p>");
    click(form.btCalcHelp);
    EXPECT_EQ(ReadFile(page), "<p>our own notes</p>");
    EXPECT_EQ(opened.size(), 2);
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join("\n").toStdString();

    WriteFile(dir.path("plain"), "x");
    form.UDLPath = dir.path("plain/sub");
    click(form.btCalcHelp);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_TRUE(messages.log().join("\n").contains("Import_calc_help.html"))
        << messages.log().join("\n").toStdString();
}
