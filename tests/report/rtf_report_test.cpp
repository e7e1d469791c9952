// The RTF and text template engine: template preparation, RTF escaping, pictures, saving, the
// action after, and LibreOffice reading what the engine and tabulo-cli write.
#include "progress.h"
#include "rtf_fixture.h"
#include "rtf_report.h"
#include "scripted_messages.h"
#include "shell.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}
void WriteText(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}
QString Message(const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception& e) {
        return ExceptionMessage(e);
    }
    return QStringLiteral("no error");
}

// The report body shared by the engine and the command line runs that LibreOffice reads back.
const char* kPeopleBody = R"(People\par
\\scan(A);calc(PRICE)\\
\\A.ID\\: \\A.NA\b ME\b0\\ \\iif(A.PRICE > 2)\\dear\\elseiif\\cheap\\endiif\\ \\A.PRICE:0.00\\\\A.PHOTO:insertinrtf;w=100\\\par
\\endscan(A)\\
Total \\=Sum[A.PRICE]:0.00\\\par
\\barcode("TABULO-42"):type=Code128B;insertinrtf\\\par
End)";

const char* kPeopleText = "People\n"
                          "1: Žluťoučký kůň cheap 1.00\n"
                          "2: Brace {x} and \\ back dear 2.50\n"
                          "3: Astral 😀 face dear 3.00\n"
                          "4: Plain dear 40.00\n"
                          "5: Fifth dear 5.00\n"
                          "Total 51.50\n"
                          "\n"
                          "End\n";

class RtfReport : public PeopleDb {
protected:
    void SetUp() override {
        PeopleDb::SetUp();
        r.ActionAfter = aaNone;
        r.OutputFile = dir.path("out.rtf");
    }
    // Runs a template text (RTF unless the template name ends in .txt); the result file's text.
    QString run(const QString& tmpl, const QString& templateName = "t.rtf") {
        r.ReportFile = dir.path(templateName);
        WriteText(r.ReportFile, tmpl);
        people.First();
        r.Execute({&people});
        return ReadText(r.OutputFile);
    }
    TRTFReport2 r;
};
} // namespace

TEST(RtfText, EscapesValues) {
    struct Case {
        QString in, out;
    } cases[] = {
        {QString::fromUtf8("Žluťoučký"), "\\u381?lu\\u357?ou\\u269?k\\u253?"},
        {"a{b}\\c", "a\\{b\\}\\\\c"},
        {QString::fromUtf8("é€"), "\\u233?\\u8364?"},
        {QString::fromUtf8("\uFFFD"), "\\u-3?"},         // above 32767: signed 16-bit
        {QString::fromUtf8("😀"), "\\u-10179?\\u-8704?"}, // beyond the BMP: a surrogate pair
        {"one\r\ntwo\nthree\rfour", "one\\par two\\par three\\par four"},
        {QString("tab\tnul") + QChar(0) + "bell\a", "tab\\tab nulbell"},
    };
    for (const Case& c : cases) {
        QString out;
        AppendRtfText(out, c.in);
        EXPECT_EQ(out, c.out) << c.in.toStdString();
    }
}

