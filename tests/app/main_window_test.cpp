// The main window headless: connect, table list, loading, sorting, schema page, connection failures.
#include "column_filter.h"
#include "connection.h"
#include "db_action.h"
#include "db_grid_ms.h"
#include "grid_bars.h"
#include "grid_style.h"
#include "html_label.h"
#include "main_window.h"
#include "program_folder.h"
#include "query.h"
#include "schema_rowsets.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "udl_file.h"
#include "value_list_form.h"
#include "work_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.makeWorkDatabase("CREATE TABLE Orders (id INTEGER PRIMARY KEY, customer VARCHAR(20), notes MEMO);"
                             "CREATE TABLE \"Order Details\" (id INTEGER PRIMARY KEY, qty INTEGER);"
                             "CREATE TABLE sysLog (a INTEGER); CREATE TABLE SYSusers (a INTEGER);"
                             "CREATE VIEW \"Order Totals\" AS SELECT id, qty FROM \"Order Details\";"
                             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
                             "INSERT INTO \"Order Details\" SELECT i, i % 7 FROM n;"
                             "INSERT INTO Orders VALUES (1, 'b', 'x'), (2, 'c', 'y'), (3, 'a', 'z');");
        WriteUdlFile(dir.path("Connections/Broken.udl"), "Provider=SQLite;Data Source=../nothere/x.sqlite");
        WriteUdlFile(dir.path("Connections/Demo.udl"),
                     "Provider=SQLite;Mode=Read;Data Source=" + ProgramDir() + "/demo.sqlite");
        main = std::make_unique<TMain>(&actions);
    }
    void TearDown() override { main.reset(); }
    void connect(const QString& udl) {
        main->cbUDL_nostore->setEditText(udl);
        main->btConnectClick();
    }
    QStringList tables() const {
        QStringList l;
        for (int i = 0; i < main->cbTables->count(); ++i)
            l << main->cbTables->itemText(i);
        return l;
    }
    void load(const QString& table) {
        main->cbTables->setEditText(table);
        main->btOpenClick();
    }
    QString info() { return main->lInfo->PreparedText(); }
    // The first value of a query on a connection of its own: what the database really holds.
    QString readBack(const QString& sql) {
        TADOConnection c;
        c.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("w.sqlite");
        c.Open();
        TADOQuery r(&c);
        r.SQL = sql;
        r.Open();
        return r.RecordCount() ? r.Fields(0)->AsString() : QStringLiteral("(none)");
    }
    // The window on screen and active, as a user has it: keys go through its shortcuts.
    void showWindow() {
        main->show();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    }
    QPoint cellCenter(int row, int column) {
        return main->grData->visualRect(main->grData->model()->index(row, column)).center();
    }
    void clickCell(int row, int column) {
        QTest::mouseClick(main->grData->viewport(), Qt::LeftButton, {}, cellCenter(row, column));
    }
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(main->windowHandle(), Qt::Key(k), mods);
    }
    void type(const QString& text) {
        for (QChar c : text)
            QTest::keyClick(main->windowHandle(), c.toLatin1());
    }
    // Clicks a button of the grid's toolbar or edit bar after the enabling rules ran.
    void clickCommand(const char* action) {
        main->ApplicationEvents1Idle();
        auto* b = main->findChild<QToolButton*>(QStringLiteral("bt") + action);
        ASSERT_NE(b, nullptr) << action;
        ASSERT_TRUE(b->isEnabled()) << action;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    WorkFolder dir;
    ScopedScriptedMessages messages;
    TkDBAction actions;
    std::unique_ptr<TMain> main;
};

TEST_F(MainWindowTest, StartsDisconnectedWithDefaults) {
    EXPECT_EQ(main->windowTitle(), "Tabulo");
    EXPECT_EQ(main->minimumSize(), QSize(800, 500));
    EXPECT_EQ(main->gbTop->title(), "DB: none");
    EXPECT_FALSE(main->gbTabs->isEnabled());
    EXPECT_EQ(main->ConDir, dir.path("Connections") + '/');
    QStringList items;
    for (int i = 0; i < main->cbUDL_nostore->count(); ++i)
        items << main->cbUDL_nostore->itemText(i);
    EXPECT_EQ(items, QStringList({"Broken.udl", "Demo.udl", "Work.udl"}));
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "Demo.udl"); // first start: the demo is chosen
    EXPECT_TRUE(main->rbTables->isChecked());
    EXPECT_TRUE(main->chAutoOpen->isChecked());
    EXPECT_EQ(main->eTopRec->value(), 1);
    EXPECT_EQ(main->eTopRec->maximum(), 10000);
    EXPECT_EQ(main->grData->Tag, 128);
    EXPECT_EQ(info(), "Loaded - records from -");
    EXPECT_FALSE(main->btOpen->isEnabled());
    // Commands whose features are not built are there but disabled.
    ASSERT_NE(actions.action("acoExport"), nullptr);
    EXPECT_FALSE(actions.action("acoExport")->isEnabled());
    EXPECT_FALSE(actions.action("acoClose")->isVisible() && actions.GetActiveGrid() == main->grData);
}

