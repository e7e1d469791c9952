// Real consumers of the files we write: Python's csv module, LibreOffice, and tabulo-cli itself.
#include "export_fixture.h"
#include "slk_export.h"
#include "txt_export.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {
// Rows of a CSV file as Python's csv module reads them.
QJsonArray PythonCsvRows(const QString& path, const char* delimiter) {
    QByteArray out, err;
    const QString script =
        QStringLiteral("import csv, json, sys\n"
                       "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                       "    print(json.dumps(list(csv.reader(f, delimiter=sys.argv[2]))))\n");
    EXPECT_EQ(RunProgram("python3", {"-c", script, path, delimiter}, &out, &err), 0) << err.toStdString();
    return QJsonDocument::fromJson(out).array();
}
} // namespace

TEST(Consumers, PythonCsvReadsDelimitedTextBack) {
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE Q(ID INTEGER, Name TEXT, Note TEXT, Price REAL);"
                       "INSERT INTO Q VALUES"
                       " (1, 'a,b', 'say \"hi\"', 1.5),"
                       " (2, 'tab' || char(9) || 'inside', 'line1' || char(13,10) || 'line2', -0.25),"
                       " (3, 'lf' || char(10) || 'only', '\"\"', 1e-7),"
                       " (4, '', NULL, NULL),"
                       " (5, 'Jiří; Müller', ' padded ', 100);",
                       "Q");
    t->query.FieldByName("Name")->setDisplayLabel("Name, given"); // a title with the separator
    for (const char* sep : {",", ";", "\t"}) {
        TTXTExport e;
        e.ExportFile = dir.path("q.csv");
        e.ActionAfter = aaNone;
        e.FillChar = QChar(0);
        e.FieldSeparator = sep;
        e.TextApostrophe = "\"";
        ASSERT_TRUE(e.Execute(&t->query));
        QJsonArray rows = PythonCsvRows(e.ExportFile, sep);
        ASSERT_EQ(rows.size(), 6) << sep;
        EXPECT_EQ(rows[0].toArray(), QJsonArray({"ID", "Name, given", "Note", "Price"}));
        TDataSet& ds = t->query;
        for (int r = 0; r < ds.RecordCount(); ++r) {
            ds.setRecNo(r + 1);
            QJsonArray expected;
            for (int c = 0; c < ds.FieldCount(); ++c)
                expected.append(ds.Fields(c)->DisplayText());
            EXPECT_EQ(rows[r + 1].toArray(), expected) << "row " << r << " separator " << sep;
        }
    }
}

TEST(Consumers, LibreOfficeOpensSylkOfTheDemoTable) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    auto t = OpenDemoTable("Orders");
    TDataSet& ds = t->query;
    TSLKExport e;
    e.ExportFile = dir.path("orders.slk");
    e.ActionAfter = aaNone;
    e.MakeSumRow = true;
    e.DefaultDateFormat = "yyyy-mm-dd";
    e.DefaultTimeFormat = "hh:mm:ss";
    ds.FieldByName("ShippedAt")->Visible = false; // a date-time shown with the date picture only
    ASSERT_TRUE(e.Execute(&ds));

    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {"-env:UserInstallation=file://" + dir.path("profile"), "--headless",
                          "--infilter=SYLK", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                          "--outdir", dir.path(), e.ExportFile},
                         nullptr, &err),
              0)
        << err.toStdString();
    QJsonArray rows = PythonCsvRows(dir.path("orders.csv"), ",");
    ASSERT_EQ(rows.size(), ds.RecordCount() + 2); // titles, records, sums
    EXPECT_EQ(rows[0].toArray(),
              QJsonArray({"OrderID", "CustomerID", "OrderDate", "ShipTime", "Freight", "Comment"}));
    for (int r = 0; r < ds.RecordCount(); ++r) {
        ds.setRecNo(r + 1);
        QJsonArray row = rows[r + 1].toArray();
        EXPECT_EQ(row[0].toString(), ds.FieldByName("OrderID")->AsString()) << r;
        EXPECT_EQ(row[1].toString(), ds.FieldByName("CustomerID")->AsString()) << r;
        EXPECT_EQ(row[2].toString(), ds.FieldByName("OrderDate")->AsString()) << r; // yyyy-mm-dd
        EXPECT_EQ(row[3].toString(), ds.FieldByName("ShipTime")->AsString()) << r;  // hh:mm:ss
        EXPECT_EQ(row[4].toString(), ds.FieldByName("Freight")->AsString()) << r;
        QString comment = ds.FieldByName("Comment")->AsString();
        if (!comment.contains('\n')) {
            EXPECT_EQ(row[5].toString(), comment) << r;
        }
    }
    // LibreOffice keeps no formula of a SYLK file from another program, so the sums are checked in
    // our file: every numeric column sums the data rows 2 to the last.
    QJsonArray sums = rows.last().toArray();
    EXPECT_EQ(sums[2].toString(), "Sum:");
    QStringList lines = CrLfLines(ReadFile(e.ExportFile));
    const QString range = QStringLiteral("ESUM(R2C:R%1C)").arg(ds.RecordCount() + 1);
    for (int col : {1, 2, 5})
        EXPECT_TRUE(lines.contains(QStringLiteral("C;X%1;").arg(col) + range)) << col;
}

