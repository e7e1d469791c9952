#pragma once
// TkHTMLLabel: a label that renders the program's small markup (bold, italic, underline, sizes,
// colours, tab stops, an indent, line breaks, parameters and links).
#include "html_layout.h"

#include <QColor>
#include <QCursor>
#include <QLabel>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class TkHTMLLabel : public QLabel {
    Q_OBJECT
public:
    explicit TkHTMLLabel(QWidget* parent = nullptr);
    explicit TkHTMLLabel(const QString& caption, QWidget* parent = nullptr);

    // The marked-up text; when it holds only white space the caption (text()) is used.
    const QStringList& CaptionStrings() const { return captionStrings_; }
    void setCaptionStrings(const QStringList& lines); // clears the caption
    void setCaptionStrings(const QString& text);      // split at line breaks

    bool CaptionSkipEnter() const { return captionSkipEnter_; }
    void setCaptionSkipEnter(bool on);
    bool CaptionSimpleText() const { return captionSimpleText_; }
    void setCaptionSimpleText(bool on);
    QColor FontColor() const { return fontColor_; } // invalid: the font's colour
    void setFontColor(const QColor& color);
    QColor AnchorColor() const { return anchorColor_; } // invalid: the standard link colours
    void setAnchorColor(const QColor& color);
    bool ShowText3D() const { return showText3D_; }
    void setShowText3D(bool on);
    QColor ShadowColor() const; // the button shadow unless set
    void setShadowColor(const QColor& color);
    int ShadowSize() const { return shadowSize_; }
    void setShadowSize(int size);
    bool ShowBeveled() const { return showBeveled_; }
    void setShowBeveled(bool on);
    int InnerSpace() const { return innerSpace_; }
    void setInnerSpace(int space); // 0..255
    int TabGridWidth() const { return tabGridWidth_; }
    void setTabGridWidth(int width); // 1..255; 0 gives 1
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    // Parameters show as "[" name "]" while the form is being designed.
    bool Designing() const { return designing_; }
    void setDesigning(bool on);

    // A click on a link that is not of type HREF.
    std::function<void(TkHTMLLabel* sender, const QString& LinkName)> OnAnchorClick;
    // Supplies the value of a <VAR> parameter: ParamStr holds the name and receives the value.
    std::function<void(TkHTMLLabel* sender, QString& ParamStr)> OnGetParameter;

    // The text after the preparation steps (parameters filled in; carriage returns separate lines).
    QString PreparedText() const;
    // Whether the markup drawing is used rather than the plain one.
    bool UsesMarkup() const;
    // The links, laid out anew for the current text and size; the mouse uses those of the last
    // painting. HotAnchor is the one under the mouse (-1 for none).
    const std::vector<TAnchorInfo>& Anchors();
    int HotAnchor() const { return hotAnchor_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

signals:
    // The ordinary click, after any link handling.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void init();
    void changed(); // re-size (auto size) and repaint after a property change
    void applyAutoSize();
    struct Prepared {
        QString text;
        bool noWordWrap = false;
        bool markup = false;
    };
    Prepared prepare() const; // runs the parameter handler
    bool wraps(const Prepared& p) const;
    HtmlLayout layoutFor(const Prepared& p, const QRect& rect, Qt::Alignment alignment) const;
    Qt::Alignment horizontalAlignment() const;
    int plainFlags(const Prepared& p) const;
    QSize measure(int width) const; // width < 0: unbounded
    void setHot(int index);
    void setLinkCursor(bool overLink);
    void updatePlainHint(const QRect& rect, int flags, const QString& text);

    QStringList captionStrings_;
    bool captionSkipEnter_ = false;
    bool captionSimpleText_ = false;
    QColor fontColor_;
    QColor anchorColor_;
    bool showText3D_ = false;
    QColor shadowColor_;
    int shadowSize_ = 1;
    bool showBeveled_ = false;
    int innerSpace_ = 0;
    int tabGridWidth_ = 30;
    bool autoSize_ = true;
    bool designing_ = false;

    HtmlLayout layout_;
    int hotAnchor_ = -1;
    bool pressed_ = false;
    bool overLink_ = false;
    std::optional<QCursor> ownCursor_; // the label's own cursor while the hand is shown
    bool hintManaged_ = true;          // the label has no hint of its own
    bool settingHint_ = false;
};
