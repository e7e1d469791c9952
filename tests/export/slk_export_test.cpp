#include "export_fixture.h"
#include "float_text.h"
#include "scripted_messages.h"
#include "slk_export.h"

#include <QDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

namespace {
const char* kPeople = "CREATE TABLE P(ID INTEGER, Name VARCHAR(20), Born DATE);"
                      "INSERT INTO P VALUES (1, 'Ann', '2001-02-03'), (2, NULL, NULL);";

QStringList RunSylk(TSLKExport& e, TDataSet& ds, const TempDir& dir) {
    e.ExportFile = dir.path("out.slk");
    e.ActionAfter = aaNone;
    EXPECT_TRUE(e.Execute(&ds));
    return CrLfLines(ReadFile(e.ExportFile));
}

// The record lines of the first data row (after "; Row" and its position line).
QStringList FirstRow(const QStringList& lines) {
    qsizetype at = lines.indexOf("; Row");
    QStringList row;
    for (qsizetype i = at + 2; i < lines.size() && lines[i] != ";"; ++i)
        row << lines[i];
    return row;
}
} // namespace

TEST(SylkExport, GoldenFile) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    t->query.FieldByName("ID")->setDisplayWidth(10); // the widths of the example: 10, 20 and 10
    TSLKExport e;
    e.MakeSumRow = true;
    QStringList lines = RunSylk(e, t->query, dir);
    QStringList expected = {"ID;SLKExport",
                            "P;PGeneral",
                            "P;Pd/m/yyyy",
                            "P;Ph:mm",
                            "P;PGeneral",
                            "P;PGeneral",
                            "P;PGeneral",
                            "P;FArial",
                            "P;FArial;SB",
                            "P;FArial;SI",
                            "P;FArial;SU",
                            ";",
                            "; Column Width",
                            "F;W1 1 12",
                            "F;W2 2 22",
                            "F;W3 3 12",
                            ";",
                            "; Title",
                            "C;X1;Y1",
                            "C;X1;K\"ID\"",
                            "C;X2;K\"Name\"",
                            "C;X3;K\"Born\"",
                            ";",
                            "; Row",
                            "C;X1;Y2",
                            "F;P3;X1",
                            "C;K1",
                            "C;X2",
                            "C;K\"Ann\"",
                            "F;P1;X3",
                            "C;K36925",
                            ";",
                            "; Row",
                            "C;X1;Y3",
                            "F;P3;X1",
                            "C;K2",
                            ";",
                            "; Sum",
                            "C;X1;Y4",
                            "C;X1;ESUM(R2C:R3C)",
                            "C;X2;K\"Sum:\"",
                            ";",
                            "; Global Formating",
                            "F;R1;SM1",
                            "F;R4;SM1",
                            "E"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines.size(), 46);
}

TEST(SylkExport, ValueForms) {
    TempDir dir;
    const QString memo300 = QString(300, 'm');
    struct Case {
        const char* what;
        QString type;
        QString sqlValue;
        QStringList lines; // the format and value lines of the cell
    } cases[] = {
        {"semicolon doubled", "VARCHAR(20)", "'a;b'", {"C;X1", "C;K\"a;;b\""}},
        {"memo cut to 247 characters",
         "MEMO",
         "'" + memo300 + "'",
         {"C;X1", "C;K\"" + QString(247, 'm') + "...\""}},
        {"line breaks as ESC",
         "TEXT",
         "'a' || char(13,10) || 'b' || char(10) || 'c' || char(13) || 'd'",
         {"C;X1", "C;K\"a\x1b :b\x1b :c\x1b :d\""}},
        {"cut after ESC blank",
         "TEXT",
         "'" + QString(245, 'x') + "' || char(13,10) || 'tail" + QString(10, 'y') + "'",
         {"C;X1", "C;K\"" + QString(245, 'x') + "...\""}},
        {"quote inside stays", "TEXT", "'say \"hi\"'", {"C;X1", "C;K\"say \"hi\"\""}},
        {"integer digits", "INTEGER", "-12345678901", {"F;P3;X1", "C;K-12345678901"}},
        {"float general 15", "REAL", "1234.5", {"F;P3;X1", "C;K1234.5"}},
        {"float exponent", "REAL", "1e-20", {"F;P3;X1", "C;K1E-20"}},
        {"date-time serial", "DATETIME", "'2001-02-03 18:00:00'", {"F;P1;X1", "C;K36925.75"}},
        {"time of day as number", "TIME", "'10:30:00'", {"F;P2;X1", "C;K0.4375"}},
        {"date before 1900 as text", "DATE", "'1850-06-15'", {"F;P1;X1", "C;K\"1850-06-15\""}},
        {"boolean as text", "BOOLEAN", "1", {"C;X1", "C;K\"True\""}},
        {"text blob as text", "BLOB", "X'416263'", {"C;X1", "C;K\"Abc\""}},
        {"binary blob as hexadecimal", "BLOB", "X'00FF3B'", {"C;X1", "C;K\"0x00FF3B\""}},
        {"date-time milliseconds before 1900",
         "DATETIME",
         "'1850-06-15 10:00:00.250'",
         {"F;P1;X1", "C;K\"1850-06-15 10:00:00.250\""}},
    };
    for (const Case& c : cases) {
        auto t = OpenTable(
            dir,
            QStringLiteral("DROP TABLE IF EXISTS V; CREATE TABLE V(A %1); INSERT INTO V VALUES (%2);")
                .arg(c.type, c.sqlValue),
            "V");
        TSLKExport e;
        EXPECT_EQ(FirstRow(RunSylk(e, t->query, dir)), c.lines) << c.what;
    }
}

