// Filter texts, applying filters, filter by selection, the filter and sort dialogs, grid sorting and the
// saved filters and sortings, over a real SQLite table.
#include "comp_config.h"
#include "connection.h"
#include "db_action.h"
#include "db_grid.h"
#include "filter_expr.h"
#include "filter_form.h"
#include "filter_sort_actions.h"
#include "filter_text.h"
#include "grid_host.h"
#include "prop_save_file.h"
#include "query.h"
#include "scripted_messages.h"
#include "sort_form.h"
#include "sort_text.h"
#include "test_util.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
class FilterSortTest : public ::testing::Test, public GridOnTable<TkDBGrid> {
protected:
    void SetUp() override {
        grid.setObjectName("grData");
        openTable("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, \"first name\" TEXT, key_no INTEGER,"
                  " amount REAL, flag BOOLEAN, born DATE, stamp DATETIME, notes MEMO, pic BLOB);"
                  "INSERT INTO t VALUES (1, 'O''Brien', 'Pat', 10, 0.1, 1, '2026-01-05', "
                  "'2026-01-05 10:30:15', 'n1', x'00');"
                  "INSERT INTO t VALUES (2, 'Smith', 'Ann', 20, 2.5, 0, '2026-02-01', '2026-02-01 00:00:00',"
                  " 'n2', NULL);"
                  "INSERT INTO t VALUES (3, NULL, 'Bob', 30, -1e20, NULL, NULL, '2026-03-01 08:00:00.250',"
                  " NULL, NULL);"
                  "INSERT INTO t VALUES (4, 'smith', 'Cy', 40, 2.5, 1, '2026-04-01', NULL, 'n4', NULL);"
                  "CREATE TABLE shifts (id INTEGER PRIMARY KEY, starts TIME);"
                  "INSERT INTO shifts VALUES (1, '12:00:00.5'), (2, '12:00:00');",
                  "SELECT * FROM t ORDER BY id");
        grid.OnChangeSort = [this](TkDBGrid*, const QString& f, bool d) {
            return SortDataSet(&q, SortItemsOf(f, d));
        };
        grid.OnChangeSortEx = [this](TkDBGrid*, const SortItems& items) { return SortDataSet(&q, items); };
        store.FileName = dir.path("settings.ini");
        store.DisableAll = true;
        VemoCompConfig().Global_PropSaveFile = &store;
    }
    void TearDown() override {
        VemoCompConfig().Global_PropSaveFile = nullptr;
        VemoCompConfig().kDBFilterCfg = TkDBFilterCfg();
        VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = true;
        src.setDataSet(nullptr);
    }
    TField* f(const char* name) { return q.FieldByName(name); }
    QList<int> ids() {
        QList<int> out;
        for (int i = 0; i < q.RecordCount(); ++i)
            out << q.valueAt(f("id"), i).toInt();
        return out;
    }
    void goTo(int id) { ASSERT_TRUE(q.Locate("id", id)); }

    TPropSaveFile store;
    ScopedScriptedMessages msgs;
};
} // namespace

TEST_F(FilterSortTest, BuildConditionQuotesNamesAndValues) {
    struct Case {
        const char* field;
        QString value;
        bool isNull, isNotNull;
        const char* op;
        const char* expected;
    } cases[] = {
        {"name", "O'Brien", false, false, "", "(name = 'O''Brien')"},
        {"first name", "x", false, false, "", "([first name] = 'x')"},
        {"key_no", "5", false, false, "", "([key_no] = 5)"},
        {"amount", "2.5", false, false, ">", "(amount > 2.5)"},
        {"flag", "1", false, false, "", "(flag = true)"},
        {"flag", "TRUE", false, false, "", "(flag = true)"},
        {"flag", "no", false, false, "", "(flag = false)"},
        {"name", "", true, false, "", "(name =  NULL )"},
        {"name", "", false, true, "", "(name <>  NULL )"},
        {"notes", "*a*", false, false, "LIKE", "(notes LIKE '*a*')"},
        {"pic", "x", false, false, "LIKE", "(pic LIKE 'x')"}, // a blob counts as a memo by default
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildCondition(f(c.field), c.value, c.isNull, c.op, c.isNotNull), c.expected) << c.field;
    EXPECT_EQ(BuildCondition(nullptr, "x", false), "");
    VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = false; // binary: no condition
    EXPECT_EQ(BuildCondition(f("pic"), "x", false), "");
    EXPECT_EQ(BuildRangeCondition("[a b]", "1", "2", ""), "([a b]>=1) AND ([a b]<=2)");
    EXPECT_EQ(BuildRangeCondition("d", "x'", "y", "'"), "(d>='x''') AND (d<='y')");
    EXPECT_EQ(JoinConditions("AND", {"(a = 1)", "", "a = 2", "(a = 1) OR (b = 2)"}),
              "(a = 1) AND (a = 2) AND ((a = 1) OR (b = 2))");
    EXPECT_EQ(JoinConditions("OR", {}), "");
}

