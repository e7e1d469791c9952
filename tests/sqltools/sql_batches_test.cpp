// The command window's engine: the query test, the GO batches, the templates and the batch run
// against real databases.
#include "../data/provider_fixture.h"
#include "connection.h"
#include "query.h"
#include "script_generator.h"
#include "sql_batches.h"
#include "sql_templates.h"
#include "sqltools_fixture.h"

#include <gtest/gtest.h>

namespace {
struct QueryCase {
    const char* text;
    bool query;
};

TEST(SqlText, FirstWordDecidesQueryOrScript) {
    const QueryCase cases[] = {
        {"select * from t", true},
        {"SELECT\n* from t", true}, // the first word ends at the line break
        {"Select\r\n*\r\nfrom t", true},
        {"select\t* from t", true},
        {"\n\r\nselect * from t", true}, // empty lines before the query
        {"   select * from t", true},    // leading blanks
        {"with x as (select 1) select * from x", true},
        {"WITH\nx as (select 1) select * from x", true},
        {"-- rows\nselect * from t", false}, // a comment line first: a script
        {"selection", false},
        {"update t set a = 1", false},
        {"insert into t select * from u", false},
    };
    for (const QueryCase& c : cases)
        EXPECT_EQ(IsRowQuery(QString::fromUtf8(c.text)), c.query) << c.text;
}

struct SplitCase {
    const char* script;
    std::vector<QString> batches; // "line:text" of each batch
};

TEST(SqlText, GoLinesSplitBatches) {
    const SplitCase cases[] = {
        {"a\nGO\nb", {"1:a", "3:b"}},
        {"a\ngo\nb\n  Go  \nc", {"1:a", "3:b", "5:c"}},
        {"a\r\n\tGO\r\nb\r\n", {"1:a\r", "3:b\r"}},
        {"a\nGO 5\nb", {"1:a\nGO 5\nb"}}, // a count after GO is the database's business
        {"a\nGOTO x\nb", {"1:a\nGOTO x\nb"}},
        {"GO\n\n  \nGO\na\nGO\n", {"5:a"}}, // blank batches are not run
        {"\n\nx\n  y\nGO", {"3:\n\nx\n  y"}},
        {"", {}},
        {"x = 'a\n  GO\nb'", {"1:x = 'a", "3:b'"}},
    };
    for (const SplitCase& c : cases) {
        std::vector<QString> got;
        for (const SqlBatch& b : SplitSqlBatches(QString::fromUtf8(c.script)))
            got.push_back(QString::number(b.firstLine) + ":" + b.text);
        EXPECT_EQ(got, c.batches) << c.script;
    }
}

TEST(SqlText, LinesKeepTheirIndentation) {
    const auto batches = SplitSqlBatches(QStringLiteral("INSERT INTO t VALUES ('a\n   b')\nGO\n"));
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].text, QStringLiteral("INSERT INTO t VALUES ('a\n   b')"));
    EXPECT_EQ(batches[0].firstLineText(), QStringLiteral("INSERT INTO t VALUES ('a"));
}

struct TemplateCase {
    const char* tmpl;
    const char* table;
    QStringList fields;
    const char* expected;
};

TEST(SqlTemplates, PlaceholdersAreFilled) {
    SettingsGuard guard;
    const Dialect mssql(DialectKind::MSSQL);
    const TemplateCase cases[] = {
        {"SELECT <Fields> FROM <Table>",
         "Order Details",
         {"Name", "Unit Price"},
         "SELECT Name, [Unit Price] FROM [Order Details]"},
        {"ORDER BY <Table>.<Field>",
         "Orders",
         {"Name", "Unit Price"},
         "ORDER BY Orders.Name ORDER BY Orders.[Unit Price]"},
        {"UPDATE <Table> SET <Field> = ??? WHERE <Field> = ???",
         "Items",
         {"Qty"},
         "UPDATE Items SET Qty = ??? WHERE Qty = ???"},
        {"select * from <TABLE> where <field> = 1", "Items", {"Qty"}, "select * from Items where Qty = 1"},
        {"SELECT * FROM <Table>", "", {}, "SELECT * FROM []"}, // no table: the empty name is quoted
        {"WHERE <Table>.<Field>= ???", "Items", {}, ""},       // no field: nothing but the blank
        {"SELECT <Fields> FROM <Table>", "Items", {"*"}, "SELECT * FROM Items"},
        {"SELECT Count(*) AS Pocet FROM <Table>", "Order", {}, "SELECT Count(*) AS Pocet FROM [Order]"},
    };
    for (const TemplateCase& c : cases)
        EXPECT_EQ(ExpandSqlTemplate(c.tmpl, c.table, c.fields, mssql), QString::fromUtf8(c.expected))
            << c.tmpl;
    // Other dialects quote every name their own way.
    EXPECT_EQ(ExpandSqlTemplate("SELECT <Fields> FROM <Table>", "Order Details", {"Name"},
                                Dialect(DialectKind::PostgreSQL)),
              QStringLiteral("SELECT \"Name\" FROM \"Order Details\""));
    EXPECT_EQ(DefaultSqlTemplates().size(), 13);
}

