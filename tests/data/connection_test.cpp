// Connection files, provider strings, schema rowsets and the record scan.
#include "conn_string.h"
#include "connection.h"
#include "exceptions.h"
#include "query.h"
#include "scan_dataset.h"
#include "schema_rowsets.h"
#include "test_util.h"
#include "udl_file.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace {
const char* kShop = R"(
CREATE TABLE Customers (Id INTEGER PRIMARY KEY, Name VARCHAR(40) NOT NULL, Since DATE DEFAULT '2020-01-01');
CREATE TABLE "Order Details" (OrderId INTEGER NOT NULL, ProductId INTEGER NOT NULL REFERENCES Customers,
  Qty SMALLINT, PRIMARY KEY (OrderId, ProductId));
CREATE UNIQUE INDEX ix_name ON Customers(Name);
CREATE VIEW Names AS SELECT Name FROM Customers;
INSERT INTO Customers (Id, Name) VALUES (1, 'A'), (2, 'B'), (3, 'C');
)";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "<no error>";
}

QStringList column(TDataSet& ds, const QString& field) {
    QStringList out;
    for (int i = 0; i < ds.RecordCount(); ++i)
        out << ds.valueAt(ds.FieldByName(field), i).toString();
    return out;
}
} // namespace

TEST(ConnectionFiles, ReadInEveryEncoding) {
    TempDir dir;
    const QString init = "Provider=SQLite;Data Source=shop.sqlite";
    QString body = "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" + init + "\r\n";
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : body)
        utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    struct Case {
        const char* name;
        QByteArray bytes;
        QString expected = QString();
    } cases[] = {
        {"utf16.udl", utf16},
        {"utf8bom.udl", "\xEF\xBB\xBF" + body.toUtf8()},
        {"ascii.udl", body.toLatin1()},
        {"bare.udl", (init + "\n").toLatin1()},
        {"latin1.udl", "Provider=SQLite;Data Source=M\xFCller.sqlite\r\n",
         "Provider=SQLite;Data Source=Müller.sqlite"},
        {"utf8.udl", "Provider=SQLite;Data Source=Müller.sqlite\r\n",
         "Provider=SQLite;Data Source=Müller.sqlite"},
        // A quoted value goes on over line breaks; the next line is no part of the string.
        {"multiline.udl", "[oledb]\r\nProvider=SQLite;Password=\"a\r\nb\";Data Source=x\r\nJunk=1\r\n",
         "Provider=SQLite;Password=\"a\r\nb\";Data Source=x"},
    };
    for (const Case& c : cases) {
        writeFile(dir.path(c.name), c.bytes);
        EXPECT_EQ(ReadUdlFile(dir.path(c.name)), c.expected.isNull() ? init : c.expected) << c.name;
    }
    // What we write is the usual form and reads back the same.
    WriteUdlFile(dir.path("written.udl"), init);
    QFile f(dir.path("written.udl"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith(QByteArray("\xFF\xFE[\0o\0l\0e\0d\0b\0]\0", 16)));
    EXPECT_EQ(ReadUdlFile(dir.path("written.udl")), init);
}

