// The XML report engine over real packages: DOCX built with the zip stand-in, an ODT made by
// LibreOffice, a flat ODF XML file; every produced part must be well-formed, the archives must pass
// unzip -t, LibreOffice must read the results back as the expected text, and a barcode must survive
// the way to PDF and be decoded again.
#include "connection.h"
#include "query.h"
#include "shell.h"
#include "test_util.h"
#include "xml_report.h"
#include "zip_archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <map>
#include <pugixml.hpp>

namespace {
const char* kSql = R"(
CREATE TABLE people (ID INTEGER, NAME TEXT, PRICE REAL, NOTE MEMO);
INSERT INTO people VALUES (1, 'Smith', 1.5, '{\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0 plain \b bold\b0  tail\par }');
INSERT INTO people VALUES (2, 'Jo <Jr> & "Co"', 2, NULL);
INSERT INTO people VALUES (3, 'Tab' || char(9) || 'bell' || char(7) || 'end', 1234567,
                           'memo &lt;&lt; <b> && "q" <<A.ID>>:<<A.NAME>> <<nosuch>>');
CREATE TABLE empty (ID INTEGER);
CREATE TABLE invoices (ID INTEGER, CUSTOMER TEXT, CODE TEXT);
INSERT INTO invoices VALUES (1, 'Acme & Sons', 'INV-0001'), (2, 'Zed <Ltd>', 'INV-0002');
CREATE TABLE lines (INVOICE_ID INTEGER, ITEM TEXT, QTY INTEGER, PRICE REAL);
INSERT INTO lines VALUES (1, 'Bolt', 10, 0.5), (1, 'Nut', 20, 0.25), (2, 'Gear', 1, 12);
)";

using Entries = std::map<QString, QByteArray>;

void WriteZip(const QString& path, const Entries& entries) {
    QFile::remove(path);
    TZipArchive z;
    z.open(path, true);
    for (const auto& [name, data] : entries)
        z.write(name, data);
    z.close(true);
}

Entries ReadZip(const QString& path) {
    TZipArchive z;
    z.open(path);
    Entries e;
    for (const QString& n : z.entries())
        e[n] = z.read(n);
    return e;
}

QString ParseError(const QByteArray& xml) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(xml.constData(), size_t(xml.size()));
    return r ? QString() : QString::fromUtf8(r.description()) + " at " + QString::number(r.offset);
}

const char* kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

QByteArray P(const QString& text) {
    return ("<w:p><w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>").toUtf8();
}

// A minimal DOCX package around a body.
Entries Docx(const QByteArray& body) {
    return {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
         "Extension=\"xml\" "
         "ContentType=\"application/xml\"/><Override PartName=\"/word/document.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/"
         "></Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
         "Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml",
         QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document ") + kW +
             "><w:body>" + body + "</w:body></w:document>"},
    };
}

// A one-cell table row; attrs go on the row element as Word writes them.
QByteArray Row(const QString& text, const QString& attrs = {}) {
    return ("<w:tr" + attrs + "><w:tc><w:p><w:r><w:t>" + text + "</w:t></w:r></w:p></w:tc></w:tr>").toUtf8();
}
QByteArray Table(const QByteArray& rows) {
    return "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid><w:gridCol w:w=\"9000\"/>"
           "</w:tblGrid>" +
           rows + "</w:tbl>";
}

// A flat ODF text document around body.
QByteArray FlatOdt(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" office:version=\"1.3\" "
           "office:mimetype=\"application/vnd.oasis.opendocument.text\"><office:body><office:text>" +
           body + "</office:text></office:body></office:document>";
}

// A minimal ODT package: content and styles around the given bodies (styles: the page footer).
Entries Odt(const QByteArray& body, const QByteArray& footer) {
    const QByteArray ns = "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                          "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                          "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                          "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                          "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                          "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
                          "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
                          "office:version=\"1.3\"";
    return {
        {"mimetype", "application/vnd.oasis.opendocument.text"},
        {"META-INF/manifest.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
         "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\">"
         "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
         "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/><manifest:file-entry "
         "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/><manifest:file-entry "
         "manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/></manifest:manifest>"},
        {"content.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content " + ns +
                            "><office:body><office:text>" + body +
                            "</office:text></office:body></office:document-content>"},
        {"styles.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles " + ns +
             "><office:automatic-styles><style:page-layout style:name=\"pm1\"><style:page-layout-properties "
             "fo:page-width=\"21cm\" fo:page-height=\"29.7cm\" fo:margin-top=\"2cm\" "
             "fo:margin-bottom=\"2cm\" fo:margin-left=\"2cm\" fo:margin-right=\"2cm\"/>"
             "<style:footer-style/></style:page-layout></office:automatic-styles><office:master-styles>"
             "<style:master-page style:name=\"Standard\" style:page-layout-name=\"pm1\"><style:footer>" +
             footer + "</style:footer></style:master-page></office:master-styles></office:document-styles>"},
    };
}

