#pragma once
// Draws the label markup into a rectangle of any painter (a grid cell showing a field as HTML text)
// and keeps its own list of the links drawn, for the owning control's mouse handling.
// The text is data, not the program's own: <VAR> is left as it is and no link is ever opened
// through the shell; a click only reports the link's name.
#include "html_layout.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <functional>
#include <vector>

class QPainter;

struct HtmlCellStyle {
    QFont font;
    QPalette palette;
    QColor fontColor;   // invalid: the palette's text colour
    QColor anchorColor; // invalid: the standard link colours
    Qt::Alignment alignment = Qt::AlignLeft;
    bool wordWrap = false;
    bool enabled = true;
    int innerSpace = 0;
    int tabGridWidth = 30;
};

class HtmlCellRenderer {
public:
    // Draws text clipped to rect; its links are added to Anchors().
    void Draw(QPainter& painter, const QRect& rect, const QString& text, const HtmlCellStyle& style);
    // The size the text needs (width unbounded unless it wraps within width).
    QSize Measure(const QString& text, const HtmlCellStyle& style, int width = -1) const;

    // Before a new round of drawing, forget the links of the last one.
    void ClearAnchors() { anchors_.clear(); }
    const std::vector<TAnchorInfo>& Anchors() const { return anchors_; }
    int AnchorAt(const QPoint& pos) const { return ::AnchorAt(anchors_, pos); }
    // The link under the mouse, drawn in the hot colour on the next drawing.
    int HotAnchor() const { return hot_; }
    void SetHotAnchor(int index) { hot_ = index; }

    // Reports the link at pos through OnAnchorClick; returns whether there was one.
    bool Click(const QPoint& pos);
    std::function<void(const QString& LinkName)> OnAnchorClick;

private:
    std::vector<TAnchorInfo> anchors_;
    int hot_ = -1;
};
