// The xlsx engine, read back with openpyxl (values, types, number formats, layout) and LibreOffice.
#include "export_fixture.h"
#include "scripted_messages.h"
#include "workbook_writer.h"
#include "xls_export.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {
const char* kTyped =
    "CREATE TABLE T(ID INTEGER, Name VARCHAR(20), Price REAL, Qty NUMERIC, Born DATE, At TIME, Stamp "
    "DATETIME,"
    " Ok BOOLEAN, Big BIGINT, Note TEXT);"
    "INSERT INTO T VALUES"
    " (1, '=1+2', 1.5, 2.25, '2001-02-03', '10:30:00', '2001-02-03 18:00:00', 1, 1234567890123456789,"
    "  'two' || char(10) || 'lines'),"
    " (2, '  padded ', -0.25, NULL, '1850-06-15', NULL, NULL, 0, 42, NULL),"
    " (3, NULL, NULL, 10, NULL, '00:00:00', '1900-01-01 00:00:00', NULL, -9007199254740993, 'x');";

QJsonArray Cell(const QJsonObject& book, const char* ref) {
    return book["cells"].toObject()[ref].toArray();
}

// Rows of a CSV file as Python's csv module reads them.
QJsonArray CsvRows(const QString& path) {
    QByteArray out, err;
    const QString script = QStringLiteral("import csv, json, sys\n"
                                          "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                          "    print(json.dumps(list(csv.reader(f))))\n");
    EXPECT_EQ(RunProgram(Python(), {"-c", script, path}, &out, &err), 0) << err.toStdString();
    return QJsonDocument::fromJson(out).array();
}
} // namespace

TEST(XlsExport, TypedCellsFormatsAndLayout) {
    TempDir dir;
    auto t = OpenTable(dir, kTyped, "T");
    TDataSet& ds = t->query;
    ds.FieldByName("Price")->DisplayFormat = "#,##0.00";
    ds.FieldByName("Stamp")->DisplayFormat = "yyyy-mm-dd hh:nn";
    ScopedScriptedMessages m;
    TkXLSExport e;
    e.ExportFile = dir.path("t.xlsx");
    e.ActionAfter = aaNone;
    e.Options |= xleSetCellBorders | xleFreezeTitles | xleSetAutoFilter | xleSetPageSetup;
    e.WindowZoom = 80;
    e.PageZoom = 90;
    e.SetFontName = "DejaVu Sans";
    e.SetFontSize = 9;
    int before = 0, after = 0;
    e.OnBeforeExport = [&](TkXLSExport& x) { before = x.RowIdx + 1; };
    e.OnAfterExport = [&](TkXLSExport& x) { after = x.RowIdx; };
    ASSERT_TRUE(e.ExportDBTable(&ds, true, "Data"));
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 5); // titles, three records, sums
    EXPECT_EQ(e.FirstDataRow, 2);
    EXPECT_EQ(e.LastDataRow, 4);
    // Integers a spreadsheet number cannot hold are texts, said once.
    ASSERT_EQ(m.log(), QStringList({"warning: Integers with more digits than a spreadsheet number holds were "
                                    "written as text: 2, the first in cell I2."}));

    QJsonObject book = ReadWorkbook(e.ExportFile);
    EXPECT_EQ(book["title"].toString(), "Data");
    EXPECT_EQ(book["freeze"].toString(), "A2");
    EXPECT_EQ(book["filter"].toString(), "A1:J4"); // titles and records, not the sums
    EXPECT_EQ(book["zoom"].toInt(), 80);
    EXPECT_EQ(book["scale"].toInt(), 90);
    EXPECT_TRUE(book["fit"].toBool());
    struct Case {
        const char* ref;
        QJsonValue value;
        const char* type;
        const char* format;
    } cases[] = {
        {"A1", "ID", "s", "General"},
        {"A2", 1, "n", "General"},
        {"B2", "=1+2", "s", "General"}, // a text, never a formula
        {"B3", "  padded ", "s", "General"},
        {"C2", 1.5, "n", "#,##0.00"},
        {"D2", 2.25, "n", "General"},
        {"E2", "2001-02-03T00:00:00", "d", "dd/mm/yyyy"},
        {"E3", "1850-06-15", "s", "dd/mm/yyyy"}, // before the first day a serial names correctly
        {"F2", "10:30:00", "d", "hh:mm:ss"},
        {"G2", "2001-02-03T18:00:00", "d", "yyyy-mm-dd hh:mm"},
        {"G4", "1900-01-01 00:00:00", "s", "yyyy-mm-dd hh:mm"},
        {"H2", true, "b", "General"},
        {"H3", false, "b", "General"},
        {"I2", "1234567890123456789", "s", "General"},
        {"I3", 42, "n", "General"},
        {"I4", "-9007199254740993", "s", "General"},
        {"J2", "two\nlines", "s", "General"},
        {"D3", QJsonValue::Null, "n", "General"},
        {"A5", "=SUM(A2:A4)", "f", "General"},
        {"B5", "Sum:", "s", "General"},
        {"C5", "=SUM(C2:C4)", "f", "#,##0.00"},
        {"I5", "=SUM(I2:I4)", "f", "General"},
    };
    for (const Case& c : cases) {
        QJsonArray cell = Cell(book, c.ref);
        ASSERT_FALSE(cell.isEmpty()) << c.ref;
        EXPECT_EQ(cell[0], c.value) << c.ref << " " << QJsonDocument(cell).toJson().toStdString();
        EXPECT_EQ(cell[1].toString(), c.type) << c.ref;
        EXPECT_EQ(cell[2].toString(), c.format) << c.ref;
    }
    EXPECT_TRUE(Cell(book, "E5").isEmpty()); // later text-like columns have no sum
    // Bold titles and sums, every cell of the block bordered and in the font asked for.
    for (const char* ref : {"A1", "J1", "A5", "B5"})
        EXPECT_TRUE(Cell(book, ref)[3].toBool()) << ref;
    EXPECT_FALSE(Cell(book, "A2")[3].toBool());
    for (const char* ref : {"A1", "D3", "J4", "C5"}) {
        EXPECT_EQ(Cell(book, ref)[4].toString(), "thin") << ref;
        EXPECT_EQ(Cell(book, ref)[5].toString(), "DejaVu Sans") << ref;
        EXPECT_EQ(Cell(book, ref)[6].toDouble(), 9) << ref;
    }
    // Widths follow the data: the padded name is wider than the short IDs.
    QJsonObject widths = book["widths"].toObject();
    EXPECT_GT(widths["B"].toDouble(), widths["A"].toDouble());
}