TEST(Consumers, CommandLineExport) {
    TempDir dir;
    const QString cli = ProgramDir() + "/tabulo-cli", udl = ProgramDir() + "/Connections/Demo.udl";
    QByteArray out, err;
    const QString txt = dir.path("regions.txt");
    ASSERT_EQ(RunProgram(cli,
                         {"--udl", udl, "export", "sales_regions", "--format", "text", "--out", txt,
                          "--delimited", "--separator", "#9", "--quote", "'", "--encoding", "windows-1250"},
                         &out, &err),
              0)
        << err.toStdString();
    QStringList lines = CrLfLines(ReadFile(txt));
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "RegionCode\tRegionName\tManager");
    EXPECT_TRUE(ReadFile(txt).contains("'Jos\xE9 P\xE9rez'")); // in the 8-bit code page

    const QString slk = dir.path("regions.slk");
    ASSERT_EQ(RunProgram(cli,
                         {"--udl", udl, "export", "sales_regions", "--format", "sylk", "--out", slk, "--sums",
                          "--font", "nil", "--top", "2"},
                         &out, &err),
              0)
        << err.toStdString();
    lines = CrLfLines(ReadFile(slk));
    EXPECT_EQ(lines.first(), "ID;SLKExport");
    EXPECT_EQ(lines.count("; Row"), 2);
    EXPECT_FALSE(lines.contains("P;FArial"));

    // A workbook: the sheet name corrected, the sums, frozen titles and the filter asked for.
    const QString xlsx = dir.path("orders.xlsx");
    ASSERT_EQ(RunProgram(cli,
                         {"--udl", udl, "export", "Orders", "--format", "xlsx", "--out", xlsx, "--top", "3",
                          "--sums", "--freeze", "--auto-filter", "--sheet", "Q1/Q2", "--font-size", "8",
                          "--date-format", "yyyy-mm-dd"},
                         &out, &err),
              0)
        << err.toStdString();
    EXPECT_TRUE(out.isEmpty());
    QJsonObject book = ReadWorkbook(xlsx);
    EXPECT_EQ(book["title"].toString(), "Q1_Q2");
    EXPECT_EQ(book["freeze"].toString(), "A2");
    EXPECT_EQ(book["filter"].toString(), "A1:G4");
    QJsonObject cells = book["cells"].toObject();
    EXPECT_EQ(cells["A5"].toArray()[0], "=SUM(A2:A4)");
    EXPECT_EQ(cells["C2"].toArray()[2], "yyyy-mm-dd");
    EXPECT_EQ(cells["A2"].toArray()[6], 8);
    // The same workbook: a new sheet, then rows below that sheet's; the first sheet stays.
    for (const char* mode : {"--new-sheet", "--append"})
        ASSERT_EQ(RunProgram(cli,
                             {"--udl", udl, "export", "sales_regions", "--format", "xlsx", "--out", xlsx,
                              mode, "--top", "2"},
                             &out, &err),
                  0)
            << mode << err.toStdString();
    book = ReadWorkbook(xlsx);
    EXPECT_EQ(book["sheets"].toArray(), QJsonArray({"Q1_Q2", "Sheet2"}));
    EXPECT_EQ(book["title"].toString(), "Sheet2");
    cells = book["cells"].toObject();
    EXPECT_EQ(cells["A1"].toArray()[0], "RegionCode");
    EXPECT_EQ(cells["A4"].toArray()[0], "RegionCode");
    EXPECT_EQ(cells["A6"].toArray()[0], cells["A3"].toArray()[0]);
    EXPECT_EQ(ReadWorkbook(xlsx, "Q1_Q2")["cells"].toObject()["A5"].toArray()[0], "=SUM(A2:A4)");

    struct Case {
        QStringList args;
        int status;
        QString message;
    } cases[] = {
        {{"--format", "csv", "--out", txt}, 2, "--format takes text, sylk or xlsx"},
        {{"--format", "sylk", "--out", slk, "--freeze"}, 2, "are for --format xlsx"},
        {{"--format", "xlsx", "--out", xlsx, "--separator", ";"}, 2, "are not for --format xlsx"},
        {{"--format", "xlsx", "--out", xlsx, "--zoom", "5"}, 2, "--zoom takes a number from 10 to 400"},
        {{"--format", "xlsx", "--out", xlsx, "--append", "--new-sheet"},
         2,
         "--append and --new-sheet exclude"},
        {{"--format", "text", "--out", txt, "--new-sheet"}, 2, "are for --format xlsx"},
        {{"--format", "xlsx", "--out", txt}, 1, "is not an xlsx or xlsm workbook"},
        {{"--format", "text"}, 2, "export needs --out FILE"},
        {{"--format", "text", "--out", txt, "--sums"}, 2, "are for --format sylk"},
        {{"--format", "text", "--out", txt, "--encoding", "nonsense"}, 1, "Unknown encoding \"nonsense\"."},
        {{"--format", "sylk", "--out", dir.path("no/dir/x.slk")},
         1,
         "tabulo-cli: Cannot create file \"" + dir.path("no/dir/x.slk") + "\": No such file or directory."},
        // A write that fails once the export runs: the engine's message box, said once.
        {{"--format", "sylk", "--out", "/dev/full"},
         1,
         "Error: Cannot export data.\nError description:\nCannot write file \"/dev/full\": No space left on "
         "device.\n"},
        {{"--format", "text", "--out", "/dev/full"}, 1, "No space left on device"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            RunProgram(cli, QStringList({"--udl", udl, "export", "sales_regions"}) + c.args, &out, &err),
            c.status)
            << c.message.toStdString();
        EXPECT_TRUE(err.contains(c.message.toUtf8())) << err.toStdString();
        EXPECT_FALSE(err.contains("Error: Error")) << err.toStdString();
    }
}
