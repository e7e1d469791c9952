#include "direct_preview_form.h"

#include "prop_save_file.h"
#include "prop_save_main.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

TkDBPrintDirectPreviewForm::TkDBPrintDirectPreviewForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TkDBPrintDirectPreviewForm"));
    setWindowTitle(QStringLiteral("Print preview"));
    setSizeGripEnabled(true);
    setMinimumSize(500, 494);
    auto* root = new QVBoxLayout(this);
    view = new QScrollArea;
    view->setObjectName(QStringLiteral("view"));
    view->setAlignment(Qt::AlignCenter);
    view->setBackgroundRole(QPalette::Dark);
    image = new QLabel;
    image->setObjectName(QStringLiteral("image"));
    view->setWidget(image);
    root->addWidget(view, 1);
    auto* bar = new QHBoxLayout;
    auto tool = [&](const char* name, const QString& text, const QString& hint) {
        auto* b = new QToolButton;
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        bar->addWidget(b);
        return b;
    };
    btZoomFit = tool("btZoomFit", QStringLiteral("[ ]"), QStringLiteral("Zoom - to window"));
    btZoomIn = tool("btZoomIn", QStringLiteral("+"), QStringLiteral("Zoom in"));
    btZoomOut = tool("btZoomOut", QStringLiteral("-"), QStringLiteral("Zoom out"));
    bar->addWidget(new QLabel(QStringLiteral("Page:")));
    ePage = new QSpinBox;
    ePage->setObjectName(QStringLiteral("ePage"));
    ePage->setMinimum(1);
    ePage->setMaximum(1);
    bar->addWidget(ePage);
    lPageCount = new QLabel;
    lPageCount->setObjectName(QStringLiteral("lPageCount"));
    bar->addWidget(lPageCount);
    btPrev = tool("btPrev", QStringLiteral("<"), QStringLiteral("Previous page"));
    btNext = tool("btNext", QStringLiteral(">"), QStringLiteral("Next page"));
    bar->addStretch();
    btPrint = new QPushButton(QStringLiteral("Print"));
    btPrint->setObjectName(QStringLiteral("btPrint"));
    btClose = new QPushButton(QStringLiteral("Close"));
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setToolTip(QStringLiteral("Close form"));
    bar->addWidget(btPrint);
    bar->addWidget(btClose);
    root->addLayout(bar);
    resize(900, 800);

    connect(btZoomFit, &QToolButton::clicked, this, [this] { ZoomFit(); });
    connect(btZoomIn, &QToolButton::clicked, this, [this] { ZoomIn(); });
    connect(btZoomOut, &QToolButton::clicked, this, [this] { ZoomOut(); });
    connect(btPrev, &QToolButton::clicked, this, [this] { ShowBmp(index_ - 1); });
    connect(btNext, &QToolButton::clicked, this, [this] { ShowBmp(index_ + 1); });
    connect(ePage, &QSpinBox::valueChanged, this, [this](int v) {
        if (acting_) ShowBmp(v - 1);
    });
    connect(btPrint, &QPushButton::clicked, this, &QDialog::accept);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);

    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->OnReadProperties = [this](TPropSaveFile* store, const QString& key) {
        if (store) zoom_ = std::max(1, store->ReadInteger(key, QStringLiteral("Zoom"), 100));
    };
    PropSaveMain1->OnSaveProperties = [this](TPropSaveFile* store, const QString& key) {
        if (store) store->WriteInteger(key, QStringLiteral("Zoom"), zoom_);
    };
    PropSaveMain1->Loaded();
}

TkDBPrintDirectPreviewForm::~TkDBPrintDirectPreviewForm() {
    PropSaveMain1->SaveBeforeDestroy(); // it writes zoom_
}

void TkDBPrintDirectPreviewForm::SetBmpList(const QList<QImage>& list) {
    list_ = list;
    lPageCount->setText(QStringLiteral("/ %1").arg(list_.size()));
    ePage->setMaximum(std::max<qsizetype>(1, list_.size()));
    ShowBmp(0);
    ZoomFit();
    acting_ = true;
}

void TkDBPrintDirectPreviewForm::ShowBmp(int index) {
    if (index < 0 || index >= list_.size()) return;
    index_ = index;
    const bool was = acting_;
    acting_ = false;
    ePage->setValue(index + 1);
    acting_ = was;
    btPrev->setEnabled(index > 0);
    btNext->setEnabled(index < list_.size() - 1);
    render();
}

void TkDBPrintDirectPreviewForm::render() {
    if (index_ < 0) return;
    const QImage& img = list_[index_];
    const QSize size(std::max(1, img.width() * zoom_ / 100), std::max(1, img.height() * zoom_ / 100));
    image->setPixmap(QPixmap::fromImage(img.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    image->resize(size);
}

void TkDBPrintDirectPreviewForm::setZoom(int percent) {
    if (percent <= 0) return;
    // The view's centre stays where it was.
    QScrollBar* h = view->horizontalScrollBar();
    QScrollBar* v = view->verticalScrollBar();
    const double cx = (h->value() + view->viewport()->width() / 2.0) / std::max(1, image->width());
    const double cy = (v->value() + view->viewport()->height() / 2.0) / std::max(1, image->height());
    zoom_ = percent;
    render();
    h->setValue(int(cx * image->width() - view->viewport()->width() / 2.0));
    v->setValue(int(cy * image->height() - view->viewport()->height() / 2.0));
}

void TkDBPrintDirectPreviewForm::ZoomIn() {
    setZoom(int(std::ceil(zoom_ * 125 / 100.0)));
}

void TkDBPrintDirectPreviewForm::ZoomOut() {
    setZoom(int(std::floor(zoom_ * 75 / 100.0)));
}

void TkDBPrintDirectPreviewForm::ZoomFit() {
    if (index_ < 0) return;
    const QImage& img = list_[index_];
    const QSize vs = view->viewport()->size();
    setZoom(
        std::min(vs.width() * 100 / std::max(1, img.width()), vs.height() * 100 / std::max(1, img.height())));
}
