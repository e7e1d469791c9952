// The xlsx engine, read back with openpyxl (values, types, number formats, layout) and LibreOffice.
#include "comp_config.h"
#include "export_fixture.h"
#include "scripted_messages.h"
#include "workbook_writer.h"
#include "xls_export.h"
#include "zip_archive.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace {
const char* kTyped =
    "CREATE TABLE T(ID INTEGER, Name VARCHAR(20), Price REAL, Qty NUMERIC, Born DATE, At TIME, Stamp "
    "DATETIME,"
    " Ok BOOLEAN, Big BIGINT, Note TEXT);"
    "INSERT INTO T VALUES"
    " (1, '=1+2', 1.5, 2.25, '2001-02-03', '10:30:00', '2001-02-03 18:00:00', 1, 1234567890123456789,"
    "  'two' || char(10) || 'lines'),"
    " (2, '  padded ', -0.25, NULL, '1850-06-15', NULL, NULL, 0, 42, 'a_x0041_b'),"
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

// The -env argument of a LibreOffice profile that recalculates every formula of an xlsx file on load.
QString RecalcProfile(const TempDir& dir) {
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
    return "-env:UserInstallation=file://" + profile;
}

// Every entry of a zip package by name.
std::map<QString, QByteArray> Entries(const QString& path) {
    TZipArchive zip;
    zip.open(path);
    std::map<QString, QByteArray> out;
    for (const QString& name : zip.entries())
        out[name] = zip.read(name);
    zip.close(false);
    return out;
}
// The pictures of a workbook's active sheet from its drawing part: [anchor kind, row, column, row
// offset, column offset (EMU), width, height (EMU), the image's own width and height (pixels)].
QJsonArray Pictures(const QString& path) {
    const QString script = QStringLiteral(
        "import json, posixpath, struct, sys, zipfile\n"
        "import xml.etree.ElementTree as ET\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "R = '{http://schemas.openxmlformats.org/officeDocument/2006/relationships}'\n"
        "def rels(part):\n"
        "    d, n = posixpath.split(part)\n"
        "    name = posixpath.join(d, '_rels', n + '.rels')\n"
        "    if name not in z.namelist(): return {}\n"
        "    out = {}\n"
        "    for r in ET.fromstring(z.read(name)):\n"
        "        t = r.get('Target')\n"
        "        out[r.get('Id')] = t[1:] if t.startswith('/') else posixpath.normpath(posixpath.join(d, "
        "t))\n"
        "    return out\n"
        "def local(e): return e.tag.split('}')[-1]\n"
        "wb = ET.fromstring(z.read('xl/workbook.xml'))\n"
        "active = int(next(e for e in wb.iter() if local(e) == 'workbookView').get('activeTab', 0))\n"
        "sheet = [e for e in wb.iter() if local(e) == 'sheet'][active]\n"
        "part = rels('xl/workbook.xml')[sheet.get(R + 'id')]\n"
        "ws = ET.fromstring(z.read(part))\n"
        "out = []\n"
        "for d in (e for e in ws if local(e) == 'drawing'):\n"
        "    dpart = rels(part)[d.get(R + 'id')]\n"
        "    drels = rels(dpart)\n"
        "    for a in ET.fromstring(z.read(dpart)):\n"
        "        f = next(e for e in a if local(e) == 'from')\n"
        "        v = {local(e): int(e.text) for e in f}\n"
        "        ext = next(e for e in a.iter() if local(e) == 'ext')\n"
        "        blip = next(e for e in a.iter() if local(e) == 'blip')\n"
        "        img = z.read(drels[blip.get(R + 'embed')])\n"
        "        w, h = struct.unpack('>II', img[16:24])\n"
        "        out.append([local(a), v['row'], v['col'], v['rowOff'], v['colOff'], int(ext.get('cx')),\n"
        "                    int(ext.get('cy')), w, h])\n"
        "print(json.dumps(out))\n");
    QByteArray out, err;
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

    // Files that are not workbooks this engine can change: a clear error naming the file, which stays
    // as it was, whatever the export was asked to do with it.
    const QString two = dir.path("two.xlsx");
    ASSERT_EQ(RunProgram(Python(), {"-c",
                                    "import openpyxl, sys\nwb = openpyxl.Workbook()\nwb.create_sheet('B')\n"
                                    "wb.active['A1'] = '=1+1'\nwb['B']['A1'] = 'b'\nwb.save(sys.argv[1])\n",
                                    two}),
              0);
    const QByteArray workbook = ReadFile(two);
    QByteArray badXml;
    {
        TZipArchive zip;
        WriteFile(dir.path("bad-xml.xlsx"), workbook);
        zip.open(dir.path("bad-xml.xlsx"));
        zip.write("xl/workbook.xml", "<workbook><sheets>");
        zip.close(true);
        zip.open(dir.path("no-parts.xlsx"), true);
        zip.write("word/document.xml", "<w:document/>");
        zip.close(true);
    }
    struct Bad {
        const char* file;
        QByteArray content; // empty: made above
        TXLSExportOptions options;
        const char* message;
    } bad[] = {
        {"text.xlsx", "ID;Name\r\n1;a\r\n", 0, "is not an xlsx or xlsm workbook (it is not a zip package)"},
        {"secret.xlsx", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0'),
         xleAddAsNewSheet, "is password-protected or in the old binary format (.xls)"},
        {"cut.xlsx", workbook.left(workbook.size() / 2), xleAddToExistingRows, "Cannot change the workbook"},
        {"no-parts.xlsx", {}, xleAddAsNewSheet, "is not a workbook: it has no part [Content_Types].xml"},
        {"bad-xml.xlsx", {}, 0, "is damaged: part xl/workbook.xml"},
    };
    for (const Bad& c : bad) {
        m.clear();
        const QString path = dir.path(c.file);
        if (!c.content.isEmpty()) WriteFile(path, c.content);
        const QByteArray before = ReadFile(path);
        TkXLSExport e;
        e.ExportFile = path;
        e.ActionAfter = aaNone;
        e.Options |= c.options;
        EXPECT_FALSE(e.ExportDBTable(&ds)) << c.file;
        ASSERT_EQ(m.shown.size(), 1u) << c.file;
        EXPECT_TRUE(m.shown[0].text.contains(c.message)) << m.shown[0].text.toStdString();
        EXPECT_TRUE(m.shown[0].text.contains(path)) << m.shown[0].text.toStdString();
        EXPECT_EQ(ReadFile(path), before) << c.file;
    }

    // Abort through the progress event: the old workbook stays and no temporary file is left.
    auto small = OpenTable(dir, "CREATE TABLE S(ID INTEGER); INSERT INTO S VALUES (1), (2);", "S");
    TkXLSExport a;
    a.ExportFile = two;
    a.ActionAfter = aaNone;
    a.OnProgressEvent = [&](TProgressStage s, int, bool, const QRect&, const QString&) {
        if (s == psRunning) a.Aborted = true;
    };
    const int files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size();
    EXPECT_FALSE(a.ExportDBTable(&small->query));
    EXPECT_EQ(ReadFile(two), workbook);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), files);
    // The same file: its active sheet replaced, the other one kept.
    a.OnProgressEvent = {};
    EXPECT_TRUE(a.ExportDBTable(&small->query));
    EXPECT_EQ(ReadWorkbook(two)["cells"].toObject()["A3"].toArray()[0], 2);
    EXPECT_EQ(ReadWorkbook(two, "B")["cells"].toObject()["A1"].toArray()[0], "b");
    // An empty file is taken for a new workbook.
    WriteFile(dir.path("empty.xlsx"), "");
    a.ExportFile = dir.path("empty.xlsx");
    EXPECT_TRUE(a.ExportDBTable(&small->query));
    EXPECT_EQ(ReadWorkbook(a.ExportFile)["cells"].toObject()["A2"].toArray()[0], 1);
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

    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {RecalcProfile(dir), "--headless", "--convert-to",
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
    EXPECT_EQ(rows[2].toArray()[9].toString(), "a_x0041_b"); // not read as an escaped "A"
    EXPECT_EQ(rows[4].toArray()[0].toString(), "6");
    EXPECT_EQ(rows[4].toArray()[2].toString(), "1.25");
}

