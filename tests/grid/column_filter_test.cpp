// Column filters: the distinct-value list (counts, the NULL entry, ticking), the conditions of ticked
// values checked against SQLite's own comparison on the same table, two columns joined, and the value
// list window opened by its command.
#include "column_filter.h"
#include "comp_config.h"
#include "connection.h"
#include "db_action.h"
#include "dialog_actions.h"
#include "filter_text.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "value_list_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class ColumnFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(
            dir.path("c.sqlite"),
            "CREATE TABLE v (id INTEGER PRIMARY KEY, s TEXT, n INTEGER, r REAL, d DATE);"
            "INSERT INTO v VALUES (1, 'O''Brien', 1, 1.5, '2026-01-05'), (2, 'a\nb', 2, NULL, '2026-01-05'),"
            " (3, '50%', NULL, 2.5, NULL), (4, 'x*y', 1, 1.5, '2026-02-01'), (5, NULL, 3, 0, NULL),"
            " (6, 'abc', 2, 2.5, '2026-01-05'), (7, 'ABC', 1, NULL, NULL), (8, '_u', NULL, 0, '2026-02-01'),"
            " (9, 'x*y', 3, 1.5, NULL), (10, 'a_c', 2, -4, '2025-12-31'), (11, 'xay', 1, 10, NULL),"
            " (12, '', 2, 1.25, NULL), (13, 'a''b''', 1, 1.5, '2026-02-01');");
        con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("c.sqlite");
        con.Open();
        q.Connection = &con;
        q.SQL = "SELECT * FROM v ORDER BY id";
        q.Open();
        source.setDataSet(&q);
        grid.setObjectName("grData");
        grid.setDataSource(&source);
    }
    void TearDown() override { source.setDataSet(nullptr); }
    QList<int> ids() {
        QList<int> out;
        for (int i = 0; i < q.RecordCount(); ++i)
            out << q.valueAt(q.FieldByName("id"), i).toInt();
        return out;
    }
    QList<int> sqliteIds(const QString& where) {
        TADOQuery r;
        r.Connection = &con;
        r.SQL = "SELECT id FROM v WHERE " + where + " ORDER BY id";
        r.Open();
        QList<int> out;
        for (int i = 0; i < r.RecordCount(); ++i)
            out << r.valueAt(r.Fields(0), i).toInt();
        return out;
    }
    // The id of a record holding a value (in the unfiltered dataset).
    int holder(const TField* f, const QVariant& v) {
        for (int i = 0; i < q.RecordCount(); ++i) {
            const QVariant x = q.valueAt(f, i);
            if (x.isValid() == v.isValid() && (!v.isValid() || x == v))
                return q.valueAt(q.FieldByName("id"), i).toInt();
        }
        return 0;
    }
    // SQLite's rows for a set of values, each named by a record that holds it.
    QString sqlWhere(const QString& col, const TField* f, const QList<QVariant>& values) {
        QStringList reps, parts;
        bool withNull = false;
        for (const QVariant& v : values)
            v.isValid() ? void(reps << QString::number(holder(f, v))) : void(withNull = true);
        if (!reps.isEmpty())
            parts << col + " IN (SELECT " + col + " FROM v WHERE id IN (" + reps.join(',') + "))";
        if (withNull) parts << col + " IS NULL";
        return parts.join(" OR ");
    }

    TempDir dir;
    TADOConnection con;
    TADOQuery q{&con};
    TDataSource source;
    TkDBGrid grid;
    ScopedScriptedMessages msgs;
};

TEST_F(ColumnFilterTest, ValueListAndConditionsMatchSqlite) {
    for (const char* col : {"s", "n", "r", "d"}) {
        SCOPED_TRACE(col);
        const TField* f = q.FieldByName(col);
        const QList<DistinctValue> values = DistinctValues(q, f);
        // One entry per distinct value, the NULL entry first, counts as SQLite counts them.
        const QList<int> nulls = sqliteIds(QString(col) + " IS NULL");
        EXPECT_EQ(values.first().text == "(empty)", !nulls.isEmpty());
        EXPECT_EQ(values.size(),
                  sqliteIds(QString("id IN (SELECT min(id) FROM v GROUP BY %1)").arg(col)).size());
        int total = 0;
        for (const DistinctValue& d : values) {
            total += d.count;
            // Each value alone selects exactly SQLite's rows holding it.
            ASSERT_TRUE(SetFilterForField(&grid, f, ValuesCondition(f, {d.value}), false, true, false))
                << ValuesCondition(f, {d.value}).toStdString() << " " << q.Filter().toStdString();
            EXPECT_EQ(ids(), sqliteIds(sqlWhere(col, f, {d.value}))) << d.text.toStdString();
            EXPECT_EQ(ids().size(), d.count) << d.text.toStdString();
        }
        EXPECT_EQ(total, 13);
        // Every other value, NULL included.
        QList<QVariant> some;
        for (int i = 0; i < values.size(); i += 2)
            some << values[i].value;
        ASSERT_TRUE(SetFilterForField(&grid, f, ValuesCondition(f, some), false, true, false));
        EXPECT_EQ(ids(), sqliteIds(sqlWhere(col, f, some)));
        SetFilterForField(&grid, f, QString(), false, true, false);
        EXPECT_FALSE(q.Filtered());
    }
}