class XmlReport : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        con.ConnectionString = "Provider=SQLite;Data Source=" + MakeSqliteDb(dir.path("t.sqlite"), kSql);
        con.Open();
        for (auto [q, sql] : {std::pair{&people, "SELECT * FROM people ORDER BY ID"},
                              std::pair{&empty, "SELECT * FROM empty"}}) {
            q->Connection = &con;
            q->SQL = sql;
            q->Open();
        }
        QImage logo(40, 20, QImage::Format_RGB32);
        logo.fill(Qt::red);
        logo.save(dir.path("logo.png"));
        report.ActionAfter = aaNone;
        report.Variables = QStringList{"LOGO=" + dir.path("logo.png")};
    }
    // Runs the report over people (A); the error text or empty.
    QString run(const QString& templ, const QString& out) {
        report.ReportFile = templ;
        report.OutputFile = out;
        try {
            report.Execute({&people, &empty});
        } catch (const TReportException& e) {
            return e.Message;
        }
        return QString();
    }
    QString runDocx(const QByteArray& body, const QString& name = "r") {
        WriteZip(dir.path(name + ".docx"), Docx(body));
        return run(dir.path(name + ".docx"), dir.path(name + "-out.docx"));
    }
    QString document(const QString& name = "r") {
        return QString::fromUtf8(ReadZip(dir.path(name + "-out.docx"))["word/document.xml"]);
    }
    TempDir dir;
    TADOConnection con;
    TADOQuery people, empty;
    TkXMLReport report;
};

// The text of a WordprocessingML or ODF body as paragraphs, line breaks and tabs.
void CollectText(const pugi::xml_node& n, QString& out) {
    for (pugi::xml_node c : n.children()) {
        const QString name = QString::fromUtf8(c.name());
        if (c.type() == pugi::node_pcdata) {
            out += QString::fromUtf8(c.value());
        } else if (name == "w:t" || name == "text:span" || name == "w:r" || name == "w:body" ||
                   name == "office:body" || name == "office:text" || name == "w:document" ||
                   name == "office:document") {
            CollectText(c, out);
        } else if (name == "w:tab" || name == "text:tab") {
            out += '\t';
        } else if (name == "w:br" || name == "text:line-break") {
            out += '\n';
        } else if (name == "w:p" || name == "text:p" || name == "w:tc" || name == "table:table-cell" ||
                   name == "w:tr" || name == "w:tbl" || name == "table:table" || name == "table:table-row") {
            QString inner;
            CollectText(c, inner);
            if (name == "w:p" || name == "text:p")
                out += inner + '\n';
            else
                out += inner;
        }
    }
}

QString BodyText(const QString& xml) {
    pugi::xml_document doc;
    const QByteArray b = xml.toUtf8();
    doc.load_buffer(b.constData(), size_t(b.size()), pugi::parse_default | pugi::parse_ws_pcdata);
    QString out;
    CollectText(doc, out);
    return out;
}
} // namespace

TEST_F(XmlReport, DocxRegionsValuesAndEmptyParagraphs) {
    const QByteArray body =
        // A tag split into two runs by the word processor, with run properties between.
        "<w:p><w:r><w:t>First "
        "&lt;&lt;A.NA</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>ME&gt;&gt;!</w:t></w:r></w:p>" +
        // A bookmark that splits a tag.
        QByteArray(
            "<w:p><w:r><w:t>[&lt;&lt;A.</w:t></w:r><w:bookmarkStart w:id=\"0\" w:name=\"b\"/><w:bookmarkEnd "
            "w:id=\"0\"/><w:r><w:t>ID&gt;&gt;]</w:t></w:r></w:p>") +
        P("&lt;&lt;scan(A)&gt;&gt;") +
        P("&lt;&lt;A.ID&gt;&gt;: &lt;&lt;A.NAME&gt;&gt;|&lt;&lt;A.PRICE:0.00&gt;&gt;") +
        P("&lt;&lt;endscan(A)&gt;&gt;") + P("&lt;&lt;if(A.ID=2)&gt;&gt;never&lt;&lt;endif&gt;&gt;") +
        P("&lt;&lt;info(ConvertScientificFormat=1)&gt;&gt;E &lt;&lt;=12345:0.00E+00&gt;&gt;");
    ASSERT_EQ(runDocx(body), "");
    const QString doc = document();
    EXPECT_EQ(ParseError(doc.toUtf8()), "");
    // The blank before a tag that was put together again is kept as a non-breaking space.
    EXPECT_EQ(BodyText(doc),
              u"First\u00a0Smith!\n[1]\n1: Smith|1.50\n2: Jo <Jr> & \"Co\"|2.00\n3: Tab\tbellend|1234567.00\n"
              "E 1.23 x 104\n");
    EXPECT_TRUE(doc.contains("Jo &lt;Jr&gt; &amp; &quot;Co&quot;"));
    EXPECT_TRUE(doc.contains("<w:vertAlign w:val=\"superscript\"/></w:rPr><w:t xml:space=\"preserve\">4<"));
    EXPECT_FALSE(doc.contains("never"));
}

