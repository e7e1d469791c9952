// tabulo-cli as scripts use it: exact COPY text, exit statuses, messages on stderr.
#include "test_util.h"
#include "zip_archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* kDb = R"(
CREATE TABLE "t x" (id INTEGER PRIMARY KEY, txt TEXT, f REAL, d DATE, tm TIME, dt DATETIME, b BOOLEAN, bin BLOB, big BIGINT);
INSERT INTO "t x" VALUES (1, 'tab	in, back\slash', 1234.5, '2024-02-29', '13:14:15', '2024-02-29 01:02:03', 1, X'00FF10', 9007199254740993);
INSERT INTO "t x" VALUES (2, 'two
lines' || char(13), 0.1, NULL, NULL, NULL, 0, NULL, -1);
INSERT INTO "t x" VALUES (3, NULL, 1e20, '1899-12-30', '00:00:00', '2000-01-01 00:00:00', NULL, X'', 0);
CREATE TABLE other (a INTEGER);
CREATE TABLE tmp_one (a INTEGER);
CREATE VIEW v AS SELECT id FROM "t x";
CREATE TABLE mixed (id INTEGER PRIMARY KEY, any, n INTEGER, tm TIME);
INSERT INTO mixed VALUES (1, 'text', 2, '12:00:00.5'), (2, X'00FF0A', 10, '08:00:00'), (3, NULL, 2.5, NULL);
)";
} // namespace

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSqliteDb(dir.path("db.sqlite"), kDb);
        conn = "Provider=SQLite;Data Source=" + dir.path("db.sqlite");
    }
    TempDir dir;
    QString conn;
};

TEST_F(CliTest, OpenWritesExactCopyText) {
    CliRun r = cli({"--connect", conn, "open", "t x"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "id\ttxt\tf\td\ttm\tdt\tb\tbin\tbig\n"
                     "1\ttab\\tin, back\\\\slash\t1234.5\t2024-02-29\t13:14:15\t2024-02-29 "
                     "01:02:03\t1\t\\\\x00ff10\t9007199254740993\n"
                     "2\ttwo\\nlines\\r\t0.1\t\\N\t\\N\t\\N\t0\t\\N\t-1\n"
                     "3\t\\N\t1E20\t1899-12-30\t00:00:00\t2000-01-01 00:00:00\t\\N\t\\\\x\t0\n");
}

TEST_F(CliTest, OpenKeepsEachValuesClassAndFraction) {
    // A blob among texts stays binary; a fraction among whole numbers makes the column a float column,
    // so it still compares and sorts as numbers; times keep their milliseconds.
    CliRun r = cli({"--connect", conn, "open", "mixed", "--sort", "n"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "id\tany\tn\ttm\n"
                     "1\ttext\t2\t12:00:00.500\n"
                     "3\t\\N\t2.5\t\\N\n"
                     "2\t\\\\x00ff0a\t10\t08:00:00\n");
    r = cli({"--connect", conn, "open", "mixed", "--filter", "n > 5 OR tm > '12:00:00'"});
    EXPECT_EQ(r.out.section('\n', 1).section('\t', 0, 0), "1") << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 3) << r.out.toStdString();
}

TEST_F(CliTest, OpenOptions) {
    struct Case {
        QStringList args;
        QString out;
    };
    const Case cases[] = {
        {{"--top", "1", "--sql", "SELECT id FROM \"t x\" ORDER BY id DESC"}, "id\n3\n2\n1\n"}, // --sql wins
        {{"--top", "2"}, "id\n1\n2\n"},
        {{"--filter", "f < 2000"}, "id\n1\n2\n"},
        {{"--sort", "f DESC"}, "id\n3\n1\n2\n"},
        {{"--filter", "b = NULL OR id = 2", "--sort", "id DESC"}, "id\n3\n2\n"},
    };
    for (const Case& c : cases) {
        QStringList args = {"--connect", conn, "open", "t x"};
        args += c.args;
        CliRun r = cli(args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        QString idOnly;
        for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
            idOnly += line.section('\t', 0, 0) + '\n';
        EXPECT_EQ(idOnly, c.out) << c.args.join(' ').toStdString();
    }
    // Options stand anywhere: before the table, the global ones after the command.
    const Case anywhere[] = {
        {{"--connect", conn, "open", "--top", "2", "t x"}, "id\n1\n2\n"},
        {{"open", "--sort", "id DESC", "--top", "2", "t x", "--connect", conn}, "id\n2\n1\n"},
        {{"open", "--filter", "id = 3", "t x", "--connect", conn}, "id\n3\n"},
    };
    for (const Case& c : anywhere) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, 0) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out.section('\t', 0, 0).section('\n', 0, 0), "id");
        QString idOnly;
        for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
            idOnly += line.section('\t', 0, 0) + '\n';
        EXPECT_EQ(idOnly, c.out) << c.args.join(' ').toStdString();
    }
}