TEST_F(ColumnFilterTest, ColumnsJoinedOrReplaced) {
    const TField* s = q.FieldByName("s");
    const TField* n = q.FieldByName("n");
    ASSERT_TRUE(
        SetFilterForField(&grid, s, ValuesCondition(s, {"x*y", "abc", QVariant()}), false, true, true));
    ASSERT_TRUE(SetFilterForField(&grid, n, ValuesCondition(n, {3, 2}), false, true, true));
    EXPECT_EQ(ids(), sqliteIds("(s IN ('x*y', 'abc') OR s IS NULL) AND n IN (2, 3)"));
    EXPECT_EQ(ids(), (QList<int>{5, 6, 9}));
    EXPECT_EQ(GetColumnFilterString(&grid),
              "(([s] = 'x*y') OR ([s] = 'abc') OR ([s] =  NULL )) AND (([n] = 3) OR ([n] = 2))");
    // Without joining, a second column's condition replaces the first's.
    ASSERT_TRUE(SetFilterForField(&grid, n, ValuesCondition(n, {1}), false, true, false));
    EXPECT_EQ(ids(), sqliteIds("n = 1"));
    EXPECT_TRUE(ColumnCondition(&grid, "S").isEmpty());
    // A text the dataset refuses leaves the previous filter and conditions in force.
    EXPECT_FALSE(SetFilterForField(&grid, s, "(s = ", true, true, true));
    EXPECT_EQ(ids(), sqliteIds("n = 1"));
    EXPECT_TRUE(ColumnCondition(&grid, "s").isEmpty());
    EXPECT_EQ(msgs.shown.size(), 1u);
    SetFilterForField(&grid, nullptr, QString(), false, true, false);
    EXPECT_FALSE(q.Filtered());
    EXPECT_TRUE(GetColumnFilterString(&grid).isEmpty());
}

TEST_F(ColumnFilterTest, WindowTicksAndFilters) {
    grid.OptionsEx2.Filters.MultiFieldFilter = true;
    grid.OptionsEx2.Filters.FunnelBtn = true;
    grid.resize(600, 300);
    grid.show();
    TkDBAction actions;
    InstallGridDialogActions(&actions);
    actions.SetActiveGrid(&grid);
    grid.setCurrentIndex(grid.model()->index(0, 2)); // n
    auto inWindow = [&](std::function<void(TkDBGridFilterForm*)> script) {
        QTimer::singleShot(0, [script] {
            auto* form = qobject_cast<TkDBGridFilterForm*>(QApplication::activeModalWidget());
            ASSERT_TRUE(form);
            script(form);
        });
        actions.RefreshAction();
        actions.action("acfFilterDlg")->trigger();
    };
    inWindow([](TkDBGridFilterForm* form) {
        QStringList texts;
        for (int i = 0; i < form->lbValues->count(); ++i)
            texts << form->lbValues->item(i)->text();
        EXPECT_EQ(texts, (QStringList{"(select all)", "(empty)", "1", "2", "3"}));
        EXPECT_EQ(form->lbValues->item(0)->checkState(), Qt::Checked);
        EXPECT_FALSE(form->btClear->isEnabled());
        EXPECT_TRUE(form->chAnd->isVisibleTo(form));
        form->lbValues->item(0)->setCheckState(Qt::Unchecked);
        EXPECT_FALSE(form->ticked(2));
        EXPECT_FALSE(form->btOk->isEnabled()); // nothing ticked
        form->setTicked(0, true);              // (empty)
        form->setTicked(3, true);              // 3
        form->btOk->click();
    });
    EXPECT_EQ(ids(), sqliteIds("n IS NULL OR n = 3"));
    // The list of a filtered dataset: the values shown ticked, the others unticked; the record stays.
    q.Last();
    const int at = q.RecNo();
    inWindow([](TkDBGridFilterForm* form) {
        EXPECT_EQ(form->lbValues->count(), 5);
        EXPECT_EQ(form->lbValues->item(0)->checkState(), Qt::Unchecked);
        EXPECT_TRUE(form->ticked(0));
        EXPECT_FALSE(form->ticked(1));
        EXPECT_TRUE(form->ticked(3));
        EXPECT_EQ(form->values()[0].count, 2);
        EXPECT_TRUE(form->btClear->isEnabled());
        form->btCancel->click();
    });
    EXPECT_TRUE(q.Filtered());
    EXPECT_EQ(q.RecNo(), at);
    // A second column joined to the first.
    grid.setCurrentIndex(grid.model()->index(0, 1)); // s
    inWindow([](TkDBGridFilterForm* form) {
        form->chAnd->setChecked(true);
        form->lbValues->item(0)->setCheckState(Qt::Unchecked);
        for (int i = 0; i < form->values().size(); ++i)
            form->setTicked(i, form->values()[i].text == "x*y");
        form->btOk->click();
    });
    EXPECT_EQ(ids(), sqliteIds("(n IS NULL OR n = 3) AND s = 'x*y'"));
    inWindow([](TkDBGridFilterForm* form) { form->btClear->click(); });
    EXPECT_EQ(ids(), sqliteIds("n IS NULL OR n = 3"));
}
} // namespace

