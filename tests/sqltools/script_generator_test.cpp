// The script generator: selections, the lines around the statements, dialects, and a round trip of the
// demo database through a generated script.
#include "field_list.h"
#include "script_generator.h"
#include "sqltools_fixture.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
TEST(ScriptGenerator, ControlCodesInTheAddText) {
    const std::pair<const char*, const char*> cases[] = {
        {"#13#10GO", "\r\nGO"}, {"#13#10 GO", "\r\n GO"}, // the offered entry
        {"#9x#9", "\tx\t"},     {"#130", "\r0"},          {"#1", "#1"}, {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ExpandControlCodes(in), out) << in;
}

class ScriptTest : public ::testing::Test {
protected:
    SqliteFixture db{"CREATE TABLE \"User\" (ID INTEGER PRIMARY KEY, Login VARCHAR(20), Hidden VARCHAR(5));"
                     "INSERT INTO \"User\" VALUES (1, 'admin', 'h'), (2, 'o''brien', 'h'), (3, NULL, 'h');"};
    std::unique_ptr<TADOQuery> q = db.open("User");
    ScriptSettings settings;

    QStringList run(const Dialect& d = Dialect(DialectKind::MSSQL)) {
        return GenerateSqlScript(*q, "User", settings, d);
    }
};

TEST_F(ScriptTest, WarningsComeBeforeAnyLine) {
    QStringList lines;
    StringListSink sink(lines);
    settings.type = ScriptType::Update;
    settings.valueFields = {"Login"};
    settings.generateDeleteAll = true;
    try {
        GenerateSqlScript(*q, "User", settings, Dialect(DialectKind::MSSQL), sink);
        FAIL() << "no warning";
    } catch (const EScriptWarning& e) {
        EXPECT_EQ(e.Message, "Select at least one Key field for UPDATE script.");
    }
    settings.type = ScriptType::Insert;
    settings.valueFields.clear();
    try {
        GenerateSqlScript(*q, "User", settings, Dialect(DialectKind::MSSQL), sink);
        FAIL() << "no warning";
    } catch (const EScriptWarning& e) {
        EXPECT_EQ(e.Message, "Select at least one Value field to include in script.");
    }
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(ScriptTest, InsertScriptWithDeleteAllAndIdentityInsert) {
    settings.valueFields = {"ID", "Login", "Hidden"};
    settings.generateDeleteAll = settings.generateIdentityInsert = true;
    settings.addAfterEach = "#13#10 GO";
    q->FieldByName("Hidden")->Visible = false; // checked but not visible: never written
    EXPECT_EQ(run(), (QStringList{
                         "DELETE FROM [User]",
                         "GO",
                         "SET IDENTITY_INSERT [User] ON",
                         "GO",
                         "INSERT INTO [User] (ID, Login) \r\nVALUES (1, 'admin')\r\n GO",
                         "INSERT INTO [User] (ID, Login) \r\nVALUES (2, 'o''brien')\r\n GO",
                         "INSERT INTO [User] (ID, Login) \r\nVALUES (3, null)\r\n GO",
                         "SET IDENTITY_INSERT [User] OFF",
                         "GO",
                     }));
    EXPECT_EQ(q->RecNo(), 3);
    // SQLite: statements end in ";", no GO lines, identity insertion left out with a comment.
    settings.addAfterEach.clear();
    EXPECT_EQ(run(Dialect(DialectKind::SQLite)),
              (QStringList{
                  "DELETE FROM \"User\";",
                  "-- SET IDENTITY_INSERT \"User\" ON: left out, SQLite has no such statement",
                  "INSERT INTO \"User\" (\"ID\", \"Login\") \r\nVALUES (1, 'admin');",
                  "INSERT INTO \"User\" (\"ID\", \"Login\") \r\nVALUES (2, 'o''brien');",
                  "INSERT INTO \"User\" (\"ID\", \"Login\") \r\nVALUES (3, null);",
                  "-- SET IDENTITY_INSERT \"User\" OFF: left out, SQLite has no such statement",
              }));
}

TEST_F(ScriptTest, UpdateScriptIgnoresDeleteAndIdentity) {
    settings.type = ScriptType::Update;
    settings.keyFields = {"ID"};
    settings.valueFields = {"Login"};
    settings.generateDeleteAll = settings.generateIdentityInsert = true;
    settings.addAfterEach = "#13#10GO";
    const QStringList lines = run();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "UPDATE [User] SET Login='o''brien' \r\nWHERE ID=2\r\nGO");
}

// The rows of a table, and the storage class of every cell, in rowid order. Blob columns are left out of
// the storage classes: the dataset holds their bytes, not whether SQLite kept them as text.
QStringList TableRows(SqliteFixture& db, const QString& table) {
    auto q = db.open(table);
    QStringList classes;
    for (int i = 0; i < q->FieldCount(); ++i)
        if (StorageOf(q->Fields(i)->DataType) != StorageKind::Bytes)
            classes << QStringLiteral("typeof(\"%1\")").arg(q->Fields(i)->FieldName);
    auto types = db.open(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                             .arg(classes.join(" || ','"
                                               " || "),
                                  table));
    QStringList rows;
    for (int p = 0; p < q->RecordCount(); ++p) {
        QString row = types->valueAt(types->Fields(0), p).toString() + ':';
        for (int i = 0; i < q->FieldCount(); ++i) {
            QVariant v = q->valueAt(q->Fields(i), p);
            row +=
                (v.isValid() ? v.typeName() + QStringLiteral("=") + v.toString() : QStringLiteral("NULL")) +
                '|';
        }
        rows << row;
    }
    return rows;
}

TEST(ScriptRoundTrip, DemoDatabaseThroughASqliteScript) {
    const QString demoPath = ProgramDir() + "/demo.sqlite";
    ASSERT_TRUE(QFile::exists(demoPath)) << "build the demo_database target";
    TempDir dir;
    const QString demoCopy = dir.path("demo.sqlite");
    ASSERT_TRUE(QFile::copy(demoPath, demoCopy));
    SqliteFixture demo("SELECT 1;");
    demo.connection.Close();
    demo.connection.ConnectionString = "Provider=SQLite;Data Source=" + demoCopy;
    demo.connection.Open();

    QString schema;
    QStringList tables;
    auto master = demo.open("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    for (int p = 0; p < master->RecordCount(); ++p) {
        schema += master->valueAt(master->Fields(2), p).toString() + ";\n";
        if (master->valueAt(master->Fields(0), p) == "table")
            tables << master->valueAt(master->Fields(1), p).toString();
    }
    ASSERT_GE(tables.size(), 7);

    // The script of every table, with the lines a full reload would have.
    QString script;
    for (const QString& t : tables) {
        auto q = demo.open(t);
        ScriptSettings s;
        FieldList(*q, s.valueFields, floPlain | floMemo);
        ASSERT_EQ(s.valueFields.size(), q->FieldCount()) << t.toStdString();
        s.generateDeleteAll = s.generateIdentityInsert = true;
        for (const QString& entry : GenerateSqlScript(*q, t, s, Dialect(DialectKind::SQLite)))
            script += entry + "\r\n";
    }
    SqliteFixture copy(schema + "BEGIN;\n" + script + "COMMIT;\n");
    for (const QString& t : tables) {
        const QStringList original = TableRows(demo, t), restored = TableRows(copy, t);
        ASSERT_FALSE(original.isEmpty()) << t.toStdString();
        ASSERT_EQ(original.size(), restored.size()) << t.toStdString();
        for (qsizetype r = 0; r < original.size(); ++r)
            ASSERT_EQ(original[r], restored[r]) << t.toStdString() << " row " << r;
    }
}

TEST(ScriptRoundTrip, EveryValueKeepsItsStorageClassThroughASqliteScript) {
    const char* table = "CREATE TABLE m (id INTEGER PRIMARY KEY, v, b BLOB, n INTEGER, at TIME);";
    SqliteFixture db(
        QString(table) +
        "INSERT INTO m VALUES (1, 'a', X'00', 2, '12:00:00.500'), (2, X'00FF0A', X'41', 2.5, NULL),"
        " (3, NULL, 'txt', 10, '23:59:59'),"
        // texts holding bytes no text literal can
        " (4, CAST(X'410042' AS TEXT), CAST(X'89FF00' AS TEXT), NULL, NULL);");
    auto q = db.open("m");
    ScriptSettings s;
    s.valueFields = {"id", "v", "b", "n", "at"};
    QString script;
    for (const QString& entry : GenerateSqlScript(*q, "m", s, Dialect(DialectKind::SQLite)))
        script += entry + "\r\n";
    SqliteFixture copy(table + script);
    const QString each =
        "SELECT group_concat(id || ':' || typeof(v) || hex(v) || ',' || typeof(b) || hex(b) || ',' || "
        "quote(n) || ',' || quote(at), ' ') FROM m";
    EXPECT_EQ(copy.open(each)->Fields(0)->AsString(), db.open(each)->Fields(0)->AsString())
        << script.toStdString();
}

TEST(ScriptRoundTrip, ThousandRowsGiveThousandStatements) {
    SqliteFixture db("CREATE TABLE t (ID INTEGER PRIMARY KEY, V REAL);"
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)"
                     " INSERT INTO t SELECT i, i * 0.1 FROM n;");
    auto q = db.open("t");
    ScriptSettings s;
    s.valueFields = {"ID", "V"};
    s.generateDeleteAll = s.generateIdentityInsert = true;
    const QStringList lines = GenerateSqlScript(*q, "Items", s);
    EXPECT_EQ(lines.size(), 1006);
    EXPECT_EQ(lines[4], "INSERT INTO Items (ID, V) \r\nVALUES (1, 0.1)");
    EXPECT_EQ(lines[6], "INSERT INTO Items (ID, V) \r\nVALUES (3, 0.30000000000000004)");
    EXPECT_EQ(lines[1003], "INSERT INTO Items (ID, V) \r\nVALUES (1000, 100)");
}
} // namespace
