// The table workflow shared by the main window and tabulo-cli: exclude masks, table types, table
// expressions, load statements.
#include "table_list.h"

#include <gtest/gtest.h>

TEST(TableList, ExcludeMask) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"sysobjects", "sys*", true}, {"SysUsers", "sys*", true},       {"mysys", "sys*", false},
        {"Orders", "", false},        {"Orders", "order?", true},       {"Order", "order?", false},
        {"tmp1", "tmp[0-9]", true},   {"tmpx", "tmp[0-9]", false},      {"tmpx", "tmp[!0-9]", true},
        {"a[b", "a[b", true},         {"Order Details", "*det*", true}, {"x", "*", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " / " << c.mask;
}

TEST(TableList, TableTypes) {
    EXPECT_TRUE(TakeTableType("TABLE", TableChoice::Tables));
    EXPECT_FALSE(TakeTableType("VIEW", TableChoice::Tables));
    EXPECT_TRUE(TakeTableType("view", TableChoice::Views));
    EXPECT_FALSE(TakeTableType("table", TableChoice::Views));
    EXPECT_TRUE(TakeTableType("View", TableChoice::Both));
    EXPECT_FALSE(TakeTableType("SYSTEM TABLE", TableChoice::Both));
    EXPECT_FALSE(TakeTableType("SYNONYM", TableChoice::Both));
}

TEST(TableList, ExpressionAndStatementsInTheServerDialect) {
    const Dialect ms(DialectKind::MSSQL);
    EXPECT_EQ(TableExpression("Order Details", "", "", "", ms), "[Order Details]");
    EXPECT_EQ(TableExpression("Orders", "", "", "", ms), "Orders");
    EXPECT_EQ(TableExpression("sales_regions", "dbo.", "", "", ms), "dbo.[sales_regions]");
    EXPECT_EQ(TableExpression("Orders", "", "\"", "\"", ms), "\"Orders\"");
    EXPECT_EQ(TableExpression("Order Details", "", "\"", "\"", ms), "\"Order Details\"");
    // A stop text inside the name cannot close the quotes early.
    EXPECT_EQ(TableExpression("a\"b", "", "\"", "\"", ms), "\"a\"\"b\"");

    LoadStatements all = LoadStatementsFor("[Order Details]", 0, ms);
    EXPECT_EQ(all.count, "SELECT Count(*) FROM [Order Details]");
    EXPECT_EQ(all.data, "SELECT * FROM [Order Details]");
    EXPECT_EQ(LoadStatementsFor("Orders", 2, ms).data, "SELECT TOP 2000 * FROM Orders");
    EXPECT_EQ(LoadStatementsFor("Orders", -1, ms).data, "SELECT * FROM Orders");
    EXPECT_EQ(LoadStatementsFor("\"t\"", 1, Dialect(DialectKind::SQLite)).data,
              "SELECT * FROM \"t\" LIMIT 1000");
    // The command line counts rows, not thousands: 0 reads none, a negative count every row.
    EXPECT_EQ(SelectRows("Orders", 0, ms), "SELECT TOP 0 * FROM Orders");
    EXPECT_EQ(SelectRows("Orders", -1, ms), "SELECT * FROM Orders");
}
