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
    w.mSQL->setPlainText("select\n* from Orders where id > 1");
    w.btExecSqlClick();
    EXPECT_EQ(main->cbTables->currentText(), QString());
    EXPECT_TRUE(main->qData.Active());
    EXPECT_EQ(main->grData->model()->rowCount(), 2);
    EXPECT_FALSE(main->btGenScript->isEnabled());

    w.mSQL->setPlainText("UPDATE Orders SET customer = 'z'\nGO\nDELETE FROM Orders WHERE id = 1");
    w.btExecSqlClick();
    EXPECT_FALSE(main->qData.Active());
    EXPECT_EQ(w.lblRunInfo->CaptionStrings().join('\n'), "Ok<BR>4 records");
    EXPECT_TRUE(messages.shown.empty());
}