// Workbooks made by openpyxl and by LibreOffice, changed by each kind of export: the other sheets keep
// their cells and formats, every part the export has no reason to change stays byte for byte, and
// both programs read the result (LibreOffice recalculating the formulas that refer to changed cells).
TEST(XlsExport, ChangesExistingWorkbooks) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    ScopedScriptedMessages m;
    auto t = OpenTable(
        dir,
        "CREATE TABLE X(Name TEXT, Qty INTEGER);"
        "INSERT INTO X VALUES ('a<&>b', 5), (' _x0041_ ', 7), ('two' || char(10) || 'lines', NULL);",
        "X");
    QDir().mkpath(dir.path("in"));
    const QString byOpenpyxl = dir.path("in/openpyxl.xlsx");
    ASSERT_EQ(RunProgram(Python(), {"-c",
                                    "import openpyxl, sys\n"
                                    "from openpyxl.styles import Font, PatternFill\n"
                                    "from openpyxl.workbook.defined_name import DefinedName\n"
                                    "wb = openpyxl.Workbook()\n"
                                    "d = wb.active\n"
                                    "d.title = 'Data'\n"
                                    "d.append(['Item', 'Qty'])\n"
                                    "d.append(['pen', 2])\n"
                                    "d.append(['ink', 3])\n"
                                    "d['A1'].font = Font(bold=True, color='FFFF0000')\n"
                                    "d['B2'].number_format = '0.000'\n"
                                    "d['C1'] = '=SUM(B2:B3)'\n"
                                    "d.auto_filter.ref = 'A1:B3'\n"
                                    "o = wb.create_sheet('Other')\n"
                                    "o['A1'] = 'keep'\n"
                                    "o['B1'] = '=Data!B2*10'\n"
                                    "o['A2'] = 1.25\n"
                                    "o['A2'].fill = PatternFill('solid', fgColor='FF00FF00')\n"
                                    "o.merge_cells('A3:B3')\n"
                                    "wb.defined_names.append(DefinedName('Total', attr_text='Data!$C$1'))\n"
                                    "wb.save(sys.argv[1])\n",
                                    byOpenpyxl}),
              0);
    QDir().mkpath(dir.path("lo"));
    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {RecalcProfile(dir), "--headless", "--convert-to", "xlsx", "--outdir",
                          dir.path("lo"), byOpenpyxl},
                         nullptr, &err),
              0)
        << err.toStdString();
    const QString byLibreOffice = dir.path("lo/openpyxl.xlsx");
    ASSERT_TRUE(QFile::exists(byLibreOffice));

    struct Mode {
        const char* name;
        TXLSExportOptions options;
        QString sheet;       // asked for
        QString written;     // the sheet the rows went to
        int first;           // its row of the titles
        QStringList sheets;  // of the workbook after
        const char* changed; // the sheet part written, besides the workbook-wide parts
        const char* filter;  // of the sheet written afterwards
    } modes[] = {
        {"new", xleAddAsNewSheet, "data", "data (2)", 1, {"Data", "Other", "data (2)"}, "sheet3", nullptr},
        {"append", xleAddToExistingRows, "", "Data", 4, {"Data", "Other"}, "sheet1", "A1:B3"},
        {"replace", 0, "", "Data", 1, {"Data", "Other"}, "sheet1", nullptr},
        {"named", 0, "OTHER", "Other", 1, {"Data", "Other"}, "sheet2", nullptr},
    };
    const QStringList wide = {"[Content_Types].xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                              "xl/styles.xml", "xl/calcChain.xml"};
    QStringList outputs;
    for (const QString& input : {byOpenpyxl, byLibreOffice}) {
        const auto before = Entries(input);
        const bool lo = input == byLibreOffice;
        for (const Mode& mode : modes) {
            const QString what = QStringLiteral("%1 %2").arg(lo ? "LibreOffice" : "openpyxl", mode.name);
            const QString file = dir.path(QStringLiteral("%1-%2.xlsx").arg(lo ? "lo" : "op", mode.name));
            QFile::copy(input, file);
            TkXLSExport e;
            e.ExportFile = file;
            e.ActionAfter = aaNone;
            e.Options = xleExportTitles | xleBoldTitles | xleAddSumRow | xleSetCellFormat |
                        xleSetCellBorders | xleSetColumnWidth | xleFreezeTitles | mode.options;
            ASSERT_TRUE(e.ExportDBTable(&t->query, true, mode.sheet)) << what.toStdString();
            outputs << file;

            QJsonObject book = ReadWorkbook(file, mode.written);
            EXPECT_EQ(book["sheets"].toArray(), QJsonArray::fromStringList(mode.sheets))
                << what.toStdString();
            // A new sheet is the one shown; otherwise the workbook opens where it did.
            EXPECT_EQ(book["active"].toString(), mode.options ? mode.written : QString("Data"))
                << what.toStdString();
            EXPECT_EQ(book["filter"].toVariant().toString(), QString(mode.filter ? mode.filter : ""))
                << what.toStdString();
            EXPECT_EQ(book["freeze"].toString(), QStringLiteral("A%1").arg(mode.first + 1))
                << what.toStdString();
            QJsonObject cells = book["cells"].toObject();
            auto cell = [&](int row, const char* col) {
                return cells[QStringLiteral("%1%2").arg(col).arg(mode.first + row)].toArray();
            };
            const QJsonValue expected[][2] = {
                {"Name", "Qty"},
                {"a<&>b", 5},
                {" _x005F_x0041_ ", 7}, // openpyxl does not decode the escapes of inline strings
                {"two\nlines", QJsonValue::Null},
                {"Sum:", QStringLiteral("=SUM(B%1:B%2)").arg(mode.first + 1).arg(mode.first + 3)}};
            for (int r = 0; r < 5; ++r) {
                EXPECT_EQ(cell(r, "A")[0], expected[r][0]) << what.toStdString() << " row " << r;
                EXPECT_EQ(cell(r, "B")[0], expected[r][1]) << what.toStdString() << " row " << r;
                EXPECT_EQ(cell(r, "A")[4].toString(), "thin") << what.toStdString() << " row " << r;
            }
            EXPECT_TRUE(cell(0, "A")[3].toBool());
            EXPECT_FALSE(cell(1, "A")[3].toBool());
            // Cleared: nothing of the old sheet is left (its formula in C1 and merged cells included).
            if (mode.options == 0) {
                for (const auto& [ref, value] : cells.toVariantMap().toStdMap())
                    EXPECT_TRUE(ref.startsWith('A') || ref.startsWith('B'))
                        << what.toStdString() << " " << ref.toStdString();
            }
            // The cells before the appended rows, and every sheet not written, are as they were.
            for (const QString& sheet : {QStringLiteral("Data"), QStringLiteral("Other")}) {
                QJsonObject was = ReadWorkbook(input, sheet)["cells"].toObject();
                QJsonObject now = ReadWorkbook(file, sheet)["cells"].toObject();
                if (sheet == mode.written && mode.options != xleAddToExistingRows) continue;
                for (auto it = was.begin(); it != was.end(); ++it)
                    EXPECT_EQ(now[it.key()], it.value())
                        << what.toStdString() << " " << sheet.toStdString() << "!" << it.key().toStdString();
            }
            // Parts: the sheet written and the workbook-wide lists change; a new sheet also takes the
            // selection from the sheet shown before; the rest is byte for byte what it was.
            const auto after = Entries(file);
            for (const auto& [name, bytes] : before) {
                if (wide.contains(name) || name.contains(mode.changed) ||
                    (mode.options == xleAddAsNewSheet && name == "xl/worksheets/sheet1.xml"))
                    continue;
                ASSERT_TRUE(after.count(name)) << what.toStdString() << " " << name.toStdString();
                EXPECT_EQ(after.at(name), bytes) << what.toStdString() << " " << name.toStdString();
            }
            EXPECT_FALSE(after.count("xl/calcChain.xml")) << what.toStdString();
        }
    }

    // LibreOffice reads every sheet of every result, recalculating on load.
    QDir().mkpath(dir.path("csv"));
    ASSERT_EQ(RunProgram(
                  soffice,
                  QStringList{RecalcProfile(dir), "--headless", "--convert-to",
                              "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1",
                              "--outdir", dir.path("csv")} +
                      outputs,
                  nullptr, &err),
              0)
        << err.toStdString();
    for (const QString& prefix : {QStringLiteral("op"), QStringLiteral("lo")}) {
        for (const Mode& mode : modes) {
            const QString what = prefix + " " + mode.name;
            QJsonArray rows =
                CsvRows(dir.path(QStringLiteral("csv/%1-%2-%3.csv").arg(prefix, mode.name, mode.written)));
            ASSERT_GE(rows.size(), mode.first + 4) << what.toStdString();
            auto row = [&](int r) { return rows[mode.first - 1 + r].toArray(); };
            EXPECT_EQ(row(0)[0].toString(), "Name") << what.toStdString();
            EXPECT_EQ(row(1)[0].toString(), "a<&>b") << what.toStdString();
            EXPECT_EQ(row(2)[0].toString(), " _x0041_ ") << what.toStdString();
            EXPECT_EQ(row(3)[0].toString(), "two\nlines") << what.toStdString();
            EXPECT_EQ(row(4)[0].toString(), "Sum:") << what.toStdString();
            EXPECT_EQ(row(4)[1].toString(), "12") << what.toStdString();
            QJsonArray other =
                CsvRows(dir.path(QStringLiteral("csv/%1-%2-Other.csv").arg(prefix, mode.name)));
            // Data!B2 * 10: the new first quantity once the sheet is replaced.
            if (mode.written != "Other")
                EXPECT_EQ(other[0].toArray()[1].toString(),
                          mode.written == "Data" && !mode.options ? "50" : "20")
                    << what.toStdString();
            if (mode.first > 1) {
                QJsonArray data =
                    CsvRows(dir.path(QStringLiteral("csv/%1-%2-Data.csv").arg(prefix, mode.name)));
                EXPECT_EQ(data[1].toArray()[0].toString(), "pen") << what.toStdString();
                EXPECT_EQ(data[0].toArray()[2].toString(), "5") << what.toStdString();
            }
        }
    }
}

