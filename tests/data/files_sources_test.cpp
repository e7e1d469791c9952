// File sources end to end: which reader a connection string picks, Access files against the mdbtools
// programs, workbooks written by LibreOffice, dBase tables written here, the statements a file
// source answers and refuses, and tabulo-cli on every kind.
#include "ado_con_wizard.h"
#include "connection.h"
#include "exceptions.h"
#include "file_source.h"
#include "files_test_util.h"
#include "query.h"
#include "test_util.h"
#include "zip_archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {
QStringList joined(const QList<QStringList>& rows) {
    QStringList out;
    for (const QStringList& r : rows)
        out << r.join('|');
    return out;
}

// The shared Access fixtures, copied so that nothing can touch the originals.
QString accessCopy(const TempDir& dir, const QString& name) {
    QString from = SourceDir() + "/../shared/fixtures/access/" + name;
    QString to = dir.path(name);
    if (!QFile::copy(from, to)) return QString();
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    return to;
}

// RFC 4180 rows of a CSV text (the reference programs' output).
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cur += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cur += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << cur;
            cur.clear();
        } else if (c == '\n') {
            row << cur;
            rows << row;
            row.clear();
            cur.clear();
        } else if (c != '\r') {
            cur += c;
        }
    }
    return rows;
}

// --- dBase files as dBase III and FoxPro write them
struct DbfField {
    const char* name;
    char type;
    int length, decimals;
};

QByteArray le(uint32_t v, int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
    return b;
}

QByteArray dbf(uchar version, uchar codePage, const std::vector<DbfField>& fields,
               const QList<QList<QByteArray>>& rows, int claimedRows = -1) {
    int recordSize = 1;
    for (const DbfField& f : fields)
        recordSize += f.length;
    int headerSize = 32 + 32 * int(fields.size()) + 1 + (version == 0x30 ? 263 : 0);
    QByteArray out(32, '\0');
    out[0] = char(version);
    out[1] = 124;
    out[2] = 1;
    out[3] = 1;
    out.replace(4, 4, le(uint32_t(claimedRows >= 0 ? claimedRows : rows.size()), 4));
    out.replace(8, 2, le(uint32_t(headerSize), 2));
    out.replace(10, 2, le(uint32_t(recordSize), 2));
    out[29] = char(codePage);
    for (const DbfField& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, int(strlen(f.name)), f.name);
        d[11] = f.type;
        d[16] = char(f.length);
        d[17] = char(f.decimals);
        out += d;
    }
    out += '\x0D';
    out += QByteArray(headerSize - out.size(), '\0');
    for (const QList<QByteArray>& r : rows) {
        QByteArray rec = r[0]; // the deletion flag
        for (size_t i = 0; i < fields.size(); ++i) {
            QByteArray v = r[int(i) + 1];
            v += QByteArray(fields[i].length - v.size(), ' ');
            rec += v;
        }
        out += rec;
    }
    out += '\x1A';
    return out;
}
} // namespace

