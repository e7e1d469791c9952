// The tag language over plain-text templates and a small SQLite dataset: regions, blocks, values,
// formats, functions, aggregates and the exact error texts.
#include "connection.h"
#include "query.h"
#include "report_format.h"
#include "rtf_to_text.h"
#include "tag_scanner.h"
#include "test_util.h"
#include "text_report.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>

namespace {
const char* kSql = R"(
CREATE TABLE people (ID INTEGER, NAME TEXT, KIND TEXT, PRICE REAL, FLAG BOOLEAN, CODE TEXT, CITY TEXT,
                     BORN DATE, NOTE MEMO);
INSERT INTO people VALUES (1, 'Smith', 'a', 1, 1, 'AB1234', 'Brno', '2001-02-03', 'first');
INSERT INTO people VALUES (2, 'Jo', 'B', 2, 0, 'XY', '', '1999-12-31', NULL);
INSERT INTO people VALUES (3, 'Longer Name Here', 'c', 4, 1, NULL, 'Praha', NULL, 'x');
CREATE TABLE empty (ID INTEGER, NAME TEXT);
CREATE TABLE orders (GRP TEXT, PRICE REAL);
INSERT INTO orders VALUES ('x', 1), ('x', 2), ('y', 10);
)";

class ReportTags : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        con.ConnectionString = "Provider=SQLite;Data Source=" + MakeSqliteDb(dir.path("t.sqlite"), kSql);
        con.Open();
        open(people, "SELECT * FROM people ORDER BY ID");
        open(empty, "SELECT * FROM empty");
        open(orders, "SELECT * FROM orders ORDER BY GRP, PRICE");
    }
    void open(TADOQuery& q, const char* sql) {
        q.Connection = &con;
        q.SQL = sql;
        q.Open();
    }
    QString run(const QString& tmpl, std::vector<TDataSet*> ds = {}) {
        if (ds.empty()) ds = {&people};
        for (TDataSet* d : ds)
            d->First();
        report.OnGetTemplateStr = [&](QString& t) { t = tmpl; };
        return report.Execute(ds);
    }
    QString runOrError(const QString& tmpl, std::vector<TDataSet*> ds = {}) {
        try {
            return run(tmpl, ds);
        } catch (const TReportException& e) {
            return e.Message;
        }
    }
    // The message of the failure, or "no error".
    QString error(const QString& tmpl, std::vector<TDataSet*> ds = {}) {
        try {
            run(tmpl, ds);
        } catch (const TReportException& e) {
            return e.Message;
        }
        return "no error";
    }

    TempDir dir;
    TADOConnection con;
    TADOQuery people, empty, orders;
    TTextReport report;
};

const QString kBad = "Bad format of template file.\r\n";

struct Case {
    const char* tmpl;
    const char* out;
};