TEST(XlsExport, OptionsStartPositionAndSelection) {
    TempDir dir;
    auto t = OpenTable(dir, kTyped, "T");
    TDataSet& ds = t->query;
    ds.FieldByName("Qty")->Visible = false;
    // Every other record selected, a grid title for the name.
    TGridSource grid(&ds, {{"ID", "", true}, {"Name", "Who", true}, {"Qty", "", false}, {"Note", "", true}},
                     [&] { return ds.RecNo() != 2; });
    TkXLSExport e;
    e.ExportFile = dir.path("s.xlsx");
    e.ActionAfter = aaNone;
    e.setStartRow(3);
    e.setStartCol(2);
    e.setStartRow(0); // ignored
    e.Options = xleExportTitles | xleRealFieldNamesAsTitle | xleOnlyVisibleFields | xleOnlySelectedRows |
                xleTrimData | xleAddSumRow | xleFreezeTitles;
    ASSERT_TRUE(e.ExportDBTable(grid, true, "a/b:c?[d]*'"));
    EXPECT_EQ(e.RecExported, 2);
    QJsonObject book = ReadWorkbook(e.ExportFile);
    EXPECT_EQ(book["title"].toString(), "a_b_c__d__");
    EXPECT_EQ(book["freeze"].toString(), "A4");
    EXPECT_TRUE(book["filter"].isNull());
    QJsonObject cells = book["cells"].toObject();
    EXPECT_EQ(cells["B3"].toArray()[0], "ID");
    EXPECT_EQ(cells["C3"].toArray()[0], "Name");     // field names asked for, not the grid's title
    EXPECT_FALSE(cells["B3"].toArray()[3].toBool()); // not bold without xleBoldTitles
    EXPECT_EQ(cells["B4"].toArray()[0], 1);
    EXPECT_EQ(cells["B5"].toArray()[0], 3);
    EXPECT_EQ(cells["C4"].toArray()[0], "=1+2");
    EXPECT_EQ(cells["D5"].toArray()[0], "x");
    EXPECT_EQ(cells["B6"].toArray()[0], "=SUM(B4:B5)");
    EXPECT_EQ(cells["C6"].toArray()[0], "Sum:");
    EXPECT_FALSE(cells.contains("E3")); // the hidden column is left out

    // Titles only.
    TkXLSExport s;
    s.ExportFile = dir.path("structure.xlsx");
    s.ActionAfter = aaNone;
    s.Options = xleOnlyVisibleFields | xleSetAutoFilter;
    s.ExportStructureOnly = true;
    ASSERT_TRUE(s.ExportDBTable(&ds));
    book = ReadWorkbook(s.ExportFile);
    EXPECT_EQ(book["filter"].toString(), "A1:I1");
    EXPECT_EQ(book["cells"].toObject().size(), 9);
}