// Values are text: memos escaped with their tags resolved, blanks kept, unknown fields marked,
// padding rows empty.
TEST_F(XmlReport, DocxValuesStayText) {
    // a paragraph whose text is not marked to keep its blanks, as word processors write most
    auto plain = [](const QString& text) {
        return ("<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>").toUtf8();
    };
    const struct {
        QByteArray body;
        QString text;
        QString xml; // a part of the document, or empty
    } cases[] = {
        {plain("&lt;&lt;last(A)&gt;&gt;&lt;&lt;A.NOTE&gt;&gt;"),
         "memo &lt;&lt; <b> && \"q\" 3:Tab\tbellend <<nosuch>>\n",
         "memo &amp;lt;&amp;lt; &lt;b&gt; &amp;&amp;"},
        {plain("&lt;&lt;A.NOSUCH&gt;&gt;"), "?A.NOSUCH? (Field 'NOSUCH' not found)\n", ""},
        {plain("&lt;&lt;A.NAME:&gt;8&gt;&gt;|&lt;&lt;A.NAME:&lt;7&gt;&gt;"), "   Smith|Smith  \n",
         "<w:t xml:space=\"preserve\">   Smith|Smith  </w:t>"},
        {P("&lt;&lt;scan(A);maxrows(1);minrows(3);tblrow1(h)&gt;&gt;") +
             Table(Row("Name") + Row("[&lt;&lt;A.NAME&gt;&gt;]")) + P("&lt;&lt;endscan(A)&gt;&gt;"),
         "Name\n[Smith]\n[]\n[]\n", ""},
        // a cell that only held an empty value keeps its paragraph
        {Table(Row("&lt;&lt;B.ID&gt;&gt;")), "\n", "<w:tc><w:p>"},
    };
    for (const auto& c : cases) {
        people.First();
        ASSERT_EQ(runDocx(c.body), "") << c.body.toStdString();
        const QString doc = document();
        EXPECT_EQ(ParseError(doc.toUtf8()), "") << c.body.toStdString();
        EXPECT_EQ(BodyText(doc), c.text) << c.body.toStdString();
        EXPECT_TRUE(doc.contains(c.xml)) << doc.toStdString();
    }
}

// Pictures in several parts of a package: every part's pictures are stored, the content types and
// the manifest are completed once.
TEST_F(XmlReport, PicturesInHeadersAndBody) {
    Entries docx = Docx(P("&lt;&lt;picture(LOGO)&gt;&gt; &lt;&lt;barcode(\"42\"):type=Code128B&gt;&gt;"));
    docx["word/header1.xml"] = QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:hdr ") + kW + ">" +
                               P("Head &lt;&lt;picture(LOGO)&gt;&gt;") + "</w:hdr>";
    WriteZip(dir.path("h.docx"), docx);
    ASSERT_EQ(run(dir.path("h.docx"), dir.path("h-out.docx")), "");
    Entries e = ReadZip(dir.path("h-out.docx"));
    EXPECT_EQ(QString::fromUtf8(e["[Content_Types].xml"]).count("Extension=\"png\""), 1);
    EXPECT_TRUE(e["word/_rels/header1.xml.rels"].contains("xRepId"));
    EXPECT_EQ(QString::fromUtf8(e["word/_rels/document.xml.rels"]).count("xRepId"), 2);
    EXPECT_EQ(e.count("word/media/image000003.png"), 1u);

    WriteZip(dir.path("h.odt"), Odt("<text:p>&lt;&lt;picture(LOGO)&gt;&gt;</text:p>",
                                    "<text:p>Foot &lt;&lt;picture(LOGO)&gt;&gt;</text:p>"));
    ASSERT_EQ(run(dir.path("h.odt"), dir.path("h-out.odt")), "");
    e = ReadZip(dir.path("h-out.odt"));
    EXPECT_EQ(ParseError(e["META-INF/manifest.xml"]), "");
    EXPECT_EQ(QString::fromUtf8(e["META-INF/manifest.xml"]).count("media/image"), 2);
    EXPECT_TRUE(e["styles.xml"].contains("<draw:frame"));
}

// A 48-megapixel photo is stored as it is, without being decoded.
TEST_F(XmlReport, LargePictureStoredAsItIs) {
    WriteColourPng(dir.path("big.png"), 8000, 6000);
    report.Variables = QStringList{"BIG=" + dir.path("big.png")};
    ASSERT_EQ(runDocx(P("&lt;&lt;picture(BIG):wcm=2&gt;&gt;")), "");
    EXPECT_EQ(report.FailedPictures, 0);
    QFile big(dir.path("big.png"));
    ASSERT_TRUE(big.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ReadZip(dir.path("r-out.docx"))["word/media/image000001.png"] == big.readAll());
    EXPECT_TRUE(document().contains("cx=\"720000\" cy=\"540000\""));
}

