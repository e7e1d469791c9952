#include "html_label.h"

#include "html_link_open.h"
#include "html_paint.h"
#include "html_prepare.h"
#include "html_tokens.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <algorithm>

namespace {
constexpr int kUnbounded = 1 << 20;

QString shownText(QString prepared) {
    return prepared.replace('\r', '\n');
}
} // namespace

TkHTMLLabel::TkHTMLLabel(QWidget* parent) : QLabel(parent) {
    init();
}

TkHTMLLabel::TkHTMLLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    init();
}

void TkHTMLLabel::init() {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop); // the markup is laid out from the top
    setMouseTracking(true);
    hintManaged_ = toolTip().isEmpty();
}

void TkHTMLLabel::setCaptionStrings(const QStringList& lines) {
    captionStrings_ = lines;
    setText(QString());
    changed();
}

void TkHTMLLabel::setCaptionStrings(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setCaptionStrings(t.split('\n'));
}

void TkHTMLLabel::setCaptionSkipEnter(bool on) {
    captionSkipEnter_ = on;
    changed();
}
void TkHTMLLabel::setCaptionSimpleText(bool on) {
    captionSimpleText_ = on;
    changed();
}
void TkHTMLLabel::setFontColor(const QColor& color) {
    fontColor_ = color;
    changed();
}
void TkHTMLLabel::setAnchorColor(const QColor& color) {
    anchorColor_ = color;
    update();
}
void TkHTMLLabel::setShowText3D(bool on) {
    showText3D_ = on;
    changed();
}
QColor TkHTMLLabel::ShadowColor() const {
    return shadowColor_.isValid() ? shadowColor_ : palette().color(QPalette::Active, QPalette::Dark);
}
void TkHTMLLabel::setShadowColor(const QColor& color) {
    shadowColor_ = color;
    update();
}
void TkHTMLLabel::setShadowSize(int size) {
    shadowSize_ = size;
    update();
}
void TkHTMLLabel::setShowBeveled(bool on) {
    showBeveled_ = on;
    update();
}
void TkHTMLLabel::setInnerSpace(int space) {
    innerSpace_ = std::clamp(space, 0, 255);
    changed();
}
void TkHTMLLabel::setTabGridWidth(int width) {
    tabGridWidth_ = std::clamp(width, 1, 255);
    changed();
}
void TkHTMLLabel::setAutoSize(bool on) {
    autoSize_ = on;
    changed();
}
void TkHTMLLabel::setDesigning(bool on) {
    designing_ = on;
    changed();
}

TkHTMLLabel::Prepared TkHTMLLabel::prepare() const {
    HtmlPrepareOptions o;
    o.captionSkipEnter = captionSkipEnter_;
    o.designing = designing_;
    if (OnGetParameter) {
        auto* self = const_cast<TkHTMLLabel*>(this);
        o.getParameter = [self](QString& param) { self->OnGetParameter(self, param); };
    }
    const HtmlPrepared p = PrepareHtmlText(captionStrings_, text(), o);
    Prepared out;
    out.text = p.text;
    out.noWordWrap = p.noWordWrap;
    out.markup = !p.text.isEmpty() &&
                 (showText3D_ || fontColor_.isValid() || (!captionSimpleText_ && HtmlHasTags(p.text)));
    return out;
}

QString TkHTMLLabel::PreparedText() const {
    return prepare().text;
}
bool TkHTMLLabel::UsesMarkup() const {
    return prepare().markup;
}

bool TkHTMLLabel::wraps(const Prepared& p) const {
    return wordWrap() && !p.noWordWrap;
}

HtmlLayout TkHTMLLabel::layoutFor(const Prepared& p, const QRect& rect, Qt::Alignment alignment) const {
    HtmlLayoutOptions o;
    o.rect = rect;
    o.font = font();
    o.alignment = alignment;
    o.wordWrap = wraps(p);
    o.innerSpace = innerSpace_;
    o.tabGridWidth = tabGridWidth_;
    return LayoutHtml(p.text, o, QtHtmlMetrics(const_cast<TkHTMLLabel*>(this)));
}

Qt::Alignment TkHTMLLabel::horizontalAlignment() const {
    return QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask;
}

const std::vector<TAnchorInfo>& TkHTMLLabel::Anchors() {
    const Prepared p = prepare();
    layout_ = p.markup ? layoutFor(p, contentsRect(), horizontalAlignment()) : HtmlLayout();
    return layout_.anchors;
}

int TkHTMLLabel::plainFlags(const Prepared& p) const {
    return int(QStyle::visualAlignment(layoutDirection(), alignment())) | (wraps(p) ? Qt::TextWordWrap : 0);
}

QSize TkHTMLLabel::measure(int width) const {
    const Prepared p = prepare();
    const QMargins frame = contentsMargins();
    const int frameW = frame.left() + frame.right(), frameH = frame.top() + frame.bottom();
    if (p.text.isEmpty()) return QSize(frameW, frameH);
    const bool unbounded = width < 0 || !wraps(p);
    const int w = unbounded ? kUnbounded : std::max(1, width - frameW);
    QSize s;
    if (p.markup) {
        s = layoutFor(p, QRect(0, 0, w, kUnbounded), Qt::AlignLeft).size;
    } else {
        const QRect r =
            fontMetrics().boundingRect(QRect(0, 0, w - 2 * innerSpace_, kUnbounded),
                                       plainFlags(p) & ~Qt::AlignHorizontal_Mask, shownText(p.text));
        s = r.size() + QSize(2 * innerSpace_, 2 * innerSpace_);
    }
    if (!unbounded) s.setWidth(w);
    return s + QSize(frameW, frameH);
}