TEST_F(FilterSortTest, NumberAndDateTextsReadBack) {
    for (double v : {0.1, 2.5, -1e20, 1.0 / 3, 123456789.125, 5e-324, 0.0}) {
        const QString t = FilterFloatText(v);
        EXPECT_EQ(t.toDouble(), v) << t.toStdString();
        EXPECT_LE(t.size(), 24);
    }
    EXPECT_EQ(FilterFloatText(0.1), "0.1");
    EXPECT_EQ(FilterFloatText(1e20), "1e+20");
    VemoCompConfig().kDBFilterCfg.DecimalSeparator = ',';
    EXPECT_EQ(FilterFloatText(2.5), "2,5");
    VemoCompConfig().kDBFilterCfg.DecimalSeparator = '.';

    VemoCompConfig().kDBFilterCfg.DateFormat = "d.M.yyyy";
    EXPECT_EQ(FilterDateText(QDate(2026, 1, 5)), "5.1.2026");
    EXPECT_EQ(FilterDateText(QDateTime(QDate(2026, 1, 5), QTime(0, 0))), "5.1.2026");
    EXPECT_EQ(FilterDateText(QDateTime(QDate(2026, 1, 5), QTime(10, 30, 15))), "5.1.2026 10:30:15");
    EXPECT_EQ(FilterDateText(QDateTime(QDate(2026, 1, 5), QTime(8, 0, 0, 250))), "5.1.2026 8:00:00.250");
    VemoCompConfig().kDBFilterCfg.DateFormat.clear();
    EXPECT_TRUE(FilterDateFormat().contains("yyyy")); // never a two-digit year
}

TEST_F(FilterSortTest, ApplyFilterIsAtomic) {
    ASSERT_TRUE(ApplyFilter(&q, "  amount > 1 ", true));
    EXPECT_EQ(q.Filter(), "amount > 1");
    EXPECT_EQ(ids(), (QList<int>{2, 4}));
    // A rejected text leaves text, flag and rows as they were, and says why.
    EXPECT_FALSE(ApplyFilter(&q, "nosuch = 1", true));
    EXPECT_EQ(q.Filter(), "amount > 1");
    EXPECT_TRUE(q.Filtered());
    EXPECT_EQ(ids(), (QList<int>{2, 4}));
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].kind, "exception");
    EXPECT_EQ(msgs.shown[0].heading, "Error in expression.");
    EXPECT_TRUE(msgs.shown[0].text.contains("nosuch"));
    // Also when filtering was off.
    ASSERT_TRUE(ApplyFilter(&q, "", false));
    EXPECT_FALSE(ApplyFilter(&q, "name = 'unclosed", false));
    EXPECT_FALSE(q.Filtered());
    EXPECT_EQ(q.Filter(), "amount > 1");
    EXPECT_EQ(q.RecordCount(), 4);
    // An empty text only switches off; switching on again restores the old text.
    ASSERT_TRUE(ApplyFilter(&q, q.Filter(), false));
    EXPECT_EQ(ids(), (QList<int>{2, 4}));
    // The current record stays when it survives the filter.
    goTo(4);
    ASSERT_TRUE(ApplyFilter(&q, "key_no >= 20", false));
    EXPECT_EQ(q.FieldValue("id").toInt(), 4);
}