TEST(RtfText, PreparesTemplates) {
    struct Case {
        QString in;
        int charset;
        QString out;
    } cases[] = {
        // control words inside a tag go in front of it, with a single unpaired brace
        {R"(x \\A.NA\b ME\\ y)", 0, R"(x \b \\A.NAME\\ y)"},
        {R"({\b \\A.NAME}\\)", 0, R"({\b }\\A.NAME\\)"},
        {R"(\\A.N\i\b0 AME\\)", 0, R"(\i\b0 \\A.NAME\\)"},
        {R"(\\A.NAME\b0\\)", 0, R"(\b0 \\A.NAME\\)"}, // the blank that ends the moved word
        {R"(\\="{a}"\\)", 0, R"(\\="{a}"\\)"},
        // special tags and characters written as codes stay
        {R"(\\#A.N\b X\\)", 0, R"(\\#A.N\b X\\)"},
        {R"(\\A.N\u381?X\\)", 0, R"(\\A.N\u381?X\\)"},
        // line ends vanish; one that ends a control word becomes its blank
        {"one\r\ntwo\\par\r\nthree\\par\nfour\\b\r\n\\i", 0, "onetwo\\par three\\par four\\b \\i"},
        {"lit\\\\par\r\nx", 0, "lit\\\\parx"},
        {"\\\\A.\r\nNAME\\\\", 0, "\\\\A.NAME\\\\"},
        // picture groups are kept as they stand
        {"{\\pict\\pngblip 89\r\n50}\r\n\\\\A.NA\\b ME\\\\", 0,
         "{\\pict\\pngblip 89\r\n50}\\b \\\\A.NAME\\\\"},
        {"{\\f0\\fcharset0 A;}{\\f1\\FCHARSET0 B;}{\\f2\\fcharset02 C;}", 238,
         "{\\f0\\fcharset238 A;}{\\f1\\fcharset238 B;}{\\f2\\fcharset02 C;}"},
        {"{\\f0\\fcharset0 A;}", 0, "{\\f0\\fcharset0 A;}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrepareRtfTemplate(c.in, c.charset), c.out) << c.in.toStdString();
    EXPECT_EQ(Message([] { PrepareRtfTemplate("a{\\pict\\pngblip 8950", 0); }),
              "Bad format of template file.\r\nIncorrect tag \"{\\pict\".");
}

TEST_F(RtfReport, WritesValuesAsRtf) {
    struct Case {
        QString body, expected;
    } cases[] = {
        {R"(\\A.NAME\\)", "\\u381?lu\\u357?ou\\u269?k\\u253? k\\u367?\\u328?"},
        {R"(\\A.NA\b ME\\)", "\\b \\u381?lu"},
        // a memo read as RTF is markup, written as it stands; a plain memo is a value, escaped, with
        // its tags resolved
        {R"(\\A.NOTE:rtf\\)", "Bold {\\b x}\\par "},
        {R"(\\A.NOTE\\)", R"(Bold \{\\b x\}\\par )"},
        {R"(\\next(A)\\\\A.NOTE\\)", R"(\\\\srv\\new\\report \{draft\})"},
        {R"(\\next(A)\\\\next(A)\\\\A.NOTE\\)", R"(id 3 in \{memo\}, three)"},
        {R"(\\info(ConvertScientificFormat=1)\\\\=12345:0.00E+00\\)", "\\super "},
        // the paragraph end after a region tag goes with it; "\pard" is no paragraph end
        {"\\\\scan(A);maxrows(2)\\\\ \\par [\\\\A.ID\\\\]\\\\endscan(A)\\\\\\par\\pard X",
         "\\f0 [1][2]\\pard X"},
        {R"([\\iif(A.ID = 1)\\one\\elseiif\\other\\endiif\\])", "[one]"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(run(RtfDocument(c.body)).contains(c.expected)) << c.body.toStdString() << "\n"
                                                                   << ReadText(r.OutputFile).toStdString();
}

TEST_F(RtfReport, TextTemplates) {
    r.OutputFile = dir.path("out.txt");
    const QString tmpl =
        "\\\\scan(A);maxrows(2)\\\\\r\n\\\\A.NAME\\\\ {\\\\A.ID\\\\}\r\n\\\\endscan(A)\\\\\r\n";
    const QString once = QString::fromUtf8("Žluťoučký kůň {1}\r\nBrace {x} and \\ back {2}\r\n");
    EXPECT_EQ(run(tmpl, "report.TXT"), once);
    EXPECT_FALSE(r.isRtf());
    r.AppendToFile = true;
    EXPECT_EQ(run(tmpl, "report.TXT"), once + once);
    // A text result in a code page of its own: what it cannot hold becomes "?".
    r.AppendToFile = false;
    r.TxtCodePage = 852;
    run("\\\\A.NAME\\\\ \u20ac\\\\next(A)\\\\\\\\next(A)\\\\ \\\\A.NAME\\\\", "cp.txt");
    QFile cp(r.OutputFile);
    ASSERT_TRUE(cp.open(QIODevice::ReadOnly));
    EXPECT_EQ(cp.readAll(), "\xa6lu\x9cou\x9fk\xec k\x85\xe5 ? Astral ? face");
    r.TxtCodePage = 99999;
    EXPECT_EQ(Message([&] { run("x", "cp.txt"); }), "Unknown code page 99999 (TxtCodePage).");
    r.TxtCodePage = 0;
    r.AppendToFile = true;
    // An RTF template replaces the result even with AppendToFile.
    r.OutputFile = dir.path("out.rtf");
    WriteText(r.OutputFile, "old");
    EXPECT_FALSE(run(RtfDocument("x")).startsWith("old"));

    // A template in an 8-bit code page keeps its bytes; the value is written as codes.
    QFile f(dir.path("latin1.rtf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1 Caf\xe9 \\\\A.NAME\\\\}");
    f.close();
    r.ReportFile = f.fileName();
    people.First();
    r.Execute({&people});
    QFile result(r.OutputFile);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), "{\\rtf1 Caf\xe9 \\u381?lu\\u357?ou\\u269?k\\u253? k\\u367?\\u328?}");
}

TEST_F(RtfReport, EmbeddedPictures) {
    // 100 points = 2000 twips wide; the height keeps the proportions.
    QString out = run(RtfDocument(R"(\\scan(A)\\\\A.PHOTO:insertinrtf;w=100\\\\endscan(A)\\)"));
    EXPECT_TRUE(out.contains("{\\pict\\picscalex100\\picscaley100\\piccropl0\\piccropr0\\piccropt0\\piccropb0"
                             "\\picw400\\pich200\\picwgoal2000\\pichgoal1000\\jpegblip FFD8"))
        << out.left(600).toStdString();
    // rotated, halved by quality, and boxed by height in centimetres
    out = run(RtfDocument(R"(\\last(A)\\\\A.PHOTO:insertinrtf;rotate=90;quality=50;hcm=2\\)"));
    EXPECT_TRUE(out.contains("\\picw100\\pich200\\picwgoal567\\pichgoal1134\\jpegblip "))
        << out.left(600).toStdString();
    // A bitmap (a drawn barcode, a picture from the handler) is embedded as PNG.
    r.OnGetPictureContent = [](const QString& name, QImage& bmp) {
        bmp = QImage(30, 10, QImage::Format_RGB32);
        bmp.fill(Qt::blue);
    };
    out = run(RtfDocument(R"(\\picture(LOGO):insertinrtf\\|\\barcode("12"):type=Code128C;insertinrtf\\)"));
    EXPECT_TRUE(out.contains("\\picw30\\pich10\\picwgoal600\\pichgoal200\\pngblip 89504E47"))
        << out.toStdString();
    EXPECT_EQ(out.count("\\pngblip 89504E47"), 2);
    EXPECT_FALSE(out.contains("wmetafile"));
}

TEST_F(RtfReport, LinkedPictures) {
    QImage logo(90, 30, QImage::Format_RGB32);
    logo.fill(Qt::green);
    ASSERT_TRUE(logo.save(dir.path("logo.png")));
    r.Variables = QStringList{"LOGO=" + dir.path("logo.png"), "NOLOGO=" + dir.path("none.png")};
    QDir().mkdir(dir.path("out"));
    r.OutputFile = dir.path("out/r.rtf");
    const QString out =
        run(RtfDocument(R"(\\scan(A)\\\\A.PHOTO\\\\A.PHOTO:namefield="../up"+NAME\\\\endscan(A)\\)"
                        R"( \\picture(LOGO):w=50\\ \\picture(LOGO)\\ \\picture(NOLOGO)\\)"));
    // the field's picture: letter, record number and field name; a name from data stays in the folder
    EXPECT_TRUE(out.contains(
        R"({\field{\*\fldinst { INCLUDEPICTURE "A5_PHOTO.jpg" \\* MERGEFORMAT \\d }}{\fldrslt {}}})"));
    EXPECT_TRUE(out.contains(R"(INCLUDEPICTURE ".._upFifth.jpg")"));
    EXPECT_EQ(QImage(dir.path("out/A5_PHOTO.jpg")).size(), QSize(400, 200));
    EXPECT_TRUE(QFile::exists(dir.path("out/.._upFifth.jpg")));
    EXPECT_FALSE(QFile::exists(dir.path("upFifth.jpg")));
    // pictures from elsewhere are counted; w=50 points fits into 50 * 20 / 15 pixels
    EXPECT_TRUE(out.contains(R"(INCLUDEPICTURE "ExtPic3.png")")) << out.toStdString();
    EXPECT_EQ(QImage(dir.path("out/ExtPic3.png")).size(), QSize(67, 22));
    EXPECT_EQ(QImage(dir.path("out/ExtPic4.png")).size(), QSize(90, 30));
    EXPECT_EQ(r.PicCount, 4);
    EXPECT_TRUE(out.contains("File \"" + dir.path("none.png") + "\" not found.")) << out.toStdString();
}

// A 48-megapixel photo is no bad picture: it is read at the size it is written at.
TEST_F(RtfReport, LargePictures) {
    WriteColourPng(dir.path("big.png"), 8000, 6000);
    r.Variables = QStringList{"BIG=" + dir.path("big.png")};
    const QString out =
        run(RtfDocument(R"(\\picture(BIG):w=60\\|\\picture(BIG):insertinrtf;quality=auto;w=50\\)"));
    EXPECT_FALSE(out.contains("Bad picture format.")) << out.left(300).toStdString();
    EXPECT_EQ(QImage(dir.path("ExtPic1.png")).size(), QSize(80, 60));
    EXPECT_TRUE(out.contains("\\picw50\\pich38\\picwgoal1000\\pichgoal760\\pngblip "))
        << out.left(300).toStdString();
    EXPECT_EQ(r.FailedPictures, 0);
}

TEST_F(RtfReport, SavingAndErrors) {
    const QString tmpl = RtfDocument(R"(\\A.ID\\)");
    // The template is never overwritten by its own result.
    r.ReportFile = dir.path("t.rtf");
    WriteText(r.ReportFile, tmpl);
    r.OutputFile = dir.path("./t.rtf");
    EXPECT_TRUE(Message([&] { r.Execute({&people}); }).contains("is the template itself"));
    EXPECT_EQ(ReadText(r.ReportFile), tmpl);

    // A failing run leaves an existing result as it was.
    r.OutputFile = dir.path("out.rtf");
    WriteText(r.OutputFile, "old");
    EXPECT_TRUE(Message([&] { run(RtfDocument(R"(\\scan(A)\\)")); }).endsWith("endscan(A)\" not found."));
    EXPECT_EQ(ReadText(r.OutputFile), "old");

    r.ReportFile = dir.path("missing.rtf");
    EXPECT_EQ(Message([&] { r.Execute({&people}); }),
              "Cannot open file \"" + r.ReportFile + "\".\r\nFile not exist (probably).");

    // A result that cannot be written: the error, or the question until the user gives up.
    r.OutputFile = dir.path("no/such/folder/out.rtf");
    const QString saveError = "Error during saving file \"" + r.OutputFile +
                              "\".\r\nYou do not have access rights, target directory does not exist or "
                              "target file is already opened in other application.\r\nCannot create file \"" +
                              r.OutputFile + "\": No such file or directory."; // the system's reason last
    EXPECT_EQ(Message([&] { run(tmpl); }), saveError);
    ScopedScriptedMessages messages;
    messages.answers = {MsgAnswer::Yes, MsgAnswer::No};
    r.ShowSaveErrorDialog = true;
    r.ActionAfter = aaShow;
    int opened = 0;
    SetShellHandler([&](ShellVerb, const QString&) { return ++opened > 0; });
    EXPECT_FALSE(r.Execute({&people}));
    EXPECT_EQ(messages.log(), QStringList(2, "question: " + saveError + "\r\n\r\nTry again?"));
    EXPECT_EQ(opened, 0);
    SetShellHandler(nullptr);
}

TEST_F(RtfReport, EventsAndActionAfter) {
    QStringList shell;
    SetShellHandler([&](ShellVerb verb, const QString& path) {
        shell << (verb == ShellVerb::Open ? "open " : "print ") + QFileInfo(path).fileName();
        return true;
    });
    QList<int> steps;
    r.OnReportProcess = [&](int recNbr, bool&) { steps << recNbr; };
    struct : IProgress {
        QStringList texts;
        void update(const QString& text, int, const std::function<void()>&, QObject*) override {
            texts << text;
        }
    } progress;
    IProgress* oldProgress = SetProgress(&progress);
    r.ShowProgressBar = true;
    r.ActionAfter = aaPrint;
    r.PrintCopies = 2;
    run(RtfDocument(R"(\\scan(A);maxrows(2)\\\\A.ID\\\\endscan(A)\\)"));
    SetProgress(oldProgress);
    EXPECT_EQ(progress.texts, QStringList({"Creating of report...", ""})); // shown, hidden at the end
    EXPECT_EQ(shell, QStringList({"print out.rtf", "print out.rtf"}));
    EXPECT_EQ(steps.first(), 0);
    EXPECT_EQ(steps.mid(steps.size() - 3), QList<int>({-1, -1, -1})); // written, then before each copy

    // The result emptied before saving: nothing written, nothing opened.
    shell.clear();
    r.ActionAfter = aaShow;
    r.OutputFile = dir.path("empty.rtf");
    r.OnModifyBeforeSave = [](QString& content) { content.clear(); };
    EXPECT_FALSE(r.Execute({&people}));
    EXPECT_FALSE(QFile::exists(r.OutputFile));
    EXPECT_TRUE(shell.isEmpty());
    r.OnModifyBeforeSave = [](QString& content) { content.replace("\\f0", "\\f0\\b"); };
    EXPECT_TRUE(r.Execute({&people}));
    EXPECT_TRUE(ReadText(r.OutputFile).contains("\\f0\\b"));
    EXPECT_EQ(shell, QStringList({"open empty.rtf"}));

    // Aborting at the start writes nothing.
    r.OutputFile = dir.path("aborted.rtf");
    r.OnReportProcess = [](int, bool& abort) { abort = true; };
    EXPECT_EQ(Message([&] { r.Execute({&people}); }), "Action aborted.");
    EXPECT_FALSE(QFile::exists(r.OutputFile));
    SetShellHandler(nullptr);
}

// LibreOffice reads the engine's and the command line's results to the expected text, and keeps the
// embedded photo and a readable barcode.
TEST_F(RtfReport, LibreOfficeReadsTheResults) {
    REQUIRE_LIBREOFFICE(soffice);
    const QString tmpl = RtfDocument(kPeopleBody);
    run(tmpl);
    WriteText(dir.path("cli_t.rtf"), tmpl);
    CliRun c = cli({"--connect", "Provider=SQLite;Data Source=" + db, "report", "people", "--template",
                    dir.path("cli_t.rtf"), "--out", dir.path("cli.rtf")});
    ASSERT_EQ(c.status, 0) << c.err.toStdString();

    const QString profile = "-env:UserInstallation=file://" + dir.path("profile");
    QByteArray err;
    ASSERT_EQ(RunProgram(soffice,
                         {profile, "--headless", "--convert-to", "txt:Text (encoded):UTF8", "--outdir",
                          dir.path("txt"), r.OutputFile, dir.path("cli.rtf")},
                         nullptr, &err),
              0)
        << err.toStdString();
    for (const char* name : {"out.txt", "cli.txt"}) {
        QString text = ReadText(dir.path("txt/") + name);
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        text.replace("\r\n", "\n");
        EXPECT_EQ(text, QString::fromUtf8(kPeopleText)) << name;
    }

    // The pictures as LibreOffice stores them again: the photo at its size, the barcode readable.
    ASSERT_EQ(RunProgram(
                  soffice,
                  {profile, "--headless", "--convert-to", "fodt", "--outdir", dir.path("fodt"), r.OutputFile},
                  nullptr, &err),
              0)
        << err.toStdString();
    const QString fodt = ReadText(dir.path("fodt/out.fodt"));
    static const QRegularExpression data("<office:binary-data>([^<]*)</office:binary-data>");
    QList<QImage> images;
    for (auto m = data.globalMatch(fodt); m.hasNext();)
        images << QImage::fromData(QByteArray::fromBase64(m.next().captured(1).toLatin1()));
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].size(), QSize(400, 200));
    const QString zbar = QStandardPaths::findExecutable("zbarimg");
    if (!zbar.isEmpty()) {
        // with a quiet zone around it, as readers need
        QImage padded(images[1].width() + 80, images[1].height() + 80, QImage::Format_RGB32);
        padded.fill(Qt::white);
        QPainter(&padded).drawImage(40, 40, images[1]);
        ASSERT_TRUE(padded.save(dir.path("barcode.png")));
        QByteArray out;
        EXPECT_EQ(RunProgram(zbar, {"--nodbus", "-q", "--raw", dir.path("barcode.png")}, &out), 0);
        EXPECT_EQ(out.trimmed(), "TABULO-42");
    }
}
