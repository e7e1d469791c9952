// The PostgreSQL provider against the test server: every type read exactly through both ways rows
// come in (COPY and row by row), the server's errors, a lost connection, time-outs; and the statement
// text it sends (parameter marks, several statements) without a server.
#include "connection.h"
#include "exceptions.h"
#include "pg_statement.h"
#include "provider_fixture.h"
#include "query.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace {
QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.Message;
    }
    return QStringLiteral("<no error>");
}

TEST(PgStatements, MarksOutsideLiteralsAreNumbered) {
    struct Case {
        const char* sql;
        const char* text;
        int marks;
        bool several, returning;
        const char* kept; // the text up to where the statement ends
    };
    const Case cases[] = {
        {"SELECT ? , '?', \"a?\" FROM t WHERE x = ?", "SELECT $1 , '?', \"a?\" FROM t WHERE x = $2", 2, false,
         false, nullptr},
        {"SELECT 'it''s ?' -- what?\n, ?", "SELECT 'it''s ?' -- what?\n, $1", 1, false, false, nullptr},
        {"SELECT E'\\'?', $$ ? $$, $f$ ?; $f$, ? /* ? /* ? */ */",
         "SELECT E'\\'?', $$ ? $$, $f$ ?; $f$, $1 /* ? /* ? */ */", 1, false, false,
         "SELECT E'\\'?', $$ ? $$, $f$ ?; $f$, $1"},
        {"INSERT INTO t VALUES (?);  -- done\n", "INSERT INTO t VALUES ($1);  -- done\n", 1, false, false,
         "INSERT INTO t VALUES ($1)"},
        {"UPDATE t SET a = 1; DELETE FROM t RETURNING *", "UPDATE t SET a = 1; DELETE FROM t RETURNING *", 0,
         true, true, nullptr},
        {"SELECT 'returning; x'", "SELECT 'returning; x'", 0, false, false, nullptr},
    };
    for (const Case& c : cases) {
        PgStatement st = ScanPgStatement(QString::fromUtf8(c.sql), true);
        EXPECT_EQ(st.text, QString::fromUtf8(c.text)) << c.sql;
        EXPECT_EQ(st.marks, c.marks) << c.sql;
        EXPECT_EQ(st.several, c.several) << c.sql;
        EXPECT_EQ(st.returning, c.returning) << c.sql;
        EXPECT_EQ(st.text.left(st.end), QString::fromUtf8(c.kept ? c.kept : c.text)) << c.sql;
    }
}

class PgProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ProviderFixture& p = ProviderByName("postgresql");
        if (!p.unavailable.isEmpty()) GTEST_SKIP() << p.unavailable.toStdString();
        connString = p.create("CREATE TYPE mood AS ENUM ('sad', 'happy');"
                              "CREATE TABLE t (id INTEGER PRIMARY KEY, m mood);"
                              "INSERT INTO t VALUES (1, 'happy');");
        con.ConnectionString = connString;
        con.Open();
    }
    QString connString;
    TADOConnection con;
};

