// Name quoting, value literals, record statements and the field-list routine.
#include "comp_config.h"
#include "field_list.h"
#include "record_statements.h"
#include "sql_literals.h"
#include "sql_names.h"
#include "sqltools_fixture.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {
const Dialect kMs(DialectKind::MSSQL), kLite(DialectKind::SQLite), kPg(DialectKind::PostgreSQL),
    kMy(DialectKind::MySQL);

TEST(SqlNames, QuotingByTheReservedWordRule) {
    struct Case {
        const char* name;
        const char* table; // SQL Server form
    };
    const Case cases[] = {
        {"Order", "[Order]"},
        {"Unit Price", "[Unit Price]"},
        {"last_name", "[last_name]"},
        {"Price", "Price"},
        {"CustomerID", "CustomerID"},
        {"order", "[order]"},           // case-insensitive
        {"Date", "[Date]"},             // the tail of CURRENT_DATE
        {"WRITETEXT", "[WRITETEXT]"},   // the last word of the list
        {"", "[]"},                     // the empty name counts as reserved
        {"Unit-Price", "[Unit-Price]"}, // punctuation: not a plain identifier
        {"1st", "[1st]"},               // a leading digit
        {"a]b", "[a]]b]"},              // the stop character is doubled
        {"x);DROP", "[x);DROP]"},       // no way out of the name
        {"Müller", "Müller"},           // letters of any script
        {"Tax$", "Tax$"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteTableName(c.name), QString::fromUtf8(c.table)) << c.name;
        EXPECT_EQ(QuoteFieldName(c.name), QString::fromUtf8(c.table)) << c.name;
    }
    EXPECT_FALSE(IsReservedWord("Price"));
    EXPECT_TRUE(IsReservedWord("ate")); // any tail of a listed word
}

TEST(SqlNames, QuoteCharactersAndDialects) {
    SettingsGuard guard;
    VemoCompConfig().kDBFilterCfg.TableQuoteStart = '"';
    VemoCompConfig().kDBFilterCfg.TableQuoteStop = '"';
    EXPECT_EQ(QuoteTableName("Order Details"), "\"Order Details\"");
    EXPECT_EQ(QuoteTableName("a\"b c"), "\"a\"\"b c\"");
    EXPECT_EQ(QuoteFieldName("Order"), "[Order]"); // the field pair is its own
    EXPECT_EQ(QuoteTableName("Price", kMs), "Price");
    // SQLite and PostgreSQL quote every name: their keywords differ and PostgreSQL folds case.
    EXPECT_EQ(QuoteFieldName("Price", kLite), "\"Price\"");
    EXPECT_EQ(QuoteFieldName("CustomerID", kPg), "\"CustomerID\"");
    EXPECT_EQ(QuoteTableName("a\"b", kPg), "\"a\"\"b\"");
    EXPECT_EQ(QuoteTableName("Order Details", kMy), "`Order Details`");
    EXPECT_EQ(QuoteFieldName("a`b\"c", kMy), "`a``b\"c`");
}

// One table per case, one row each; the literal of its only field in every dialect.
struct LiteralCase {
    const char* type;
    const char* value; // SQL expression
    const char* mssql;
    const char* sqlite;
    const char* pg;
    const char* mysql;
};

