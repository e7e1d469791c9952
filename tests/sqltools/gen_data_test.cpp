// The test data generator's engine over real SQLite files: every action, the runs, the per-record
// errors, the transactions, the saved grid, and tabulo-cli gendata. Results are read back through a
// second connection.
#include "exceptions.h"
#include "gen_data.h"
#include "gen_data_settings.h"
#include "progress.h"
#include "prop_save_file.h"
#include "sqltools_fixture.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <set>

namespace {
const char* kSources = "CREATE TABLE Two (Name TEXT);"
                       "INSERT INTO Two VALUES ('first'), ('second');"
                       "CREATE TABLE Three (Name TEXT, Price REAL);"
                       "INSERT INTO Three VALUES ('a', 1.5), ('b', 2.5), ('c', 3.5);";

struct ActionCase {
    const char* type; // declared type of the target column v
    const char* action;
    const char* value;
    const char* table; // source table (own database or the demo copy)
    const char* field;
    int records;
    QStringList written; // exact values of v (empty: check `distinct` instead)
    const char* left;    // the value cell after the run
    std::set<QString> distinct = {};
};

class GenData : public ::testing::Test {
protected:
    // A target table T (id, v of the given type), the sources in both databases.
    void make(const QString& type) {
        db = std::make_unique<SqliteFixture>(
            QStringLiteral("CREATE TABLE T (id INTEGER PRIMARY KEY, v %1);").arg(type) + kSources);
        q = db->open("T");
    }
    TestDataGenerator generator() {
        TestDataGenerator g(*q, db->connection, &demo->connection);
        g.rows = GenRowsOf(*q);
        return g;
    }
    QStringList values() { return ReadColumn(db->path, "SELECT v FROM T ORDER BY id"); }

    SettingsGuard settings;
    std::unique_ptr<SqliteFixture> demo = std::make_unique<SqliteFixture>(kSources);
    std::unique_ptr<SqliteFixture> db;
    std::unique_ptr<TADOQuery> q;
};

TEST_F(GenData, EachActionWritesItsValues) {
    const ActionCase cases[] = {
        {"INTEGER", "increment from", "100", "", "", 3, {"100", "101", "102"}, "103"},
        {"INTEGER", "increment from", "", "", "", 2, {"0", "1"}, "2"},
        {"DATETIME",
         "increment from",
         "2024-01-31 13:45",
         "",
         "",
         3,
         {"2024-01-31 13:45:00", "2024-02-01 13:45:00", "2024-02-02 13:45:00"},
         "2024-02-03 13:45"},
        {"DATE", "increment from", "2024-02-28", "", "", 2, {"2024-02-28", "2024-02-29"}, "2024-03-01"},
        {"INTEGER", "random (min..max)", "1..2", "", "", 20, QStringList(20, "1"), "1..2"},
        {"INTEGER", "random (min..max)", "-3..-1", "", "", 60, {}, "-3..-1", {"-3", "-2"}},
        {"DATE",
         "random (min..max)",
         "45000..45002",
         "",
         "",
         60,
         {},
         "45000..45002",
         {"2023-03-15", "2023-03-16"}},
        {"INTEGER", "constant value", "42", "", "", 2, {"42", "42"}, "42"},
        {"VARCHAR(5)", "constant value", "Hello world", "", "", 1, {"Hello"}, "Hello world"},
        {"TEXT", "constant value", "Žluťoučký", "", "", 1, {"Žluťoučký"}, "Žluťoučký"},
        {"TEXT",
         "next rec from demo db",
         "",
         "Two",
         "Name",
         5,
         {"first", "second", "first", "second", "first"},
         ""},
        {"TEXT", "next rec from own db", "", "Two", "Name", 3, {"first", "second", "first"}, ""},
        {"VARCHAR(3)", "next rec from own db", "", "Two", "Name", 2, {"fir", "sec"}, ""},
        {"REAL", "next rec from own db", "", "Three", "price", 2, {"1.5", "2.5"}, ""},
        // Every source record can be chosen, the last one too.
        {"TEXT", "random from own db", "", "Three", "Name", 200, {}, "", {"a", "b", "c"}},
        {"TEXT", "random from demo db", "", "Two", "Name", 100, {}, "", {"first", "second"}},
        {"INTEGER", "- none -", "5", "", "", 2, {"", ""}, "5"},
        {"INTEGER", "no such action", "5", "", "", 1, {""}, "5"},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(c.type, c.action, c.value).toStdString());
        make(c.type);
        TestDataGenerator g = generator();
        g.rows[1] = {"v", g.rows[1].fieldType, c.action, c.value, c.table, c.field};
        g.insert = true;
        g.count = c.records;
        const GenResult r = g.Run();
        EXPECT_EQ(r.records, c.records);
        EXPECT_EQ(r.failed, 0);
        const QStringList got = values();
        if (c.written.isEmpty()) {
            EXPECT_EQ(got.size(), c.records);
            EXPECT_EQ(std::set<QString>(got.begin(), got.end()), c.distinct);
        } else {
            EXPECT_EQ(got, c.written);
        }
        EXPECT_EQ(g.rows[1].value, QString::fromUtf8(c.left));
        EXPECT_EQ(q->RecordCount(), c.records); // the records are in the query too
    }
}

