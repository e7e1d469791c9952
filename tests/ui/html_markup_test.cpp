// The markup without a screen: preparation, tags and the layout of visual lines, measured with
// fixed metrics (6 px a character, 8 px bold, one more pixel per point above 10 pt; a line is the
// point size + 4 px high with the point size as ascent).
#include "html_layout.h"
#include "html_prepare.h"
#include "html_tokens.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

class FixedMetrics : public IHtmlMetrics {
public:
    int width(const QFont& f, const QString& text) const override {
        return int(text.size()) * ((f.bold() ? 8 : 6) + (f.pointSize() - 10));
    }
    int height(const QFont& f) const override { return f.pointSize() + 4; }
    int ascent(const QFont& f) const override { return f.pointSize(); }
};

QFont baseFont() {
    QFont f(QStringLiteral("Sans"));
    f.setPointSize(10);
    return f;
}

QString flagsOf(const HtmlPiece& p) {
    QString f;
    if (p.font.bold()) f += 'b';
    if (p.font.italic()) f += 'i';
    if (p.font.underline()) f += 'u';
    if (p.font.pointSize() != 10) f += QString::asprintf("%+d", p.font.pointSize() - 10);
    if (p.ink == HtmlInk::Tag) f += 'c' + p.color.name();
    if (p.ink == HtmlInk::Link) f += 'L' + QString::number(p.anchor);
    if (p.background.isValid()) f += "bg" + p.background.name();
    return f.isEmpty() ? QString() : '{' + f + '}';
}

// "@top x:text{flags}|x:text / @top ..." for every visual line.
QString describe(const HtmlLayout& layout) {
    QStringList lines;
    for (const HtmlVisualLine& line : layout.lines) {
        QStringList pieces;
        for (const HtmlPiece& p : line.pieces)
            pieces << QString::number(p.rect.left()) + ':' + p.text + flagsOf(p);
        lines << '@' + QString::number(line.rect.top()) + ' ' + pieces.join('|');
    }
    return lines.join(QStringLiteral(" / "));
}

QString describeAnchors(const HtmlLayout& layout) {
    QStringList out;
    for (const TAnchorInfo& a : layout.anchors)
        out << a.LinkType + '=' + a.LinkName;
    return out.join(',');
}

HtmlLayout layOut(const QString& prepared, int width = 1000, bool wrap = false,
                  Qt::Alignment align = Qt::AlignLeft, int innerSpace = 0) {
    HtmlLayoutOptions o;
    o.rect = QRect(0, 0, width, 200);
    o.font = baseFont();
    o.wordWrap = wrap;
    o.alignment = align;
    o.innerSpace = innerSpace;
    return LayoutHtml(prepared, o, FixedMetrics());
}

struct MarkupCase {
    const char* name;
    QString text; // lines separated by "\r\n", as the caption lines are joined
    QString prepared;
    QString pieces;
    QString anchors;
    bool designing = false;
};

class MarkupTable : public testing::TestWithParam<MarkupCase> {};

TEST_P(MarkupTable, PreparesAndLaysOut) {
    const MarkupCase& c = GetParam();
    HtmlPrepareOptions o;
    o.designing = c.designing;
    const HtmlPrepared p = PrepareHtmlText(c.text.split(QStringLiteral("\r\n")), QString(), o);
    EXPECT_EQ(p.text, c.prepared);
    const HtmlLayout layout = layOut(p.text);
    EXPECT_EQ(describe(layout), c.pieces);
    EXPECT_EQ(describeAnchors(layout), c.anchors);
}

