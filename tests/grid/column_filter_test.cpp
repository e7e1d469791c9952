// Column filters: the distinct-value list (counts, the NULL entry, ticking), the conditions of ticked
// values checked against SQLite's own comparison on the same table, two columns joined, and the value
// list window opened by its command.
#include "column_filter.h"
#include "column_filter_store.h"
#include "comp_config.h"
#include "connection.h"
#include "db_action.h"
#include "dialog_actions.h"
#include "filter_cond_form.h"
#include "filter_panel.h"
#include "filter_text.h"
#include "grid_host.h"
#include "prop_save_file.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "text_filter_row.h"
#include "value_list_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class ColumnFilterTest : public ::testing::Test, public GridOnTable<TkDBGrid> {
protected:
    void SetUp() override {
        grid.setObjectName("grData");
        openTable(
            "CREATE TABLE v (id INTEGER PRIMARY KEY, s TEXT, n INTEGER, r REAL, d DATE);"
            "INSERT INTO v VALUES (1, 'O''Brien', 1, 1.5, '2026-01-05'), (2, 'a\nb', 2, NULL, '2026-01-05'),"
            " (3, '50%', NULL, 2.5, NULL), (4, 'x*y', 1, 1.5, '2026-02-01'), (5, NULL, 3, 0, NULL),"
            " (6, 'abc', 2, 2.5, '2026-01-05'), (7, 'ABC', 1, NULL, NULL), (8, '_u', NULL, 0, '2026-02-01'),"
            " (9, 'x*y', 3, 1.5, NULL), (10, 'a_c', 2, -4, '2025-12-31'), (11, 'xay', 1, 10, NULL),"
            " (12, '', 2, 1.25, NULL), (13, 'a''b''', 1, 1.5, '2026-02-01');",
            "SELECT * FROM v ORDER BY id");
    }
    void TearDown() override { src.setDataSet(nullptr); }
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

