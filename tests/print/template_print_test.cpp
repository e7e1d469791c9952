// The template print: layout rules, fragments, result files, and LibreOffice reading the results.
#include "exceptions.h"
#include "export_fixture.h"
#include "rtf_to_text.h"
#include "template_print.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// One text column whose longest value has n characters.
std::unique_ptr<OpenedTable> TextOfWidth(const TempDir& dir, int n) {
    return OpenTable(
        dir,
        QStringLiteral("CREATE TABLE T(Txt TEXT); INSERT INTO T VALUES ('x'), (printf('%.*c', %1, 'y'));")
            .arg(n),
        "T");
}

void UseAllFields(TTemplatePrint& t, TDataSet& ds) {
    t.DataSet = &ds;
    t.Columns.clear();
    for (int i = 0; i < ds.FieldCount(); ++i)
        t.Columns.push_back({ds.Fields(i)->FieldName, ds.Fields(i)->DisplayLabel(), ds.Fields(i)->Visible});
}

// The text of an RTF file, its non-breaking padding as plain blanks.
QString PlainText(const QString& rtfPath) {
    return RtfToPlainText(QString::fromUtf8(ReadFile(rtfPath))).replace(QChar(0xA0), QLatin1Char(' '));
}

// A fragment with its padding ("\~") as plain blanks.
QString Blanked(QString fragment) {
    return fragment.replace(QStringLiteral("\\~"), QStringLiteral(" "));
}
} // namespace

TEST(TemplatePrint, AutoformatPicksTheLargestFontThatHoldsTheLine) {
    struct Case {
        int width; // total width with the 2 blanks after the column
        int orientation, fontIndex;
        bool cut;
    } cases[] = {
        {60, 0, 6, false},  // 12 pt portrait
        {104, 0, 1, false}, // 7 pt
        {139, 1, 2, false}, // landscape, 8 pt
        {203, 1, 0, false}, // landscape, 6 pt exactly
        {220, 1, 0, true},  // nothing holds it
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto t = TextOfWidth(dir, c.width - 2);
        TTemplatePrint p;
        UseAllFields(p, t->query);
        p.Measure();
        ASSERT_EQ(p.TotalWidth(), c.width);
        p.Autoformat();
        EXPECT_EQ(p.Orientation, c.orientation) << c.width;
        EXPECT_EQ(p.FontIndex, c.fontIndex) << c.width;
        EXPECT_EQ(p.counts().cut, c.cut) << c.width;
    }
}

TEST(TemplatePrint, PagesEstimateFromTheLinesPerPage) {
    TempDir dir;
    for (int n : {0, 78, 79, 158}) {
        auto t = OpenTable(
            dir,
            QStringLiteral("DROP TABLE IF EXISTS T; CREATE TABLE T(ID INTEGER);"
                           "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < %1)"
                           " INSERT INTO T SELECT i FROM k WHERE %1 > 0;")
                .arg(n),
            "T");
        TTemplatePrint p;
        UseAllFields(p, t->query);
        TTemplatePrint::Counts c = p.counts();
        EXPECT_EQ(c.records, n);
        EXPECT_EQ(c.pages, n / 79 + 1) << n; // A4 portrait, 8 pt: 79 lines
    }
}

TEST(TemplatePrint, TextColumnsShrinkWithCutMarksAndNumbersKeepTheirWidthPlusSumRoom) {
    TempDir dir;
    auto t = OpenTable(
        dir,
        "CREATE TABLE T(Name TEXT, Qty INTEGER);"
        "INSERT INTO T VALUES (printf('%.100c', 'n'), 12), ('short', NULL), ('a\\b{c}\\Line\\', 30);",
        "T");
    TTemplatePrint p;
    UseAllFields(p, t->query);
    p.FontIndex = 6; // 12 pt: 68 characters per line
    p.Sums = true;
    p.Measure();
    p.ComputeWidths();
    // Qty: the title's 3 characters + 2 for the sum; Name shares the rest: int(100 * (68 - 7 - 2) / (109 - 7
    // - 2)).
    EXPECT_EQ(p.wCol(), (std::vector<int>{59, 5}));
    const QString header = Blanked(p.HeaderLine()), lines = Blanked(p.DataLines()),
                  sums = Blanked(p.SumLine());
    EXPECT_EQ(header, "Name" + QString(55, ' ') + "  " + "  Qty  ");
    const QStringList rows = lines.split("\\par ");
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], QString(58, 'n') + "~  " + "   12  ");
    EXPECT_EQ(rows[1], "short" + QString(54, ' ') + "  " + "     " + "  ");
    // Backslashes and braces are escaped, so a tag-like value stays text.
    EXPECT_TRUE(rows[2].startsWith("a\\\\b\\{c\\}\\\\Line\\\\ ")) << rows[2].toStdString();
    EXPECT_EQ(sums, "\\b " + QString(59, ' ') + "\\b0   \\b    42\\b0   ");
}