// Tables of several blocks are written as they are read, never all held: the text a loaded read
// (one with a sort) gives, with the title once; a script has every row between its first and last lines.
TEST_F(CliTest, LargeTablesStreamTheSameText) {
    MakeSqliteDb(dir.path("big.sqlite"),
                 "CREATE TABLE big (id INTEGER PRIMARY KEY, txt TEXT, f REAL, d DATE);"
                 "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 150000) "
                 "INSERT INTO big SELECT i, CASE WHEN i % 7 = 0 THEN NULL ELSE 'x\\' || char(9) || i END, "
                 "i / 8.0, date('2000-01-01', '+' || (i % 9000) || ' days') FROM s;");
    const QString big = "Provider=SQLite;Data Source=" + dir.path("big.sqlite");
    CliRun streamed = cli({"--connect", big, "open", "big"});
    CliRun loaded = cli({"--connect", big, "open", "big", "--sort", ""});
    ASSERT_EQ(streamed.status, 0) << streamed.err.toStdString();
    EXPECT_EQ(streamed.out.count('\n'), 150001);
    EXPECT_TRUE(streamed.out == loaded.out);
    EXPECT_TRUE(streamed.out.endsWith("150000\tx\\\\\\t150000\t18750\t2016-06-05\n"))
        << streamed.out.right(60).toStdString();

    CliRun script = cli({"--connect", big, "script", "big", "--type", "insert", "--delete-all"});
    ASSERT_EQ(script.status, 0) << script.err.toStdString();
    EXPECT_TRUE(
        script.out.startsWith("DELETE FROM \"big\";\r\nINSERT INTO \"big\" (\"id\", \"txt\", \"f\", \"d\") "
                              "\r\nVALUES (1, 'x\\\t1', 0.125, '2000-01-02');\r\n"))
        << script.out.left(200).toStdString();
    EXPECT_EQ(script.out.count("INSERT INTO"), 150000);
    EXPECT_TRUE(script.out.endsWith("VALUES (150000, 'x\\\t150000', 18750, '2016-06-05');\r\n"))
        << script.out.right(80).toStdString();
}

TEST_F(CliTest, OpenOnlyReads) {
    // Refused before it runs: nothing is changed, exit 1.
    for (const char* sql : {"DROP TABLE other", "DELETE FROM \"t x\"", "DELETE FROM \"t x\" RETURNING id",
                            "CREATE TABLE made (a INTEGER)"}) {
        CliRun r = cli({"--connect", conn, "open", "t x", "--sql", sql});
        EXPECT_EQ(r.status, 1) << sql;
        EXPECT_TRUE(r.err.contains("open only reads")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << sql;
    }
    EXPECT_EQ(cli({"--connect", conn, "tables"}).out, "mixed\nother\nt x\ntmp_one\n");
    EXPECT_EQ(cli({"--connect", conn, "open", "t x", "--sql", "SELECT count(*) AS n FROM \"t x\""}).out,
              "n\n3\n");
}

// Without a desktop session (no runtime folder, no display, no D-Bus) every command prints only its
// own output.
TEST_F(CliTest, CommandsPrintNothingButTheirOwnOutput) {
    WriteFile(dir.path("run.sql"), "UPDATE other SET a = 1");
    WriteFile(dir.path("t.txt"), "\\\\scan(A)\\\\\r\n\\\\A.id\\\\\r\n\\\\endscan(A)\\\\\r\n");
    const QStringList env = {"PATH=" + qEnvironmentVariable("PATH"), "HOME=" + dir.path(), "LANG=C.UTF-8"};
    const QStringList c = {"--connect", conn};
    const QStringList runs[] = {
        c + QStringList{"tables"},
        c + QStringList{"schema", "siTables"},
        c + QStringList{"open", "t x"},
        c + QStringList{"script", "t x", "--type", "insert"},
        c + QStringList{"sql", dir.path("run.sql")},
        c + QStringList{"export", "t x", "--format", "text", "--out", dir.path("t.out")},
        c + QStringList{"export", "t x", "--format", "sylk", "--out", dir.path("t.slk")},
        c + QStringList{"report", "t x", "--template", dir.path("t.txt"), "--out", dir.path("r.txt")},
        {"words", "12"},
        {"barcode", "CodeEAN13", "123456789012", "--out", dir.path("b.png")},
        {"--version"},
        {"--help"},
    };
    for (const QStringList& args : runs) {
        CliRun r = cli(args, env);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.err, "") << args.join(' ').toStdString();
    }
}

