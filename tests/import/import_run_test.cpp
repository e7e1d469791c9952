// The checking pass and the import run over SQLite targets, checked through a second connection.
#include "import_run.h"

#include "../data/provider_fixture.h"
#include "ado_con_wizard.h"
#include "connection.h"
#include "exceptions.h"
#include "query.h"
#include "test_util.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

namespace {
const char* kTarget =
    "CREATE TABLE items (id INTEGER PRIMARY KEY, code VARCHAR(10), name VARCHAR(8), qty INTEGER,"
    " price REAL, born DATE);"
    "INSERT INTO items (code, name, qty) VALUES ('A', 'Alpha', 1), ('B', 'Beta', 2);";

// How a test reaches its target: the database, and whether the target opens without rows and the
// engine reads those of each batch of source records by their keys (as the command line does).
struct TargetMode {
    QString provider; // "sqlite" or a provider fixture's name
    bool byKeys;
    int batch = 20000;
    std::string name() const {
        return (provider + (byKeys ? QString(" by keys, batches of %1").arg(batch) : " loaded"))
            .toStdString();
    }
};
const TargetMode kModes[] = {
    {"sqlite", false},       {"sqlite", true, 1},       {"sqlite", true, 2},  {"sqlite", true},
    {"postgresql", false},   {"postgresql", true, 2},   {"postgresql", true}, {"postgresql-odbc", true, 2},
    {"mariadb-odbc", false}, {"mariadb-odbc", true, 2},
};

struct ImportDb : ::testing::Test {
    TempDir dir;
    TADOConnection con, srcCon;
    TADOQuery target{&con}, source{&srcCon};
    TargetMode mode{"sqlite", false};

    // False (the test skips the mode) when the mode's server is not running.
    bool open(const QString& sourceSql, const QString& targetSql = kTarget) {
        target.Close();
        source.Close();
        con.Close();
        srcCon.Close();
        QFile::remove(dir.path("t.db"));
        QFile::remove(dir.path("s.db"));
        if (mode.provider == "sqlite") {
            con.ConnectionString = "Provider=SQLite;Data Source=" + MakeSqliteDb(dir.path("t.db"), targetSql);
        } else {
            const ProviderFixture& p = ProviderByName(mode.provider);
            if (!p.unavailable.isEmpty()) return false;
            con.ConnectionString = p.create(targetSql);
        }
        con.Open();
        target.SQL = mode.byKeys ? "SELECT * FROM items WHERE 1=0" : "SELECT * FROM items";
        target.Open();
        srcCon.ConnectionString = "Provider=SQLite;Data Source=" + MakeSqliteDb(dir.path("s.db"), sourceSql);
        srcCon.Open();
        source.SQL = "SELECT * FROM src";
        source.Open();
        return true;
    }
    // An engine over the fixture's target, reading it as the mode says.
    std::unique_ptr<ImportEngine> engine() {
        auto e = std::make_unique<ImportEngine>(target, source, &con);
        if (mode.byKeys) e->targetSelect = "SELECT * FROM items";
        e->keyBatchRecords = mode.batch;
        return e;
    }
    // The target's rows as stored, read through a connection of their own.
    QString stored(const QString& fields = "code, name, qty") {
        TADOConnection other;
        other.ConnectionString = con.ConnectionString;
        other.Open();
        TADOQuery q(&other);
        q.SQL = "SELECT " + fields + " FROM items ORDER BY id";
        q.Open();
        QStringList rows;
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList row;
            for (int i = 0; i < q.FieldCount(); ++i)
                row << (q.Fields(i)->IsNull() ? "-" : q.Fields(i)->AsString());
            rows << row.join(",");
        }
        return rows.join(" ");
    }
    static ImportSettings mapping(ImportType type) {
        ImportSettings s;
        s.type = type;
        s.map = {{"code", "code"}, {"name", "name"}, {"qty", "qty"}};
        s.compare = {{"code", "code"}};
        return s;
    }
};