// The action after a run: the result shown, or printed as many times as asked.
TEST_F(XmlReport, ActionAfterShowsOrPrintsEachCopy) {
    QStringList shell;
    SetShellHandler([&](ShellVerb verb, const QString& path) {
        shell << (verb == ShellVerb::Open ? "open " : "print ") + QFileInfo(path).fileName();
        return true;
    });
    report.ActionAfter = aaPrint;
    report.PrintCopies = 3;
    ASSERT_EQ(runDocx(P("&lt;&lt;A.ID&gt;&gt;")), "");
    EXPECT_EQ(shell, QStringList(3, "print r-out.docx"));
    shell.clear();
    report.ActionAfter = aaShow;
    ASSERT_EQ(runDocx(P("&lt;&lt;A.ID&gt;&gt;")), "");
    EXPECT_EQ(shell, QStringList("open r-out.docx"));
    SetShellHandler(nullptr);
}

TEST_F(XmlReport, DocxPicturesAreUniqueMediaAlsoWhenTheResultIsATemplateAgain) {
    const QByteArray body =
        P("&lt;&lt;picture(LOGO):wcm=0.5&gt;&gt; and &lt;&lt;barcode(\"12345\"):type=Code128B&gt;&gt;") +
        P("&lt;&lt;scan(A)&gt;&gt;&lt;&lt;picture(LOGO)&gt;&gt;&lt;&lt;endscan(A)&gt;&gt;");
    ASSERT_EQ(runDocx(body), "");
    // The result used as a template again: its pictures stay and the new ones get new names and ids.
    {
        TZipArchive z;
        z.open(dir.path("r-out.docx"));
        QByteArray doc = z.read("word/document.xml");
        doc.replace("</w:body>",
                    P("&lt;&lt;picture(LOGO)&gt;&gt;&lt;&lt;picture(LOGO)&gt;&gt;") + "</w:body>");
        z.write("word/document.xml", doc);
        z.close(true);
    }
    ASSERT_EQ(run(dir.path("r-out.docx"), dir.path("again.docx")), "");
    const Entries e = ReadZip(dir.path("again.docx"));
    QStringList media;
    for (const auto& [name, data] : e) {
        if (name.endsWith(".xml") || name.endsWith(".rels"))
            EXPECT_EQ(ParseError(data), "") << name.toStdString();
        if (name.startsWith("word/media/")) media << name;
    }
    // Five of the first run (two pictures, a barcode, a picture per record), two of the second.
    EXPECT_EQ(media.size(), 7);
    EXPECT_TRUE(media.contains("word/media/image000001.png"));
    EXPECT_TRUE(media.contains("word/media/image000007.png"));
    const QString doc = QString::fromUtf8(e.at("word/document.xml"));
    const QString rels = QString::fromUtf8(e.at("word/_rels/document.xml.rels"));
    QRegularExpression ids("<wp:docPr id=\"(\\d+)\""), embeds("r:embed=\"([^\"]+)\""),
        relIds("Id=\"([^\"]+)\"");
    QStringList docPr, blips, relList;
    for (auto it = ids.globalMatch(doc); it.hasNext();)
        docPr << it.next().captured(1);
    for (auto it = embeds.globalMatch(doc); it.hasNext();)
        blips << it.next().captured(1);
    for (auto it = relIds.globalMatch(rels); it.hasNext();)
        relList << it.next().captured(1);
    EXPECT_EQ(docPr.size(), 7);
    EXPECT_EQ(QSet<QString>(docPr.begin(), docPr.end()).size(), 7);
    EXPECT_EQ(QSet<QString>(relList.begin(), relList.end()).size(), relList.size());
    for (const QString& b : blips)
        EXPECT_TRUE(relList.contains(b)) << b.toStdString();
    EXPECT_TRUE(doc.contains("cx=\"180000\" cy=\"90000\"")); // wcm=0.5 of a 40 x 20 picture
    const QString types = QString::fromUtf8(e.at("[Content_Types].xml"));
    EXPECT_EQ(types.count("Extension=\"png\""), 1);
    QProcess unzip;
    unzip.start("unzip", {"-tq", dir.path("again.docx")});
    ASSERT_TRUE(unzip.waitForFinished());
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
}

