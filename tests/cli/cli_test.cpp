// tabulo-cli as scripts use it: exact COPY text, exit statuses, messages on stderr.
#include "test_util.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const char* kDb = R"(
CREATE TABLE "t x" (id INTEGER PRIMARY KEY, txt TEXT, f REAL, d DATE, tm TIME, dt DATETIME, b BOOLEAN, bin BLOB, big BIGINT);
INSERT INTO "t x" VALUES (1, 'tab	in, back\slash', 1234.5, '2024-02-29', '13:14:15', '2024-02-29 01:02:03', 1, X'00FF10', 9007199254740993);
INSERT INTO "t x" VALUES (2, 'two
lines' || char(13), 0.1, NULL, NULL, NULL, 0, NULL, -1);
INSERT INTO "t x" VALUES (3, NULL, 1e20, '1899-12-30', '00:00:00', '2000-01-01 00:00:00', NULL, X'', 0);
CREATE TABLE other (a INTEGER);
CREATE TABLE tmp_one (a INTEGER);
CREATE VIEW v AS SELECT id FROM "t x";
CREATE TABLE mixed (id INTEGER PRIMARY KEY, any, n INTEGER, tm TIME);
INSERT INTO mixed VALUES (1, 'text', 2, '12:00:00.5'), (2, X'00FF0A', 10, '08:00:00'), (3, NULL, 2.5, NULL);
)";
} // namespace

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(dir.path("db.sqlite"), kDb);
        conn = "Provider=SQLite;Data Source=" + dir.path("db.sqlite");
    }
    TempDir dir;
    QString conn;
};

TEST_F(CliTest, OpenWritesExactCopyText) {
    CliRun r = cli({"--connect", conn, "open", "t x"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "id\ttxt\tf\td\ttm\tdt\tb\tbin\tbig\n"
                     "1\ttab\\tin, back\\\\slash\t1234.5\t2024-02-29\t13:14:15\t2024-02-29 "
                     "01:02:03\t1\t\\\\x00ff10\t9007199254740993\n"
                     "2\ttwo\\nlines\\r\t0.1\t\\N\t\\N\t\\N\t0\t\\N\t-1\n"
                     "3\t\\N\t1E20\t1899-12-30\t00:00:00\t2000-01-01 00:00:00\t\\N\t\\\\x\t0\n");
}

TEST_F(CliTest, OpenKeepsEachValuesClassAndFraction) {
    // A blob among texts stays binary; a fraction among whole numbers makes the column a float column,
    // so it still compares and sorts as numbers; times keep their milliseconds.
    CliRun r = cli({"--connect", conn, "open", "mixed", "--sort", "n"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "id\tany\tn\ttm\n"
                     "1\ttext\t2\t12:00:00.500\n"
                     "3\t\\N\t2.5\t\\N\n"
                     "2\t\\\\x00ff0a\t10\t08:00:00\n");
    r = cli({"--connect", conn, "open", "mixed", "--filter", "n > 5 OR tm > '12:00:00'"});
    EXPECT_EQ(r.out.section('\n', 1).section('\t', 0, 0), "1") << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 3) << r.out.toStdString();
}

TEST_F(CliTest, OpenOptions) {
    struct Case {
        QStringList args;
        QString out;
    };
    const Case cases[] = {
        {{"--top", "1", "--sql", "SELECT id FROM \"t x\" ORDER BY id DESC"}, "id\n3\n2\n1\n"}, // --sql wins
        {{"--top", "2"}, "id\n1\n2\n"},
        {{"--filter", "f < 2000"}, "id\n1\n2\n"},
        {{"--sort", "f DESC"}, "id\n3\n1\n2\n"},
        {{"--filter", "b = NULL OR id = 2", "--sort", "id DESC"}, "id\n3\n2\n"},
    };
    for (const Case& c : cases) {
        QStringList args = {"--connect", conn, "open", "t x"};
        args += c.args;
        CliRun r = cli(args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        QString idOnly;
        for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
            idOnly += line.section('\t', 0, 0) + '\n';
        EXPECT_EQ(idOnly, c.out) << c.args.join(' ').toStdString();
    }
    // Options stand anywhere: before the table, the global ones after the command.
    const Case anywhere[] = {
        {{"--connect", conn, "open", "--top", "2", "t x"}, "id\n1\n2\n"},
        {{"open", "--sort", "id DESC", "--top", "2", "t x", "--connect", conn}, "id\n2\n1\n"},
        {{"open", "--filter", "id = 3", "t x", "--connect", conn}, "id\n3\n"},
    };
    for (const Case& c : anywhere) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, 0) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out.section('\t', 0, 0).section('\n', 0, 0), "id");
        QString idOnly;
        for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
            idOnly += line.section('\t', 0, 0) + '\n';
        EXPECT_EQ(idOnly, c.out) << c.args.join(' ').toStdString();
    }
}