const MarkupCase kMarkupCases[] = {
    {"Bold", "<B>Word</B> rest", "<B>Word</B> rest", "@1 1:Word{b}|33: rest", ""},
    {"BoldLowerCase", "<b>Word</b> rest", "<b>Word</b> rest", "@1 1:Word{b}|33: rest", ""},
    {"ItalicUnderline", "<I>i</I><U>u</U>", "<I>i</I><U>u</U>", "@1 1:i{i}|7:u{u}", ""},
    // </BIG> goes back to the label's size at once, not to the previous size.
    {"TwoBigsOneEnd", "<BIG>a<BIG>b</BIG>c", "<BIG>a<BIG>b</BIG>c", "@1 1:a{+2}|9:b{+4}|19:c", ""},
    {"Small", "<SMALL>s</SMALL>t", "<SMALL>s</SMALL>t", "@1 1:s{-2}|5:t", ""},
    {"ColorHex", "<COLOR=#FF0000>r</COLOR>n", "<COLOR=#FF0000>r</COLOR>n", "@1 1:r{c#ff0000}|7:n", ""},
    {"ColorName", "<color=Red>r</color>n", "<color=Red>r</color>n", "@1 1:r{c#ff0000}|7:n", ""},
    {"ColorUnknownName", "<COLOR=Reddish>r</COLOR>n", "<COLOR=Reddish>r</COLOR>n", "@1 1:r|7:n", ""},
    {"ColorUnreadableHex", "<COLOR=#GG0000>k", "<COLOR=#GG0000>k", "@1 1:k{c#000000}", ""},
    {"FontColor", "<FONT COLOR=#00ff00>g</FONT>x", "<FONT COLOR=#00ff00>g</FONT>x", "@1 1:g{c#00ff00}|7:x",
     ""},
    {"BgColor", "<BGCOLOR=Yellow>y</BGCOLOR>z", "<BGCOLOR=Yellow>y</BGCOLOR>z", "@1 1:y{bg#ffff00}|7:z", ""},
    {"TabCharacter", "a\tb", "a<TAB>b", "@1 1:a|30:b", ""},
    {"TabTag", "a<TAB>b<tab>c", "a<TAB>b<tab>c", "@1 1:a|30:b|60:c", ""},
    {"EmptyLineKeepsHeight", "one\r\n\r\ntwo", "one\r \rtwo", "@1 1:one / @15 1:  / @29 1:two", ""},
    {"LeadingEmptyLine", "\r\nx", " \rx", "@1 1:  / @15 1:x", ""},
    {"BrBreaksLine", "a<br>b", "a\rb", "@1 1:a / @15 1:b", ""},
    {"ParameterWithoutHandler", "Hi <VAR>User</VAR>!", "Hi !", "@1 1:Hi !", ""},
    {"ParameterAtDesignTime", "Hi <VAR>User</VAR>!", "Hi [User]!", "@1 1:Hi [User]!", "", true},
    {"UnclosedParameterStays", "Hi <VAR>User", "Hi <VAR>User", "@1 1:Hi <VAR>User", ""},
    {"LinkHref", "<A HREF=readme.txt>Read</A>", "<A HREF=readme.txt>Read</A>", "@1 1:Read{uL0}",
     "HREF=readme.txt"},
    {"LinkName", "<A NAME=Del>Delete</A> history", "<A NAME=Del>Delete</A> history",
     "@1 1:Delete{uL0}|37: history", "NAME=Del"},
    {"LinkNameMixedCase", "<A Name = Default >Set</A>", "<A Name = Default >Set</A>", "@1 1:Set{uL0}",
     "NAME=Default"},
    {"LinkWithoutEquals", "<A  go there >x</A>", "<A  go there >x</A>", "@1 1:x{uL0}", "=go there"},
    {"LinkQuotedName", "<A HREF=\"http://a.b/\">x</A>", "<A HREF=\"http://a.b/\">x</A>", "@1 1:x{uL0}",
     "HREF=http://a.b/"},
    // A new link closes the open one; the font comes back as it was before the first.
    {"LinkClosesOpenLink", "<A a>1<A b>2</A>3", "<A a>1<A b>2</A>3", "@1 1:1{uL0}|7:2{uL1}|13:3", "=a,=b"},
    {"LinkEndRestoresFont", "<A x><B>a</A>b", "<A x><B>a</A>b", "@1 1:a{buL0}|9:b", "=x"},
    {"UnknownTagsArePlain", "<P>x<AB>y<", "<P>x<AB>y<", "@1 1:<P>x<AB>y<", ""},
};

INSTANTIATE_TEST_SUITE_P(Html, MarkupTable, testing::ValuesIn(kMarkupCases),
                         [](const testing::TestParamInfo<MarkupCase>& i) {
                             return std::string(i.param.name);
                         });

TEST(HtmlPrepare, ParametersComeFromTheHandler) {
    QStringList asked;
    HtmlPrepareOptions o;
    o.getParameter = [&](QString& p) {
        asked << p;
        p = p == "Num" ? QStringLiteral("12") : QStringLiteral("345");
    };
    const HtmlPrepared p =
        PrepareHtmlText(QStringLiteral("Loaded <VAR>Num</VAR> records from <var>MaxNum</var>"), o);
    EXPECT_EQ(p.text, "Loaded 12 records from 345");
    EXPECT_EQ(asked, QStringList({"Num", "MaxNum"}));
}

TEST(HtmlPrepare, ParameterValuesCannotReformTags) {
    // Removing one tag may join its neighbours into another; values never keep a <VAR> tag.
    for (const QString value : {"<VA<VAR>R>", "<VA<VAR>R>x</VA</VAR>R>", "</VA<VAR>R><VAR>"}) {
        HtmlPrepareOptions o;
        int calls = 0;
        o.getParameter = [&](QString& p) {
            ++calls;
            p = value;
        };
        const HtmlPrepared p = PrepareHtmlText(QStringLiteral("a<VAR>n</VAR>b<VAR>m</VAR>c"), o);
        EXPECT_FALSE(p.text.contains("<VAR>", Qt::CaseInsensitive)) << value.toStdString();
        EXPECT_FALSE(p.text.contains("</VAR>", Qt::CaseInsensitive)) << value.toStdString();
        EXPECT_EQ(calls, 2);
    }
}

