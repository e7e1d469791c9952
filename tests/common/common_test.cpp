#include "comp_config.h"
#include "exceptions.h"
#include "float_text.h"
#include "messages.h"
#include "program_folder.h"
#include "progress.h"
#include "safe_file.h"
#include "scripted_messages.h"
#include "shell.h"
#include "test_util.h"
#include "text_codec.h"
#include "text_file.h"
#include "zip_archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <new>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(CompConfig, ReservedWordsAndDefaults) {
    const TVemoCompConfig& c = VemoCompConfig();
    QStringList words = c.kDBToolCfg.SQLScript_ReservedKeywords.split(',');
    EXPECT_EQ(words.size(), 180);
    EXPECT_EQ(words.first(), "ADD");
    EXPECT_EQ(words.last(), "WRITETEXT");
    EXPECT_EQ(c.kDBFilterCfg.TableQuoteStart, QChar('['));
    EXPECT_EQ(c.kDBFilterCfg.BooleanString[1], "true");
    EXPECT_EQ(c.kDBGridCfg.FilterConditionMaxItems, 1000);
}

TEST(FloatText, GeneralFormWith15Digits) {
    struct Case {
        double v;
        const char* text;
    } cases[] = {
        {1234.5, "1234.5"},
        {0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {1e-5, "1E-5"},
        {0.0001, "0.0001"},
        {1234567890123456789.0, "1.23456789012346E18"},
        {-2.5e20, "-2.5E20"},
        {100, "100"},
        {123456789012345.0, "123456789012345"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatGeneral15(c.v), c.text) << c.text;

    // Short decimals, values at the edges of the fixed form and arbitrary bit patterns all give
    // printf's %.15G digits ("E+18" written "E18").
    auto printfForm = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15G", v);
        std::string s = buf;
        if (size_t e = s.find('E'); e != std::string::npos) {
            std::string exp = s.substr(e + 1);
            const bool minus = exp[0] == '-';
            exp.erase(0, 1);
            exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
            s = s.substr(0, e + 1) + (minus ? "-" : "") + exp;
        }
        return s;
    };
    std::vector<double> values = {
        1e15,    999999999999999.0,    999999999999999.9,   1e14,   0.0001,
        0.00001, 0.000123456789012345, 9.99999999999999e-5, 5e-324, 1.7976931348623157e308};
    values.insert(values.end(),
                  {99999999999999.99, 999999999999999.5, -1e15, 1e15 - 0.25, 0.0009, 0.1 + 0.2, 1.0005});
    uint64_t bits = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 20000; ++i) {
        bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
        double raw;
        std::memcpy(&raw, &bits, sizeof raw);
        if (std::isfinite(raw)) values.push_back(raw);
        values.push_back(double(int64_t(bits % 2000001) - 1000000) / 100.0);
        values.push_back(double(bits % 1000000) * 1.5 * std::pow(10.0, int(bits % 40) - 20));
        values.push_back(double(bits >> 11) / double(uint64_t(1) << 53));   // 16 and 17 shortest digits
        values.push_back(double(bits % 10000000000000000u) / 1e16);         // 16-digit decimals, ties
        values.push_back(0.9999999999999995 + double(bits % 1000) * 1e-18); // carries into the exponent
        // Whole numbers and decimals of up to five places, up to the edge of the fixed form.
        values.push_back(double(int64_t(bits >> 13) - (int64_t(1) << 50)) / std::pow(10.0, int(bits % 6)));
        values.push_back(double(int64_t(bits % 200001) - 100000) / std::pow(10.0, int(bits % 6)));
        values.push_back(std::nextafter(values.back(), bits & 1 ? 1e300 : -1e300)); // just off a decimal
        values.push_back(std::nextafter(values[values.size() - 4], bits & 2 ? 1e300 : -1e300));
    }
    for (double v : values)
        ASSERT_EQ(FloatGeneral15(v), printfForm(v)) << std::hexfloat << v;

    // The display form is printf's %.15g exactly, zeros, infinities and NaN included.
    values.insert(values.end(), {0.0, -0.0, 1e20, 1e-5, -1e100, HUGE_VAL, -HUGE_VAL, std::nan("")});
    for (double v : values) {
        char want[64], got[kFloatGeneral15Max];
        std::snprintf(want, sizeof want, "%.15g", v);
        ASSERT_EQ(std::string(got, FloatPrintf15To(got, v)), want) << std::hexfloat << v;
    }
}