TEST(CliHelp, NamesEveryTemplateKindAndTheVersion) {
    CliRun help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* kind : {".docx", ".odt", ".fodt", ".txt", ".rtf", "--version"})
        EXPECT_TRUE(help.out.contains(kind)) << kind;
    CliRun version = cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(QRegularExpression("^tabulo-cli \\d+\\.\\d+\\S*\n$").match(version.out).hasMatch())
        << version.out.toStdString();
}

TEST_F(CliTest, TablesAndSchema) {
    EXPECT_EQ(cli({"--connect", conn, "tables"}).out, "mixed\nother\nt x\ntmp_one\n");
    EXPECT_EQ(cli({"--connect", conn, "tables", "--views"}).out, "v\n");
    EXPECT_EQ(cli({"--connect", conn, "tables", "--both", "--exclude", "T*"}).out, "mixed\nother\nv\n");
    CliRun s = cli({"--connect", conn, "schema", "siPrimaryKeys"});
    EXPECT_EQ(s.status, 0);
    EXPECT_TRUE(s.out.startsWith("TABLE_CATALOG\tTABLE_SCHEMA\tTABLE_NAME\tCOLUMN_NAME\tORDINAL\tPK_NAME\n"));
    EXPECT_TRUE(s.out.contains("main\t\\N\tt x\tid\t1\t"));
    EXPECT_EQ(cli({"--connect", conn, "schema", "20"}).status, 0);
    // Any legal file name reaches the connection file.
    for (const QString& folder : {QStringLiteral("Sales;2024"), QStringLiteral("{q} 'x\" y=1")}) {
        QDir().mkpath(dir.path(folder));
        WriteFile(dir.path(folder + "/x.udl"), "Provider=SQLite;Data Source=../db.sqlite");
        const CliRun r = cli({"--udl", dir.path(folder + "/x.udl"), "tables"});
        EXPECT_EQ(r.out, cli({"--connect", conn, "tables"}).out)
            << folder.toStdString() << ": " << r.err.toStdString();
    }
}

