// TkDBGrid's column groups: which columns a collapsed group hides, the title band over a group's
// columns with the +/- mark of its master, and the press on that mark.
#include "db_grid.h"
#include "field.h"

#include <QHeaderView>
#include <QPainter>

namespace {
constexpr int kMarkSize = 9; // the +/- box at 96 dpi
}

void TkDBGrid::SetColumnGroups(const QList<TColumnGroup>& groups) {
    groups_.Groups = TColumnGroups::Checked(groups);
    FixGroupedColumns();
    ApplyColumnGroups();
}

void TkDBGrid::SetFieldGroupsActive(bool on) {
    groups_.Active = on;
    ApplyColumnGroups();
}

void TkDBGrid::SetGroupCollapsed(int group, bool collapsed) {
    if (group < 0 || group >= groups_.Groups.size()) return;
    groups_.Groups[group].Collapsed = collapsed;
    ApplyColumnGroups();
}

void TkDBGrid::ApplyColumnGroups() {
    QHeaderView* h = horizontalHeader();
    for (int c = 0; c < model_->columnCount(); ++c) {
        const QString field = model_->fieldAt(c)->FieldName;
        const QString key = field.toLower();
        if (groups_.hiddenByGroup(field)) {
            // A column the user hid already stays the user's: expanding must not show it.
            if (!isColumnHidden(c)) {
                setColumnHidden(c, true);
                groupHidden_.insert(key);
            }
        } else if (groupHidden_.remove(key) && isColumnHidden(c)) {
            setColumnHidden(c, false);
            if (columnWidth(c) <= 0) SetOneColumnWidth(cwDefaultWidth, c);
        }
    }
    if (!groups_.Active) groupHidden_.clear();
    h->updateGeometry();
    updateGeometries();
    h->viewport()->update();
    viewport()->update();
    if (columnWidth_ == cwSameWidth || columnWidth_ == cwAutoWidth) SetColumnWidth(columnWidth_);
}

bool TkDBGrid::ColumnUserVisible(int column) const {
    const TField* f = fieldOfColumn(column);
    return f && (!isColumnHidden(column) || groupHidden_.contains(f->FieldName.toLower()));
}

void TkDBGrid::FixGroupedColumns() {
    QHeaderView* h = horizontalHeader();
    for (const TColumnGroup& g : groups_.Groups) {
        int at = -1; // the visual position of the group's leftmost column
        QList<int> columns;
        for (const QString& f : g.Fields) {
            const int c = columnOfField(f);
            if (c < 0) continue;
            columns << c;
            at = at < 0 ? h->visualIndex(c) : std::min(at, h->visualIndex(c));
        }
        // The columns placed so far fill at..at+i-1, so the next one lies at or after at+i.
        for (int i = 0; i < columns.size(); ++i)
            if (h->visualIndex(columns[i]) != at + i) h->moveSection(h->visualIndex(columns[i]), at + i);
    }
}

bool TkDBGrid::GroupBandShown() const {
    if (!groups_.Active) return false;
    for (int c = 0; c < model_->columnCount(); ++c)
        if (groups_.groupOf(model_->fieldAt(c)->FieldName) >= 0) return true;
    return false;
}

int TkDBGrid::GroupBandHeight() const {
    return horizontalHeader()->fontMetrics().height() + 6;
}

bool TkDBGrid::ColumnShowsGroupText(int column) const {
    const TField* f = fieldOfColumn(column);
    return f && groups_.showsGroupText(f->FieldName);
}

QRect TkDBGrid::GroupMarkRect(int group) const {
    if (!GroupBandShown() || group < 0 || group >= groups_.Groups.size()) return QRect();
    const int c = columnOfField(groups_.Groups[group].Master);
    const QHeaderView* h = horizontalHeader();
    if (c < 0 || h->isSectionHidden(c)) return QRect();
    const int size = ScalePixels(kMarkSize, scaleRatio());
    const int band = GroupBandHeight();
    return QRect(h->sectionViewportPosition(c) + 4, (band - size) / 2, size, size);
}

QRect TkDBGrid::paintGroupBand(QPainter* p, const QRect& rect, int logical) const {
    if (!GroupBandShown()) return rect;
    const TField* f = fieldOfColumn(logical);
    const int g = f ? groups_.groupOf(f->FieldName) : -1;
    if (g < 0) return rect; // an ungrouped title takes the whole height
    const int band = GroupBandHeight();
    const QHeaderView* h = horizontalHeader();
    // The run of shown columns of the same group around this one gets one band.
    auto sameGroup = [&](int visual) {
        const int c = h->logicalIndex(visual);
        return c >= 0 && groups_.groupOf(model_->fieldAt(c)->FieldName) == g;
    };
    int first = h->visualIndex(logical), last = first;
    for (int v = first - 1; v >= 0 && sameGroup(v); --v)
        if (!h->isSectionHidden(h->logicalIndex(v))) first = v;
    for (int v = last + 1; v < h->count() && sameGroup(v); ++v)
        if (!h->isSectionHidden(h->logicalIndex(v))) last = v;
    const int left = h->sectionViewportPosition(h->logicalIndex(first));
    const int lastColumn = h->logicalIndex(last);
    const int right = h->sectionViewportPosition(lastColumn) + h->sectionSize(lastColumn) - 1;
    const QRect run(left, rect.top(), right - left + 1, band);

    p->save();
    p->setClipRect(QRect(rect.left(), rect.top(), rect.width(), band));
    p->fillRect(run, palette().color(QPalette::Button));
    p->setPen(palette().color(QPalette::Mid));
    p->drawLine(run.bottomLeft(), run.bottomRight());
    p->drawLine(run.topRight(), run.bottomRight());
    const TColumnGroup& group = groups_.Groups[g];
    QRect textRect = run.adjusted(4, 0, -4, 0);
    const QRect mark = GroupMarkRect(g).translated(0, rect.top());
    if (mark.isValid()) {
        p->setPen(palette().color(QPalette::ButtonText));
        p->fillRect(mark, palette().color(QPalette::Base));
        p->drawRect(mark.adjusted(0, 0, -1, -1));
        const QPoint c = mark.center();
        const int arm = mark.width() / 2 - 2;
        p->drawLine(c.x() - arm, c.y(), c.x() + arm, c.y());
        if (group.Collapsed) p->drawLine(c.x(), c.y() - arm, c.x(), c.y() + arm);
        if (mark.left() - run.left() < 8) textRect.setLeft(mark.right() + 4);
    }
    p->setPen(palette().color(QPalette::ButtonText));
    p->setFont(font());
    p->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                p->fontMetrics().elidedText(group.Name, Qt::ElideRight, textRect.width()));
    p->restore();
    return rect.adjusted(0, band, 0, 0);
}

bool TkDBGrid::groupBandPress(const QPoint& pos) {
    if (!GroupBandShown() || pos.y() >= GroupBandHeight()) return false;
    const int c = horizontalHeader()->logicalIndexAt(pos.x());
    const TField* f = fieldOfColumn(c);
    const int g = f ? groups_.groupOf(f->FieldName) : -1;
    if (g < 0) return false;
    if (GroupMarkRect(g).contains(pos)) SetGroupCollapsed(g, !groups_.Groups[g].Collapsed);
    return true;
}
