// The SQL windows on the main window: its data query, its table combo and its grid.
#include "db_action.h"
#include "db_grid_ms.h"
#include "html_label.h"
#include "main_window.h"
#include "program_folder.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "tool_windows.h"
#include "udl_file.h"
#include "work_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

class ToolWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.makeWorkDatabase("CREATE TABLE Orders (id INTEGER PRIMARY KEY, customer VARCHAR(20));"
                             "INSERT INTO Orders VALUES (1, 'b'), (2, 'c'), (3, 'a');");
        main = std::make_unique<TMain>(&actions);
        host = std::make_unique<TMainSqlHost>(main.get());
        main->cbUDL_nostore->setEditText("Work.udl");
        main->btConnectClick();
        main->cbTables->setEditText("Orders");
        main->btOpenClick();
    }
    void TearDown() override {
        host.reset();
        main.reset();
    }
    WorkFolder dir;
    ScopedScriptedMessages messages;
    TkDBAction actions;
    std::unique_ptr<TMain> main;
    std::unique_ptr<TMainSqlHost> host;
};

TEST_F(ToolWindowsTest, ScriptCoversTheLoadedRowsOfTheNamedTable) {
    TScript w(host.get(), main.get());
    w.show();
    w.chCopy->setChecked(false);
    w.btGenClick();
    EXPECT_EQ(w.mSQL->toPlainText().count("INSERT INTO \"Orders\""), 3);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToolWindowsTest, AQueryOpensInTheMainGridAndUnnamesTheTable) {
    TDlgGenSQL w(host.get(), main.get());
    w.FormActivate();
    EXPECT_EQ(w.mTables, QStringList{"Orders"});
    main->qData.setFilter("id = 3");
    main->qData.setFiltered(true);
    main->grData->ChangeSort({"customer"}, false);
    w.mSQL->setPlainText("select\n* from Orders where id > 1");
    w.btExecSqlClick();
    EXPECT_EQ(main->cbTables->currentText(), QString());
    EXPECT_TRUE(main->qData.Active());
    EXPECT_EQ(main->grData->model()->rowCount(), 2);
    EXPECT_FALSE(main->btGenScript->isEnabled());
    // The info and status lines describe the query now, with the time it took.
    EXPECT_EQ(main->qData.Sort(), "");
    EXPECT_EQ(main->lInfo->PreparedText(), "Loaded 2 records from 2");
    EXPECT_TRUE(main->lStatus->text().startsWith("Records: 2 in view / 2 loaded / 2 total"))
        << main->lStatus->text().toStdString();
    EXPECT_TRUE(main->lStatus->text().contains("Query took ")) << main->lStatus->text().toStdString();

    w.mSQL->setPlainText("UPDATE Orders SET customer = 'z'\nGO\nDELETE FROM Orders WHERE id = 1");
    w.btExecSqlClick();
    EXPECT_FALSE(main->qData.Active());
    EXPECT_EQ(w.lblRunInfo->CaptionStrings().join('\n'), "Ok<BR>4 records");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToolWindowsTest, ScriptAndQuerySaveTheTypedCellFirst) {
    // A record in edit is saved before a window reads or replaces the rows.
    main->qData.setRecNo(1);
    main->qData.Edit();
    main->qData.FieldByName("customer")->setAsString("edited");
    TScript script(host.get(), main.get());
    script.show();
    script.chCopy->setChecked(false);
    script.btGenClick();
    EXPECT_TRUE(script.mSQL->toPlainText().contains("'edited'"));
    EXPECT_EQ(main->qData.State(), dsBrowse);
    main->qData.setRecNo(1); // the script leaves the last record current
    main->qData.Edit();
    main->qData.FieldByName("customer")->setAsString("again");
    TDlgGenSQL sql(host.get(), main.get());
    sql.mSQL->setPlainText("SELECT customer FROM Orders WHERE id = 1");
    sql.btExecSqlClick();
    EXPECT_EQ(main->qData.Fields(0)->AsString(), "again");
    EXPECT_TRUE(messages.shown.empty());
}