TEST_F(MainWindowTest, ConnectListsTablesViewsAndMask) {
    connect("Work.udl");
    EXPECT_EQ(main->gbTop->title(), "DB: main");
    EXPECT_TRUE(main->gbTabs->isEnabled());
    EXPECT_EQ(main->cbSchema->count(), kSchemaKindCount);
    EXPECT_EQ(tables(), QStringList({"Order Details", "Orders", "sysLog", "SYSusers"}));
    main->rbViews->setChecked(true);
    main->rbTablesClick();
    EXPECT_EQ(tables(), QStringList({"Order Totals"}));
    main->rbBoth->setChecked(true);
    main->eMaskListExclude->setText("sys*");
    main->lblRefClick();
    EXPECT_EQ(tables(), QStringList({"Order Details", "Order Totals", "Orders"}));
    main->btDisconClick();
    EXPECT_EQ(main->gbTop->title(), "DB: none");
    EXPECT_TRUE(tables().isEmpty());
    EXPECT_FALSE(main->DBCon.Connected());
    // Any legal file name opens: the name is no part of a connection string.
    WriteUdlFile(dir.path("Connections/Sales;2024 {\"x\"}.udl"), "Provider=SQLite;Data Source=../w.sqlite");
    connect("Sales;2024 {\"x\"}.udl");
    EXPECT_TRUE(main->DBCon.Connected()) << messages.log().join('|').toStdString();
}

TEST_F(MainWindowTest, WindowAndCommandLineListTheSameTables) {
    // Names that tell mask rules apart: letter case, a slash, brackets, a dot, views.
    MakeSqliteDb(dir.path("w.sqlite"),
                 "CREATE TABLE \"a/b\" (x); CREATE TABLE \"tmp[1]\" (x); CREATE TABLE tmp2 (x);"
                 "CREATE TABLE \"x.y\" (x); CREATE VIEW \"v/1\" AS SELECT 1;");
    connect("Work.udl");
    const QString conn = "Provider=SQLite;Data Source=" + dir.path("w.sqlite");
    struct Case {
        QRadioButton* kind;
        const char* flag;
        const char* mask;
    } cases[] = {
        {main->rbTables, nullptr, ""},         {main->rbViews, "--views", ""},
        {main->rbBoth, "--both", ""},          {main->rbBoth, "--both", "SYS*"},
        {main->rbTables, nullptr, "*/*"},      {main->rbBoth, "--both", "?/?"},
        {main->rbTables, nullptr, "tmp[0-9]"}, {main->rbTables, nullptr, "tmp[!0-9]*"},
        {main->rbTables, nullptr, "tmp[[]1]"}, {main->rbBoth, "--both", "*.*"},
        {main->rbBoth, "--both", "order*"},
    };
    for (const Case& c : cases) {
        c.kind->setChecked(true);
        main->eMaskListExclude->setText(c.mask);
        main->lblRefClick();
        QStringList args = {"--connect", conn, "tables"};
        if (c.flag) args << c.flag;
        if (*c.mask) args << "--exclude" << c.mask;
        const CliRun r = cli(args);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts), tables()) << (c.flag ? c.flag : "") << " " << c.mask;
    }
}

TEST_F(MainWindowTest, DemoDatabaseLoads) {
    connect("Demo.udl");
    ASSERT_TRUE(main->DBCon.Connected()) << messages.log().join('\n').toStdString();
    EXPECT_TRUE(tables().contains("Order Details"));
    load("Order Details");
    EXPECT_EQ(main->lastStatements().data, "SELECT * FROM \"Order Details\" LIMIT 1000");
    EXPECT_TRUE(main->qData.Active());
    EXPECT_GT(main->grData->model()->rowCount(), 0);
}

