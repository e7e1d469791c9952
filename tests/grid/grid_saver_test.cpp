// Grid savers: a grid's layout, sorting, filter, footer and conditions come back in a new window made
// from the same settings file; string grids keep sizes and cells; damaged sections are passed over.
#include "column_filter.h"
#include "connection.h"
#include "db_grid.h"
#include "grid_saver.h"
#include "prop_save_file.h"
#include "prop_save_main.h"
#include "query.h"
#include "scripted_messages.h"
#include "sort_text.h"
#include "test_util.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {
// A window with one data grid and its savers over a settings file, as a program window builds them.
struct GridWindow {
    GridWindow(TPropSaveFile* store, TDataSource* source) {
        win.setObjectName("Win");
        grid = new TkDBGrid(&win);
        grid->setObjectName("grData");
        grid->resize(700, 250);
        grid->OnChangeSortEx = [](TkDBGrid* g, const SortItems& items) {
            return SortDataSet(g->dataSet(), items);
        };
        main = new TPropSaveMain(&win);
        main->PropSaveFile = store;
        saver = new TkDBGridsPropSave(&win);
        saver->Components = {"grData"};
        saver->StoreFooterRow = true;
        saver->StoreFilterSetting = true;
        saver->StoreDesignSetting = true;
        saver->SetPropSaveMain(main);
        main->Loaded(); // reads; the grid's data comes afterwards, as in the main window
        grid->setDataSource(source);
        QCoreApplication::processEvents();
    }
    QStringList visualFields() const {
        QStringList names;
        for (int v = 0; v < grid->model()->columnCount(); ++v)
            names << grid->fieldOfColumn(grid->horizontalHeader()->logicalIndex(v))->FieldName;
        return names;
    }
    QWidget win;
    TkDBGrid* grid;
    TPropSaveMain* main;
    TkDBGridsPropSave* saver;
};
} // namespace

class GridSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(dir.path("g.sqlite"),
                     "CREATE TABLE t (id INTEGER PRIMARY KEY, n INTEGER, x FLOAT, b BOOLEAN, s TEXT);"
                     "INSERT INTO t VALUES (1, 5, 0.5, 1, 'a'), (2, 2, 1.5, 0, 'b'),"
                     " (3, 9, 2.5, 1, 'c'), (4, 1, 3.5, 1, 'd');");
        con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("g.sqlite");
        con.Open();
        q.Connection = &con;
        ini = dir.path("tabulo.ini");
    }
    std::unique_ptr<TPropSaveFile> store() {
        auto s = std::make_unique<TPropSaveFile>();
        s->FileName = ini;
        s->Loaded();
        return s;
    }
    void open(const char* sql) {
        q.Close();
        q.SQL = sql;
        q.Open();
        source.setDataSet(&q);
    }
    TempDir dir;
    QString ini;
    TADOConnection con;
    TADOQuery q;
    TDataSource source;
    ScopedScriptedMessages messages;
};

TEST_F(GridSaverTest, AGridComesBackAfterARestart) {
    {
        open("SELECT id, n, x, b, s, 1 AS gone FROM t");
        auto settings = store();
        GridWindow w(settings.get(), &source);
        TkDBGrid* g = w.grid;
        g->setColumnWidth(g->columnOfField("s"), 150);
        g->horizontalHeader()->moveSection(g->horizontalHeader()->visualIndex(g->columnOfField("s")), 0);
        g->setColumnHidden(g->columnOfField("x"), true);
        ASSERT_TRUE(g->ChangeSortEx({{"n", true}}));
        ASSERT_TRUE(SetFilterForField(g, q.FindField("n"), "(n>=2)", false, true, true));
        g->FooterRow.FooterVisible = true;
        g->FooterRow.FieldFooterDefs = {"n=Σ %sum;R"};
        g->FooterRow.BoldText = true;
        TCellParamsCond big, text;
        big.FieldName = "n";
        big.CondOperator = cpoGreater;
        big.Value = "=AVG(n)";
        big.BkColor = 0x00FFFF;
        big.WholeRow = true;
        text.FieldName = "s";
        text.CondOperator = cpoContain;
        text.Value = "čá\tp"; // a TAB survives the file
        text.Action = cpaOR;
        g->CellParamsConditions.SetItems({text, big});
        g->SetCellConditionActive(true);
        g->TitlePopupItems = {"Suma = %sum", "-"};
    } // the window saves, then the store writes the file

    // The query changed meanwhile: "gone" no longer exists, "fresh" is new.
    q.Close();
    auto settings = store();
    EXPECT_TRUE(settings->SectionExists("Win.grData.Column5")); // gone's section, until read
    open("SELECT id, 2 AS fresh, n, x, b, s FROM t");
    GridWindow w(settings.get(), &source);
    TkDBGrid* g = w.grid;
    // Stored columns in their stored order; the new one keeps its place.
    EXPECT_EQ(w.visualFields(), QStringList({"s", "fresh", "id", "n", "x", "b"}));
    EXPECT_EQ(g->columnWidth(g->columnOfField("s")), 150);
    EXPECT_TRUE(g->isColumnHidden(g->columnOfField("x")));
    EXPECT_FALSE(g->isColumnHidden(g->columnOfField("fresh")));
    EXPECT_FALSE(settings->SectionExists("Win.grData.Column5"));
    ASSERT_EQ(g->SortList().size(), 1);
    EXPECT_EQ(g->SortList()[0], (TkDBGrid::SortItem{"n", true}));
    EXPECT_EQ(ColumnCondition(g, "n"), "(n>=2)");
    EXPECT_TRUE(q.Filtered());
    ASSERT_EQ(q.RecordCount(), 3); // n >= 2, by n descending
    EXPECT_EQ(q.FieldByName("id")->AsInteger(), 3);
    EXPECT_TRUE(g->FooterRow.FooterVisible);
    EXPECT_TRUE(g->FooterRow.BoldText);
    EXPECT_EQ(g->FooterRow.FieldFooterDefs, QStringList({"n=Σ %sum;R"}));
    EXPECT_EQ(g->TitlePopupItems, QStringList({"Suma = %sum", "-"}));
    ASSERT_EQ(g->CellParamsConditions.Count(), 2);
    EXPECT_EQ(g->CellParamsConditions.Item(0).Value, "čá\tp");
    EXPECT_EQ(g->CellParamsConditions.Item(0).Action, cpaOR);
    EXPECT_EQ(g->CellParamsConditions.Item(1).Value, "=AVG(n)");
    EXPECT_EQ(g->CellParamsConditions.Item(1).BkColor, 0x00FFFF);
    EXPECT_TRUE(g->CellParamsConditions.Item(1).WholeRow);
    EXPECT_TRUE(g->OptionsEx2.CellCondition.Active);
    // The restored conditions colour the restored rows: n = 9 is above the average of the filtered rows.
    TCellParams cp;
    g->CellParamsConditions.ResetCond();
    g->GetCellParams(q.FindField("s"), 0, cp, false, false);
    EXPECT_EQ(cp.background, 0x00FFFF);
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
}