TEST(FileSources, ConnectionStringsPickTheirReader) {
    TempDir dir;
    QDir().mkpath(dir.path("texts"));
    struct Case {
        QString connection;
        FileKind kind;
        QString path;
        int header;
    } cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path("a.mdb"), FileKind::Access,
         dir.path("a.mdb"), -1},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + dir.path("a.accdb") +
             ";Persist Security Info=False",
         FileKind::Access, dir.path("a.accdb"), -1},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path("b.xls") +
             ";Extended Properties=\"Excel 8.0;HDR=No;IMEX=1\"",
         FileKind::Xls, dir.path("b.xls"), 0},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + dir.path("b.xlsx") +
             ";Extended Properties=\"Excel 12.0 Xml;HDR=YES\"",
         FileKind::Xlsx, dir.path("b.xlsx"), 1},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + dir.path("b.ods") +
             ";Extended Properties=\"Excel 12.0 Xml\"",
         FileKind::Ods, dir.path("b.ods"), -1},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path("texts") +
             ";Extended Properties=\"text;HDR=Yes;FMT=Delimited\"",
         FileKind::Text, dir.path("texts"), 1},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path("texts") +
             ";Extended Properties=dBASE IV;",
         FileKind::DBase, dir.path("texts"), -1},
        {"Driver={Microsoft Excel Driver (*.xls)};DBQ=" + dir.path("c.xls"), FileKind::Xls, dir.path("c.xls"),
         -1},
        {"Provider=MSDASQL;Driver={Microsoft Access Driver (*.mdb)};DBQ=" + dir.path("c.mdb"),
         FileKind::Access, dir.path("c.mdb"), -1},
        {"Driver={Microsoft Text Driver (*.txt; *.csv)};DefaultDir=" + dir.path("texts") +
             ";ColNameHeader=False",
         FileKind::Text, dir.path("texts"), 0},
        {"Driver={Microsoft dBase Driver (*.dbf)};DefaultDir=" + dir.path("texts"), FileKind::DBase,
         dir.path("texts"), -1},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=sub/d.csv;Extended Properties=\"text\"",
         FileKind::Text, dir.path("sub/d.csv"), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connection.toStdString());
        std::optional<FileSource> source = FileSourceOf(InitString::parse(c.connection), dir.path());
        ASSERT_TRUE(source.has_value());
        EXPECT_EQ(int(source->kind), int(c.kind));
        EXPECT_EQ(source->path, c.path);
        EXPECT_EQ(source->header, c.header);
    }
    for (const char* other :
         {"Provider=SQLite;Data Source=x.sqlite", "Driver={PostgreSQL Unicode};Server=localhost",
          "Provider=SQLOLEDB;Data Source=srv;Initial Catalog=db"})
        EXPECT_FALSE(FileSourceOf(InitString::parse(other), dir.path()).has_value()) << other;
    for (const char* path :
         {"x.csv", "x.TXT", "x.xlsx", "x.xlsm", "x.ods", "x.xls", "x.dbf", "x.mdb", "x.accdb"})
        EXPECT_TRUE(FileSourceOfPath(path, dir.path()).has_value()) << path;
    EXPECT_FALSE(FileSourceOfPath("x.sqlite", dir.path()).has_value());
    // Strings a file source cannot serve are refused by name.
    for (const char* bad :
         {"Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Excel 8.0",
          "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x;Extended Properties=Paradox 5.x",
          "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x;Extended Properties=\"text;FMT=Delimited(ab)\""}) {
        try {
            FileSourceOf(InitString::parse(bad), dir.path());
            ADD_FAILURE() << bad;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message.contains("Provider Microsoft.Jet.OLEDB.4.0")) << e.Message.toStdString();
        }
    }
}

