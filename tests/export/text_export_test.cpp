#include "cell_reader.h"
#include "export_fixture.h"
#include "export_writer.h"
#include "progress.h"
#include "scripted_messages.h"
#include "separator_text.h"
#include "shell.h"
#include "text_cleanup.h"
#include "txt_export.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>

namespace {
const char* kPeople = "CREATE TABLE P(ID INTEGER, Name VARCHAR(8));"
                      "INSERT INTO P VALUES (7, 'Smith'), (8, 'Washington'), (NULL, 'Say \"hi\"');";

// A shell that starts nothing and records what it was asked.
struct RecordingShell {
    QStringList calls;
    RecordingShell() {
        SetShellHandler([this](ShellVerb v, const QString& p) {
            calls << (v == ShellVerb::Open ? "open " : "print ") + p;
            return true;
        });
    }
    ~RecordingShell() { SetShellHandler({}); }
};
} // namespace

TEST(TextExport, FixedWidthAndDelimitedLines) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    t->query.FieldByName("ID")->setDisplayWidth(10); // the widths of the example: 10 and 8
    TTXTExport e;
    ASSERT_TRUE(e.Execute(&t->query));
    EXPECT_EQ(e.ExportResult, QStringList({"        ID Name    ", "         7 Smith   ",
                                           "         8 Washin..", "           Say \"hi\""}));

    e.FillChar = QChar(0);
    e.FieldSeparator = ";";
    e.TextApostrophe = "\"";
    ASSERT_TRUE(e.Execute(&t->query));
    // A quote inside a quoted value is doubled; an empty first value leaves the line starting with ";".
    EXPECT_EQ(e.ExportResult,
              QStringList({"ID;Name", "7;\"Smith\"", "8;\"Washington\"", ";\"Say \"\"hi\"\"\""}));

    e.ExportAllAsText = true;
    e.ExportFieldName = false;
    ASSERT_TRUE(e.Execute(&t->query));
    EXPECT_EQ(e.ExportResult.first(), "\"7\";\"Smith\"");

    e.ExportStructureOnly = true; // the title line even without ExportFieldName, and nothing else
    ASSERT_TRUE(e.Execute(&t->query));
    EXPECT_EQ(e.ExportResult, QStringList({"ID;Name"}));
}

TEST(TextExport, WidthRule) {
    struct Case {
        const char* value;
        int width;
        Qt::Alignment align;
        const char* expected;
    } cases[] = {
        {"Washington", 8, Qt::AlignLeft, "Washin.."},
        {"Smith", 8, Qt::AlignLeft, "Smith..."},
        {"7", 10, Qt::AlignRight, ".........7"},
        {"ab", 7, Qt::AlignHCenter, "..ab..."},      // the odd extra character goes right
        {"12345678", 8, Qt::AlignRight, "12345678"}, // exactly the width: not cut
        {"abc", 1, Qt::AlignLeft, ".."},             // below 2 a cut value is ".."
        {"", 0, Qt::AlignLeft, ""},
        {"Jiří Novák", 6, Qt::AlignLeft, "Jiří.."}, // characters, not bytes
        {"Luleå", 7, Qt::AlignRight, "..Luleå"},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendFixedWidth(out, c.value, c.width, c.align, ".");
        EXPECT_EQ(out, c.expected) << c.value << " in " << c.width;
    }
}

TEST(TextExport, FixedWidthHoldsWholeNumbersAndMilliseconds) {
    TempDir dir;
    struct Case {
        const char* type;
        const char* value;
        const char* line; // the fixed-width record line
    } cases[] = {
        {"BIGINT", "9223372036854775807", " 9223372036854775807"},
        {"INTEGER", "-9223372036854775807", "-9223372036854775807"},
        {"SMALLINT", "-32768", "              -32768"},
        {"REAL", "-1.23456789012345e-300", "  -1.23456789012345e-300"},
        {"MONEY", "123456789012345", "         123456789012345"},
        {"DATETIME", "'2020-02-29 12:00:00.125'", "2020-02-29 12:00:00.125"},
        {"DATETIME", "'2020-02-29 12:00:00'", "2020-02-29 12:00:00    "},
        {"TIME", "'10:30:00.5'", "10:30:00.500"},
    };
    for (const Case& c : cases) {
        auto t = OpenTable(
            dir,
            QStringLiteral("DROP TABLE IF EXISTS W; CREATE TABLE W(V %1); INSERT INTO W VALUES (%2);")
                .arg(c.type, c.value),
            "W");
        TTXTExport e;
        e.ExportFieldName = false;
        ASSERT_TRUE(e.Execute(&t->query));
        EXPECT_EQ(e.ExportResult, QStringList({c.line})) << c.type << " " << c.value;
    }
}