// Macro-enabled workbooks: a new one says what it is (a spreadsheet refuses a .xlsm file that does
// not), and a changed one keeps its macro project and the content types that name it.
TEST(XlsExport, MacroEnabledWorkbooks) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    auto t = OpenTable(dir, "CREATE TABLE M(ID INTEGER, Name TEXT); INSERT INTO M VALUES (1, 'one');", "M");
    const char* kMacroMain = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
    TkXLSExport e;
    e.ActionAfter = aaNone;
    e.ExportFile = dir.path("new.xlsm");
    ASSERT_TRUE(e.ExportDBTable(&t->query));
    EXPECT_TRUE(Entries(e.ExportFile)["[Content_Types].xml"].contains(kMacroMain));

    // A workbook with a macro project, as a spreadsheet saves one.
    const QString withMacros = dir.path("macros.xlsm");
    ASSERT_EQ(RunProgram(Python(), {"-c",
                                    "import openpyxl, sys\nwb = openpyxl.Workbook()\nwb.active['A1'] = 'x'\n"
                                    "wb.save(sys.argv[1])\n",
                                    withMacros}),
              0);
    const QByteArray project = QByteArray("\xD0\xCF\x11\xE0 macro project", 20) + QByteArray(300, '\x01');
    {
        TZipArchive zip;
        zip.open(withMacros);
        QByteArray types = zip.read("[Content_Types].xml");
        types.replace("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                      kMacroMain);
        types.replace("</Types>",
                      "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
                      "</Types>");
        zip.write("[Content_Types].xml", types);
        QByteArray rels = zip.read("xl/_rels/workbook.xml.rels");
        rels.replace(
            "</Relationships>",
            "<Relationship Id=\"rIdVba\" Type=\"http://schemas.microsoft.com/office/2006/relationships/"
            "vbaProject\" Target=\"vbaProject.bin\"/></Relationships>");
        zip.write("xl/_rels/workbook.xml.rels", rels);
        zip.write("xl/vbaProject.bin", project);
        zip.close(true);
    }
    QByteArray styles; // the same formats again add nothing to the workbook's style table
    for (TXLSExportOptions mode : {unsigned(xleAddAsNewSheet), unsigned(xleAddToExistingRows), 0u}) {
        e.ExportFile = withMacros;
        e.Options = xleExportTitles | mode;
        ASSERT_TRUE(e.ExportDBTable(&t->query)) << mode;
        auto parts = Entries(withMacros);
        EXPECT_EQ(parts["xl/vbaProject.bin"], project) << mode;
        EXPECT_TRUE(parts["[Content_Types].xml"].contains(kMacroMain)) << mode;
        EXPECT_TRUE(parts["[Content_Types].xml"].contains("application/vnd.ms-office.vbaProject")) << mode;
        EXPECT_TRUE(parts["xl/_rels/workbook.xml.rels"].contains("vbaProject.bin")) << mode;
        if (styles.isEmpty()) styles = parts["xl/styles.xml"];
        EXPECT_EQ(parts["xl/styles.xml"], styles) << mode;
    }
    // The new sheet, appended to and then replaced; the first sheet as it was.
    const QJsonObject first = ReadWorkbook(withMacros, "Sheet")["cells"].toObject();
    const QJsonObject added = ReadWorkbook(withMacros, "Sheet2")["cells"].toObject();
    EXPECT_EQ(first["A1"].toArray().at(0), "x");
    EXPECT_EQ(added["B2"].toArray().at(0), "one");
    EXPECT_EQ(added.size(), 4);

    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {RecalcProfile(dir), "--headless", "--convert-to",
                          "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1",
                          "--outdir", dir.path(), dir.path("new.xlsm"), withMacros},
                         nullptr, &err),
              0)
        << err.toStdString();
    EXPECT_EQ(CsvRows(dir.path("new-Sheet1.csv"))[1].toArray(), QJsonArray({"1", "one"}));
    EXPECT_EQ(CsvRows(dir.path("macros-Sheet2.csv")),
              QJsonArray({QJsonArray({"ID", "Name"}), QJsonArray({"1", "one"})}));
}