TEST_F(CliTest, ErrorsAndUsage) {
    struct Case {
        QStringList args;
        int status;
        QString err;
    };
    const Case cases[] = {
        {{}, 2, "usage"},
        {{"--connect", conn}, 2, "missing COMMAND"},
        {{"--connect", conn, "frobnicate"}, 2, "unknown command frobnicate"},
        {{"tables"}, 2, "give exactly one of --udl FILE and --connect STRING"},
        {{"--connect", conn, "open"}, 2, "missing TABLE"},
        {{"--connect", conn, "open", "t x", "--top", "many"}, 2, "--top many: the number of rows must be"},
        {{"--connect", conn, "open", "--top", "99999999999", "t x"},
         2,
         "--top 99999999999: the number of rows must be a whole number from 0 to 2147483647"},
        {{"--connect", conn, "open", "t x", "--top", "-1"}, 2, "--top -1:"},
        {{"--connect", conn, "open", "t x", "--top"}, 2, "missing value after --top"},
        {{"--connect", conn, "schema", "siNothing"}, 2, "unknown schema kind siNothing"},
        {{"--connect", conn, "schema", "siAsserts"}, 1, "not supported"},
        {{"--connect", conn, "open", "missing"}, 1, "no such table: missing"},
        {{"--connect", conn, "open", "t x", "--filter", "id = 'x"}, 1, "missing closing apostrophe"},
        {{"--udl", "/nonexistent/x.udl", "tables"}, 1, "/nonexistent/x.udl"},
        {{"--connect", "Provider=Nope;Password=hush", "tables"}, 1, "Provider \"Nope\" is not supported"},
        // Passwords are hidden where the message is made; nothing else of it changes.
        {{"--connect", "Data Source={a;}}b};Encrypt;Password=hush", "tables"},
         1,
         "names no provider: \"Data Source={a;}}b};Encrypt;Password=***\""},
        {{"--connect", "Driver=FreeTDS;Server=127.0.0.1;Port=1;UID=sa;Encrypt;PWD=hush", "tables"},
         1,
         "Driver={FreeTDS};Server=127.0.0.1;Port=1;UID=sa;PWD=***;\": [08S01] [FreeTDS]"},
    };
    for (const Case& c : cases) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("hush"));
    }
}