TEST(TextExport, ValuesHoldingTheSeparatorAreQuoted) {
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE N(I INTEGER, F REAL, S TEXT, B BOOLEAN);"
                       "INSERT INTO N VALUES (-3, 9.8, 'x', 1);",
                       "N");
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia)); // decimal comma
    struct Case {
        const char* separator;
        const char* quote;
        const char* line;
    } cases[] = {
        {",", "\"", "-3,\"9,8\",\"x\",True"},
        {";", "\"", "-3;9,8;\"x\";True"},
        {",", "", "-3,9,8,x,True"},      // no quote character: nothing to quote with
        {"e", "'", "-3e9,8e'x'e'True'"}, // any type: a boolean holding the separator
    };
    for (const Case& c : cases) {
        TTXTExport e;
        e.ExportFieldName = false;
        e.FillChar = QChar(0);
        e.FieldSeparator = c.separator;
        e.TextApostrophe = c.quote;
        ASSERT_TRUE(e.Execute(&t->query));
        EXPECT_EQ(e.ExportResult, QStringList({c.line})) << c.separator << c.quote;
    }
    QLocale::setDefault(old);
}

TEST(TextExport, BlobsAreTextOrHexadecimal) {
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE B(N INTEGER, V BLOB);"
                       "INSERT INTO B VALUES (1, X'416263'), (2, X'00FF41'), (3, CAST('Müller' AS BLOB)),"
                       "(4, X'8A'), (5, X'41090D0A42'), (6, X'417F');",
                       "B");
    struct Case {
        const char* encoding;
        QByteArray file; // the lines of the file
    } cases[] = {
        {"", "1;Abc\r\n2;0x00FF41\r\n3;M\xC3\xBCller\r\n4;0x8A\r\n5;A\t || B\r\n6;0x417F\r\n"},
        // Valid text in the code page is kept byte for byte ("Müller" in UTF-8 reads as 8-bit text).
        {"windows-1250", "1;Abc\r\n2;0x00FF41\r\n3;M\xC3\xBCller\r\n4;\x8A\r\n5;A\t || B\r\n6;0x417F\r\n"},
        {"UTF-16BE", QByteArray("\xFE\xFF\0001\0;\0A\0b\0c\0\r\0\n", 16)},
    };
    for (const Case& c : cases) {
        TTXTExport e;
        e.ExportFile = dir.path("blob.txt");
        e.ActionAfter = aaNone;
        e.ExportFieldName = false;
        e.ExportMemoFields = true; // blobs are memo fields
        e.FillChar = QChar(0);
        e.FieldSeparator = ";";
        e.Encoding = c.encoding;
        ASSERT_TRUE(e.Execute(&t->query)) << c.encoding;
        const QByteArray got = ReadFile(e.ExportFile);
        EXPECT_EQ(got.left(c.file.size()), c.file) << c.encoding;
    }
}

TEST(TextExport, SeparatorRule) {
    struct Case {
        const char* text;
        QString expected;
    } cases[] = {{"|", "|"},
                 {"#124", "|"},
                 {"#9   (tab)", "\t"},
                 {"#32  (space)", " "},
                 {"; (semicolon)", ";"},
                 {"abcdefghij", "a"},
                 {"<->", "<->"},
                 {"#x", QString(QChar(0))}};
    for (const Case& c : cases) {
        QString sep = "unchanged";
        EXPECT_TRUE(SeparatorFromText(c.text, sep));
        EXPECT_EQ(sep, c.expected) << c.text;
    }
    QString sep = "keep";
    EXPECT_FALSE(SeparatorFromText("", sep));
    EXPECT_EQ(sep, "keep");
}

