// Column aggregates: rounding, the token texts and value formats, the pass over a real query with a
// multi-selection, the title pop-up and the footer row.
#include "connection.h"
#include "db_grid_ms.h"
#include "grid_host.h"
#include "query.h"
#include "scripted_messages.h"
#include "summary.h"
#include "test_util.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

TEST(Summary, RoundSignificantKeepsSixDigits) {
    const struct {
        double in, out;
    } cases[] = {
        {0, 0},
        {1234.56789, 1234.57},
        {0.000123456789, 0.000123457},
        {2.0 / 3.0, 0.666667},
        {-2.0 / 3.0, -0.666667},
        {123456.7, 123457},
        {100000.5, 100000}, // a half goes to the even multiple
        {100001.5, 100002},
        {12.5, 12.5},
        {1e-20, 0}, // at most 15 decimals
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(RoundSignificant(c.in), c.out) << c.in;
}

TEST(Summary, TokenTextsAndValueFormats) {
    QLocale::setDefault(QLocale::c());
    TField num(nullptr, 0, "n", ftInteger, 0), money(nullptr, 0, "m", ftFloat, 0),
        flag(nullptr, 0, "b", ftBoolean, 0), day(nullptr, 0, "d", ftDate, 0),
        text(nullptr, 0, "t", ftString, 20);
    money.DisplayFormat = "#,##0.00";
    day.DisplayFormat = "dd.mm.yyyy";
    TSummaryResults r;
    r.Sum = 4, r.Min = 1, r.Max = 3, r.Avg = 0.666667, r.CountValues = 2, r.CountEmpty = 1;
    r.SelSum = 1234.5, r.SelMin = 0, r.SelMax = 3, r.SelAvg = 2, r.SelCountValues = 1, r.SelCountEmpty = 2;
    r.DistinctValueCount = 30;
    const double jan2 = 45293; // 2024-01-02 as days since 1899-12-30
    const struct {
        TField* field;
        const char* text;
        const char* expected;
    } cases[] = {
        {&num, "Sum = %sum, min %MIN, max %Max", "Sum = 4, min 1, max 3"},
        {&num, "%avg", "0.666667"}, // an integer column's average keeps its decimals
        {&num, "%CountVal/%CountNull/%CountAll", "2/1/3"},
        {&num, "%SelSum %SelMin %SelMax %SelAvg", "1234.5 0 3 2"},
        {&num, "%SelCountVal/%SelCountNull/%SelCountAll", "1/2/3"},
        {&num, "%DistinctValues in row %RecNo", "30 in row 7"},
        {&num, "%sum and %sum", "4 and 4"},
        {&num, "%sumx % %unknown", "4x % %unknown"}, // a token is replaced wherever it occurs
        {&money, "%SelSum|%avg", "1,234.50|0.67"},
        {&flag, "%sum %avg %SelMin", "4 0.667 0"}, // booleans: sum and zeros whole, others "0.000"
        {&text, "[%sum][%min][%avg] %CountAll", "[][][] 3"},
    };
    for (const auto& c : cases) {
        r.Field = c.field;
        EXPECT_EQ(ReplaceSummaryTokens(c.text, r, 7), c.expected) << c.text;
    }
    // Dates: minimum and the rest in the display format, no sum; a time of day shows when there is one.
    r.Field = &day;
    r.Min = jan2, r.Avg = jan2 + 0.5;
    EXPECT_EQ(ReplaceSummaryTokens("[%sum] %min", r, 0), "[] 02.01.2024");
    EXPECT_EQ(FormatSummaryValue(&day, jan2 + 0.5, SummaryValue::Other), "02.01.2024");
    // The inserted value texts, and the owner's hook over each of them.
    QStringList values;
    r.Field = &num;
    const QString out = ReplaceSummaryTokens("%min..%max", r, 0, &values,
                                             [](const TField*, const QString& token, QString& text) {
                                                 if (token == "MAX") text = "top";
                                             });
    EXPECT_EQ(out, "45293..top");
    EXPECT_EQ(values, QStringList({"45293", "top"}));
    QLocale::setDefault(QLocale::system());
}

class SummaryGridTest : public ::testing::Test, public GridOnTable<TkDBGrid_MS> {
protected:
    void SetUp() override {
        grid.resize(700, 300);
        // Ids 1-6; rows 1-3 as the cases of the column kinds, 4-6 fill in.
        openTable(
            "CREATE TABLE t (id INTEGER PRIMARY KEY, n INTEGER, x FLOAT, b BOOLEAN, d DATE, s TEXT, z TEXT);"
            "INSERT INTO t VALUES (1, 1, 0.5, 1, '2024-01-01', 'a', NULL),"
            " (2, NULL, NULL, 1, NULL, 'B', NULL), (3, 3, 2.25, 0, '2024-01-03', 'a', NULL),"
            " (4, 10, -1, NULL, '2024-01-05', NULL, NULL), (5, 2, 4, 0, '2024-01-02', 'b', NULL),"
            " (6, 4, 1, 1, '2023-12-31', 'a', NULL);",
            "SELECT * FROM t ORDER BY id");
        grid.show();
    }
    const TSummaryResults& of(const char* field) {
        const TSummaryResults* r = grid.SummaryOf(field);
        EXPECT_NE(r, nullptr) << field;
        return *r;
    }
    void select(std::initializer_list<int> ids) {
        for (int id : ids) {
            ASSERT_TRUE(q.Locate("id", id));
            grid.SelectCurrent(true);
        }
    }
    ScopedScriptedMessages messages;
};

TEST_F(SummaryGridTest, OnePassOverNullsBooleansDatesAndTheSelection) {
    select({1, 2, 4});
    grid.RecalculateSummaryResults();
    const TSummaryResults& n = of("n");
    EXPECT_EQ(n.Sum, 20);
    EXPECT_EQ(n.Min, 1);
    EXPECT_EQ(n.Max, 10);
    EXPECT_EQ(n.Avg, 4);
    EXPECT_EQ(n.CountValues, 5);
    EXPECT_EQ(n.CountEmpty, 1);
    EXPECT_EQ(n.SelSum, 11); // ids 1, 2 (NULL), 4
    EXPECT_EQ(n.SelMin, 1);
    EXPECT_EQ(n.SelMax, 10);
    EXPECT_EQ(n.SelAvg, 5.5);
    EXPECT_EQ(n.SelCountValues, 2);
    EXPECT_EQ(n.SelCountEmpty, 1);
    const TSummaryResults& x = of("x");
    EXPECT_EQ(x.Min, -1);
    EXPECT_EQ(x.Max, 4);
    EXPECT_DOUBLE_EQ(x.Sum, 6.75);
    EXPECT_EQ(x.Avg, 1.35);
    const TSummaryResults& b = of("b");
    EXPECT_EQ(b.Sum, 3); // true values
    EXPECT_EQ(b.CountValues, 5);
    EXPECT_EQ(b.Avg, 0.6);
    EXPECT_EQ(b.SelSum, 2);
    const TSummaryResults& d = of("d");
    EXPECT_EQ(d.Min, 45291); // 2023-12-31
    EXPECT_EQ(d.Max, 45296); // 2024-01-05
    EXPECT_EQ(d.CountEmpty, 1);
    const TSummaryResults& s = of("s");
    EXPECT_EQ(s.Sum, 0);
    EXPECT_EQ(s.CountValues, 5);
    EXPECT_EQ(s.CountEmpty, 1);
    const TSummaryResults& z = of("z"); // only NULLs: zeros, no division
    EXPECT_EQ(z.CountEmpty, 6);
    EXPECT_EQ(z.Avg, 0);
    EXPECT_EQ(z.DistinctValueCount, 0); // not counted unless a pop-up line asks

    // Distinct texts only when a line asks: letter case tells texts apart, most frequent first.
    grid.TitlePopupDistinctValues = true;
    grid.RecalculateSummaryResults();
    EXPECT_EQ(of("s").DistinctValueCount, 3);
    EXPECT_EQ(of("s").DistinctValues, (std::vector<TDistinctValues>{{"a", 3}, {"B", 1}, {"b", 1}}));
    EXPECT_EQ(of("b").DistinctValues, (std::vector<TDistinctValues>{{"True", 3}, {"False", 2}}));

    // The filter decides which rows count.
    q.setFilter("n > 2");
    q.setFiltered(true);
    grid.RecalculateSummaryResults();
    EXPECT_EQ(of("n").Sum, 17);
    EXPECT_EQ(of("n").CountEmpty, 0);
    EXPECT_EQ(of("n").SelSum, 10); // id 4 is the only selected row left
}

TEST_F(SummaryGridTest, DistinctValuesKeepTheTwentyFiveMostFrequent) {
    MakeSqliteDb(dir.path("d.sqlite"),
                 "CREATE TABLE v (k INTEGER);"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                 "INSERT INTO v SELECT CASE WHEN i <= 10 THEN 7 ELSE i END FROM n;");
    TADOConnection c2;
    c2.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("d.sqlite");
    c2.Open();
    TADOQuery v(&c2);
    v.SQL = "SELECT k FROM v";
    v.Open();
    src.setDataSet(&v);
    grid.TitlePopupDistinctValues = true;
    grid.RecalculateSummaryResults();
    const TSummaryResults& k = of("k");
    EXPECT_EQ(k.DistinctValueCount, 31);
    ASSERT_EQ(k.DistinctValues.size(), 25u);
    EXPECT_EQ(k.DistinctValues[0], (TDistinctValues{"7", 10}));
    EXPECT_EQ(k.DistinctValues[1], (TDistinctValues{"11", 1})); // ties by text
    src.setDataSet(&q);
}

TEST_F(SummaryGridTest, TitlePopupShowsAndCopiesResults) {
    grid.TitlePopupItems = {"Suma = %sum", "-", "Range %min..%max", "Distinct: %DistinctValues"};
    const int col = grid.columnOfField("n");
    EXPECT_EQ(grid.TitlePopupTexts(col), QStringList({"n:", "-", "Suma = 20", "-", "Range 1..10"}));
    grid.TitlePopupDistinctValues = true;
    QMenu* menu = grid.TitleMenu(col);
    ASSERT_NE(menu, nullptr);
    QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 6);
    ASSERT_NE(items[5]->menu(), nullptr);
    EXPECT_EQ(items[5]->text(), "Distinct: 5");
    EXPECT_EQ(items[5]->menu()->actions().value(0)->text(), "1 (1)");
    items[4]->trigger(); // the inserted values, joined
    EXPECT_EQ(QApplication::clipboard()->text(), "1; 10");
    items[0]->trigger(); // the caption copies the field name
    EXPECT_EQ(QApplication::clipboard()->text(), "n");
    QString clicked;
    grid.OnTitlePopupItemClick = [&](TkDBGrid*, int, const QString& line, const QString& values) {
        clicked = line + "|" + values;
        return true;
    };
    QApplication::clipboard()->setText("kept");
    grid.TitleMenu(col)->actions()[2]->trigger();
    EXPECT_EQ(clicked, "Suma = %sum|20");
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");
    // Off: the lines with zero values; blank lines: no pop-up.
    grid.TitlePopup = false;
    EXPECT_EQ(grid.TitlePopupTexts(col).value(2), "Suma = 0");
    grid.TitlePopupItems = {" ", ""};
    EXPECT_EQ(grid.TitleMenu(col), nullptr);
    // The owner's results and value texts replace the pass.
    grid.TitlePopup = true;
    grid.TitlePopupItems = {"%sum"};
    grid.OnRecalculateSummaryResult = [](TkDBGrid*, TSummaryResults& r) { r.Sum = 99; };
    grid.OnGetSummaryResult = [](TkDBGrid*, const TField*, const QString&, QString& text) { text += "!"; };
    grid.RecalculateSummaryResults();
    EXPECT_EQ(grid.TitlePopupTexts(col).value(2), "99!");
}