QString Counts(const ImportCheckCounts& c) {
    return QString("%1/%2/%3/%4").arg(c.sum).arg(c.add).arg(c.edit).arg(c.skip);
}
QString Counts(const ImportRunCounts& c) {
    return QString("%1/%2/%3/%4/%5/%6").arg(c.sum).arg(c.add).arg(c.edit).arg(c.same).arg(c.skip).arg(c.err);
}
} // namespace

// Source: A unchanged (found), b found case-insensitively with other values, C not in the target.
TEST_F(ImportDb, ImportTypesOnFoundAndNotFoundRecords) {
    const char* src = "CREATE TABLE src (code TEXT, name TEXT, qty INTEGER);"
                      "INSERT INTO src VALUES ('A', 'Alpha', 1), ('b', 'Beta', 5), ('C', 'Gamma', 3);";
    struct Case {
        ImportType type;
        QString check, run, rows;
        QStringList updateLog;
    } cases[] = {
        {ImportType::AddAll, "3/3/0/0", "3/3/0/0/0/0", "A,Alpha,1 B,Beta,2 A,Alpha,1 b,Beta,5 C,Gamma,3", {}},
        {ImportType::Update,
         "3/0/2/1",
         "3/0/1/1/1/0",
         "A,Alpha,1 b,Beta,5",
         {"Record: code = b", "Updated values: code: B => b; qty: 2 => 5; "}},
        {ImportType::UpdateAdd,
         "3/1/2/0",
         "3/1/1/1/0/0",
         "A,Alpha,1 b,Beta,5 C,Gamma,3",
         {"Record: code = b", "Updated values: code: B => b; qty: 2 => 5; "}},
        {ImportType::AddMissing, "3/1/0/2", "3/1/0/0/2/0", "A,Alpha,1 B,Beta,2 C,Gamma,3", {}},
    };
    for (const TargetMode& m : kModes)
        for (const Case& c : cases) {
            SCOPED_TRACE(m.name() + ", type " + std::to_string(int(c.type)));
            mode = m;
            if (!open(src)) continue;
            auto e = engine();
            e->settings = mapping(c.type);
            EXPECT_EQ(Counts(e->check()), c.check);
            const ImportRunCounts r = e->run();
            EXPECT_EQ(Counts(r), c.run);
            EXPECT_EQ(r.sum, r.add + r.edit + r.same + r.skip + r.err);
            EXPECT_EQ(stored(), c.rows);
            EXPECT_EQ(e->updateLog, c.updateLog);
            EXPECT_EQ(e->resultLines.last(), ImportEngine::RunTotalsLine(r));
            // The same import again changes nothing.
            if (c.type == ImportType::UpdateAdd) {
                EXPECT_EQ(Counts(e->run()), "3/0/0/3/0/0");
                EXPECT_EQ(stored(), c.rows);
            }
        }
}

// Repeated keys within a batch of the keyed reading and across batches (batches of 1 and 2 records),
// keys differing in letter case (also beyond ASCII), NULL keys.
TEST_F(ImportDb, CheckPredictsTheRunAlsoForRepeatedKeys) {
    for (const TargetMode& m : kModes) {
        SCOPED_TRACE(m.name());
        mode = m;
        if (!open("CREATE TABLE src (code TEXT, qty INTEGER);"
                  "INSERT INTO src VALUES ('C', 1), ('c', 2), ('A', 7), (NULL, 4), ('D', 5), ('A', 7),"
                  " ('\u010c\u00e9', 8), ('b', 3), ('\u010d\u00c9', 9);"))
            continue;
        for (ImportType type : {ImportType::Update, ImportType::UpdateAdd, ImportType::AddMissing}) {
            SCOPED_TRACE(int(type));
            auto e = engine();
            e->settings.type = type;
            e->settings.map = {{"code", "code"}, {"qty", "qty"}};
            e->settings.compare = {{"code", "code"}};
            const ImportCheckCounts c = e->check();
            const ImportRunCounts r = e->run();
            EXPECT_EQ(c.add, r.add);
            EXPECT_EQ(c.edit, r.edit + r.same);
            EXPECT_EQ(c.skip, r.skip);
            EXPECT_EQ(r.err, 0);
        }
        // C and c are one key: update-add added C once and then updated it; a NULL key never matches,
        // so update-add and add-missing each added that record.
        EXPECT_EQ(stored("code, qty"), "A,7 b,3 c,2 -,4 D,5 \u010d\u00c9,9 -,4");
    }
}

