// tabulo-cli sql: GO batches from a file, rows affected per batch, the failing batch named.
#include "test_util.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
class CliSql : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(dir.path("db.sqlite"), "CREATE TABLE t (id INTEGER, name TEXT);"
                                            "INSERT INTO t VALUES (1, 'a'), (2, 'b');");
        conn = "Provider=SQLite;Data Source=" + dir.path("db.sqlite");
    }
    QString file(const QByteArray& sql) {
        const QString path = dir.path("run.sql");
        WriteFile(path, sql);
        return path;
    }
    QString names() {
        return cli({"--connect", conn, "open", "t", "--sql", "SELECT name FROM t ORDER BY id"}).out;
    }
    TempDir dir;
    QString conn;
};

TEST_F(CliSql, PrintsTheRowsOfEachBatch) {
    const CliRun r =
        cli({"--connect", conn, "sql",
             file("\xEF\xBB\xBFINSERT INTO t VALUES (3, 'c');\r\nINSERT INTO t VALUES (4, 'd')\r\n"
                  "go\r\nUPDATE t SET name = 'x'\r\n  GO  \r\n\r\nGO\r\nDELETE FROM t WHERE id = 1\r\n")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "batch 1: 2 rows affected\nbatch 2: 4 rows affected\nbatch 3: 1 rows affected\n"
                     "total: 7 rows affected\n");
    EXPECT_EQ(names(), "name\nx\nx\nx\n");
}

TEST_F(CliSql, AFailingBatchStopsWithItsNumberAndFirstLine) {
    const CliRun r =
        cli({"--connect", conn, "sql",
             file("UPDATE t SET name = 'first'\nGO\n-- second\nINSERT INTO nowhere VALUES (1)\nGO\n"
                  "DELETE FROM t\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "batch 1: 2 rows affected\n");
    EXPECT_TRUE(r.err.startsWith("tabulo-cli: Batch 2 (line 3: -- second) failed: ")) << r.err.toStdString();
    EXPECT_EQ(names(), "name\nfirst\nfirst\n");
}

// Script text arrives as written, in any encoding a file may have, or is refused naming its line
// with nothing run.
TEST_F(CliSql, TextIsReadAsWrittenOrRefused) {
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : QStringLiteral("UPDATE t SET name = 'Žofie'"))
        utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    struct Case {
        QByteArray sql;
        QString names; // after the run; empty: refused
        QStringList err = {};
    } cases[] = {
        {"UPDATE t SET name = 'M\xFCller'", "name\nMüller\nMüller\n"},
        {"UPDATE t SET name = 'Müller'", "name\nMüller\nMüller\n"},
        {utf16, "name\nŽofie\nŽofie\n"},
        {QByteArray("UPDATE t SET name = 'x';\nDELETE FROM t WHERE name = 'a") + '\0' + "';\nDELETE FROM t",
         "",
         {"run.sql\", line 2: ", "NUL character"}},
        {"UPDATE t SET name = 'x';\n\n-- \x93quoted\x94\n", "", {"run.sql\", line 3: ", "0x93"}},
        {QByteArray("\xFF\xFEx\0\n\0\0\xD8", 8), "", {"run.sql\", line 2: ", "lone surrogate"}},
    };
    for (const Case& c : cases) {
        MakeSqliteDb(dir.path("db.sqlite"), "DELETE FROM t; INSERT INTO t VALUES (1, 'a'), (2, 'b');");
        const CliRun r = cli({"--connect", conn, "sql", file(c.sql)});
        EXPECT_EQ(r.status, c.names.isEmpty() ? 1 : 0) << r.err.toStdString();
        for (const QString& part : c.err)
            EXPECT_TRUE(r.err.contains(part)) << r.err.toStdString();
        EXPECT_EQ(names(), c.names.isEmpty() ? "name\na\nb\n" : c.names) << c.sql.toStdString();
    }
}

TEST_F(CliSql, FileAndUsageErrors) {
    const CliRun missing = cli({"--connect", conn, "sql", dir.path("none.sql")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(dir.path("none.sql"))) << missing.err.toStdString();
    EXPECT_EQ(cli({"--connect", conn, "sql"}).status, 2);
    EXPECT_EQ(cli({"--connect", conn, "sql", file("SELECT 1"), "extra"}).status, 2);
}
} // namespace