TEST(FileSources, AccessFilesReadAsMdbtoolsPrintThem) {
    if (QStandardPaths::findExecutable("mdb-export").isEmpty()) {
        if (qgetenv("CI") == "true") FAIL() << "mdbtools is not installed";
        GTEST_SKIP() << "mdbtools is not installed";
    }
    TempDir dir;
    struct Case {
        const char* file;
        QStringList tables; // compared row by row with mdb-export
    } cases[] = {{"nwind.mdb", {"Orders", "Products", "Umsätze", "Employees"}},
                 {"ASampleDatabase.accdb", {"Asset Items"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        QString path = accessCopy(dir, c.file);
        ASSERT_FALSE(path.isEmpty()) << "fixture missing";
        QByteArray listed;
        ASSERT_EQ(RunProgram("mdb-tables", {"-1", path}, &listed), 0);
        QStringList expected = QString::fromUtf8(listed).split('\n', Qt::SkipEmptyParts);
        expected.sort(Qt::CaseInsensitive);
        EXPECT_EQ(SourceTables(path), expected);
        for (const QString& table : c.tables) {
            SCOPED_TRACE(table.toStdString());
            QByteArray out;
            const char* iso = "%Y-%m-%d %H:%M:%S";
            ASSERT_EQ(RunProgram("mdb-export", {"-D", iso, "-T", iso, "-b", "strip", path, table}, &out), 0);
            QList<QStringList> ref = parseCsv(QString::fromUtf8(out));
            ReadResult r = ReadSource(path, table);
            ASSERT_EQ(r.error, QString());
            EXPECT_EQ(r.names, ref[0]);
            ASSERT_EQ(r.rows.size(), ref.size() - 1);
            for (int row = 0; row < 5 && row < r.rows.size(); ++row)
                for (int col = 0; col < r.names.size(); ++col) {
                    QString e = ref[row + 1][col], v = r.rows[row][col];
                    QString type = r.types[col];
                    if (type == "Blob" || type == "VarBytes") continue; // stripped by mdb-export
                    if (v == "\\N") {
                        EXPECT_EQ(e, QString()) << r.names[col].toStdString();
                    } else if (type == "Float" || type == "Currency" || type == "Single" || type == "BCD") {
                        EXPECT_DOUBLE_EQ(v.toDouble(), e.toDouble()) << r.names[col].toStdString();
                    } else {
                        EXPECT_EQ(v, e) << r.names[col].toStdString();
                    }
                }
        }
    }
    // Files are opened read-only: the copy is unchanged after reading.
    EXPECT_TRUE(ReadFile(dir.path("nwind.mdb")) ==
                ReadFile(SourceDir() + "/../shared/fixtures/access/nwind.mdb"));
}

TEST(FileSources, DamagedAccessFileIsNamed) {
    TempDir dir;
    QString path = accessCopy(dir, "nwind.mdb");
    ASSERT_FALSE(path.isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.resize(f.size() - 1000));
    ReadResult r = ReadSource(path, "Orders");
    EXPECT_TRUE(r.error.contains("nwind.mdb") && r.error.contains("truncated")) << r.error.toStdString();
    WriteFile(dir.path("fake.mdb"), QByteArray(4096, 'x'));
    r = ReadSource(dir.path("fake.mdb"), "Orders");
    EXPECT_TRUE(r.error.contains("fake.mdb") && r.error.contains("not an Access database"))
        << r.error.toStdString();
}

// One CSV made here, written as xlsx, ods and xls by LibreOffice, reads back equal from each.
TEST(FileSources, WorkbooksWrittenByLibreOfficeReadBackEqual) {
    REQUIRE_LIBREOFFICE(soffice);
    TempDir dir;
    const QByteArray csv = "id,name,price,day,stamp\n"
                           "1,Alpha,1.5,2024-01-31,2024-01-31 10:20:30\n"
                           "2,\"Be, ta\",2,2024-02-29,1999-12-31 23:59:59\n"
                           "3,Žluťoučký kůň,-0.25,1900-03-01,2000-01-01 00:00:00\n"
                           "4,,1234567.125,,\n";
    WriteFile(dir.path("book.csv"), csv);
    const QString profile = "-env:UserInstallation=file://" + dir.path("profile");
    const QString in = "--infilter=Text - txt - csv (StarCalc):44,34,76,1,,0,false,true";
    for (const char* format : {"xlsx", "ods", "xls:MS Excel 97"})
        ASSERT_EQ(RunProgram(soffice, {profile, "--headless", in, "--convert-to", format, "--outdir",
                                       dir.path(), dir.path("book.csv")}),
                  0);
    const QStringList rows = {
        "1|Alpha|1.5|2024-01-31|2024-01-31 10:20:30", "2|Be, ta|2|2024-02-29|1999-12-31 23:59:59",
        "3|Žluťoučký kůň|-0.25|1900-03-01|2000-01-01 00:00:00", "4|\\N|1234567.125|\\N|\\N"};
    for (const char* file : {"book.xlsx", "book.ods", "book.xls"}) {
        SCOPED_TRACE(file);
        QString path = dir.path(file);
        EXPECT_EQ(SourceTables(path), QStringList({"book$"}));
        ReadResult r = ReadSource(path, "book$");
        ASSERT_EQ(r.error, QString());
        EXPECT_EQ(r.names, QStringList({"id", "name", "price", "day", "stamp"}));
        EXPECT_EQ(r.types, QStringList({"Integer", "WideString", "Float", "Date", "DateTime"}));
        EXPECT_EQ(joined(r.rows), rows);
        // The import wizard's statement, a projection with a condition, and the sheet without "$".
        EXPECT_EQ(ReadSource(path, "", "SELECT * FROM [book$] WHERE 1=1").rows.size(), 4);
        ReadResult some =
            ReadSource(path, "", "SELECT name, [price] AS p FROM book WHERE price > 1 ORDER BY price DESC");
        EXPECT_EQ(some.names, QStringList({"name", "p"}));
        EXPECT_EQ(joined(some.rows), QStringList({"\\N|1234567.125", "Be, ta|2", "Alpha|1.5"}));
        // The shipped template of the kind connects it as the import wizard does.
        TADOConnection con;
        TADOConWizard w;
        w.ADOConnection = &con;
        w.UDLFilePath = QDir(ProgramDir()).filePath("udl_import") + '/';
        w.UDLFileMask = "*_" + QFileInfo(path).suffix() + ".udl";
        EXPECT_TRUE(w.ConnectToFile(path, true)) << w.LogText.join('\n').toStdString();
        EXPECT_EQ(w.ConnectedFile(), path);
        CliRun t = cli({"--connect", path, "tables"});
        EXPECT_EQ(t.out, QString("book$\n")) << t.err.toStdString();
        CliRun o = cli({"--connect", path, "open", "book$", "--top", "1"});
        EXPECT_EQ(o.out,
                  QString("id\tname\tprice\tday\tstamp\n1\tAlpha\t1.5\t2024-01-31\t2024-01-31 10:20:30\n"))
            << o.err.toStdString();
    }
    // A value repeated past the largest sheet is damage, not two million rows to build.
    TZipArchive ods;
    ods.open(dir.path("book.ods"));
    QByteArray content = ods.read("content.xml");
    ods.write("content.xml", content.replace("<table:table-row ",
                                             "<table:table-row table:number-rows-repeated=\"2000000\" "));
    ods.close(true);
    QString error = ReadSource(dir.path("book.ods"), "book$").error;
    EXPECT_TRUE(error.contains("book.ods") && error.contains("sheet \"book\": the sheet runs past row"))
        << error.toStdString();
    // A damaged package names the file.
    QFile f(dir.path("book.xlsx"));
    ASSERT_TRUE(f.resize(f.size() / 2));
    EXPECT_TRUE(ReadSource(dir.path("book.xlsx"), "book$").error.contains("book.xlsx"));
}

// The cell forms other writers use: inline and rich strings with entities and phonetic runs, cached
// formula results, errors, booleans, ISO dates, the 1904 date system, custom date formats, cells
// without references and a namespace prefix.
TEST(FileSources, XlsxCellForms) {
    TempDir dir;
    const QString path = dir.path("forms.xlsx");
    TZipArchive zip;
    zip.open(path, true);
    zip.write("[Content_Types].xml",
              "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>");
    zip.write("_rels/.rels",
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" "
              "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
              "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    zip.write("xl/workbook.xml",
              "<x:workbook xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
              "<x:workbookPr date1904=\"1\"/><x:sheets><x:sheet name=\"Data &amp; more\" sheetId=\"1\" "
              "r:id=\"rId5\"/>"
              "</x:sheets></x:workbook>");
    zip.write("xl/_rels/workbook.xml.rels",
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId5\" "
              "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
              "worksheet\" Target=\"sheets/one.xml\"/>"
              "<Relationship Id=\"rId6\" "
              "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
              "styles\" Target=\"/xl/styles.xml\"/></Relationships>");
    zip.write("xl/styles.xml",
              "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
              "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"yyyy\\-mm\\-dd\\ hh:mm\"/>"
              "<numFmt numFmtId=\"165\" formatCode=\"&quot;day&quot;\\ 0.00\"/></numFmts>"
              "<cellXfs count=\"4\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf "
              "numFmtId=\"165\"/>"
              "</cellXfs></styleSheet>");
    zip.write(
        "xl/sheets/one.xml",
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
        "<x:row r=\"2\"><x:c r=\"B2\" t=\"inlineStr\"><x:is><x:t>name</x:t></x:is></x:c>"
        "<x:c t=\"inlineStr\"><x:is><x:t>when</x:t></x:is></x:c><x:c "
        "t=\"inlineStr\"><x:is><x:t>n</x:t></x:is></x:c>"
        "<x:c t=\"inlineStr\"><x:is><x:t>ok</x:t></x:is></x:c><x:c "
        "t=\"inlineStr\"><x:is><x:t>day</x:t></x:is></x:c></x:row>"
        "<x:row r=\"3\"><x:c r=\"B3\" t=\"inlineStr\"><x:is><x:r><x:t xml:space=\"preserve\">Caf</x:t></x:r>"
        "<x:r><x:t>&#233; &amp; co</x:t></x:r><x:rPh><x:t>kana</x:t></x:rPh></x:is></x:c>"
        "<x:c r=\"C3\" s=\"2\"><x:v>0.5</x:v></x:c><x:c r=\"D3\" s=\"3\"><x:f>1+1</x:f><x:v>2</x:v></x:c>"
        "<x:c r=\"E3\" t=\"b\"><x:v>1</x:v></x:c><x:c r=\"F3\" s=\"1\"><x:v>0</x:v></x:c></x:row>"
        "<x:row r=\"4\"><x:c r=\"B4\" t=\"str\"><x:f>A1</x:f><x:v> spaced </x:v></x:c>"
        "<x:c r=\"C4\" t=\"d\"><x:v>2024-02-29T06:00:00</x:v></x:c><x:c r=\"D4\" "
        "t=\"e\"><x:v>#DIV/0!</x:v></x:c>"
        "<x:c r=\"E4\" t=\"b\"><x:v>0</x:v></x:c><x:c r=\"F4\"/></x:row>"
        "</x:sheetData></x:worksheet>");
    zip.close(true);
    EXPECT_EQ(SourceTables(path), QStringList({"Data & more$"}));
    ReadResult r = ReadSource(path, "Data & more$");
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.names, QStringList({"name", "when", "n", "ok", "day"}));
    EXPECT_EQ(r.types, QStringList({"WideString", "DateTime", "Integer", "Boolean", "Date"}));
    EXPECT_EQ(joined(r.rows), QStringList({"Café & co|1904-01-01 12:00:00|2|1|1904-01-01",
                                           " spaced |2024-02-29 06:00:00|\\N|0|\\N"}));
    // Damaged sheets name the file and the sheet.
    for (const char* sheet :
         {"<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v>",
          "<worksheet><sheetData><row r=\"0\"><c r=\"A1\"><v>1</v></c></row></sheetData></worksheet>",
          "<worksheet><sheetData><row><c r=\"XFE1\"><v>1</v></c></row></sheetData></worksheet>"}) {
        zip.open(path);
        zip.write("xl/sheets/one.xml", sheet);
        zip.close(true);
        QString error = ReadSource(path, "Data & more$").error;
        EXPECT_TRUE(error.contains("forms.xlsx") && error.contains("sheet \"Data & more\""))
            << error.toStdString();
    }
}

TEST(FileSources, DbaseTablesWithMemos) {
    TempDir dir;
    // dBase III with a .dbt memo file, a deleted record and windows-1252 text.
    std::vector<DbfField> f3 = {{"NAME", 'C', 12, 0}, {"QTY", 'N', 5, 0}, {"PRICE", 'N', 8, 2},
                                {"DAY", 'D', 8, 0},   {"OK", 'L', 1, 0},  {"NOTE", 'M', 10, 0}};
    WriteFile(dir.path("stock.dbf"),
              dbf(0x83, 0x03, f3,
                  {{" ", "caf\xE9", "   12", "    1.50", "20240131", "T", "         1"},
                   {"*", "gone", "1", "1", "20240101", "F", ""},
                   {" ", "tea", "", "  -10.25", "        ", "?", "         2"},
                   {" ", "box", "99999", "*****", "19991231", "N", ""}}));
    QByteArray memo = le(3, 4) + QByteArray(508, '\0');
    memo += "first note\r\nline two\x1A\x1A";
    memo += QByteArray(1024 - memo.size(), '\0');
    memo += "second\x1A\x1A";
    WriteFile(dir.path("stock.dbt"), memo);
    // FoxPro with binary integer, currency, date-time and double fields and an .fpt memo file.
    std::vector<DbfField> fox = {
        {"ID", 'I', 4, 0}, {"PAID", 'Y', 8, 4}, {"AT", 'T', 8, 0}, {"RATE", 'B', 8, 0}, {"TXT", 'M', 4, 0}};
    qint64 paid = 123456; // 12.3456
    double rate = 0.125;
    QByteArray money(reinterpret_cast<const char*>(&paid), 8), dbl(reinterpret_cast<const char*>(&rate), 8);
    WriteFile(
        dir.path("fox.dbf"),
        dbf(0x30, 0x03, fox, {{" ", le(7, 4), money, le(2460341, 4) + le(45296000, 4), dbl, le(8, 4)}}));
    QByteArray fpt(512, '\0');
    fpt[3] = 9;  // next free block
    fpt[7] = 64; // block size
    fpt += QByteArray::fromHex("00000001") + QByteArray::fromHex("00000005") + "hello";
    WriteFile(dir.path("fox.fpt"), fpt);

    QString folder =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path() + ";Extended Properties=dBASE IV";
    EXPECT_EQ(SourceTables(folder), QStringList({"fox.dbf", "stock.dbf"}));
    ReadResult r = ReadSource(folder, "stock");
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.names, QStringList({"NAME", "QTY", "PRICE", "DAY", "OK", "NOTE"}));
    EXPECT_EQ(r.types, QStringList({"WideString", "Integer", "Float", "Date", "Boolean", "WideMemo"}));
    EXPECT_EQ(joined(r.rows),
              QStringList({"café|12|1.5|2024-01-31|1|first note\r\nline two", "tea|\\N|-10.25|\\N|\\N|second",
                           "box|99999|\\N|1999-12-31|0|\\N"}));
    r = ReadSource(dir.path("fox.dbf"), "fox.dbf");
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.types, QStringList({"Integer", "Currency", "DateTime", "Float", "WideMemo"}));
    EXPECT_EQ(joined(r.rows), QStringList({"7|12.3456|2024-01-31 12:34:56|0.125|hello"}));

    // A table whose records run past the end of the file, and a memo that points outside its file.
    WriteFile(dir.path("cut.dbf"), dbf(0x03, 0, {{"A", 'C', 4, 0}}, {{" ", "x"}, {" ", "y"}}, 5));
    r = ReadSource(dir.path("cut.dbf"), "cut.dbf");
    EXPECT_TRUE(r.error.contains("cut.dbf") && r.error.contains("record 3 of 5")) << r.error.toStdString();
    WriteFile(dir.path("lost.dbf"), dbf(0x83, 0, {{"M", 'M', 10, 0}}, {{" ", "        40"}}));
    WriteFile(dir.path("lost.dbt"), QByteArray(512, '\0'));
    r = ReadSource(dir.path("lost.dbf"), "lost.dbf");
    EXPECT_TRUE(r.error.contains("lost.dbt") && r.error.contains("record 1")) << r.error.toStdString();
}