TEST_F(MainWindowTest, LoadUsesCountAndTopStatements) {
    connect("Work.udl");
    main->eTopRec->setValue(2);
    load("Order Details");
    EXPECT_EQ(main->lastStatements().count, "SELECT Count(*) FROM \"Order Details\"");
    EXPECT_EQ(main->lastStatements().data, "SELECT * FROM \"Order Details\" LIMIT 2000");
    EXPECT_EQ(main->qData.RecordCount(), 2000);
    EXPECT_EQ(info(), "Loaded 2000 records from 2500");
    main->eTopRec->setValue(0);
    load("Order Details");
    EXPECT_EQ(main->lastStatements().data, "SELECT * FROM \"Order Details\"");
    EXPECT_EQ(info(), "Loaded 2500 records from 2500");
    // Every field is marked for the record-duplicate command.
    for (int i = 0; i < main->qData.FieldCount(); ++i)
        EXPECT_EQ(main->qData.Fields(i)->Tag, 1);
    EXPECT_TRUE(main->btImportData->isEnabled());
    EXPECT_TRUE(main->btGenScript->isEnabled());

    // Explicit quote texts wrap every name, and the prefix goes in front.
    main->eNameStart->setText("\"");
    main->eNameStop->setText("\"");
    main->eNamePrefix->setText("main.");
    load("Orders");
    EXPECT_EQ(main->lastStatements().count, "SELECT Count(*) FROM main.\"Orders\"");
    EXPECT_EQ(main->qData.RecordCount(), 3);
}

TEST_F(MainWindowTest, LoadErrorsGoToTheDefaultHandler) {
    connect("Work.udl");
    main->cbTables->setEditText("NoSuchTable");
    main->ApplicationEvents1Idle();
    ASSERT_TRUE(main->btOpen->isEnabled());
    main->btOpen->click();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().kind, "error");
    EXPECT_TRUE(messages.shown.back().text.contains("NoSuchTable"));
    EXPECT_FALSE(main->qData.Active());
}

TEST_F(MainWindowTest, SortingThroughTheGrid) {
    connect("Work.udl");
    load("Orders");
    main->qData.setRecNo(2); // customer "c"
    EXPECT_TRUE(main->grData->ChangeSort({"customer"}, false));
    EXPECT_EQ(main->qData.Sort(), "customer");
    EXPECT_EQ(main->qData.FieldByName("customer")->AsString(), "c"); // the current record stays current
    EXPECT_EQ(main->grData->GetCellValue(1, 0), "a");
    EXPECT_EQ(main->grData->SortList().size(), 1);
    // A memo column is refused and the order stays.
    EXPECT_FALSE(main->grData->ChangeSort({"notes"}, false));
    EXPECT_EQ(main->qData.Sort(), "customer");
    EXPECT_EQ(main->grData->SortList().first().field, "customer");
    // Refreshing re-runs the same statement and keeps the grid's order and the current record.
    const QString sql = main->qData.SQL;
    main->grData->RefreshData();
    EXPECT_EQ(main->qData.SQL, sql);
    EXPECT_EQ(main->qData.Sort(), "customer");
    EXPECT_EQ(main->qData.FieldByName("customer")->AsString(), "c");
    EXPECT_TRUE(main->grData->ChangeSort({}, false));
    EXPECT_EQ(main->qData.Sort(), "");
    main->grData->selectAll(); // the indicator's title cell
    EXPECT_EQ(messages.shown.back().text, "Selected 3 records.");
    EXPECT_EQ(main->grData->GetSelectedRecCount(), 3);

    // The order and the filter belong to their table: the next table loads unsorted and unfiltered.
    messages.clear();
    ASSERT_TRUE(main->grData->ChangeSort({"customer"}, true));
    main->qData.setFilter("customer <> 'a'");
    main->qData.setFiltered(true);
    load("Order Details");
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
    EXPECT_TRUE(main->qData.Active());
    EXPECT_EQ(main->qData.Sort(), "");
    EXPECT_FALSE(main->qData.Filtered());
    EXPECT_TRUE(main->grData->SortList().isEmpty());
    EXPECT_EQ(info(), "Loaded 1000 records from 2500");
    main->ApplicationEvents1Idle();
    EXPECT_FALSE(actions.action("acsSortNone")->isEnabled());
}

