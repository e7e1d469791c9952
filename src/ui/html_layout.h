#pragma once
// Lays prepared markup out in visual lines: pieces of text with their fonts, colours and places,
// and the links drawn. Measuring goes through IHtmlMetrics so the layout runs without a screen.
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <vector>

class QPaintDevice;

class IHtmlMetrics {
public:
    virtual ~IHtmlMetrics() = default;
    virtual int width(const QFont& font, const QString& text) const = 0;
    virtual int height(const QFont& font) const = 0;
    virtual int ascent(const QFont& font) const = 0;
};

// The metrics of the fonts on a paint device (the screen when none is given).
class QtHtmlMetrics : public IHtmlMetrics {
public:
    explicit QtHtmlMetrics(QPaintDevice* device = nullptr) : device_(device) {}
    int width(const QFont& font, const QString& text) const override;
    int height(const QFont& font) const override;
    int ascent(const QFont& font) const override;

private:
    QPaintDevice* device_;
};

// One link as drawn: the upper-case text before "=" in its tag (or empty), the trimmed text after
// it (or the whole parameter), and the rectangle of its text on one visual line.
struct TAnchorInfo {
    QString LinkType;
    QString LinkName;
    QRect Rect;
};

// Where a piece takes its text colour from.
enum class HtmlInk {
    Label, // the label's text colour
    Tag,   // a <COLOR> tag: HtmlPiece::color
    Link,  // the link colours
};

struct HtmlPiece {
    QString text;
    QRect rect;   // the box of the text
    int baseline; // y of the text's baseline
    QFont font;
    HtmlInk ink = HtmlInk::Label;
    QColor color;      // for HtmlInk::Tag
    QColor background; // invalid: none
    int anchor = -1;   // index into HtmlLayout::anchors, -1 outside links
};

struct HtmlVisualLine {
    QRect rect;
    std::vector<HtmlPiece> pieces;
};

struct HtmlLayout {
    std::vector<HtmlVisualLine> lines;
    std::vector<TAnchorInfo> anchors;
    // For each anchor, the link of the text it belongs to: a link that goes on over a line break
    // has an anchor on every visual line, and all of them turn hot together.
    std::vector<int> anchorLinks;
    // What auto size gives: the widest visual line plus the margins, and all lines' height.
    QSize size;
};

struct HtmlLayoutOptions {
    QRect rect;                              // the label's client area or the cell
    QFont font;                              // the label's font
    Qt::Alignment alignment = Qt::AlignLeft; // horizontal: left, right or centre
    bool wordWrap = false;
    int innerSpace = 0;
    int tabGridWidth = 30;
};

HtmlLayout LayoutHtml(const QString& prepared, const HtmlLayoutOptions& options, const IHtmlMetrics& metrics);

// Whether two anchors belong to the same link of the text.
bool SameHtmlLink(const HtmlLayout& layout, int a, int b);

// The first link whose rectangle holds the point strictly inside its edges, or -1.
int AnchorAt(const std::vector<TAnchorInfo>& anchors, const QPoint& pos);