TEST(XlsExport, LimitsRefusalsAndAbort) {
    TempDir dir;
    ScopedScriptedMessages m;
    auto t = OpenTable(dir,
                       "CREATE TABLE L(ID INTEGER, Note TEXT);"
                       "INSERT INTO L VALUES (1, 'a'), (2, 'b'), (3, hex(zeroblob(20000))), (4, 'd');",
                       "L");
    TDataSet& ds = t->query;
    struct Case {
        const char* what;
        int startRow;
        QString message;
        QStringList kept; // column A of the saved sheet from the start row
    } cases[] = {
        {"text longer than a cell",
         1,
         "Record 3, field \"Note\": the text is longer than a cell can hold (32,767 characters). The rows "
         "before "
         "it were saved.",
         {"ID", "1", "2"}},
        {"more rows than a sheet",
         1048574,
         "A sheet holds at most 1,048,576 rows: record 3 and the ones after it were not written; the rows "
         "before "
         "it were saved.",
         {"ID", "1", "2"}},
    };
    for (const Case& c : cases) {
        m.clear();
        TkXLSExport e;
        e.ExportFile = dir.path("limit.xlsx");
        e.ActionAfter = aaNone;
        e.setStartRow(c.startRow);
        EXPECT_FALSE(e.ExportDBTable(&ds)) << c.what;
        ASSERT_EQ(m.shown.size(), 1u) << c.what;
        EXPECT_EQ(m.shown[0].heading, "Error: Cannot export data.");
        EXPECT_TRUE(m.shown[0].text.contains(c.message)) << m.shown[0].text.toStdString();
        QJsonObject cells = ReadWorkbook(e.ExportFile)["cells"].toObject();
        QStringList kept;
        for (int r = c.startRow; cells.contains(QStringLiteral("A%1").arg(r)); ++r)
            kept << cells[QStringLiteral("A%1").arg(r)].toArray()[0].toVariant().toString();
        EXPECT_EQ(kept, c.kept) << c.what;
    }

    // An existing workbook is never partly overwritten: adding to it is refused, so is replacing one
    // with other sheets; the file stays as it was.
    const QString two = dir.path("two.xlsx");
    ASSERT_EQ(RunProgram(Python(), {"-c",
                                    "import openpyxl, sys\nwb = openpyxl.Workbook()\nwb.create_sheet('B')\n"
                                    "wb.active['A1'] = '=1+1'\nwb.save(sys.argv[1])\n",
                                    two}),
              0);
    const QByteArray original = ReadFile(two);
    struct Refusal {
        TXLSExportOptions options;
        const char* message;
    } refusals[] = {
        {xleAddAsNewSheet, "adding a sheet or rows to an existing workbook is not supported"},
        {xleAddToExistingRows, "adding a sheet or rows to an existing workbook is not supported"},
        {0, "has more than one sheet: replacing it would lose them"},
    };
    for (const Refusal& r : refusals) {
        m.clear();
        TkXLSExport e;
        e.ExportFile = two;
        e.ActionAfter = aaNone;
        e.Options |= r.options;
        EXPECT_FALSE(e.ExportDBTable(&ds));
        ASSERT_EQ(m.shown.size(), 1u);
        EXPECT_TRUE(m.shown[0].text.contains(r.message)) << m.shown[0].text.toStdString();
        EXPECT_EQ(ReadFile(two), original);
    }

    // Abort through the progress event: the old file stays and no temporary file is left.
    auto small = OpenTable(dir, "CREATE TABLE S(ID INTEGER); INSERT INTO S VALUES (1), (2);", "S");
    const QString old = dir.path("old.xlsx");
    WriteFile(old, "old");
    TkXLSExport a;
    a.ExportFile = old;
    a.ActionAfter = aaNone;
    a.OnProgressEvent = [&](TProgressStage s, int, bool, const QRect&, const QString&) {
        if (s == psRunning) a.Aborted = true;
    };
    const int files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size();
    EXPECT_FALSE(a.ExportDBTable(&small->query));
    EXPECT_EQ(ReadFile(old), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), files);
    // The same file replaced (it is not a workbook with other sheets).
    a.OnProgressEvent = {};
    EXPECT_TRUE(a.ExportDBTable(&small->query));
    EXPECT_EQ(ReadWorkbook(old)["cells"].toObject()["A3"].toArray()[0], 2);
}