TEST_F(ColumnFilterTest, ValueListTextOrder) {
    // NULL entry first, then letter case ignored (equal folded texts by their exact text), the empty
    // text before every other.
    QStringList texts;
    for (const DistinctValue& d : DistinctValues(q, q.FieldByName("s")))
        texts << d.text;
    EXPECT_EQ(texts, (QStringList{"(empty)", "", "50%", "_u", "a\nb", "a'b'", "a_c", "ABC", "abc", "O'Brien",
                                  "x*y", "xay"}));

    // Generated texts that share long starts, differ in letter case, hold NULs, accents, characters
    // above U+E000 and outside the basic plane: the list's order is the case-folded UTF-16 order,
    // equal folded texts by their exact UTF-16, each with its count.
    const QStringList pieces = {"a",      "A",          "b",
                                "\u00e9", "\u00c9",     QString(QChar(0)),
                                "\ue000", "\uffee",     QString::fromUcs4(U"\U0001F600"),
                                " ",      "customer 1", "CUSTOMER 1",
                                "\u1e9e", "\u00df",     "z"};
    QHash<QString, int> counts;
    uint32_t x = 2463534242u;
    con.Execute("CREATE TABLE g (s TEXT)");
    con.Execute("BEGIN");
    for (int i = 0; i < 3000; ++i) {
        QString t;
        for (int n = 0; n < 6; ++n) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            if (x % 7 == 0) break;
            t += pieces[int(x % uint32_t(pieces.size()))];
        }
        ++counts[t];
        con.Execute("INSERT INTO g VALUES (?)", {t});
    }
    con.Execute("COMMIT");
    TADOQuery g(&con);
    g.SQL = "SELECT s FROM g";
    g.Open();
    QStringList expected = counts.keys();
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        const int c = QStringView(a.toCaseFolded()).compare(QStringView(b.toCaseFolded()));
        return c != 0 ? c < 0 : a < b;
    });
    const QList<DistinctValue> listed = DistinctValues(g, g.FieldByName("s"));
    ASSERT_EQ(listed.size(), expected.size());
    for (qsizetype i = 0; i < listed.size(); ++i) {
        ASSERT_EQ(listed[i].text, expected[i]) << i;
        EXPECT_EQ(listed[i].value.toString(), expected[i]);
        EXPECT_EQ(listed[i].count, counts[expected[i]]);
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
    grid.resize(600, 300);
    grid.show();
    TkDBAction actions;
    InstallGridDialogActions(&actions);
    actions.SetActiveGrid(&grid);
    // The command belongs to the funnel: without the funnel option it stays off.
    actions.RefreshAction();
    EXPECT_FALSE(actions.action("acfFilterDlg")->isEnabled());
    grid.OptionsEx2.Filters.FunnelBtn = true;
    actions.RefreshAction();
    EXPECT_TRUE(actions.action("acfFilterDlg")->isEnabled());
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

namespace {
// {Y-M-D} stands for the date as conditions write it, {t:Y-M-D} for the date in the system's short
// date format.
QString dates(QString text) {
    static const QRegularExpression date("\\{(t:)?(\\d+)-(\\d+)-(\\d+)\\}");
    for (auto m = date.match(text); m.hasMatch(); m = date.match(text)) {
        const QDate d(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
        text.replace(m.capturedStart(), m.capturedLength(),
                     m.hasCaptured(1) ? QLocale::system().toString(d, QLocale::ShortFormat)
                                      : FilterDateText(d));
    }
    return text;
}

// Typed filter texts: the condition each gives, and the rows it selects against SQLite's WHERE on the
// same rows.
TEST_F(ColumnFilterTest, TypedTextsGiveTheirConditionsAndSqlitesRows) {
    TADOQuery t(&con);
    con.Execute(
        "CREATE TABLE t (id INTEGER PRIMARY KEY, s TEXT, n INTEGER, r REAL, d DATE, dt DATETIME, b BOOLEAN,"
        " tm TIME);"
        "INSERT INTO t VALUES (1, 'abc', 10, 1.5, '2023-01-01', '2023-12-31 10:00:00', 1, '08:00:00'),"
        " (2, 'ABC', 20, 12.5, '2023-05-15', '2023-05-31 23:59:59', 0, '10:30:00'),"
        " (3, 'xabcx', 120, 129.9, '2023-05-31', '2024-01-01 00:00:00', 1, NULL),"
        " (4, 'a&b', 130, 13.0, '2023-12-31', '2023-05-01 00:00:00', NULL, '23:59:00'),"
        " (5, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
        " (6, '', 1200, -125, '2024-01-01', '2022-12-31 23:00:00', 0, '00:00:00'),"
        " (7, 'O''Brien', 1299, 1.55, '2022-12-31', '2023-06-01 00:00:00', 1, '12:00:00'),"
        " (8, 'null', -12, -120, '2023-06-01', '2023-05-15 12:00:00', 0, '12:00:00'),"
        " (9, '<b>', 12, 12.0, '2023-04-30', NULL, 1, '09:15:00'),"
        " (10, 'a|b', -125, 1.6, '2023-05-01', '2023-01-01 00:00:00', 0, NULL),"
        " (11, 'x*y', 13, 2.5, '2023-02-01', '2023-05-15 00:00:00', 1, '12:00:30');");
    t.SQL = "SELECT * FROM t ORDER BY id";
    t.Open();
    // Lookup columns over n: the first record of a code is the one shown; 130 shows NULL, a NULL code
    // is found by no key, 1200 and others are not in the lookup.
    LookupTable lk(con, "CREATE TABLE lk (code INTEGER, name TEXT, w REAL);"
                        "INSERT INTO lk VALUES (10, 'ten', 1.5), (20, 'Twenty', 12), (120, 'a&b twelve', 15),"
                        " (130, NULL, NULL), (12, 'ten', 19.9), (13, 'O''Brien', 120), (10, 'shadowed', 2),"
                        " (NULL, 'nullkey', 1), (999, 'unused', 7);");
    for (const auto& [name, result, type] :
         {std::tuple{"nm", "name", ftString}, std::tuple{"nw", "w", ftFloat}}) {
        AddLookupField(t, name, type, "n", lk.q, "code", result);
    }
    TDataSource src;
    src.setDataSet(&t);
    TkDBGrid g;
    g.setDataSource(&src);
    auto rows = [&] {
        QList<int> out;
        for (int i = 0; i < t.RecordCount(); ++i)
            out << t.valueAt(t.FieldByName("id"), i).toInt();
        return out;
    };
    auto sqlite = [&](const QString& where) {
        TADOQuery r(&con);
        // {nm} and {nw}: the value a lookup column shows.
        QString w = where;
        w.replace("{nm}", "(SELECT name FROM lk WHERE code = t.n ORDER BY rowid LIMIT 1)");
        w.replace("{nw}", "(SELECT w FROM lk WHERE code = t.n ORDER BY rowid LIMIT 1)");
        r.SQL = "SELECT id FROM t WHERE " + w + " ORDER BY id";
        r.Open();
        QList<int> out;
        for (int i = 0; i < r.RecordCount(); ++i)
            out << r.valueAt(r.Fields(0), i).toInt();
        return out;
    };
    struct Case {
        const char* field;
        const char* typed;
        const char* condition; // or, for a text that gives none, a part of its message
        const char* where;     // SQLite's rows; nullptr: no condition
        TOptionTextFilterType type = oftAnyPos;
    } cases[] = {
        // text: patterns, operators, quoting, NULL tests
        {"s", "abc", "([s] LIKE '*abc*')", "s GLOB '*abc*'"},
        {"s", "=abc", "([s] LIKE '*abc*')", "s GLOB '*abc*'"},
        {"s", "<>abc", "([s] <> 'abc')", "s <> 'abc'"},
        {"s", ">= b", "([s] >= 'b')", "s >= 'b'"},
        {"s", "O'Brien", "([s] LIKE '*O''Brien*')", "s = 'O''Brien'"},
        {"s", "\"a&b\"", "([s] LIKE '*a&b*')", "s = 'a&b'"},
        {"s", "= \"<b>\"", "([s] LIKE '*<b>*')", "s = '<b>'"},
        {"s", "\"a|b\" | x*", "([s] LIKE '*a|b*') OR ([s] LIKE '*x**')", "s IN ('a|b', 'xabcx', 'x*y')"},
        {"s", "a & b | xabcx", "(([s] LIKE '*a*') AND ([s] LIKE '*b*')) OR ([s] LIKE '*xabcx*')",
         "(s GLOB '*a*' AND s GLOB '*b*') OR s GLOB '*xabcx*'"},
        {"s", "(null)", "([s] =  NULL )", "s IS NULL"},
        {"s", "IS  NULL", "([s] =  NULL )", "s IS NULL"},
        {"s", "is not null", "([s] <>  NULL )", "s IS NOT NULL"},
        {"s", "null", "([s] LIKE '*null*')", "s = 'null'"},
        {"s", "ab", "([s] LIKE 'ab*')", "s GLOB 'ab*'", oftStartPos},
        {"s", "abc", "([s] LIKE 'abc')", "s = 'abc'", oftExactValue},
        {"s", "x*", "([s] LIKE 'x*')", "s GLOB 'x*'", oftAnyPosForNoLikeChar},
        {"s", "bc", "([s] LIKE '*bc*')", "s GLOB '*bc*'", oftAnyPosForNoLikeChar},
        {"s", "=", "Position 2: a value is missing.", nullptr},
        {"s", "abc & ", "Position 7: a value is missing.", nullptr},
        {"s", "| abc", "Position 1: a value is missing.", nullptr},
        {"s", "\"abc", "The quote at position 1 is not closed.", nullptr},
        {"s", "\"a\" b", "Position 5: only \"&\" or \"|\" may follow a quoted value.", nullptr},
        {"s", "=<abc", "Position 1: \"=<\" is not an operator", nullptr},
        // numbers: the locale's form, ranges by wildcards
        {"n", "10", "([n] = 10)", "n = 10"},
        {"n", "10 & 20", "([n] = 10) AND ([n] = 20)", "n = 10 AND n = 20"},
        {"n", "10 | 20", "([n] = 10) OR ([n] = 20)", "n IN (10, 20)"},
        {"n", ">=120 & <1000", "([n] >= 120) AND ([n] < 1000)", "n >= 120 AND n < 1000"},
        {"n", "12*", "([n] >= 120) AND ([n] < 130)", "n >= 120 AND n < 130"},
        {"n", "12**", "([n] >= 1200) AND ([n] < 1300)", "n >= 1200 AND n < 1300"},
        {"n", "-12*", "([n] > -130) AND ([n] <= -120)", "n > -130 AND n <= -120"},
        {"n", "(not null)", "([n] <>  NULL )", "n IS NOT NULL"},
        {"n", "abc", "Position 1: \"abc\" is not a number.", nullptr},
        {"n", "12*5", "Position 4: only wildcards may follow the number in \"12*5\".", nullptr},
        {"n", ">1*", "Position 2: \"1*\" is not a number.", nullptr},
        {"r", "12.*", "([r] >= 12) AND ([r] < 13)", "r >= 12 AND r < 13"},
        {"r", "1.5*", "([r] >= 1.5) AND ([r] < 1.6)", "r >= 1.5 AND r < 1.6"},
        {"r", "-125", "([r] = -125)", "r = -125"},
        {"r", "<1.55", "([r] < 1.55)", "r < 1.55"},
        // dates: a day, a year, a month; the operators at the period's ends
        {"d", "2023", "([d] >= '{2023-1-1}') AND ([d] < '{2024-1-1}')",
         "d >= '2023-01-01' AND d < '2024-01-01'"},
        {"d", "5/2023", "([d] >= '{2023-5-1}') AND ([d] < '{2023-6-1}')", "d LIKE '2023-05-%'"},
        {"d", "2023-5", "([d] >= '{2023-5-1}') AND ([d] < '{2023-6-1}')", "d LIKE '2023-05-%'"},
        {"d", ">2023", "([d] > '{2023-12-31}')", "d > '2023-12-31'"},
        {"d", ">=5.2023", "([d] >= '{2023-5-1}')", "d >= '2023-05-01'"},
        {"d", "<=5,2023", "([d] <= '{2023-5-31}')", "d <= '2023-05-31'"},
        {"d", "<>2023", "([d] < '{2023-1-1}') OR ([d] >= '{2024-1-1}')", "d NOT LIKE '2023-%'"},
        {"d", "{t:2023-5-15}", "([d] >= '{2023-5-15}') AND ([d] < '{2023-5-16}')", "d = '2023-05-15'"},
        {"d", "< {t:2023-5-15} | 2024",
         "([d] < '{2023-5-15}') OR (([d] >= '{2024-1-1}') AND ([d] < '{2025-1-1}'))",
         "d < '2023-05-15' OR d LIKE '2024-%'"},
        {"d", "<>{t:2023-5-15}", "([d] <> '{2023-5-15}')", "d <> '2023-05-15'"},
        {"d", "13/2023", "Position 1: \"13/2023\" is not a month and year.", nullptr},
        {"d", "0", "Position 1: 0 is not a year.", nullptr},
        {"d", "x", "Position 1: \"x\" is not a date, a year or a month and year.", nullptr},
        // date-times: times within the last day stay on the right side
        {"dt", "{t:2023-5-31}", "(dt >= '{2023-5-31}') AND (dt < '{2023-6-1}')", "dt LIKE '2023-05-31%'"},
        {"dt", ">2023", "(dt >= '{2024-1-1}')", "dt >= '2024-01-01'"},
        {"dt", "<=5/2023", "(dt < '{2023-6-1}')", "dt < '2023-06-01'"},
        {"dt", "<>{t:2023-5-15}", "(dt < '{2023-5-15}') OR (dt >= '{2023-5-16}')",
         "dt NOT LIKE '2023-05-15%'"},
        // booleans and times
        {"b", "TRUE", "(b = true)", "b = 1"},
        {"b", "0", "(b = false)", "b = 0"},
        {"b", "yes", "Position 1: \"yes\" is not true or false.", nullptr},
        {"tm", "12:00", "(tm = '12:00:00')", "tm = '12:00:00'"},
        {"tm", ">=12:00 | <9:00", "(tm >= '12:00:00') OR (tm < '9:00:00')",
         "tm >= '12:00:00' OR tm < '09:00:00'"},
        {"tm", "noon", "Position 1: \"noon\" is not a time.", nullptr},
        // lookup columns: the shown values matched by their own type's grammar, the keys filtered
        {"nm", "ten", "([n] = 10) OR ([n] = 12)", "{nm} GLOB '*ten*'"},
        {"nm", "<>ten", "([n] = 20) OR ([n] = 120) OR ([n] = 13) OR ([n] = 999)", "{nm} <> 'ten'"},
        {"nm", "\"a&b\" | O'Brien", "([n] = 120) OR ([n] = 13)", "{nm} GLOB '*a&b*' OR {nm} = 'O''Brien'"},
        {"nm", "twenty", "([n] =  NULL ) AND ([n] <>  NULL )", "0"},
        {"nm", "(null)",
         "([n] =  NULL ) OR (NOT (([n] = 10) OR ([n] = 20) OR ([n] = 120) OR ([n] = 12) OR ([n] = 13) OR "
         "([n] = 999)))",
         "{nm} IS NULL"},
        {"nm", "is not null",
         "([n] = 10) OR ([n] = 20) OR ([n] = 120) OR ([n] = 12) OR ([n] = 13) OR ([n] = 999)",
         "{nm} IS NOT NULL"},
        {"nm", "ten", "([n] = 10) OR ([n] = 12)", "{nm} = 'ten'", oftExactValue},
        {"nw", "1*", "([n] = 20) OR ([n] = 120) OR ([n] = 12)", "{nw} >= 10 AND {nw} < 20"},
        {"nw", ">=15 | 1.5", "([n] = 10) OR ([n] = 120) OR ([n] = 12) OR ([n] = 13)",
         "{nw} >= 15 OR {nw} = 1.5"},
        {"nw", "abc", "Position 1: \"abc\" is not a number.", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + ": " + c.typed);
        g.OptionsEx2.Filters.TextFilterType = c.type;
        const TField* f = t.FieldByName(c.field);
        const QString typed = dates(c.typed);
        const TextFilterResult r = ColumnTextFilter(&g, f, typed);
        if (!c.where) {
            EXPECT_TRUE(r.condition.isEmpty());
            EXPECT_TRUE(r.error.startsWith(c.condition)) << r.error.toStdString();
            // The filter in force stays; the column keeps the text with its error.
            ASSERT_TRUE(ParseTextFilter(&g, t.FieldByName("id"), "<5"));
            EXPECT_FALSE(ParseTextFilter(&g, f, typed));
            EXPECT_EQ(rows(), (QList<int>{1, 2, 3, 4}));
            EXPECT_EQ(ColumnFilterOf(&g, c.field).text, typed);
            EXPECT_EQ(ColumnFilterOf(&g, c.field).error, r.error);
            SetFilterForField(&g, nullptr, QString(), false, true, false);
            continue;
        }
        EXPECT_EQ(r.condition, dates(c.condition)) << r.error.toStdString();
        ASSERT_TRUE(ParseTextFilter(&g, f, typed)) << t.Filter().toStdString();
        EXPECT_EQ(rows(), sqlite(c.where)) << t.Filter().toStdString();
        EXPECT_TRUE(ColumnFilterOf(&g, c.field).error.isEmpty());
        // An empty text takes the column's filter away.
        EXPECT_FALSE(ParseTextFilter(&g, f, " "));
        EXPECT_FALSE(t.Filtered());
        EXPECT_TRUE(ColumnFilterOf(&g, c.field).text.isEmpty());
    }
    // Texts of several columns are joined; texts that filtered are kept in the column's history.
    g.OptionsEx2.Filters.TextFilterType = oftAnyPos;
    SetFilterForField(&g, nullptr, QString(), false, true, false);
    ASSERT_TRUE(ParseTextFilter(&g, t.FieldByName("s"), "a"));
    ASSERT_TRUE(ParseTextFilter(&g, t.FieldByName("n"), "<100"));
    ASSERT_TRUE(ParseTextFilter(&g, t.FieldByName("s"), "abc"));
    EXPECT_EQ(rows(), sqlite("s GLOB '*abc*' AND n < 100"));
    EXPECT_EQ(ColumnFilterOf(&g, "s").history, QStringList({"abc"}));
    EXPECT_EQ(ColumnFilterOf(&g, "n").history, QStringList({"<100"}));

    // A lookup column keeps its own entry and funnel; its value list selects by the shown values.
    SetFilterForField(&g, nullptr, QString(), false, true, false);
    const TField* nm = t.FieldByName("nm");
    QStringList shown;
    for (const DistinctValue& d : DistinctValues(t, nm))
        shown << d.text + ":" + QString::number(d.count);
    // A NULL key shows nothing, not the lookup record with a NULL code.
    EXPECT_EQ(shown, (QStringList{"(empty):6", "a&b twelve:1", "O'Brien:1", "ten:2", "Twenty:1"}));
    ASSERT_TRUE(ParseTextFilter(&g, nm, "ten"));
    EXPECT_EQ(ColumnCondition(&g, "nm"), "([n] = 10) OR ([n] = 12)");
    EXPECT_TRUE(ColumnCondition(&g, "n").isEmpty());
    EXPECT_EQ(g.FilteredFieldNames, "n;nm;");
    shown.clear();
    for (const DistinctValue& d : DistinctValues(t, nm))
        shown << d.text;
    EXPECT_EQ(shown, (QStringList{"ten"}));
    SetFilterForField(&g, nullptr, QString(), false, true, false);
    ASSERT_TRUE(
        SetFilterForField(&g, nm, ValuesCondition(nm, {QVariant("Twenty"), QVariant()}), false, true, false));
    EXPECT_EQ(rows(), sqlite("{nm} = 'Twenty' OR {nm} IS NULL"));
    ASSERT_TRUE(
        SetFilterForField(&g, nm, ValuesCondition(nm, {QVariant("TWENTY")}, true), false, true, false));
    EXPECT_EQ(rows(), sqlite("{nm} = 'Twenty'"));
    // A lookup that names itself as its key shows nothing instead of looking itself up without end.
    const TField* self = AddLookupField(t, "self", ftString, "self", lk.q, "code", "name");
    const QList<DistinctValue> selfValues = DistinctValues(t, self);
    ASSERT_EQ(selfValues.size(), 1);
    EXPECT_EQ(selfValues[0].text, "(empty)");
    EXPECT_EQ(selfValues[0].count, t.RecordCount());
    src.setDataSet(nullptr);
}
} // namespace

namespace {
// The condition window: each comparison's condition (typed values escaped by the builders) and its rows
// against SQLite's; a value missing or not a number keeps "Ok" off.
TEST_F(ColumnFilterTest, ConditionWindowBuildsItsComparisons) {
    struct Case {
        const char* field;
        int oper;
        const char* value;
        const char* valueTo;
        const char* condition; // empty: "Ok" stays off
        const char* where;
    } cases[] = {
        {"n", 0, "2", "", "([n] = 2)", "n = 2"},
        {"n", 1, "2", "", "([n] <> 2)", "n <> 2"},
        {"n", 5, "-1", "", "([n] <= -1)", "n <= -1"},
        {"n", 6, "1", "2", "([n]>=1) AND ([n]<=2)", "n BETWEEN 1 AND 2"},
        {"r", 3, "1.5", "", "([r] >= 1.5)", "r >= 1.5"},
        {"r", 6, "1.5", "x", "", ""},
        {"r", 0, "abc", "", "", ""},
        {"s", 0, "O'Brien", "", "([s] = 'O''Brien')", "s = 'O''Brien'"},
        {"s", 1, "abc", "", "([s] <> 'abc')", "s <> 'abc'"},
        {"s", 2, "a", "", "([s] LIKE 'a*')", "s GLOB 'a*'"},
        {"s", 3, "'b", "", "([s] LIKE '*''b*')", "s GLOB '*''b*'"},
        {"s", 3, "", "", "", ""},
        {"d", 0, "2026-01-05", "", "([d] = '{2026-1-5}')", "d = '2026-01-05'"},
        {"d", 1, "2026-01-05", "", "([d] < '{2026-1-5}')", "d < '2026-01-05'"},
        {"d", 2, "2026-01-05", "", "([d] > '{2026-1-5}')", "d > '2026-01-05'"},
        {"d", 3, "2026-01-01", "2026-01-31", "([d]>='{2026-1-1}') AND ([d]<='{2026-1-31}')",
         "d BETWEEN '2026-01-01' AND '2026-01-31'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.oper) + " " + c.value);
        const TField* f = q.FieldByName(c.field);
        TkDBGridFilterCondForm form(&grid, f, false, {});
        form.cbOper->setCurrentIndex(c.oper);
        switch (form.page()) {
        case TkDBGridFilterCondForm::pgNumbers:
            form.eNumber->setText(c.value);
            form.eNumberTo->setText(c.valueTo);
            break;
        case TkDBGridFilterCondForm::pgText:
            form.eText->setCurrentText(c.value);
            break;
        case TkDBGridFilterCondForm::pgDates:
            form.eDate->setDate(QDate::fromString(c.value, Qt::ISODate));
            form.eDateTo->setDate(QDate::fromString(c.valueTo, Qt::ISODate));
            break;
        }
        EXPECT_EQ(form.condition(), dates(c.condition));
        EXPECT_EQ(form.btOk->isEnabled(), *c.condition != 0);
        if (!*c.condition) continue;
        ASSERT_TRUE(form.ok()) << q.Filter().toStdString();
        EXPECT_EQ(ids(), sqliteIds(c.where));
    }
}

// "Filter..." in the value list closes it and opens the condition window, which offers the listed
// values; keys and clicks build the condition, joined with the other column's.
TEST_F(ColumnFilterTest, ConditionWindowFromTheValueList) {
    grid.OptionsEx2.Filters.MultiFieldFilter = true;
    grid.OptionsEx2.Filters.FunnelBtn = true;
    grid.resize(600, 300);
    grid.show();
    TkDBAction actions;
    InstallGridDialogActions(&actions);
    actions.SetActiveGrid(&grid);
    const TField* n = q.FieldByName("n");
    ASSERT_TRUE(SetFilterForField(&grid, n, "(n <> 3)", false, true, true));
    grid.setCurrentIndex(grid.model()->index(0, 1)); // s
    QStringList offered;
    QString shot;
    QTimer::singleShot(0, [&] {
        auto* list = qobject_cast<TkDBGridFilterForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(list);
        EXPECT_TRUE(list->btFilter->isEnabled());
        list->chAnd->setChecked(true);
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TkDBGridFilterCondForm*>(QApplication::activeModalWidget());
            ASSERT_TRUE(form);
            EXPECT_EQ(form->windowTitle(), "s");
            for (int i = 0; i < form->eText->count(); ++i)
                offered << form->eText->itemText(i);
            form->cbOper->setFocus();
            QTest::keyClick(form->cbOper, Qt::Key_End); // "contain"
            EXPECT_EQ(form->cbOper->currentText(), "contain");
            EXPECT_FALSE(form->btOk->isEnabled());
            QTest::keyClicks(form->eText->lineEdit(), "'b");
            QTest::mouseClick(form->btOk, Qt::LeftButton);
        });
        QTest::mouseClick(list->btFilter, Qt::LeftButton);
    });
    actions.RefreshAction();
    actions.action("acfFilterDlg")->trigger();
    EXPECT_EQ(offered.size(), 11); // the distinct texts without the NULL entry
    EXPECT_TRUE(offered.contains("O'Brien"));
    EXPECT_EQ(ids(), sqliteIds("n <> 3 AND s GLOB '*''b*'"));
    EXPECT_EQ(grid.FilteredFieldNames, "n;s;");
}
} // namespace

// The drop-down list style: the cell's editor only offers the column's values; picking one filters by it,
// the empty entry clears the column.
TEST_F(ColumnFilterTest, TextFilterRowDropDownList) {
    TkDBGridFilters& o = grid.OptionsEx2.Filters;
    o.TextBar = true;
    o.TextComboStyle = tcsDropDownList;
    grid.FiltersChanged();
    grid.resize(700, 320);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {}, grid.TextBarRect(1).center());
    TextFilterEditor* ed = grid.TextFilterEditorWidget();
    ASSERT_TRUE(ed);
    EXPECT_FALSE(ed->isEditable());
    EXPECT_EQ(ed->itemText(0), "");
    EXPECT_EQ(ed->itemText(1), "50%");
    QTest::keyClick(ed, Qt::Key_Down);
    EXPECT_EQ(ids(), sqliteIds("s = '50%'"));
    QTest::keyClick(ed, Qt::Key_Up);
    EXPECT_FALSE(q.Filtered());
    EXPECT_TRUE(ColumnCondition(&grid, "s").isEmpty());
    // A picked value selects the records holding exactly it: its wildcard is no pattern.
    QTest::keyClick(ed, Qt::Key_End);
    EXPECT_EQ(ed->currentText(), "xay");
    EXPECT_EQ(ids(), sqliteIds("s = 'xay'"));
    QTest::keyClick(ed, Qt::Key_Up);
    EXPECT_EQ(ed->currentText(), "x*y");
    EXPECT_EQ(ids(), sqliteIds("s = 'x*y'"));
    EXPECT_EQ(ColumnFilterOf(&grid, "s").text, "x*y");
    // Alt+Left and Ctrl+Tab move the editor; back on s it shows the picked value.
    QTest::keyClick(ed, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(ed->column(), 0);
    QTest::keyClick(ed, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(ed->column(), 1);
    EXPECT_EQ(ed->currentText(), "x*y");
    // A text that filtered before and is no listed value is offered as it is; Enter keeps its filter.
    QTest::keyClick(ed, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !grid.TextFilterEditorWidget(); }));
    ASSERT_TRUE(ParseTextFilter(&grid, q.FieldByName("s"), "x*"));
    QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {}, grid.TextBarRect(1).center());
    ed = grid.TextFilterEditorWidget();
    ASSERT_TRUE(ed);
    EXPECT_EQ(ed->currentText(), "x*");
    QTest::keyClick(ed, Qt::Key_Return);
    EXPECT_EQ(ids(), sqliteIds("s GLOB '*x*'"));
}