TEST_F(GridSaverTest, DamagedOrForeignSettingsArePassedOver) {
    WriteFile(ini, "[Win.grData]\nColCount=abc\nCellParamsCondCount=2\nColumnWidth=77\nTitleLines=-4\n"
                   "SortField=nothere,n\nSortDirections=x\nUseCellParamsConditions=maybe\n"
                   "[Win.grData.Column0]\nFieldName=nothere\nColWidth=12\n"
                   "[Win.grData.CellParamsCond0]\nField=n\nOperator=99\nAction=-3\nBkColor=red\n"
                   "[Win.grData.Filter]\nCondCount=1\nField0=n\nCond0=(n>>\nFilterText=(n>>\nFiltered=1\n");
    open("SELECT * FROM t");
    auto settings = store();
    GridWindow w(settings.get(), &source);
    TkDBGrid* g = w.grid;
    EXPECT_EQ(w.visualFields(), QStringList({"id", "n", "x", "b", "s"}));
    EXPECT_EQ(g->ColumnWidth(), cwNone);
    EXPECT_EQ(g->TitleLines, 1);
    // The missing second condition is skipped; the first one's numbers are held to their ranges.
    ASSERT_EQ(g->CellParamsConditions.Count(), 1);
    EXPECT_EQ(g->CellParamsConditions.Item(0).CondOperator, cpoAllways);
    EXPECT_EQ(g->CellParamsConditions.Item(0).Action, cpaSet);
    EXPECT_EQ(g->CellParamsConditions.Item(0).BkColor, kNoColor);
    EXPECT_FALSE(g->OptionsEx2.CellCondition.Active);
    ASSERT_EQ(g->SortList().size(), 1); // by the field that exists
    EXPECT_FALSE(q.Filtered());         // a filter the data does not take is dropped, with its column's part
    EXPECT_EQ(ColumnCondition(g, "n"), "");
    EXPECT_EQ(q.RecordCount(), 4);
}

TEST_F(GridSaverTest, StringGridsKeepSizesAndCells) {
    auto settings = store();
    {
        QWidget win;
        win.setObjectName("Gen");
        auto* grid = new QTableWidget(3, 2, &win);
        grid->setObjectName("grSettings");
        grid->setItem(0, 0, new QTableWidgetItem("a\tb"));
        grid->setItem(2, 1, new QTableWidgetItem("z"));
        grid->setColumnWidth(1, 222);
        grid->setRowHeight(2, 40);
        TPropSaveMain main(&win);
        main.PropSaveFile = settings.get();
        TGridsPropSave saver(&win);
        saver.Components = {"grSettings"};
        saver.SetPropSaveMain(&main);
        main.SaveProperties();
    }
    QWidget win;
    win.setObjectName("Gen");
    auto* grid = new QTableWidget(1, 1, &win);
    grid->setObjectName("grSettings");
    TPropSaveMain main(&win);
    main.PropSaveFile = settings.get();
    TGridsPropSave saver(&win);
    saver.Components = {"grSettings"};
    saver.SetPropSaveMain(&main);
    main.ReadProperties();
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->columnWidth(1), 222);
    EXPECT_EQ(grid->rowHeight(2), 40);
    EXPECT_EQ(grid->item(0, 0)->text(), "a\tb");
    EXPECT_EQ(grid->item(2, 1)->text(), "z");
}