TEST(SylkExport, PicturesFontsAndOptions) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    TDataSet& ds = t->query;
    ds.FieldByName("ID")->DisplayFormat = "#,##0;-#,##0"; // a ";" in a picture is doubled
    ds.FieldByName("Name")->setDisplayWidth(3);
    TSLKExport e;
    e.SetFontName = "nil";
    e.DefaultDateFormat = "yyyy-mm-dd";
    e.setStartRow(0); // ignored
    e.setStartCol(3);
    e.RealFieldNamesAsTitle = true;
    ds.FieldByName("Name")->setDisplayLabel("Given name");
    QStringList lines = RunSylk(e, ds, dir);
    EXPECT_EQ(lines.mid(0, 7), QStringList({"ID;SLKExport", "P;PGeneral", "P;Pyyyy-mm-dd", "P;Ph:mm",
                                            "P;P#,##0;;-#,##0", "P;PGeneral", "P;PGeneral"}));
    EXPECT_FALSE(lines.join('\n').contains("P;F"));
    EXPECT_FALSE(lines.contains("; Global Formating"));
    EXPECT_TRUE(lines.contains("F;W4 4 7"));       // width 3: 7
    EXPECT_TRUE(lines.contains("C;X4;K\"Name\"")); // field name as title, column 3 + 1
    EXPECT_TRUE(lines.contains("C;X3;Y2"));
    EXPECT_EQ(lines.last(), "E");

    TSLKExport s;
    s.ExportStructureOnly = true;
    s.ExportFieldName = false;
    s.MakeSumRow = true;
    s.SetColWidth = false;
    lines = RunSylk(s, ds, dir);
    EXPECT_TRUE(lines.contains("; Title"));
    EXPECT_FALSE(lines.contains("; Row"));
    EXPECT_FALSE(lines.contains("; Sum"));
    EXPECT_FALSE(lines.contains("; Column Width"));
    EXPECT_EQ(lines.mid(lines.size() - 4), QStringList({";", "; Global Formating", "F;R2;SM1", "E"}));
}

TEST(SylkExport, FailuresLeaveTheTargetAlone) {
    TempDir dir;
    auto t = OpenTable(dir, kPeople, "P");
    ScopedScriptedMessages m;
    TSLKExport e;
    EXPECT_FALSE(e.Execute(&t->query)); // no file name: nothing at all
    EXPECT_TRUE(m.shown.empty());

    e.ExportFile = dir.path("missing/dir/x.slk");
    EXPECT_FALSE(e.Execute(&t->query));
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.shown[0].heading, "Error: Cannot export data.");

    // Abort through the progress event's window: the old file stays.
    QString path = dir.path("old.slk");
    WriteFile(path, "old");
    TSLKExport a;
    a.ExportFile = path;
    a.ActionAfter = aaNone;
    a.OnBeforeExport = [](TSLKExport& x, int, int) { x.ExportLine("; custom"); };
    a.OnProgressEvent = [&](TProgressStage s, int, bool, const QRect&, const QString&) {
        if (s == psRunning) a.Aborted = true;
    };
    EXPECT_FALSE(a.Execute(&t->query));
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    a.OnProgressEvent = {};
    EXPECT_TRUE(a.Execute(&t->query));
    EXPECT_EQ(CrLfLines(ReadFile(path)).mid(11, 1), QStringList({"; custom"}));
}

// Read forward-only, block by block as the command line does, a table of two blocks gives the file a
// fully loaded dataset gives: the rows continue across the block boundary and the sum row spans them.
TEST(SylkExport, ForwardOnlyWritesWhatALoadedDatasetWrites) {
    TempDir dir;
    auto t = OpenTable(dir, kTwoBlockTable, "big");
    TSLKExport e;
    e.MakeSumRow = true;
    const QStringList loaded = RunSylk(e, t->query, dir);
    ASSERT_EQ(loaded.last(), "E");
    TADOQuery q(&t->connection);
    q.SQL = "SELECT * FROM big";
    e.ExportFile = dir.path("forward.slk");
    ASSERT_TRUE(e.ExecuteForwardOnly(&q));
    EXPECT_LT(q.RecordCount(), kFetchProgressRows); // only the last block was held
    EXPECT_EQ(e.RecIdx, 70000);
    EXPECT_TRUE(CrLfLines(ReadFile(e.ExportFile)) == loaded);
}

TEST(FloatText, BufferFormMatchesPrintf) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<uint64_t> bits;
    for (int i = 0; i < 20000; ++i) {
        uint64_t b = bits(rng);
        double v;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v)) continue;
        char ref[64];
        std::snprintf(ref, sizeof ref, "%.15G", v);
        std::string r(ref);
        size_t e = r.find('E');
        if (e != std::string::npos) { // the printf form without "+" and leading exponent zeros
            std::string exp = r.substr(e + 2);
            exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
            r = r.substr(0, e + 1) + (r[e + 1] == '-' ? "-" : "") + exp;
        }
        if (r == "-0") r = "0";
        ASSERT_EQ(FloatGeneral15(v), r) << ref;
    }
}
