// tabulo-cli import: output lines, exit statuses, settings files and file sources.
#include "connection.h"
#include "import_settings.h"
#include "query.h"
#include "test_util.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
struct CliImport : ::testing::Test {
    TempDir dir;
    QString db;
    void SetUp() override {
        db = MakeSqliteDb(dir.path("t.db"), "CREATE TABLE items (id INTEGER PRIMARY KEY, code VARCHAR(10),"
                                            " name VARCHAR(8), qty INTEGER);"
                                            "INSERT INTO items (code, name, qty) VALUES ('A', 'Alpha', 1);");
        WriteFile(dir.path("in.csv"), "code,name,qty\nA,Alpha,9\nZ,Zed,3\n");
    }
    CliRun import(const QStringList& args) {
        return cli(QStringList{"--connect", "Provider=SQLite;Data Source=" + db, "import", "items"} + args);
    }
    QString stored() {
        CliRun r = cli({"--connect", "Provider=SQLite;Data Source=" + db, "open", "items", "--sql",
                        "SELECT code, name, qty FROM items ORDER BY id"});
        return r.out.trimmed().replace('\n', ' ').replace('\t', ',');
    }
};
} // namespace

TEST_F(CliImport, PrintsCheckAndTotalsLines) {
    const QString csv = dir.path("in.csv");
    CliRun r = import({"--map", "code=code,name=name,qty=qty", "--source", csv, "--type", "update-add",
                       "--keys", "code", "--check-only"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "To import in total: 2, to add: 1, to edit: 1, to skip: 0\n");
    EXPECT_EQ(stored(), "code,name,qty A,Alpha,1");

    r = import({"--map", "code=code,name=name,qty=qty", "--source", csv, "--type", "update-add", "--keys",
                "code", "--calc", "name=Left(2)", "--fixed", "qty=7"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "To import in total: 2, to add: 1, to edit: 1, to skip: 0\n"
                     "To import in total: 2, added: 1, edited: 1, kept unchanged: 0, skipped: 0, errors: 0, "
                     "warnings: 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(stored(), "code,name,qty A,Al,9 Z,Ze,3");
}

TEST_F(CliImport, FailedRecordsGiveExitOneAndTheirErrors) {
    WriteFile(dir.path("bad.csv"), "code,name\nB,Beta\nC,Far too long\nD,Delta\n");
    CliRun r = import({"--map", "code=code,name=name", "--source", dir.path("bad.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        r.out.endsWith("added: 2, edited: 0, kept unchanged: 0, skipped: 0, errors: 1, warnings: 0\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("Record 2: Value \"Far too long\" does not fit field \"name\""))
        << r.err.toStdString();
    EXPECT_EQ(stored(), "code,name,qty A,Alpha,1 B,Beta,\\N D,Delta,\\N");
}

TEST_F(CliImport, SettingsFileAndOtherSources) {
    // A settings file saved for the table drives the same import.
    {
        TADOConnection con;
        con.ConnectionString = "Provider=SQLite;Data Source=" + db;
        con.Open();
        TADOQuery q(&con);
        q.SQL = "SELECT * FROM items";
        q.Open();
        ImportSettings s;
        s.type = ImportType::Update;
        s.map = {{"qty", "qty"}};
        s.compare = {{"code", "code"}};
        SaveImportSettings(s, q, dir.path("s.imp"));
    }
    CliRun r = import({"--settings", dir.path("s.imp"), "--source", dir.path("in.csv")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("added: 0, edited: 1, kept unchanged: 0, skipped: 1, errors: 0"))
        << r.out.toStdString();
    EXPECT_EQ(stored(), "code,name,qty A,Alpha,9");

    // Another database by its connection string, with a select command.
    const QString other = MakeSqliteDb(dir.path("o.db"), "CREATE TABLE s (c TEXT, n INTEGER);"
                                                         "INSERT INTO s VALUES ('Q', 5), ('R', 6);");
    r = import({"--map", "code=c,qty=n", "--source-connect", "Provider=SQLite;Data Source=" + other, "--sql",
                "SELECT * FROM s WHERE n > 5"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(stored(), "code,name,qty A,Alpha,9 R,\\N,6");

    // The Access fixture, copied: its customers by their key.
    const QString fixture = SourceDir() + "/../shared/fixtures/access/nwind.mdb";
    if (!QFile::exists(fixture)) GTEST_SKIP() << "no Access fixture";
    ASSERT_TRUE(QFile::copy(fixture, dir.path("nwind.mdb")));
    r = import({"--map", "code=CustomerID,name=Country", "--source", dir.path("nwind.mdb"), "--table",
                "Customers", "--type", "add-missing", "--keys", "code", "--calc", "name=Left(8)"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("added: 91, edited: 0")) << r.out.toStdString();
    EXPECT_TRUE(stored().contains("ALFKI,Germany,\\N")) << stored().toStdString();
}

TEST_F(CliImport, UsageErrors) {
    const QString csv = dir.path("in.csv");
    const struct {
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {{"--source", csv}, 2, "exactly one of --settings"},
        {{"--map", "code=code", "--settings", "x.imp", "--source", csv}, 2, "exactly one of --settings"},
        {{"--map", "code=code"}, 2, "exactly one of --source-udl"},
        {{"--map", "code=code", "--source", csv, "--type", "merge"}, 2, "--type takes add, update"},
        {{"--map", "code=code", "--source", csv, "--table", "a", "--sql", "b"}, 2, "--table or --sql"},
        {{"--map", "code", "--source", csv}, 2, "--map takes TARGET=VALUE"},
        {{"--map", "code=code", "--source", csv, "--calc", "code=Lft(2)"}, 2, "Unknown command \"Lft\""},
        {{"--map", "code=nope", "--source", csv}, 1, "Source field \"nope\" not found."},
        {{"--map", "code=code", "--source", csv, "--type", "update"},
         1,
         "Select fields to compare for update records."},
        {{"--map", "code=code", "--source", dir.path("none.csv")}, 1, "none.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        CliRun r = import(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
    EXPECT_EQ(stored(), "code,name,qty A,Alpha,1");
}

// An xlsx written by LibreOffice from a CSV imports like the CSV.
TEST_F(CliImport, FromXlsx) {
    REQUIRE_LIBREOFFICE(soffice);
    const QString profile = "-env:UserInstallation=file://" + dir.path("profile");
    ASSERT_EQ(RunProgram(soffice, {profile, "--headless", "--convert-to", "xlsx", "--outdir", dir.path(),
                                   dir.path("in.csv")}),
              0);
    CliRun r = import({"--map", "code=code,name=name,qty=qty", "--source", dir.path("in.xlsx"), "--type",
                       "update-add", "--keys", "code"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(stored(), "code,name,qty A,Alpha,9 Z,Zed,3");
}
