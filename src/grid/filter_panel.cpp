#include "filter_panel.h"

#include "column_filter.h"
#include "db_grid.h"
#include "filter_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

GridFilterPanel::GridFilterPanel(TkDBGrid* grid) : QWidget(grid), grid_(grid) {
    setObjectName(QStringLiteral("FilterPanel"));
    setAutoFillBackground(true);
    lblFilter = new QLabel;
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    lblFilter->setTextFormat(Qt::PlainText);
    eFilter = new QComboBox;
    eFilter->setObjectName(QStringLiteral("eFilter"));
    eFilter->setEditable(true);
    eFilter->setInsertPolicy(QComboBox::NoInsert);
    eFilter->hide();
    eFilter->installEventFilter(this);
    eFilter->lineEdit()->installEventFilter(this);
    buttons = new QWidget;
    new QHBoxLayout(buttons);
    buttons->layout()->setContentsMargins(0, 0, 0, 0);
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(4, 1, 2, 1);
    l->addWidget(lblFilter, 1);
    l->addWidget(eFilter, 1);
    l->addWidget(buttons);
    connect(eFilter, &QComboBox::activated, this, [this] { applyText(); });
    buttonsChanged();
}

int GridFilterPanel::panelHeight() const {
    return 2 * std::max(0, grid_->OptionsEx2.Filters.FilterPanelPaddingHeight) + 21;
}

void GridFilterPanel::buttonsChanged() {
    QPalette p = palette();
    const QColor c = grid_->OptionsEx2.Filters.FilterPanelColor;
    p.setColor(QPalette::Window, c.isValid() ? c : grid_->palette().color(QPalette::Button));
    setPalette(p);
    for (QToolButton* b : buttons->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly))
        delete b;
    // Texts that are not numbers, and negative ones, are skipped.
    for (const QString& t : grid_->OptionsEx2.Filters.FilterPanelButtonList.split(',', Qt::SkipEmptyParts)) {
        bool ok;
        const int n = t.trimmed().toInt(&ok);
        if (!ok || n < 0) continue;
        auto* b = new QToolButton;
        b->setText(QString::number(n));
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, n] {
            if (grid_->OnFilterPanelButtonClick) grid_->OnFilterPanelButtonClick(grid_, n);
        });
        buttons->layout()->addWidget(b);
    }
}

void GridFilterPanel::filterChanged() {
    TDataSet* ds = grid_->dataSet();
    const bool on = ds && ds->Active() && ds->Filtered();
    const QString text = on ? ds->Filter().trimmed() : QString();
    lblFilter->setText(text);
    lblFilter->setToolTip(text);
    if (text.isEmpty()) return;
    QStringList& items = FilterPanelItems(grid_);
    items.removeAll(text);
    items.prepend(text);
}

void GridFilterPanel::edit() {
    TDataSet* ds = grid_->dataSet();
    if (!ds || !ds->Active()) return;
    eFilter->clear();
    eFilter->addItems(FilterPanelItems(grid_));
    eFilter->setEditText(ds->Filtered() ? ds->Filter() : QString());
    lblFilter->hide();
    eFilter->show();
    eFilter->setFocus();
    eFilter->lineEdit()->selectAll();
}

bool GridFilterPanel::applyText() {
    TDataSet* ds = grid_->dataSet();
    if (!ds || !grid_->CommitEdit()) return false;
    if (!ApplyFilter(ds, eFilter->currentText(), true)) return false;
    grid_->FilterChangedNotification();
    eFilter->hide();
    lblFilter->show();
    grid_->setFocus();
    return true;
}

void GridFilterPanel::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    edit();
}

bool GridFilterPanel::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            applyText();
            return true;
        }
        if (key == Qt::Key_Escape) {
            eFilter->hide();
            lblFilter->show();
            grid_->setFocus();
            return true;
        }
    }
    if (e->type() == QEvent::FocusOut && o == eFilter->lineEdit() && !eFilter->view()->isVisible() &&
        static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason) {
        eFilter->hide();
        lblFilter->show();
    }
    return QWidget::eventFilter(o, e);
}