TEST_F(FilterSortTest, FilterBySelectionFindsTheSelectedRow) {
    struct Case {
        int id;
        const char* field;
        const char* condition;
        QList<int> rows;
    } cases[] = {
        {1, "name", "(name = 'O''Brien')", {1}},
        {3, "name", "(name =  NULL )", {3}},
        {2, "amount", "(amount = 2.5)", {2, 4}},
        {3, "amount", "(amount = -1e+20)", {3}},
        {1, "amount", "(amount = 0.1)", {1}},
        {1, "flag", "(flag = true)", {1, 4}},
        {1, "first name", "([first name] = 'Pat')", {1}},
    };
    VemoCompConfig().kDBFilterCfg.DateFormat = "yyyy-MM-dd";
    for (const Case& c : cases) {
        ApplyFilter(&q, "", false);
        goTo(c.id);
        EXPECT_EQ(SelectionCondition(f(c.field)), c.condition) << c.field;
        ASSERT_TRUE(FilterBySelection(&q, f(c.field), FilterSelMode::Replace)) << c.condition;
        EXPECT_EQ(ids(), c.rows) << c.condition;
    }
    VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = false;
    goTo(1);
    EXPECT_FALSE(FilterBySelection(&q, f("pic"), FilterSelMode::Replace)); // no condition for a binary
    EXPECT_EQ(q.Filter(), "([first name] = 'Pat')");
    // A date-time with a time part (and milliseconds) keeps it, so its own row is found.
    for (int id : {1, 2, 3}) {
        ApplyFilter(&q, "", false);
        goTo(id);
        ASSERT_TRUE(FilterBySelection(&q, f("stamp"), FilterSelMode::Replace));
        EXPECT_EQ(ids(), QList<int>{id}) << q.Filter().toStdString();
    }
    ApplyFilter(&q, "", false);
    goTo(1);
    ASSERT_TRUE(FilterBySelection(&q, f("born"), FilterSelMode::Replace));
    EXPECT_EQ(q.Filter(), "(born = '2026-01-05')");
    EXPECT_EQ(ids(), QList<int>{1});
    // So does a time with milliseconds.
    TADOQuery shifts(&con);
    shifts.SQL = "SELECT * FROM shifts ORDER BY id";
    shifts.Open();
    for (const auto& [id, condition] :
         {std::pair{1, "(starts = '12:00:00.500')"}, {2, "(starts = '12:00:00')"}}) {
        ApplyFilter(&shifts, "", false);
        shifts.Locate("id", id, 0);
        ASSERT_TRUE(FilterBySelection(&shifts, shifts.FieldByName("starts"), FilterSelMode::Replace));
        EXPECT_EQ(shifts.Filter(), condition);
        EXPECT_EQ(shifts.RecordCount(), 1);
        EXPECT_EQ(shifts.FieldByName("id")->AsInteger(), id);
    }
}

TEST_F(FilterSortTest, FilterBySelectionModesCombineWithTheCurrentFilter) {
    ASSERT_TRUE(ApplyFilter(&q, "key_no > 10", false));
    goTo(2);
    ASSERT_TRUE(FilterBySelection(&q, f("amount"), FilterSelMode::And));
    EXPECT_EQ(q.Filter(), "(key_no > 10) AND (amount = 2.5)");
    EXPECT_EQ(ids(), (QList<int>{2, 4}));
    goTo(2);
    ASSERT_TRUE(FilterBySelection(&q, f("name"), FilterSelMode::Or));
    EXPECT_EQ(q.Filter(), "((key_no > 10) AND (amount = 2.5)) OR (name = 'Smith')");
    goTo(4);
    ASSERT_TRUE(FilterBySelection(&q, f("id"), FilterSelMode::Replace));
    EXPECT_EQ(q.Filter(), "(id = 4)");
}

TEST_F(FilterSortTest, SearchConditionsAndHint) {
    goTo(2);
    EXPECT_EQ(SearchTextCondition(f("name"), "mi"), "(name LIKE '*mi*')");
    EXPECT_EQ(SearchTextCondition(f("name"), "O'B"), "(name LIKE '*O''B*')");
    EXPECT_EQ(SearchTextCondition(f("key_no"), "2"), "([key_no] = 20)");
    EXPECT_EQ(SearchFilterHint(&q), "* Ctrl+Right to filter");
    ApplyFilter(&q, SearchTextCondition(f("name"), "mi"), false);
    EXPECT_EQ(ids(), (QList<int>{2, 4}));
    EXPECT_EQ(SearchFilterHint(&q), "* Filtered, Ctrl+Left to reset");
}