TEST(XlsExport, SheetNamesAndColumnLetters) {
    struct Case {
        QString in, out;
    } cases[] = {
        {"Sales", "Sales"},
        {"", "Sheet1"},
        {"a[b]c:d*e?f/g\\h", "a_b_c_d_e_f_g_h"},
        {"'quoted'", "quoted"},
        {QString(40, 'x'), QString(31, 'x')},
        {"line\nbreak", "line_break"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WorkbookWriter::ValidSheetName(c.in), c.out) << c.in.toStdString();
    EXPECT_EQ(WorkbookWriter::ColumnName(0), "A");
    EXPECT_EQ(WorkbookWriter::ColumnName(25), "Z");
    EXPECT_EQ(WorkbookWriter::ColumnName(26), "AA");
    EXPECT_EQ(WorkbookWriter::ColumnName(16383), "XFD");
    EXPECT_EQ(ConvertDateFormat("DD/MM/YYYY HH:NN"), "dd/mm/yyyy hh:mm");
}

// LibreOffice opens the workbooks and, recalculating on load, finds the sums of the data.
TEST(XlsExport, LibreOfficeReadsEveryValue) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    auto orders = OpenDemoTable("Orders");
    TDataSet& ds = orders->query;
    ds.FieldByName("OrderDate")->DisplayFormat = "yyyy-mm-dd";
    ds.FieldByName("ShipTime")->DisplayFormat = "hh:nn:ss";
    ds.FieldByName("ShippedAt")->DisplayFormat = "yyyy-mm-dd hh:nn:ss";
    TkXLSExport e;
    e.ExportFile = dir.path("orders.xlsx");
    e.ActionAfter = aaNone;
    ASSERT_TRUE(e.ExportDBTable(&ds));
    auto typed = OpenTable(dir, kTyped, "T");
    ScopedScriptedMessages m; // the warning about the long integers
    TkXLSExport t;
    t.ExportFile = dir.path("typed.xlsx");
    t.ActionAfter = aaNone;
    t.DefaultDateFormat = "yyyy-mm-dd";
    ASSERT_TRUE(t.ExportDBTable(&typed->query));

    // A profile that recalculates every formula of an xlsx file on load.
    const QString profile = dir.path("profile");
    QDir().mkpath(profile + "/user");
    WriteFile(
        profile + "/user/registrymodifications.xcu",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
        "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
        "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\"><prop oor:name=\"OOXMLRecalcMode\" "
        "oor:op=\"fuse\"><value>0</value></prop></item>\n"
        "</oor:items>\n");
    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {"-env:UserInstallation=file://" + profile, "--headless", "--convert-to",
                          "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir.path(), e.ExportFile,
                          t.ExportFile},
                         nullptr, &err),
              0)
        << err.toStdString();

    QJsonArray rows = CsvRows(dir.path("orders.csv"));
    ASSERT_EQ(rows.size(), ds.RecordCount() + 2); // titles, records, sums
    QJsonArray titles;
    for (int c = 0; c < ds.FieldCount(); ++c)
        titles.append(ds.Fields(c)->DisplayLabel());
    EXPECT_EQ(rows[0].toArray(), titles);
    double sums[3] = {0, 0, 0};
    for (int r = 0; r < ds.RecordCount(); ++r) {
        ds.setRecNo(r + 1);
        QJsonArray row = rows[r + 1].toArray();
        for (int c = 0; c < ds.FieldCount(); ++c)
            EXPECT_EQ(row[c].toString(), ds.Fields(c)->DisplayText()) << "row " << r << " column " << c;
        sums[0] += ds.FieldByName("OrderID")->AsFloat();
        sums[1] += ds.FieldByName("CustomerID")->AsFloat();
        sums[2] += ds.FieldByName("Freight")->AsFloat();
    }
    QJsonArray sumRow = rows.last().toArray();
    EXPECT_EQ(sumRow[0].toString().toDouble(), sums[0]);
    EXPECT_EQ(sumRow[1].toString().toDouble(), sums[1]);
    EXPECT_NEAR(sumRow[5].toString().toDouble(), sums[2], 1e-6);
    EXPECT_EQ(sumRow[2].toString(), "Sum:");

    rows = CsvRows(dir.path("typed.csv"));
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[1].toArray(), QJsonArray({"1", "=1+2", "1.5", "2.25", "2001-02-03", "10:30:00",
                                             "2001-02-03", "TRUE", "1234567890123456789", "two\nlines"}));
    EXPECT_EQ(rows[2].toArray()[4].toString(), "1850-06-15");
    EXPECT_EQ(rows[4].toArray()[0].toString(), "6");
    EXPECT_EQ(rows[4].toArray()[2].toString(), "1.25");
}