TEST_F(PgProviderTest, TypesMapExactlyWhicheverWayRowsCome) {
    struct Case {
        const char* expr;
        TFieldType type;
        const char* text; // AsString; nullptr: NULL
    };
    const Case cases[] = {
        {"12345678901234567890.123456789::numeric", ftWideString, "12345678901234567890.123456789"},
        {"1.5::numeric(30,10)", ftFMTBcd, "1.5"},
        {"12.25::numeric(10,2)", ftBCD, "12.25"},
        {"'NaN'::numeric", ftFMTBcd, "nan"},
        {"9007199254740993::int8", ftLargeint, "9007199254740993"},
        {"1e300::float8", ftFloat, "1e+300"},
        {"'\\x00ff41'::bytea", ftBlob, nullptr},
        {"'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid", ftGuid, "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"},
        {"'{\"a\": [1, 2]}'::jsonb", ftWideMemo, "{\"a\": [1, 2]}"},
        {"ARRAY[1, 2, NULL]", ftWideString, "{1,2,NULL}"},
        {"'happy'::mood", ftWideString, "happy"},
        {"'1 day 02:03:04.5'::interval", ftWideString, "1 day 02:03:04.5"},
        {"'2024-01-02 10:00:00.25+00'::timestamptz", ftDateTime, "2024-01-02 11:00:00.250"},
        {"'2024-02-29 23:59:59.999'::timestamp", ftDateTime, "2024-02-29 23:59:59.999"},
        {"'24:00:00'::time", ftTime, "00:00:00"},
        {"E'tab\\there\\nline \\\\ back'", ftWideString, "tab\there\nline \\ back"},
        {"'Žluťoučký 😀'::varchar(20)", ftWideString, "Žluťoučký 😀"},
        {"NULL::int4", ftInteger, nullptr},
        {"true", ftBoolean, "True"},
        {"false", ftBoolean, "False"},
        {"(-32768)::int2", ftSmallint, "-32768"},
        {"4000000000::oid", ftLargeint, "4000000000"},
        {"1.1::float4", ftSingle, "1.1"},
        {"-12345678901234567890.000100", ftWideString, "-12345678901234567890.000100"},
        {"100000000000000000000::numeric", ftWideString, "100000000000000000000"},
        {"0.000000000000000000001234567890123456", ftWideString, "0.000000000000000000001234567890123456"},
        {"123456789.123456789000::numeric(40,12)", ftWideString, "123456789.123456789000"},
        {"0::numeric(40,3)", ftFMTBcd, "0"},
        {"(-0.5)::numeric(10,2)", ftBCD, "-0.5"},
        {"123456.7891::numeric(12,5)", ftBCD, "123456.7891"},
        {"0.000000012::numeric(12,10)", ftBCD, "1.2e-08"},
        {"999999999999999::numeric", ftFMTBcd, "999999999999999"},
        {"99999999999.9999::numeric", ftFMTBcd, "99999999999.9999"},
        {"-99999999999.99999::numeric", ftWideString, "-99999999999.99999"},
        {"1.50000000000000000000000::numeric", ftFMTBcd, "1.5"},
        {"0.1::numeric(40,30)", ftFMTBcd, "0.1"},
        {"'0001-01-01'::date", ftDate, "0001-01-01"},
        {"'1899-12-30'::date", ftDate, "1899-12-30"},
        {"'1999-12-31 23:59:59.9995'::timestamp", ftDateTime, "1999-12-31 23:59:59.999"},
        {"'1850-06-15 12:00'::timestamp", ftDateTime, "1850-06-15 12:00:00"},
        {"'9999-12-31 23:59:59.999999'::timestamp", ftDateTime, "9999-12-31 23:59:59.999"},
        {"'23:59:59.9999'::time", ftTime, "23:59:59.999"},
        {"'ab'::char(4)", ftFixedChar, "ab  "},
        {"'pg_class'::name", ftWideString, "pg_class"},
        {"'{\"a\": 1}'::json", ftWideMemo, "{\"a\": 1}"},
        {"''", ftWideString, ""},
    };
    con.Execute("SET TimeZone = 'Europe/Prague'");
    // COPY comes in the binary form unless a column's type has no binary reader (an interval here);
    // parameters take the row-by-row way.
    const char* ways[] = {"COPY", "text COPY", "row by row"};
    for (const char* way : ways) {
        for (const Case& c : cases) {
            TADOQuery q(&con);
            q.SQL = QStringLiteral("SELECT %1 AS v").arg(QString::fromUtf8(c.expr));
            if (way == ways[1]) q.SQL += ", interval '1 day' AS textual";
            if (way == ways[2]) {
                q.SQL += " WHERE ? = 1";
                q.Parameters = {1};
            }
            const std::string what = std::string(c.expr) + " (" + way + ")";
            ASSERT_NO_THROW(q.Open()) << what;
            ASSERT_EQ(q.RecordCount(), 1) << what;
            TField* f = q.Fields(0);
            EXPECT_EQ(f->DataType, c.type) << what;
            if (c.type == ftBlob)
                EXPECT_EQ(f->AsVariant().toByteArray(), QByteArray("\x00\xff\x41", 3)) << what;
            else if (!c.text)
                EXPECT_TRUE(f->IsNull()) << what;
            else
                EXPECT_EQ(f->AsString(), QString::fromUtf8(c.text)) << what;
        }
    }
}

TEST_F(PgProviderTest, NumericsTurnIntoTextOnceADoubleCannotHoldThem) {
    TADOQuery q(&con);
    q.SQL =
        "SELECT v FROM (VALUES (1, 2.5::numeric), (2, NULL), (3, 0.1234567890123456789)) x(i, v) ORDER BY i";
    q.Open();
    EXPECT_EQ(q.Fields(0)->DataType, ftWideString);
    QStringList seen;
    for (q.First(); !q.Eof(); q.Next())
        seen << (q.Fields(0)->IsNull() ? "-" : q.Fields(0)->AsString());
    EXPECT_EQ(seen, QStringList({"2.5", "-", "0.1234567890123456789"}));
}

