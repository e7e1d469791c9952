// Column width modes: the arithmetic, and the grid applying them to a real dataset.
#include "column_widths.h"
#include "connection.h"
#include "db_grid.h"
#include "grid_host.h"
#include "query.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <numeric>

TEST(ColumnWidths, AutoWidthFillsAndKeepsTheMinimum) {
    // Widening grows every column in proportion and fills the room.
    std::vector<int> w{100, 50, 50};
    AutoWidths(w, 400, 0, 40);
    EXPECT_EQ(w, (std::vector<int>{200, 100, 100}));
    // Narrowing below 40 keeps 40 and shares the rest by the widths above 40.
    w = {200, 100, 40};
    AutoWidths(w, 180, 0, 40);
    EXPECT_EQ(w, (std::vector<int>{40 + int(60.0 / 220 * 160), 40 + int(60.0 / 220 * 60), 40}));
    for (int x : w)
        EXPECT_GE(x, 40);
    // No room at all: everything at the minimum.
    w = {60, 60};
    AutoWidths(w, 50, 0, 40);
    EXPECT_EQ(w, (std::vector<int>{40, 40}));
}

TEST(ColumnWidths, SameTitleAndDataRules) {
    EXPECT_EQ(SameWidth(100, 0, 5, 40), 40); // less than 40 per column
    EXPECT_EQ(SameWidth(400, 100, 3, 40), 100);
    EXPECT_EQ(ScalePixels(40, 1.25), 50);
    EXPECT_EQ(ScalePixels(5, 1.5), 8);                                    // 7.5 to the even neighbour
    EXPECT_EQ(ScalePixels(3, 1.5), 4);                                    // 4.5 to the even neighbour
    EXPECT_EQ(DataSizedWidth(0, 1000, 3, false, 20, 40, 200, 20), 60);    // empty column: 8 -> 40, + 20
    EXPECT_EQ(DataSizedWidth(900, 600, 6, false, 20, 40, 200, 0), 150);   // a quarter of the grid
    EXPECT_EQ(DataSizedWidth(900, 2000, 6, false, 20, 40, 200, 20), 220); // the maximum before the extra
    EXPECT_EQ(DataSizedWidth(50, 2000, 3, true, 20, 40, 200, 0), 70);     // picker room
    TitleMeasure m;
    m.textWidth = 10;
    EXPECT_EQ(TitleWidth(m, 40, 200), 40);
    m.textWidth = 300;
    EXPECT_EQ(TitleWidth(m, 40, 200), 200);
    m.textWidth = 96;
    m.glyphRoom = 16;
    EXPECT_EQ(TitleWidth(m, 40, 200), 116);
    m = {};
    m.textWidth = 150; // three words over two lines
    m.wordWidths = {40, 60, 40};
    m.titleLines = 2;
    EXPECT_EQ(TitleWidth(m, 40, 200), int(std::nearbyint(1.2 * 154 / 2)));
}

class GridWidthTest : public ::testing::Test, public GridOnTable<TkDBGrid> {
protected:
    void SetUp() override {
        grid.resize(800, 300);
        openTable(
            "CREATE TABLE t (a INTEGER, b VARCHAR(80), empty VARCHAR(10), c INTEGER, d INTEGER, e INTEGER);"
            "INSERT INTO t VALUES (1, 'a rather long text value that is wide', NULL, 1, 2, 3), "
            "(2, 'x', '', 4, 5, 6);",
            "SELECT * FROM t");
        grid.show();
    }
};

TEST_F(GridWidthTest, DataWidthAndHideEmpty) {
    grid.SetColumnWidth(cwDataWidth, 20);
    EXPECT_EQ(grid.columnWidth(2), 60); // all empty: 8 -> 40, + 20
    for (int c = 0; c < 6; ++c)
        EXPECT_LE(grid.columnWidth(c), std::min(800 / 4, 200) + 20);
    // A number past the rows read still fits: numbers are sized by their field's display width.
    con.Execute("INSERT INTO t VALUES (3, 'y', NULL, 1234567890, 0, 0)");
    q.Close();
    q.Open();
    grid.OptionsEx2.Appearance.ColumnWidthMaxRecordsSearch = 1;
    grid.SetColumnWidth(cwDataWidth, 0);
    EXPECT_GE(grid.columnWidth(3), grid.fontMetrics().horizontalAdvance("1234567890") + 8);
    const int bWidth = grid.columnWidth(1);
    grid.SetColumnWidth(cwHideEmptyCol);
    EXPECT_TRUE(grid.isColumnHidden(2));
    EXPECT_FALSE(grid.isColumnHidden(1));
    EXPECT_EQ(grid.columnWidth(1), bWidth);
}

TEST_F(GridWidthTest, ModesInForce) {
    grid.setColumnWidth(cwDataLabelWidth);
    EXPECT_EQ(grid.ColumnWidth(), cwNone);
    grid.setColumnWidth(cwAutoWidth);
    EXPECT_EQ(grid.ColumnWidth(), cwAutoWidth);
    auto total = [this] {
        int sum = 0;
        for (int c = 0; c < 6; ++c)
            sum += grid.columnWidth(c);
        return sum;
    };
    const int before = total();
    grid.resize(1200, 300);
    EXPECT_GT(total(), before + 300); // widening refits every column
    grid.resize(200, 300);
    for (int c = 0; c < 6; ++c)
        EXPECT_GE(grid.columnWidth(c), 40);
    grid.FieldsFixedColumnWidth = {"a"};
    grid.QTableView::setColumnWidth(0, 77);
    grid.setColumnWidth(cwSameWidth);
    EXPECT_EQ(grid.columnWidth(0), 77);
}