const LiteralCase kLiteralCases[] = {
    // A backslash is an escape in the MySQL form only.
    {"VARCHAR(30)", "'C:\\dir'", "'C:\\dir'", "'C:\\dir'", "'C:\\dir'", "'C:\\\\dir'"},
    {"VARCHAR(30)", "'O''Brien'", "'O''Brien'", "'O''Brien'", "'O''Brien'", "'O''Brien'"},
    {"MEMO", "'line1' || char(13, 10) || 'line2'", "'line1' + char(13) + char(10) + 'line2'",
     "'line1' || char(13) || char(10) || 'line2'", "'line1' || chr(13) || chr(10) || 'line2'",
     "'line1\\r\\nline2'"},
    {"MEMO", "'It''s' || char(13, 10) || char(13, 10) || 'x'",
     "'It''s' + char(13) + char(10) + '' + char(13) + char(10) + 'x'",
     "'It''s' || char(13) || char(10) || '' || char(13) || char(10) || 'x'",
     "'It''s' || chr(13) || chr(10) || '' || chr(13) || chr(10) || 'x'", "'It''s\\r\\n\\r\\nx'"},
    {"TEXT", "'a' || char(10) || 'b' || char(13) || 'c'", "'a\nb\rc'", "'a\nb\rc'", "'a\nb\rc'", "'a\nb\rc'"},
    {"TEXT", "''", "''", "''", "''", "''"},
    {"REAL", "1234.5", "1234.5", "1234.5", "1234.5", "1234.5"},
    {"REAL", "0.05 * 3", "0.15000000000000002", "0.15000000000000002", "0.15000000000000002",
     "0.15000000000000002"},
    {"REAL", "0.00001", "1E-5", "1E-5", "1E-5", "1E-5"},
    {"REAL", "-1.5e20", "-1.5E20", "-1.5E20", "-1.5E20", "-1.5E20"},
    {"MONEY", "250.5", "250.5", "250.5", "250.5", "250.5"},
    {"DECIMAL(10,2)", "12.35", "12.35", "12.35", "12.35", "12.35"},
    {"BIGINT", "1234567890123456789", "1234567890123456789", "1234567890123456789", "1234567890123456789",
     "1234567890123456789"},
    {"INTEGER", "-42", "-42", "-42", "-42", "-42"},
    {"INTEGER", "NULL", "null", "null", "null", "null"},
    {"VARCHAR(10)", "NULL", "null", "null", "null", "null"},
    {"DATETIME", "NULL", "null", "null", "null", "null"},
    {"BOOLEAN", "NULL", "null", "null", "null", "null"},
    {"BOOLEAN", "1", "1", "1", "TRUE", "1"},
    {"BOOLEAN", "0", "0", "0", "FALSE", "0"},
    {"DATETIME", "'2024-05-06 07:08:09'", "CONVERT(DATETIME, '2024-05-06 07:08:09', 102)",
     "'2024-05-06 07:08:09'", "TIMESTAMP '2024-05-06 07:08:09'", "TIMESTAMP '2024-05-06 07:08:09'"},
    {"DATETIME", "'2024-05-06 07:08:09.250'", "CONVERT(DATETIME, '2024-05-06 07:08:09.250', 102)",
     "'2024-05-06 07:08:09.250'", "TIMESTAMP '2024-05-06 07:08:09.250'",
     "TIMESTAMP '2024-05-06 07:08:09.250'"},
    {"DATE", "'2023-01-05'", "CONVERT(DATETIME, '2023-01-05 00:00:00', 102)", "'2023-01-05'",
     "DATE '2023-01-05'", "DATE '2023-01-05'"},
    {"TIME", "'08:30:00'", "CONVERT(DATETIME, '1899-12-30 08:30:00', 102)", "'08:30:00'", "TIME '08:30:00'",
     "TIME '08:30:00'"},
    {"DATETIME", "'1850-02-28 23:59:59'", "CONVERT(DATETIME, '1850-02-28 23:59:59', 102)",
     "'1850-02-28 23:59:59'", "TIMESTAMP '1850-02-28 23:59:59'", "TIMESTAMP '1850-02-28 23:59:59'"},
    {"GUID", "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'", "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'",
     "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'", "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'",
     "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'"},
    // A generic blob is a memo; bytes that are not text are written as binary, not mangled.
    {"BLOB", "'Grüße'", "'Grüße'", "'Grüße'", "'Grüße'", "'Grüße'"},
    {"BLOB", "X'00FF10'", "0x00FF10", "X'00FF10'", "'\\x00FF10'::bytea", "X'00FF10'"},
    {"BLOB", "X'89504E47'", "0x89504E47", "X'89504E47'", "'\\x89504E47'::bytea", "X'89504E47'"},
    // SQLite keeps the class per value: a blob stays a blob there even when its bytes read as text...
    {"BLOB", "X'414243'", "'ABC'", "X'414243'", "'ABC'", "'ABC'"},
    // ...and a blob in a text column (or one without a declared type) is binary in every dialect.
    {"TEXT", "X'00FF10'", "0x00FF10", "X'00FF10'", "'\\x00FF10'::bytea", "X'00FF10'"},
    {"", "X'4100'", "0x4100", "X'4100'", "'\\x4100'::bytea", "X'4100'"},
    {"TIME", "'12:00:00.5'", "CONVERT(DATETIME, '1899-12-30 12:00:00.500', 102)", "'12:00:00.500'",
     "TIME '12:00:00.500'", "TIME '12:00:00.500'"},
};