// Reading the target by keys changes nothing in what an import does: composite keys, whole-number keys
// with a NULL among them, and keys the run rewrites from another source field or through a value
// command (those read the whole target) give the counts, rows and update log of the loaded target.
TEST_F(ImportDb, TargetReadByKeysImportsAsTheLoadedTarget) {
    const char* src = "CREATE TABLE src (id INTEGER, code TEXT, other TEXT, name TEXT, qty INTEGER);"
                      "INSERT INTO src VALUES (2, 'a', 'Z', 'One', 1), (NULL, 'B', 'a', 'Three', 3),"
                      " (2, 'b', ' b ', 'Two', 2), (9, 'b', 'b', 'Four', 2), (1, 'z', 'q', 'Zed', 5);";
    struct Case {
        const char* what;
        std::vector<ImportRow> map, compare;
        QStringList calc;
    } cases[] = {
        {"composite key", {{"name", "name"}}, {{"code", "code"}, {"qty", "qty"}}, {}},
        {"whole-number key", {{"name", "name"}, {"code", "code"}}, {{"id", "id"}}, {}},
        {"key written from another field", {{"code", "other"}, {"name", "name"}}, {{"code", "code"}}, {}},
        {"key changed by a command",
         {{"code", "other"}, {"name", "name"}},
         {{"code", "other"}},
         {"code=Trim()"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString expected;
        for (const TargetMode& m : kModes) {
            SCOPED_TRACE(m.name());
            mode = m;
            if (!open(src)) continue;
            auto e = engine();
            e->settings.type = ImportType::UpdateAdd;
            e->settings.map = c.map;
            e->settings.compare = c.compare;
            e->settings.calc = c.calc;
            const QString check = Counts(e->check());
            const QString run = Counts(e->run());
            const QString result =
                check + " " + run + " " + stored("id, code, name, qty") + " " + e->updateLog.join("|");
            if (expected.isEmpty()) expected = result;
            EXPECT_EQ(result, expected);
        }
    }
}

// A batch holding more keys than one statement may carry reads its rows with several statements (the
// databases' parameter limits: SQLite 32766, PostgreSQL's client library about 7500).
TEST_F(ImportDb, BatchOfManyKeysReadsItsRowsInSeveralStatements) {
    for (const TargetMode& m : kModes) {
        SCOPED_TRACE(m.name());
        mode = m;
        mode.batch = 50000;
        if (!open("CREATE TABLE src (code TEXT, qty INTEGER);"
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000)"
                  " INSERT INTO src SELECT CASE i WHEN 39999 THEN 'a' WHEN 40000 THEN 'B' ELSE 'K' || i END,"
                  " i FROM n;"))
            continue;
        auto e = engine();
        e->settings.type = ImportType::Update;
        e->settings.map = {{"qty", "qty"}};
        e->settings.compare = {{"code", "code"}};
        EXPECT_EQ(Counts(e->check()), "40000/0/2/39998");
        EXPECT_EQ(Counts(e->run()), "40000/0/2/0/39998/0");
        EXPECT_EQ(stored(), "A,Alpha,39999 B,Beta,40000");
    }
}

TEST_F(ImportDb, ValuesThatDoNotFitAreErrorsNamingRecordFieldAndValue) {
    open("CREATE TABLE src (code TEXT, name TEXT, qty TEXT, born TEXT);"
         "INSERT INTO src VALUES ('X1', 'Short', '7', '2024-02-03'), ('X2', 'Much too long', '1', NULL),"
         " ('X3', 'Ok', 'seven', NULL), ('X4', 'Ok', '2', 'yesterday'), ('X5', 'Ok', '2.5', NULL),"
         " ('X6', 'Fine', '-3', NULL);");
    ImportEngine e(target, source, &con);
    e.transactionRecords = 2; // failures inside and across batches
    e.transactionMinMs = 0;
    e.settings.map = {{"code", "code"}, {"name", "name"}, {"qty", "qty"}, {"born", "born"}};
    const ImportRunCounts r = e.run();
    EXPECT_EQ(Counts(r), "6/2/0/0/0/4");
    EXPECT_EQ(stored("code, name, qty, born"), "A,Alpha,1,- B,Beta,2,- X1,Short,7,2024-02-03 X6,Fine,-3,-");
    const QString all = e.resultLines.join("\n");
    for (const char* expected :
         {"Record 2: Value \"Much too long\" does not fit field \"name\": 13 characters, at most 8.",
          "Record 3: Value \"seven\" does not fit field \"qty\"",
          "Record 4: Value \"yesterday\" does not fit field \"born\"",
          "Record 5: Value \"2.5\" does not fit field \"qty\""})
        EXPECT_TRUE(all.contains(expected)) << expected << "\n" << all.toStdString();
    EXPECT_TRUE(all.contains("code = X3 ; name = Ok ; qty = seven ; ")) << all.toStdString();
}

// An add that does not keep its records in the target dataset writes the same rows and errors; the
// failing record comes right after the dataset let its rows go.
TEST_F(ImportDb, AddWithoutKeepingRowsWritesEveryRecord) {
    open("CREATE TABLE src (code TEXT, name TEXT);"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000)"
         " INSERT INTO src SELECT 'N' || i, CASE i WHEN 4095 THEN 'Much too long' ELSE 'ok' END FROM n;");
    ImportEngine e(target, source, &con);
    e.keepAddedRows = false;
    e.transactionRecords = 1000;
    e.transactionMinMs = 0;
    e.settings.map = {{"code", "code"}, {"name", "name"}};
    EXPECT_EQ(Counts(e.run()), "10000/9999/0/0/0/1");
    EXPECT_LT(target.RecordCount(), 4096);
    EXPECT_TRUE(e.resultLines.join("\n").contains("Record 4095: Value \"Much too long\" does not fit field"))
        << e.resultLines.join("\n").toStdString();
    const QString rows = stored("COUNT(*), MIN(code = 'N4095'), MAX(name)");
    EXPECT_EQ(rows, "10001,0,ok");
}