namespace {
// The text filter row driven by clicks and keys: a cell's editor filters on Enter or after the pause,
// keeps a bad text red with its message and the filter in force, moves between columns, clears one
// column by its mark and all by the corner cell; the footer shows and edits the whole filter; the
// column filters go to the settings store and come back.
TEST_F(ColumnFilterTest, TextFilterRowFooterAndStore) {
    TkDBGridFilters& o = grid.OptionsEx2.Filters;
    o.TextBar = true;
    o.FilterPanel = true;
    o.SetFilterDelay = 30;
    grid.FiltersChanged();
    grid.resize(700, 320);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QHeaderView* h = grid.horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, grid.TextBarRect(1).center());
    TextFilterEditor* ed = grid.TextFilterEditorWidget();
    ASSERT_TRUE(ed);
    EXPECT_EQ(ed->column(), 1);
    QTest::keyClicks(ed, "x*y");
    QTest::keyClick(ed, Qt::Key_Return);
    EXPECT_EQ(ids(), sqliteIds("s GLOB '*x*y*'"));
    EXPECT_EQ(grid.FilteredFieldNames, "s;");
    // To the next column; a text that is not a number keeps the filter and shows why.
    QTest::keyClick(ed, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(ed->column(), 2);
    QTest::keyClicks(ed, "1x");
    QTest::keyClick(ed, Qt::Key_Return);
    EXPECT_EQ(ids(), sqliteIds("s GLOB '*x*y*'"));
    EXPECT_EQ(ColumnFilterOf(&grid, "n").error, "Position 1: \"1x\" is not a number.");
    EXPECT_EQ(ed->toolTip(), ColumnFilterOf(&grid, "n").error);
    // Corrected, it filters after the pause.
    QTest::keyClick(ed, Qt::Key_Backspace);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ColumnCondition(&grid, "n") == "([n] = 1)"; }));
    EXPECT_EQ(ids(), sqliteIds("s GLOB '*x*y*' AND n = 1"));
    EXPECT_TRUE(ColumnFilterOf(&grid, "n").error.isEmpty());
    QTest::keyClick(ed, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !grid.TextFilterEditorWidget(); }));
    // The footer shows the dataset's filter; edited there, Enter applies it.
    GridFilterPanel* panel = grid.FilterPanel();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->lblFilter->text(), q.Filter());
    // The clear mark of s takes that column's filter away.
    const QRect sCell = grid.TextBarRect(1);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(sCell.right() - 6, sCell.center().y()));
    EXPECT_EQ(ids(), sqliteIds("n = 1"));
    EXPECT_TRUE(ColumnFilterOf(&grid, "s").text.isEmpty());
    QTest::mouseClick(panel, Qt::LeftButton);
    ASSERT_TRUE(panel->eFilter->isVisible());
    panel->eFilter->lineEdit()->selectAll();
    QTest::keyClicks(panel->eFilter->lineEdit(), "(id < 3) OR (s = 'abc')");
    QTest::keyClick(panel->eFilter->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(ids(), sqliteIds("id < 3 OR s = 'abc'"));
    EXPECT_FALSE(panel->eFilter->isVisible());
    EXPECT_EQ(FilterPanelItems(&grid).first(), "(id < 3) OR (s = 'abc')");
    EXPECT_EQ(grid.FilteredFieldNames, "id;s;");
    // A bad text there is shown and changes nothing.
    QTest::mouseClick(panel, Qt::LeftButton);
    panel->eFilter->lineEdit()->selectAll();
    QTest::keyClicks(panel->eFilter->lineEdit(), "id < (");
    QTest::keyClick(panel->eFilter->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(ids(), sqliteIds("id < 3 OR s = 'abc'"));
    QTest::keyClick(panel->eFilter->lineEdit(), Qt::Key_Escape);

    // Stored and read back into a fresh grid on the same data.
    ASSERT_TRUE(ParseTextFilter(&grid, q.FieldByName("s"), "abc | x*"));
    TempDir tmp;
    {
        TPropSaveFile store;
        store.FileName = tmp.path("tabulo.ini");
        store.Loaded();
        SaveColumnFilters(store, &grid, "main.grData.Filter");
        ASSERT_TRUE(store.SaveFile());
    }
    const QString filter = q.Filter();
    const QList<int> rows = ids();
    SetFilterForField(&grid, nullptr, QString(), false, true, false);
    TkDBGrid other;
    other.setDataSource(&src);
    {
        TPropSaveFile store;
        store.FileName = tmp.path("tabulo.ini");
        store.Loaded();
        ReadColumnFilters(store, &other, "main.grData.Filter");
    }
    EXPECT_EQ(q.Filter(), filter);
    EXPECT_EQ(ids(), rows);
    EXPECT_EQ(ColumnFilterOf(&other, "s").text, "abc | x*");
    EXPECT_EQ(ColumnFilterOf(&other, "n").condition, "([n] = 1)");
    EXPECT_EQ(ColumnFilterOf(&other, "n").history, QStringList());
    EXPECT_EQ(ColumnFilterOf(&other, "s").history, QStringList({"abc | x*", "x*y"}));
    EXPECT_EQ(FilterPanelItems(&other).first(), filter);
    // The corner cell of the text row clears every column filter.
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, grid.TextBarRect(1).center());
    auto* corner = grid.findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_TRUE(corner);
    QTest::mouseClick(corner, Qt::LeftButton, {},
                      QPoint(corner->width() / 2, grid.TextBarRect(1).center().y()));
    EXPECT_FALSE(q.Filtered());
    EXPECT_TRUE(GetColumnFilterString(&grid).isEmpty());
}
} // namespace