TEST(FileSources, StatementsAnsweredAndRefused) {
    TempDir dir;
    WriteFile(dir.path("t.csv"), "id,name,city\n1,Ann,Oslo\n2,bob,\n3,Cyd,Rome\n");
    const QString con = dir.path("t.csv");
    struct Case {
        const char* sql;
        QStringList rows; // empty with error set: refused
        const char* error;
    } cases[] = {
        {"SELECT TOP 2 * FROM [t.csv]", {"1|Ann|Oslo", "2|bob|\\N"}, ""},
        {"SELECT Count(*) FROM [t.csv]", {"3"}, ""},
        {"select count(*) from t where city is null", {"1"}, ""},
        {"SELECT name FROM t WHERE name = 'BOB'", {"bob"}, ""},
        {"SELECT name FROM t WHERE name LIKE 'c%' OR id = 1", {"Ann", "Cyd"}, ""},
        {"SELECT * FROM t WHERE 1=1 AND id <> 2 ORDER BY name DESC LIMIT 1;", {"3|Cyd|Rome"}, ""},
        {"DELETE FROM t", {}, "the statement \"DELETE\" (the file is read-only) is not supported"},
        {"SELECT DISTINCT city FROM t", {}, "DISTINCT is not supported"},
        {"SELECT upper(name) FROM t", {}, "the function upper() is not supported"},
        {"SELECT * FROM t, u", {}, "more than one table is not supported"},
        {"SELECT * FROM t GROUP BY city", {}, "\"GROUP BY city\" is not supported"},
        {"SELECT * FROM t WHERE id IN (1, 2)", {}, "cannot be evaluated on a file source"},
        {"SELECT nope FROM t", {}, "Column \"nope\" does not exist in table"},
        {"SELECT * FROM missing", {}, "Table \"missing\" does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        ReadResult r = ReadSource(con, "", c.sql);
        if (*c.error) {
            EXPECT_TRUE(r.error.contains(c.error)) << r.error.toStdString();
        } else {
            EXPECT_EQ(r.error, QString());
            EXPECT_EQ(joined(r.rows), c.rows);
        }
    }
    TADOConnection con2;
    con2.ConnectionString = con;
    con2.Open();
    try {
        con2.Execute("UPDATE t SET name = 'x'");
        ADD_FAILURE() << "a write was accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message.contains("read-only")) << e.Message.toStdString();
    }
}

TEST(FileSources, CliConnectsToEveryKind) {
    TempDir dir;
    WriteFile(dir.path("plain.csv"), "a,b\n1,x\n");
    WriteFile(dir.path("t.dbf"), dbf(0x03, 0, {{"A", 'N', 3, 0}, {"B", 'C', 3, 0}}, {{" ", "  1", "x"}}));
    struct Case {
        QString file, table;
    } cases[] = {{dir.path("plain.csv"), "plain.csv"}, {dir.path("t.dbf"), "t.dbf"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        CliRun t = cli({"--connect", c.file, "tables"});
        EXPECT_EQ(t.status, 0) << t.err.toStdString();
        EXPECT_EQ(t.out, c.table + "\n");
        CliRun o = cli({"--connect", c.file, "open", c.table});
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        EXPECT_EQ(o.out.toUpper(), QString("A\tB\n1\tX\n"));
    }
    // A folder is a source too: its text files, else its dBase tables.
    CliRun folder = cli({"--connect", dir.path(), "tables"});
    EXPECT_EQ(folder.out, QString("plain.csv\n")) << folder.err.toStdString();
    QDir().mkpath(dir.path("dbase"));
    QFile::copy(dir.path("t.dbf"), dir.path("dbase/t.dbf"));
    folder = cli({"--connect", dir.path("dbase"), "open", "t"});
    EXPECT_EQ(folder.out, QString("A\tB\n1\tx\n")) << folder.err.toStdString();
    QString mdb = accessCopy(dir, "nwind.mdb");
    ASSERT_FALSE(mdb.isEmpty());
    CliRun o = cli({"--connect", mdb, "open", "Shippers", "--top", "1"});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.out.startsWith("ShipperID\tCompanyName")) << o.out.toStdString();
    EXPECT_EQ(o.out.count('\n'), 2);
    CliRun bad = cli({"--connect", dir.path("none.xlsx"), "tables"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains("none.xlsx") && bad.err.contains("does not exist")) << bad.err.toStdString();
}