TEST_F(ImportDb, FixedValuesCommandsAndNulls) {
    open("CREATE TABLE src (code TEXT, name TEXT, qty INTEGER, price REAL);"
         "INSERT INTO src VALUES ('A', '  alpha  ', 0, 0), ('N', 'new one', NULL, 1.5);",
         QString(kTarget) + "UPDATE items SET price = NULL;");
    ImportEngine e(target, source, &con);
    e.settings.type = ImportType::UpdateAdd;
    e.settings.map = {{"code", "code"}, {"name", "name"}, {"qty", "qty"}, {"price", "price"}};
    e.settings.compare = {{"code", "code"}};
    e.settings.calc = {"name=Trim()", "name=Replace(one,1)"};
    e.settings.fixed = {"born=2020-01-02", "BORN=1999-01-01"};
    e.settings.fixedAddOnly = true;
    const ImportRunCounts r = e.run();
    EXPECT_EQ(Counts(r), "2/1/1/0/0/0");
    // 0 into a NULL field is a change (the field holds 0 afterwards, not NULL); the fixed value only
    // reaches the new record; a NULL source clears nothing on a new record.
    EXPECT_EQ(stored("code, name, qty, price, born"), "A,alpha,0,0,- B,Beta,2,-,- N,new 1,-,1.5,2020-01-02");
}