QSize TkHTMLLabel::sizeHint() const {
    const QSize natural = measure(-1);
    if (!wordWrap() || natural.width() <= 400) return natural;
    return QSize(400, heightForWidth(400));
}

QSize TkHTMLLabel::minimumSizeHint() const {
    return wordWrap() ? QSize(0, 0) : sizeHint();
}

bool TkHTMLLabel::hasHeightForWidth() const {
    return wordWrap();
}

int TkHTMLLabel::heightForWidth(int width) const {
    return measure(width).height();
}

void TkHTMLLabel::changed() {
    updateGeometry();
    applyAutoSize();
    update();
}

void TkHTMLLabel::applyAutoSize() {
    if (!autoSize_) return;
    // A layout decides the size of the widgets it holds.
    if (parentWidget() && parentWidget()->layout()) return;
    const QSize s = wordWrap() ? QSize(width(), heightForWidth(width())) : sizeHint();
    if (s != size()) resize(s);
}

void TkHTMLLabel::paintEvent(QPaintEvent*) {
    const Prepared p = prepare();
    if (p.noWordWrap && wordWrap()) {
        // The text asked for one line: switch the label's word wrap off for good and re-size.
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWordWrap(false);
                changed();
            },
            Qt::QueuedConnection);
    }
    layout_ = HtmlLayout();
    if (p.text.isEmpty()) return;

    QPainter painter(this);
    if (showBeveled_) PaintHtmlBevel(painter, rect(), palette());
    const QRect area = contentsRect();
    if (p.markup) {
        layout_ = layoutFor(p, area, horizontalAlignment());
        if (hotAnchor_ >= int(layout_.anchors.size())) hotAnchor_ = -1;
        HtmlPaintColors c = HtmlPaintColorsFor(palette(), isEnabled());
        if (fontColor_.isValid()) c.text = fontColor_;
        c.anchor = anchorColor_;
        c.text3D = showText3D_;
        c.shadow = ShadowColor();
        c.shadowSize = shadowSize_;
        c.hotAnchor = hotAnchor_;
        PaintHtmlLayout(painter, layout_, c);
    } else {
        const QRect r = area.adjusted(innerSpace_, innerSpace_, -innerSpace_, -innerSpace_);
        const QString text = shownText(p.text);
        style()->drawItemText(&painter, r, plainFlags(p), palette(), isEnabled(), text, foregroundRole());
        updatePlainHint(r, plainFlags(p), text);
    }
    if (autoSize_)
        QMetaObject::invokeMethod(
            this, [this] { applyAutoSize(); }, Qt::QueuedConnection);
}

void TkHTMLLabel::updatePlainHint(const QRect& r, int flags, const QString& text) {
    if (designing_ || !hintManaged_ || autoSize_) return;
    const QRect needed = fontMetrics().boundingRect(r, flags, text);
    const QString hint = needed.width() > r.width() + 3 || needed.height() > r.height() ? text : QString();
    if (hint == toolTip()) return;
    settingHint_ = true;
    setToolTip(hint);
    settingHint_ = false;
}

bool TkHTMLLabel::event(QEvent* e) {
    if (e->type() == QEvent::ToolTipChange && !settingHint_) hintManaged_ = toolTip().isEmpty();
    return QLabel::event(e);
}

void TkHTMLLabel::setHot(int index) {
    if (index == hotAnchor_) return;
    const int old = hotAnchor_;
    hotAnchor_ = index;
    for (int i = 0; i < int(layout_.anchors.size()); ++i)
        if (SameHtmlLink(layout_, i, old) || SameHtmlLink(layout_, i, index))
            update(layout_.anchors[size_t(i)].Rect.adjusted(-1, -1, 1, 1));
}

void TkHTMLLabel::setLinkCursor(bool overLink) {
    if (overLink == overLink_) return;
    overLink_ = overLink;
    if (overLink) {
        ownCursor_ = testAttribute(Qt::WA_SetCursor) ? std::optional<QCursor>(cursor()) : std::nullopt;
        setCursor(Qt::PointingHandCursor);
    } else if (ownCursor_) {
        setCursor(*ownCursor_);
    } else {
        unsetCursor();
    }
}

void TkHTMLLabel::mouseMoveEvent(QMouseEvent* e) {
    const int index = AnchorAt(layout_.anchors, e->position().toPoint());
    setLinkCursor(index >= 0);
    setHot(index);
    QLabel::mouseMoveEvent(e);
}

void TkHTMLLabel::leaveEvent(QEvent* e) {
    setLinkCursor(false);
    setHot(-1);
    QLabel::leaveEvent(e);
}

void TkHTMLLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = true;
    QLabel::mousePressEvent(e);
}

void TkHTMLLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = e->button() == Qt::LeftButton && pressed_ && rect().contains(e->position().toPoint());
    if (e->button() == Qt::LeftButton) pressed_ = false;
    QPointer<TkHTMLLabel> alive(this); // a handler may close the window that holds the label
    if (click) {
        const int index = AnchorAt(layout_.anchors, e->position().toPoint());
        if (index >= 0) {
            setLinkCursor(false);
            const TAnchorInfo link = layout_.anchors[size_t(index)];
            if (link.LinkType == QLatin1String("HREF"))
                OpenHtmlLinkOrWarn(link.LinkName);
            else if (OnAnchorClick)
                OnAnchorClick(this, link.LinkName);
        }
        if (alive) emit clicked();
    }
    if (alive) QLabel::mouseReleaseEvent(e);
}

void TkHTMLLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    update();
}

void TkHTMLLabel::changeEvent(QEvent* e) {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::EnabledChange ||
        e->type() == QEvent::PaletteChange)
        changed();
}