TEST_F(GenData, RandomWithoutRangeWritesOneTo999) {
    make("INTEGER");
    TestDataGenerator g = generator();
    g.rows[1].action = "random (min..max)";
    g.insert = true;
    g.count = 500;
    g.Run();
    for (const QString& v : values()) {
        ASSERT_GE(v.toInt(), 1);
        ASSERT_LE(v.toInt(), 999);
    }
}

TEST_F(GenData, TypeLabelsAndRowsFollowTheFields) {
    db = std::make_unique<SqliteFixture>("CREATE TABLE T (a INTEGER, b REAL, c DATETIME, d BOOLEAN, e TEXT, "
                                         "f BLOB, g MEMO, h DECIMAL(10,2), i DATE, j TIME);");
    q = db->open("T");
    QStringList labels;
    for (const GenRow& r : GenRowsOf(*q)) {
        labels << r.fieldType;
        EXPECT_TRUE(r.action.isEmpty() && r.value.isEmpty() && r.tableName.isEmpty() &&
                    r.sourceField.isEmpty());
    }
    EXPECT_EQ(labels,
              (QStringList{"Int", "Num", "Date", "Bool", "String", "Blob", "Blob", "Num", "Date", "Date"}));
    EXPECT_EQ(GenActionNames().size(), 8);
    EXPECT_EQ(GenActionOf("next rec from own db"), gaNextOwn);
    EXPECT_EQ(GenActionOf(""), gaNone);
}

TEST_F(GenData, AnUpdateRunRewritesEveryLoadedRecordOnce) {
    make("INTEGER");
    db->connection.Execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50) "
                           "INSERT INTO T (id, v) SELECT i, 0 FROM n");
    q = db->open("T");
    TestDataGenerator g = generator();
    g.rows[1].action = "increment from";
    g.rows[1].value = "1000";
    const GenResult r = g.Run();
    EXPECT_EQ(r.records, 50);
    EXPECT_EQ(TestDataGenerator::ResultText(false, r.records), "50 records updated.");
    EXPECT_EQ(TestDataGenerator::ResultText(true, 25), "25 records added.");
    const QStringList got = values();
    ASSERT_EQ(got.size(), 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(got[i], QString::number(1000 + i));
    EXPECT_EQ(g.rows[1].value, "1050");
}

struct ProgressLog : IProgress {
    void update(const QString& text, int percent, const std::function<void()>& onAbort, QObject*) override {
        if (text.isEmpty()) return;
        shown << QStringLiteral("%1 %2%3").arg(text).arg(percent).arg(onAbort ? " abort" : "");
        if (onAbort && abortAt > 0 && shown.size() > abortAt) onAbort();
    }
    QStringList shown;
    int abortAt = 0; // updates with an abort link before "Abort" is clicked
};