TEST(ConnectionFiles, ErrorsNameTheFile) {
    TempDir dir;
    writeFile(dir.path("empty.udl"), "");
    writeFile(dir.path("junk.udl"), "[oledb]\r\nthis is not a connection\r\n");
    writeFile(dir.path("unknown.udl"), "Provider=Foo.Bar.1;Data Source=x;Password=secret");
    writeFile(dir.path("missingdb.udl"), "Provider=SQLite;Data Source=nothere.sqlite");
    writeFile(dir.path("notdb.sqlite"), "this is plain text, not a database file at all..............");
    writeFile(dir.path("notdb.udl"), "Provider=SQLite;Data Source=notdb.sqlite");
    writeFile(dir.path("keyless.udl"), "Data Source={a;}}b};Encrypt;Password=secret");
    writeFile(dir.path("nul.udl"),
              QByteArray("[oledb]\r\n; comment\r\nProvider=SQLite;Data Source=a") + '\0' + "b");
    QByteArray surrogate("\xFF\xFE", 2);
    for (QChar c : QStringLiteral("[oledb]\r\nProvider=SQLite;Data Source=a") + QChar(0xD800) + "b\r\n")
        surrogate.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    writeFile(dir.path("surrogate.udl"), surrogate);
    writeFile(dir.path("big.udl"), "Provider=SQLite;Data Source=x;" + QByteArray(1 << 20, ' '));
    writeFile(dir.path("cp1252.udl"), "Provider=SQLite;Data Source=\x93x\x94.sqlite");
    struct Case {
        QString conn;
        QStringList expected;
    } cases[] = {
        {"FILE NAME=" + dir.path("none.udl"), {"Connection file", "none.udl", "does not exist"}},
        {"FILE NAME=" + dir.path("empty.udl"), {"empty.udl", "holds no connection"}},
        {"FILE NAME=" + dir.path("junk.udl"), {"junk.udl", "this is not a connection"}},
        {"FILE NAME=" + dir.path("unknown.udl"), {"unknown.udl", "Provider \"Foo.Bar.1\" is not supported"}},
        {"FILE NAME=" + dir.path("missingdb.udl"), {"nothere.sqlite", "does not exist"}},
        {"FILE NAME=" + dir.path("notdb.udl"), {"notdb.sqlite", "not a database"}},
        {"Data Source=x.sqlite;Password=topsecret", {"names no provider", "Password=***"}},
        // The message shows the string as written, only the password hidden.
        {"Data Source=x.sqlite;Encrypt;PWD=secret", {"\"Data Source=x.sqlite;Encrypt;PWD=***\""}},
        {"FILE NAME=" + dir.path("keyless.udl"),
         {"keyless.udl", "names no provider: \"Data Source={a;}}b};Encrypt;Password=***\""}},
        {"FILE NAME=" + dir.path("nul.udl"), {"nul.udl\", line 3", "NUL character"}},
        {"FILE NAME=" + dir.path("surrogate.udl"), {"surrogate.udl\", line 2", "lone surrogate"}},
        {"FILE NAME=" + dir.path("big.udl"), {"big.udl", "larger than 1 MB"}},
        {"FILE NAME=" + dir.path("cp1252.udl"), {"cp1252.udl\", line 1", "0x93"}},
        {QStringLiteral("Provider=SQLite;Data Source=a") + QChar(0) + "b", {"NUL character"}},
        // The server provider's own connection failure: its string shown, the password hidden.
        {"Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;User ID=u;Password=secret",
         {"Cannot connect", "Port=1;User ID=u;Password=***\""}},
        {"Provider=PostgreSQL;User ID=u;Password=secret", {"names no Data Source"}},
    };
    for (const Case& c : cases) {
        TADOConnection con;
        con.ConnectionString = c.conn;
        QString msg = errorOf([&] { con.Open(); });
        for (const QString& part : c.expected)
            EXPECT_TRUE(msg.contains(part)) << msg.toStdString();
        EXPECT_FALSE(msg.contains("secret")) << msg.toStdString();
        EXPECT_FALSE(con.Connected());
    }
}

TEST(ConnectionFiles, DataSourceIsRelativeToTheFile) {
    TempDir dir;
    QDir().mkpath(dir.path("Connections"));
    MakeSqliteDb(dir.path("shop.sqlite"), kShop);
    WriteUdlFile(dir.path("Connections/Shop.udl"), "Provider=SQLite;Data Source=../shop.sqlite");
    TADOConnection con;
    con.ConnectionString = "FILE NAME=" + dir.path("Connections/Shop.udl");
    con.Open();
    EXPECT_TRUE(con.Connected());
    EXPECT_EQ(con.DefaultDatabase(), "main");
    EXPECT_EQ(con.Execute("UPDATE Customers SET Name = Name || '!' WHERE Id >= ?", {2}), 2);
    EXPECT_EQ(con.Execute("DELETE FROM Customers WHERE Id = 99"), 0);
}

// No statement of a command text is silently dropped: without parameters all of them run, and a
// parameterised command or a query with a second statement is refused with nothing run.
TEST(ConnectionFiles, EveryStatementOfACommandRunsOrNoneDoes) {
    TempDir dir;
    MakeSqliteDb(dir.path("shop.sqlite"), kShop);
    TADOConnection con;
    con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("shop.sqlite");
    con.Open();
    EXPECT_EQ(con.Execute("CREATE TABLE t(a); INSERT INTO t VALUES (1); INSERT INTO t VALUES (2);\n"
                          "-- done\n"),
              2);
    EXPECT_THROW(con.Execute("DELETE FROM t WHERE a = ?; DELETE FROM t", {1}), EDatabaseError);
    TADOQuery q(&con);
    q.SQL = "SELECT a FROM t; DELETE FROM t";
    EXPECT_THROW(q.Open(), EDatabaseError);
    // A NUL would end the text for SQLite: refused naming its line, nothing run.
    EXPECT_THROW(con.Execute(QStringLiteral("DELETE FROM t;\nSELECT 1") + QChar(0) + "; DELETE FROM t"),
                 EDatabaseError);
    q.SQL = QStringLiteral("SELECT a FROM t") + QChar(0) + "; DELETE FROM t";
    EXPECT_THROW(q.Open(), EDatabaseError);
    q.SQL = "SELECT a FROM t; -- trailing comment";
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);
}