TEST_F(XmlReport, DocxTablesRowsInsertTableMemosAndInlineFormatting) {
    report.RtfSupportedFormats = 1u << rtfBold | 1u << rtfFontName;
    const QByteArray body = P("&lt;&lt;info(InlineFormatting=**#9**#9&lt;w:i/&gt;)&gt;&gt;say **loud** now") +
                            P("&lt;&lt;A.NOTE&gt;&gt;") +
                            P("&lt;&lt;scan(A);tblrow1(h);tblrow3(A.PRICE&gt;1.5);tblrow4(f)&gt;&gt;") +
                            Table(Row("Name", " w:rsidR=\"00AB\"") + Row("&lt;&lt;A.NAME&gt;&gt;") +
                                  Row("dear &lt;&lt;A.ID&gt;&gt;", " w:rsidR=\"00CD\"") + Row("end")) +
                            P("&lt;&lt;endscan(A)&gt;&gt;") +
                            Table(Row("&lt;&lt;inserttable(A);maxrows(2);minrows(3)&gt;&gt;"));
    ASSERT_EQ(runDocx(body), "");
    const QString doc = document();
    EXPECT_EQ(ParseError(doc.toUtf8()), "");
    EXPECT_EQ(
        BodyText(doc),
        "say loud now\nplain bold tail\nName\nSmith\nJo <Jr> & \"Co\"\ndear 2\nTab\tbellend\ndear 3\nend\n"
        // inserttable: header, two records, one padding row of empty cells
        "ID\nNAME\nPRICE\nNOTE\n1\nSmith\n1.5\nplain bold tail\n2\nJo <Jr> & \"Co\"\n2\n \n"
        " \n \n \n \n");
    EXPECT_TRUE(doc.contains("<w:rPr><w:i/></w:rPr><w:t xml:space=\"preserve\">loud</w:t>"));
    EXPECT_TRUE(
        doc.contains("<w:b/><w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\"/></w:rPr><w:t "
                     "xml:space=\"preserve\">bold</w:t>"));
    EXPECT_EQ(doc.count("<w:gridCol "), 4 + 1);
}

TEST_F(XmlReport, CommandLinePicksTheEngineByExtension) {
    WriteZip(dir.path("c.docx"),
             Docx(P("&lt;&lt;scan(A);sep(, )&gt;&gt;&lt;&lt;A.ID&gt;&gt;&lt;&lt;endscan(A)&gt;&gt;")));
    const CliRun r = cli({"--connect", con.ConnectionString, "report", "people", "--template",
                          dir.path("c.docx"), "--out", dir.path("c-out.docx"), "--action", "save"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(BodyText(document("c")), "1, 2, 3\n");
}

TEST_F(XmlReport, TemplateErrorsNameTheTagAndLeaveTheOutputAlone) {
    QFile::remove(dir.path("r-out.docx"));
    WriteFile(dir.path("r-out.docx"), "previous");
    const struct {
        QByteArray body;
        QString error;
    } cases[] = {
        {Table(Row("x") + Row("&lt;&lt;inserttable(A)&gt;&gt;")),
         "Tag \"inserttable(A)\" can be used only inside table with one row."},
        {P("&lt;&lt;inserttable(A)&gt;&gt;"),
         "Tag \"inserttable(A)\" can be used only inside table with one row."},
        {Table(Row("&lt;&lt;inserttable(A);wide&gt;&gt;")), "Incorrect tag \"inserttable(A);wide\"."},
        {P("&lt;&lt;scan(A);tblrow1(h)&gt;&gt;no table&lt;&lt;endscan(A)&gt;&gt;"),
         "Invalid table structure."},
        {P("&lt;&lt;scan(A);tblrow0(h)&gt;&gt;&lt;&lt;endscan(A)&gt;&gt;"),
         "Incorrect tag \"scan(A);tblrow0(h)\"."},
        {P("&lt;&lt;scan(A)&gt;&gt;&lt;&lt;A.ID&gt;&gt;"), "\"<<endscan(A)>>\" not found."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runDocx(c.body), "Bad format of template file.\r\n" + c.error) << c.body.toStdString();
    }
    QFile check(dir.path("r-out.docx"));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "previous");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(".tabulo-report").size(), 0);
    // The output may not be the template itself.
    EXPECT_TRUE(run(dir.path("r.docx"), dir.path("r.docx")).contains("is the template itself"));
    EXPECT_EQ(run(dir.path("none.docx"), dir.path("x.docx")),
              "Cannot open file \"" + dir.path("none.docx") + "\".\r\nFile not exist (probably).");
}

// Many openings before many closings: no tag, the text as it was (once quadratic in the openings).
TEST_F(XmlReport, ManyOpeningsBeforeClosings) {
    WriteFile(dir.path("many.fodt"),
              FlatOdt("<text:p>" + QByteArray(32000, '<') + QByteArray(32000, '>') + "</text:p>"));
    ASSERT_EQ(run(dir.path("many.fodt"), dir.path("many-out.fodt")), "");
    QFile o(dir.path("many-out.fodt"));
    ASSERT_TRUE(o.open(QIODevice::ReadOnly));
    const QByteArray out = o.readAll();
    EXPECT_EQ(ParseError(out), "");
    EXPECT_EQ(BodyText(QString::fromUtf8(out)), QString(32000, '<') + QString(32000, '>') + "\n");
}

