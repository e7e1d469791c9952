// Typed values, string lists, fonts and the value events of the settings store (in memory).
#include "comp_config.h"
#include "ini_values.h"
#include "program_folder.h"
#include "prop_save_file.h"
#include "test_util.h"

#include <QFontInfo>
#include <gtest/gtest.h>

namespace {

// A store on content supplied in memory, so nothing touches a file.
class MemoryStore : public TPropSaveFile {
public:
    MemoryStore() {
        OnLoadContent = [](TPropSaveFile*) {};
        OnSaveContent = [](TPropSaveFile*) {};
        Loaded();
    }
    QString Raw(const QString& section, const QString& key) {
        return Content().ReadString(section, key, "<none>");
    }
};

struct ValueCase {
    const char* name;
    QVariant written;
    const char* stored;
    QVariant def;
    QVariant read;
};

class StoreValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(StoreValue, StoresAndReadsBack) {
    const ValueCase& c = GetParam();
    MemoryStore store;
    store.WriteVariant("S", "V", c.written);
    if (c.stored) EXPECT_EQ(store.Raw("S", "V"), QString::fromUtf8(c.stored));
    EXPECT_EQ(store.ReadVariant("S", "V", c.def), c.read);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StoreValue,
    ::testing::Values(ValueCase{"Tab", QStringLiteral("a\tb"), "a_#9_b", QString(), QStringLiteral("a\tb")},
                      ValueCase{"LineBreaks", QStringLiteral("SELECT *\r\nFROM t\nWHERE\r1"),
                                "SELECT *_#13__#10_FROM t_#10_WHERE_#13_1", QString(),
                                QStringLiteral("SELECT *\r\nFROM t\nWHERE\r1")},
                      ValueCase{"SectionLikeText", QStringLiteral("x\n[Other]\ny=1"), "x_#10_[Other]_#10_y=1",
                                QString(), QStringLiteral("x\n[Other]\ny=1")},
                      ValueCase{"Integer", 42, "42", 0, 42}, ValueCase{"Negative", -7, "-7", 0, -7},
                      ValueCase{"Int64", qlonglong(1) << 40, "1099511627776", qlonglong(0),
                                qlonglong(1) << 40},
                      ValueCase{"HexRead", QStringLiteral("0x1F"), "0x1F", 5, 31},
                      ValueCase{"NoNumberGivesDefault", QStringLiteral("abc"), "abc", 5, 5},
                      ValueCase{"TooLargeForIntGivesDefault", qlonglong(1) << 40, "1099511627776", 5, 5},
                      ValueCase{"BoolTrue", true, "1", false, true},
                      ValueCase{"BoolFalse", false, "0", true, false},
                      ValueCase{"BoolAnyNonZero", 7, "7", false, true},
                      ValueCase{"BoolNoNumberGivesDefault", QStringLiteral("yes"), "yes", true, true},
                      ValueCase{"Float", 1.25, "1.25", 0.0, 1.25},
                      ValueCase{"DateTime", QDateTime(QDate(1925, 3, 4), QTime(13, 5, 6)), nullptr,
                                QDateTime(), QDateTime(QDate(1925, 3, 4), QTime(13, 5, 6))},
                      ValueCase{"DateWholeDay", QDate(2024, 2, 29), nullptr, QDate(), QDate(2024, 2, 29)},
                      ValueCase{"BadDateGivesDefault", QStringLiteral("32 Foo"), "32 Foo", QDate(2000, 1, 1),
                                QDate(2000, 1, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

// The stored form of date-times follows the user's locale; only the round trip is fixed.
TEST(StoreValueForm, DateTimeCarriesFourDigitYear) {
    MemoryStore store;
    store.WriteDateTime("S", "D", QDateTime(QDate(1925, 3, 4), QTime(13, 5, 6)));
    EXPECT_TRUE(store.Raw("S", "D").contains("1925")) << store.Raw("S", "D").toStdString();
    EXPECT_TRUE(store.Raw("S", "D").contains("13:05:06")) << store.Raw("S", "D").toStdString();
}

TEST(StoreValueForm, NullDeletesKeyAndDefaultReturns) {
    MemoryStore store;
    EXPECT_EQ(store.ReadInteger("S", "Count", 5), 5);
    store.WriteInteger("S", "Count", 7);
    EXPECT_EQ(store.ReadInteger("S", "Count", 5), 7);
    store.WriteVariant("S", "Count", QVariant());
    EXPECT_EQ(store.ReadInteger("S", "Count", 5), 5);
    EXPECT_FALSE(store.ValueExists("S", "Count"));
}

TEST(StoreValueForm, EventsChangeValuesBothWays) {
    MemoryStore store;
    QStringList seen;
    store.OnWriteValue = [&](const QString& s, const QString& k, QVariant& v) {
        seen << s + "." + k;
        if (k == "Secret") v = QVariant(); // dropped before writing
        if (k == "Name") v = v.toString().toUpper();
    };
    store.OnReadValue = [](const QString&, const QString& k, QVariant& v) {
        if (k == "Name" || k == "Missing") v = v.toString() + "!";
    };
    store.WriteString("S", "Name", "abc");
    store.WriteString("S", "Secret", "pw");
    EXPECT_EQ(seen, QStringList({"S.Name", "S.Secret"}));
    EXPECT_FALSE(store.ValueExists("S", "Secret"));
    EXPECT_EQ(store.ReadString("S", "Name"), "ABC!");
    EXPECT_EQ(store.ReadString("S", "Missing", "d"), "d!");
}

TEST(StoreStrings, LayoutReadAndMissingCount) {
    MemoryStore store;
    store.WriteStrings("L", {"one", "two\tTAB", ""});
    EXPECT_EQ(store.Content().ReadSection("L"), QStringList({"ItemsCount", "Item0", "Item1", "Item2"}));
    EXPECT_EQ(store.Raw("L", "ItemsCount"), "3");
    EXPECT_EQ(store.Raw("L", "Item1"), "two_#9_TAB");

    QStringList list{"stale"};
    EXPECT_TRUE(store.ReadStrings("L", list));
    EXPECT_EQ(list, QStringList({"one", "two\tTAB", ""}));

    QStringList untouched{"keep"};
    store.WriteString("NoCount", "Item0", "x");
    EXPECT_FALSE(store.ReadStrings("NoCount", untouched));
    EXPECT_EQ(untouched, QStringList({"keep"}));

    store.WriteStrings("L", {"only"}); // a shorter list leaves no stale items behind
    EXPECT_EQ(store.Content().ReadSection("L"), QStringList({"ItemsCount", "Item0"}));
    store.DeleteStrings("L");
    EXPECT_FALSE(store.SectionExists("L") && store.Content().KeyCount("L") > 0);
}

TEST(StoreStrings, DamagedCountDoesNotExplode) {
    MemoryStore store;
    store.SetStrings({"[L]", "ItemsCount=2000000000", "Item0=a", "Item2=c", "[N]", "ItemsCount=-4"});
    QStringList list;
    ASSERT_TRUE(store.ReadStrings("L", list));
    EXPECT_EQ(list, QStringList({"a", "", "c"}));
    ASSERT_TRUE(store.ReadStrings("N", list));
    EXPECT_TRUE(list.isEmpty());
}

TEST(StoreFont, KeysAndScaleRatio) {
    MemoryStore store;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    font.setBold(true);
    font.setStrikeOut(true);
    store.WriteFont("F", font, 1.0, QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(store.Content().ReadSection("F"),
              QStringList({"FontCharset", "FontColor", "FontName", "FontHeight", "FontSize", "FontStyle"}));
    EXPECT_EQ(store.Raw("F", "FontColor"), QString::number(0x332211));
    EXPECT_EQ(store.Raw("F", "FontHeight"), "13");
    EXPECT_EQ(store.Raw("F", "FontStyle"), "9");

    QFont back;
    QColor color;
    store.ReadFont("F", back, 1.25, &color);
    EXPECT_EQ(back.pixelSize(), 16); // 13 * 1.25 = 16.25
    EXPECT_EQ(back.family(), "DejaVu Sans");
    EXPECT_TRUE(back.bold());
    EXPECT_FALSE(back.italic());
    EXPECT_TRUE(back.strikeOut());
    EXPECT_EQ(color, QColor(0x11, 0x22, 0x33));

    store.WriteFont("G", font, 2.0);              // written scaled down
    EXPECT_EQ(store.Raw("G", "FontHeight"), "7"); // 6.5 rounds away from zero

    store.DeleteKey("F", "FontHeight"); // without a height the point size is used
    QFont bySize;
    store.ReadFont("F", bySize, 1.0);
    EXPECT_EQ(bySize.pointSize(), store.ReadInteger("F", "FontSize", 0));

    store.DeleteFont("F");
    EXPECT_EQ(store.Content().KeyCount("F"), 0);
}

TEST(StoreGlobal, DefaultStoreFollowsFlagAndDestruction) {
    {
        MemoryStore store;
        store.SetUseAsGlobalFile(true);
        EXPECT_EQ(VemoCompConfig().Global_PropSaveFile, &store);
    }
    EXPECT_EQ(VemoCompConfig().Global_PropSaveFile, nullptr);
}

TEST(StoreColor, BgrOrder) {
    EXPECT_EQ(ColorToBgr(QColor(255, 0, 0)), 0x0000FF);
    EXPECT_EQ(BgrToColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(ColorToBgr(QColor()), kNoColor);
    EXPECT_FALSE(BgrToColor(kNoColor).isValid());
}

} // namespace