// Whole numbers go over exactly, also beyond a double's 53 bits: 2^53 + 1 is not 2^53, so the record
// is updated (compared as doubles the two were equal and the new value was silently dropped); keys
// of that size match exactly too.
TEST_F(ImportDb, WholeNumbersBeyondDoublePrecisionStayExact) {
    open("CREATE TABLE src (code TEXT, qty INTEGER);"
         "INSERT INTO src VALUES ('A', 9007199254740993), ('N', -9223372036854775807);",
         QString(kTarget) + "UPDATE items SET qty = 9007199254740992 WHERE code = 'A';");
    ImportEngine e(target, source, &con);
    e.settings = mapping(ImportType::UpdateAdd);
    e.settings.map = {{"code", "code"}, {"qty", "qty"}};
    EXPECT_EQ(Counts(e.run()), "2/1/1/0/0/0");
    EXPECT_EQ(stored("code, qty"), "A,9007199254740993 B,2 N,-9223372036854775807");
    EXPECT_EQ(e.updateLog.value(1), "Updated values: qty: 9007199254740992 => 9007199254740993; ");

    e.settings.compare = {{"qty", "qty"}};
    EXPECT_EQ(Counts(e.check()), "2/0/2/0");
}

TEST_F(ImportDb, UpdateWithoutCompareRowsAndWithoutMappingFails) {
    open("CREATE TABLE src (code TEXT);");
    ImportEngine e(target, source, &con);
    e.settings.type = ImportType::Update;
    e.settings.map = {{"code", "code"}};
    EXPECT_THROW(
        {
            try {
                e.check();
            } catch (const std::exception& ex) {
                EXPECT_EQ(ExceptionMessage(ex), "Select fields to compare for update records.");
                throw;
            }
        },
        std::exception);
    e.settings.map.clear();
    try {
        e.run();
        FAIL();
    } catch (const std::exception& ex) {
        EXPECT_EQ(ExceptionMessage(ex), "Select fields to import.");
    }
    e.settings.map = {{"code", "nosuch"}};
    e.settings.type = ImportType::AddAll;
    try {
        e.run();
        FAIL();
    } catch (const std::exception& ex) {
        EXPECT_EQ(ExceptionMessage(ex), "Source field \"nosuch\" not found.");
    }
    EXPECT_EQ(stored(), "A,Alpha,1 B,Beta,2");
}

// Also from a text file read in blocks: the abort ends the reading, and the records before it stay.
TEST_F(ImportDb, AbortKeepsEveryRecordBeforeIt) {
    QString sql = "CREATE TABLE src (code TEXT);";
    QByteArray csv = "code\n";
    for (int i = 0; i < 25; ++i) {
        sql += QString("INSERT INTO src VALUES ('R%1');").arg(i, 2, 10, QChar('0'));
        csv += QString("R%1\n").arg(i, 2, 10, QChar('0')).toUtf8();
    }
    WriteFile(dir.path("in.csv"), csv);
    for (bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile);
        open(sql);
        TADOConnection fileCon;
        fileCon.ConnectionString = dir.path("in.csv");
        fileCon.Open();
        TADOQuery file(&fileCon);
        file.SQL = "SELECT * FROM [in.csv]";
        file.BlockRows = 3;
        ImportEngine e(target, fromFile ? file : source, &con);
        if (fromFile) ASSERT_TRUE(e.streamSource());
        e.transactionRecords = 4;
        e.transactionMinMs = 0;
        e.settings.map = {{"code", "code"}};
        QList<int> levels;
        e.LogCallBack = [&](const QString& line, int level, bool& aborted) {
            levels << level;
            if (level == llProgress && line == "40") aborted = true;
        };
        const ImportRunCounts r = e.run();
        EXPECT_TRUE(e.wasAborted());
        EXPECT_EQ(Counts(r), "25/10/0/0/15/0");
        EXPECT_TRUE(e.resultLines.join("\n").contains(
            "10 of 25 records were processed before the abort; the records written stay written, the other "
            "15 were not imported."));
        EXPECT_EQ(stored("COUNT(*), MAX(code)"), "12,R09");
        EXPECT_TRUE(levels.contains(llPassStart) && levels.contains(llTotals) &&
                    levels.contains(llUpdateLog));
    }
}