TEST(HtmlPrepare, HandlerThatRebuildsTagsFromTheTextEnds) {
    // The value "<VAR" joins the ">" after the block into a new tag; this consumes the text and ends.
    HtmlPrepareOptions o;
    int calls = 0;
    o.getParameter = [&](QString& p) {
        ++calls;
        p = QStringLiteral("<VAR");
    };
    const HtmlPrepared p = PrepareHtmlText(QStringLiteral("<VAR>n</VAR>>n</VAR>>n</VAR>"), o);
    EXPECT_EQ(p.text, "<VAR");
    EXPECT_EQ(calls, 3);
}

TEST(HtmlPrepare, CaptionSkipEnterAndNoWordWrap) {
    HtmlPrepareOptions o;
    o.captionSkipEnter = true;
    HtmlPrepared p = PrepareHtmlText(QStringLiteral("a\r\nb<BR>\r\nc<br>\nd<NOWORDWRAP>e<nowordwrap>"), o);
    EXPECT_EQ(p.text, "a b\rc\rde");
    EXPECT_TRUE(p.noWordWrap);

    p = PrepareHtmlText(QStringLiteral("a\r\nb\n\nc"), HtmlPrepareOptions());
    EXPECT_EQ(p.text, "a\rb\r \rc");
    EXPECT_FALSE(p.noWordWrap);
}

TEST(HtmlPrepare, CaptionStringsTrimmedAtTheEndElseTheCaption) {
    EXPECT_EQ(PrepareHtmlText(QStringList({"x", "", "  "}), "cap", {}).text, "x");
    EXPECT_EQ(PrepareHtmlText(QStringList({" ", "\t"}), "cap", {}).text, "cap");
    EXPECT_EQ(PrepareHtmlText(QStringList(), "cap", {}).text, "cap");
}

TEST(HtmlPrepare, MarkupFromDataKeepsVarAsText) {
    HtmlPrepareOptions o;
    o.parameters = false;
    o.getParameter = [](QString& p) { p = "secret"; };
    EXPECT_EQ(PrepareHtmlText(QStringLiteral("<VAR>x</VAR>"), o).text, "<VAR>x</VAR>");
}

TEST(HtmlTokens, HasTags) {
    EXPECT_TRUE(HtmlHasTags("a<B>b"));
    EXPECT_TRUE(HtmlHasTags("<TAB>"));
    EXPECT_FALSE(HtmlHasTags("a < b > c"));
    EXPECT_FALSE(HtmlHasTags("<VAR>x</VAR><BR>"));
}

struct WrapCase {
    const char* name;
    QString text;
    int width;
    QString pieces;
};

class WrapTable : public testing::TestWithParam<WrapCase> {};

TEST_P(WrapTable, BreaksVisualLines) {
    const WrapCase& c = GetParam();
    EXPECT_EQ(describe(layOut(c.text, c.width, true)), c.pieces);
}

const WrapCase kWrapCases[] = {
    {"AtTheBlank", "Hello world", 50, "@1 1:Hello / @15 1:world"},
    {"FitsWithoutBreak", "Hello world", 69, "@1 1:Hello world"},
    // The character that does not fit counts as a break character too.
    {"AtTheCharacterThatDoesNotFit", "aaaa-bbbb", 32, "@1 1:aaaa- / @15 1:bbbb"},
    {"NoBreakCharacterAtLineStart", "abcdefghij", 40, "@1 1:abcdef / @15 1:ghij"},
    {"NoBreakCharacterMovesWholePiece", "ab<B>cdefgh</B>", 60, "@1 1:ab / @15 1:cdefgh{b}"},
    {"NothingFitsPieceStaysWhole", "abc", 5, "@1 1:abc"},
    {"IndentForWrappedLines", "ab<INDENT>cd ef gh", 40, "@1 1:ab|13:cd / @15 13:ef / @29 13:gh"},
    {"IndentOnlyWithinItsLine", "ab<INDENT>cd ef\r1234", 40, "@1 1:ab|13:cd / @15 13:ef / @29 1:1234"},
    {"BlanksDroppedAtTheBreak", "aaa   bbb", 30, "@1 1:aaa / @15 1:bbb"},
    {"StylesGoOnAfterBreak", "<B>aaa bbb</B> c", 40, "@1 1:aaa{b} / @15 1:bbb{b}|25: c"},
};