TEST_F(SummaryGridTest, FooterRowFollowsFilterAndSelection) {
    grid.FooterRow.FieldFooterDefs = {"n=Σ %sum (sel %SelSum);R;10 Bold Red", "s=%CountVal of %CountAll"};
    grid.FooterRow.RecalculateAfterOpen = true;
    grid.FooterRow.RecalculateAfterFilter = true;
    grid.FooterRow.RecalculateAfterMultiselect = true;
    grid.FooterRow.FooterVisible = true;
    grid.FooterChanged();
    q.Close();
    q.Open(); // recomputed after opening
    const int n = grid.columnOfField("n"), s = grid.columnOfField("s");
    EXPECT_EQ(grid.FooterText(n), "Σ 20 (sel 0)");
    EXPECT_EQ(grid.FooterText(s), "5 of 6");
    EXPECT_EQ(grid.FooterText(grid.columnOfField("x")), "");
    select({4, 5});
    EXPECT_EQ(grid.FooterText(n), "Σ 20 (sel 12)");
    q.setFilter("n <= 2");
    q.setFiltered(true);
    EXPECT_EQ(grid.FooterText(n), "Σ 3 (sel 2)");
    EXPECT_EQ(grid.FooterText(s), "2 of 2");

    // Drawn under the rows, above the scroll bar; the last row stays reachable.
    q.setFiltered(false);
    grid.resize(400, 120);
    QApplication::processEvents();
    GridFooter* footer = grid.Footer();
    ASSERT_TRUE(footer->isVisible());
    EXPECT_EQ(footer->geometry().top(), grid.viewport()->geometry().bottom() + 1);
    EXPECT_EQ(footer->height(), grid.verticalHeader()->defaultSectionSize() + 2);
    grid.scrollToBottom();
    const QRect last = grid.visualRect(grid.model()->index(q.RecordCount() - 1, 0));
    EXPECT_LE(last.bottom(), grid.viewport()->height());
    const FooterDef def = ParseFooterDef("x;r;10 Bold Red");
    EXPECT_EQ(def.align, Qt::AlignRight);
    EXPECT_TRUE(def.bold);
    EXPECT_EQ(def.pointSize, 10);
    EXPECT_EQ(def.color, 0x0000FF);
    // With RefreshAfterScroll the footer is drawn again when another record becomes current.
    struct PaintCount : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } paints;
    footer->installEventFilter(&paints);
    for (bool refresh : {false, true}) {
        grid.FooterRow.RefreshAfterScroll = refresh;
        QApplication::processEvents();
        paints.n = 0;
        q.RecNo() > 1 ? q.Prior() : q.Next();
        QApplication::processEvents();
        EXPECT_EQ(paints.n > 0, refresh);
    }
    grid.FooterRow.FooterVisible = false;
    grid.FooterChanged();
    EXPECT_FALSE(footer->isVisible());
    EXPECT_EQ(grid.viewport()->geometry().bottom() + 1 + grid.frameWidth(),
              grid.height() -
                  (grid.horizontalScrollBar()->isVisible() ? grid.horizontalScrollBar()->height() : 0));
}
