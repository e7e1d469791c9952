#include "comp_config.h"
#include "exceptions.h"
#include "float_text.h"
#include "messages.h"
#include "progress.h"
#include "scripted_messages.h"
#include "shell.h"
#include "test_util.h"
#include "text_file.h"
#include "zip_archive.h"

#include <QFile>
#include <gtest/gtest.h>
#include <new>

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