TEST_F(ImportDb, SettingsFileRoundTrip) {
    open("CREATE TABLE src (code TEXT, qty INTEGER);");
    ImportSettings s;
    s.type = ImportType::UpdateAdd;
    s.map = {{"code", "code"}, {"qty", "qty"}};
    s.compare = {{"code", "code"}};
    s.fixed = {"name=Fixed = one", "born=null"};
    s.fixedAddOnly = true;
    s.calc = {"code=Trim()", "code=Left(3)"};
    s.filter = "qty > 1";
    s.filtered = true;
    const QString file = dir.path("set.imp");
    SaveImportSettings(s, target, file);
    const ImportSettings r = LoadImportSettings(file, target);
    EXPECT_EQ(int(r.type), 2);
    ASSERT_EQ(r.map.size(), 2u);
    EXPECT_EQ(r.map[1].target, "qty");
    EXPECT_EQ(r.map[1].source, "qty");
    ASSERT_EQ(r.compare.size(), 1u);
    EXPECT_EQ(r.fixed, s.fixed);
    EXPECT_TRUE(r.fixedAddOnly);
    EXPECT_EQ(r.calc, s.calc);
    EXPECT_EQ(r.filter, s.filter);
    EXPECT_TRUE(r.filtered);
    EXPECT_TRUE(ReadFile(file).contains("[kDBImportForm.sb1cb3_nostore]"));

    WriteFile(dir.path("other.imp"), "[Something]\nA=1\n");
    EXPECT_THROW(LoadImportSettings(dir.path("other.imp"), target), std::exception);
    EXPECT_THROW(LoadImportSettings(dir.path("missing.imp"), target), std::exception);
}

// File sources through the template connection files: CSV, xlsx (written by the export), Access.
TEST_F(ImportDb, ImportsFromCsvAndAccessFiles) {
    open("CREATE TABLE src (x TEXT);");
    WriteFile(dir.path("in.csv"), "code,name,qty\nA,Alpha,9\nZ,\"Zed, Z\",3\n");
    TADOConnection fileCon;
    TADOConWizard wiz;
    wiz.ADOConnection = &fileCon;
    wiz.ErrDialogShow = 0;
    wiz.UDLFilePath = QString(TABULO_PROGRAM_DIR) + "/udl_import/";
    wiz.UDLFileMask = "*_csv.udl";
    ASSERT_TRUE(wiz.ConnectToFile(dir.path("in.csv"), true)) << wiz.LogText.join("\n").toStdString();
    TADOQuery csv(&fileCon);
    csv.SQL = "SELECT * FROM [in.csv] WHERE 1=1";
    csv.Open();
    ImportEngine e(target, csv, &con);
    e.settings = mapping(ImportType::UpdateAdd);
    EXPECT_EQ(Counts(e.run()), "2/1/1/0/0/0");
    EXPECT_EQ(stored(), "A,Alpha,9 B,Beta,2 Z,Zed, Z,3");
}

