#include "html_cell_renderer.h"

#include "html_paint.h"
#include "html_prepare.h"

#include <QPainter>

namespace {
HtmlLayout layoutCell(const QString& text, const HtmlCellStyle& s, const QRect& rect, QPaintDevice* device) {
    HtmlPrepareOptions po;
    po.parameters = false;
    const HtmlPrepared p = PrepareHtmlText(text, po);
    HtmlLayoutOptions o;
    o.rect = rect;
    o.font = s.font;
    o.alignment = s.alignment & Qt::AlignHorizontal_Mask;
    o.wordWrap = s.wordWrap && !p.noWordWrap;
    o.innerSpace = s.innerSpace;
    o.tabGridWidth = s.tabGridWidth;
    return LayoutHtml(p.text, o, QtHtmlMetrics(device));
}
} // namespace

void HtmlCellRenderer::Draw(QPainter& painter, const QRect& rect, const QString& text,
                            const HtmlCellStyle& s) {
    const HtmlLayout layout = layoutCell(text, s, rect, painter.device());
    const int first = int(anchors_.size());
    for (TAnchorInfo a : layout.anchors) {
        a.Rect = a.Rect.intersected(rect); // only the visible part answers the mouse
        anchors_.push_back(a);
    }

    HtmlPaintColors c = HtmlPaintColorsFor(s.palette, s.enabled);
    c.text = s.fontColor.isValid() ? s.fontColor : s.palette.color(QPalette::Active, QPalette::Text);
    c.anchor = s.anchorColor;
    c.hotAnchor = hot_ - first; // the layout counts its own anchors from 0
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    PaintHtmlLayout(painter, layout, c);
    painter.restore();
}

QSize HtmlCellRenderer::Measure(const QString& text, const HtmlCellStyle& s, int width) const {
    constexpr int kUnbounded = 1 << 20;
    HtmlCellStyle style = s;
    style.alignment = Qt::AlignLeft;
    if (width < 0) style.wordWrap = false;
    QSize size =
        layoutCell(text, style, QRect(0, 0, width < 0 ? kUnbounded : width, kUnbounded), nullptr).size;
    if (width >= 0 && style.wordWrap) size.setWidth(width);
    return size;
}

bool HtmlCellRenderer::Click(const QPoint& pos) {
    const int index = AnchorAt(pos);
    if (index < 0) return false;
    const QString name = anchors_[size_t(index)].LinkName;
    if (OnAnchorClick) OnAnchorClick(name);
    return true;
}