TEST_F(ReportTags, ValuesAndFormats) {
    const Case cases[] = {
        {"no tags at all", "no tags at all"},
        {"\\\\A.NAME\\\\!", "Smith!"},
        {"[\\\\A.NAME:<10\\\\]", "[Smith     ]"},
        {"[\\\\A.NAME:<3\\\\]", "[Smi]"},
        {"[\\\\A.PRICE:>6:0.00\\\\]", "[  1.00]"},
        {"\\\\A.FLAG:Yes;No\\\\", "Yes"},
        {"\\\\A.#\\\\/\\\\A.##\\\\", "1/3"},
        {"\\\\A.#1\\\\", "Smith"},
        {"\\\\A.NAME:label\\\\", "NAME"},
        {"\\\\A.BORN:dd.mm.yyyy\\\\", "03.02.2001"},
        {"\\\\A.CODE:00-00-00\\\\", "AB-12-34"},
        {"\\\\=2*(3+4)\\\\", "14"},
        {"\\\\=10-4-3\\\\", "3"},
        {"\\\\=2*-3\\\\", "-6"},
        {"\\\\=8/4/2\\\\", "1"},
        {"\\\\=1,5+1\\\\", "2.5"},
        {"\\\\=abs[2-5]:0.0\\\\", "3.0"},
        {"\\\\=A.PRICE+A.ID\\\\", "2"},
        {"\\\\=strlen[A.NAME]\\\\", "5"},
        {"\\\\=strpos[A.NAME, \"IT\"]\\\\ \\\\=strposcs[A.NAME, \"IT\"]\\\\", "3 0"},
        {"\\\\=1234567.891:#,##0.00\\\\", "1,234,567.89"},
        {"\\\\=-2:0;(0)\\\\ \\\\=0:0;(0);zero\\\\", "(2) zero"},
        {"\\\\=0.5:#.00\\\\ \\\\=0.5:#.##\\\\", ".50 .#"},
        {"\\\\str_part(A.CODE, 3, 2)\\\\", "12"},
        {"\\\\str_part(A.CODE, \"B\", \"3\")\\\\", "B12"},
        {"\\\\str_part(A.CODE, \"Q\", 2)\\\\|", "|"},
        {"\\\\str_replace(A.NAME, \"S\", \"Bl\", \"TH\", \"x\")\\\\", "Blmix"},
        {"\\\\str_upper(A.NAME)\\\\ \\\\str_proper(A.KIND)\\\\ \\\\str_lower(A.NAME)\\\\", "SMITH A smith"},
        {"\\\\str_trim(\"  a b  \")\\\\|", "\"  a b  \"|"},
        {"\\\\firstvalue(EMPTYVAR, A.CITY)\\\\", "Brno"},
        {"\\\\case(A.KIND; =\"A\", A.ID; =\"b\", A.NAME; #ELSE#, A.CITY)\\\\", "1"},
        {"\\\\numtotext(\"21\"):;;EN\\\\", "Twenty One"},
        {"\\\\UNKNOWNTAG\\\\ stays", "\\\\UNKNOWNTAG\\\\ stays"},
        {"a \\\\X\\\\ b", "a \\\\X\\\\ b"},
    };
    for (const Case& c : cases) {
        report.Variables = QStringList{"EMPTYVAR="};
        report.Variables = QStringList{"EMPTYVAR="};
        EXPECT_EQ(runOrError(c.tmpl), QString::fromUtf8(c.out)) << c.tmpl;
    }
}

