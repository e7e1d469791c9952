// Connection files: the list, the name rule, create / duplicate / modify with their messages, and the
// editor's initialisation strings.
#include "connection_editor.h"
#include "connection_files.h"
#include "file_connection.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "udl_file.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace {
void touch(const QString& path, const QByteArray& content = {}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}
} // namespace

class ConnFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        conDir = dir.path() + '/';
        files = std::make_unique<ConnectionFiles>(conDir);
        // The editor saves a new (empty) file unless the test cancels it; others stay as they are.
        files->OpenEditor = [this](const QString& path) {
            edited << QFileInfo(path).fileName();
            if (saveInEditor && QFileInfo::exists(path) && QFileInfo(path).size() == 0)
                WriteUdlFile(path, "Provider=SQLite;Data Source=new.sqlite");
            return QFileInfo::exists(path);
        };
    }
    TempDir dir;
    QString conDir;
    std::unique_ptr<ConnectionFiles> files;
    QStringList edited;
    bool saveInEditor = true;
    ScopedScriptedMessages messages;
};

TEST_F(ConnFilesTest, ListIsSortedUdlFilesOnly) {
    touch(conDir + "b.udl");
    touch(conDir + "A.udl");
    touch(conDir + "c.txt");
    QDir().mkdir(conDir + "d.udl"); // a folder is not a connection
    EXPECT_EQ(ConnectionList(conDir), QStringList({"A.udl", "b.udl"}));
}

TEST_F(ConnFilesTest, CreateSetsTheExtension) {
    struct Case {
        const char* input;
        const char* file;
    } cases[] = {
        {"Sales", "Sales.udl"}, {"Sales.txt", "Sales.udl"}, {"prod.old", "prod.udl"}, {" x.y.z ", "x.y.udl"}};
    messages.answers.push_back(MsgAnswer::Yes); // the second Sales overwrites the first
    for (const Case& c : cases) {
        messages.inputs.push_back(QString(c.input));
        EXPECT_EQ(files->run(cfoCreate, ""), c.file);
        EXPECT_EQ(ReadUdlFile(conDir + c.file), "Provider=SQLite;Data Source=new.sqlite") << c.file;
    }
    // The overwritten Sales was edited as a draft beside it and then took its place.
    EXPECT_EQ(edited, QStringList({"Sales.udl", "Sales.udl.new", "prod.udl", "x.y.udl"}));
    EXPECT_EQ(ConnectionList(conDir), QStringList({"prod.udl", "Sales.udl", "x.y.udl"}));
    const QStringList questions = messages.log().filter("question");
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("Connection \"Sales.udl\" already exists. Overwrite it?"));
}

// The old connection stays when the overwrite is refused, and until its successor is saved.
TEST_F(ConnFilesTest, OverwriteNotDoneKeepsTheFile) {
    struct Case {
        MsgAnswer answer;
        bool save;
        QStringList edited;
    } cases[] = {{MsgAnswer::No, true, {}}, {MsgAnswer::Yes, false, {"Sales.udl.new"}}};
    for (const Case& c : cases) {
        touch(conDir + "Sales.udl", "keep");
        edited.clear();
        saveInEditor = c.save;
        messages.inputs.push_back(QString("Sales"));
        messages.answers.push_back(c.answer);
        EXPECT_EQ(files->run(cfoCreate, ""), "");
        QFile f(conDir + "Sales.udl");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "keep");
        EXPECT_EQ(edited, c.edited);
        EXPECT_EQ(QDir(conDir).entryList(QDir::Files), QStringList({"Sales.udl"}));
    }
}

TEST_F(ConnFilesTest, EditorLeftWithoutSavingCreatesNothing) {
    saveInEditor = false;
    messages.inputs.push_back(QString("Sales"));
    EXPECT_EQ(files->run(cfoCreate, "Work.udl"), ""); // the combo keeps its choice
    EXPECT_EQ(ConnectionList(conDir), QStringList());
}

TEST_F(ConnFilesTest, CancelAndBadNames) {
    EXPECT_EQ(files->run(cfoCreate, ""), ""); // Cancel
    messages.inputs.push_back(QString("../evil"));
    EXPECT_EQ(files->run(cfoCreate, ""), "");
    messages.inputs.push_back(QString(".txt"));
    EXPECT_EQ(files->run(cfoCreate, ""), "");
    EXPECT_EQ(ConnectionList(conDir), QStringList());
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/../evil.udl"));
    EXPECT_EQ(messages.log().filter("warning").size(), 2);
}

