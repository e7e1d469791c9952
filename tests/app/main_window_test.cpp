// The main window headless: connect, table list, loading, sorting, schema page, connection failures.
#include "db_action.h"
#include "db_grid_ms.h"
#include "html_label.h"
#include "main_window.h"
#include "program_folder.h"
#include "schema_rowsets.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "udl_file.h"
#include "work_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
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
    // Refreshing re-runs the same statement and keeps the grid's order.
    const QString sql = main->qData.SQL;
    main->grData->RefreshData();
    EXPECT_EQ(main->qData.SQL, sql);
    EXPECT_EQ(main->qData.Sort(), "customer");
    EXPECT_EQ(main->qData.RecNo(), 1);
    EXPECT_TRUE(main->grData->ChangeSort({}, false));
    EXPECT_EQ(main->qData.Sort(), "");
    main->grData->selectAll(); // the indicator's title cell
    EXPECT_EQ(messages.shown.back().text, "Selected 3 records.");
    EXPECT_EQ(main->grData->GetSelectedRecCount(), 3);
}

TEST_F(MainWindowTest, SchemaPageRemovesErroneousKinds) {
    connect("Work.udl");
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
    EXPECT_FALSE(main->OpenSchemaKind(siCubes));
    EXPECT_NE(main->lErr->text(), "Ok");
    main->pcAction->setCurrentIndex(0);
    EXPECT_EQ(main->ds1.DataSet(), &main->qData);
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
}