TEST(TextExport, MemoLineEndsTrimAndRealNames) {
    TempDir dir;
    auto t =
        OpenTable(dir,
                  "CREATE TABLE M(Code VARCHAR(5), Note MEMO);"
                  "INSERT INTO M VALUES ('  x' || char(9), 'a' || char(13,10) || 'b' || char(13) || 'c'),"
                  "('y', 'one' || char(10) || 'two');",
                  "M");
    t->query.FieldByName("Code")->setDisplayLabel("Product code");
    TTXTExport e;
    e.FillChar = QChar(0);
    e.FieldSeparator = ",";
    e.ExportMemoFields = true;
    e.TrimData = true;
    ASSERT_TRUE(e.Execute(&t->query));
    EXPECT_EQ(e.ExportResult, QStringList({"Product code,Note", "x,a || b || c", "y,one\ntwo"}));

    e.ExportMemoFields = false; // memo fields are left out
    e.RealFieldNamesAsTitle = true;
    ASSERT_TRUE(e.Execute(&t->query));
    EXPECT_EQ(e.ExportResult, QStringList({"Code", "x", "y"}));
}

TEST(TextExport, GridSourceTitlesAndSelectedRows) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    TDataSet& ds = t->query;
    std::vector<TGridColumn> cols = {{"Name", "Who", true}, {"ID", "No.", true}, {"Missing", "Gone", true}};
    // Records 1 and 3 are selected in the grid.
    TGridSource grid(&ds, cols, [&] { return ds.RecNo() != 2; });
    TTXTExport e;
    e.FillChar = QChar(0);
    e.FieldSeparator = "|";
    e.ExportOnlySelectedRows = true;
    ds.setRecNo(2);
    ASSERT_TRUE(e.Execute(grid));
    EXPECT_EQ(e.ExportResult, QStringList({"Who|No.", "Smith|7", "Say \"hi\"|"}));
    EXPECT_EQ(ds.RecNo(), 2); // the current record is restored
    EXPECT_EQ(e.SourceType, stGrid);
}

TEST(TextExport, WritesFileAndRunsActionAfter) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    RecordingShell shell;
    TTXTExport e;
    e.ExportFile = dir.path("out.txt");
    e.FillChar = QChar(0);
    e.FieldSeparator = ";";
    ASSERT_TRUE(e.Execute(&t->query));
    EXPECT_EQ(ReadFile(e.ExportFile), "ID;Name\r\n7;Smith\r\n8;Washington\r\n;Say \"hi\"\r\n");
    EXPECT_TRUE(e.ExportResult.isEmpty());
    EXPECT_EQ(shell.calls, QStringList({"open " + e.ExportFile}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
}

TEST(TextExport, AppendKeepsOldContentAndItsEncoding) {
    TempDir dir;
    auto t = OpenTable(dir, "CREATE TABLE A(Name VARCHAR(10)); INSERT INTO A VALUES ('Müller');", "A");
    struct Case {
        const char* what;
        QByteArray old;
        QString encoding;
        QByteArray expected;
    } cases[] = {
        {"no file end", "old line", "", "old line\r\nName\r\nMüller\r\n"},
        {"CR LF end", "x\r\ny\r\n", "", "x\r\ny\r\nName\r\nMüller\r\n"},
        {"LF lines kept", "x\ny\n", "", "x\ny\nName\r\nMüller\r\n"},
        {"UTF-8 BOM", "\xEF\xBB\xBFold\r\n", "", "\xEF\xBB\xBFold\r\nName\r\nMüller\r\n"},
        {"UTF-16LE BOM", QByteArray("\xFF\xFEo\0", 4), "",
         QByteArray("\xFF\xFEo\0\r\0\n\0N\0a\0m\0e\0\r\0\n\0M\0\xFC\0l\0l\0e\0r\0\r\0\n\0", 36)},
        {"8-bit code page", "star\xFD\r\n", "windows-1250", "star\xFD\r\nName\r\nM\xFCller\r\n"},
    };
    for (const Case& c : cases) {
        QString path = dir.path("append.txt");
        WriteFile(path, c.old);
        TTXTExport e;
        e.ExportFile = path;
        e.ActionAfter = aaNone;
        e.FillChar = QChar(0);
        e.AppendToFile = true;
        e.Encoding = c.encoding;
        ASSERT_TRUE(e.Execute(&t->query)) << c.what;
        EXPECT_EQ(ReadFile(path), c.expected) << c.what;
    }
}

TEST(TextExport, BadInputLeavesTheFileAsItWas) {
    TempDir dir;
    auto t = OpenTable(dir, "CREATE TABLE A(Name VARCHAR(10)); INSERT INTO A VALUES ('a'), ('Jiří');", "A");
    QString path = dir.path("keep.txt");
    const QByteArray old = "bad \xFF byte\r\n";
    struct Case {
        const char* what;
        QString encoding;
        bool append;
        QString message; // part of the error
    } cases[] = {
        {"old file not UTF-8", "", true,
         "Cannot append to file \"" + path + "\": The text at byte 4 is not valid UTF-8."},
        {"unknown encoding", "no-such-code-page", false, "Unknown encoding \"no-such-code-page\"."},
        {"character not in the code page", "ISO-8859-1", false,
         "Line 3 of file \"" + path +
             "\": The character U+0159 cannot be written in the encoding ISO-8859-1."},
    };
    for (const Case& c : cases) {
        WriteFile(path, old);
        TTXTExport e;
        e.ExportFile = path;
        e.ActionAfter = aaNone;
        e.AppendToFile = c.append;
        e.Encoding = c.encoding;
        try {
            e.Execute(&t->query);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Exception& ex) {
            EXPECT_EQ(ex.Message, c.message) << c.what;
        }
        EXPECT_EQ(ReadFile(path), old) << c.what;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << c.what;
    }
}

TEST(TextExport, UnwritableTargetShowsTheErrorBox) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    ScopedScriptedMessages m;
    RecordingShell shell;
    TTXTExport e;
    e.ExportFile = dir.path("no/such/folder/out.txt");
    EXPECT_FALSE(e.Execute(&t->query));
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.shown[0].kind, "exception");
    EXPECT_EQ(m.shown[0].heading, "Error: Cannot export data.");
    EXPECT_TRUE(m.shown[0].text.contains("Cannot create file \"" + e.ExportFile + "\""))
        << m.shown[0].text.toStdString();
    EXPECT_TRUE(shell.calls.isEmpty());
}