// Rows of wrapped multi-line memos get the height their lines need (up to MaxRowHeight); a grid
// column's own colour and font go to its data cells when the colour options ask; in a new workbook
// and in a sheet added to an existing one alike.
TEST(XlsExport, RowHeightsAndColumnLooks) {
    TempDir dir;
    auto t = OpenTable(
        dir,
        "CREATE TABLE R(ID INTEGER, Note MEMO, Name TEXT);"
        "INSERT INTO R VALUES (1, 'single', 'n1'), (2, 'a' || char(10) || 'b', 'n' || char(10) || 'q'),"
        " (3, '1' || char(10) || '2' || char(10) || '3' || char(10) || '4', 'n3');",
        "R");
    ExportColumnLook name;
    name.Background = 0xFFCC00;
    name.FontName = "DejaVu Serif";
    name.Bold = true;
    ExportColumnLook id;
    id.Background = 0x3366FF;
    TGridSource grid(&t->query, {{"ID", "", true, id}, {"Note", "", true}, {"Name", "", true, name}});
    for (bool existing : {false, true}) {
        const QString file = dir.path(existing ? "existing.xlsx" : "new.xlsx");
        if (existing) QFile::copy(dir.path("new.xlsx"), file);
        TkXLSExport e;
        e.ExportFile = file;
        e.ActionAfter = aaNone;
        e.MaxRowHeight = 40;
        e.Options = xleExportTitles | xleBoldTitles | xleSetCellFormat | xleWrapMemoField | xleSetRowHeight |
                    (existing ? xleAddAsNewSheet : 0u);
        e.OptionColors = xleUseColumnsColor | xleSetBkColor | xleSetFontColor;
        ASSERT_TRUE(e.ExportDBTable(grid)) << existing;
        const QJsonObject book = ReadWorkbook(file);
        EXPECT_EQ(book["title"].toString(), existing ? "Sheet2" : "Sheet1");
        EXPECT_EQ(book["heights"].toObject(), QJsonObject({{"3", 30}, {"4", 40}})) << existing;
        const QJsonObject cells = book["cells"].toObject();
        struct Case {
            const char* ref;
            QJsonValue fill;
            const char* font;
            bool bold;
        } cases[] = {
            {"C1", QJsonValue::Null, "Calibri", true}, // titles keep the export's own look
            {"C2", "FFFFCC00", "DejaVu Serif", true},  {"C4", "FFFFCC00", "DejaVu Serif", true},
            {"A3", "FF3366FF", "Calibri", false},      {"B3", QJsonValue::Null, "Calibri", false},
        };
        for (const Case& c : cases) {
            const QJsonArray cell = cells[c.ref].toArray();
            EXPECT_EQ(cell.at(8), c.fill) << existing << " " << c.ref;
            EXPECT_EQ(cell.at(5).toString(), c.font) << existing << " " << c.ref;
            EXPECT_EQ(cell.at(3).toBool(), c.bold) << existing << " " << c.ref;
        }
    }
}

