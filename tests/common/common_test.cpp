#include "comp_config.h"
#include "exceptions.h"
#include "float_text.h"
#include "messages.h"
#include "progress.h"
#include "scripted_messages.h"
#include "shell.h"

#include <gtest/gtest.h>

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