TEST(TextExport, UnusableSourceReturnsFalseQuietly) {
    TTXTExport e;
    int events = 0;
    e.OnProgressEvent = [&](TProgressStage, int, bool, const QRect&, const QString&) { ++events; };
    EXPECT_FALSE(e.Execute(static_cast<TDataSet*>(nullptr)));
    TDataSet closed;
    EXPECT_FALSE(e.Execute(&closed));
    EXPECT_EQ(events, 0);
}

namespace {
// Records progress window updates and presses "Abort" at a given update.
struct AbortingProgress : IProgress {
    int abortAt;
    std::vector<int> percents;
    int hides = 0;
    explicit AbortingProgress(int at) : abortAt(at) {}
    void update(const QString& text, int percent, const std::function<void()>& onAbort, QObject*) override {
        if (text.isEmpty()) {
            ++hides;
            return;
        }
        EXPECT_EQ(text, "Exporting of data...");
        if (percent < 0) return;
        percents.push_back(percent);
        if (int(percents.size()) == abortAt && onAbort) onAbort();
    }
};
} // namespace

TEST(TextExport, ProgressEvery100thRecordAndAbortWritesNothing) {
    TempDir dir;
    auto t = OpenTable(dir,
                       "CREATE TABLE N(I INTEGER);"
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)"
                       "INSERT INTO N SELECT i FROM n;",
                       "N");
    QString path = dir.path("n.txt");
    WriteFile(path, "previous\r\n");
    for (int abortAt : {0, 3}) {
        AbortingProgress progress(abortAt);
        IProgress* prev = SetProgress(&progress);
        std::vector<TProgressStage> stages;
        int running = 0;
        TTXTExport e;
        e.ExportFile = path;
        e.ActionAfter = aaNone;
        e.ShowProgressBar = true;
        e.OnProgressEvent = [&](TProgressStage s, int, bool, const QRect&, const QString&) {
            if (s == psRunning)
                ++running;
            else
                stages.push_back(s);
        };
        bool ok = e.Execute(&t->query);
        SetProgress(prev);
        EXPECT_EQ(stages, (std::vector<TProgressStage>{psStarting, psEnding}));
        EXPECT_EQ(progress.hides, 1);
        if (abortAt == 0) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(progress.percents.size(), 50u);
            EXPECT_EQ(progress.percents.front(), 2);
            EXPECT_EQ(progress.percents.back(), 100);
            EXPECT_EQ(running, 5000);
            EXPECT_EQ(CrLfLines(ReadFile(path)).size(), 5001);
            WriteFile(path, "previous\r\n");
        } else {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(e.Aborted);
            EXPECT_EQ(e.RecIdx, 300);
            EXPECT_EQ(ReadFile(path), "previous\r\n");
        }
    }
}