// Cells take the looks their source gives them (background, font colour, bold over the column's number
// format) and colour-value fields colour their cells; one format per distinct look, however many
// cells share it; in a new workbook and in a sheet added to an existing one alike.
TEST(XlsExport, CellLooksAndValueColours) {
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE C(ID INTEGER, Price REAL, Colour TEXT, Code INTEGER);"
                       "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 300)"
                       " INSERT INTO C SELECT i, i * 1.5, CASE i % 6 WHEN 0 THEN 'Red' WHEN 1 THEN "
                       "'$00FF0000' WHEN 2 THEN 'bogus' WHEN 3 THEN NULL WHEN 4 THEN 'money green' "
                       "ELSE '' END, CASE WHEN i % 2 = 0 THEN 255 ELSE -1 END FROM k;",
                       "C");
    TGridSource grid(&t->query,
                     {{"ID", "", true}, {"Price", "", true}, {"Colour", "", true}, {"Code", "", true}});
    TDataSet* ds = &t->query;
    // Every third record yellow across the row; an even ID red and bold; a price over 400 on
    // grey; a NULL colour with a blue background of its own.
    grid.SetCellLooks([ds](const TField* f, int, ExportCellLook& look) {
        const int id = ds->FieldByName("ID")->AsInteger();
        if (id % 3 == 0) look.Background = 0xFFFF00;
        if (f->FieldName == "ID" && id % 2 == 0) {
            look.FontColor = 0xFF0000;
            look.Bold = true;
        }
        if (f->FieldName == "Price" && id * 1.5 > 400) look.Background = 0xC0C0C0;
        if (f->FieldName == "Colour" && ds->FieldByName("Colour")->IsNull()) look.Background = 0x0000FF;
        if (f->FieldName == "Code" && id == 5) look.Background = 0x000000; // black is a colour
    });
    struct Case {
        const char* name;
        TXLSExportColors colors;
        const char* ref;
        QJsonValue value, fill, fontColor;
        bool bold;
    } cases[] = {
        // ID 2 (row 3): red bold; ID 3: yellow row; ID 6: both.
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "A3", 2, QJsonValue::Null, "FFFF0000",
         true},
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "A4", 3, "FFFFFF00", QJsonValue::Null,
         false},
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "A7", 6, "FFFFFF00", "FFFF0000", true},
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "B4", 4.5, "FFFFFF00", QJsonValue::Null,
         false},
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "B299", 447, "FFC0C0C0", QJsonValue::Null,
         false},
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "D6", -1, "FF000000", QJsonValue::Null,
         false},
        // A NULL cell with a look of its own is written to show it.
        {"all", xleUseCellsColor | xleSetBkColor | xleSetFontColor, "C4", QJsonValue::Null, "FF0000FF",
         QJsonValue::Null, false},
        // Background only: no font colour, no bold.
        {"bk", xleUseCellsColor | xleSetBkColor, "A7", 6, "FFFFFF00", QJsonValue::Null, false},
        // Colour values (names and numbers in BGR order) on the background; unreadable ones keep
        // their text and take no colour; an empty text is no colour.
        {"value", xleUseCellValueColor | xleSetBkColor, "C7", "Red", "FFFF0000", QJsonValue::Null, false},
        {"value", xleUseCellValueColor | xleSetBkColor, "C2", "$00FF0000", "FF0000FF", QJsonValue::Null,
         false},
        {"value", xleUseCellValueColor | xleSetBkColor, "C3", "bogus", QJsonValue::Null, QJsonValue::Null,
         false},
        {"value", xleUseCellValueColor | xleSetBkColor, "C5", "money green", "FFC0DCC0", QJsonValue::Null,
         false},
        {"value", xleUseCellValueColor | xleSetBkColor, "D3", 255, "FFFF0000", QJsonValue::Null, false},
        {"value", xleUseCellValueColor | xleSetBkColor, "D2", -1, QJsonValue::Null, QJsonValue::Null, false},
        // Without the background option a value colour goes to the font; hidden texts leave the
        // colour alone in the cell.
        {"font hidden", xleUseCellValueColor | xleSetFontColor | xleHideText, "C7", QJsonValue::Null,
         QJsonValue::Null, "FFFF0000", false},
        {"font hidden", xleUseCellValueColor | xleSetFontColor | xleHideText, "C3", "bogus", QJsonValue::Null,
         QJsonValue::Null, false},
        {"bk hidden", xleUseCellValueColor | xleSetBkColor | xleHideText, "D3", QJsonValue::Null, "FFFF0000",
         QJsonValue::Null, false},
    };
    for (bool existing : {false, true}) {
        std::map<std::string, QJsonObject> books;
        for (const Case& c : cases) {
            const std::string key = c.name;
            if (books.count(key)) continue;
            const QString file = dir.path(QString("%1-%2.xlsx").arg(existing).arg(c.name));
            if (existing) QFile::copy(dir.path(QString("0-%1.xlsx").arg(c.name)), file);
            TkXLSExport e;
            e.ExportFile = file;
            e.ActionAfter = aaNone;
            e.Options = xleExportTitles | xleSetCellFormat | (existing ? xleAddAsNewSheet : 0u);
            e.DefaultNumFormat = "0.00";
            e.OptionColors = c.colors;
            e.GetFieldType = [](TkXLSExport&, const TField& f, int& type) {
                if (f.FieldName == "Colour" || f.FieldName == "Code") type = xftColorValue;
            };
            ASSERT_TRUE(e.ExportDBTable(grid)) << c.name;
            books[key] = ReadWorkbook(file);
            // The looks are pooled: a handful of cell formats for 1,200 cells.
            const QByteArray styles = Entries(file)["xl/styles.xml"];
            const int xfs = styles.mid(styles.indexOf("<cellXfs")).split('>')[0].split('"')[1].toInt();
            EXPECT_LT(xfs, 16) << c.name << " " << existing;
        }
        for (const Case& c : cases) {
            const QJsonArray cell = Cell(books[c.name], c.ref);
            ASSERT_FALSE(cell.isEmpty()) << c.name << " " << c.ref << " " << existing;
            EXPECT_EQ(cell.at(0), c.value) << c.name << " " << c.ref << " " << existing;
            EXPECT_EQ(cell.at(8), c.fill) << c.name << " " << c.ref << " " << existing;
            EXPECT_EQ(cell.at(7), c.fontColor) << c.name << " " << c.ref << " " << existing;
            EXPECT_EQ(cell.at(3).toBool(), c.bold) << c.name << " " << c.ref << " " << existing;
            if (QByteArray(c.ref).startsWith('B')) EXPECT_EQ(cell.at(2).toString(), "0.00") << c.ref;
        }
    }
}