namespace {
// The fields a filter text refers to: names bracketed or bare, never words inside quoted values.
TEST_F(ColumnFilterTest, FilteredFieldsAreTheNamesOutsideQuotedValues) {
    struct Case {
        const char* filter;
        QStringList fields;
    } cases[] = {
        {"(s = 'n') AND (r > 1)", {"s", "r"}},
        {"[S] LIKE '*id*' OR ([n]=2)", {"s", "n"}},
        {"(d>=#1/1/2026#) AND (id<>3)", {"d", "id"}},
        {"s = 'it''s r = 1' OR n IS NULL", {"s", "n"}},
        {"[x]] y] = 1", {}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterFieldNames(q, c.filter), c.fields) << c.filter;
    // Set from outside the grid, the marks follow the dataset's filter.
    ASSERT_TRUE(ApplyFilter(&q, "(s = 'n = 1') OR ([r] > 1)", false));
    grid.FilterChangedNotification();
    EXPECT_EQ(grid.FilteredFieldNames, "s;r;");
    EXPECT_TRUE(grid.IsFieldFiltered("R"));
    EXPECT_FALSE(grid.IsFieldFiltered("n"));
    ApplyFilter(&q, QString(), false);
    grid.FilterChangedNotification();
    EXPECT_TRUE(grid.FilteredFieldNames.isEmpty());
}

// Where the funnels are; a handler that takes the column filters over; the grid's letter-case option.
TEST_F(ColumnFilterTest, FunnelsHandlerAndCaseOption) {
    grid.OptionsEx2.Filters.FunnelBtn = true;
    grid.OnFunnelClick = ShowFunnelFilter;
    grid.setCurrentIndex(grid.model()->index(0, 1));
    EXPECT_TRUE(grid.FunnelInColumn(2));
    grid.OptionsEx2.Filters.FunnelBtnActiveOnly = true;
    EXPECT_TRUE(grid.FunnelInColumn(1));
    EXPECT_FALSE(grid.FunnelInColumn(2));
    const TField* n = q.FieldByName("n");
    ASSERT_TRUE(SetFilterForField(&grid, n, ValuesCondition(n, {2}), false, true, false));
    EXPECT_TRUE(grid.FunnelInColumn(2)); // a filtered column keeps its funnel

    // The handler decides: the grid's conditions and the dataset stay as they are.
    QString seen;
    grid.OnSetColumnFilter = [&](TkDBGrid*, TDataSet* ds, QWidget*, const QString& typed, const QString& cond,
                                 const TField* f) {
        seen = f->FieldName + "|" + typed + "|" + cond;
        return ds == &q;
    };
    const TField* s = q.FieldByName("s");
    EXPECT_TRUE(SetColumnFilter(&grid, s, "(s = 'abc')", false, true, nullptr, "abc"));
    EXPECT_EQ(seen, "s|abc|(s = 'abc')");
    EXPECT_EQ(GetColumnFilterString(&grid), "([n] = 2)");
    grid.OnSetColumnFilter = nullptr;

    // The grid's case option goes to the dataset with the filter.
    int changed = 0;
    grid.OnFilterChanged = [&](TkDBGrid*) { ++changed; };
    grid.OptionsEx2.Filters.FilterCaseSensitivity = fcsCaseInsensitive;
    ASSERT_TRUE(SetColumnFilter(&grid, s, "(s = 'abc')", false, false, nullptr));
    EXPECT_EQ(ids(), (QList<int>{6, 7}));
    grid.OptionsEx2.Filters.FilterCaseSensitivity = fcsCaseSensitive;
    ASSERT_TRUE(SetColumnFilter(&grid, s, "(s = 'abc')", false, false, nullptr));
    EXPECT_EQ(ids(), (QList<int>{6}));
    EXPECT_EQ(changed, 2);
    // Conditions defined without applying (as saved ones come back) wait for the next apply.
    DefineColumnFilter(&grid, "N", "(n = 3)", false, "3");
    EXPECT_EQ(ids(), (QList<int>{6}));
    EXPECT_EQ(ColumnFilterOf(&grid, "n").text, "3");
    DefineColumnFilter(&grid, "s", QString(), true, QString());
    EXPECT_EQ(ids(), sqliteIds("n = 3"));
    EXPECT_EQ(grid.FilteredFieldNames, "n;");
}
} // namespace
