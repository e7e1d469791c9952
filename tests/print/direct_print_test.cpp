// The direct print engine on its own targets: page images, aborted PDF runs, column fitting.
#include "direct_print.h"
#include "exceptions.h"
#include "export_fixture.h"
#include "print_config.h"

#include <QDir>
#include <QFile>
#include <QPageSize>
#include <gtest/gtest.h>

namespace {
std::unique_ptr<OpenedTable> Rows(const TempDir& dir, int n) {
    return OpenTable(
        dir,
        QStringLiteral("CREATE TABLE T(ID INTEGER, Name VARCHAR(12), Amount REAL);"
                       "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < %1)"
                       " INSERT INTO T SELECT i, 'Name ' || i, i / 4.0 FROM k;")
            .arg(n),
        "T");
}

// A4 at 600 dpi: the printer that page images are scaled from.
const TDeviceGeometry kA4{600, 600, 4961, 7016};
} // namespace

TEST(DirectPrint, PageImagesAreScaledToThePreviewWidthAndKeepProportions) {
    TempDir dir;
    auto t = Rows(dir, 5);
    TPrintSource src = DataSetPrintSource(&t->query);
    TDirectPrint print(src, {});
    TImagePages pages(kA4, PrintConfig().PreviewMaxWidth);
    TDirectPrintResult r = print.Run(pages);
    EXPECT_EQ(r.records, 5);
    ASSERT_EQ(pages.images().size(), 1);
    const QImage& img = pages.images()[0];
    EXPECT_LE(img.width(), 1600);
    EXPECT_GE(img.width(), 1599);
    EXPECT_NEAR(double(img.height()) / img.width(), 7016.0 / 4961, 0.002);
    // Margins scale with the page.
    EXPECT_EQ(print.PgProps().Hmargin, qRound(24 * 20 / (4961 / 1600.0)));
    // A narrow printer page is not scaled up.
    TImagePages small({96, 96, 794, 1123}, 1600);
    print.Run(small);
    EXPECT_EQ(small.images()[0].width(), 794);
}

TEST(DirectPrint, APreviewStopsAtItsPageLimitWithoutSums) {
    TempDir dir;
    auto t = Rows(dir, 400);
    TPrintSource src = DataSetPrintSource(&t->query);
    TDirectPrintOptions o;
    o.font.setPointSize(20);
    o.sums = true;
    o.printRecCount = true;
    o.maxPreviewPages = 3;
    TDirectPrint print(src, o);
    TImagePages pages(kA4, 800);
    TDirectPrintResult r = print.Run(pages);
    EXPECT_TRUE(r.previewLimited);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(pages.images().size(), 3);
    EXPECT_LT(r.records, 400);
    EXPECT_EQ(t->query.RecNo(), 1); // the position is restored
}

TEST(DirectPrint, AnAbortedPdfRunLeavesTheOldFileAsItWas) {
    TempDir dir;
    auto t = Rows(dir, 300);
    TPrintSource src = DataSetPrintSource(&t->query);
    const QString path = dir.path("out.pdf");
    for (bool existing : {false, true}) {
        if (existing) WriteFile(path, "old contents");
        TDirectPrint print(src, {});
        int asked = 0;
        print.IsAborted = [&] { return ++asked == 120; };
        TPdfFilePages pages(path, QPageSize(QPageSize::A4), QPageLayout::Portrait);
        TDirectPrintResult r = print.Run(pages);
        EXPECT_TRUE(r.aborted);
        EXPECT_EQ(r.records, 120);
        EXPECT_EQ(QFile::exists(path), existing);
        if (existing) {
            EXPECT_EQ(ReadFile(path), "old contents");
        }
        EXPECT_EQ(QDir(dir.path()).entryList({"out.pdf*"}, QDir::Files | QDir::Hidden).size(),
                  existing ? 1 : 0);
    }
    // A run that fails half way through (an error, not an abort) drops its file too.
    {
        TDirectPrint print(src, {});
        print.IsAborted = []() -> bool { throw Exception("disk gone"); };
        try {
            TPdfFilePages pages(dir.path("failed.pdf"), QPageSize(QPageSize::A4), QPageLayout::Portrait);
            print.Run(pages);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "disk gone");
        }
        EXPECT_FALSE(QFile::exists(dir.path("failed.pdf")));
    }
}

TEST(DirectPrint, FittedColumnsShareTheLineWidthRoundedDown) {
    TempDir dir;
    auto t = Rows(dir, 2);
    t->query.FieldByName("Amount")->Visible = false;
    TPrintSource src = DataSetPrintSource(&t->query);
    TDirectPrintOptions o;
    o.fitColumns = true;
    for (bool all : {false, true}) {
        o.allColumns = all;
        TDirectPrint print(src, o);
        TImagePages pages(kA4, 1600);
        print.Run(pages);
        const TPageProps& pp = print.PgProps();
        const std::vector<int>& w = print.ColW();
        const int line = pp.PageWidth - 2 * pp.Hmargin;
        const int sum = w[0] + w[1] + (all ? w[2] : 0);
        EXPECT_LE(sum, line);
        EXPECT_GE(sum, line - (all ? 3 : 2));
    }
}

TEST(DirectPrint, EstimateOfRecordsAndPages) {
    TempDir dir;
    auto t = Rows(dir, 250);
    TPrintSource src = DataSetPrintSource(&t->query);
    TDirectPrint print(src, {});
    TDirectPrint::Estimate e = print.estimate(kA4);
    EXPECT_EQ(e.records, 250);
    ASSERT_GT(e.lines, 2);
    EXPECT_EQ(e.pages, 250 / (e.lines - 1) + 1);
}