TEST_F(GenData, ProgressEveryTenthRecordAndAbort) {
    make("INTEGER");
    ProgressLog log;
    IProgress* prev = SetProgress(&log);
    TestDataGenerator g = generator();
    g.rows[1].action = "increment from";
    g.insert = true;
    g.count = 25;
    EXPECT_EQ(g.Run().records, 25);
    EXPECT_EQ(log.shown, (QStringList{"Opening data... -1", "Generating data... 40 abort",
                                      "Generating data... 80 abort"}));

    log.shown.clear();
    log.abortAt = 2; // "Opening data..." and the first update
    g.count = 100;
    const GenResult r = g.Run();
    SetProgress(prev);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.records, 20);
    EXPECT_EQ(values().size(), 45); // what was written before the abort stays
    EXPECT_FALSE(db->connection.InTransaction());
}

TEST_F(GenData, AFailedRecordIsAskedAboutAndUndoneAlone) {
    db = std::make_unique<SqliteFixture>(
        "CREATE TABLE T (id INTEGER PRIMARY KEY, v INTEGER UNIQUE, n INTEGER)");
    q = db->open("T");
    TestDataGenerator g(*q, db->connection, nullptr);
    g.rows = GenRowsOf(*q);
    g.rows[1].action = "random (min..max)";
    g.rows[1].value = "1..4"; // 1, 2 or 3: the fourth record cannot be unique
    g.rows[2].action = "increment from";
    g.insert = true;
    g.count = 10;
    g.transactionRecords = 2;
    g.transactionMinMs = 0;
    QStringList asked;
    g.OnRecordError = [&](const QString& message) {
        asked << message;
        // Go on (the same record again) a few times, then stop.
        return asked.size() < 20 ? GenErrorAnswer::Retry : GenErrorAnswer::Stop;
    };
    const GenResult r = g.Run();
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(asked.size(), 20);
    EXPECT_TRUE(asked[0].contains("UNIQUE")) << asked[0].toStdString();
    EXPECT_FALSE(db->connection.InTransaction());
    // The three good records are stored; no failed one is, and the query holds what the database holds.
    EXPECT_EQ(ReadColumn(db->path, "SELECT count(*) FROM T"), QStringList{"3"});
    EXPECT_EQ(q->RecordCount(), 3);
    EXPECT_EQ(q->State(), dsBrowse);
}

struct ErrorCase {
    const char* type;
    GenRow row;         // the row of v
    bool beforeWriting; // the run raises before any record; otherwise each record fails
    const char* message;
};