TEST(Messages, ExceptionBoxAndScriptedAnswers) {
    ScopedScriptedMessages m;
    m.answers.push_back(MsgAnswer::Yes);
    m.inputs.push_back(QString("Sales"));
    ShowException("Error: Cannot export data.", Exception("disk full"));
    EXPECT_EQ(Messages().question("Go?"), MsgAnswer::Yes);
    EXPECT_EQ(Messages().question("Again?", true), MsgAnswer::Cancel); // queue empty
    QString v;
    EXPECT_TRUE(Messages().inputBox("Input", "Enter name of new connection:", v));
    EXPECT_EQ(v, "Sales");
    EXPECT_FALSE(Messages().inputBox("Input", "Again:", v));
    ASSERT_EQ(m.shown.size(), 5u);
    EXPECT_EQ(m.shown[0].kind, "exception");
    EXPECT_EQ(m.shown[0].heading, "Error: Cannot export data.");
    EXPECT_EQ(m.shown[0].text, "Error description:\ndisk full");
    EXPECT_EQ(ExceptionMessage(std::bad_alloc()),
              "Out of memory: the data or file is too large for the memory available.");
}

// Text files are read as written, whatever their encoding, or refused naming the line.
TEST(TextFiles, DecodedAsWrittenOrRefusedNamingTheLine) {
    auto utf16 = [](const QString& text, bool bom = true) {
        QByteArray out = bom ? QByteArray("\xFF\xFE", 2) : QByteArray();
        for (QChar c : text)
            out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        return out;
    };
    struct Case {
        QByteArray bytes;
        QString text;  // when read
        QString error; // else
    } cases[] = {
        {"plain\r\nascii", "plain\r\nascii", ""},
        {"\xEF\xBB\xBFM\xC3\xBCller", "Müller", ""},
        {"M\xFCller", "Müller", ""}, // Latin-1
        {utf16("Žofie 😀"), "Žofie 😀", ""},
        {utf16("no mark", false), "no mark", ""},
        {QByteArray("\xFE\xFF\0A\0B", 6), "AB", ""},
        {"a\nb\n\x93quoted\x94", "",
         "F.txt\", line 3: the text is neither UTF-8 nor Latin-1 (byte 0x93); save it as UTF-8"},
        {QByteArray("a\nb", 3) + '\0' + "c", "", "F.txt\", line 2: the text holds a NUL character"},
        {utf16("a\n") + QByteArray("\x00\xD8x\0", 4), "",
         "F.txt\", line 2: the UTF-16 text holds a lone surrogate"},
        {utf16("a") + "b", "", "F.txt\", line 1: the UTF-16 text ends in half a character"},
        {"\xEF\xBB\xBFok\n\xFF", "", "F.txt\", line 2: the text is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(DecodeTextFile(c.bytes, "F.txt"), c.text) << c.bytes.toHex().toStdString();
            EXPECT_TRUE(c.error.isEmpty()) << c.bytes.toHex().toStdString();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "File \"" + c.error) << c.bytes.toHex().toStdString();
        }
    }
    // A configured 8-bit code page reads what is not UTF-8; a byte it does not define is refused.
    SetSystemCodePage("CP1250");
    EXPECT_EQ(DecodeTextFile("\x8A"
                             "a\x9A",
                             "F.txt"),
              "Šaš");
    EXPECT_EQ(DecodeTextFile("Müller", "F.txt"), "Müller");
    try {
        DecodeTextFile("ok\n\x98", "F.txt");
        ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(
            e.Message,
            "File \"F.txt\", line 2: the text is neither UTF-8 nor CP1250 (byte 0x98); save it as UTF-8");
    }
    SetSystemCodePage("UTF-8");
}

