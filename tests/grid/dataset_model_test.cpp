// The grid's model over a dataset: cells, titles, edits through the dataset, row notifications.
#include "connection.h"
#include "dataset_model.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(dir.path("m.sqlite"),
                     "CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(20) NOT NULL, memo TEXT, "
                     "price MONEY, hidden INTEGER);"
                     "INSERT INTO t VALUES (1, 'one', 'a' || char(13,10) || 'b', 1.5, 7), "
                     "(2, 'two', NULL, NULL, 8), (3, 'three', 'c', 10, 9);");
        con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("m.sqlite");
        con.Open();
        q.Connection = &con;
        q.SQL = "SELECT * FROM t ORDER BY id";
        q.Open();
        q.FieldByName("hidden")->Visible = false;
        q.FieldByName("price")->setDisplayLabel("Unit Price");
        model.setDataSet(&q);
    }
    QString cell(int row, int col) { return model.data(model.index(row, col), Qt::DisplayRole).toString(); }

    TempDir dir;
    TADOConnection con;
    TADOQuery q;
    DataSetModel model;
};

TEST_F(ModelTest, CellsAndTitles) {
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 4); // the invisible field is not a column
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "Unit Price");
    EXPECT_EQ(cell(0, 2), "a | b"); // a memo shows on one line
    EXPECT_EQ(cell(1, 3), "");
    EXPECT_EQ(cell(2, 3), "10");
    EXPECT_TRUE(model.data(model.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    q.setSort("name DESC");
    EXPECT_EQ(cell(0, 1), "two");
    q.setFilter("id > 1");
    q.setFiltered(true);
    EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(ModelTest, EditsGoThroughTheDataset) {
    ScopedScriptedMessages messages;
    EXPECT_TRUE(model.setData(model.index(1, 1), "TWO", Qt::EditRole));
    EXPECT_EQ(cell(1, 1), "TWO");
    EXPECT_EQ(q.State(), dsBrowse);
    // A refused value shows the exception box and leaves the cell as it was.
    EXPECT_FALSE(model.setData(model.index(2, 3), "not a number", Qt::EditRole));
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().heading, "Error: Cannot save record.");
    EXPECT_EQ(cell(2, 3), "10");
    EXPECT_EQ(q.State(), dsBrowse);
}

TEST_F(ModelTest, RowNotificationsReachTheView) {
    QTableView view;
    view.setModel(&model);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    q.setRecNo(2);
    q.Delete();
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(model.rowCount(), 2);
    q.Append();
    q.FieldByName("name")->setAsString("four");
    q.Post();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(cell(2, 1), "four");
    q.Close();
    EXPECT_EQ(model.rowCount(), 0);
}