TEST(TextExport, StoreReaderMatchesFieldDisplayText) {
    TempDir dir;
    auto t = OpenTable(
        dir,
        "CREATE TABLE V(I INTEGER, F REAL, M MONEY, B BOOLEAN, D DATE, T TIME, DT DATETIME, S TEXT);"
        "INSERT INTO V VALUES (-9223372036854775807, 0.1, 1234.5, 1, '2001-02-03', '10:30:00',"
        " '2024-12-31 23:59:59', 'Müller'),"
        "(0, 1e20, -0.0001, 0, '0001-01-01', '00:00:01', '1899-12-30 00:00:00', ''),"
        "(42, 1e-5, 123456789012345678, 0, '9999-12-31', '23:59:59', '2020-02-29 12:00:00.125', 'x'),"
        "(NULL, 2.5e-300, 1.0/3, NULL, '1850-06-15', NULL, '1900-01-01 00:00:00', NULL);",
        "V");
    TDataSet& ds = t->query;
    ds.FieldByName("M")->DisplayFormat = "#,##0.00";
    for (int c = 0; c < ds.FieldCount(); ++c) {
        TField& f = *ds.Fields(c);
        CellReader r(ds, f);
        for (int p = 0; p < ds.RecordCount(); ++p) {
            ds.setRecNo(p + 1);
            std::string display, text;
            r.appendDisplayText(display, p);
            r.appendText(text, p);
            EXPECT_EQ(QString::fromStdString(display), f.DisplayText())
                << f.FieldName.toStdString() << " row " << p;
            EXPECT_EQ(QString::fromStdString(text), f.AsString())
                << f.FieldName.toStdString() << " row " << p;
            EXPECT_EQ(r.isNull(p), f.IsNull());
        }
    }
}

// Read forward-only, block by block as the command line does, a table of several blocks gives the text
// a fully loaded dataset gives. A column that changes its type after the first block (SQLite) keeps
// the first block's width, so fixed-width lines stay aligned.
TEST(TextExport, ForwardOnlyWritesWhatALoadedDatasetWrites) {
    TempDir dir;
    auto t = OpenTable(
        dir,
        "CREATE TABLE big (id INTEGER PRIMARY KEY, txt VARCHAR(12), f REAL, d DATE, n);"
        "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 150000) "
        "INSERT INTO big SELECT i, CASE WHEN i % 5 = 0 THEN NULL ELSE 'a;\"' || i END, i / 4.0, "
        "date('2000-01-01', '+' || (i % 5000) || ' days'), CASE WHEN i = 140000 THEN 2.5 ELSE i END "
        "FROM s;",
        "big");
    for (const QChar fill : {QChar(0), QChar(' ')}) {
        SCOPED_TRACE(fill.isNull() ? "delimited" : "fixed width");
        TTXTExport e;
        e.FillChar = fill;
        e.FieldSeparator = ";";
        e.TextApostrophe = "\"";
        ASSERT_TRUE(e.Execute(&t->query));
        const QStringList loaded = e.ExportResult;
        ASSERT_EQ(loaded.size(), 150001);
        TADOQuery q(&t->connection);
        q.SQL = "SELECT * FROM big";
        ASSERT_TRUE(e.ExecuteForwardOnly(&q));
        EXPECT_LT(q.RecordCount(), kFetchProgressRows); // only the last block was held
        EXPECT_EQ(e.RecIdx, 150000);
        ASSERT_EQ(e.ExportResult.size(), loaded.size());
        if (fill.isNull()) {
            EXPECT_TRUE(e.ExportResult == loaded);
            continue;
        }
        // The widened column "n" is the last one: everything before it is as loaded, and every line has
        // the title's length.
        const qsizetype before = loaded[0].lastIndexOf(';');
        int mismatched = 0, misaligned = 0;
        for (qsizetype i = 0; i < loaded.size(); ++i) {
            mismatched += e.ExportResult[i].left(before) != loaded[i].left(before);
            misaligned += e.ExportResult[i].size() != e.ExportResult[0].size();
        }
        EXPECT_EQ(mismatched, 0);
        EXPECT_EQ(misaligned, 0);
    }
    // An abort ends the read at the next block boundary: the rest of the result is not fetched.
    TTXTExport e;
    e.OnProgressEvent = [&](TProgressStage s, int, bool, const QRect&, const QString&) {
        if (s == psRunning) e.Aborted = true;
    };
    TADOQuery q(&t->connection);
    q.SQL = "SELECT * FROM big";
    EXPECT_FALSE(e.ExecuteForwardOnly(&q));
    EXPECT_EQ(e.RecIdx, 1);
    EXPECT_EQ(q.store().fetchedRows(), kForwardBlockRows);
}
