// Value commands: parsing (command, parameters, Check messages) and the effect of each command.
#include "import_calc.h"

#include "connection.h"
#include "query.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace {
struct CalcTarget : ::testing::Test {
    TempDir dir;
    TADOConnection con;
    TADOQuery q{&con};
    void SetUp() override {
        con.ConnectionString =
            "Provider=SQLite;Data Source=" +
            MakeSqliteDb(dir.path("t.db"), "CREATE TABLE t (Name VARCHAR(20), Title TEXT);");
        con.Open();
        q.SQL = "SELECT * FROM t";
        q.Open();
    }
    QString apply(const QStringList& lines, const QString& value) {
        const auto calcs = ParseCalcs(lines, &q, nullptr);
        QString v = value;
        ApplyCalcs(calcs, q.FindField(calcs.empty() ? "Name" : calcs.front().FieldName), v);
        return v;
    }
};
} // namespace

TEST_F(CalcTarget, ParsesLinesAndReportsInvalidRows) {
    struct Case {
        QString line;
        int type;
        QString p1, p2, error;
    } cases[] = {
        {"Name=Trim()", ctTrim, "", "", ""},
        {" name = tRIM ", ctTrim, "", "", ""},
        {"Name=Trim", ctTrim, "", "", ""},
        {"Name=Middle(4, 9)", ctMiddle, "4", " 9", ""},
        {"Name=Replace(a,b,c)", ctReplace, "a", "b", ""},
        {"Name=Trim ()", ctUnknown, "", "", "Unknown command \"Trim \" in row no. 1"},
        {"Nope=Trim()", ctTrim, "", "", "Unknown field \"Nope\" in row no. 1"},
        {"Nope=Bogus(1)", ctUnknown, "1", "", "Unknown command \"Bogus\" in row no. 1"},
        {"Name", ctUnknown, "", "", "Unknown command \"\" in row no. 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        QStringList errors;
        const auto calcs = ParseCalcs({c.line}, &q, &errors);
        ASSERT_EQ(calcs.size(), 1u);
        EXPECT_EQ(calcs[0].CalcType, c.type);
        EXPECT_EQ(calcs[0].Param1, c.p1);
        EXPECT_EQ(calcs[0].Param2, c.p2);
        EXPECT_EQ(errors.join("|"), c.error);
        EXPECT_EQ(calcs[0].Field != nullptr, c.error.isEmpty());
    }
    QStringList errors;
    EXPECT_TRUE(ParseCalcs({"", "  ", "\t"}, &q, &errors).empty());
    EXPECT_TRUE(errors.isEmpty());
    // Row numbers count blank lines.
    ParseCalcs({"", "Name=Trim()", "Name=Lft(2)"}, &q, &errors);
    EXPECT_EQ(errors, QStringList{"Unknown command \"Lft\" in row no. 3"});
}

TEST_F(CalcTarget, EachCommandOnValues) {
    struct Case {
        QStringList lines;
        QString in, out;
    } cases[] = {
        {{"Name=Trim()"}, "\t  ab c \r\n", "ab c"},
        {{"Name=Left(3)"}, "abcdef", "abc"},
        {{"Name=Left(10)"}, "abc", "abc"},
        {{"Name=Left(0)"}, "abc", ""},
        {{"Name=Left(-2)"}, "abc", ""},
        {{"Name=Left($2)"}, "abc", "ab"},
        {{"Name=Left(x)"}, "abc", "abc"},
        {{"Name=Right(2)"}, "abcdef", "ef"},
        {{"Name=Right(9)"}, "abc", "abc"},
        {{"Name=Right(0)"}, "abc", ""},
        {{"Name=Middle(4, 9)"}, "abcdefghijklmnop", "defghijkl"},
        {{"Name=Middle(4)"}, "abcdefghijklmnop", "defghijklmnop"},
        {{"Name=Middle(20,2)"}, "abc", ""},
        {{"Name=Middle(0,2)"}, "abc", "ab"},
        {{"Name=Part( ,1)"}, "John Smith Jr", "John"},
        {{"Name=Part( ,2)"}, "John Smith Jr", "Smith"},
        {{"Name=Part( ,0)"}, "John Smith", "John"},
        {{"Name=Part( ,257)"}, "John Smith", "John"},
        {{"Name=Part( ,5)"}, "John Smith", ""},
        {{"Name=Part(,1)"}, "John Smith", "John Smith"},
        {{"Name=Part(,2)"}, "John Smith", ""},
        {{"Name=Part(X,2)"}, "axbXc", "b"},
        {{"Name=Part( ,1)"}, "   ", ""},
        {{"Name=FromTo(@,.)"}, "john@example.com", "example"},
        {{"Name=FromTo(@,.)"}, "john.example.com", ""},
        {{"Name=FromTo(,.)"}, "a@b.c", ""},
        {{"Name=Replace(ab,X)"}, "abABcab", "XXcX"},
        {{"Name=Replace(a,aa)"}, "aXa", "aaXaa"},
        {{"Name=Replace(,x)"}, "abc", "abc"},
        {{"Name=Replace(b,)"}, "abcb", "ac"},
        {{"Title=RemoveChar(?!, # 9, # 105)"}, "Hi? #9 1x05!\ti", "Hix\ti"},
        {{"Title=RemoveChar(?!,#9,#105)"}, "Hi? I!\tok", "H ok"},
        {{"Title=RemoveChar(#44)"}, "1,2,3", "123"},
        {{"Name=Clean()"}, "Žluťoučký kůň_\"(1)\" [x] é", "Žluťoučký kůň(1) x é"},
        {{"Name=Clean(Spec)"}, "a.b,č (x)", "abč x"},
        {{"Name=Clean(special)"}, "a.b,č (x)", "abč x"},
        {{"Name=Clean(Local)"}, "a.b,č (x)", "a.b, (x)"},
        {{"Name=Clean(All)"}, "Ab.č-9_ z", "Ab9 z"},
        {{"Name=Trim()", "Name=Left(3)"}, "  abcdef", "abc"},
        {{"Name=Left(3)", "Name=Trim()"}, "  abcdef", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.lines.join(" / ") + " on " + c.in).toStdString());
        EXPECT_EQ(apply(c.lines, c.in), c.out);
    }
}

TEST_F(CalcTarget, OnlyValidCommandsOfTheFieldApply) {
    const auto calcs = ParseCalcs({"Title=Left(1)", "Name=Bogus()", "Nope=Left(1)"}, &q, nullptr);
    QString v = "abc";
    EXPECT_FALSE(ApplyCalcs(calcs, q.FindField("Name"), v));
    EXPECT_EQ(v, "abc");
    EXPECT_TRUE(ApplyCalcs(calcs, q.FindField("Title"), v));
    EXPECT_EQ(v, "a");
}