TEST_F(ReportTags, Regions) {
    const Case cases[] = {
        {"\\\\scan(A);sep(, )\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\.", "1, 2, 3."},
        {"\\\\scan(a);maxrows(2)\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\", "12"},
        {"\\\\scan(A);skipif(A.ID=1);maxrows(1)\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\", "2"},
        {"\\\\scan(A);while(A.ID<3)\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\", "12"},
        {"\\\\scan(A);newline\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\", "1\r\n2\r\n3"},
        {"\\\\scan(A);newpage;newline\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\", "1\f\r2\f\r3"},
        {"<\\\\scan(A)\\\\H:\\\\scanentry(A)\\\\\\\\A.ID\\\\\\\\scanfooter(A)\\\\:F\\\\endscan(A)\\\\>",
         "<H:123:F>"},
        {"\\\\scan(A)\\\\\r\n\\\\A.ID\\\\\r\n\\\\endscan(A)\\\\  \r\nend", "1\r\n2\r\n3\r\nend"},
        {"\\\\scan(A);maxrows(1)\\\\\\\\A.ID\\\\\\\\scan(B)\\\\\\\\B.GRP\\\\\\\\endscan(B)\\\\\\\\endscan(A)"
         "\\\\",
         "1xxy"},
        {"\\\\next(A)\\\\\\\\scan(A);nofirst\\\\\\\\A.ID\\\\\\\\endscan(A)\\\\", "23"},
        {"\\\\scan(A);minrows(5)\\\\[\\\\A.ID\\\\]\\\\endscan(A)\\\\", "[1][2][3][][]"},
        // padding after maxrows has empty values, not the records after the last one written
        {"\\\\scan(A);maxrows(1);minrows(3)\\\\[\\\\A.ID\\\\]\\\\endscan(A)\\\\\\\\A.ID\\\\", "[1][][]2"},
        // LF line ends go with a line that holds only a structure tag, as CR LF do
        {"\\\\scan(A)\\\\\n\\\\A.ID\\\\\n\\\\endscan(A)\\\\ \nend", "1\n2\n3\nend"},
        {"\\\\last(A)\\\\\\\\A.ID\\\\\\\\prev(A)\\\\\\\\A.ID\\\\\\\\first(A)\\\\\\\\prev(A)\\\\[\\\\A."
         "ID\\\\]",
         "32[]"},
        {"\\\\next(A)\\\\\\\\getbookmark(A)\\\\\\\\last(A)\\\\\\\\gotobookmark(A)\\\\\\\\A.ID\\\\", "2"},
        {"\\\\scan();maxrows(3)\\\\x\\\\endscan()\\\\", "xxx"},
        {"\\\\defvar(N, \"0\")\\\\\\\\scan();while(N<3)\\\\\\\\defvar(N, \"3\")\\\\y\\\\endscan()\\\\", "y"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runOrError(c.tmpl, {&people, &orders}), QString::fromUtf8(c.out)) << c.tmpl;
}

TEST_F(ReportTags, EmptyDataset) {
    const Case cases[] = {
        {"<\\\\scan(A)\\\\H\\\\scanentry(A)\\\\b\\\\scanfooter(A)\\\\F\\\\endscan(A)\\\\>", "<HF>"},
        {"<\\\\scan(A);minrows(3)\\\\[\\\\A.NAME\\\\]\\\\endscan(A)\\\\>", "<[][][]>"},
        {"<\\\\scan(A);noifempty\\\\H\\\\scanentry(A)\\\\b\\\\endscan(A)\\\\>", "<>"},
        {"\\\\if(A.0)\\\\empty\\\\elseif\\\\full\\\\endif\\\\", "empty"},
        {"\\\\A.NAME\\\\|\\\\A.#\\\\", "|"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runOrError(c.tmpl, {&empty}), QString::fromUtf8(c.out)) << c.tmpl;
}

TEST_F(ReportTags, Conditions) {
    const Case cases[] = {
        {"\\\\if(A.NAME % \"Sm\")\\\\y\\\\elseif\\\\n\\\\endif\\\\", "y"},
        {"\\\\if(A.NAME %% \"mit\")\\\\y\\\\elseif\\\\n\\\\endif\\\\", "y"},
        {"\\\\if(A.NAME == \"smith\")\\\\y\\\\elseif\\\\n\\\\endif\\\\", "n"},
        {"\\\\if(A.NAME = \"smith\")\\\\y\\\\elseif\\\\n\\\\endif\\\\", "y"},
        {"\\\\if(not A.FLAG)\\\\y\\\\elseif\\\\n\\\\endif\\\\", "n"},
        {"\\\\if(A.ID>=1 and A.PRICE<1)\\\\y\\\\elseif\\\\n\\\\endif\\\\", "n"},
        {"\\\\if(A.ID=2 or (A.PRICE=1 and A.FLAG))\\\\y\\\\elseif\\\\n\\\\endif\\\\", "y"},
        {"\\\\if(A.BORN > #20000101#)\\\\y\\\\elseif\\\\n\\\\endif\\\\", "y"},
        {"\\\\if(A.ID=1)\\\\a\\\\if(A.ID=2)\\\\b\\\\elseif\\\\c\\\\endif\\\\d\\\\elseif\\\\e\\\\endif\\\\",
         "acd"},
        {"\\\\if(A.ID=2)\\\\a\\\\if(A.ID=1)\\\\b\\\\elseif\\\\c\\\\endif\\\\d\\\\elseif\\\\e\\\\endif\\\\",
         "e"},
        {"\\\\if(A.@)\\\\y\\\\elseif\\\\n\\\\endif\\\\", "n"},
        // if sees the record current at the start; iif the region's record.
        {"\\\\scan(A)\\\\\\\\if(A.ID=2)\\\\*\\\\endif\\\\\\\\iif(A.ID=2)\\\\+\\\\elseiif\\\\-"
         "\\\\endiif\\\\\\\\endscan(A)\\\\",
         "-+-"},
        {"\\\\iif(A.ID=1)\\\\\\\\iif(A.FLAG)\\\\t\\\\endiif\\\\x\\\\elseiif\\\\y\\\\endiif\\\\", "tx"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runOrError(c.tmpl), QString::fromUtf8(c.out)) << c.tmpl;
}

TEST_F(ReportTags, Aggregates) {
    EXPECT_EQ(run("\\\\scan(A);calc(PRICE)\\\\\\\\endscan(A)\\\\\\\\=Sum[A.PRICE]/Count[A.PRICE]:0.00\\\\ "
                  "\\\\=Max[PRICE]\\\\ \\\\=Min[A.PRICE]\\\\ \\\\=Avg[PRICE]:0.000\\\\"),
              "2.33 4 1 2.333");
    // Redefining the field at the start of each group restarts its totals; the grand totals go on.
    report.Variables = QStringList{"G=x"};
    EXPECT_EQ(
        run("\\\\scan(B);skipif(B.GRP<>\"x\");calc(TOTAL=B.PRICE)\\\\\\\\endscan(B)\\\\"
            "\\\\=Sum[TOTAL]\\\\/"
            "\\\\scan(B);skipif(B.GRP<>\"y\");calc(TOTAL=B.PRICE)\\\\\\\\endscan(B)\\\\"
            "\\\\=Sum[TOTAL]\\\\ \\\\=Count[TOTAL]\\\\ \\\\=GrandSum[TOTAL]\\\\ \\\\=GrandCount[TOTAL]\\\\",
            {&people, &orders}),
        "3/10 1 13 3");
    EXPECT_EQ(error("\\\\scan(A);calc(PRICE)\\\\\\\\endscan(A)\\\\\\\\resetcalc\\\\\\\\=Sum[A.PRICE]\\\\"),
              kBad + "Calculation error in database field \"A.PRICE\".");
    // A failing run with calculated fields alive frees them once.
    EXPECT_EQ(error("\\\\scan(A);calc(PRICE)\\\\\\\\endscan(A)\\\\\\\\=Sum[NOPE]\\\\"),
              kBad + "Calculation error in database field \"NOPE\".");
    EXPECT_TRUE(report.calcFields().empty());
}

TEST_F(ReportTags, Settings) {
    EXPECT_EQ(run("\\\\info(DefaultDateFormat=dd.mm.yyyy)\\\\\\\\A.BORN\\\\"), "03.02.2001");
    EXPECT_EQ(report.ExtendedInfo, QStringList{"DefaultDateFormat=dd.mm.yyyy"});
    EXPECT_EQ(
        run("\\\\info(ConvertScientificFormat=1)\\\\\\\\info(DefaultCalcFormat=0.00E+00)\\\\\\\\=12345\\\\"),
        "1.23 x 10^4");
    // Settings read from info tags stay after the run.
    EXPECT_TRUE(report.ConvertScientificFormat);
    report.ConvertScientificFormat = false;
    report.DefaultCalcFormat.clear();
    report.Variables = QStringList{"XY=[\\\\A.NAME\\\\]"};
    EXPECT_EQ(run("\\\\XY\\\\"), "[Smith]");
    report.OnUserCalcParams = [](const QString& f, const QVariantList& p, QVariant& r, bool& replace) {
        if (f.compare("twice", Qt::CaseInsensitive) != 0) return;
        r = p.value(0).toDouble() * 2;
        replace = true;
    };
    EXPECT_EQ(run("\\\\twice(A.PRICE)\\\\ \\\\=twice(3)+1\\\\ \\\\nothing(1)\\\\"), "2 7 \\\\nothing(1)\\\\");
    report.OnUserCalcParams = nullptr;
    report.OnUserCalc = [](QString& s, bool& replace) { replace = s == "HELLO", s = "hi"; };
    EXPECT_EQ(run("\\\\HELLO\\\\"), "hi");
    EXPECT_EQ(run("\\\\seplist(\", \", A.NAME, A.CITY, A.ID)\\\\"), "Smith, Brno, 1");
    EXPECT_EQ(run("\\\\next(A)\\\\\\\\seplist(\", \", A.NAME, A.CITY, A.ID)\\\\"), "Jo, 2");
    EXPECT_EQ(run("\\\\A.UNKNOWNFIELD\\\\"), "?UNKNOWNFIELD?Field 'UNKNOWNFIELD' not found?");
    report.FieldNotFoundValue = "n/a";
    EXPECT_EQ(run("\\\\A.UNKNOWNFIELD\\\\"), "n/a");
    report.RaiseUnknownField = true;
    EXPECT_EQ(error("\\\\A.UNKNOWNFIELD\\\\"),
              kBad + "Calculation error in database field \"A.UNKNOWNFIELD\".");
}

TEST_F(ReportTags, Errors) {
    const Case cases[] = {
        {"\\\\scan(AB)\\\\x\\\\endscan(AB)\\\\", "Incorrect dataset \"scan(AB)\", (A..Z allowed)"},
        {"\\\\scan(A);foo\\\\x\\\\endscan(A)\\\\", "Incorrect tag \"scan(A);foo\"."},
        {"\\\\scan(A);sep(x)y\\\\x\\\\endscan(A)\\\\", "Incorrect tag \"scan(A);sep(x)y\"."},
        {"\\\\scan(A)\\\\x", "\"endscan(A)\" not found."},
        {"\\\\if(A.ID=1)\\\\x", "\"if(A.ID=1)x-endif\" not found."},
        {"\\\\=1+foo\\\\", "Calculation error in function \"foo\"."},
        {"\\\\=(1+2\\\\", "Bracket error in function: \"=(1+2\"."},
        {"\\\\if(A.NAME)\\\\x\\\\endif\\\\", "Calculation error in function \"A.NAME\"."},
        {"\\\\str_part(A.NAME, 1)\\\\",
         "Calculation error in function \"str_part(A.NAME, 1); Incorrect tag \"Wrong number of arguments of "
         "str_part\".\"."},
        {"\\\\first(AB)\\\\", "Incorrect dataset \"first(AB)\", (A..Z allowed)"},
        // A region without dataset that nothing ends is refused, saying what it lacks.
        {"\\\\scan()\\\\x\\\\endscan()\\\\",
         "Incorrect tag \"scan()\": a region without dataset needs while(condition) or maxrows(n) to end."},
        // A misspelt field is an error in a comparison as it is alone.
        {"\\\\scan(A);skipif(A.NOSUCH < 2)\\\\x\\\\endscan(A)\\\\",
         "Calculation error in function \"A.NOSUCH < 2\"."},
        {"\\\\if(A.NAME = \"Smith\" and B.NOSUCH % \"x\")\\\\y\\\\endif\\\\",
         "Calculation error in function \"B.NOSUCH % \"x\"\"."},
        {"\\\\if(C.NAME = \"x\")\\\\y\\\\endif\\\\", "Calculation error in function \"C.NAME = \"x\"\"."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(error(c.tmpl, {&people, &orders}), kBad + QString::fromUtf8(c.out)) << c.tmpl;
    std::vector<TDataSet*> many(27, &people);
    EXPECT_EQ(error("x", many), "Too many datasets.");
}

TEST_F(ReportTags, LimitsStopRunaways) {
    // Values that hold themselves, files that insert themselves and endless regions end with an error.
    report.Variables = QStringList{"SELF=\\\\SELF\\\\"};
    EXPECT_TRUE(error("\\\\SELF\\\\").startsWith(kBad + "Tags nested too deep"))
        << error("\\\\SELF\\\\").toStdString();
    WriteFile(dir.path("self.txt"), "a\\\\insertrtffile(self.txt)\\\\");
    report.TemplateFolder = dir.path();
    EXPECT_EQ(error("\\\\insertrtffile(self.txt)\\\\"),
              kBad + "Tags nested too deep in \"insertrtffile(self.txt)\".");
    EXPECT_EQ(error("\\\\insertfile(self.txt)\\\\"),
              kBad + "Tags nested too deep in \"insertrtffile(self.txt)\".");
    EXPECT_EQ(error("\\\\scan();while(1=1)\\\\\\\\endscan()\\\\"),
              kBad + "Report too large at \"scan();while(1=1)\".");
    QString deep = QString(5000, '(') + "1" + QString(5000, ')');
    EXPECT_THROW(report.evaluateExpression(deep), TReportException);
    EXPECT_THROW(report.evaluateCondition(QString(5000, '(') + "A.0" + QString(5000, ')')), TReportException);
}

TEST_F(ReportTags, InsertFiles) {
    QDir().mkpath(dir.path("sub"));
    WriteFile(dir.path("sub/part.txt"), "[\\\\A.NAME\\\\]\n");
    report.TemplateFolder = dir.path();
    EXPECT_EQ(run("\\\\insertfile(sub/part.txt)\\\\|\\\\insertfile(sub\\none.txt)\\\\"),
              "[Smith]\r\n|File \"sub\\none.txt\" not found.");
}

TEST_F(ReportTags, WritesOutputFile) {
    WriteFile(dir.path("t.txt"), "\\\\scan(A);newline\\\\\\\\A.NAME\\\\\\\\endscan(A)\\\\");
    report.TemplateFile = dir.path("t.txt");
    report.OutputFile = dir.path("out.txt");
    report.Execute({&people});
    QFile o(report.OutputFile);
    ASSERT_TRUE(o.open(QIODevice::ReadOnly));
    EXPECT_EQ(o.readAll(), "Smith\r\nJo\r\nLonger Name Here");
}

TEST(ReportFormat, Pictures) {
    QLocale::setDefault(QLocale::c());
    struct N {
        double v;
        const char* pic;
        const char* out;
    } numbers[] = {
        {3.14159, "0.00", "3.14"},       {-3.14159, "0.00", "-3.14"},      {1234.5, "#,##0", "1,235"},
        {12345, "0.00E+00", "1.23E+04"}, {0.000123, "0.0E-00", "1.2E-04"}, {5, "\"$\"0", "$5"},
        {0.004, "0.00", "0.00"},         {-0.004, "0.00", "0.00"},         {1e300, "", "1E300"}};
    for (const N& n : numbers)
        EXPECT_EQ(FormatNumberPicture(n.v, QString(n.pic)), n.out) << n.pic;
    QDateTime dt(QDate(2024, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(FormatDatePicture(dt, u"dd.mm.yyyy hh:nn:ss"), "05.03.2024 14:07:09");
    EXPECT_EQ(FormatDatePicture(dt, u"d/m/yy h:mm am/pm"), "5/3/24 2:07 pm");
    EXPECT_EQ(FormatDatePicture(dt, u"dddd mmmm \"at\" hh"), "Tuesday March at 14");
    // Local date-times have no time zone: the long time form ends in the seconds.
    EXPECT_TRUE(FormatDatePicture(dt, u"c").endsWith(" 14:07:09"))
        << FormatDatePicture(dt, u"c").toStdString();
    EXPECT_EQ(FormatDatePicture(dt, u"tt"), "14:07:09");
    double d;
    EXPECT_TRUE(ReadNumberText(u"1,5", d) && d == 1.5);
    EXPECT_FALSE(ReadNumberText(u"1,234.5", d));
    EXPECT_FALSE(ReadNumberText(u"inf", d));
}

TEST(ReportRtf, PlainText) {
    EXPECT_EQ(RtfToPlainText(u"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Hello \\b world\\b0\\par "
                             u"caf\\'e9 \\u269?x\\tab y\\par\r\n}"),
              "Hello world\r\ncaf\u00e9 \u010dx\ty");
    EXPECT_EQ(RtfToPlainText(u"{{{unbalanced"), "unbalanced");
}
} // namespace

TEST(TagScanner, ATagHoldsNoOpeningDelimiter) {
    struct Case {
        QString text, keyword, inner; // inner "-": no tag
    } cases[] = {
        {"a <<b>> c", "", "b"},
        {"<<a <<b>>", "", "b"},
        {"<<<b>>", "", "<b"}, // an opening that overlaps the first one is text of the tag
        {"<<scan <<iif(x)>>", "iif", "iif(x)"},
        {"<<scan <<iif(x)>>", "scan", "-"},
        {"<<a", "", "-"},
        // many openings before many closings: the last opening starts the one tag (linear, not
        // a scan to the closing from every opening)
        {QString(16000, '<') + QString(16000, '>'), "", ""},
    };
    for (const Case& c : cases) {
        const TTagSpan t = FindTag(c.text, u"<<", u">>", 0, c.keyword);
        EXPECT_EQ(t.found() ? t.inner.toString() : QString("-"), c.inner) << c.text.left(40).toStdString();
    }
    // The same delimiter on both sides (text and RTF templates) pairs them in order.
    EXPECT_EQ(FindTag(u"\\\\a\\\\b\\\\", u"\\\\", u"\\\\", 0).inner, u"a");
}