TEST_F(GenData, BadCellsFailClearly) {
    const ErrorCase cases[] = {
        {"INTEGER",
         {"v", "Int", "constant value", "abc", "", ""},
         false,
         "'abc' is not a valid value for field 'v'"},
        {"INTEGER",
         {"v", "Int", "constant value", "12.5", "", ""},
         false,
         "'12.5' is not a valid value for field 'v'"},
        {"INTEGER", {"v", "Int", "increment from", "x1", "", ""}, false, "'x1' is not a valid integer value"},
        {"DATE",
         {"v", "Date", "increment from", "31.31.2024", "", ""},
         false,
         "'31.31.2024' is not a valid date"},
        {"INTEGER", {"v", "Int", "random (min..max)", "5..5", "", ""}, true, "the range \"5..5\" is empty"},
        {"INTEGER",
         {"v", "Int", "random (min..max)", "9..3", "", ""},
         true,
         "Field \"v\": the range \"9..3\""},
        {"INTEGER", {"v", "Int", "constant value", "1", "Two", "Name"}, true, "Internal error."},
        {"TEXT", {"v", "String", "next rec from own db", "", "Nope", "Name"}, true, "Nope"},
        {"TEXT",
         {"v", "String", "next rec from own db", "", "Two", "Nope"},
         false,
         "Field 'Nope' not found in \"Two\""},
        {"TEXT",
         {"v", "String", "random from own db", "", "Empty", "Name"},
         false,
         "\"Empty\" has no records"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.message);
        make(c.type);
        db->connection.Execute("CREATE TABLE Empty (Name TEXT)");
        TestDataGenerator g = generator();
        g.rows[1] = c.row;
        g.insert = true;
        g.count = 3;
        QStringList asked;
        g.OnRecordError = [&](const QString& m) {
            asked << m;
            return GenErrorAnswer::Skip;
        };
        if (c.beforeWriting) {
            try {
                g.Run();
                ADD_FAILURE() << "no error";
            } catch (const std::exception& e) {
                EXPECT_TRUE(ExceptionMessage(e).contains(QString::fromUtf8(c.message))) << e.what();
            }
            EXPECT_TRUE(asked.isEmpty());
        } else {
            const GenResult r = g.Run();
            EXPECT_EQ(r.records, 0);
            EXPECT_EQ(r.failed, 3);
            ASSERT_EQ(asked.size(), 3);
            EXPECT_TRUE(asked[0].contains(QString::fromUtf8(c.message))) << asked[0].toStdString();
        }
        EXPECT_TRUE(values().isEmpty()); // nothing written, never a silent zero
        EXPECT_FALSE(db->connection.InTransaction());
    }
}

TEST_F(GenData, SettingsRowsFindTheirFieldByName) {
    make("INTEGER");
    TestDataGenerator g = generator();
    // Saved for a table whose fields stood in another order.
    g.rows = {{"V", "Int", "constant value", "7", "", ""}, {"id", "Int", "- none -", "", "", ""}};
    g.insert = true;
    g.count = 2;
    g.Run();
    EXPECT_EQ(values(), (QStringList{"7", "7"}));
}

TEST_F(GenData, GridIsSavedPerDatabaseAndTable) {
    TempDir dir;
    std::vector<GenRow> rows = {{"id", "Int", "increment from", "103", "", ""},
                                {"name", "String", "next rec from demo db", "", "People", "Surname"}};
    {
        TPropSaveFile store;
        store.FileName = dir.path("tabulo.ini");
        store.Loaded();
        WriteStringGrid(store, GenSettingsKey("shop", "Orders"), GenGridOf(rows));
        WriteStringGrid(store, GenSettingsKey("shop", "Items"), GenGridOf({rows[1]}));
        // Saving again over a wider grid leaves no stale column behind.
        StringGridData wide = GenGridOf(rows);
        wide.columns.push_back({"x", "y", "z"});
        wide.colWidths.push_back(5);
        WriteStringGrid(store, GenSettingsKey("other", "Orders"), wide);
        WriteStringGrid(store, GenSettingsKey("other", "Orders"), GenGridOf({rows[0]}));
        ASSERT_TRUE(store.SaveFile());
    }
    TPropSaveFile store;
    store.FileName = dir.path("tabulo.ini");
    store.Loaded();
    StringGridData grid;
    ASSERT_TRUE(ReadStringGrid(store, "shop.Orders.Actions", grid));
    EXPECT_EQ(grid.columns.size(), 7u);
    EXPECT_EQ(grid.columns[3], (QStringList{"Action", "increment from", "next rec from demo db"}));
    const std::vector<GenRow> back = GenRowsOfGrid(grid);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].sourceField, "Surname");
    EXPECT_EQ(back[0].value, "103");
    ASSERT_TRUE(ReadStringGrid(store, "shop.Items.Actions", grid));
    EXPECT_EQ(GenRowsOfGrid(grid).size(), 1u);
    ASSERT_TRUE(ReadStringGrid(store, "other.Orders.Actions", grid));
    EXPECT_EQ(grid.columns.size(), 7u);
    EXPECT_FALSE(store.SectionExists("other.Orders.Actions.Column7"));
    EXPECT_FALSE(ReadStringGrid(store, "shop.Customers.Actions", grid));
    // An empty table still gets one (empty) row below the titles.
    EXPECT_EQ(GenGridOf({}).rowHeights.size(), 2u);
}

