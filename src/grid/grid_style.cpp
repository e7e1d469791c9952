#include "grid_style.h"

#include "db_grid.h"

#include <QApplication>
#include <QHeaderView>

namespace {
QColor setColor(const QPalette& p, QPalette::ColorRole role) {
    return p.isBrushSet(QPalette::Active, role) ? p.color(QPalette::Active, role) : QColor();
}

void putColor(QPalette& p, QPalette::ColorRole role, const QColor& c, const QPalette& defaults) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, role, c.isValid() ? c : defaults.color(group, role));
    // Back to the default: the role no longer counts as set (so it follows the application's).
    if (!c.isValid())
        for (int group = 0; group < QPalette::NColorGroups; ++group)
            p.setResolveMask(p.resolveMask() & ~(quint64(1) << (int(role) + QPalette::NColorRoles * group)));
}
} // namespace

TkDBGridStyle ReadGridStyle(const TkDBGrid& grid) {
    TkDBGridStyle s;
    s.Font = grid.font();
    s.TitleFont = grid.horizontalHeader()->font();
    const QPalette& p = grid.palette();
    s.Color = setColor(p, QPalette::Base);
    s.ColorOddRow = grid.alternatingRowColors() ? p.color(QPalette::AlternateBase) : QColor();
    s.ColorSelection = setColor(p, QPalette::Highlight);
    s.GridLines = grid.showGrid();
    const int h = grid.verticalHeader()->defaultSectionSize();
    s.RowHeight = h == grid.DefaultRowHeight() ? 0 : h;
    s.ShowIndicator = grid.ShowIndicator();
    s.FooterVisible = grid.FooterRow.FooterVisible;
    return s;
}

// A font set on a widget counts only with its properties marked as set; the titles must not take
// the cells' font just because their own equals the application's.
QFont setFont(QFont f) {
    f.setResolveMask(QFont::AllPropertiesResolved);
    return f;
}

void ApplyGridStyle(TkDBGrid& grid, const TkDBGridStyle& s) {
    grid.setFont(setFont(s.Font));
    grid.horizontalHeader()->setFont(setFont(s.TitleFont));
    const QPalette defaults = QApplication::palette(&grid);
    QPalette p = grid.palette();
    putColor(p, QPalette::Base, s.Color, defaults);
    putColor(p, QPalette::AlternateBase, s.ColorOddRow, defaults);
    putColor(p, QPalette::Highlight, s.ColorSelection, defaults);
    grid.setPalette(p);
    grid.setAlternatingRowColors(s.ColorOddRow.isValid());
    grid.setShowGrid(s.GridLines);
    grid.verticalHeader()->setDefaultSectionSize(s.RowHeight > 0 ? s.RowHeight : grid.DefaultRowHeight());
    grid.setShowIndicator(s.ShowIndicator);
    grid.FooterRow.FooterVisible = s.FooterVisible;
    grid.FooterChanged();
    grid.horizontalHeader()->updateGeometry();
    grid.viewport()->update();
}

TkDBGridStyle DefaultGridStyle() {
    TkDBGridStyle s;
    s.Font = QApplication::font();
    s.TitleFont = QApplication::font();
    return s;
}
