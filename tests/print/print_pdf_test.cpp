// PDF files of tabulo-cli print, read back by the poppler tools (pdftotext, pdfinfo).
#include "test_util.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// The text of one page (from 1), or of the whole file (page 0), laid out as printed.
QString PdfText(const QString& pdf, int page = 0) {
    QStringList args{"-layout"};
    if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
    QByteArray out, err;
    EXPECT_EQ(RunProgram("pdftotext", args << pdf << "-", &out, &err), 0) << err.toStdString();
    return QString::fromUtf8(out);
}

QString PdfInfo(const QString& pdf, const QString& key) {
    QByteArray out;
    EXPECT_EQ(RunProgram("pdfinfo", {pdf}, &out), 0);
    for (const QString& line : QString::fromUtf8(out).split('\n'))
        if (line.startsWith(key + ":")) return line.mid(key.size() + 1).simplified();
    return QString();
}

// A database of n rows: ID, a name, an amount with cents and a flag.
QString MakeRows(const TempDir& dir, int n) {
    return MakeSqliteDb(
        dir.path("p.sqlite"),
        QStringLiteral("CREATE TABLE Items(ID INTEGER PRIMARY KEY, Name VARCHAR(20), Amount REAL);"
                       "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < %1)"
                       " INSERT INTO Items SELECT i, 'Item ' || i, i * 1.25 FROM k WHERE i <= %1;")
            .arg(n));
}

CliRun Print(const QString& db, const QStringList& args) {
    return cli(QStringList{"--connect", "Provider=SQLite;Data Source=" + db, "print", "Items"} + args);
}

// A title row is the line that carries the three column titles in order.
bool HasTitleRow(const QString& text) {
    static const QRegularExpression re(QStringLiteral("(?m)^\\s*ID\\s+Name\\s+Amount\\s*$"));
    return re.match(text).hasMatch();
}
} // namespace

