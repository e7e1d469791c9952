#pragma once
// TkURLLabel: a plain label that looks and acts as one link and opens URLCommand when clicked.
#include <QColor>
#include <QLabel>

class TkURLLabel : public QLabel {
    Q_OBJECT
public:
    explicit TkURLLabel(QWidget* parent = nullptr);
    explicit TkURLLabel(const QString& caption, QWidget* parent = nullptr);

    QColor FontColor() const; // the system's link colour unless set
    void setFontColor(const QColor& color);
    QColor HotColor() const; // the system's hot link colour unless set
    void setHotColor(const QColor& color);
    // What a click opens (a web or mail address or a document; programs are never started).
    QString URLCommand() const { return urlCommand_; }
    void setURLCommand(const QString& command); // also the hint while the hint equals the command
    // With accelerator characters on, "&" marks the shortcut letter.
    bool ShowAccelChar() const { return showAccelChar_; }
    void setShowAccelChar(bool on);
    bool Hot() const { return hot_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void init();

    QColor fontColor_;
    QColor hotColor_;
    QString urlCommand_;
    bool showAccelChar_ = false;
    bool hot_ = false;
    bool pressed_ = false;
    bool loaded_ = false;
};