TEST(SqlLiterals, ValueLiteralsInEveryDialect) {
    SettingsGuard guard;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // decimal comma
    QString sql;
    int n = 0;
    for (const LiteralCase& c : kLiteralCases) {
        sql += QStringLiteral("CREATE TABLE c%1 (v %2); INSERT INTO c%1 VALUES (%3);\n")
                   .arg(n++)
                   .arg(QLatin1String(c.type), QString::fromUtf8(c.value));
    }
    SqliteFixture db(sql);
    n = 0;
    for (const LiteralCase& c : kLiteralCases) {
        auto q = db.open(QStringLiteral("c%1").arg(n++));
        const TField& f = *q->Fields(0);
        SCOPED_TRACE(std::string(c.type) + " " + c.value);
        EXPECT_EQ(ValueLiteral(f), QString::fromUtf8(c.mssql));
        EXPECT_EQ(ValueLiteral(f, false, kLite), QString::fromUtf8(c.sqlite));
        EXPECT_EQ(ValueLiteral(f, false, kPg), QString::fromUtf8(c.pg));
        EXPECT_EQ(ValueLiteral(f, false, kMy), QString::fromUtf8(c.mysql));
    }
}

TEST(SqlLiterals, WithNameAndSettings) {
    SettingsGuard guard;
    SqliteFixture db("CREATE TABLE t (last_name VARCHAR(20), Price REAL, Active BOOLEAN);"
                     "INSERT INTO t VALUES ('Hardy', 2.5, 1);");
    auto q = db.open("t");
    EXPECT_EQ(ValueLiteral(*q->Fields(0), true), "[last_name]='Hardy'");
    EXPECT_EQ(ValueLiteral(*q->Fields(1), true), "Price=2.5");
    EXPECT_EQ(ValueLiteral(*q->Fields(1), true, kPg), "\"Price\"=2.5");
    VemoCompConfig().kDBToolCfg.SQLScript_BooleanTrueValue = "TRUE";
    VemoCompConfig().kDBToolCfg.SQLScript_StringFieldQuotes = "\"";
    EXPECT_EQ(ValueLiteral(*q->Fields(2)), "TRUE");
    EXPECT_EQ(ValueLiteral(*q->Fields(0)), "\"Hardy\"");
    // The edit buffer is what the current record holds while editing.
    q->Edit();
    q->Fields(0)->setAsString("O'Neil");
    EXPECT_EQ(ValueLiteral(*q->Fields(0)), "\"O''Neil\"");
    q->Cancel();
}

// The statements of a small table with a key, a calculated field and a hidden field.
class RecordStatementsTest : public ::testing::Test {
protected:
    SqliteFixture db{"CREATE TABLE \"Order Details\" (OrderID INTEGER, ProductID INTEGER, Quantity SMALLINT,"
                     " Note MEMO, Hidden VARCHAR(5), Picture BLOB, PRIMARY KEY (OrderID, ProductID));"
                     "INSERT INTO \"Order Details\" VALUES (1, 2, 5, 'a' || char(13, 10) || 'b', 'h', X'00'),"
                     " (1, 3, NULL, NULL, 'h', NULL), (2, 1, 7, 'O''Brien', 'h', 'txt');"};
    std::unique_ptr<TADOQuery> q = open();

    std::unique_ptr<TADOQuery> open() {
        auto r = db.open("Order Details");
        r->FieldByName("Hidden")->Visible = false;
        return r;
    }
    QStringList build(const QStringList* keys, const QStringList* values, bool insert, bool all,
                      const QString& add = QString(), const Dialect& d = Dialect(DialectKind::MSSQL)) {
        QStringList out;
        RecordStatements(out, *q, "Order Details", keys, values, insert, all, add, d);
        return out;
    }
};