TEST(TemplatePrint, TooWideLayoutsFailBeforeAnythingIsWritten) {
    TempDir dir;
    struct Case {
        const char* sql;
        int fontIndex;
    } cases[] = {
        // Fixed-width columns alone exceed the line.
        {"CREATE TABLE T(A REAL, B REAL); INSERT INTO T VALUES (1e300 / 3, 2e300 / 3);", 6},
        // A text column would shrink under a fifth of its width.
        {"CREATE TABLE T(A TEXT); INSERT INTO T VALUES (printf('%.400c', 'a'));", 6},
    };
    for (const Case& c : cases) {
        TempDir d;
        auto t = OpenTable(d, c.sql, "T");
        TTemplatePrint p;
        UseAllFields(p, t->query);
        p.Measure();
        p.FontIndex = c.fontIndex;
        if (QString(c.sql).contains("REAL")) {
            // Widen the numbers with a display format so the two columns exceed 68 characters.
            t->query.Fields(0)->DisplayFormat = QString(40, '0');
            t->query.Fields(1)->DisplayFormat = QString(40, '0');
            p.Measure();
        }
        try {
            p.Run(d.path(), aaNone);
            ADD_FAILURE() << c.sql;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, TooWideText());
        }
        EXPECT_TRUE(QDir(d.path()).entryList({"printdata?.rtf"}).isEmpty());
    }
}

TEST(TemplatePrint, ResultFilesAreNumberedAndAnEditedTemplateIsUsed) {
    TempDir dir;
    auto t = OpenTable(dir, "CREATE TABLE T(ID INTEGER, Name TEXT); INSERT INTO T VALUES (7, 'seven');", "T");
    TTemplatePrint p;
    UseAllFields(p, t->query);
    p.Caption = "Numbers";
    const QString folder = dir.path();
    EXPECT_EQ(p.Run(folder, aaNone), dir.path("printdata1.rtf"));
    EXPECT_EQ(p.Run(folder, aaNone), dir.path("printdata2.rtf"));
    // The template was written beside the results and an edited copy wins from now on.
    const QString tpl = dir.path("printdata_template1c.rtf");
    ASSERT_TRUE(QFile::exists(tpl));
    EXPECT_EQ(ReadFile(tpl), BuiltInTemplate(1));
    WriteFile(tpl, "{\\rtf1 Edited \\\\ReportName\\\\: \\\\Line\\\\\\par}");
    const QString third = p.Run(folder, aaNone);
    EXPECT_EQ(third, dir.path("printdata3.rtf"));
    EXPECT_EQ(PlainText(third), "Edited Numbers:  7  seven  ");
    RemovePrintResults(folder);
    EXPECT_EQ(QDir(folder).entryList({"printdata*"}), QStringList{"printdata_template1c.rtf"});
}