// A text file read forward-only, in blocks of any size, gives what reading it whole gives: the same
// totals, rows, update log and record numbers in the check and error lines (a value over two lines
// and a blank line keep file lines and records apart); also into a target read by keys, whose batches
// then end with the blocks (c finds the C added from an earlier block).
TEST_F(ImportDb, CsvSourceInBlocksGivesWhatAWholeReadGives) {
    WriteFile(dir.path("in.csv"), "code,name,qty\nA,Alpha,9\nC,\"Two\nway\",3\n\nD,Delta,4\n"
                                  "E,Much too long,5\nb,Beta,2\nF,Phi,x7\nG,Gamma,7\nc,Gee,1\n");
    struct Result {
        QString check, run, rows;
        QStringList records, updateLog;
    };
    auto import = [&](ImportType type, int blockRows, const TargetMode& m = {"sqlite", false}) {
        mode = m;
        open("CREATE TABLE src (x TEXT);");
        TADOConnection fileCon;
        fileCon.ConnectionString = dir.path("in.csv");
        fileCon.Open();
        TADOQuery csv(&fileCon);
        csv.SQL = "SELECT * FROM [in.csv] WHERE 1=1";
        ImportEngine e(target, csv, &con);
        if (m.byKeys) e.targetSelect = "SELECT * FROM items";
        e.keyBatchRecords = m.batch;
        e.settings = mapping(type);
        e.transactionRecords = 3;
        e.transactionMinMs = 0;
        if (blockRows > 0) {
            csv.BlockRows = blockRows;
            EXPECT_TRUE(e.streamSource());
        } else {
            csv.Open();
        }
        Result r;
        r.check = Counts(e.check());
        for (const QString& line : e.resultLines)
            if (line.startsWith("Record ")) r.records << line;
        r.run = Counts(e.run());
        for (const QString& line : e.resultLines)
            if (line.startsWith("Record ")) r.records << line;
        r.rows = stored();
        r.updateLog = e.updateLog;
        target.Close();
        con.Close();
        return r;
    };
    for (ImportType type : {ImportType::AddAll, ImportType::UpdateAdd}) {
        SCOPED_TRACE(int(type));
        const Result whole = import(type, 0);
        EXPECT_EQ(whole.run, type == ImportType::AddAll ? "8/6/0/0/0/2" : "8/3/3/0/0/2")
            << whole.run.toStdString();
        EXPECT_TRUE(
            whole.records.contains("Record 4: Value \"Much too long\" does not fit field \"name\": 13 "
                                   "characters, at most 8."))
            << whole.records.join("\n").toStdString();
        for (const TargetMode& m : {TargetMode{"sqlite", false}, TargetMode{"sqlite", true, 3}})
            for (int blockRows : {0, 1, 2, 4, 1000}) {
                SCOPED_TRACE(m.name() + ", blocks of " + std::to_string(blockRows));
                const Result blocks = import(type, blockRows, m);
                EXPECT_EQ(blocks.check, whole.check);
                EXPECT_EQ(blocks.run, whole.run);
                EXPECT_EQ(blocks.rows, whole.rows);
                EXPECT_EQ(blocks.records, whole.records);
                EXPECT_EQ(blocks.updateLog, whole.updateLog);
            }
    }
}