TEST_F(XmlReport, FlatXmlEscapesValuesAndRepeatsTableRows) {
    WriteFile(dir.path("t.fodt"),
              FlatOdt("<text:p><<scan(A);tblrow2(A.ID&lt;&gt;2)>></text:p>"
                      "<table:table table:name=\"T\"><table:table-column/>"
                      "<table:table-row><table:table-cell><text:p><<A.NAME>></text:p></table:table-cell></"
                      "table:table-row>"
                      "<table:table-row "
                      "table:style-name=\"r\"><table:table-cell><text:p>#<<A.ID>></text:p></table:table-cell>"
                      "</table:table-row></table:table>"
                      "<text:p><<endscan(A)>></text:p>"
                      "<text:p text:style-name=\"P1\"><<iif(1=2)>>x<<endiif>></text:p>"
                      "<text:p><<picture(LOGO)>></text:p>"));
    ASSERT_EQ(run(dir.path("t.fodt"), dir.path("t-out.fodt")), "");
    QFile o(dir.path("t-out.fodt"));
    ASSERT_TRUE(o.open(QIODevice::ReadOnly));
    const QByteArray out = o.readAll();
    EXPECT_EQ(ParseError(out), "");
    EXPECT_EQ(BodyText(QString::fromUtf8(out)), "Smith\n#1\nJo <Jr> & \"Co\"\nTab\tbellend\n#3\nError during "
                                                "creating of report.\nUnknown template type.\n");
    // Table-row regions do not take "<table:table" for the rows' "<table:table-row".
    EXPECT_EQ(QString::fromUtf8(out).count("<table:table "), 1);
}

namespace {
// Runs LibreOffice headless with a private profile; false when it failed.
bool Soffice(const QString& profile, const QStringList& args, QString& log) {
    QProcess p;
    p.start("soffice", QStringList{"--headless", "-env:UserInstallation=file://" + profile} + args);
    const bool ok = p.waitForFinished(180000) && p.exitCode() == 0;
    log = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return ok;
}

QString ReadText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "(missing " + path + ")";
    QString s = QString::fromUtf8(f.readAll());
    s.remove(QChar(0xFEFF));
    s.remove('\r');
    return s;
}
} // namespace

// LibreOffice makes an ODT template, reads the DOCX, ODT and flat XML results back as text, and
// prints the DOCX result to PDF, where the barcode must still be readable.
TEST_F(XmlReport, LibreOfficeReadsTheResults) {
    if (QStandardPaths::findExecutable("soffice").isEmpty()) GTEST_SKIP() << "soffice is not installed";
    const QString profile = dir.path("lo-xml-profile");
    QString log;
    WriteFile(dir.path("odt-t.html"),
              "<html><body><p>People &lt;&lt;A.NAME&gt;&gt;</p><p>&lt;&lt;scan(A)&gt;&gt;</p>"
              "<p>&lt;&lt;A.ID&gt;&gt; &lt;&lt;A.NAME&gt;&gt; &lt;&lt;A.PRICE:0.0&gt;&gt;</p>"
              "<p>&lt;&lt;endscan(A)&gt;&gt;</p><p>&lt;&lt;if(1=2)&gt;&gt;hidden&lt;&lt;endif&gt;&gt;</p>"
              "<p>&lt;&lt;scan(A);tblrow1(header)&gt;&gt;</p><table border=\"1\"><tr><td>Who</td></tr>"
              "<tr><td>&lt;&lt;A.NAME&gt;&gt;</td></tr></table><p>&lt;&lt;endscan(A)&gt;&gt;</p>"
              "<p>Logo &lt;&lt;picture(LOGO)&gt;&gt; end</p></body></html>");
    ASSERT_TRUE(Soffice(profile,
                        {"--infilter=HTML (StarWriter)", "--convert-to", "odt", "--outdir", dir.path(),
                         dir.path("odt-t.html")},
                        log))
        << log.toStdString();
    ASSERT_EQ(run(dir.path("odt-t.odt"), dir.path("odt-out.odt")), "");
    const Entries odt = ReadZip(dir.path("odt-out.odt"));
    for (const auto& [name, data] : odt)
        if (name.endsWith(".xml")) EXPECT_EQ(ParseError(data), "") << name.toStdString();
    EXPECT_TRUE(odt.at("META-INF/manifest.xml")
                    .contains("manifest:full-path=\"media/image000001.png\" "
                              "manifest:media-type=\"image/png\""));

    people.First();
    ASSERT_EQ(runDocx("<w:p><w:r><w:t>[&lt;&lt;A.NAME:&gt;8&gt;&gt;]</w:t></w:r></w:p>" +
                          P("Code &lt;&lt;barcode(\"TABULO-42\"):type=Code128B&gt;&gt;") +
                          P("&lt;&lt;scan(A)&gt;&gt;&lt;&lt;A.NAME&gt;&gt;; &lt;&lt;endscan(A)&gt;&gt;") +
                          Table(Row("&lt;&lt;inserttable(A);maxrows(1)&gt;&gt;")),
                      "docx"),
              "");
    WriteFile(dir.path("fx.fodt"), FlatOdt("<text:p>[<<A.NAME:>8>>|<<A.NAME:&lt;7>>]</text:p>"
                                           "<text:p><<scan(A);sep(, )>><<A.NAME>><<endscan(A)>></text:p>"));
    people.First();
    ASSERT_EQ(run(dir.path("fx.fodt"), dir.path("fx-out.fodt")), "");

    ASSERT_TRUE(Soffice(profile,
                        {"--convert-to", "txt:Text (encoded):UTF8", "--outdir", dir.path(),
                         dir.path("odt-out.odt"), dir.path("docx-out.docx"), dir.path("fx-out.fodt")},
                        log))
        << log.toStdString();
    EXPECT_EQ(ReadText(dir.path("odt-out.txt")), "People Smith\n1 Smith 1.5\n2 Jo <Jr> & \"Co\" 2.0\n"
                                                 "3 Tab\tbellend 1234567.0\nWho\nSmith\nJo <Jr> & \"Co\"\n"
                                                 "Tab\tbellend\nLogo  end\n");
    EXPECT_EQ(
        ReadText(dir.path("docx-out.txt")),
        "[   Smith]\nCode \nSmith; Jo <Jr> & \"Co\"; Tab\tbellend; \nID\nNAME\nPRICE\nNOTE\n1\nSmith\n1.5\n"
        "plain bold tail\n");
    EXPECT_EQ(ReadText(dir.path("fx-out.txt")),
              "[   Smith|Smith  ]\nSmith, Jo <Jr> & \"Co\", Tab\tbellend\n");

    ASSERT_TRUE(
        Soffice(profile, {"--convert-to", "pdf", "--outdir", dir.path(), dir.path("docx-out.docx")}, log))
        << log.toStdString();
    QProcess ppm;
    ppm.start("pdftoppm",
              {"-r", "150", "-png", "-f", "1", "-l", "1", dir.path("docx-out.pdf"), dir.path("page")});
    ASSERT_TRUE(ppm.waitForFinished(60000) && ppm.exitCode() == 0)
        << ppm.readAllStandardError().toStdString();
    const QStringList pages = QDir(dir.path()).entryList({"page*.png"});
    ASSERT_EQ(pages.size(), 1);
    QProcess zbar;
    zbar.start("zbarimg", {"-q", dir.path(pages[0])});
    ASSERT_TRUE(zbar.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), "CODE-128:TABULO-42");
}