TEST(SqlTemplates, InsertionAndFilter) {
    EXPECT_EQ(InsertionText("t", false), QStringLiteral("t "));
    EXPECT_EQ(InsertionText("t", true), QStringLiteral("t \n"));
    const QStringList names{"Orders", "Order Details", "Customers", "ORDERLY"};
    EXPECT_EQ(FilterNames(names, ""), names);
    EXPECT_EQ(FilterNames(names, "order"), (QStringList{"Orders", "Order Details", "ORDERLY"}));
    EXPECT_EQ(FilterNames(names, "xyz"), QStringList());
}

// Batches against each real database.
class SqlBatchRun : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        const ProviderFixture& p = ProviderByName(GetParam());
        if (!p.unavailable.isEmpty()) GTEST_SKIP() << p.unavailable.toStdString();
        con.ConnectionString =
            p.create("CREATE TABLE t (id INTEGER NOT NULL, name VARCHAR(20));"
                     "INSERT INTO t (id, name) VALUES (1, 'a'); INSERT INTO t (id, name) VALUES (2, 'b');");
        con.Open();
    }
    QStringList rows() {
        TADOQuery q(&con);
        q.SQL = "SELECT id, name FROM t ORDER BY id";
        q.Open();
        QStringList out;
        for (q.First(); !q.Eof(); q.Next())
            out << q.Fields(0)->AsString() + "=" + q.Fields(1)->AsString();
        return out;
    }
    TADOConnection con;
};

TEST_P(SqlBatchRun, BatchesSumTheirAffectedRows) {
    std::vector<qint64> each;
    const qint64 total = RunSqlBatches(con,
                                       "INSERT INTO t (id, name) VALUES (3, 'c')\n"
                                       "go\n"
                                       "UPDATE t SET name = 'x'\n"
                                       "  GO  \n"
                                       "DELETE FROM t WHERE id = 1\n",
                                       [&](int number, const SqlBatch&, qint64 rows) {
                                           EXPECT_EQ(number, int(each.size()) + 1);
                                           each.push_back(rows);
                                       });
    EXPECT_EQ(each, (std::vector<qint64>{1, 3, 1}));
    EXPECT_EQ(total, 5);
    EXPECT_EQ(rows(), (QStringList{"2=x", "3=x"}));
}

TEST_P(SqlBatchRun, EveryStatementOfABatchRuns) {
    EXPECT_EQ(RunSqlBatches(con, "INSERT INTO t (id, name) VALUES (3, 'c');\n"
                                 "INSERT INTO t (id, name) VALUES (4, 'd');\n"),
              2);
    EXPECT_EQ(rows().size(), 4);
}

// A script of the rows in the connection's own dialect, run on it, gives the same rows back: quotes,
// backslashes, line breaks and tabs in texts survive each database's literal rules.
TEST_P(SqlBatchRun, ScriptOfTheRowsGivesThemBack) {
    con.Execute("UPDATE t SET name = ? WHERE id = 1", {QStringLiteral("O'B \\ C:\\d\\n")});
    con.Execute("UPDATE t SET name = ? WHERE id = 2", {QStringLiteral("a\r\nb\tž\\'")});
    con.Execute("INSERT INTO t (id, name) VALUES (3, NULL)");
    const QStringList before = rows();
    TADOQuery q(&con);
    q.SQL = "SELECT id, name FROM t ORDER BY id";
    q.Open();
    ScriptSettings settings;
    settings.valueFields = QStringList{"id", "name"};
    settings.generateDeleteAll = true;
    const QStringList script = GenerateSqlScript(q, "t", settings, con.dialect());
    q.Close();
    RunSqlBatches(con, script.join("\r\n"));
    EXPECT_EQ(rows(), before);
}

TEST_P(SqlBatchRun, AFailingBatchStopsTheRunNamingItself) {
    try {
        RunSqlBatches(con, "UPDATE t SET name = 'first'\n"
                           "GO\n"
                           "\n"
                           "  INSERT INTO missing_table (id) VALUES (1)\n"
                           "GO\n"
                           "DELETE FROM t\n");
        FAIL() << "no error";
    } catch (const ESqlBatchError& e) {
        EXPECT_EQ(e.Number, 2);
        EXPECT_TRUE(
            e.Message.startsWith("Batch 2 (line 4: INSERT INTO missing_table (id) VALUES (1)) failed: "))
            << e.Message.toStdString();
    }
    // The first batch stays executed, the third never ran.
    EXPECT_EQ(rows(), (QStringList{"1=first", "2=first"}));
    // A NUL ends the text for drivers: refused naming its line before anything runs, also by the
    // provider itself.
    const QString nul =
        QStringLiteral("UPDATE t SET name = 'x'\nGO\nDELETE FROM t WHERE id = 1\nOR name = '") + QChar(0) +
        "'\n";
    EXPECT_THROW(
        try { RunSqlBatches(con, nul); } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message.contains("NUL character in line 4")) << e.Message.toStdString();
            throw;
        },
        EDatabaseError);
    EXPECT_THROW(
        con.provider().executeBatch(QStringLiteral("DELETE FROM t WHERE id = 1") + QChar(0) + " OR 1 = 1"),
        EDatabaseError);
    EXPECT_EQ(rows(), (QStringList{"1=first", "2=first"}));
}

INSTANTIATE_TEST_SUITE_P(Providers, SqlBatchRun, ::testing::ValuesIn(ProviderNames()), [](const auto& info) {
    QString n = info.param;
    return n.replace('-', '_').toStdString();
});
} // namespace
