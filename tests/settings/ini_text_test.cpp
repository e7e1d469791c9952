// The in-memory INI: reading rules, order of writing, case-insensitive look-ups.
#include "mem_ini_file.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace {

QString Normalised(const QString& input) {
    TMemIniFileEx ini;
    ini.SetContentAsString(input);
    return ini.GetContentAsString();
}

struct ParseCase {
    const char* name;
    const char* input;
    const char* written;
};

class IniParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(IniParse, ReadsAndWritesBack) {
    EXPECT_EQ(Normalised(QString::fromUtf8(GetParam().input)), QString::fromUtf8(GetParam().written));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniParse,
    ::testing::Values(
        ParseCase{"BlanksTrimmed", "  [ Sec ]  \n  key  =  some value  \n",
                  "[Sec]\r\nkey=some value\r\n\r\n"},
        ParseCase{"CommentsAndEmptyLinesSkipped", "[S]\n; note\n\n\na=1\n", "[S]\r\na=1\r\n\r\n"},
        ParseCase{"LinesBeforeFirstSectionIgnored", "a=1\nloose\n[S]\nb=2\n", "[S]\r\nb=2\r\n\r\n"},
        ParseCase{"KeyWithoutValueStays", "[S]\nflag\nb=2\n", "[S]\r\nflag\r\nb=2\r\n\r\n"},
        ParseCase{"EmptyValue", "[S]\na=\n", "[S]\r\na=\r\n\r\n"},
        ParseCase{"ValueKeepsInnerEquals", "[S]\nsql=a = b\n", "[S]\r\nsql=a = b\r\n\r\n"},
        ParseCase{"AnyLineBreak", "[S]\r\na=1\rb=2\nc=3\r\n", "[S]\r\na=1\r\nb=2\r\nc=3\r\n\r\n"},
        ParseCase{"RepeatedSectionContinuesFirst", "[S]\na=1\n[T]\nx=0\n[s]\nb=2\n",
                  "[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\nx=0\r\n\r\n"},
        ParseCase{"RepeatedKeyKeepsFirst", "[S]\na=1\nA=2\n", "[S]\r\na=1\r\n\r\n"},
        ParseCase{"EmptyInput", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniText, LookupsIgnoreCaseAndKeepFirstSpelling) {
    TMemIniFileEx ini;
    ini.SetContentAsString(QStringLiteral("[Main_XY]\nLeft=10\n[Straße]\nKey=1\n"));
    EXPECT_EQ(ini.ReadString("main_xy", "LEFT", "?"), "10");
    EXPECT_EQ(ini.ReadString(QStringLiteral("STRAßE"), "KEY", "?"), "1");
    EXPECT_EQ(ini.ReadString(QStringLiteral("ŽLUŤOUČKÝ"), "k", "?"), "?");
    ini.WriteString("MAIN_XY", "left", "20");
    EXPECT_EQ(ini.GetStrings().mid(0, 2), QStringList({"[Main_XY]", "Left=20"}));
}

TEST(IniText, NewKeysAndSectionsGoToTheEndChangedKeysStay) {
    TMemIniFileEx ini;
    ini.SetContentAsString(QStringLiteral("[A]\nx=1\ny=2\n[B]\nz=3\n"));
    ini.WriteString("A", "x", "9");
    ini.WriteString("A", "new", "n");
    ini.WriteString("C", "k", "v");
    EXPECT_EQ(ini.GetContentAsString(),
              "[A]\r\nx=9\r\ny=2\r\nnew=n\r\n\r\n[B]\r\nz=3\r\n\r\n[C]\r\nk=v\r\n\r\n");
}

TEST(IniText, DeletesKeepOrderAcrossCompaction) {
    TMemIniFileEx ini;
    for (int i = 0; i < 2000; ++i)
        ini.WriteString("S", QStringLiteral("K%1").arg(i), QString::number(i));
    for (int i = 0; i < 2000; i += 2)
        ini.DeleteKey("s", QStringLiteral("k%1").arg(i));
    ini.WriteString("S", "K1", "changed");
    ini.WriteString("S", "K0", "again");
    QStringList keys = ini.ReadSection("S");
    ASSERT_EQ(keys.size(), 1001);
    EXPECT_EQ(keys.first(), "K1");
    EXPECT_EQ(keys[998], "K1997");
    EXPECT_EQ(keys.last(), "K0");
    EXPECT_EQ(ini.ReadString("S", "k1", ""), "changed");
    EXPECT_EQ(ini.ReadString("S", "k1999", ""), "1999");
    EXPECT_FALSE(ini.ValueExists("S", "K2"));

    for (int i = 0; i < 100; ++i)
        ini.WriteString(QStringLiteral("Col%1").arg(i), "W", "1");
    for (int i = 0; i < 90; ++i)
        ini.EraseSection(QStringLiteral("col%1").arg(i));
    EXPECT_EQ(ini.ReadSections(), QStringList({"S", "Col90", "Col91", "Col92", "Col93", "Col94", "Col95",
                                               "Col96", "Col97", "Col98", "Col99"}));
}

} // namespace