TEST_F(RecordStatementsTest, InsertAndUpdateForms) {
    const QStringList keys{"orderid", "PRODUCTID"};
    const QStringList values{"Quantity", "Note", "Hidden"};
    EXPECT_EQ(build(&keys, nullptr, true, false),
              QStringList{"INSERT INTO [Order Details] (Quantity, Note, Picture) \r\n"
                          "VALUES (5, 'a' + char(13) + char(10) + 'b', 0x00)"});
    EXPECT_EQ(build(nullptr, &values, true, false, "\r\nGO"),
              QStringList{"INSERT INTO [Order Details] (Quantity, Note) \r\nVALUES (5, 'a' + char(13) + "
                          "char(10) + 'b')\r\nGO"});
    EXPECT_EQ(
        build(&keys, &values, false, true),
        (QStringList{
            "UPDATE [Order Details] SET Quantity=5, Note='a' + char(13) + char(10) + 'b' \r\n"
            "WHERE OrderID=1 AND ProductID=2",
            "UPDATE [Order Details] SET Quantity=null, Note=null \r\nWHERE OrderID=1 AND ProductID=3",
            "UPDATE [Order Details] SET Quantity=7, Note='O''Brien' \r\nWHERE OrderID=2 AND ProductID=1"}));
    q->First();
    // A key that is also the only value: an empty SET part, as the callers were warned.
    const QStringList onlyKey{"OrderID"};
    EXPECT_EQ(build(&onlyKey, &onlyKey, false, false),
              QStringList{"UPDATE [Order Details] SET  \r\nWHERE OrderID=1"});
    // Without usable key fields the WHERE part is empty.
    EXPECT_EQ(build(nullptr, &onlyKey, false, false),
              QStringList{"UPDATE [Order Details] SET OrderID=1 \r\nWHERE "});
    // A NULL key is matched with IS NULL: "= null" matches no row in any dialect.
    const QStringList nullKey{"Quantity"}, note{"Note"};
    q->setRecNo(2);
    EXPECT_EQ(build(&nullKey, &note, false, false),
              QStringList{"UPDATE [Order Details] SET Note=null \r\nWHERE Quantity IS NULL"});
    EXPECT_EQ(build(&keys, &note, false, false, QString(), Dialect(DialectKind::SQLite)),
              QStringList{"UPDATE \"Order Details\" SET \"Note\"=null \r\nWHERE \"OrderID\"=1 AND "
                          "\"ProductID\"=3;"});
    const QStringList mixedKey{"ProductID", "Quantity"};
    EXPECT_EQ(build(&mixedKey, &note, false, false, QString(), Dialect(DialectKind::PostgreSQL)),
              QStringList{"UPDATE \"Order Details\" SET \"Note\"=null \r\nWHERE \"ProductID\"=3 AND "
                          "\"Quantity\" IS NULL;"});
    q->First();
    EXPECT_EQ(build(&keys, &values, true, false, QString(), Dialect(DialectKind::SQLite)),
              QStringList{"INSERT INTO \"Order Details\" (\"Quantity\", \"Note\") \r\n"
                          "VALUES (5, 'a' || char(13) || char(10) || 'b');"});
}

TEST_F(RecordStatementsTest, CategoriesDecideWhichFieldsTakePart) {
    SettingsGuard guard;
    const QStringList keys{"OrderID", "ProductID"};
    VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = false; // the blob is then binary: left out
    EXPECT_EQ(
        build(&keys, nullptr, true, false),
        QStringList{
            "INSERT INTO [Order Details] (Quantity, Note) \r\nVALUES (5, 'a' + char(13) + char(10) + 'b')"});
}

TEST_F(RecordStatementsTest, AllRecordsFollowSortAndFilterAndEndOnTheLast) {
    const QStringList values{"OrderID", "ProductID"};
    q->setSort("ProductID DESC");
    q->setFilter("Quantity<>NULL");
    q->setFiltered(true);
    q->First();
    EXPECT_EQ(build(nullptr, &values, true, true),
              (QStringList{"INSERT INTO [Order Details] (OrderID, ProductID) \r\nVALUES (1, 2)",
                           "INSERT INTO [Order Details] (OrderID, ProductID) \r\nVALUES (2, 1)"}));
    EXPECT_EQ(q->RecNo(), 2);
    EXPECT_FALSE(q->ControlsDisabled());
    // The current record alone, and nothing at all without one.
    q->First();
    EXPECT_EQ(build(nullptr, &values, true, false).size(), 1);
    q->setFilter("Quantity=99");
    EXPECT_TRUE(build(nullptr, &values, true, true).isEmpty());
    EXPECT_TRUE(build(nullptr, &values, true, false).isEmpty());
}

