// The ODBC provider against real drivers: SQLite through its ODBC driver and the PostgreSQL and
// MariaDB test servers. Schema rowsets, type mapping, long and wide values, block fetches, rows affected,
// errors.
#include "connection.h"
#include "exceptions.h"
#include "provider_fixture.h"
#include "query.h"
#include "schema_rowsets.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace {
const char* kSchema = R"(
CREATE TABLE customer (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, code VARCHAR(10));
CREATE UNIQUE INDEX customer_code ON customer (code);
CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER REFERENCES customer (id), total NUMERIC(10,2));
CREATE VIEW big_orders AS SELECT * FROM orders WHERE total > 100;
INSERT INTO customer VALUES (1, 'Anna', 'a1');
INSERT INTO customer VALUES (2, 'Bob', 'b2');
INSERT INTO orders VALUES (1, 1, 150);
INSERT INTO orders VALUES (2, 1, 20.5);
INSERT INTO orders VALUES (3, 2, 99.99);
)";

class OdbcProviders : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        const ProviderFixture& p = ProviderByName(GetParam());
        if (!p.unavailable.isEmpty()) GTEST_SKIP() << p.unavailable.toStdString();
        con.ConnectionString = p.create(kSchema);
        con.Open();
    }
    bool isPostgres() const { return GetParam().startsWith("postgresql"); }
    bool isMariaDb() const { return GetParam().startsWith("mariadb"); }
    // Text concatenation: "||" is a logical OR in MariaDB's default mode.
    QString concat(const QString& a, const QString& b) const {
        return isMariaDb() ? QStringLiteral("CONCAT(%1, %2)").arg(a, b) : a + " || " + b;
    }

    // The rows of a schema rowset as "COLUMN=value" texts of the named columns.
    QStringList schema(int kind, const QStringList& columns, const QVariantList& restrictions = {}) {
        TADOQuery q;
        con.OpenSchema(kind, restrictions, q);
        QStringList rows;
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList parts;
            for (const QString& c : columns)
                parts << c + '=' + q.FieldByName(c)->AsString();
            rows << parts.join(' ');
        }
        return rows;
    }

    TADOConnection con;
};

TEST_P(OdbcProviders, ReportsTheDialectOfItsServer) {
    EXPECT_EQ(con.dialect().kind(), isPostgres()  ? DialectKind::PostgreSQL
                                    : isMariaDb() ? DialectKind::MySQL
                                                  : DialectKind::SQLite);
}

TEST_P(OdbcProviders, SchemaKinds) {
    struct Case {
        int kind;
        QVariantList restrictions;
        QStringList columns;
        QString expected;
    };
    const Case cases[] = {
        {siTables, {}, {"TABLE_NAME", "TABLE_TYPE"}, "TABLE_NAME=customer TABLE_TYPE=TABLE"},
        {siTables, {}, {"TABLE_NAME", "TABLE_TYPE"}, "TABLE_NAME=big_orders TABLE_TYPE=VIEW"},
        {siTables, {QVariant(), QVariant(), QVariant(), "VIEW"}, {"TABLE_NAME"}, "TABLE_NAME=big_orders"},
        {siViews, {}, {"TABLE_NAME"}, "TABLE_NAME=big_orders"},
        {siColumns,
         {QVariant(), QVariant(), "customer"},
         {"COLUMN_NAME", "ORDINAL_POSITION", "IS_NULLABLE"},
         "COLUMN_NAME=name ORDINAL_POSITION=2 IS_NULLABLE=False"},
        // The SQLite driver reports NUMERIC as a double.
        {siColumns,
         {QVariant(), QVariant(), "orders", "total"},
         {"TABLE_NAME", "COLUMN_NAME", "DATA_TYPE"},
         QString("TABLE_NAME=orders COLUMN_NAME=total DATA_TYPE=%1").arg(isPostgres() || isMariaDb() ? 131 : 5)},
        {siPrimaryKeys,
         {},
         {"TABLE_NAME", "COLUMN_NAME", "ORDINAL"},
         "TABLE_NAME=orders COLUMN_NAME=id ORDINAL=1"},
        {siForeignKeys,
         {},
         {"PK_TABLE_NAME", "PK_COLUMN_NAME", "FK_TABLE_NAME", "FK_COLUMN_NAME"},
         "PK_TABLE_NAME=customer PK_COLUMN_NAME=id FK_TABLE_NAME=orders FK_COLUMN_NAME=customer_id"},
        {siIndexes,
         {QVariant(), QVariant(), "customer_code"},
         {"TABLE_NAME", "UNIQUE", "PRIMARY_KEY", "COLUMN_NAME"},
         "TABLE_NAME=customer UNIQUE=True PRIMARY_KEY=False COLUMN_NAME=code"},
        {siStatistics, {QVariant(), QVariant(), "orders"}, {"TABLE_NAME"}, "TABLE_NAME=orders"},
        {siProviderTypes, {3}, {"DATA_TYPE"}, "DATA_TYPE=3"},
    };
    for (const Case& c : cases) {
        QStringList rows = schema(c.kind, c.columns, c.restrictions);
        EXPECT_TRUE(rows.contains(c.expected))
            << SchemaKindName(c.kind).toStdString() << ": " << rows.join(" | ").toStdString();
    }
    // Restrictions are exact: "customer" does not take "customer_code" or a pattern's other tables.
    EXPECT_EQ(schema(siColumns, {"TABLE_NAME"}, {QVariant(), QVariant(), "orders"}).size(), 3);
    EXPECT_EQ(schema(siTables, {"TABLE_NAME"}, {QVariant(), QVariant(), "c_stomer"}), QStringList());
}