TEST_F(MainWindowTest, TheGridComesBackAfterARestart) {
    connect("Work.udl");
    load("Orders");
    TkDBGrid* g = main->grData;
    QHeaderView* h = g->horizontalHeader();
    g->setColumnWidth(g->columnOfField("customer"), 177);
    h->moveSection(h->visualIndex(g->columnOfField("notes")), 0);
    ASSERT_TRUE(g->ChangeSort({"customer"}, true));
    ASSERT_TRUE(SetFilterForField(g, main->qData.FindField("id"), "(id>=2)", false, true, true));
    g->FooterRow.FooterVisible = true;
    g->FooterRow.FieldFooterDefs = {"id=%CountAll"};
    TCellParamsCond a, b;
    a.FieldName = "customer";
    a.Value = "b";
    a.BkColor = 0x0000FF;
    b.FieldName = "id";
    b.CondOperator = cpoGreater;
    b.Value = "2";
    b.Bold = true;
    g->CellParamsConditions.SetItems({a, b});
    g->SetCellConditionActive(true);
    // Column groups (one collapsed) and what the properties window sets.
    TColumnGroup group;
    group.Name = "Order";
    group.Fields = {"customer", "id"};
    group.Master = "customer";
    group.Collapsed = true;
    g->SetColumnGroups({group});
    g->SetFieldGroupsActive(true);
    ASSERT_TRUE(g->isColumnHidden(g->columnOfField("id")));
    TkDBGridStyle look = ReadGridStyle(*g);
    look.ColorOddRow = QColor(255, 255, 0);
    look.RowHeight = 31;
    look.ShowIndicator = false;
    look.GridLines = false;
    ApplyGridStyle(*g, look);
    g->OptionsEx2.Filters.TextBar = true;
    g->OptionsEx2.Filters.FilterPanel = true;
    g->FiltersChanged();

    main.reset(); // closing the program writes tabulo.ini
    main = std::make_unique<TMain>(&actions);
    g = main->grData;
    h = g->horizontalHeader();
    // The look, the footer and the conditions at once.
    EXPECT_TRUE(g->FooterRow.FooterVisible);
    EXPECT_EQ(g->FooterRow.FieldFooterDefs, QStringList({"id=%CountAll"}));
    ASSERT_EQ(g->CellParamsConditions.Count(), 2);
    EXPECT_EQ(g->CellParamsConditions.Item(1).CondOperator, cpoGreater);
    EXPECT_TRUE(g->OptionsEx2.CellCondition.Active);
    // Columns, sorting and filter when the same table shows again.
    connect("Work.udl");
    load("Orders");
    QCoreApplication::processEvents();
    EXPECT_EQ(g->fieldOfColumn(h->logicalIndex(0))->FieldName, "notes");
    EXPECT_EQ(g->columnWidth(g->columnOfField("customer")), 177);
    ASSERT_EQ(g->SortList().size(), 1);
    EXPECT_TRUE(g->SortList()[0].desc);
    EXPECT_TRUE(main->qData.Filtered());
    ASSERT_EQ(main->qData.RecordCount(), 2);
    EXPECT_EQ(main->qData.FieldByName("customer")->AsString(), "c");
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
    ASSERT_EQ(g->ColumnGroups().Groups.size(), 1);
    EXPECT_EQ(g->ColumnGroups().Groups[0], group);
    EXPECT_TRUE(g->FieldGroupsActive());
    EXPECT_TRUE(g->isColumnHidden(g->columnOfField("id")));
    g->SetGroupCollapsed(0, false); // the member hidden by its group comes back
    EXPECT_FALSE(g->isColumnHidden(g->columnOfField("id")));
    const TkDBGridStyle restored = ReadGridStyle(*g);
    EXPECT_EQ(restored.ColorOddRow, QColor(255, 255, 0));
    EXPECT_EQ(restored.RowHeight, 31);
    EXPECT_FALSE(restored.ShowIndicator);
    EXPECT_FALSE(restored.GridLines);
    EXPECT_TRUE(g->OptionsEx2.Filters.TextBar);
    EXPECT_TRUE(g->OptionsEx2.Filters.FilterPanel);
}

