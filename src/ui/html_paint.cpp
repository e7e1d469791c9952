#include "html_paint.h"

#include <QPainter>
#include <QPalette>

QColor HtmlLinkColor(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Link);
}
QColor HtmlHotLinkColor(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Highlight);
}

HtmlPaintColors HtmlPaintColorsFor(const QPalette& palette, bool enabled) {
    HtmlPaintColors c;
    c.text = palette.color(QPalette::Active, QPalette::WindowText);
    c.link = HtmlLinkColor(palette);
    c.hotLink = HtmlHotLinkColor(palette);
    c.shadow = palette.color(QPalette::Active, QPalette::Dark);
    c.light = palette.color(QPalette::Active, QPalette::Light);
    c.dark = palette.color(QPalette::Active, QPalette::Dark);
    c.enabled = enabled;
    return c;
}

namespace {

QColor inkOf(const HtmlPiece& p, const HtmlLayout& layout, const HtmlPaintColors& c) {
    switch (p.ink) {
    case HtmlInk::Tag:
        return p.color;
    case HtmlInk::Link:
        if (c.anchor.isValid()) return c.anchor;
        return SameHtmlLink(layout, p.anchor, c.hotAnchor) ? c.hotLink : c.link;
    case HtmlInk::Label:
        break;
    }
    return c.text;
}

// A plain colour means the colours from tags are not applied (shadow and disabled copies).
void drawLine(QPainter& painter, const HtmlLayout& layout, const HtmlVisualLine& line,
              const HtmlPaintColors& c, const QColor& plain, int offset) {
    for (const HtmlPiece& p : line.pieces) {
        painter.setFont(p.font);
        painter.setPen(plain.isValid() ? plain : inkOf(p, layout, c));
        painter.drawText(QPoint(p.rect.left() + offset, p.baseline + offset), p.text);
    }
}

} // namespace

void PaintHtmlLayout(QPainter& painter, const HtmlLayout& layout, const HtmlPaintColors& c) {
    painter.save();
    for (const HtmlVisualLine& line : layout.lines) {
        // Backgrounds first, so they never cover the shadow copy.
        if (c.enabled)
            for (const HtmlPiece& p : line.pieces)
                if (p.background.isValid()) painter.fillRect(p.rect, p.background);
        if (!c.enabled || c.text3D)
            drawLine(painter, layout, line, c, c.enabled ? c.shadow : c.light, c.shadowSize);
        drawLine(painter, layout, line, c, c.enabled ? QColor() : c.dark, 0);
    }
    painter.restore();
}

void PaintHtmlBevel(QPainter& painter, const QRect& r, const QPalette& palette) {
    painter.save();
    painter.setPen(palette.color(QPalette::Active, QPalette::Dark));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(palette.color(QPalette::Active, QPalette::Light));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.restore();
}