TEST_P(OdbcProviders, EveryCatalogKindAnswersOthersAreNotSupported) {
    QList<int> kinds = {siCatalogs,         siSchemata,       siProcedures, siProcedureParameters,
                        siProcedureColumns, siTablePrivileges};
    if (isPostgres()) kinds << siColumnPrivileges; // the SQLite driver has no column privileges
    for (int kind : kinds) {
        TADOQuery q;
        try {
            con.OpenSchema(kind, {}, q);
        } catch (const EDatabaseError& e) {
            ADD_FAILURE() << SchemaKindName(kind).toStdString() << ": " << e.what();
        }
    }
    for (int kind : {siAsserts, siCheckConstraints, siTranslations}) {
        TADOQuery q;
        try {
            con.OpenSchema(kind, {}, q);
            ADD_FAILURE() << "answered " << SchemaKindName(kind).toStdString();
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message.contains("not supported")) << e.what();
        }
    }
}

TEST_P(OdbcProviders, TableListTakesTablesAndViewsOnly) {
    QStringList names;
    con.GetTableNames(names);
    EXPECT_EQ(names, QStringList({"big_orders", "customer", "orders"}));
}

TEST_P(OdbcProviders, TypesAndValues) {
    const QString blob = isPostgres() ? "BYTEA" : "BLOB";
    con.Execute(
        "CREATE TABLE kinds (id INTEGER PRIMARY KEY, wide VARCHAR(20), memo TEXT, amount NUMERIC(12,4), "
        "fixed CHAR(3), bin " +
        blob + ", small SMALLINT, big BIGINT, at TIME, free VARCHAR(300))");
    const QString wide = QString::fromUtf8("Žluťoučký kůň 😀");
    const QString longText = QString(5000, 'x') + QString::fromUtf8("ř");
    const QByteArray bytes("\x00\x01\xfe\xff zero", 9);
    EXPECT_EQ(con.Execute("INSERT INTO kinds VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                          {1, wide, longText, 1234.5678, "abc", bytes, 7, Q_INT64_C(9000000000),
                           QTime(13, 14, 15), QString(300, 'v')}),
              1);
    EXPECT_EQ(con.Execute("INSERT INTO kinds (id) VALUES (?)", {2}), 1);
    TADOQuery q(&con);
    q.SQL = "SELECT * FROM kinds ORDER BY id";
    q.Open();
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldByName("wide")->AsString(), wide);
    EXPECT_EQ(q.FieldByName("wide")->Size, 20);
    EXPECT_TRUE(IsStringType(q.FieldByName("wide")->DataType));
    EXPECT_EQ(q.FieldByName("memo")->AsString(), longText);
    EXPECT_NEAR(q.FieldByName("amount")->AsFloat(), 1234.5678, 1e-9);
    EXPECT_TRUE(IsNumericType(q.FieldByName("amount")->DataType));
    EXPECT_EQ(q.FieldByName("fixed")->AsString(), "abc");
    EXPECT_TRUE(IsBinaryType(q.FieldByName("bin")->DataType));
    EXPECT_EQ(q.FieldByName("bin")->AsVariant().toByteArray(), bytes);
    EXPECT_EQ(q.FieldByName("small")->DataType, ftSmallint);
    EXPECT_EQ(q.FieldByName("big")->AsVariant().toLongLong(), Q_INT64_C(9000000000));
    EXPECT_EQ(q.FieldByName("at")->DataType, ftTime);
    EXPECT_EQ(q.FieldByName("at")->AsVariant().toTime(), QTime(13, 14, 15));
    EXPECT_EQ(q.FieldByName("free")->AsString(), QString(300, 'v'));
    q.Next();
    for (const char* f : {"wide", "memo", "amount", "fixed", "bin", "small", "big", "at"})
        EXPECT_TRUE(q.FieldByName(f)->IsNull()) << f;
}

TEST_P(OdbcProviders, ValuesLongerThanTheDriverSaysAreReadWhole) {
    // Expressions and unsized columns come with a guessed width; the values must not be cut to it.
    const QString big(3000, 'q');
    con.Execute("UPDATE customer SET name = ? WHERE id = 1", {QStringLiteral("N")});
    TADOQuery q(&con);
    q.SQL = "SELECT id, " + concat("name", "?") + " AS tail FROM customer ORDER BY id";
    q.Parameters = {big};
    q.Open();
    EXPECT_EQ(q.FieldByName("tail")->AsString(), "N" + big);
}

