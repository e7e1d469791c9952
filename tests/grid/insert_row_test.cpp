// A record being inserted is a row of the grid: shown where it will go, filled cell by cell, posted
// when the cursor leaves it, removed when cancelled, and kept when its post is refused.
#include "connection.h"
#include "db_grid.h"
#include "grid_host.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <gtest/gtest.h>

class InsertRowTest : public ::testing::Test, public GridOnTable<TkDBGrid> {
protected:
    void SetUp() override {
        openTable("CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(20) NOT NULL);"
                  "INSERT INTO t VALUES (1, 'one'), (2, 'two'), (3, 'three');",
                  "SELECT * FROM t ORDER BY id");
    }
    DataSetModel& model() { return *grid.dataModel(); }
    QString cell(int row, int col) {
        return model().data(model().index(row, col), Qt::DisplayRole).toString();
    }
    int rowsInDatabase() {
        TADOQuery c(&con);
        c.SQL = "SELECT COUNT(*) FROM t";
        c.Open();
        return c.Fields(0)->AsVariant().toInt();
    }
};

TEST_F(InsertRowTest, InsertedInTheMiddleIsFilledAndPostedOnLeaving) {
    grid.setCurrentIndex(model().index(1, 1));
    q.Insert();
    ASSERT_EQ(model().rowCount(), 4);
    EXPECT_EQ(model().insertRow(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 1); // the cursor is on the new row
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(cell(2, 1), "two"); // the rows below moved down
    EXPECT_TRUE(model().flags(model().index(1, 1)) & Qt::ItemIsEditable);
    ASSERT_TRUE(model().setData(model().index(1, 1), "new", Qt::EditRole));
    EXPECT_EQ(cell(1, 1), "new");
    EXPECT_EQ(q.State(), dsInsert); // a cell does not post the whole record
    EXPECT_EQ(rowsInDatabase(), 3);

    grid.setCurrentIndex(model().index(3, 1)); // leaving the row posts it
    EXPECT_EQ(q.State(), dsBrowse);
    EXPECT_EQ(model().insertRow(), -1);
    EXPECT_EQ(model().rowCount(), 4);
    EXPECT_EQ(rowsInDatabase(), 4);
    EXPECT_EQ(q.FieldByName("name")->AsString(), "three"); // the row the user moved to
    EXPECT_EQ(cell(1, 1), "new");
}

TEST_F(InsertRowTest, CancelRemovesTheRowAndARefusedPostKeepsIt) {
    ScopedScriptedMessages messages;
    q.Append();
    EXPECT_EQ(model().rowCount(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 3);
    q.Cancel();
    EXPECT_EQ(model().rowCount(), 3);
    EXPECT_EQ(model().insertRow(), -1);

    q.Append(); // no name: the database refuses it
    grid.setCurrentIndex(model().index(0, 1));
    EXPECT_FALSE(messages.shown.empty());
    EXPECT_EQ(q.State(), dsInsert);
    EXPECT_EQ(grid.currentIndex().row(), 3); // back on the record that still needs a name
    model().setData(model().index(3, 1), "four", Qt::EditRole);
    q.Post();
    EXPECT_EQ(model().rowCount(), 4);
    EXPECT_EQ(cell(3, 1), "four");
    EXPECT_EQ(rowsInDatabase(), 4);
}