TEST(PrintPdf, EveryPageCarriesTitlesAndItsNumberAndTheLastTheSums) {
    TempDir dir;
    const int rows = 150;
    const QString db = MakeRows(dir, rows);
    const QString pdf = dir.path("items.pdf");
    CliRun r =
        Print(db, {"--out", pdf, "--title", "Stock & list", "--sums", "--page-numbers", "--count", "--fit"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    const int pages = PdfInfo(pdf, "Pages").toInt();
    ASSERT_GE(pages, 3);
    QString all;
    for (int p = 1; p <= pages; ++p) {
        const QString text = PdfText(pdf, p);
        EXPECT_TRUE(text.contains("Stock & list")) << "page " << p;
        EXPECT_TRUE(HasTitleRow(text)) << "page " << p << "\n" << text.toStdString();
        // The page number stands alone on the last line of the page.
        const QStringList lines = text.trimmed().split('\n');
        EXPECT_EQ(lines.last().trimmed(), QString::number(p)) << "page " << p;
        all += text;
    }
    // Every value once, in order.
    qsizetype at = 0;
    for (int i = 1; i <= rows; ++i) {
        const QRegularExpression re(QStringLiteral("\\b%1\\s+Item %1\\s+%2\\b").arg(i).arg(i * 1.25));
        const QRegularExpressionMatch m = re.match(all, at);
        ASSERT_TRUE(m.hasMatch()) << "row " << i;
        at = m.capturedEnd();
    }
    // Sums of the numeric columns (IDs and amounts), then the count.
    const QString last = PdfText(pdf, pages);
    EXPECT_TRUE(
        last.contains(QRegularExpression(QStringLiteral("%1\\s+%2")
                                             .arg(rows * (rows + 1) / 2)
                                             .arg(QString::number(rows * (rows + 1) / 2 * 1.25, 'g', 15)))))
        << last.toStdString();
    EXPECT_TRUE(last.contains("Total count of records: 150"));
    EXPECT_FALSE(PdfText(pdf, 1).contains("Total count"));
}

TEST(PrintPdf, OneRowOrNoneMakesOnePage) {
    struct Case {
        int rows;
        const char* values; // the data row, then the sums
        const char* sums;
    } cases[] = {{1, "\\b1\\s+Item 1\\s+1.25\\b", "\\b1\\s+1.25\\s*$"}, {0, nullptr, "^\\s*0\\s+0\\s*$"}};
    for (const Case& c : cases) {
        TempDir dir;
        const QString db = MakeRows(dir, c.rows);
        const QString pdf = dir.path("one.pdf");
        CliRun r = Print(db, {"--out", pdf, "--sums", "--page-numbers", "--count", "--fit"});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
        const QString text = PdfText(pdf);
        EXPECT_TRUE(HasTitleRow(text)) << text.toStdString();
        if (c.values) EXPECT_TRUE(text.contains(QRegularExpression(c.values))) << text.toStdString();
        EXPECT_TRUE(text.contains(QRegularExpression(c.sums, QRegularExpression::MultilineOption)))
            << c.rows << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Total count of records: %1").arg(c.rows)));
        EXPECT_EQ(text.trimmed().split('\n').last().trimmed(), "1");
    }
}

TEST(PrintPdf, ARowWiderThanTheLineGoesOnInFurtherLines) {
    TempDir dir;
    const QString db = MakeSqliteDb(dir.path("w.sqlite"),
                                    "CREATE TABLE Items(A VARCHAR(25), B VARCHAR(25), C VARCHAR(25));"
                                    "INSERT INTO Items VALUES ('one', 'two', 'three'), ('4', '5', '6');");
    const QString pdf = dir.path("w.pdf");
    CliRun r = Print(db, {"--out", pdf});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList lines = PdfText(pdf).split('\n', Qt::SkipEmptyParts);
    for (QString& l : lines)
        l = l.simplified();
    // Three 25-character columns do not fit an A4 line at 8 pt: C starts a line of its own.
    EXPECT_EQ(lines.mid(0, 6), (QStringList{"A B", "C", "one two", "three", "4 5", "6"}));
}

TEST(PrintPdf, PaperAndOrientationAsChosen) {
    TempDir dir;
    const QString db = MakeRows(dir, 3);
    struct Case {
        QStringList args;
        const char* size;
    } cases[] = {
        {{}, "595 x 842 pts (A4)"},
        {{"--landscape"}, "842 x 595 pts (A4)"},
        {{"--paper", "letter", "--landscape"}, "792 x 612 pts (letter)"},
        {{"--paper", "Legal"}, "612 x 1008 pts"},
    };
    for (const Case& c : cases) {
        const QString pdf = dir.path("p.pdf");
        CliRun r = Print(db, QStringList{"--out", pdf, "--fit"} + c.args);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(PdfInfo(pdf, "Page size"), c.size) << c.args.join(' ').toStdString();
        EXPECT_TRUE(HasTitleRow(PdfText(pdf)));
    }
}

TEST(PrintPdf, ALongValueIsCutInsideItsColumn) {
    TempDir dir;
    const QString db = MakeSqliteDb(dir.path("w.sqlite"),
                                    "CREATE TABLE Items(Code VARCHAR(6), Next VARCHAR(6));"
                                    "INSERT INTO Items VALUES ('ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'after');");
    const QString pdf = dir.path("w.pdf");
    CliRun r = Print(db, {"--out", pdf});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString text = PdfText(pdf);
    EXPECT_FALSE(text.contains("ABCDEFGHIJKLMNOPQRSTUVWXYZ")) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("ABC\\w*\u2026\\s+after"))))
        << text.toStdString();
}

TEST(PrintPdf, UsageErrors) {
    TempDir dir;
    const QString db = MakeRows(dir, 1);
    for (const QStringList& args :
         {QStringList{}, QStringList{"--out", dir.path("a.pdf"), "--rtf", dir.path("a.rtf")},
          QStringList{"--out", dir.path("a.pdf"), "--paper", "Napkin"},
          QStringList{"--out", dir.path("a.pdf"), "--font-size", "big"}}) {
        CliRun r = Print(db, args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(dir.path("a.pdf")));
    }
    CliRun r = Print(db, {"--out", dir.path("no/such/folder/a.pdf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("no/such/folder/a.pdf")) << r.err.toStdString();
}

TEST(PrintPdf, BooleansPrintAsCheckBoxesNotText) {
    TempDir dir;
    const QString db =
        MakeSqliteDb(dir.path("b.sqlite"), "CREATE TABLE Items(Name VARCHAR(10), Done BOOLEAN);"
                                           "INSERT INTO Items VALUES ('yes', 1), ('no', 0);");
    const QString pdf = dir.path("b.pdf");
    CliRun r = Print(db, {"--out", pdf, "--sums"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = PdfText(pdf).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0].simplified(), "Name Done");
    EXPECT_EQ(lines[1].simplified(), "yes");
    EXPECT_EQ(lines[2].simplified(), "no");
}