TEST_F(ConnFilesTest, DuplicateAndModify) {
    // Modify with an empty combo text only warns.
    EXPECT_EQ(files->run(cfoModify, "  "), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, "warning");
    EXPECT_EQ(messages.shown[0].text, "Select connection firstly");

    // Duplicate of a missing file asks, and on Yes creates exactly that file without asking a name.
    messages.clear();
    messages.answers.push_back(MsgAnswer::Yes);
    EXPECT_EQ(files->run(cfoDuplicate, "Missing.udl"), "Missing.udl");
    EXPECT_EQ(messages.shown[0].text, "Connection \"Missing.udl\" does not exist. Create new one?");
    EXPECT_TRUE(QFileInfo(conDir + "Missing.udl").isFile());

    // Duplicate copies the file under the new name.
    WriteUdlFile(conDir + "Prod.udl", "Provider=SQLite;Data Source=a.sqlite");
    messages.inputs.push_back(QString("Copy"));
    EXPECT_EQ(files->run(cfoDuplicate, "Prod.udl"), "Copy.udl");
    EXPECT_EQ(ReadUdlFile(conDir + "Copy.udl"), "Provider=SQLite;Data Source=a.sqlite");

    // Modify opens the existing file and changes nothing else.
    edited.clear();
    EXPECT_EQ(files->run(cfoModify, "Prod.udl"), "");
    EXPECT_EQ(edited, QStringList({"Prod.udl"}));

    // An editor that cannot open the file reports it with the full path.
    messages.clear();
    files->OpenEditor = [](const QString&) { return false; };
    files->run(cfoModify, "Prod.udl");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QString("Cannot open file \"%1\".").arg(conDir + "Prod.udl"));
}

TEST_F(ConnFilesTest, FilesOpenedDirectlyGetTheirConnection) {
    TempDir other;
    QDir().mkpath(other.path("a"));
    QDir().mkpath(other.path("b"));
    const QString dbA = MakeSqliteDb(other.path("a/sales.db"), "CREATE TABLE t (x INTEGER);");
    const QString dbB = MakeSqliteDb(other.path("b/sales.db"), "CREATE TABLE t (x INTEGER);");
    touch(other.path("fresh.sqlite"));
    touch(other.path("notes.txt"), "plain text");
    touch(other.path("notes.db"), "plain text");
    WriteUdlFile(other.path("a/rel.udl"), "Provider=SQLite;Data Source=sales.db");
    WriteUdlFile(conDir + "Here.udl", "Provider=SQLite;Data Source=x.sqlite");
    struct Case {
        QString file, name, initString;
    } cases[] = {
        {dbA, "sales.udl", "Provider=SQLite;Data Source=" + QFileInfo(dbA).absoluteFilePath()},
        {dbA, "sales.udl", "Provider=SQLite;Data Source=" + QFileInfo(dbA).absoluteFilePath()}, // reused
        {dbB, "sales (2).udl", "Provider=SQLite;Data Source=" + QFileInfo(dbB).absoluteFilePath()},
        {other.path("fresh.sqlite"), "fresh.udl",
         "Provider=SQLite;Data Source=" + QFileInfo(other.path("fresh.sqlite")).absoluteFilePath()},
        {other.path("a/rel.udl"), "rel.udl",
         "Provider=SQLite;Data Source=" + QFileInfo(dbA).absoluteFilePath()},
        {conDir + "Here.udl", "Here.udl", "Provider=SQLite;Data Source=x.sqlite"}, // used as it is
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConnectionForFile(conDir, c.file), c.name) << c.file.toStdString();
        EXPECT_EQ(ReadUdlFile(conDir + c.name), c.initString) << c.file.toStdString();
    }
    EXPECT_EQ(ConnectionList(conDir).size(), 5);
    for (const QString& bad : {other.path("notes.txt"), other.path("notes.db"), other.path("missing.db")}) {
        try {
            ConnectionForFile(conDir, bad);
            ADD_FAILURE() << bad.toStdString();
        } catch (const std::exception& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(bad)) << e.what();
        }
    }
    EXPECT_EQ(ConnectionList(conDir).size(), 5);
}

