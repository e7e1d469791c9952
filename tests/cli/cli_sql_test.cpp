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

TEST_F(CliSql, FileAndUsageErrors) {
    const CliRun missing = cli({"--connect", conn, "sql", dir.path("none.sql")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(dir.path("none.sql"))) << missing.err.toStdString();
    EXPECT_EQ(cli({"--connect", conn, "sql"}).status, 2);
    EXPECT_EQ(cli({"--connect", conn, "sql", file("SELECT 1"), "extra"}).status, 2);
}
} // namespace