TEST(TextCodec, StrictRaisesLenientReplaces) {
    struct Case {
        const char* encoding;
        QString text;
        QByteArray bytes;   // the text encoded
        const char* strict; // the strict error, or nullptr
        QByteArray lenient; // what the lenient codec writes
    } cases[] = {
        {"CP1250", "Šaš",
         "\x8A"
         "a\x9A",
         nullptr,
         "\x8A"
         "a\x9A"},
        {"ISO-8859-2", "Ša€b", "", "The character U+20AC cannot be written in the encoding ISO-8859-2.",
         "\xA9"
         "a?b"},
        {"ISO-8859-1", "a\U0001F600b", "",
         "The character U+1F600 cannot be written in the encoding ISO-8859-1.", "a?b"},
    };
    for (const Case& c : cases) {
        const QByteArray utf8 = c.text.toUtf8();
        std::string out;
        try {
            TextCodec(c.encoding, TextCodec::Mode::Strict)
                .encode(std::string_view(utf8.data(), size_t(utf8.size())), out);
            EXPECT_EQ(c.strict, nullptr) << c.encoding;
            EXPECT_EQ(QByteArray::fromStdString(out), c.bytes) << c.encoding;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.strict ? c.strict : "") << c.encoding;
        }
        EXPECT_EQ(TextCodec(c.encoding, TextCodec::Mode::Lenient).encode(c.text), c.lenient) << c.encoding;
    }
    // Decoding: strict stops at a byte the code page does not define, lenient writes "?" for it.
    std::string utf8;
    EXPECT_EQ(TextCodec("CP1250").decode(std::string_view("ok\x98x"), utf8), 2u);
    EXPECT_EQ(utf8, "ok");
    EXPECT_EQ(TextCodec("CP1250").validLength("ok\x98x"), 2u);
    EXPECT_EQ(TextCodec("CP1250").validLength("\x8A"
                                              "a"),
              2u);
    EXPECT_EQ(TextCodec("CP1250", TextCodec::Mode::Lenient).decode(QByteArrayView("ok\x98\x8A")), "ok?Š");
    try {
        TextCodec("no-such-code-page");
        ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Unknown text encoding \"no-such-code-page\".");
    }
}

TEST(TextCodec, ByteOrderMarks) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"\xEF\xBB\xBFx", "UTF-8"}, {"\xFF\xFEx\0", "UTF-16LE"}, {"\xFE\xFF\0x", "UTF-16BE"}, {"x", ""},
        {"\xEF\xBB", ""},
    };
    for (const auto& [bytes, name] : cases) {
        int size = -1;
        EXPECT_EQ(BomEncoding(bytes, size), name) << bytes.toHex().toStdString();
        EXPECT_EQ(size, name.isEmpty() ? 0 : name == "UTF-8" ? 3 : 2);
        if (!name.isEmpty()) {
            EXPECT_TRUE(bytes.startsWith(BomOf(name)));
        }
    }
    EXPECT_EQ(BomOf("CP1250"), QByteArray());
}

// Parts no real document has are refused before anything is allocated for them.
TEST(ZipArchive, OversizedAndOverInflatingEntriesAreRefused) {
    TempDir dir;
    const QString path = dir.path("p.zip");
    QByteArray text;
    for (int i = 0; text.size() < (4 << 20); ++i)
        text += QByteArray::number(i * 7919) + ' ';
    {
        TZipArchive z;
        z.open(path, true);
        z.write("text.xml", text);
        z.write("zeros.xml", QByteArray(8 << 20, '\0'));
        z.write("claims.xml", "small");
        z.close(true);
    }
    // Make the central directory claim 4 GB for the last entry.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype central = bytes.lastIndexOf("PK\x01\x02");
    ASSERT_GT(central, 0);
    bytes.replace(central + 24, 4, QByteArray("\xF0\xFF\xFF\xFF", 4));
    f.seek(0);
    f.write(bytes);
    f.close();

    TZipArchive z;
    z.open(path);
    EXPECT_EQ(z.read("text.xml"), text);
    const struct {
        const char* entry;
        const char* error;
    } cases[] = {
        {"zeros.xml", "inflates more than 1000 times"},
        {"claims.xml", "is larger than 256 MB"},
    };
    for (const auto& c : cases) {
        try {
            z.read(c.entry);
            ADD_FAILURE() << c.entry;
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message.contains(c.error)) << e.what();
            EXPECT_TRUE(e.Message.contains(c.entry) && e.Message.contains(path)) << e.what();
        }
    }
}

