// The grid's side of the cell conditions: the per-cell parameters, the on/off switch, data images.
#include "db_grid.h"

#include <QStyleOptionViewItem>

void TkDBGrid::SetCellConditionActive(bool on) {
    OptionsEx2.CellCondition.Active = on;
    RefreshCellParamsCond();
}

void TkDBGrid::RefreshCellParamsCond() {
    viewport()->update();
}

void TkDBGrid::GetCellParams(const TField* field, int row, TCellParams& params, bool activeRow,
                             bool highlight) {
    CellParamsConditions.GetFieldCond(field, row, params, activeRow, highlight);
    if (!OnGetCellParams && !OnGetCellParamsEx) return;
    if (OnGetCellParams) OnGetCellParams(this, field, params.font, params.background, activeRow, highlight);
    if (OnGetCellParamsEx)
        OnGetCellParamsEx(this, field, params.font, params.background, params.image, activeRow, highlight);
}

void TkDBGrid::applyDataImage(QStyleOptionViewItem& o, const QModelIndex& index,
                              const TDataImageDef& image) const {
    const TField* f = fieldOfColumn(index.column());
    const QString shown = index.data(Qt::DisplayRole).toString();
    if (image.ShowText.isEmpty())
        o.text.clear();
    else if (image.ShowText == QLatin1String("+"))
        o.text = shown;
    else if (image.ShowText.startsWith(QLatin1Char('\'')))
        o.text = image.ShowText.mid(1);
    else
        o.text = image.ShowText;
    int icon = image.ImageIndex;
    if (icon == -3) {
        // The field's value is the index; anything but a whole number shows no icon.
        bool ok = false;
        icon = shown.trimmed().toInt(&ok);
        if (!ok) icon = -1;
    }
    if (icon < 0 || icon >= DataImages.size()) return;
    o.icon = DataImages[icon];
    o.features |= QStyleOptionViewItem::HasDecoration;
    const QChar a = image.ImageAlignment.isEmpty() ? QChar() : image.ImageAlignment.at(0).toUpper();
    bool right = a == QLatin1Char('R');
    if (a == QLatin1Char('A')) right = !f || !(f->Alignment & (Qt::AlignRight | Qt::AlignHCenter));
    if (a.isNull()) {
        // The icon takes the whole cell.
        o.decorationAlignment = Qt::AlignCenter;
        o.decorationSize = o.rect.size() - QSize(2, 2);
        o.text.clear();
        return;
    }
    o.decorationPosition = right ? QStyleOptionViewItem::Right : QStyleOptionViewItem::Left;
}