TEST_F(PgProviderTest, ServerErrorsLostConnectionsAndTimeOuts) {
    struct Case {
        const char* sql;
        QStringList parts;
    };
    const Case cases[] = {
        // Values the program cannot hold; the connection stays usable for the next statement.
        {"SELECT '-infinity'::timestamp AS at", {"Column \"at\"", "'-infinity' is not a date and time"}},
        {"SELECT '10000-01-01'::date AS d", {"'10000-01-01' is not a date"}},
        {"SELECT '0044-03-15 BC'::date AS d, 1::int4 AS i", {"'0044-03-15 BC' is not a date"}},
        {"SELECT * FROM nosuch", {"relation \"nosuch\" does not exist", "[SQLSTATE 42P01]"}},
        {"SELECT 1/0", {"division by zero", "[SQLSTATE 22012]"}},
        {"INSERT INTO t VALUES (1, 'sad')",
         {"duplicate key", "23505", "Detail: Key (id)=(1) already exists."}},
        {"SELECT 'x'::mood", {"invalid input value for enum mood", "22P02"}},
        {"SELECT 'infinity'::date", {"Column \"date\"", "'infinity' is not a date"}},
    };
    for (const Case& c : cases) {
        QString msg = errorOf([&] {
            TADOQuery q(&con);
            q.SQL = c.sql;
            q.Open();
        });
        for (const QString& part : c.parts)
            EXPECT_TRUE(msg.contains(part)) << c.sql << ": " << msg.toStdString();
    }
    // The client library cannot read the description of more parameters than 7498: such a command is
    // refused with a clear message instead of losing the connection.
    for (int marks : {7498, 7499}) {
        QStringList qs(marks, QStringLiteral("?"));
        TADOQuery q(&con);
        q.SQL = QStringLiteral("SELECT count(*) AS n FROM t WHERE id IN (%1)").arg(qs.join(','));
        q.Parameters = QVariantList(marks, 1);
        const QString msg = errorOf([&] { q.Open(); });
        if (marks == 7498) {
            EXPECT_EQ(msg, "<no error>");
            EXPECT_EQ(q.Fields(0)->AsInteger(), 1);
        } else {
            EXPECT_TRUE(msg.contains("7499 parameter marks")) << msg.toStdString();
        }
        EXPECT_EQ(con.Execute("UPDATE t SET m = 'happy'"), 1); // still usable
    }

    // A failed statement inside a transaction: the commit says the work was rolled back.
    con.BeginTrans();
    EXPECT_NE(errorOf([&] { con.Execute("INSERT INTO t VALUES (1, 'sad')"); }), "<no error>");
    EXPECT_TRUE(errorOf([&] { con.CommitTrans(); }).contains("rolled back"));

    con.CommandTimeout = 1;
    TADOConnection slow;
    slow.ConnectionString = connString;
    slow.CommandTimeout = 1;
    slow.Open();
    EXPECT_TRUE(errorOf([&] { slow.Execute("SELECT pg_sleep(5)"); }).contains("57014"));
    EXPECT_EQ(slow.Execute("UPDATE t SET m = 'sad'"), 1); // still usable

    // The server ends the session in the middle of a result.
    TADOQuery big(&slow);
    big.SQL = "SELECT g, repeat('x', 100) FROM generate_series(1, 3000000) g";
    big.OnFetchProgress = [&](qint64) {
        con.Execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE pid <> pg_backend_pid() "
                    "AND datname = current_database()");
        return true;
    };
    TField* calc = big.addVirtualField("calc", ftInteger, fkCalculated);
    QString msg = errorOf([&] { big.Open(); });
    EXPECT_TRUE(msg.contains("lost") || msg.contains("terminating connection")) << msg.toStdString();
    // The rows read before the loss stay, as many as the message says, each one whole.
    ASSERT_TRUE(big.Active());
    EXPECT_GE(big.RecordCount(), kFetchProgressRows);
    EXPECT_TRUE(msg.contains(QStringLiteral("Reading stopped after %1 rows").arg(big.RecordCount())))
        << msg.toStdString();
    EXPECT_EQ(big.FindField("calc"), calc);
    big.Last();
    EXPECT_EQ(big.Fields(0)->AsInteger(), big.RecordCount());
    EXPECT_EQ(big.Fields(1)->AsString(), QString(100, 'x'));
    EXPECT_TRUE(errorOf([&] { slow.Execute("SELECT 1"); }).contains("lost"));
}

TEST_F(PgProviderTest, ScriptsAndWriteBack) {
    TADOQuery q(&con);
    q.SQL = "CREATE TEMP TABLE s (n int); INSERT INTO s VALUES (1), (2); SELECT n FROM s ORDER BY n";
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(con.Execute("INSERT INTO t (id, m) VALUES (?, ?)", {2, "sad"}), 1);
    TADOQuery t(&con);
    t.SQL = "SELECT id AS key, m FROM t ORDER BY id";
    t.Open();
    EXPECT_EQ(t.FieldByName("key")->BaseColumn, "id"); // renamed in the select list
    t.Last();
    t.Edit();
    t.FieldByName("m")->setAsString("happy");
    t.Post();
    EXPECT_EQ(con.Execute("DELETE FROM t WHERE m = ?", {"happy"}), 2);
}
} // namespace
