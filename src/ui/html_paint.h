#pragma once
// Paints a laid-out markup text: backgrounds, the shadow copy of a 3-D or disabled text, the text.
#include "html_layout.h"

#include <QColor>

class QPainter;
class QPalette;

struct HtmlPaintColors {
    QColor text;    // the label's text colour
    QColor link;    // links
    QColor hotLink; // the link under the mouse
    QColor anchor;  // when valid: every link, hot or not
    QColor shadow;  // the shadow copy of a 3-D text
    QColor light;   // button highlight: the shadow copy of a disabled text
    QColor dark;    // button shadow: a disabled text
    bool enabled = true;
    bool text3D = false;
    int shadowSize = 1;
    int hotAnchor = -1; // index of the anchor under the mouse; its whole link is drawn hot
};

// The platform colours: text, links, shadow and the button edges from the palette.
HtmlPaintColors HtmlPaintColorsFor(const QPalette& palette, bool enabled);

// The link colours of the system.
QColor HtmlLinkColor(const QPalette& palette);
QColor HtmlHotLinkColor(const QPalette& palette);

void PaintHtmlLayout(QPainter& painter, const HtmlLayout& layout, const HtmlPaintColors& colors);

// A one-pixel bevel: left and top in the button shadow, right and bottom in the button highlight.
void PaintHtmlBevel(QPainter& painter, const QRect& rect, const QPalette& palette);