TEST(InitStrings, QuotedValuesAndPasswords) {
    InitString s = InitString::parse("Provider=SQLite; Data Source=\"a;b.sqlite\" ;PWD={x;}}y};User ID=u");
    EXPECT_EQ(s.value("data source"), "a;b.sqlite");
    EXPECT_EQ(s.value("PWD"), "x;}y");
    EXPECT_EQ(s.value("missing"), "");
    EXPECT_EQ(InitString::parse(s.text()).value("Data Source"), "a;b.sqlite");
    // A token without "=" stands alone, as drivers read it: the key after it is a key of its own.
    EXPECT_EQ(InitString::parse("UID=tab;Encrypt;PWD=secret").value("PWD"), "secret");
    EXPECT_FALSE(InitString::parse("UID=tab;Encrypt;PWD=secret").has("Encrypt"));

    // Every password form; the rest stays exactly as written (braces, doubled quotes, blanks).
    struct Case {
        const char* text;
        const char* masked;
    } cases[] = {
        {"Server=s;Password=p1;UID=u;PWD=p2", "Server=s;Password=***;UID=u;PWD=***"},
        {"Driver=FreeTDS;UID=tab;Encrypt;PWD=secret", "Driver=FreeTDS;UID=tab;Encrypt;PWD=***"},
        {"UID=tab; pwd = {se;c}}ret} ;Server=x", "UID=tab; pwd = ***;Server=x"},
        {"Password=\"a;\"\"b\";X={1}}}", "Password=***;X={1}}}"},
        {"Provider=x;Password='it''s'", "Provider=x;Password=***"},
        {"PWD=my;pass;UID=u", "PWD=***;***;UID=u"}, // the rest of an unquoted password
        {"Encrypt;PWD;secret;UID=u", "Encrypt;PWD;***;UID=u"},
        {"PWD={unterminated;UID=u", "PWD=***"},
        {"Data Source={a}}b};X=\"q\"\"q\";Encrypt", "Data Source={a}}b};X=\"q\"\"q\";Encrypt"},
        {"PWD=", "PWD=***"},
        {"Jet OLEDB:Database Password=x;NoPassword=y", "Jet OLEDB:Database Password=***;NoPassword=y"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MaskPasswords(c.text), c.masked) << c.text;
    EXPECT_EQ(PasswordsOf("PWD=my;pass;Password={x}"), QStringList({"my", "pass", "x"}));
}

// Whatever a value holds, writing it (into a connection file too) and reading it back gives it again.
TEST(InitStrings, EveryValueRoundTrips) {
    TempDir dir;
    const QString alphabet = QStringLiteral("ab ;=\"'{}[]\t\r\nx,\\ž");
    std::mt19937 random(21);
    for (int round = 0; round < 300; ++round) {
        InitString s;
        const int keys = 1 + int(random() % 4);
        for (int k = 0; k < keys; ++k) {
            QString v;
            for (int len = int(random() % 8); len > 0; --len)
                v += alphabet[int(random() % alphabet.size())];
            s.set(QStringLiteral("Key%1").arg(k), v);
        }
        WriteUdlFile(dir.path("r.udl"), s.text());
        const InitString back = InitString::parse(ReadUdlFile(dir.path("r.udl")));
        ASSERT_TRUE(back.items() == s.items()) << s.text().toStdString();
    }
    // A connection file's name is such a value.
    for (const QString& name : {QStringLiteral("Sales;2024"), QStringLiteral("{q} 'x\" y")}) {
        QDir().mkpath(dir.path(name));
        const QString path = dir.path(name + "/x.udl");
        EXPECT_EQ(InitString::parse(ConnectionFileString(path)).value("FILE NAME"), path);
    }
}

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(dir.path("shop.sqlite"), kShop);
        con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("shop.sqlite");
        con.Open();
    }
    TempDir dir;
    TADOConnection con;
    TADOQuery q;
};

TEST_F(SchemaTest, TablesViewsAndNames) {
    con.OpenSchema(siTables, {}, q);
    EXPECT_EQ(column(q, "TABLE_NAME"), QStringList({"Customers", "Names", "Order Details"}));
    EXPECT_EQ(column(q, "Table_Type"), QStringList({"TABLE", "VIEW", "TABLE"}));
    con.OpenSchema(siTables, {QVariant(), QVariant(), QVariant(), "VIEW"}, q);
    EXPECT_EQ(column(q, "TABLE_NAME"), QStringList({"Names"}));
    QStringList names;
    con.GetTableNames(names);
    EXPECT_EQ(names, QStringList({"Customers", "Names", "Order Details"}));
    con.OpenSchema(siViews, {}, q);
    EXPECT_TRUE(column(q, "VIEW_DEFINITION").first().contains("SELECT Name FROM Customers"));
}