TEST(FilterPeriods, DatesRelativeToToday) {
    const QDate t(2026, 5, 14); // a Thursday
    struct Case {
        const char* item;
        QDate from, to;
    } cases[] = {
        {"Yesterday", {2026, 5, 13}, {2026, 5, 13}},   {"MonthLastDay", {2026, 5, 31}, {2026, 5, 31}},
        {"Week-1", {2026, 5, 4}, {2026, 5, 10}},       {"Week0", {2026, 5, 11}, {2026, 5, 17}},
        {"Month+1", {2026, 6, 1}, {2026, 6, 30}},      {"Month2", {2026, 2, 1}, {2026, 2, 28}},
        {"Quarter-1", {2026, 1, 1}, {2026, 3, 31}},    {"Quarter4", {2026, 10, 1}, {2026, 12, 31}},
        {"Semester+1", {2026, 7, 1}, {2026, 12, 31}},  {"Semester0", {2026, 1, 1}, {2026, 6, 30}},
        {"Year-1", {2025, 1, 1}, {2025, 12, 31}},      {"Year2030", {2030, 1, 1}, {2030, 12, 31}},
        {"SinceQuarter", {2026, 4, 1}, {2026, 5, 14}}, {"UntilSemester", {2026, 5, 14}, {2026, 6, 30}},
    };
    for (const Case& c : cases) {
        QDate from, to;
        ASSERT_TRUE(PeriodDates(c.item, t, from, to)) << c.item;
        EXPECT_EQ(from, c.from) << c.item;
        EXPECT_EQ(to, c.to) << c.item;
    }
    QDate a, b;
    EXPECT_FALSE(PeriodDates("Month13", t, a, b));
    EXPECT_FALSE(PeriodDates("Decade", t, a, b));
}

TEST_F(FilterSortTest, StoredFilters) {
    f("key_no")->setDisplayLabel("Key");
    ASSERT_TRUE(ApplyFilter(&q, "(key_no > 10) AND (name = 'key_no')", false));
    EXPECT_EQ(ProposeFilterName(q, q.Filter()), "Key > 10 AND name = 'key_no'");
    f("amount")->setDisplayLabel("amount (CZK)"); // a label holding its own name is put in once
    EXPECT_EQ(ProposeFilterName(q, "amount > 1 AND amount < 9"), "amount (CZK) > 1 AND amount (CZK) < 9");
    msgs.inputs = {QString("big"), std::nullopt};
    ASSERT_TRUE(SaveCurrentFilter(&grid));
    EXPECT_FALSE(SaveCurrentFilter(&grid)); // cancelled
    ApplyFilter(&q, "id = 1", false);
    EXPECT_EQ(StoredFilterNames(&grid), QStringList{"big"});
    ASSERT_TRUE(ApplyStoredFilter(&grid, "BIG"));
    EXPECT_EQ(q.Filter(), "(key_no > 10) AND (name = 'key_no')");
    EXPECT_FALSE(ApplyStoredFilter(&grid, "other"));

    TkDBFilterSaverForm form(&grid);
    ASSERT_EQ(form.table->rowCount(), 1);
    EXPECT_EQ(form.table->item(0, 0)->text(), ""); // the active one
    ApplyFilter(&q, "id = 2", false);
    form.refreshMarks();
    EXPECT_EQ(form.table->item(0, 0)->text(), "+");
    form.table->item(0, 2)->setText("id = 3");
    ASSERT_TRUE(form.useRow(0));
    EXPECT_EQ(ids(), QList<int>{3});
    msgs.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(form.deleteRow(0));
    form.store();
    EXPECT_TRUE(StoredFilterNames(&grid).isEmpty());
}