INSTANTIATE_TEST_SUITE_P(Html, WrapTable, testing::ValuesIn(kWrapCases),
                         [](const testing::TestParamInfo<WrapCase>& i) { return std::string(i.param.name); });

TEST(HtmlLayout, WrappedLinkGoesOnWithARectangleOnEachLine) {
    const HtmlLayout l = layOut("x <A NAME=n>aaa bbb</A>", 40, true);
    EXPECT_EQ(describe(l), "@1 1:x |13:aaa{uL0} / @15 1:bbb{uL1}");
    ASSERT_EQ(l.anchors.size(), 2u);
    EXPECT_EQ(describeAnchors(l), "NAME=n,NAME=n");
    EXPECT_EQ(l.anchors[0].Rect, QRect(13, 1, 18, 14));
    EXPECT_EQ(l.anchors[1].Rect, QRect(1, 15, 18, 14));
    // Both parts are one link: hovering either turns the whole link hot.
    EXPECT_TRUE(SameHtmlLink(l, 0, 1));

    const HtmlLayout two = layOut("<A a>1</A><A b>2</A>");
    EXPECT_FALSE(SameHtmlLink(two, 0, 1));
    EXPECT_FALSE(SameHtmlLink(two, 0, -1));
}

TEST(HtmlLayout, LinkRectangleCoversAllItsPieces) {
    const HtmlLayout l = layOut("<A x>a<B>b</B></A>");
    ASSERT_EQ(l.anchors.size(), 1u);
    EXPECT_EQ(l.anchors[0].Rect, QRect(1, 1, 14, 14));
    // Strictly inside the edges only.
    EXPECT_EQ(AnchorAt(l.anchors, QPoint(1, 5)), -1);
    EXPECT_EQ(AnchorAt(l.anchors, QPoint(2, 5)), 0);
    EXPECT_EQ(AnchorAt(l.anchors, QPoint(14, 14)), 0);
    EXPECT_EQ(AnchorAt(l.anchors, QPoint(15, 5)), -1);
    EXPECT_EQ(AnchorAt(l.anchors, QPoint(5, 15)), -1);
}

TEST(HtmlLayout, AlignmentAndAutoSize) {
    EXPECT_EQ(describe(layOut("ab", 100, false, Qt::AlignRight)), "@1 87:ab");
    EXPECT_EQ(describe(layOut("ab", 100, false, Qt::AlignHCenter)), "@1 44:ab");
    // A centred line never starts left of its indent.
    EXPECT_EQ(describe(layOut("abcdefghij", 20, false, Qt::AlignHCenter)), "@1 1:abcdefghij");

    EXPECT_EQ(layOut("ab\rabcd").size, QSize(27, 30));
    EXPECT_EQ(layOut("ab\rabcd", 1000, false, Qt::AlignLeft, 3).size, QSize(33, 36));
    EXPECT_EQ(describe(layOut("ab", 100, false, Qt::AlignLeft, 3)), "@4 4:ab");
}

TEST(HtmlLayout, MixedSizesShareOneBaselineAndTheTallestHeight) {
    const HtmlLayout l = layOut("a<BIG>B</BIG>\rc");
    ASSERT_EQ(l.lines.size(), 2u);
    const auto& first = l.lines[0].pieces;
    EXPECT_EQ(first[0].baseline, first[1].baseline);
    EXPECT_EQ(first[0].rect.top(), 3);
    EXPECT_EQ(l.lines[0].rect.height(), 16);
    EXPECT_EQ(l.lines[1].rect.top(), 17);
}

TEST(HtmlLayout, EmptyTextLaysOutNothing) {
    const HtmlLayout l = layOut(QString());
    EXPECT_TRUE(l.lines.empty());
    EXPECT_TRUE(l.anchors.empty());
}

TEST(HtmlTokens, ColorValues) {
    QColor c = Qt::blue;
    EXPECT_FALSE(ParseHtmlColor("Reddish", c));
    EXPECT_EQ(c, QColor(Qt::blue));
    EXPECT_FALSE(ParseHtmlColor("clRed", c));
    ASSERT_TRUE(ParseHtmlColor("\"#0000ff\"", c));
    EXPECT_EQ(c.name(), "#0000ff");
    ASSERT_TRUE(ParseHtmlColor("#12345", c));
    EXPECT_EQ(c.name(), "#000000");
    ASSERT_TRUE(ParseHtmlColor("navy", c));
    EXPECT_EQ(c.name(), "#000080");
    ASSERT_TRUE(ParseHtmlColor("MoneyGreen", c));
    EXPECT_EQ(c.name(), "#c0dcc0");
}

} // namespace
