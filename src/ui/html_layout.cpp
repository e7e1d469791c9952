#include "html_layout.h"

#include "html_tokens.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

int QtHtmlMetrics::width(const QFont& font, const QString& text) const {
    return QFontMetrics(font, device_).horizontalAdvance(text);
}
int QtHtmlMetrics::height(const QFont& font) const {
    return QFontMetrics(font, device_).height();
}
int QtHtmlMetrics::ascent(const QFont& font) const {
    return QFontMetrics(font, device_).ascent();
}

bool SameHtmlLink(const HtmlLayout& layout, int a, int b) {
    const int n = int(layout.anchorLinks.size());
    return a >= 0 && b >= 0 && a < n && b < n &&
           layout.anchorLinks[size_t(a)] == layout.anchorLinks[size_t(b)];
}

int AnchorAt(const std::vector<TAnchorInfo>& anchors, const QPoint& pos) {
    for (size_t i = 0; i < anchors.size(); ++i) {
        const QRect& r = anchors[i].Rect;
        if (pos.x() > r.left() && pos.x() < r.left() + r.width() && pos.y() > r.top() &&
            pos.y() < r.top() + r.height())
            return int(i);
    }
    return -1;
}

namespace {

const QString kBreakChars = QStringLiteral(" ._-/\\@#$&|");

struct Style {
    QFont font;
    HtmlInk ink = HtmlInk::Label;
    QColor color;
    int anchor = -1;
};

// A piece placed on the visual line being built; x is relative to the content area.
struct Placed {
    HtmlPiece piece;
    int x;
    int width;
    int ascent;
    int height;
};

QString trimmedEnd(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

QString trimmedStart(const QString& s) {
    qsizetype n = 0;
    while (n < s.size() && s.at(n).isSpace())
        ++n;
    return s.mid(n);
}

void resize(QFont& font, const QFont& base, int steps) {
    if (base.pointSizeF() > 0)
        font.setPointSizeF(std::max(1.0, (steps == 0 ? base.pointSizeF() : font.pointSizeF()) + 2 * steps));
    else
        font.setPixelSize(std::max(1, (steps == 0 ? base.pixelSize() : font.pixelSize()) + 3 * steps));
}

class Layouter {
public:
    Layouter(const HtmlLayoutOptions& o, const IHtmlMetrics& m) : o_(o), m_(m) {
        style_.font = o.font;
        width_ = o.rect.width() - 2 * o.innerSpace;
        tabs_ = std::max(1, o.tabGridWidth);
    }

    HtmlLayout run(const QString& prepared) {
        QStringList lines = prepared.split('\r');
        if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
        for (const QString& line : lines) {
            indent_ = 0;
            startLine();
            for (const HtmlToken& t : TokenizeHtml(line))
                apply(t);
            finishLine();
        }
        if (linkOpen_) closeLink();
        int widest = 0;
        for (int w : lineEnds_)
            widest = std::max(widest, w);
        out_.size = QSize(widest + 2 + 2 * o_.innerSpace, y_ + 2 + 2 * o_.innerSpace);
        return std::move(out_);
    }

private:
    void apply(const HtmlToken& t) {
        switch (t.tag) {
        case HtmlTag::Text:
            place(t.value);
            break;
        case HtmlTag::Bold:
            style_.font.setBold(true);
            break;
        case HtmlTag::BoldOff:
            style_.font.setBold(false);
            break;
        case HtmlTag::Italic:
            style_.font.setItalic(true);
            break;
        case HtmlTag::ItalicOff:
            style_.font.setItalic(false);
            break;
        case HtmlTag::Underline:
            style_.font.setUnderline(true);
            break;
        case HtmlTag::UnderlineOff:
            style_.font.setUnderline(false);
            break;
        case HtmlTag::Big:
            resize(style_.font, o_.font, 1);
            break;
        case HtmlTag::Small:
            resize(style_.font, o_.font, -1);
            break;
        case HtmlTag::BigOff:
        case HtmlTag::SmallOff:
            resize(style_.font, o_.font, 0);
            break;
        case HtmlTag::Link:
            openLink(ParseLinkParameter(t.value));
            break;
        case HtmlTag::LinkOff:
            if (linkOpen_) closeLink();
            break;
        case HtmlTag::Color: {
            QColor c;
            if (ParseHtmlColor(t.value, c)) {
                style_.ink = HtmlInk::Tag;
                style_.color = c;
            }
            break;
        }
        case HtmlTag::ColorOff:
            style_.ink = HtmlInk::Label;
            break;
        case HtmlTag::BgColor: {
            QColor c;
            if (ParseHtmlColor(t.value, c)) background_ = c;
            break;
        }
        case HtmlTag::BgColorOff:
            background_ = QColor();
            break;
        case HtmlTag::Tab:
            x_ = (x_ / tabs_ + 1) * tabs_;
            break;
        case HtmlTag::Indent:
            indent_ = x_ - 1;
            break;
        }
    }

    void openLink(const HtmlLinkTarget& target) {
        if (linkOpen_) closeLink();
        beforeLink_ = style_;
        linkOpen_ = true;
        link_ = target;
        style_.font.setUnderline(true);
        style_.ink = HtmlInk::Link;
        ++links_;
        style_.anchor = addAnchor();
    }

    void closeLink() {
        style_ = beforeLink_;
        linkOpen_ = false;
    }

    int addAnchor() {
        out_.anchors.push_back({link_.LinkType, link_.LinkName, QRect()});
        out_.anchorLinks.push_back(links_ - 1);
        return int(out_.anchors.size()) - 1;
    }

    // The number of leading characters of text that fit into room pixels.
    qsizetype fitting(const QString& text, int room) const {
        qsizetype lo = 0, hi = text.size();
        while (lo < hi) {
            const qsizetype mid = (lo + hi + 1) / 2;
            if (m_.width(style_.font, text.left(mid)) <= room)
                lo = mid;
            else
                hi = mid - 1;
        }
        return lo;
    }

    void place(QString text) {
        while (!text.isEmpty()) {
            const int w = m_.width(style_.font, text);
            const int room = width_ - x_ - 2;
            if (!o_.wordWrap || w <= room) {
                put(text, w);
                return;
            }
            const bool atStart = placed_.empty();
            const qsizetype fit = fitting(text, room);
            if (fit == 0 && atStart) { // not even one character fits: keep the piece whole
                put(text, w);
                return;
            }
            qsizetype cut = -1;
            for (qsizetype i = std::min(fit, text.size() - 1); i >= 0; --i) {
                if (kBreakChars.contains(text.at(i))) {
                    cut = i + 1;
                    break;
                }
            }
            if (cut < 0) cut = atStart ? fit : 0;
            const QString kept = trimmedEnd(text.left(cut));
            if (!kept.isEmpty()) put(kept, m_.width(style_.font, kept));
            text = trimmedStart(text.mid(cut));
            if (!text.isEmpty() && !placed_.empty()) {
                finishLine();
                startLine();
            }
        }
    }

    void put(const QString& text, int w) {
        HtmlPiece p;
        p.text = text;
        p.font = style_.font;
        p.ink = style_.ink;
        p.color = style_.color;
        p.background = background_;
        p.anchor = style_.anchor;
        placed_.push_back({p, x_, w, m_.ascent(style_.font), m_.height(style_.font)});
        x_ += w;
    }

    void startLine() {
        x_ = indent_ + 1;
        placed_.clear();
        // A link goes on in the next visual line with a rectangle of its own there.
        if (linkOpen_) style_.anchor = addAnchor();
    }

    void finishLine() {
        int height = 0, ascent = 0;
        for (const Placed& p : placed_) {
            height = std::max(height, p.height);
            ascent = std::max(ascent, p.ascent);
        }
        if (placed_.empty()) {
            height = m_.height(style_.font);
            ascent = m_.ascent(style_.font);
        } else { // room for the deepest descent as well
            for (const Placed& p : placed_)
                height = std::max(height, ascent - p.ascent + p.height);
        }
        const int start = indent_ + 1;
        const int end = placed_.empty() ? start : placed_.back().x + placed_.back().width;
        int shift = 0;
        if (o_.alignment & Qt::AlignRight)
            shift = width_ - 1 - end;
        else if (o_.alignment & Qt::AlignHCenter)
            shift = std::max(start, (width_ - (end - start)) / 2) - start;
        lineEnds_.push_back(end);

        const int left = o_.rect.left() + o_.innerSpace;
        const int top = o_.rect.top() + o_.innerSpace + 1 + y_;
        HtmlVisualLine line;
        line.rect = QRect(left + start + shift, top, end - start, height);
        for (Placed& p : placed_) {
            p.piece.rect = QRect(left + p.x + shift, top + ascent - p.ascent, p.width, p.height);
            p.piece.baseline = top + ascent;
            if (p.piece.anchor >= 0) {
                QRect& r = out_.anchors[size_t(p.piece.anchor)].Rect;
                r = r.isNull() ? p.piece.rect : r.united(p.piece.rect);
            }
            line.pieces.push_back(std::move(p.piece));
        }
        out_.lines.push_back(std::move(line));
        placed_.clear();
        y_ += height;
    }

    const HtmlLayoutOptions& o_;
    const IHtmlMetrics& m_;
    HtmlLayout out_;
    Style style_;
    Style beforeLink_;
    bool linkOpen_ = false;
    int links_ = 0; // links opened so far
    HtmlLinkTarget link_;
    QColor background_;
    std::vector<Placed> placed_;
    std::vector<int> lineEnds_;
    int width_ = 0;
    int tabs_ = 30;
    int x_ = 1;
    int y_ = 0;
    int indent_ = 0;
};

} // namespace

HtmlLayout LayoutHtml(const QString& prepared, const HtmlLayoutOptions& options,
                      const IHtmlMetrics& metrics) {
    if (prepared.isEmpty()) return {};
    return Layouter(options, metrics).run(prepared);
}