TEST_F(MainWindowTest, SchemaPageRemovesErroneousKinds) {
    connect("Work.udl");
    load("Orders");
    main->grData->setColumnWidth(1, 123); // as the user left it
    main->pcAction->setCurrentIndex(1);
    EXPECT_EQ(main->ds1.DataSet(), &main->DataSet);
    main->lblDelSchemasAnchorClick();
    ASSERT_GT(main->cbSchema->count(), 0);
    ASSERT_LT(main->cbSchema->count(), kSchemaKindCount);
    for (int i = 0; i < main->cbSchema->count(); ++i) {
        const int kind = main->cbSchema->itemData(i).toInt();
        EXPECT_EQ(main->cbSchema->itemText(i), SchemaKindName(kind)); // each keeps its own number
        EXPECT_TRUE(main->OpenSchemaKind(kind)) << main->cbSchema->itemText(i).toStdString();
    }
    bool hasTables = false;
    for (int i = 0; i < main->cbSchema->count(); ++i)
        hasTables |= main->cbSchema->itemData(i).toInt() == siTables;
    EXPECT_TRUE(hasTables);
    EXPECT_EQ(main->lErr->text(), "Ok");
    // Schema rowsets are read-only: no record command and no cell editor.
    ASSERT_TRUE(main->OpenSchemaKind(siTables));
    ASSERT_GT(main->grData->model()->rowCount(), 0);
    main->ApplicationEvents1Idle();
    for (const char* name : {"aceEdit", "aceAdd", "aceDuplic", "aceDelete", "acePasteUpdate", "acePasteAdd"})
        EXPECT_FALSE(actions.action(name)->isEnabled()) << name;
    EXPECT_FALSE(main->grData->model()->flags(main->grData->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(main->OpenSchemaKind(siCubes));
    EXPECT_NE(main->lErr->text(), "Ok");
    main->pcAction->setCurrentIndex(0);
    EXPECT_EQ(main->ds1.DataSet(), &main->qData);
    EXPECT_EQ(main->grData->columnWidth(1), 123); // the data page's widths came back
}

TEST_F(MainWindowTest, FailingConnectLeavesTheWindowDisconnected) {
    connect("Work.udl");
    load("Orders");
    connect("Broken.udl");
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().kind, "error");
    EXPECT_TRUE(messages.shown.back().text.startsWith("Error description:"));
    EXPECT_FALSE(main->DBCon.Connected());
    EXPECT_FALSE(main->qData.Active());
    EXPECT_EQ(main->gbTop->title(), "DB: none");
    EXPECT_TRUE(tables().isEmpty());
    EXPECT_FALSE(main->gbTabs->isEnabled());
    connect("Nothing.udl");
    EXPECT_FALSE(main->DBCon.Connected());
    // No file chosen: a clear word, and a working connection stays.
    connect("Work.udl");
    messages.clear();
    connect("  ");
    EXPECT_EQ(messages.log(), QStringList("warning: Choose a connection file first."));
    EXPECT_TRUE(main->DBCon.Connected());
}

TEST_F(MainWindowTest, LastConnectionIsChosenAtStart) {
    main->cbUDL_nostore->setEditText("Work.udl");
    main.reset(); // the settings are written
    main = std::make_unique<TMain>(&actions);
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "Work.udl");
    main->btConnect->click();
    EXPECT_TRUE(main->DBCon.Connected());
}

TEST_F(MainWindowTest, CreatedConnectionIsSelected) {
    main->connectionFiles().OpenEditor = [](const QString& path) {
        WriteUdlFile(path, "Provider=SQLite;Data Source=../w.sqlite");
        return true;
    };
    messages.inputs.push_back(QString("Sales.txt"));
    main->lNewUDLClick(1);
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "Sales.udl");
    EXPECT_GE(main->cbUDL_nostore->findText("Sales.udl"), 0);
    main->btConnectClick();
    EXPECT_TRUE(main->DBCon.Connected());
    // Cancelling the editor of a new connection creates nothing and keeps the choice and the connection.
    main->connectionFiles().OpenEditor = [](const QString& path) { return QFileInfo::exists(path); };
    messages.inputs.push_back(QString("Empty"));
    main->lNewUDLClick(1);
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "Sales.udl");
    EXPECT_FALSE(QFileInfo::exists(dir.path("Connections/Empty.udl")));
    EXPECT_TRUE(main->DBCon.Connected());
}

// What is typed into a cell reaches the database whichever way the record is saved or left.
TEST_F(MainWindowTest, TypedCellIsSavedByEveryCommandThatLeavesTheRecord) {
    struct Case {
        const char* start; // how the cell opens: F2, the Edit button, or typing into it
        const char* leave; // what saves or leaves the record
    };
    const Case cases[] = {{"F2", "Save"},  {"Edit", "Ctrl+S"},      {"typing", "Save"}, {"typing", "load"},
                          {"F2", "title"}, {"Edit", "schema page"}, {"typing", "close"}};
    connect("Work.udl");
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " / " + c.leave);
        const QString value = QStringLiteral("typed%1").arg(++n);
        showWindow();
        load("Orders");
        clickCell(0, 1); // customer of id 1
        main->ApplicationEvents1Idle();
        if (QLatin1String(c.start) == "F2")
            key(Qt::Key_F2);
        else if (QLatin1String(c.start) == "Edit")
            clickCommand("aceEdit");
        type(value);
        ASSERT_TRUE(main->grData->isEditorOpen());
        const QString leave = QString::fromLatin1(c.leave);
        if (leave == "Save")
            clickCommand("aceSave");
        else if (leave == "Ctrl+S")
            key(Qt::Key_S, Qt::ControlModifier);
        else if (leave == "load")
            load("Order Details");
        else if (leave == "title")
            QTest::mouseClick(main->grData->horizontalHeader()->viewport(), Qt::LeftButton, {},
                              QPoint(main->grData->columnViewportPosition(0) + 5, 5));
        else if (leave == "schema page")
            main->pcAction->setCurrentIndex(1);
        else if (leave == "close")
            main->close();
        EXPECT_EQ(readBack("SELECT customer FROM Orders WHERE id = 1"), value);
        EXPECT_FALSE(main->grData->isEditorOpen());
        EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
        main->pcAction->setCurrentIndex(0);
    }
}