TEST(ActionAfter, OpenAndPrintFailuresAsk) {
    ScopedScriptedMessages m;
    QStringList calls;
    bool printWorks = false;
    SetShellHandler([&](ShellVerb verb, const QString& path) {
        calls << (verb == ShellVerb::Open ? "open " : "print ") + path;
        return verb == ShellVerb::Open || printWorks;
    });
    EXPECT_TRUE(DoActionAfter("/tmp/a.rtf", aaNone));
    EXPECT_TRUE(DoActionAfter("/tmp/a.rtf", aaShow));
    m.answers.push_back(MsgAnswer::Yes);
    EXPECT_TRUE(DoActionAfter("/tmp/a.rtf", aaPrint)); // print fails, user opens it instead
    EXPECT_EQ(calls, QStringList({"open /tmp/a.rtf", "print /tmp/a.rtf", "open /tmp/a.rtf"}));
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.shown[0].heading, "Cannot print file \"/tmp/a.rtf\".");
    EXPECT_EQ(m.shown[0].text, "Open file \"/tmp/a.rtf\"?");
    SetShellHandler([](ShellVerb, const QString&) { return false; });
    EXPECT_FALSE(DoActionAfter("/tmp/b.rtf", aaShow));
    EXPECT_EQ(m.shown.back().text, "Cannot open file \"/tmp/b.rtf\".");
    SetShellHandler(nullptr);
}

TEST(Progress, PercentIsRounded) {
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 67);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
}

TEST(SafeFile, ReplacesRegularFilesKeepingModeAndLinks) {
    TempDir dir;
    const mode_t oldMask = umask(027);
    struct Case {
        const char* what;
        QString old; // the existing file, or null for a new one
        unsigned oldMode;
        QString link;  // written through this link when not empty
        unsigned mode; // of the result
    } cases[] = {
        {"new file: the umask's mode", QString(), 0, QString(), 0640},
        {"existing file keeps its mode", "old", 0604, QString(), 0604},
        {"through a link to a file", "old", 0600, "link", 0600},
        {"through a link to a new file", QString(), 0, "newlink", 0640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString target = dir.path(QStringLiteral("t%1").arg(&c - cases));
        if (!c.old.isNull()) {
            WriteFile(target, c.old.toUtf8());
            ASSERT_EQ(chmod(QFile::encodeName(target).constData(), c.oldMode), 0);
        }
        QString path = target;
        if (!c.link.isEmpty()) {
            path = dir.path(c.link);
            ASSERT_TRUE(QFile::link(target, path));
        }
        {
            SafeFile f(path);
            f.write("new ");
            f.write("content");
            EXPECT_EQ(ReadFile(target), c.old.isNull() ? QByteArray() : c.old.toUtf8()); // not yet
            f.commit();
        }
        EXPECT_EQ(ReadFile(target), "new content");
        EXPECT_EQ(FileMode(target), c.mode);
        if (!c.link.isEmpty()) EXPECT_TRUE(QFileInfo(path).isSymLink());
    }
    umask(oldMask);
    EXPECT_EQ(FolderNames(dir.path()).filter(".tabulo").size(), 0);
}

TEST(SafeFile, FailuresLeaveTargetAndNoTemporary) {
    TempDir dir;
    const QString path = dir.path("keep.txt");
    WriteFile(path, "old");
    { // not committed: as if the run failed or was aborted
        SafeFile f(path);
        f.write("half");
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(FolderNames(dir.path()), QStringList({"keep.txt"}));

    WriteFile(dir.path("ro.txt"), "read-only");
    chmod(QFile::encodeName(dir.path("ro.txt")).constData(), 0444);
    QDir().mkdir(dir.path("folder"));
    struct Case {
        QString path;
        QString message;
    } cases[] = {
        {dir.path("ro.txt"), "Cannot write file \"" + dir.path("ro.txt") + "\": the file is read-only."},
        {dir.path("folder"), "Cannot create file \"" + dir.path("folder") + "\": Is a directory."},
        {dir.path("no/such/x.txt"),
         "Cannot create file \"" + dir.path("no/such/x.txt") + "\": No such file or directory."},
        {"/dev/full", "Cannot write file \"/dev/full\": No space left on device."},
    };
    for (const Case& c : cases) {
        try {
            SafeFile f(c.path);
            f.write("x");
            f.commit();
            ADD_FAILURE() << c.path.toStdString() << ": no error";
        } catch (const FileWriteError& e) {
            EXPECT_EQ(e.Message, c.message);
        }
    }
    EXPECT_EQ(ReadFile(dir.path("ro.txt")), "read-only");
    EXPECT_EQ(FolderNames(dir.path()), QStringList({"folder", "keep.txt", "ro.txt"}));
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)); // written in place, never replaced
}