TEST_F(FilterSortTest, FilterDialogBuildsAndAppliesConditions) {
    TkDBFilterForm form(&grid, nullptr, true);
    ASSERT_TRUE(form.selectField("name"));
    EXPECT_EQ(form.lvSigns->topLevelItemCount(), 8);
    struct Case {
        const char* field;
        const char* sign;
        const char* value;
        const char* memo;
    } cases[] = {
        {"name", "contain", "O'B", "(name LIKE '*O''B*')"},
        {"name", "start with", "Sm", "(name LIKE 'Sm*')"},
        {"name", "is equal", "O'Brien", "(name = 'O''Brien')"},
        {"key_no", "is between", "", "([key_no]>=15) AND ([key_no]<=30)"},
        {"amount", "is greater", "", "(amount > 2)"},
        {"flag", "is equal", "", "(flag = true)"},
    };
    form.eNumFrom->setText("15");
    form.eNumTo->setText("30");
    for (const Case& c : cases) {
        ASSERT_TRUE(form.selectField(c.field));
        ASSERT_TRUE(form.selectSign(c.sign)) << c.sign;
        if (QString(c.field) == "amount") form.eNumFrom->setText("2");
        form.eValue->setCurrentText(c.value);
        form.eRes->clear();
        ASSERT_TRUE(form.addCondition()) << c.memo;
        EXPECT_EQ(form.eRes->toPlainText(), c.memo);
        // Every built condition is one the evaluator accepts.
        EXPECT_TRUE(form.test()) << c.memo;
    }
    EXPECT_EQ(form.eValue->count(), 3); // typed texts went to the history, sorted
    EXPECT_EQ(form.eValue->itemText(0), "O'B");
    // Conditions are joined by the logical operator.
    form.eRes->setPlainText("(id > 1)");
    form.eRes->moveCursor(QTextCursor::End);
    form.cbLogical->setCurrentText("OR");
    form.selectField("name");
    form.selectSign("is equal");
    form.eValue->setCurrentText("x");
    form.addCondition();
    EXPECT_EQ(form.eRes->toPlainText(), "(id > 1) OR (name = 'x')");
    // A boolean field offers two signs; "is between" fills the dates of a period.
    form.selectField("flag");
    EXPECT_EQ(form.lvSigns->topLevelItemCount(), 2);
    form.selectField("born");
    form.setPeriod("Year0");
    EXPECT_EQ(form.eDateFrom->date(), QDate(QDate::currentDate().year(), 1, 1));
    EXPECT_EQ(form.lvSigns->currentItem()->text(0), "is between");
}

TEST_F(FilterSortTest, FilterDialogTestAndOk) {
    ApplyFilter(&q, "id > 1", false);
    TkDBFilterForm form(&grid, nullptr, false);
    EXPECT_EQ(form.eRes->toPlainText(), "id > 1");
    form.eRes->setPlainText("name = 'smith'");
    form.cbCaseSensitive->setChecked(false);
    ASSERT_TRUE(form.test());
    EXPECT_EQ(form.lblTest->text(), "All OK. Selected 2 records.");
    EXPECT_FALSE(form.btTest->isEnabled());
    // The tested filter is not left in force.
    EXPECT_EQ(q.Filter(), "id > 1");
    EXPECT_EQ(ids(), (QList<int>{2, 3, 4}));
    EXPECT_FALSE(q.FilterOptions & foCaseInsensitive);
    // A faulty text keeps the dialog open and the old filter.
    form.eRes->setPlainText("name = ");
    EXPECT_TRUE(form.btTest->isEnabled());
    EXPECT_FALSE(form.applyOk());
    EXPECT_EQ(form.result(), 0);
    EXPECT_EQ(q.Filter(), "id > 1");
    form.eRes->setPlainText("name = 'smith'");
    form.cbShowCount->setChecked(true);
    msgs.clear();
    ASSERT_TRUE(form.applyOk());
    EXPECT_EQ(ids(), (QList<int>{2, 4}));
    EXPECT_EQ(msgs.log(), QStringList{"information: Selected 2 records."});
    // An empty memo clears the text as well.
    TkDBFilterForm again(&grid, nullptr, false);
    again.eRes->clear();
    ASSERT_TRUE(again.applyOk());
    EXPECT_FALSE(q.Filtered());
    EXPECT_EQ(q.Filter(), "");
}

TEST(SortText, GridRequests) {
    TempDir dir;
    MakeSqliteDb(dir.path("s.sqlite"), "CREATE TABLE t (id INTEGER PRIMARY KEY, [first name] VARCHAR(20), "
                                       "notes MEMO, pic BLOB);"
                                       "INSERT INTO t VALUES (1, 'b', 'x', NULL), (2, 'a', 'y', NULL);");
    TADOConnection con;
    con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("s.sqlite");
    con.Open();
    TADOQuery q(&con);
    QString sort;
    EXPECT_FALSE(SortTextForItems(q, SortItemsOf("id", false), sort)); // closed
    q.SQL = "SELECT * FROM t";
    q.Open();
    EXPECT_TRUE(SortTextForItems(q, SortItemsOf("first name,id", true), sort));
    EXPECT_EQ(sort, "[first name] DESC,id DESC");
    EXPECT_TRUE(SortTextForItems(q, SortItemsOf("", false), sort));
    EXPECT_EQ(sort, "");
    EXPECT_FALSE(SortTextForItems(q, SortItemsOf("notes", false), sort)); // memo
    EXPECT_FALSE(SortTextForItems(q, SortItemsOf("pic", false), sort));   // binary
    EXPECT_FALSE(SortTextForItems(q, SortItemsOf("nope", false), sort));
    q.Edit();
    EXPECT_FALSE(SortTextForItems(q, SortItemsOf("id", false), sort));
    q.Cancel();
}