TEST_F(SchemaTest, ColumnsKeysIndexes) {
    con.OpenSchema(siColumns, {QVariant(), QVariant(), "customers"}, q);
    EXPECT_EQ(column(q, "COLUMN_NAME"), QStringList({"Id", "Name", "Since"}));
    EXPECT_EQ(column(q, "IS_NULLABLE"), QStringList({"true", "false", "true"}));
    EXPECT_EQ(column(q, "COLUMN_DEFAULT")[2], "'2020-01-01'");
    EXPECT_EQ(column(q, "CHARACTER_MAXIMUM_LENGTH")[1], "40");

    con.OpenSchema(siPrimaryKeys, {QVariant(), QVariant(), "Order Details"}, q);
    EXPECT_EQ(column(q, "COLUMN_NAME"), QStringList({"OrderId", "ProductId"}));
    EXPECT_EQ(column(q, "ORDINAL"), QStringList({"1", "2"}));

    con.OpenSchema(siForeignKeys, {}, q);
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(column(q, "PK_TABLE_NAME"), QStringList({"Customers"}));
    EXPECT_EQ(column(q, "PK_COLUMN_NAME"), QStringList({"Id"})); // the parent's key, though not named
    EXPECT_EQ(column(q, "FK_COLUMN_NAME"), QStringList({"ProductId"}));

    con.OpenSchema(siIndexes, {QVariant(), QVariant(), QVariant(), QVariant(), "Customers"}, q);
    EXPECT_EQ(column(q, "INDEX_NAME"), QStringList({"ix_name"}));
    EXPECT_EQ(column(q, "UNIQUE"), QStringList({"true"}));

    con.OpenSchema(siStatistics, {QVariant(), QVariant(), "Customers"}, q);
    EXPECT_EQ(column(q, "CARDINALITY"), QStringList({"3"}));
    con.OpenSchema(siProviderTypes, {}, q);
    EXPECT_GE(q.RecordCount(), 5);
}

TEST_F(SchemaTest, UnsupportedKindsRaise) {
    for (int kind : {siAsserts, siCheckConstraints, siProcedures, siCubes, siProviderSpecific}) {
        QString msg = errorOf([&] { con.OpenSchema(kind, {}, q); });
        EXPECT_EQ(msg,
                  QString("Schema %1 is not supported by the SQLite provider").arg(SchemaKindName(kind)));
    }
    int kind = -1;
    EXPECT_TRUE(SchemaKindFromText("SITABLES", kind));
    EXPECT_EQ(kind, siTables);
    EXPECT_TRUE(SchemaKindFromText("39", kind));
    EXPECT_EQ(SchemaKindName(kind), "siProviderSpecific");
    EXPECT_FALSE(SchemaKindFromText("40", kind));
}

TEST_F(SchemaTest, ScanRestoresPositionAndControls) {
    q.Connection = &con;
    q.SQL = "SELECT * FROM Customers ORDER BY Id";
    q.Open();
    q.setRecNo(2);
    int scrolls = 0;
    q.AfterScroll = [&](TDataSet&) { ++scrolls; };
    QStringList seen;
    EXPECT_TRUE(ScanDataset(&q, true, true, true, [&](int recNo, bool&) {
        seen << QString::number(recNo) + q.FieldByName("Name")->AsString();
    }));
    EXPECT_EQ(seen, QStringList({"1A", "2B", "3C"}));
    EXPECT_EQ(q.RecNo(), 2);
    EXPECT_EQ(scrolls, 0); // the scroll events were detached
    EXPECT_FALSE(q.ControlsDisabled());

    EXPECT_FALSE(ScanDataset(&q, true, false, false, [&](int recNo, bool& stop) { stop = recNo == 2; }));
    EXPECT_EQ(q.RecNo(), 2);
    EXPECT_THROW(ScanDataset(&q, true, true, true, [&](int, bool&) { throw EDatabaseError("boom"); }),
                 EDatabaseError);
    EXPECT_FALSE(q.ControlsDisabled());
    EXPECT_TRUE(bool(q.AfterScroll));
    EXPECT_TRUE(ScanDataset(nullptr, true, true, true, [](int, bool&) {}));
}