// Pictures of graphic fields, and ones an event supplies, sit in their cells scaled down to fit, a
// margin away from the cell's corner, keeping their own size; rows and columns grow to hold them;
// unreadable pictures say so. In a new workbook, a sheet added to it and rows appended below the
// pictures of a sheet.
TEST(XlsExport, PicturesInCells) {
    auto hex = [](int w, int h, const char* format) {
        QImage i(w, h, QImage::Format_RGB32);
        i.fill(Qt::darkGreen);
        QByteArray b;
        QBuffer out(&b);
        out.open(QIODevice::WriteOnly);
        i.save(&out, format);
        return QString::fromLatin1(b.toHex());
    };
    TempDir dir;
    auto t = OpenTable(dir,
                       QString("CREATE TABLE P(ID INTEGER, Pic BLOB, Name TEXT, Qty INTEGER);"
                               "INSERT INTO P VALUES (1, X'%1', 'one', 1), (2, X'%2', 'two', 2),"
                               " (3, NULL, 'three', 3), (4, X'00010203', 'four', 4), (5, X'%3', 'five', 5);")
                           .arg(hex(300, 100, "PNG"), hex(40, 30, "JPG"), hex(20, 20, "BMP")),
                       "P");
    TDataSet* ds = &t->query;
    const QString file = dir.path("pictures.xlsx");
    // Blobs are binary here, and those holding pictures graphic fields.
    struct Restore {
        ~Restore() { VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = true; }
    } restore;
    VemoCompConfig().kDBToolCfg.BlobField_ftBlobAsMemo = false;
    struct Run {
        const char* name;
        TXLSExportOptions options;
        int firstRow; // of the sheet's new rows, from 0
        int previous; // pictures already on the sheet
    } runs[] = {
        {"new", 0, 0, 0}, {"new sheet", xleAddAsNewSheet, 0, 0}, {"append", xleAddToExistingRows, 7, 6}};
    for (const Run& run : runs) {
        TkXLSExport e;
        e.ExportFile = file;
        e.ActionAfter = aaNone;
        e.Options = xleExportTitles | xleExportPictures | xleAddSumRow | xleSetColumnWidth | run.options;
        e.GetFieldType = [](TkXLSExport&, const TField& f, int& type) {
            if (f.FieldName == "Name") type = xftPicture;
        };
        QStringList asked;
        e.OnPreparePictureEvent = [&](TkXLSExport&, int row, int col, const TField& f, QImage& picture) {
            asked << QString("%1:%2:%3").arg(row).arg(col).arg(f.FieldName);
            if (f.FieldName == "Name" && ds->FieldByName("ID")->AsInteger() % 2 == 1) {
                picture = QImage(30, 30, QImage::Format_RGB32);
                picture.fill(Qt::blue);
            }
        };
        ASSERT_TRUE(e.ExportDBTable(ds)) << run.name;
        EXPECT_EQ(e.PicExported, 6) << run.name;
        const int r0 = run.firstRow;
        EXPECT_EQ(asked.size(), 10) << run.name;
        EXPECT_EQ(asked.first(), QString("%1:2:Pic").arg(r0 + 2)) << run.name;
        EXPECT_EQ(asked.last(), QString("%1:3:Name").arg(r0 + 6)) << run.name;

        const QJsonObject book = ReadWorkbook(file);
        const QJsonObject cells = book["cells"].toObject();
        auto ref = [&](const char* col, int row) {
            return QString("%1%2").arg(col).arg(r0 + row).toStdString();
        };
        EXPECT_EQ(Cell(book, ref("B", 5).c_str()).at(0), "Bad picture format.")
            << run.name << QJsonDocument(cells).toJson().toStdString();
        EXPECT_FALSE(cells.contains(ref("B", 4).c_str())) << run.name; // NULL: nothing
        EXPECT_FALSE(cells.contains(ref("C", 3).c_str())) << run.name; // the event gave none
        EXPECT_FALSE(cells.contains(ref("B", 7).c_str())) << run.name; // no sums of pictures
        EXPECT_EQ(Cell(book, ref("D", 7).c_str()).at(0), QString("=SUM(D%1:D%2)").arg(r0 + 2).arg(r0 + 6));

        const QJsonArray pictures = Pictures(file);
        ASSERT_EQ(pictures.size(), run.previous + 6) << run.name;
        struct Expected {
            int row, col, width, height;
        } expected[] = {{1, 1, 200, 66}, {1, 2, 30, 30}, {2, 1, 40, 30},
                        {3, 2, 30, 30},  {5, 1, 20, 20}, {5, 2, 30, 30}};
        const QJsonObject heights = book["heights"].toObject();
        for (const Expected& x : expected) {
            QJsonArray found;
            for (const QJsonValue& p : pictures)
                if (p[1].toInt() == r0 + x.row && p[2].toInt() == x.col) found = p.toArray();
            ASSERT_FALSE(found.isEmpty()) << run.name << " " << x.row << " " << x.col;
            // At its own size (to the image's resolution: 3780 dots per metre is not quite 96 per inch).
            const QJsonArray want = {"oneCellAnchor", r0 + x.row, x.col, 47625, 47625, x.width, x.height};
            const QJsonArray got = {found[0], found[1], found[2], found[3], found[4], found[7], found[8]};
            EXPECT_EQ(got, want) << run.name << " " << QJsonDocument(found).toJson().toStdString();
            EXPECT_NEAR(found[5].toDouble(), x.width * 9525, x.width * 9525 * 1e-3) << run.name;
            EXPECT_NEAR(found[6].toDouble(), x.height * 9525, x.height * 9525 * 1e-3) << run.name;
            // The row holds the tallest picture of the row with its margins.
            EXPECT_GE(heights[QString::number(r0 + x.row + 1)].toDouble(), (x.height + 10) * 0.75)
                << run.name;
        }
        // Widths in the file count the cell's padding: pixels / 7.
        EXPECT_NEAR(book["widths"].toObject()["B"].toDouble(), (200 + 10) / 7.0, 0.15) << run.name;
        EXPECT_NEAR(book["widths"].toObject()["C"].toDouble(), (30 + 10) / 7.0, 0.15) << run.name;
    }
}