TEST_F(CliTest, OpenOnlyReads) {
    // Refused before it runs: nothing is changed, exit 1.
    for (const char* sql : {"DROP TABLE other", "DELETE FROM \"t x\"", "DELETE FROM \"t x\" RETURNING id",
                            "CREATE TABLE made (a INTEGER)"}) {
        CliRun r = cli({"--connect", conn, "open", "t x", "--sql", sql});
        EXPECT_EQ(r.status, 1) << sql;
        EXPECT_TRUE(r.err.contains("open only reads")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << sql;
    }
    EXPECT_EQ(cli({"--connect", conn, "tables"}).out, "mixed\nother\nt x\ntmp_one\n");
    EXPECT_EQ(cli({"--connect", conn, "open", "t x", "--sql", "SELECT count(*) AS n FROM \"t x\""}).out,
              "n\n3\n");
}

// Without a desktop session (no runtime folder, no display, no D-Bus) every command prints only its
// own output.
TEST_F(CliTest, CommandsPrintNothingButTheirOwnOutput) {
    WriteFile(dir.path("run.sql"), "UPDATE other SET a = 1");
    WriteFile(dir.path("t.txt"), "\\\\scan(A)\\\\\r\n\\\\A.id\\\\\r\n\\\\endscan(A)\\\\\r\n");
    const QStringList env = {"PATH=" + qEnvironmentVariable("PATH"), "HOME=" + dir.path(), "LANG=C.UTF-8"};
    const QStringList c = {"--connect", conn};
    const QStringList runs[] = {
        c + QStringList{"tables"},
        c + QStringList{"schema", "siTables"},
        c + QStringList{"open", "t x"},
        c + QStringList{"script", "t x", "--type", "insert"},
        c + QStringList{"sql", dir.path("run.sql")},
        c + QStringList{"export", "t x", "--format", "text", "--out", dir.path("t.out")},
        c + QStringList{"export", "t x", "--format", "sylk", "--out", dir.path("t.slk")},
        c + QStringList{"report", "t x", "--template", dir.path("t.txt"), "--out", dir.path("r.txt")},
        {"words", "12"},
        {"barcode", "CodeEAN13", "123456789012", "--out", dir.path("b.png")},
        {"--version"},
        {"--help"},
    };
    for (const QStringList& args : runs) {
        CliRun r = cli(args, env);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.err, "") << args.join(' ').toStdString();
    }
}

TEST(CliHelp, NamesEveryTemplateKindAndTheVersion) {
    CliRun help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* kind : {".docx", ".odt", ".fodt", ".txt", ".rtf", "--version"})
        EXPECT_TRUE(help.out.contains(kind)) << kind;
    CliRun version = cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(QRegularExpression("^tabulo-cli \\d+\\.\\d+\\S*\n$").match(version.out).hasMatch())
        << version.out.toStdString();
}