TEST_F(MainWindowTest, NewRecordFilledCellByCellIsSavedWithTheButton) {
    connect("Work.udl");
    showWindow();
    load("Orders");
    clickCell(0, 1);
    clickCommand("aceAdd"); // the first column of a new last row
    type("10");
    key(Qt::Key_Tab);
    type("Newcomer");
    clickCommand("aceSave");
    EXPECT_EQ(readBack("SELECT customer FROM Orders WHERE id = 10"), "Newcomer");
    EXPECT_EQ(main->qData.State(), dsBrowse);
    // Cancel drops what is typed; Esc on an untouched cell ends the edit.
    clickCell(0, 1);
    key(Qt::Key_F2);
    type("dropped");
    clickCommand("aceCancel");
    EXPECT_EQ(readBack("SELECT customer FROM Orders WHERE id = 1"), "b");
    EXPECT_EQ(main->qData.State(), dsBrowse);
    key(Qt::Key_F2);
    key(Qt::Key_Escape);
    EXPECT_EQ(main->qData.State(), dsBrowse);
    // Closing with a record opened but untouched asks nothing; with a typed new record it asks.
    clickCommand("aceEdit");
    main->close();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
    showWindow();
    clickCell(0, 1);
    clickCommand("aceAdd");
    type("11");
    messages.answers.push_back(MsgAnswer::Yes);
    main->close();
    EXPECT_EQ(messages.log().filter("question").size(), 1);
    EXPECT_EQ(readBack("SELECT COUNT(*) FROM Orders WHERE id = 11"), "1");
}

TEST_F(MainWindowTest, DatabaseFileOpensDirectlyFromTheCommandLineOrADrop) {
    const QString db =
        MakeSqliteDb(dir.path("elsewhere.sqlite"), "CREATE TABLE Birds (id INTEGER, name TEXT);");
    ASSERT_TRUE(main->OpenFile(db));
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "elsewhere.udl");
    EXPECT_TRUE(main->DBCon.Connected());
    EXPECT_EQ(tables(), QStringList({"Birds"}));
    // Dropped on the window: the work database through its own connection file.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.path("Connections/Work.udl"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(main.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(main.get(), &drop);
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "Work.udl");
    EXPECT_TRUE(tables().contains("Orders"));
    // Anything else is named in the message and changes nothing.
    WriteFile(dir.path("notes.txt"), "text");
    EXPECT_FALSE(main->OpenFile(dir.path("notes.txt")));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown.back().text.contains("notes.txt"));
    EXPECT_TRUE(main->DBCon.Connected());
    EXPECT_EQ(main->cbUDL_nostore->currentText(), "Work.udl");
}

// The info line and the status line follow the rows: inserts, deletes, filters, selections.
TEST_F(MainWindowTest, InfoAndStatusLinesFollowTheRows) {
    connect("Work.udl");
    load("Orders");
    auto status = [&] {
        main->ApplicationEvents1Idle();
        return main->lStatus->text();
    };
    EXPECT_TRUE(
        status().startsWith("Records: 3 in view / 3 loaded / 3 total    Selected: 0    Loading took "))
        << status().toStdString();
    main->qData.Append();
    main->qData.FieldByName("id")->setAsString("7");
    main->qData.Post();
    EXPECT_EQ(info(), "Loaded 4 records from 4");
    main->qData.First();
    main->qData.Delete();
    main->qData.Delete();
    EXPECT_EQ(info(), "Loaded 2 records from 2");
    EXPECT_TRUE(status().startsWith("Records: 2 in view / 2 loaded / 2 total")) << status().toStdString();
    main->qData.setFilter("id = 7");
    main->qData.setFiltered(true);
    main->grData->SelectAll();
    EXPECT_TRUE(status().startsWith("Records: 1 in view / 2 loaded / 2 total    Selected: 1    Filter on"))
        << status().toStdString();
    // A loaded part of a larger table: the total is the table's.
    load("Order Details");
    EXPECT_TRUE(status().startsWith("Records: 1000 in view / 1000 loaded / 2500 total"))
        << status().toStdString();
    main->btDisconClick();
    EXPECT_EQ(status(), "No data loaded");
}