TEST_P(OdbcProviders, BlocksOfRows) {
    con.Execute("CREATE TABLE numbers (n INTEGER, label VARCHAR(20))");
    EXPECT_EQ(
        con.Execute("INSERT INTO numbers WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s "
                    "WHERE n < 5000) SELECT n, " +
                    concat("'row '", "n") + " FROM s"),
        5000);
    TADOQuery q(&con);
    q.SQL = "SELECT n, label FROM numbers ORDER BY n";
    q.Open();
    ASSERT_EQ(q.RecordCount(), 5000);
    for (int n : {1, 1024, 1025, 4999, 5000}) {
        q.setRecNo(n);
        EXPECT_EQ(q.FieldByName("n")->AsInteger(), n);
        EXPECT_EQ(q.FieldByName("label")->AsString(), QString("row %1").arg(n));
    }
}

TEST_P(OdbcProviders, RowsAffectedAndTransactions) {
    struct Case {
        const char* sql;
        qint64 rows;
    };
    const Case cases[] = {
        {"UPDATE orders SET total = total + 1 WHERE customer_id = 1", 2},
        {"UPDATE orders SET total = 0 WHERE id = 99", 0},
        {"DELETE FROM orders WHERE id = 3", 1},
        {"SELECT * FROM orders", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(con.Execute(c.sql), c.rows) << c.sql;
    TADOQuery q(&con);
    q.SQL = "UPDATE customer SET code = code";
    EXPECT_EQ(q.ExecSQL(), 2);
    EXPECT_EQ(q.RowsAffected, 2);
    EXPECT_EQ(con.provider().executeBatch(
                  "INSERT INTO orders VALUES (10, 2, 1); INSERT INTO orders VALUES (11, 2, 2);"
                  " UPDATE orders SET total = 5 WHERE customer_id = 2"),
              4);

    con.BeginTrans();
    con.Execute("DELETE FROM orders");
    con.RollbackTrans();
    TADOQuery count(&con);
    count.SQL = "SELECT count(*) FROM orders";
    count.Open();
    EXPECT_EQ(count.Fields(0)->AsInteger(), 4);
}

TEST_P(OdbcProviders, StatementsThatOnlyReadAreToldBeforeTheyRun) {
    const std::pair<const char*, bool> cases[] = {
        {"SELECT * FROM orders", true}, {"SELECT count(*) FROM big_orders", true},
        {"DELETE FROM orders", false},  {"UPDATE orders SET total = 0", false},
        {"DROP TABLE customer", false},
    };
    for (const auto& [sql, reads] : cases)
        EXPECT_EQ(con.provider().readsOnly(sql), reads) << sql;
    EXPECT_EQ(schema(siTables, {"TABLE_NAME"}, {QVariant(), QVariant(), "customer"}).size(), 1);
    TADOQuery count(&con);
    count.SQL = "SELECT count(*) FROM orders WHERE total > 0";
    count.Open();
    EXPECT_EQ(count.Fields(0)->AsInteger(), 3); // nothing ran
}

TEST_P(OdbcProviders, NullParameterIntoTypedColumnAndGeneratedKey) {
    con.Execute(QString("CREATE TABLE events (id %1 PRIMARY KEY, day DATE, note VARCHAR(10))")
                    .arg(isPostgres() || isMariaDb() ? "SERIAL" : "INTEGER"));
    EXPECT_EQ(con.Execute("INSERT INTO events (day, note) VALUES (?, ?)", {QVariant(), "x"}), 1);
    QVariant id = con.provider().lastInsertId();
    EXPECT_EQ(id.toLongLong(), 1);
    EXPECT_EQ(con.Execute("UPDATE events SET day = ? WHERE id = ?", {QDate(2024, 2, 29), id}), 1);
    EXPECT_EQ(con.Execute("UPDATE events SET day = ? WHERE day = ?", {QVariant(), QDate(2024, 2, 29)}), 1);
}

TEST_P(OdbcProviders, ErrorsCarryTheDriversText) {
    struct Case {
        const char* sql;
        const char* text;
    };
    const Case cases[] = {
        {"SELECT * FROM nosuch_table", "nosuch_table"},
        {"INSERT INTO customer (id, name) VALUES (1, 'dup')", "["}, // a SQLSTATE from the driver
        {"   ", "empty"},
    };
    for (const Case& c : cases) {
        try {
            TADOQuery q(&con);
            q.SQL = c.sql;
            q.Open();
            ADD_FAILURE() << "no error for " << c.sql;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message.contains(c.text)) << e.what();
        }
    }
    // The connection is still usable after a failure.
    EXPECT_EQ(con.Execute("UPDATE customer SET code = code WHERE id = 1"), 1);
}

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcProviders,
                         ::testing::Values("sqlite-odbc", "postgresql-odbc", "postgresql", "mariadb-odbc"),
                         [](const auto& info) {
                             return QString(info.param).replace('-', '_').toStdString();
                         });
} // namespace