TEST(RecordStatements, LongPartsWrapAfter150Characters) {
    // 30 columns of 8-character names and 6-digit values.
    QString cols, vals;
    for (int i = 1; i <= 30; ++i) {
        cols += QStringLiteral("%1Column%2 INTEGER").arg(i > 1 ? ", " : "").arg(i, 2, 10, QChar('0'));
        vals += QStringLiteral("%1%2").arg(i > 1 ? ", " : "").arg(100000 + i);
    }
    SqliteFixture db("CREATE TABLE t (" + cols + "); INSERT INTO t VALUES (" + vals + ");");
    auto q = db.open("t");
    QStringList out;
    RecordStatements(out, *q, "Items", nullptr, nullptr, true, false, QString());
    ASSERT_EQ(out.size(), 1);
    const QStringList lines = out[0].split("\r\n");
    ASSERT_EQ(lines.size(), 4);
    // The 16th name pushes the first line to 158 characters; the next line begins with two blanks
    // and the separator.
    EXPECT_TRUE(lines[0].startsWith("INSERT INTO Items (Column01, "));
    EXPECT_TRUE(lines[0].endsWith(", Column16"));
    EXPECT_EQ(lines[0].size() - QString("INSERT INTO Items (").size(), 158);
    EXPECT_EQ(lines[1], "  , Column17, Column18, Column19, Column20, Column21, Column22, Column23, Column24, "
                        "Column25, Column26, Column27, Column28, Column29, Column30) ");
    // The 20th value pushes its line past 150 (20 * 8 - 2 = 158).
    EXPECT_TRUE(lines[2].startsWith("VALUES (100001, "));
    EXPECT_TRUE(lines[2].endsWith(", 100020"));
    EXPECT_EQ(lines[3],
              "  , 100021, 100022, 100023, 100024, 100025, 100026, 100027, 100028, 100029, 100030)");
}

TEST(RecordStatements, WrappingCountsCharactersNotBytes) {
    // 100 two-byte letters: 102 characters with the quotes, 202 bytes. Two of them pass 150.
    SqliteFixture db(
        "CREATE TABLE t (a TEXT, b TEXT, c TEXT); INSERT INTO t VALUES (printf('%.*c', 100, 'x'), "
        "'é', printf('%.*c', 100, 'y'));");
    auto q = db.open("SELECT replace(a, 'x', 'é') AS a, b, c FROM t");
    QStringList out;
    RecordStatements(out, *q, "t", nullptr, nullptr, true, false, QString());
    const QStringList lines = out.value(0).split("\r\n");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith("'é', '" + QString(100, 'y') + "'"));
    EXPECT_EQ(lines[2], "  )");
}

TEST(FieldList, OptionsFilterAndShape) {
    SqliteFixture db("CREATE TABLE t (ID INTEGER PRIMARY KEY, Name VARCHAR(10), Notes MEMO, Pic BLOB, "
                     "Raw VARBINARY(4)); INSERT INTO t VALUES (1, 'a', 'n', X'89504E470D0A', X'00');");
    auto q = db.open("t");
    q->FieldByName("Name")->setDisplayLabel("Full name");
    q->FieldByName("Notes")->Visible = false;
    q->addVirtualField("Calc", ftInteger, fkCalculated);
    struct Case {
        int options;
        QStringList expected;
    };
    const Case cases[] = {
        {floPlain, {"ID", "Name", "Calc"}},
        {floPlain | floDataOnly, {"ID", "Name"}},
        {floPlain | floMemo, {"ID", "Name", "Notes", "Pic", "Raw", "Calc"}},
        {floPlain | floMemo | floVisibleOnly, {"ID", "Name", "Pic", "Raw", "Calc"}},
        {floCaptions | floPlain, {"ID", "Full name", "Calc"}},
        {floPositions | floMemo, {"2", "3", "4"}},
        {floGraphic, {}}, // generic blobs are memos by default
        {floAllFields | floDataOnly, {"ID", "Name", "Notes", "Pic", "Raw"}},
        {floVisibleOnly, {}},
    };
    for (const Case& c : cases) {
        QStringList target{"stale"};
        EXPECT_EQ(FieldList(*q, target, c.options), c.expected.size()) << c.options;
        EXPECT_EQ(target, c.expected) << c.options;
    }
    SettingsGuard guard;
    VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = false;
    QStringList target;
    FieldList(*q, target, floGraphic); // a picture header makes a blob graphic
    EXPECT_EQ(target, QStringList{"Pic"});
}

TEST(FieldList, StringGridTakesEveryColumn) {
    struct Grid : FieldListSource {
        int columnCount() const override { return 3; }
        TField* columnField(int) const override { return nullptr; }
        QString columnCaption(int i) const override { return QStringLiteral("Col %1").arg(i); }
        bool columnVisible(int i) const override { return i != 1; }
        bool isStringGrid() const override { return true; }
    } grid;
    QStringList target;
    EXPECT_EQ(FieldList(grid, target, floPlain), 3);
    EXPECT_EQ(target, (QStringList{"0", "1", "2"}));
    FieldList(grid, target, floCaptions | floVisibleOnly);
    EXPECT_EQ(target, (QStringList{"Col 0", "Col 2"}));
}
} // namespace
