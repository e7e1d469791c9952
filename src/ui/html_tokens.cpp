#include "html_tokens.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

struct SimpleTag {
    const char* name;
    HtmlTag tag;
};

constexpr SimpleTag kSimpleTags[] = {
    {"B", HtmlTag::Bold},          {"/B", HtmlTag::BoldOff},          {"I", HtmlTag::Italic},
    {"/I", HtmlTag::ItalicOff},    {"U", HtmlTag::Underline},         {"/U", HtmlTag::UnderlineOff},
    {"BIG", HtmlTag::Big},         {"/BIG", HtmlTag::BigOff},         {"SMALL", HtmlTag::Small},
    {"/SMALL", HtmlTag::SmallOff}, {"/A", HtmlTag::LinkOff},          {"/COLOR", HtmlTag::ColorOff},
    {"/FONT", HtmlTag::ColorOff},  {"/BGCOLOR", HtmlTag::BgColorOff}, {"TAB", HtmlTag::Tab},
    {"INDENT", HtmlTag::Indent},
};

bool startsWithCi(const QString& s, const char* prefix) {
    return s.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

// Reads the text between "<" and ">" as a tag; false when it is not one of ours.
bool readTag(const QString& inner, HtmlToken& token) {
    for (const SimpleTag& t : kSimpleTags) {
        if (inner.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0) {
            token = {t.tag, QString()};
            return true;
        }
    }
    if (startsWithCi(inner, "A") && (inner.size() == 1 || inner.at(1).isSpace())) {
        token = {HtmlTag::Link, inner.mid(1)};
        return true;
    }
    if (startsWithCi(inner, "COLOR=")) {
        token = {HtmlTag::Color, inner.mid(6)};
        return true;
    }
    if (startsWithCi(inner, "BGCOLOR=")) {
        token = {HtmlTag::BgColor, inner.mid(8)};
        return true;
    }
    if (startsWithCi(inner, "FONT") && inner.size() > 4 && inner.at(4).isSpace()) {
        const QString rest = inner.mid(5).trimmed();
        if (startsWithCi(rest, "COLOR=")) {
            token = {HtmlTag::Color, rest.mid(6)};
            return true;
        }
    }
    return false;
}

QString unquoted(QString s) {
    s = s.trimmed();
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.mid(1, s.size() - 2).trimmed();
    return s;
}

struct NamedColor {
    const char* name;
    QRgb rgb;
};

// The fixed colour names.
constexpr NamedColor kNamedColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000},      {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},       {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},       {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},       {"White", 0xFFFFFF},
    {"LtGray", 0xC0C0C0}, {"DkGray", 0x808080},  {"MoneyGreen", 0xC0DCC0}, {"SkyBlue", 0xA6CAF0},
    {"Cream", 0xFFFBF0},  {"MedGray", 0xA0A0A4},
};

struct SystemColor {
    const char* name;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The system colour names, taken from the application palette.
constexpr SystemColor kSystemColors[] = {
    {"BtnFace", QPalette::Active, QPalette::Button},
    {"BtnText", QPalette::Active, QPalette::ButtonText},
    {"BtnShadow", QPalette::Active, QPalette::Dark},
    {"BtnHighlight", QPalette::Active, QPalette::Light},
    {"Window", QPalette::Active, QPalette::Base},
    {"WindowText", QPalette::Active, QPalette::WindowText},
    {"Highlight", QPalette::Active, QPalette::Highlight},
    {"HighlightText", QPalette::Active, QPalette::HighlightedText},
    {"HotLight", QPalette::Active, QPalette::Highlight},
    {"GrayText", QPalette::Disabled, QPalette::Text},
    {"InfoBk", QPalette::Active, QPalette::ToolTipBase},
    {"InfoText", QPalette::Active, QPalette::ToolTipText},
};

bool isName(const QString& s) {
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (!c.isLetter()) return false;
    return true;
}

} // namespace

std::vector<HtmlToken> TokenizeHtml(const QString& text) {
    std::vector<HtmlToken> tokens;
    QString pending;
    auto flush = [&] {
        if (!pending.isEmpty()) tokens.push_back({HtmlTag::Text, pending});
        pending.clear();
    };
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i) == '<') {
            const qsizetype close = text.indexOf('>', i + 1);
            HtmlToken token;
            if (close > i && readTag(text.mid(i + 1, close - i - 1), token)) {
                flush();
                tokens.push_back(token);
                i = close + 1;
                continue;
            }
        }
        pending += text.at(i);
        ++i;
    }
    flush();
    return tokens;
}

bool HtmlHasTags(const QString& text) {
    for (const HtmlToken& t : TokenizeHtml(text))
        if (t.tag != HtmlTag::Text) return true;
    return false;
}

HtmlLinkTarget ParseLinkParameter(const QString& parameter) {
    const qsizetype eq = parameter.indexOf('=');
    if (eq < 0) return {QString(), unquoted(parameter)};
    return {parameter.left(eq).trimmed().toUpper(), unquoted(parameter.mid(eq + 1))};
}

bool ParseHtmlColor(const QString& value, QColor& color) {
    const QString v = unquoted(value);
    if (v.startsWith('#')) {
        bool ok = false;
        const uint rgb = v.mid(1).toUInt(&ok, 16);
        color = ok && v.size() == 7 ? QColor::fromRgb(rgb) : QColor(Qt::black);
        return true;
    }
    for (const NamedColor& c : kNamedColors) {
        if (v.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) {
            color = QColor::fromRgb(c.rgb);
            return true;
        }
    }
    for (const SystemColor& c : kSystemColors) {
        if (v.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) {
            color = QGuiApplication::palette().color(c.group, c.role);
            return true;
        }
    }
    // Other plain names the toolkit knows ("Orange"); "#" forms and numbers were handled above.
    if (isName(v) && QColor::isValidColorName(v)) {
        color = QColor::fromString(v);
        return true;
    }
    return false;
}