TEST(TemplatePrint, LibreOfficeReadsEachOfTheSixTemplates) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    auto t = OpenTable(
        dir,
        "CREATE TABLE T(ID INTEGER, Name TEXT, Price REAL);"
        "INSERT INTO T VALUES (1, 'Žluťoučký kůň', 2.5), (2, 'brace {x} and \\back', 10), (3, NULL, NULL);",
        "T");
    const char* papers[] = {"A4", "Letter", "Legal"};
    // Page sizes in points of the six templates, as pdfinfo shows them.
    const char* sizes[] = {"595.304 x 841.89", "841.89 x 595.304", "612 x 792",
                           "792 x 612",        "612 x 1008",       "1008 x 612"};
    QStringList files;
    for (int paper = 0; paper < 3; ++paper)
        for (int orientation = 0; orientation < 2; ++orientation) {
            TTemplatePrint p;
            UseAllFields(p, t->query);
            p.Paper = paper;
            p.Orientation = orientation;
            p.Sums = true;
            p.Caption = QStringLiteral("Price list %1").arg(papers[paper]);
            files << p.Run(dir.path(), aaNone,
                           dir.path(QStringLiteral("t%1.rtf").arg(TemplateNumber(paper, orientation))));
        }
    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         QStringList{"-env:UserInstallation=file://" + dir.path("profile"), "--headless",
                                     "--convert-to", "pdf", "--outdir", dir.path()} +
                             files,
                         nullptr, &err),
              0)
        << err.toStdString();
    for (int n = 1; n <= 6; ++n) {
        const QString pdf = dir.path(QStringLiteral("t%1.pdf").arg(n));
        QByteArray out, info;
        ASSERT_EQ(RunProgram("pdftotext", {"-layout", pdf, "-"}, &out), 0) << n;
        ASSERT_EQ(RunProgram("pdfinfo", {pdf}, &info), 0);
        const QString text = QString::fromUtf8(out);
        EXPECT_TRUE(QString::fromUtf8(info).contains(QString("Page size:       ") + sizes[n - 1]))
            << n << info.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Price list %1").arg(papers[(n - 1) / 2]))) << n;
        EXPECT_TRUE(text.contains(QRegularExpression("ID\\s+Name\\s+Price"))) << n << text.toStdString();
        EXPECT_TRUE(text.contains(QRegularExpression("1\\s+Žluťoučký kůň\\s+2.5")))
            << n << text.toStdString();
        EXPECT_TRUE(text.contains(QRegularExpression("2\\s+brace \\{x\\} and \\\\back\\s+10"))) << n;
        EXPECT_TRUE(text.contains(QRegularExpression("\\b6\\s+12.5\\b"))) << n; // the sums
        EXPECT_TRUE(text.contains("1 / 1")) << n;                               // page of pages
        // The padded columns line up: the right-aligned prices end under the end of their title.
        const QStringList lines = text.split('\n');
        auto with = [&](const char* what) {
            return std::find_if(lines.begin(), lines.end(),
                                [&](const QString& l) { return l.contains(what); });
        };
        const auto title = with("Name"), row = with("2.5");
        ASSERT_TRUE(title != lines.end() && row != lines.end()) << n;
        EXPECT_EQ(title->indexOf("Price") + 5, row->indexOf("2.5") + 3) << n << "\n"
                                                                        << title->toStdString() << "\n"
                                                                        << row->toStdString();
    }
}

TEST(TemplatePrint, CommandLineWritesTheGivenFile) {
    TempDir dir;
    const QString db = MakeSqliteDb(dir.path("c.sqlite"), "CREATE TABLE Items(ID INTEGER, Name TEXT);"
                                                          "INSERT INTO Items VALUES (1, 'one'), (2, 'two');");
    const QStringList conn{"--connect", "Provider=SQLite;Data Source=" + db, "print", "Items"};
    CliRun r = cli(conn + QStringList{"--rtf", dir.path("c.rtf"), "--title", "Two rows", "--sums", "--paper",
                                      "Legal", "--landscape", "--font-size", "10"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QByteArray rtf = ReadFile(dir.path("c.rtf"));
    EXPECT_TRUE(rtf.contains("\\lndscpsxn\\psz5")); // the Legal landscape template
    const QString text = PlainText(dir.path("c.rtf"));
    // The page header (a destination the plain text leaves out) holds the name and the titles.
    EXPECT_TRUE(rtf.contains("Two rows"));
    EXPECT_TRUE(QString::fromUtf8(rtf).contains(QRegularExpression(R"(ID(\\~)+Name)")));
    EXPECT_TRUE(text.contains(QRegularExpression("\\b1\\s+one\\s+2\\s+two\\s+3\\b"))) << text.toStdString();
    for (const QStringList& bad : {QStringList{"--rtf", dir.path("d.rtf"), "--paper", "A3"},
                                   QStringList{"--rtf", dir.path("d.rtf"), "--font-size", "14"},
                                   QStringList{"--rtf", dir.path("d.rtf"), "--page-numbers"}}) {
        EXPECT_EQ(cli(conn + bad).status, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(dir.path("d.rtf")));
    }
}