namespace {
// Typing in a grid that would not edit the cell jumps to the first record whose current column begins
// with the text; Ctrl+Right filters by it and Ctrl+Left switches the filter off; where typing edits,
// the key goes to the cell.
TEST_F(ColumnFilterTest, TypingSearchesTheCurrentColumn) {
    grid.ReadOnly = true;
    grid.resize(600, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setCurrentIndex(grid.model()->index(0, 1)); // s
    QTest::keyClicks(&grid, "X");
    EXPECT_EQ(q.RecNo(), 4); // x*y: letter case ignored
    QTest::keyClicks(&grid, "a");
    EXPECT_EQ(q.RecNo(), 11); // xay
    EXPECT_EQ(grid.SearchHint(), "Xa\n* Ctrl+Right to filter");
    QTest::keyClick(&grid, Qt::Key_Backspace);
    EXPECT_EQ(q.RecNo(), 4);
    QTest::keyClick(&grid, Qt::Key_Escape);
    QTest::keyClicks(&grid, "x");
    QTest::keyClick(&grid, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(ids(), sqliteIds("s GLOB '*x*'"));
    EXPECT_EQ(grid.SearchHint(), "x\n* Filtered, Ctrl+Left to reset");
    QTest::keyClick(&grid, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_FALSE(q.Filtered());
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_TRUE(grid.SearchText().isEmpty());
    // Nothing begins with it: the record stays.
    QTest::keyClicks(&grid, "qq");
    EXPECT_EQ(q.RecNo(), 4);
    QTest::keyClick(&grid, Qt::Key_Escape);
    // A number column filters by the found record's value.
    grid.setCurrentIndex(grid.model()->index(q.RecNo() - 1, 2)); // n
    QTest::keyClicks(&grid, "3");
    EXPECT_EQ(q.RecNo(), 5);
    QTest::keyClick(&grid, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(ids(), sqliteIds("n = 3"));
    EXPECT_EQ(grid.SearchHint(), "3\n* Filtered, Ctrl+Left to reset");
    QTest::keyClick(&grid, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_Escape);
    // Where typing edits the cell, it does.
    grid.ReadOnly = false;
    QTest::keyClicks(&grid, "7");
    EXPECT_TRUE(grid.SearchText().isEmpty());
    EXPECT_TRUE(grid.isEditorOpen());
    grid.CancelEdit();
    grid.ReadOnly = true;
    // A lookup column filters by the keys whose shown value holds the text.
    LookupTable lk(con,
                   "CREATE TABLE lk (code INTEGER, name TEXT); INSERT INTO lk VALUES (1, 'one'), (2, 'two'),"
                   " (3, 'three'), (NULL, 'nothing');");
    AddLookupField(q, "nm", ftString, "n", lk.q, "code", "name");
    grid.setCurrentIndex(grid.model()->index(0, q.FieldCount() - 1));
    QTest::keyClicks(&grid, "t");
    EXPECT_EQ(q.RecNo(), 2); // two
    QTest::keyClick(&grid, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(q.Filter(), "([n] = 2) OR ([n] = 3)");
    EXPECT_EQ(ids(), sqliteIds("(SELECT name FROM lk WHERE code = v.n ORDER BY rowid LIMIT 1) GLOB '*t*'"));
    QTest::keyClick(&grid, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_Escape);
}
} // namespace