// An auxiliary lookup table turns the source's external codes into target keys, for the compare row
// and for the written value; a value missing from it is a warning and leaves the field NULL.
TEST_F(ImportDb, AuxiliaryLookupTables) {
    open("CREATE TABLE src (ext TEXT, qty INTEGER);"
         "INSERT INTO src VALUES ('x-a', 5), ('x-q', 6), ('X-C', 7);",
         QString(kTarget) + "CREATE TABLE codes (code TEXT, ext TEXT);"
                            "INSERT INTO codes VALUES ('A', 'X-A'), ('C', 'x-c'), ('', 'x-q');");
    TADOQuery codes(&con);
    codes.ReadOnly = true;
    codes.SQL = "SELECT code, ext FROM codes";
    codes.Open();
    ImportEngine e(target, source, &con);
    e.lookups = {&codes};
    e.settings.type = ImportType::UpdateAdd;
    e.settings.map = {{"qty", "qty"}, {"ext", "ext", 0}};
    e.settings.compare = {{"ext", "ext", 0}};
    EXPECT_EQ(Counts(e.check()), "3/2/1/0");
    const ImportRunCounts r = e.run();
    EXPECT_EQ(Counts(r), "3/2/1/0/0/0");
    EXPECT_EQ(r.war, 0); // 'x-q' is found, but its code is blank: no key, and the blank is written
    EXPECT_EQ(stored(), "A,Alpha,5 B,Beta,2 ,-,6 C,-,7");

    source.Close();
    source.SQL = "SELECT 'nope' AS ext, 1 AS qty";
    source.Open();
    e.settings.type = ImportType::AddAll;
    const ImportRunCounts w = e.run();
    EXPECT_EQ(Counts(w), "1/1/0/0/0/0");
    EXPECT_EQ(w.war, 1);
    EXPECT_EQ(e.warnings,
              QStringList{"Warning: Value \"nope\" not found in auxilary table for field \"ext\"."});
    EXPECT_TRUE(e.resultLines.contains("Warning:"));

    // The lookup rows follow the target's fields in settings files.
    SaveImportSettings(e.settings, target, dir.path("l.imp"), {&codes});
    EXPECT_TRUE(ReadFile(dir.path("l.imp")).contains("[kDBImportForm.sb2cb6_nostore]\r\nText=ext"));
    const ImportSettings back = LoadImportSettings(dir.path("l.imp"), target, {&codes});
    ASSERT_EQ(back.compare.size(), 1u);
    EXPECT_EQ(back.compare[0].lookup, 0);
    EXPECT_EQ(back.compare[0].target, "ext");
}

// From a PostgreSQL table into SQLite and back: an update-add by key each way, its savepoints
// keeping a failed record from spoiling the batch on the server.
TEST(ImportPostgres, IntoSqliteAndBack) {
    const ProviderFixture& pg = ProviderByName("postgresql-odbc");
    if (!pg.unavailable.isEmpty()) GTEST_SKIP() << pg.unavailable.toStdString();
    TempDir dir;
    TADOConnection pgCon, liteCon;
    pgCon.ConnectionString =
        pg.create("CREATE TABLE items (id INTEGER PRIMARY KEY, code VARCHAR(10), qty INTEGER);"
                  "INSERT INTO items (code, qty) VALUES ('A', 1), ('B', 2)");
    pgCon.Open();
    liteCon.ConnectionString = "Provider=SQLite;Data Source=" +
                               MakeSqliteDb(dir.path("l.db"), "CREATE TABLE items (id INTEGER PRIMARY KEY,"
                                                              " code VARCHAR(10), qty INTEGER);"
                                                              "INSERT INTO items (code, qty) VALUES ('b', 5),"
                                                              " ('C', 3), ('Too long a code', 4);");
    liteCon.Open();
    const auto rows = [](TADOConnection& con) {
        TADOConnection other;
        other.ConnectionString = con.ConnectionString;
        other.Open();
        TADOQuery q(&other);
        q.SQL = "SELECT code, qty FROM items";
        q.Open();
        QStringList out;
        for (q.First(); !q.Eof(); q.Next())
            out << q.Fields(0)->AsString() + "=" + q.Fields(1)->AsString();
        out.sort();
        return out.join(" ");
    };
    const auto import = [](TADOConnection& to, TADOConnection& from) {
        TADOQuery target(&to), source(&from);
        target.SQL = "SELECT * FROM items";
        target.Open();
        source.SQL = "SELECT code, qty FROM items";
        source.Open();
        ImportEngine e(target, source, &to);
        e.settings.type = ImportType::UpdateAdd;
        e.settings.map = {{"code", "code"}, {"qty", "qty"}};
        e.settings.compare = {{"code", "code"}};
        return Counts(e.run());
    };
    EXPECT_EQ(import(pgCon, liteCon), "3/1/1/0/0/1");
    EXPECT_EQ(rows(pgCon), "A=1 C=3 b=5");
    EXPECT_EQ(import(liteCon, pgCon), "3/1/0/2/0/0");
    EXPECT_EQ(rows(liteCon), "A=1 C=3 Too long a code=4 b=5");
}
