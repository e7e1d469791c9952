#include "footer_row.h"

#include "color_text.h"
#include "db_grid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QToolTip>

QString TFooterRow::DefinitionOf(const QString& field) const {
    for (const QString& line : FieldFooterDefs) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed().compare(field, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

FooterDef ParseFooterDef(const QString& definition) {
    FooterDef d;
    const QStringList items = definition.split(';');
    d.mask = items.value(0);
    for (qsizetype i = 1; i < items.size(); ++i) {
        const QString item = items[i].trimmed();
        if (item.isEmpty()) continue;
        if (item.compare(QLatin1String("L"), Qt::CaseInsensitive) == 0)
            d.align = Qt::AlignLeft;
        else if (item.compare(QLatin1String("R"), Qt::CaseInsensitive) == 0)
            d.align = Qt::AlignRight;
        else if (item.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0)
            d.align = Qt::AlignHCenter;
        else {
            d.hasFont = true;
            for (const QString& w :
                 item.split(QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts)) {
                bool isNumber = false;
                const int size = w.toInt(&isNumber);
                auto is = [&w](const char* a, const char* b) {
                    return w.compare(QLatin1String(a), Qt::CaseInsensitive) == 0 ||
                           w.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
                };
                if (isNumber)
                    d.pointSize = size;
                else if (is("B", "Bold"))
                    d.bold = true;
                else if (is("I", "Italic"))
                    d.italic = true;
                else if (is("U", "Underline"))
                    d.underline = true;
                else if (is("S", "StrikeOut"))
                    d.strikeOut = true;
                else
                    d.color = TextToColor(w);
            }
        }
    }
    return d;
}

void FooterDef::applyTo(QFont& font) const {
    if (!hasFont) return;
    if (pointSize > 0) font.setPointSize(pointSize);
    if (bold) font.setBold(true);
    if (italic) font.setItalic(true);
    if (underline) font.setUnderline(true);
    if (strikeOut) font.setStrikeOut(true);
}

GridFooter::GridFooter(TkDBGrid* grid) : QWidget(grid), grid_(grid) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
}

int GridFooter::rowHeight() const {
    const TFooterRow& f = grid_->FooterRow;
    return f.FooterHeight > 0 ? f.FooterHeight : grid_->verticalHeader()->defaultSectionSize() + 2;
}

QRect GridFooter::cellRect(int column) const {
    const int x = grid_->viewport()->x() - x0() + grid_->columnViewportPosition(column);
    return QRect(x, 0, grid_->columnWidth(column), height());
}

int GridFooter::x0() const {
    return geometry().x();
}

void GridFooter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TFooterRow& f = grid_->FooterRow;
    p.fillRect(rect(), f.Color.isValid() ? f.Color : palette().color(QPalette::Button));
    QFont font = f.ParentFont ? grid_->font() : f.Font;
    if (f.BoldText) font.setBold(true);
    const QColor lines = f.CellLinesColor.isValid() ? f.CellLinesColor : palette().color(QPalette::Mid);
    p.setPen(lines);
    p.drawLine(0, 0, width(), 0);
    auto text = [&](const QRect& r, const QString& s, Qt::Alignment a, const QFont& fnt, const QColor& ink) {
        p.setFont(fnt);
        p.setPen(ink);
        QString flat = s;
        flat.replace('|', ' ');
        p.drawText(r.adjusted(3, 1, -3, 0), int(a | Qt::AlignVCenter),
                   p.fontMetrics().elidedText(flat, Qt::ElideRight, r.width() - 6));
    };
    const QColor ink = palette().color(QPalette::ButtonText);
    const int indicator = grid_->viewport()->x() - x0();
    if (indicator > 0 && !f.FixedColText.isEmpty())
        text(QRect(0, 0, indicator, height()), f.FixedColText, Qt::AlignLeft, font, ink);
    if (!f.SimpleText.isEmpty()) {
        text(QRect(indicator, 0, width() - indicator, height()), f.SimpleText, f.SimpleTextAlign, font, ink);
        return;
    }
    p.setClipRect(QRect(indicator, 0, width() - indicator, height()));
    const int n = grid_->model()->columnCount();
    for (int c = 0; c < n; ++c) {
        if (grid_->isColumnHidden(c)) continue;
        const QRect r = cellRect(c);
        if (r.right() < indicator || r.left() > width()) continue;
        TField* field = grid_->fieldOfColumn(c);
        const QString def = field ? f.DefinitionOf(field->FieldName) : QString();
        if (!def.isEmpty()) {
            const FooterDef d = ParseFooterDef(def);
            QFont cellFont = font;
            d.applyTo(cellFont);
            const QColor cellInk = d.color != kNoColor ? BgrToColor(d.color) : ink;
            const Qt::Alignment a = d.align ? d.align : (field->Alignment & Qt::AlignHorizontal_Mask);
            text(r, grid_->FooterText(c), a ? a : Qt::AlignLeft, cellFont, cellInk);
        }
        if (f.ShowCellLines) {
            p.setPen(lines);
            p.drawLine(r.right(), 0, r.right(), height());
        }
    }
}

bool GridFooter::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int n = grid_->model()->columnCount();
        for (int c = 0; c < n; ++c)
            if (!grid_->isColumnHidden(c) && cellRect(c).contains(help->pos())) {
                QString tip = grid_->FooterText(c);
                tip.replace('|', '\n');
                if (!tip.isEmpty()) QToolTip::showText(help->globalPos(), tip, this);
                return true;
            }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}