// A sheet part of several megabytes is read in pieces: the rows go right below its last row, and
// every row before stays.
TEST(XlsExport, AppendsBelowALargeSheet) {
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE B(ID INTEGER, Name TEXT);"
                       "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 60000)"
                       " INSERT INTO B SELECT i, 'name <' || i || '> & more' FROM k;",
                       "B");
    TkXLSExport e;
    e.ExportFile = dir.path("big.xlsx");
    e.ActionAfter = aaNone;
    e.Options = xleExportTitles;
    ASSERT_TRUE(e.ExportDBTable(&t->query));
    e.Options = xleExportTitles | xleAddToExistingRows;
    ASSERT_TRUE(e.ExportDBTable(&t->query));
    QByteArray out, err;
    ASSERT_EQ(RunProgram(Python(),
                         {"-c",
                          "import json, sys, openpyxl\n"
                          "ws = openpyxl.load_workbook(sys.argv[1], read_only=True).active\n"
                          "rows = [r for r in ws.iter_rows(values_only=True)]\n"
                          "print(json.dumps([len(rows), ws.max_row, rows[60000], rows[60001], rows[60002], "
                          "rows[-1], sum(1 for r in rows if r[0] == 'ID')]))\n",
                          e.ExportFile},
                         &out, &err),
              0)
        << err.toStdString();
    EXPECT_EQ(
        QJsonDocument::fromJson(out).array(),
        QJsonArray({120002, 120002, QJsonArray({60000, "name <60000> & more"}), QJsonArray({"ID", "Name"}),
                    QJsonArray({1, "name <1> & more"}), QJsonArray({60000, "name <60000> & more"}), 2}))
        << out.toStdString();
}

// Read forward-only, block by block as the command line does, a table of two blocks gives the sheet a
// fully loaded dataset gives: column widths fit a long text of the second block, and the sums cover
// every row.
TEST(XlsExport, ForwardOnlyWritesWhatALoadedDatasetWrites) {
    TempDir dir;
    auto t = OpenTable(dir, kTwoBlockTable, "big");
    TkXLSExport e;
    e.ActionAfter = aaNone;
    e.Options |= xleSetCellBorders | xleSetAutoFilter;
    e.ExportFile = dir.path("loaded.xlsx");
    ASSERT_TRUE(e.ExportDBTable(&t->query));
    TADOQuery q(&t->connection);
    q.SQL = "SELECT * FROM big";
    e.ExportFile = dir.path("forward.xlsx");
    ASSERT_TRUE(e.ExportForwardOnly(&q));
    EXPECT_LT(q.RecordCount(), kFetchProgressRows); // only the last block was held
    EXPECT_EQ(e.RecExported, 70000);
    auto sheet = [](const QString& path) {
        TZipArchive zip;
        zip.open(path);
        return zip.read("xl/worksheets/sheet1.xml");
    };
    const QByteArray loaded = sheet(dir.path("loaded.xlsx"));
    EXPECT_TRUE(loaded.contains("<f>SUM(C2:C70001)</f>"));
    EXPECT_TRUE(loaded == sheet(e.ExportFile));
}