TEST_F(CliTest, TablesAndSchema) {
    EXPECT_EQ(cli({"--connect", conn, "tables"}).out, "mixed\nother\nt x\ntmp_one\n");
    EXPECT_EQ(cli({"--connect", conn, "tables", "--views"}).out, "v\n");
    EXPECT_EQ(cli({"--connect", conn, "tables", "--both", "--exclude", "T*"}).out, "mixed\nother\nv\n");
    CliRun s = cli({"--connect", conn, "schema", "siPrimaryKeys"});
    EXPECT_EQ(s.status, 0);
    EXPECT_TRUE(s.out.startsWith("TABLE_CATALOG\tTABLE_SCHEMA\tTABLE_NAME\tCOLUMN_NAME\tORDINAL\tPK_NAME\n"));
    EXPECT_TRUE(s.out.contains("main\t\\N\tt x\tid\t1\t"));
    EXPECT_EQ(cli({"--connect", conn, "schema", "20"}).status, 0);
    // Any legal file name reaches the connection file.
    for (const QString& folder : {QStringLiteral("Sales;2024"), QStringLiteral("{q} 'x\" y=1")}) {
        QDir().mkpath(dir.path(folder));
        WriteFile(dir.path(folder + "/x.udl"), "Provider=SQLite;Data Source=../db.sqlite");
        const CliRun r = cli({"--udl", dir.path(folder + "/x.udl"), "tables"});
        EXPECT_EQ(r.out, cli({"--connect", conn, "tables"}).out)
            << folder.toStdString() << ": " << r.err.toStdString();
    }
}

TEST_F(CliTest, ErrorsAndUsage) {
    struct Case {
        QStringList args;
        int status;
        QString err;
    };
    const Case cases[] = {
        {{}, 2, "usage"},
        {{"--connect", conn}, 2, "missing COMMAND"},
        {{"--connect", conn, "frobnicate"}, 2, "unknown command frobnicate"},
        {{"tables"}, 2, "give exactly one of --udl FILE and --connect STRING"},
        {{"--connect", conn, "open"}, 2, "missing TABLE"},
        {{"--connect", conn, "open", "t x", "--top", "many"}, 2, "--top many: the number of rows must be"},
        {{"--connect", conn, "open", "--top", "99999999999", "t x"},
         2,
         "--top 99999999999: the number of rows must be a whole number from 0 to 2147483647"},
        {{"--connect", conn, "open", "t x", "--top", "-1"}, 2, "--top -1:"},
        {{"--connect", conn, "open", "t x", "--top"}, 2, "missing value after --top"},
        {{"--connect", conn, "schema", "siNothing"}, 2, "unknown schema kind siNothing"},
        {{"--connect", conn, "schema", "siAsserts"}, 1, "not supported"},
        {{"--connect", conn, "open", "missing"}, 1, "no such table: missing"},
        {{"--connect", conn, "open", "t x", "--filter", "id = 'x"}, 1, "missing closing apostrophe"},
        {{"--udl", "/nonexistent/x.udl", "tables"}, 1, "/nonexistent/x.udl"},
        {{"--connect", "Provider=Nope;Password=hush", "tables"}, 1, "Provider \"Nope\" is not supported"},
        // Passwords are hidden where the message is made; nothing else of it changes.
        {{"--connect", "Data Source={a;}}b};Encrypt;Password=hush", "tables"},
         1,
         "names no provider: \"Data Source={a;}}b};Encrypt;Password=***\""},
        {{"--connect", "Driver=FreeTDS;Server=127.0.0.1;Port=1;UID=sa;Encrypt;PWD=hush", "tables"},
         1,
         "Driver={FreeTDS};Server=127.0.0.1;Port=1;UID=sa;PWD=***;\": [08S01] [FreeTDS]"},
    };
    for (const Case& c : cases) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("hush"));
    }
}

TEST(CliDemo, DemoDatabaseOpens) {
    CliRun r = cli({"--udl", QDir(ProgramDir()).filePath("Connections/Demo.udl"), "open", "Order Details",
                    "--top", "5"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "OrderID\tProductID\tUnitPrice\tQuantity\tDiscount");
}