// The grid's titles and bars offer what works: the title sorts and its funnel opens the column's value
// list, live aggregates in the title pop-up, every toolbar button on screen, the column widths on a
// button of their own.
TEST_F(MainWindowTest, TitlesAndBarsOfferOnlyWorkingCommands) {
    connect("Work.udl");
    showWindow();
    load("Orders");
    TkDBGrid_MS* grid = main->grData;
    QHeaderView* header = grid->horizontalHeader();
    const int left = header->sectionViewportPosition(1) + 8;
    const int right = header->sectionViewportPosition(1) + header->sectionSize(1) - 8;
    EXPECT_TRUE(grid->FunnelShown());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(left, header->height() / 2));
    EXPECT_EQ(main->qData.Sort(), "customer"); // the title sorts

    // The funnel opens the modal value list; ticking one value filters the rows and marks the funnel.
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TkDBGridFilterForm*>(QApplication::activeModalWidget());
        if (!form) return;
        for (int i = 0; i < form->lbValues->count(); ++i)
            listed << form->lbValues->item(i)->text();
        form->lbValues->item(0)->setCheckState(Qt::Unchecked);
        form->setTicked(2, true); // c
        QTest::mouseClick(form->btOk, Qt::LeftButton);
    });
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(right, header->height() / 2));
    EXPECT_EQ(listed, QStringList({"(select all)", "a", "b", "c"}));
    EXPECT_EQ(main->qData.Sort(), "customer"); // the funnel does not sort
    EXPECT_TRUE(main->qData.Filtered());
    EXPECT_EQ(main->qData.RecordCount(), 1);
    EXPECT_EQ(grid->FilteredFieldNames, "customer;");
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
    // The title pop-up: the caption, then the window's lines with their results.
    const QStringList popup = grid->TitlePopupTexts(1);
    ASSERT_EQ(popup.size(), 10);
    EXPECT_EQ(popup.at(1), "-");
    EXPECT_EQ(popup.at(2), "Suma = "); // a text column has no sum
    EXPECT_EQ(popup.at(6), "-");
    EXPECT_EQ(popup.at(9), QStringLiteral("Počet celkem = %1").arg(main->qData.RecordCount()));

    // At the window's first size every toolbar command is on screen, none in the overflow.
    for (QAction* a : main->toolBar->actions())
        if (!a->isSeparator()) {
            QWidget* w = main->toolBar->widgetForAction(a);
            ASSERT_NE(w, nullptr);
            EXPECT_TRUE(w->isVisible()) << a->objectName().toStdString();
        }
    auto* widths = main->toolBar->findChild<QToolButton*>("btColumnWidth");
    ASSERT_NE(widths, nullptr);
    EXPECT_TRUE(widths->isEnabled());
    EXPECT_TRUE(widths->isVisible());
    EXPECT_EQ(widths->menu(), actions.pmColumnWidth);
    main->ApplicationEvents1Idle();
    actions.action("accWidthAuto")->trigger();
    EXPECT_EQ(grid->ColumnWidth(), cwAutoWidth);
}

// A table typed into the combo loads after the pause; leaving the combo does not load it again (that
// reload ran inside the click that moved the focus and swallowed the click).
TEST_F(MainWindowTest, TypedTableLoadsOnceAndTheFirstClickCounts) {
    connect("Work.udl");
    showWindow();
    main->cbTables->lineEdit()->setFocus();
    type("Orders");
    QTest::qWait(800);
    ASSERT_TRUE(main->qData.Active());
    ASSERT_TRUE(main->grData->ChangeSort({"customer"}, false));
    clickCell(1, 1); // the focus leaves the combo
    EXPECT_EQ(main->qData.Sort(), "customer");
    EXPECT_EQ(main->qData.RecNo(), 2);
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
    // A name typed and opened at once is loaded once: the typing pause does not load it again.
    main->cbTables->setEditText("Order Details");
    main->btOpenClick();
    ASSERT_TRUE(main->grData->ChangeSort({"qty"}, false));
    QTest::qWait(800);
    EXPECT_EQ(main->qData.Sort(), "qty");
}