// Data bar, colour scale and icon set columns get their conditional formats over the data rows as the
// events set them: in a new workbook, below them in the same sheet (after the sheet's own formats in
// priority, bars with borders in the sheet's extension list) and in place of them when the sheet is
// replaced; openpyxl and LibreOffice read them.
TEST(XlsExport, ConditionalFormatColumns) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE D(Name TEXT, Score REAL, Bars INTEGER, Heat REAL, Level INTEGER, Signal "
                       "INTEGER, Rank INTEGER);"
                       "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 8)"
                       " INSERT INTO D SELECT 'n' || i, i * 1.5, i, i * 2.0, i % 3, i, 9 - i FROM k;",
                       "D");
    const std::map<QString, int> kinds = {{"Score", xftDataBar},   {"Bars", xftDataBar},
                                          {"Heat", xftColorScale}, {"Level", xftColorScale},
                                          {"Signal", xftIconSet},  {"Rank", xftIconSet}};
    QStringList prepared;
    auto exportTo = [&](const QString& file, TXLSExportOptions more) {
        TkXLSExport e;
        e.ExportFile = file;
        e.ActionAfter = aaNone;
        e.Options |= more;
        e.GetFieldType = [&](TkXLSExport&, const TField& f, int& type) {
            if (kinds.count(f.FieldName)) type = kinds.at(f.FieldName);
        };
        e.OnPrepareDatabarEvent = [&](TkXLSExport&, const TField& f, TDatabarSetting& s) {
            prepared << f.FieldName;
            EXPECT_TRUE(s.MinValue == 0 && s.MaxValue == 0 && s.FillColor == 0x1FFFFFFF &&
                        s.BorderColor == 0x1FFFFFFF && s.ShowValue);
            if (f.FieldName == "Bars") s.MaxValue = std::nan(""); // no number: the cells' own range
            if (f.FieldName != "Score") return;
            s.MinValue = 1;
            s.MaxValue = 9.5;
            s.FillColor = 0x0000FF; // red
            s.BorderColor = 0x00FF00;
            s.ShowValue = false;
        };
        e.OnPrepareColorScaleEvent = [&](TkXLSExport&, const TField& f, TColorScaleSetting& s) {
            prepared << f.FieldName;
            EXPECT_TRUE(!s.UseMidValue && s.MinValue == 0 && s.MaxValue == 0 && s.MinColor == 0x1FFFFFFF &&
                        s.MidColor == 0x1FFFFFFF && s.MaxColor == 0x1FFFFFFF);
            if (f.FieldName != "Heat") return;
            s.UseMidValue = true;
            s.MinValue = 2;
            s.MidValue = 8;
            s.MaxValue = 16;
            s.MinColor = 0xFF0000; // blue
            s.MaxColor = 0;        // black is a colour, not "unset"
        };
        e.OnPrepareIconSetEvent = [&](TkXLSExport&, const TField& f, TIconSetSetting& s) {
            prepared << f.FieldName;
            EXPECT_TRUE(s.IconSetType == 0 && !s.UseThresholds && !s.ShowIconOnly);
            if (f.FieldName == "Rank") {
                s.IconSetType = 99; // unknown: the default set
                s.UseThresholds = true;
                s.ThresholdValues[1] = INFINITY; // no number: percent steps
                return;
            }
            s.IconSetType = 12;
            s.UseThresholds = true;
            s.ThresholdValues[0] = 2;
            s.ThresholdValues[1] = 4;
            s.ThresholdValues[2] = 6.5;
            s.ThresholdValues[3] = 99; // four icons have three thresholds
            s.ShowIconOnly = true;
        };
        prepared.clear();
        EXPECT_TRUE(e.ExportDBTable(&t->query)) << file.toStdString();
        EXPECT_EQ(prepared, QStringList({"Score", "Bars", "Heat", "Level", "Signal", "Rank"}));
    };
    // The rules of data rows first to first + 7, priorities from priority on.
    auto rules = [](int first, int priority) {
        QString json = QStringLiteral(R"([
            ["B%1:B%2", "dataBar", %3, [["num", 1], ["num", 9.5]], ["FFFF0000"], null, false],
            ["C%1:C%2", "dataBar", %4, [["min", 0], ["max", 0]], ["FF638EC6"], null, null],
            ["D%1:D%2", "colorScale", %5, [["num", 2], ["num", 8], ["num", 16]],
             ["FF0000FF", "FFFFEB84", "FF000000"], null, null],
            ["E%1:E%2", "colorScale", %6, [["min", 0], ["max", 0]], ["FFFF7128", "FFFFEF9C"], null, null],
            ["F%1:F%2", "iconSet", %7, [["percent", 0], ["num", 2], ["num", 4], ["num", 6.5]], [], "4Rating",
             false],
            ["G%1:G%2", "iconSet", %8, [["percent", 0], ["percent", 33], ["percent", 67]], [], null, null]])");
        json = json.arg(first).arg(first + 7);
        for (int i = 0; i < 6; ++i)
            json = json.arg(priority + i);
        return QJsonDocument::fromJson(json.toUtf8()).array();
    };
    // The bars with borders: each rule of the extension list is the one a rule of the sheet names.
    auto borders = [](const QString& file) {
        const QByteArray sheet = Entries(file)["xl/worksheets/sheet1.xml"];
        QStringList named, described;
        static const QRegularExpression kId("<x14:id>([^<]+)</x14:id>"),
            kRule("<x14:cfRule type=\"dataBar\" id=\"([^\"]+)\">.*?border=\"1\".*?<x14:borderColor "
                  "rgb=\"FF00FF00\"/>.*?<xm:sqref>([^<]+)</xm:sqref>");
        for (const auto& m : kId.globalMatch(QString::fromUtf8(sheet)))
            named << m.captured(1);
        for (const auto& m : kRule.globalMatch(QString::fromUtf8(sheet)))
            described << m.captured(1) + " " + m.captured(2);
        EXPECT_EQ(named.size(), described.size()) << sheet.toStdString();
        for (int i = 0; i < named.size() && i < described.size(); ++i)
            EXPECT_TRUE(described[i].startsWith(named[i])) << described[i].toStdString();
        return described.size();
    };

    const QString file = dir.path("book.xlsx");
    exportTo(file, 0);
    EXPECT_EQ(ReadWorkbook(file)["conditional"].toArray(), rules(2, 1));
    EXPECT_EQ(borders(file), 1);

    // Appended: titles, records and sums again below (rows 11 to 20).
    exportTo(file, xleAddToExistingRows);
    QJsonArray both = rules(2, 1);
    for (const QJsonValue& r : rules(12, 7))
        both.append(r);
    EXPECT_EQ(ReadWorkbook(file)["conditional"].toArray(), both);
    EXPECT_EQ(borders(file), 2);

    {
        QByteArray err;
        ASSERT_EQ(RunProgram(soffice,
                             {"-env:UserInstallation=file://" + dir.path("profile"), "--headless",
                              "--convert-to", "fods", "--outdir", dir.path(), file},
                             nullptr, &err),
                  0)
            << err.toStdString();
        const QString ods = QString::fromUtf8(ReadFile(dir.path("book.fods")));
        EXPECT_EQ(ods.count("<calcext:data-bar "), 4);
        EXPECT_EQ(ods.count("calcext:positive-color=\"#ff0000\""), 2);
        EXPECT_EQ(ods.count("<calcext:color-scale>"), 4);
        EXPECT_EQ(ods.count("calcext:icon-set-type=\"4Rating\""), 2);
        EXPECT_EQ(ods.count("calcext:value=\"6.5\" calcext:type=\"number\""), 2);
        EXPECT_EQ(ods.count("calcext:target-range-address=\"Sheet1.F12:Sheet1.F19\""), 1);
    }

    // Replaced: the sheet's formats go with its cells.
    exportTo(file, 0);
    EXPECT_EQ(ReadWorkbook(file)["conditional"].toArray(), rules(2, 1));
    EXPECT_EQ(borders(file), 1);
}