// An invoice from the command line in DOCX, ODT and RTF: header fields from A, the lines of each
// invoice from B (a parameter of A's current record), totals, a barcode per invoice and a page
// footer with a variable and a picture. LibreOffice prints each to PDF, whose text and barcodes are
// read back.
TEST_F(XmlReport, InvoiceFromTheCommandLine) {
    REQUIRE_LIBREOFFICE(soffice);
    const char* rel = "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    auto cells = [](const QString& text) {
        return ("<w:tr><w:tc><w:p><w:r><w:t>" + text + "</w:t></w:r></w:p></w:tc></w:tr>").toUtf8();
    };
    Entries docx = Docx(
        P("&lt;&lt;scan(A)&gt;&gt;") + P("Invoice &lt;&lt;A.CODE&gt;&gt; for &lt;&lt;A.CUSTOMER&gt;&gt;") +
        P("&lt;&lt;scan(B);calc(TOTAL=B.QTY*B.PRICE);tblrow1(h);tblrow3(f)&gt;&gt;") +
        Table(cells("Item") +
              cells("&lt;&lt;B.ITEM&gt;&gt; &lt;&lt;B.QTY&gt;&gt; x &lt;&lt;B.PRICE:0.00&gt;&gt;") +
              cells("Total &lt;&lt;=Sum[TOTAL]&gt;&gt;")) +
        P("&lt;&lt;endscan(B)&gt;&gt;") + P("Code &lt;&lt;barcode(A.CODE):type=Code128B&gt;&gt;") +
        P("&lt;&lt;endscan(A)&gt;&gt;") + "<w:sectPr><w:footerReference w:type=\"default\" r:id=\"rIdF\" " +
        rel + "/></w:sectPr>");
    docx["[Content_Types].xml"].replace(
        "</Types>", "<Override PartName=\"/word/footer1.xml\" ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.wordprocessingml.footer+xml\"/></Types>");
    docx["word/_rels/document.xml.rels"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rIdF\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer\" "
        "Target=\"footer1.xml\"/></Relationships>";
    docx["word/footer1.xml"] =
        QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:ftr ") + kW + ">" +
        P("Footer &lt;&lt;COMPANY&gt;&gt; &lt;&lt;picture(LOGO)&gt;&gt;") + "</w:ftr>";
    WriteZip(dir.path("inv.docx"), docx);

    auto row = [](const QString& text) {
        return ("<table:table-row><table:table-cell><text:p>" + text +
                "</text:p></table:table-cell></table:table-row>")
            .toUtf8();
    };
    WriteZip(
        dir.path("inv.odt"),
        Odt("<text:p>&lt;&lt;scan(A)&gt;&gt;</text:p><text:p>Invoice &lt;&lt;A.CODE&gt;&gt; for "
            "&lt;&lt;A.CUSTOMER&gt;&gt;</text:p><text:p>&lt;&lt;scan(B);calc(TOTAL=B.QTY*B.PRICE);tblrow1(h);"
            "tblrow3(f)&gt;&gt;</text:p><table:table table:name=\"T\"><table:table-column/>" +
                row("Item") +
                row("&lt;&lt;B.ITEM&gt;&gt; &lt;&lt;B.QTY&gt;&gt; x &lt;&lt;B.PRICE:0.00&gt;&gt;") +
                row("Total &lt;&lt;=Sum[TOTAL]&gt;&gt;") +
                "</table:table><text:p>&lt;&lt;endscan(B)&gt;&gt;</text:p><text:p>Code "
                "&lt;&lt;barcode(A.CODE):type=Code128B&gt;&gt;</text:p><text:p>&lt;&lt;endscan(A)&gt;&gt;"
                "</text:p>",
            "<text:p>Footer &lt;&lt;COMPANY&gt;&gt; &lt;&lt;picture(LOGO)&gt;&gt;</text:p>"));

    WriteFile(dir.path("inv.rtf"),
              "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
              "{\\footer \\pard Footer \\\\COMPANY\\\\\\par}\\f0\r\n"
              "\\\\scan(A)\\\\Invoice \\\\A.CODE\\\\ for \\\\A.CUSTOMER\\\\\\par\r\n"
              "Item\\par\r\n"
              "\\\\scan(B);calc(TOTAL=B.QTY*B.PRICE)\\\\\\\\B.ITEM\\\\ \\\\B.QTY\\\\ x "
              "\\\\B.PRICE:0.00\\\\\\par\r\n\\\\endscan(B)\\\\Total \\\\=Sum[TOTAL]\\\\\\par\r\n"
              "Code \\\\barcode(A.CODE):type=Code128B;insertinrtf\\\\\\par\r\n\\\\endscan(A)\\\\}\r\n");

    for (const char* kind : {"docx", "odt", "rtf"}) {
        const CliRun r =
            cli({"--connect", con.ConnectionString, "report", "invoices", "--template",
                 dir.path(QString("inv.") + kind), "--out", dir.path(QString("inv-") + kind + "." + kind),
                 "--dataset", "B=SELECT * FROM lines WHERE INVOICE_ID = :A.ID ORDER BY ITEM", "--var",
                 "COMPANY=Tabulo & Co", "--var", "LOGO=" + dir.path("logo.png"), "--set",
                 "DefaultCalcFormat=0.00"});
        ASSERT_EQ(r.status, 0) << kind << ": " << r.err.toStdString();
    }
    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {"-env:UserInstallation=file://" + dir.path("lo-inv-profile"), "--headless",
                          "--convert-to", "pdf", "--outdir", dir.path("pdf"), dir.path("inv-docx.docx"),
                          dir.path("inv-odt.odt"), dir.path("inv-rtf.rtf")},
                         nullptr, &err),
              0)
        << err.toStdString();
    for (const char* kind : {"docx", "odt", "rtf"}) {
        // each result has a name of its own: LibreOffice names the PDF after it
        const QString pdf = dir.path(QString("pdf/inv-") + kind + ".pdf");
        QByteArray text;
        ASSERT_EQ(RunProgram("pdftotext", {pdf, "-"}, &text), 0) << kind;
        const QString words = QString::fromUtf8(text).simplified();
        for (const char* expected :
             {"Invoice INV-0001 for Acme & Sons Item Bolt 10 x 0.50 Nut 20 x 0.25 Total 10.00 Code",
              "Invoice INV-0002 for Zed <Ltd> Item Gear 1 x 12.00 Total 12.00 Code", "Footer Tabulo & Co"})
            EXPECT_TRUE(words.contains(expected)) << kind << ": " << words.toStdString();
        ASSERT_EQ(RunProgram("pdftoppm", {"-r", "150", "-png", "-f", "1", "-l", "1", pdf,
                                          dir.path(QString("inv-page-") + kind)}),
                  0);
        const QStringList pages = QDir(dir.path()).entryList({QString("inv-page-") + kind + "*.png"});
        ASSERT_EQ(pages.size(), 1) << kind;
        QByteArray codes;
        RunProgram("zbarimg", {"-q", dir.path(pages[0])}, &codes);
        QStringList found = QString::fromUtf8(codes).split('\n', Qt::SkipEmptyParts);
        found.sort();
        EXPECT_EQ(found, QStringList({"CODE-128:INV-0001", "CODE-128:INV-0002"})) << kind;
    }
}
