#include "html_url_label.h"

#include "html_link_open.h"
#include "html_paint.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>

TkURLLabel::TkURLLabel(QWidget* parent) : QLabel(parent) {
    init();
}

TkURLLabel::TkURLLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    init();
}

void TkURLLabel::init() {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
}

QColor TkURLLabel::FontColor() const {
    return fontColor_.isValid() ? fontColor_ : HtmlLinkColor(palette());
}
void TkURLLabel::setFontColor(const QColor& color) {
    fontColor_ = color;
    update();
}
QColor TkURLLabel::HotColor() const {
    return hotColor_.isValid() ? hotColor_ : HtmlHotLinkColor(palette());
}
void TkURLLabel::setHotColor(const QColor& color) {
    hotColor_ = color;
    update();
}

void TkURLLabel::setURLCommand(const QString& command) {
    if (toolTip() == urlCommand_) setToolTip(command);
    urlCommand_ = command;
}

void TkURLLabel::setShowAccelChar(bool on) {
    showAccelChar_ = on;
    update();
}

void TkURLLabel::showEvent(QShowEvent* e) {
    if (!loaded_) {
        loaded_ = true;
        if (toolTip().isEmpty()) setToolTip(urlCommand_);
    }
    QLabel::showEvent(e);
}

void TkURLLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = contentsRect();
    const int flags = int(QStyle::visualAlignment(layoutDirection(), alignment())) |
                      (showAccelChar_ ? Qt::TextShowMnemonic : 0) | (wordWrap() ? Qt::TextWordWrap : 0);
    QFont f = font(); // underlined here, so the label keeps following its parent's font
    f.setUnderline(true);
    painter.setFont(f);
    if (isEnabled()) {
        painter.setPen(hot_ ? HotColor() : FontColor());
        painter.drawText(r, flags, text());
    } else {
        painter.setPen(palette().color(QPalette::Active, QPalette::Light));
        painter.drawText(r.translated(1, 1), flags, text());
        painter.setPen(palette().color(QPalette::Active, QPalette::Dark));
        painter.drawText(r, flags, text());
    }
}

void TkURLLabel::enterEvent(QEnterEvent* e) {
    hot_ = true;
    update();
    QLabel::enterEvent(e);
}

void TkURLLabel::leaveEvent(QEvent* e) {
    hot_ = false;
    update();
    QLabel::leaveEvent(e);
}

void TkURLLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = true;
    QLabel::mousePressEvent(e);
}

void TkURLLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = e->button() == Qt::LeftButton && pressed_ && rect().contains(e->position().toPoint());
    if (e->button() == Qt::LeftButton) pressed_ = false;
    QPointer<TkURLLabel> alive(this);
    if (click) {
        const QString command = urlCommand_;
        emit clicked();
        if (!command.isEmpty()) OpenHtmlLinkOrWarn(command);
    }
    if (alive) QLabel::mouseReleaseEvent(e);
}
