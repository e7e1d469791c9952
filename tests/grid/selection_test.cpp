// Multi-record selection: bookmark list, clicks, ranges, select all with confirmation, deleting.
#include "bookmark_list.h"
#include "connection.h"
#include "db_grid_ms.h"
#include "grid_host.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

TEST(BookmarkList, SortedUniqueWithErrors) {
    TkBookmarkList l;
    EXPECT_TRUE(l.Set(5, true));
    EXPECT_TRUE(l.Set(2, true));
    EXPECT_FALSE(l.Set(5, true));
    l.AddSorted({9, 2, 7});
    EXPECT_EQ(l.items(), (std::vector<TBookmark>{2, 5, 7, 9}));
    bool found;
    EXPECT_EQ(l.Find(6, found), 2);
    EXPECT_FALSE(found);
    EXPECT_EQ(l.Find(7, found), 2);
    EXPECT_TRUE(found);
    l.RemoveSorted({2, 9});
    EXPECT_EQ(l.items(), (std::vector<TBookmark>{5, 7}));
    EXPECT_FALSE(l.Contains(9)); // the cache was cleared by the removal
    EXPECT_THROW(l.Items(2), std::exception);
    try {
        l.Items(3);
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }
    TDataSet closed;
    EXPECT_THROW(TkBookmarkList::CurrentBookmark(&closed), std::exception);
}

class SelectionTest : public ::testing::Test, public GridOnTable<TkDBGrid_MS> {
protected:
    void SetUp() override {
        grid.resize(600, 400);
        openTable("CREATE TABLE t (id INTEGER PRIMARY KEY, v INTEGER);"
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
                  "INSERT INTO t SELECT i, i % 10 FROM n;",
                  "SELECT * FROM t ORDER BY id");
        grid.show();
    }
    QPoint cell(int row, int col = 0) {
        grid.scrollTo(grid.model()->index(row, col));
        return grid.visualRect(grid.model()->index(row, col)).center();
    }
    void click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods, cell(row));
    }
    QList<int> selectedIds() {
        QList<int> ids;
        for (TBookmark bm : grid.SelectedRows().items())
            ids << q.valueOfRow(q.FieldByName("id"), uint32_t(bm)).toInt();
        return ids;
    }
    ScopedScriptedMessages messages;
};

TEST_F(SelectionTest, CtrlClicksThenDeleteRemovesExactlyThose) {
    click(1, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    click(2, Qt::ControlModifier);
    EXPECT_EQ(selectedIds(), QList<int>({2, 3, 5}));
    messages.answers.push_back(MsgAnswer::Yes);
    EXPECT_TRUE(grid.DeleteSelected());
    EXPECT_EQ(messages.log().filter("question").size(), 1);
    EXPECT_TRUE(messages.log().filter("question")[0].contains("Delete all selected records?"));
    EXPECT_EQ(grid.GetSelectedRecCount(), 0);
    EXPECT_EQ(q.RecordCount(), 2497);
    TADOQuery check(&con);
    check.SQL = "SELECT id FROM t WHERE id <= 6 ORDER BY id";
    check.Open();
    QList<int> left;
    for (check.First(); !check.Eof(); check.Next())
        left << check.Fields(0)->AsInteger();
    EXPECT_EQ(left, QList<int>({1, 4, 6}));
}

TEST_F(SelectionTest, EmptySelectionDeletesTheCurrentRecord) {
    q.setRecNo(3);
    messages.answers.push_back(MsgAnswer::Yes);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(messages.log().filter("question").value(0).contains("Delete selected record?"));
    EXPECT_EQ(q.RecordCount(), 2499);
    EXPECT_FALSE(q.Locate("id", 3));
    grid.DeleteOnlySelected = true;
    EXPECT_FALSE(grid.DeleteSelected());
    EXPECT_EQ(messages.shown.back().text, "No record selected.");
}

TEST_F(SelectionTest, ShiftRangesAndPlainClicks) {
    click(3, Qt::ControlModifier); // anchor at id 4
    click(6, Qt::ShiftModifier);
    EXPECT_EQ(selectedIds(), QList<int>({4, 5, 6, 7}));
    grid.DeSelectAll();
    click(6, Qt::ControlModifier);
    click(4, Qt::ShiftModifier); // upwards
    EXPECT_EQ(selectedIds(), QList<int>({5, 6, 7}));
    click(0); // a plain click clears
    EXPECT_EQ(grid.GetSelectedRecCount(), 0);
    // A click on the indicator toggles only that record.
    QHeaderView* ind = grid.verticalHeader();
    QTest::mouseClick(ind->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(ind->width() / 2, ind->sectionViewportPosition(2) + 2));
    EXPECT_EQ(selectedIds(), QList<int>({3}));
    EXPECT_TRUE(grid.IsActiveSelected());
}

TEST_F(SelectionTest, SelectAllAsksEveryThousand) {
    messages.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    grid.SelectAll();
    EXPECT_EQ(grid.GetSelectedRecCount(), 2500);
    QStringList qs = messages.log().filter("question");
    ASSERT_EQ(qs.size(), 2);
    EXPECT_TRUE(qs[0].contains("There was already selected 1000 records, continue?"));
    EXPECT_TRUE(qs[1].contains("There was already selected 2000 records, continue?"));
    grid.DeSelectAll();
    messages.clear();
    messages.answers = {MsgAnswer::No};
    grid.SelectAll();
    EXPECT_EQ(grid.GetSelectedRecCount(), 1000);
    grid.SelectingConfirmRecCount = 0;
    grid.ReverseSelection();
    EXPECT_EQ(grid.GetSelectedRecCount(), 1500);
}

TEST_F(SelectionTest, FilteringDropsHiddenRecordsAndReopeningClears) {
    int changes = 0;
    grid.OnSelectionChanged = [&](TkDBGrid_MS*) { ++changes; };
    click(0, Qt::ControlModifier); // id 1, v 1
    click(1, Qt::ControlModifier); // id 2, v 2
    q.setFilter("v = 1");
    q.setFiltered(true);
    EXPECT_EQ(selectedIds(), QList<int>({1}));
    EXPECT_EQ(changes, 3);
    q.Close();
    q.setFiltered(false);
    q.Open();
    EXPECT_EQ(grid.GetSelectedRecCount(), 0);
}

TEST_F(SelectionTest, CurrentRowFollowsTheDataSetBothWays) {
    click(5);
    EXPECT_EQ(q.RecNo(), 6);
    q.setRecNo(10);
    EXPECT_EQ(grid.currentIndex().row(), 9);
}