// Every command of the grid's command set on the main window with a loaded table: each is enabled in
// a state in which its rules enable it, and a command that opens a window opens one.
TEST_F(MainWindowTest, EveryGridCommandWorksInItsState) {
    enum State { Browse, Sorted, Filtered, Editing };
    struct Case {
        const char* name;
        State state;
        const char* window; // class of the window it opens (nullptr: none)
    };
    // aceView, acoBatchEdit, accDefaultGrid and acoOtherAction are the application's to enable; the
    // main window enables none of them. Its grid hides acoClose.
    const Case cases[] = {
        {"acoCopyCell", Browse, nullptr},
        {"aceEdit", Browse, nullptr},
        {"aceAdd", Browse, nullptr},
        {"aceDuplic", Browse, nullptr},
        {"aceDelete", Browse, nullptr},
        {"aceSave", Editing, nullptr},
        {"aceSaveAdd", Editing, nullptr},
        {"aceCancel", Editing, nullptr},
        {"acoFind", Browse, "TkDBFindForm"},
        {"acfFilterSel", Browse, nullptr},
        {"acfFilterSelAnd", Browse, nullptr},
        {"acfFilterSelOr", Browse, nullptr},
        {"acfFilterDlg", Browse, "TkDBGridFilterForm"},
        {"acfFilterForm", Browse, "TkDBFilterForm"},
        {"acfFilter", Filtered, nullptr},
        {"accColumns", Browse, "TkDBFieldsForm"},
        {"acsSort1", Browse, nullptr},
        {"acsSort2", Browse, nullptr},
        {"acsSort3", Browse, nullptr},
        {"acsSortDlg", Browse, "TkDBSortForm2"},
        {"acoExport", Browse, "TkDBExportForm"},
        {"acoPrint", Browse, "TkDBPrintForm"},
        {"acoPrintDirect", Browse, "TkDBPrintDirectForm"},
        {"acoRefresh", Browse, nullptr},
        {"accWidthAuto", Browse, nullptr},
        {"accWidthSame", Browse, nullptr},
        {"accWidthData", Browse, nullptr},
        {"accWidthDefault", Browse, nullptr},
        {"acsSortNone", Sorted, nullptr},
        {"acfFilterSave", Filtered, nullptr},
        {"acfFilterLoad", Browse, "TkDBFilterSaverForm"},
        {"aceAutoEdit", Browse, nullptr},
        {"acoImport", Browse, nullptr},
        {"acoProperties", Browse, "TkDBGridPropsForm"},
        {"acoColor", Browse, "TkDBGridCellParamsForm"},
        {"acoCopyRow", Browse, nullptr},
        {"acoCopyCol", Browse, nullptr},
        {"acoCopyAll", Browse, nullptr},
        {"acoCopyIncTitle", Browse, nullptr},
        {"acoCopyIncHidden", Browse, nullptr},
        {"acePasteUpdate", Browse, nullptr},
        {"acePasteAdd", Browse, nullptr},
        {"accColumnGroupping", Browse, nullptr},
        {"accColumnGroups", Browse, "TkDBFieldsGroupForm"},
    };
    const QStringList appOwned{"aceView", "acoBatchEdit", "accDefaultGrid", "acoOtherAction", "acoClose"};
    EXPECT_EQ(actions.names().size(), 49);
    for (const QString& name : actions.names()) {
        bool listed = appOwned.contains(name);
        for (const Case& c : cases)
            listed = listed || name == QLatin1String(c.name);
        EXPECT_TRUE(listed) << name.toStdString();
    }
    connect("Work.udl");
    showWindow();
    auto enter = [&](State s) {
        load("Orders");
        clickCell(0, 1);
        main->ApplicationEvents1Idle();
        if (s == Sorted) actions.action("acsSort1")->trigger();
        if (s == Filtered) actions.action("acfFilterSel")->trigger();
        if (s == Editing) actions.action("aceEdit")->trigger();
        main->ApplicationEvents1Idle();
    };
    // Windows that open are closed again; what opened is noted.
    QStringList opened;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            opened << QString::fromLatin1(w->metaObject()->className());
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            else
                w->close();
        }
        if (QWidget* p = QApplication::activePopupWidget()) {
            opened << QString::fromLatin1(p->metaObject()->className());
            p->close();
        }
    });
    closer.start(20);
    QStringList disabled, silent;
    for (const Case& c : cases) {
        enter(c.state);
        QAction* a = actions.action(QString::fromLatin1(c.name));
        if (!a->isEnabled()) {
            disabled << c.name;
            continue;
        }
        if (!c.window) continue;
        opened.clear();
        a->trigger();
        QTest::qWait(30);
        if (!opened.contains(QString::fromLatin1(c.window)))
            silent << QString::fromLatin1(c.name) + " (" + opened.join(',') + ")";
    }
    EXPECT_EQ(disabled, QStringList());
    EXPECT_EQ(silent, QStringList());
}