// --- tabulo-cli gendata

struct Cli {
    int status;
    QString out, err;
};

Cli gendata(const QString& db, const QStringList& args) {
    QProcess p;
    p.start(ProgramDir() + "/tabulo-cli",
            QStringList{"--connect", "Provider=SQLite;Data Source=" + db, "gendata"} + args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(CliGenData, InsertsAndUpdatesFromSavedSettings) {
    SqliteFixture db("CREATE TABLE People (id INTEGER PRIMARY KEY, Surname VARCHAR(6), n INTEGER UNIQUE)");
    const QString ini = db.dir.path("gen.ini");
    {
        TPropSaveFile store;
        store.FileName = ini;
        store.Loaded();
        WriteStringGrid(store, GenSettingsKey(db.connection.DefaultDatabase(), "People"),
                        GenGridOf({{"id", "Int", "", "", "", ""},
                                   {"Surname", "String", "next rec from demo db", "", "People", "Surname"},
                                   {"n", "Int", "increment from", "7", "", ""}}));
        ASSERT_TRUE(store.SaveFile());
    }
    Cli r = gendata(db.path, {"People", "--count", "25", "--settings", ini});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "25 records added.\n");
    EXPECT_EQ(r.err, "");
    const QStringList names = ReadColumn(db.path, "SELECT Surname FROM People ORDER BY id");
    ASSERT_EQ(names.size(), 25);
    // The first surnames of the sample database's People table, cut to the field's size.
    const QString demo = ProgramDir() + "/GenDemoData/DemoData.sqlite";
    const QStringList expected =
        ReadColumn(demo, "SELECT substr(Surname, 1, 6) FROM People ORDER BY ID LIMIT 2");
    EXPECT_EQ(names.mid(0, 2), expected);
    EXPECT_EQ(ReadColumn(db.path, "SELECT max(n) FROM People"), QStringList{"31"});

    // Running again from 7 collides with the stored numbers: each record fails, exit 1.
    r = gendata(db.path, {"People", "--count", "2", "--settings", ini});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0 records added.\n");
    EXPECT_EQ(r.err.count("UNIQUE"), 2) << r.err.toStdString();

    // --update rewrites the first N records.
    r = gendata(db.path, {"People", "--count", "3", "--update", "--settings", ini});
    ASSERT_EQ(r.status, 0) << r.err.toStdString(); // 7, 8 and 9 again, each on the record that held it
    EXPECT_EQ(r.out, "3 records updated.\n");
    EXPECT_EQ(ReadColumn(db.path, "SELECT count(*) FROM People"), QStringList{"25"});
}

TEST(CliGenData, MissingSettingsAndBadArguments) {
    SqliteFixture db("CREATE TABLE T (id INTEGER PRIMARY KEY)");
    struct Case {
        QStringList args;
        int status;
        const char* err;
    } cases[] = {
        {{"T", "--count", "5", "--settings", db.dir.path("none.ini")}, 1, "none.ini\" not found"},
        {{"T"}, 2, "gendata needs --count N"},
        {{"T", "--count", "0"}, 2, "--count takes a number from 1 to 10000000, not 0"},
        {{"T", "--count", "x"}, 2, "not x"},
    };
    for (const Case& c : cases) {
        const Cli r = gendata(db.path, c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    WriteFile(db.dir.path("empty.ini"), "[x]\nA=1\n");
    const Cli r = gendata(db.path, {"T", "--count", "5", "--settings", db.dir.path("empty.ini")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("no generator settings for table \"T\"")) << r.err.toStdString();
}
} // namespace