TEST(CliDemo, DemoDatabaseOpens) {
    CliRun r = cli({"--udl", QDir(ProgramDir()).filePath("Connections/Demo.udl"), "open", "Order Details",
                    "--top", "5"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "OrderID\tProductID\tUnitPrice\tQuantity\tDiscount");
}

namespace {

// Report templates of every engine over the "t x" table.
void WriteTemplates(const TempDir& dir) {
    WriteFile(dir.path("t.rtf"), "{\\rtf1 \\\\scan(A)\\\\\\\\A.id\\\\\\par \\\\endscan(A)\\\\}");
    const QByteArray p = "<text:p>&lt;&lt;A.id&gt;&gt;</text:p>";
    WriteFile(dir.path("t.fodt"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
              "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
              "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.3\" "
              "office:mimetype=\"application/vnd.oasis.opendocument.text\"><office:body><office:text>" +
                  p + "</office:text></office:body></office:document>");
    TZipArchive zip;
    zip.open(dir.path("t.docx"), true);
    zip.write("[Content_Types].xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
              "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
              "Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
    zip.write("word/document.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document "
              "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body><w:p><w:r>"
              "<w:t>&lt;&lt;A.id&gt;&gt;</w:t></w:r></w:p>"
              "</w:body></w:document>");
    zip.close(true);
}
} // namespace

// Every command that writes a file: its arguments before --out, and what its output starts with.
struct Writer {
    const char* what;
    QStringList args;
    QByteArray head;
};

class CliOutputTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        WriteTemplates(dir);
        writers = {
            {"text export",
             {"--connect", conn, "export", "t x", "--format", "text"},
             QByteArray(18, ' ') + "id"},
            {"SYLK export", {"--connect", conn, "export", "t x", "--format", "sylk"}, "ID;SLKExport"},
            {"RTF report", {"--connect", conn, "report", "t x", "--template", dir.path("t.rtf")}, "{\\rtf1"},
            {"DOCX report", {"--connect", conn, "report", "t x", "--template", dir.path("t.docx")}, "PK"},
            {"flat XML report",
             {"--connect", conn, "report", "t x", "--template", dir.path("t.fodt")},
             "<?xml"},
            {"barcode", {"barcode", "Code128B", "Tabulo"}, "\x89PNG"},
            {"PDF print", {"--connect", conn, "print", "t x"}, "%PDF"},
        };
    }
    CliRun write(const Writer& w, const QString& out) { return cli(w.args + QStringList{"--out", out}); }
    std::vector<Writer> writers;
};

TEST_F(CliOutputTest, TheOpenDatabaseAndTheTemplateAreNeverWrittenOver) {
    const QString db = dir.path("db.sqlite");
    const QByteArray before = ReadFile(db);
    ASSERT_TRUE(QFile::link(db, dir.path("link.sqlite")));
    const QString outs[] = {db, dir.path("link.sqlite"), dir.path("./db.sqlite"), db + "-journal",
                            db + "-wal"};
    for (const Writer& w : writers) {
        if (w.args.first() != "--connect") continue;
        for (const QString& out : outs) {
            CliRun r = write(w, out);
            EXPECT_EQ(r.status, 1) << w.what << " " << out.toStdString();
            EXPECT_TRUE(
                r.err.contains(QStringLiteral("\": it is the open database \"%1\".").arg(db)) ||
                r.err.contains(QStringLiteral("\": it is a journal of the open database \"%1\".").arg(db)))
                << w.what << ": " << r.err.toStdString();
        }
    }
    EXPECT_EQ(ReadFile(db), before);
    EXPECT_EQ(FolderNames(dir.path()),
              QStringList({"db.sqlite", "link.sqlite", "t.docx", "t.fodt", "t.rtf"}));
    EXPECT_EQ(cli({"--connect", conn, "open", "t x", "--top", "1"}).status, 0);

    ASSERT_TRUE(QFile::link(dir.path("t.docx"), dir.path("tlink.docx")));
    CliRun r = cli(writers[3].args + QStringList{"--out", dir.path("tlink.docx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("is the template itself")) << r.err.toStdString();
}

TEST_F(CliOutputTest, ModesReadOnlyTargetsAndLinks) {
    const mode_t oldMask = umask(022);
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.what);
        // A new file gets the umask's mode, an existing one keeps its own.
        const QString fresh = dir.path("new.out");
        CliRun r = write(w, fresh);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(ReadFile(fresh).startsWith(w.head)) << ReadFile(fresh).left(20).toStdString();
        EXPECT_EQ(FileMode(fresh), 0644u);
        chmod(QFile::encodeName(fresh).constData(), 0640);
        EXPECT_EQ(write(w, fresh).status, 0);
        EXPECT_EQ(FileMode(fresh), 0640u);
        // A link is followed: the file it names gets the result, the link stays.
        ASSERT_TRUE(QFile::link(fresh, dir.path("link.out")));
        WriteFile(fresh, "old");
        EXPECT_EQ(write(w, dir.path("link.out")).status, 0);
        EXPECT_TRUE(QFileInfo(dir.path("link.out")).isSymLink());
        EXPECT_TRUE(ReadFile(fresh).startsWith(w.head));
        // What the user could not write is refused, and stays as it was.
        WriteFile(dir.path("ro.out"), "read-only");
        chmod(QFile::encodeName(dir.path("ro.out")).constData(), 0444);
        r = write(w, dir.path("ro.out"));
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("\": the file is read-only.")) << r.err.toStdString();
        EXPECT_EQ(ReadFile(dir.path("ro.out")), "read-only");
        for (const char* n : {"new.out", "link.out", "ro.out"})
            QFile::remove(dir.path(n));
    }
    umask(oldMask);
}

TEST_F(CliOutputTest, PipesDevicesAndStdoutAreWrittenInPlace) {
    const QString fifo = dir.path("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.what);
        QProcess reader;
        reader.start("cat", {fifo});
        ASSERT_TRUE(reader.waitForStarted());
        CliRun r = write(w, fifo);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        ASSERT_TRUE(reader.waitForFinished());
        EXPECT_TRUE(reader.readAllStandardOutput().startsWith(w.head));
        struct stat st;
        ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));

        r = write(w, "/dev/full");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("\"/dev/full\": No space left on device.")) << r.err.toStdString();
        ASSERT_EQ(stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));

        // Standard output is this program's own descriptor (here a pipe to the test).
        QProcess p;
        p.start(QDir(ProgramDir()).filePath("tabulo-cli"), w.args + QStringList{"--out", "/dev/stdout"});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(w.head));
    }
    EXPECT_EQ(FolderNames(dir.path()), QStringList({"db.sqlite", "fifo", "t.docx", "t.fodt", "t.rtf"}));
}