TEST_F(FilterSortTest, GridSortByTitlesAndCommands) {
    grid.resize(900, 300);
    grid.show();
    auto clickTitle = [&](const char* field, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QHeaderView* h = grid.horizontalHeader();
        const int col = grid.columnOfField(field);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, mods,
                          QPoint(h->sectionViewportPosition(col) + 5, h->height() / 2));
    };
    ASSERT_TRUE(grid.ChangeSort({"amount"}, true));
    EXPECT_EQ(q.Sort(), "amount DESC");
    clickTitle("key_no"); // a new column keeps the direction
    EXPECT_EQ(q.Sort(), "key_no DESC");
    clickTitle("key_no"); // the sorted one reverses
    EXPECT_EQ(q.Sort(), "key_no");
    EXPECT_EQ(ids(), (QList<int>{1, 2, 3, 4}));
    // Shift adds a column with the common direction; Shift on a sorted column reverses them all.
    clickTitle("amount", Qt::ShiftModifier);
    EXPECT_EQ(q.Sort(), "key_no,amount");
    clickTitle("amount", Qt::ShiftModifier);
    EXPECT_EQ(q.Sort(), "key_no DESC,amount DESC");
    // Several fields share one direction; a blank brackets the name.
    ASSERT_TRUE(grid.ChangeSort({"amount", "first name"}, true));
    EXPECT_EQ(q.Sort(), "amount DESC,[first name] DESC");
    EXPECT_EQ(ids(), (QList<int>{4, 2, 1, 3}));
    // Refused requests keep the state: a memo, a missing field, an edited record.
    EXPECT_FALSE(grid.ChangeSort({"notes"}, false));
    EXPECT_FALSE(grid.ChangeSort({"nosuch"}, false));
    q.Edit();
    EXPECT_FALSE(grid.ChangeSort({"id"}, false));
    q.Cancel();
    EXPECT_EQ(grid.SortList().size(), 2);
    EXPECT_EQ(q.Sort(), "amount DESC,[first name] DESC");
    // Per-field directions; a refresh keeps the order and the current record, or goes to the first
    // record when the current one came back changed.
    ASSERT_TRUE(grid.ChangeSortEx({{"amount", false}, {"first name", true}}));
    EXPECT_EQ(q.Sort(), "amount,[first name] DESC");
    EXPECT_EQ(ids(), (QList<int>{3, 1, 4, 2}));
    grid.OnRefreshData = [this](TkDBGrid*) { q.Requery(); };
    goTo(2);
    grid.RefreshData();
    EXPECT_EQ(ids(), (QList<int>{3, 1, 4, 2}));
    EXPECT_EQ(f("id")->AsInteger(), 2);
    con.Execute("UPDATE t SET \"first name\" = 'Anne' WHERE id = 2");
    grid.RefreshData();
    EXPECT_EQ(q.RecNo(), 1);
    // NULLs first.
    ASSERT_TRUE(grid.ChangeSort({"name"}, false));
    EXPECT_EQ(ids().first(), 3);
}

