#pragma once
// The tags of the label markup: splitting a prepared line into text and tags, link parameters and
// colour values. Tags are matched without regard to letter case; anything else is plain text.
#include <QColor>
#include <QString>
#include <vector>

enum class HtmlTag {
    Text,
    Bold,
    BoldOff,
    Italic,
    ItalicOff,
    Underline,
    UnderlineOff,
    Big,
    BigOff,
    Small,
    SmallOff,
    Link, // value: the link parameter
    LinkOff,
    Color, // value: the colour value ("<COLOR=" and "<FONT COLOR=")
    ColorOff,
    BgColor, // value: the colour value
    BgColorOff,
    Tab,
    Indent,
};

struct HtmlToken {
    HtmlTag tag = HtmlTag::Text;
    QString value; // the text of a Text token, the parameter of a tag
};

std::vector<HtmlToken> TokenizeHtml(const QString& text);

// True when the text holds at least one tag that the markup interprets.
bool HtmlHasTags(const QString& text);

// A link parameter split at "=": "HREF=readme.txt" gives HREF and readme.txt; without "=" the
// type is empty and the name is the whole trimmed parameter.
struct HtmlLinkTarget {
    QString LinkType;
    QString LinkName;
};
HtmlLinkTarget ParseLinkParameter(const QString& parameter);

// "#RRGGBB" (an unreadable number gives black) or a colour name. Returns false for a name nobody
// knows, in which case the colour must stay as it was.
bool ParseHtmlColor(const QString& value, QColor& color);