TEST_F(CliOutputTest, FailedCommandsLeaveNoFileBehind) {
    const QString out = dir.path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    WriteFile(out + "/keep.txt", "old");
    // A temporary file of a run that was killed: removed by the next run that writes here.
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    WriteFile(out + "/.tabulo-save-" + QString::number(child) + "-k1LLed", "half");
    WriteFile(dir.path("bad.docx"), ReadFile(dir.path("t.docx")));
    {
        TZipArchive zip;
        zip.open(dir.path("bad.docx"));
        zip.write(
            "word/document.xml",
            "<?xml version=\"1.0\"?><w:document "
            "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body><w:p><w:r>"
            "<w:t>&lt;&lt;scan(A)&gt;&gt;</w:t></w:r></w:p></w:body></w:document>");
        zip.close(true);
    }
    // Every order's comment, so the package outgrows the limit below; and a template that is no package.
    WriteFile(dir.path("orders.docx"), ReadFile(dir.path("t.docx")));
    {
        TZipArchive zip;
        zip.open(dir.path("orders.docx"));
        zip.write("word/document.xml",
                  "<?xml version=\"1.0\"?><w:document "
                  "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
                  "<w:p><w:r><w:t>&lt;&lt;scan(A)&gt;&gt;</w:t></w:r></w:p>"
                  "<w:p><w:r><w:t>&lt;&lt;A.OrderID&gt;&gt; &lt;&lt;A.Comment&gt;&gt;</w:t></w:r></w:p>"
                  "<w:p><w:r><w:t>&lt;&lt;endscan(A)&gt;&gt;</w:t></w:r></w:p></w:body></w:document>");
        zip.close(true);
    }
    WriteFile(dir.path("nozip.docx"), "not a package");
    // Writes that fail half-way: a file size limit of 1 KB (the kernel's EFBIG).
    const auto limited = [](const QStringList& args) {
        QProcess p;
        p.start("bash", QStringList{"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"",
                                    QDir(ProgramDir()).filePath("tabulo-cli")} +
                            args);
        p.waitForFinished(60000);
        return CliRun{p.exitCode(), QString(), QString::fromUtf8(p.readAllStandardError())};
    };
    const QString demo = QDir(ProgramDir()).filePath("Connections/Demo.udl");
    struct Case {
        const char* what;
        CliRun run;
        QString error; // the messages name the files the user gave, with the system's reason
    } cases[] = {
        {"export over the limit",
         limited({"--udl", demo, "export", "Orders", "--format", "text", "--out", out + "/big.txt"}),
         "File too large"},
        {"SYLK over the limit",
         limited({"--udl", demo, "export", "Orders", "--format", "sylk", "--out", out + "/big.slk"}),
         "File too large"},
        {"a DOCX template error after the copy was made",
         cli({"--connect", conn, "report", "t x", "--template", dir.path("bad.docx"), "--out",
              out + "/r.docx"}),
         "endscan"},
        {"a bad encoding",
         cli({"--connect", conn, "export", "t x", "--format", "text", "--encoding", "nope", "--out",
              out + "/e.txt"}),
         "Unknown encoding"},
        {"a bad barcode", cli({"barcode", "CodeEAN13", "12x", "--out", out + "/b.png"}), "numeric"},
        {"a DOCX package over the limit",
         limited({"--udl", demo, "report", "Orders", "--template", dir.path("orders.docx"), "--out",
                  out + "/big.docx"}),
         "Cannot write package \"" + out + "/big.docx\": "},
        {"a template that is no package",
         cli({"--connect", conn, "report", "t x", "--template", dir.path("nozip.docx"), "--out",
              out + "/n.docx"}),
         "Cannot open package \"" + dir.path("nozip.docx") + "\": Not a zip archive"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run.status, 1) << c.what << ": " << c.run.err.toStdString();
        EXPECT_TRUE(c.run.err.contains(c.error)) << c.what << ": " << c.run.err.toStdString();
        EXPECT_FALSE(c.run.err.contains(".tabulo-save")) << c.what << ": " << c.run.err.toStdString();
        EXPECT_FALSE(c.run.err.contains("Unknown error")) << c.what << ": " << c.run.err.toStdString();
    }
    EXPECT_TRUE(cases[5].run.err.contains("File too large")) << cases[5].run.err.toStdString();
    EXPECT_EQ(FolderNames(out), QStringList({"keep.txt"}));
    EXPECT_EQ(ReadFile(out + "/keep.txt"), "old");
}