TEST(ConnectionEditor, InitStringsRoundTrip) {
    struct Case {
        ConnectionFields f;
        const char* text;
    } cases[] = {
        {{ConnProvider::SQLiteFile, "../demo.sqlite", "", 0, "", "", "", ""},
         "Provider=SQLite;Data Source=../demo.sqlite"},
        {{ConnProvider::PostgreSQL, "", "db.local", 5433, "sales", "ann", "p;w", ""},
         "Provider=PostgreSQL;Data Source=db.local;Port=5433;Initial Catalog=sales;User "
         "ID=ann;Password=\"p;w\""},
        {{ConnProvider::SQLServer, "", "srv", 1433, "Northwind", "sa", "", "Encrypt=no"},
         "Provider=SQLOLEDB;Data Source=srv,1433;Initial Catalog=Northwind;User ID=sa;Encrypt=no"},
        {{ConnProvider::OdbcDataSource, "MyDsn", "", 0, "", "u", "", ""},
         "Provider=MSDASQL;Data Source=MyDsn;User ID=u"},
        {{ConnProvider::OdbcDriver, "SQLite3", "", 0, "/tmp/x.db", "", "", ""},
         "Driver=SQLite3;Database=/tmp/x.db"},
        {{ConnProvider::SourceFile, "data/book.xlsx", "", 0, "", "", "",
          "Extended Properties=\"Excel 12.0 Xml;HDR=No\""},
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=data/book.xlsx;Extended Properties=\"Excel 12.0 "
         "Xml;HDR=No\""},
    };
    for (const Case& c : cases) {
        const QString text = InitStringOf(c.f);
        EXPECT_EQ(text, c.text);
        const ConnectionFields back = FieldsOfInitString(text);
        EXPECT_EQ(int(back.provider), int(c.f.provider)) << c.text;
        EXPECT_EQ(back.server, c.f.server) << c.text;
        EXPECT_EQ(back.port, c.f.port) << c.text;
        EXPECT_EQ(back.password, c.f.password) << c.text;
        EXPECT_EQ(back.extra, c.f.extra) << c.text;
    }
    EXPECT_EQ(MissingField({ConnProvider::PostgreSQL, "", "", 0, "", "", "", ""}), "Enter the server.");
    EXPECT_EQ(MissingField({ConnProvider::SQLiteFile, "", "", 0, "", "", "", ""}),
              "Enter the database file.");
}

// Whatever the fields hold, the file the editor writes reads back to the same fields.
TEST(ConnectionEditor, RandomValuesRoundTripThroughTheFile) {
    ScopedScriptedMessages messages;
    TempDir dir;
    const QString udl = dir.path("R.udl");
    touch(udl);
    TConnectionEditor editor;
    ASSERT_TRUE(editor.load(udl));
    const QString alphabet = QStringLiteral("ab ;=\"'{}x\\ž");
    std::mt19937 random(9);
    auto value = [&](bool outerBlanks) {
        QString v;
        for (int len = 1 + int(random() % 8); len > 0; --len)
            v += alphabet[int(random() % alphabet.size())];
        return outerBlanks ? v : v.trimmed();
    };
    for (int round = 0; round < 100; ++round) {
        ConnectionFields f;
        f.provider = ConnProvider::PostgreSQL;
        f.server = value(false).remove(',');
        f.database = value(false);
        f.user = value(true);
        f.password = value(true);
        if (f.server.isEmpty()) f.server = "s";
        editor.setFields(f);
        editor.accept();
        const ConnectionFields back = FieldsOfInitString(ReadUdlFile(udl));
        ASSERT_TRUE(back.server == f.server && back.database == f.database && back.user == f.user &&
                    back.password == f.password)
            << ReadUdlFile(udl).toStdString();
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST(ConnectionEditor, WritesTheFileAndTestsTheConnection) {
    ScopedScriptedMessages messages;
    TempDir dir;
    MakeSqliteDb(dir.path("d.sqlite"), "CREATE TABLE t (a INTEGER);");
    const QString udl = dir.path("New.udl");
    touch(udl);
    TConnectionEditor editor;
    ASSERT_TRUE(editor.load(udl));
    ConnectionFields f;
    f.dataSource = "missing.sqlite";
    editor.setFields(f);
    EXPECT_FALSE(editor.testConnection());
    EXPECT_FALSE(QFileInfo::exists(dir.path("missing.sqlite"))); // a test creates no database
    f.dataSource = "d.sqlite";
    editor.setFields(f);
    EXPECT_TRUE(editor.testConnection());
    EXPECT_EQ(messages.shown.back().text, "Test connection succeeded.");
    editor.accept();
    EXPECT_EQ(ReadUdlFile(udl), "Provider=SQLite;Data Source=d.sqlite");
    // A data file beside the connection file connects read-only through the same test.
    WriteFile(dir.path("list.csv"), "a,b\n1,2\n");
    f.provider = ConnProvider::SourceFile;
    f.dataSource = "list.csv";
    editor.setFields(f);
    EXPECT_TRUE(editor.testConnection());
    EXPECT_EQ(messages.shown.back().text, "Test connection succeeded.");
    EXPECT_EQ(MissingField({ConnProvider::SourceFile, "", "", 0, "", "", "", ""}), "Enter the data file.");
    EXPECT_FALSE(editor.load(dir.path("nothere.udl")));
}
