#include "qt_messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {
QWidget* activeWindow() {
    return QApplication::activeWindow();
}

// Texts hold file names and database messages: shown as plain text, so markup in them can neither
// format the box nor become a link. A heading is made bold by its font.
void plainText(QMessageBox& box, bool boldHeading = false) {
    box.setTextFormat(Qt::PlainText);
    if (auto* info = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        info->setTextFormat(Qt::PlainText);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (boldHeading && label) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
}

int show(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, activeWindow());
    plainText(box);
    return box.exec();
}

MsgAnswer ask(QMessageBox& box, bool withCancel) {
    box.setStandardButtons(withCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                                      : QMessageBox::Yes | QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Cancel;
    }
}
} // namespace

void QtMessages::information(const QString& text) {
    show(QMessageBox::Information, QStringLiteral("Information"), text);
}
void QtMessages::warning(const QString& text) {
    show(QMessageBox::Warning, QStringLiteral("Warning"), text);
}
void QtMessages::error(const QString& text) {
    show(QMessageBox::Critical, QStringLiteral("Error"), text);
}

MsgAnswer QtMessages::question(const QString& text, bool withCancel) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton,
                    activeWindow());
    plainText(box);
    return ask(box, withCancel);
}

MsgAnswer QtMessages::questionHeading(const QString& heading, const QString& text, bool withCancel) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), heading, QMessageBox::NoButton,
                    activeWindow());
    box.setInformativeText(text);
    plainText(box, true);
    return ask(box, withCancel);
}

bool QtMessages::inputBox(const QString& caption, const QString& prompt, QString& value) {
    bool ok = false;
    QString v = QInputDialog::getText(activeWindow(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = v;
    return ok;
}

void QtMessages::exceptionBox(const QString& heading, const QString& message) {
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"), heading, QMessageBox::Ok, activeWindow());
    box.setInformativeText(ExceptionBoxText(message));
    plainText(box, true);
    box.exec();
}

class ProgressDialog : public QDialog {
public:
    ProgressDialog() : QDialog(nullptr, Qt::Tool | Qt::WindowTitleHint) {
        setWindowTitle(QStringLiteral("Information"));
        auto* l = new QVBoxLayout(this);
        text = new QLabel;
        text->setTextFormat(Qt::PlainText);
        text->setAlignment(Qt::AlignCenter);
        text->setWordWrap(true);
        text->setMinimumWidth(280);
        bar = new QProgressBar;
        bar->setRange(0, 100);
        abort = new QLabel(QStringLiteral("<a href=\"abort\">Abort</a>"));
        abort->setAlignment(Qt::AlignCenter);
        QObject::connect(abort, &QLabel::linkActivated, [this] {
            if (onAbort) onAbort();
        });
        l->addWidget(text);
        l->addWidget(bar);
        l->addWidget(abort);
    }
    QLabel* text;
    QProgressBar* bar;
    QLabel* abort;
    std::function<void()> onAbort;
};

QtProgress::~QtProgress() {
    delete window_;
}

void QtProgress::update(const QString& text, int percent, const std::function<void()>& onAbort,
                        QObject* over) {
    if (text.isEmpty()) {
        if (window_) window_->hide();
        QCoreApplication::processEvents();
        return;
    }
    if (!window_) window_ = new ProgressDialog;
    window_->text->setText(text);
    window_->bar->setVisible(percent >= 0);
    if (percent >= 0) window_->bar->setValue(percent);
    window_->onAbort = onAbort;
    window_->abort->setVisible(bool(onAbort));
    if (!window_->isVisible()) {
        window_->adjustSize();
        if (auto* w = qobject_cast<QWidget*>(over)) {
            QRect r = w->window()->frameGeometry();
            window_->move(r.center() - window_->rect().center());
        }
        window_->show();
    }
    QCoreApplication::processEvents();
}

void InstallQtMessages() {
    static QtMessages messages;
    static QtProgress progress;
    SetMessages(&messages);
    SetProgress(&progress);
}