TEST_F(FilterSortTest, SortCommandsAndMenusThroughTheActionModule) {
    TkDBAction module;
    InstallFilterSortActions(&module);
    module.SetActiveGrid(&grid);
    grid.setCurrentIndex(grid.model()->index(0, grid.columnOfField("amount")));
    auto run = [&](const char* name) {
        module.RefreshAction();
        QAction* a = module.action(name);
        ASSERT_TRUE(a->isEnabled()) << name;
        a->trigger();
    };
    run("acsSort2");
    EXPECT_EQ(q.Sort(), "amount DESC");
    EXPECT_EQ(grid.currentIndex().column(), grid.columnOfField("amount")); // sorting keeps the column
    grid.setCurrentIndex(grid.model()->index(0, grid.columnOfField("id")));
    run("acsSort3");
    EXPECT_EQ(q.Sort(), "amount DESC,id DESC");
    run("acsSortNone");
    EXPECT_EQ(q.Sort(), "");
    EXPECT_TRUE(grid.SortList().isEmpty());
    run("acsSort3"); // without a sort the field alone becomes the order
    EXPECT_EQ(q.Sort(), "id");

    grid.setCurrentIndex(grid.model()->index(1, grid.columnOfField("name")));
    run("acfFilterSel");
    EXPECT_EQ(q.Filter(), "(name = 'Smith')");
    // Filtering keeps the current column and record, so a following AND / OR takes the same field.
    EXPECT_EQ(grid.currentIndex().column(), grid.columnOfField("name"));
    EXPECT_EQ(f("id")->AsInteger(), 2);
    EXPECT_EQ(grid.currentIndex().row(), q.RecNo() - 1);
    run("acfFilter");
    EXPECT_FALSE(q.Filtered());
    EXPECT_EQ(grid.currentIndex().column(), grid.columnOfField("name"));
    run("acfFilter");
    EXPECT_TRUE(q.Filtered());
    // Refreshing keeps them too.
    grid.OnRefreshData = [this](TkDBGrid*) { q.Requery(); };
    run("acoRefresh");
    EXPECT_EQ(grid.currentIndex().column(), grid.columnOfField("name"));
    EXPECT_EQ(f("id")->AsInteger(), 2);

    emit module.pmFilterList->aboutToShow();
    ASSERT_EQ(module.pmFilterList->actions().size(), 4);
    EXPECT_EQ(module.pmFilterList->actions()[3]->text(), "no saved items");
    WriteStoredFilters(StoredFiltersSection(&grid), {{"two", "id = 2"}});
    emit module.pmFilterList->aboutToShow();
    ASSERT_EQ(module.pmFilterList->actions().size(), 4);
    module.pmFilterList->actions()[3]->trigger();
    EXPECT_EQ(ids(), QList<int>{2});

    WriteSavedSort(&grid, 3, {"by key", {{"key_no", true}}});
    emit module.pmSortList->aboutToShow();
    ASSERT_EQ(module.pmSortList->actions().size(), 1);
    ApplyFilter(&q, "", false);
    module.pmSortList->actions()[0]->trigger();
    EXPECT_EQ(q.Sort(), "key_no DESC");
}

TEST_F(FilterSortTest, SortDialogTableAndSavedSortings) {
    ASSERT_TRUE(grid.ChangeSort({"amount", "id"}, true));
    TkDBSortForm2 form(&grid);
    ASSERT_EQ(form.table->rowCount(), 3); // two fields and the "*" row
    EXPECT_EQ(form.table->verticalHeaderItem(2)->text(), "*");
    EXPECT_EQ(form.items(), (SortItems{{"amount", true}, {"id", true}}));
    form.moveRow(1, -1);
    form.setRowDescending(0, false);
    form.moveRow(2, -1); // the "*" row never moves
    EXPECT_EQ(form.items(), (SortItems{{"id", false}, {"amount", true}}));
    form.setRowField(2, "first name"); // typing into "*" adds a row
    EXPECT_EQ(form.table->rowCount(), 4);
    msgs.inputs = {QString("mine")};
    ASSERT_TRUE(form.saveSorting());
    EXPECT_EQ(form.lbSaved->count(), 1);
    ASSERT_TRUE(form.applyOk());
    EXPECT_EQ(q.Sort(), "id,amount DESC,[first name]");
    form.deleteAllRows();
    EXPECT_EQ(form.table->rowCount(), 1);
    ASSERT_TRUE(form.loadSaved("MINE"));
    EXPECT_EQ(form.items().size(), 3);
    ASSERT_TRUE(ApplySavedSort(&grid, SavedSortSlotFor(&grid, "mine")));
    // A refused sort keeps the dialog open with a warning.
    q.Edit();
    msgs.clear();
    EXPECT_FALSE(form.applyOk());
    EXPECT_EQ(msgs.log(), QStringList{"warning: Error: Sorting of data."});
    q.Cancel();
    ASSERT_TRUE(form.deleteSaved("mine"));
    EXPECT_EQ(form.lbSaved->count(), 0);
    // Twenty slots at most.
    for (int i = 0; i < kSavedSortSlots; ++i)
        WriteSavedSort(&grid, i, {QString("s%1").arg(i), {{"id", false}}});
    EXPECT_EQ(SavedSortSlotFor(&grid, "s7"), 7);
    EXPECT_EQ(SavedSortSlotFor(&grid, "new"), -1);
}