TEST(SafeFile, PipesAndDevicesAreWrittenInPlace) {
    TempDir dir;
    const QString fifo = dir.path("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess reader;
    reader.start("cat", {fifo});
    ASSERT_TRUE(reader.waitForStarted());
    {
        SafeFile f(fifo);
        EXPECT_FALSE(f.replacesFile());
        f.write("through the pipe");
        f.commit();
    }
    ASSERT_TRUE(reader.waitForFinished());
    EXPECT_EQ(reader.readAllStandardOutput(), "through the pipe");
    struct stat st;
    ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A work file for a library (a zip package) is copied into the pipe on commit.
    reader.start("cat", {fifo});
    ASSERT_TRUE(reader.waitForStarted());
    {
        SafeFile f(fifo, SafeFile::WorkFile);
        f.write("start");
        const QString work = f.workFile();
        EXPECT_TRUE(QFileInfo(work).isFile());
        WriteFile(work + ".new", "rewritten by the library");
        ASSERT_EQ(rename(QFile::encodeName(work + ".new").constData(), QFile::encodeName(work).constData()),
                  0);
        f.commit();
        EXPECT_FALSE(QFileInfo::exists(work));
    }
    ASSERT_TRUE(reader.waitForFinished());
    EXPECT_EQ(reader.readAllStandardOutput(), "rewritten by the library");
}

TEST(SafeFile, WorkFileMayBeReplacedByItsLibrary) {
    TempDir dir;
    const QString path = dir.path("r.docx");
    WriteFile(path, "old");
    chmod(QFile::encodeName(path).constData(), 0640);
    SafeFile f(path, SafeFile::WorkFile);
    f.write("template");
    const QString work = f.workFile();
    EXPECT_EQ(ReadFile(work), "template");
    // The library writes its own temporary file and renames it over the work file (mode 0600).
    const QString libTemp = work + ".Ab12Cd";
    WriteFile(libTemp, "package");
    chmod(QFile::encodeName(libTemp).constData(), 0600);
    ASSERT_EQ(rename(QFile::encodeName(libTemp).constData(), QFile::encodeName(work).constData()), 0);
    f.commit();
    EXPECT_EQ(ReadFile(path), "package");
    EXPECT_EQ(FileMode(path), 0640u);
    EXPECT_EQ(FolderNames(dir.path()), QStringList({"r.docx"}));
}

TEST(SafeFile, StaleTemporariesOfEndedRunsAreRemoved) {
    TempDir dir;
    // A process that has ended: its pid is free (until reused, when its files are simply kept).
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const QString dead = QString::number(child);
    const QString live = QString::number(getppid());
    const QStringList left = {".tabulo-save-" + dead + "-aB3dE9", ".tabulo-save-" + dead + "-aB3dE9.x1Y2z3",
                              ".tabulo-report-Qw3rTy"}; // an earlier version's, without a process id
    const QStringList kept = {".tabulo-save-" + live + "-aB3dE9", ".tabulo-save-" + dead + "-short",
                              ".tabulo-save-x-aB3dE9", ".tabulo-report-notours.txt", "other.txt"};
    for (const QString& n : left + kept)
        WriteFile(dir.path(n), "x");
    SafeFile f(dir.path("out.txt"));
    f.write("new");
    f.commit();
    QStringList expected = kept;
    expected << "out.txt";
    expected.sort();
    EXPECT_EQ(FolderNames(dir.path()), expected);
}

TEST(SafeFile, OpenFilesAreNeverWrittenOver) {
    TempDir dir;
    const QString db = dir.path("data.sqlite");
    WriteFile(db, "database");
    ASSERT_TRUE(QFile::link(db, dir.path("alias")));
    RegisterOpenFile(db, "the open database \"data.sqlite\"");
    RegisterOpenFile(db + "-wal", "a journal of the open database \"data.sqlite\"");
    for (const QString& path : {db, dir.path("alias"), dir.path("./data.sqlite"), db + "-wal"}) {
        try {
            SafeFile::Check(path);
            ADD_FAILURE() << path.toStdString() << ": no error";
        } catch (const FileWriteError& e) {
            EXPECT_TRUE(e.Message.startsWith("Cannot write file \"" + path + "\": it is "))
                << e.Message.toStdString();
        }
        EXPECT_THROW(SafeFile{path}, FileWriteError);
    }
    EXPECT_TRUE(SameFile(db, dir.path("alias")));
    EXPECT_FALSE(SameFile(db, db + "-wal"));
    UnregisterOpenFile(db);
    UnregisterOpenFile(db + "-wal");
    EXPECT_NO_THROW(SafeFile::Check(db));
    EXPECT_EQ(ReadFile(db), "database");
}

// The installed resources seed the user's data folder: missing files arrive, the user's own versions
// and removals are kept, and files new in a later version still arrive.
TEST(ProgramFolder, SeedingKeepsWhatTheUserChanged) {
    TempDir dir;
    const QString share = dir.path("share"), user = dir.path("user");
    QDir().mkpath(share + "/Connections");
    QDir().mkpath(share + "/udl_import");
    WriteFile(share + "/demo.sqlite", "db");
    WriteFile(share + "/Connections/Demo.udl", "udl");
    WriteFile(share + "/udl_import/Text_csv.udl", "csv");
    QFile::setPermissions(share + "/demo.sqlite", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    ASSERT_TRUE(SeedFolder(share, user));
    EXPECT_EQ(ReadFile(user + "/demo.sqlite"), "db");
    EXPECT_EQ(ReadFile(user + "/Connections/Demo.udl"), "udl");
    EXPECT_EQ(ReadFile(user + "/udl_import/Text_csv.udl"), "csv");
    EXPECT_TRUE(QFileInfo(user + "/demo.sqlite").isWritable());

    WriteFile(user + "/Connections/Demo.udl", "changed");
    QFile::remove(user + "/udl_import/Text_csv.udl");
    WriteFile(share + "/Connections/Demo.udl", "udl v2");
    WriteFile(share + "/udl_import/Calc_ods.udl", "ods");
    ASSERT_TRUE(SeedFolder(share, user));
    EXPECT_EQ(ReadFile(user + "/Connections/Demo.udl"), "changed");
    EXPECT_FALSE(QFileInfo::exists(user + "/udl_import/Text_csv.udl"));
    EXPECT_EQ(ReadFile(user + "/udl_import/Calc_ods.udl"), "ods");

    // A file the user made before the first start is the user's, never replaced.
    const QString other = dir.path("other");
    QDir().mkpath(other);
    WriteFile(other + "/demo.sqlite", "mine");
    ASSERT_TRUE(SeedFolder(share, other));
    EXPECT_EQ(ReadFile(other + "/demo.sqlite"), "mine");
    EXPECT_FALSE(SeedFolder(dir.path("missing"), dir.path("none")));
}
