#include "grid_style.h"

#include "color_text.h"
#include "db_grid.h"
#include "prop_save_file.h"

#include <QApplication>
#include <QHeaderView>
#include <algorithm>

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

namespace {
int bgrOf(const QColor& c) {
    return c.isValid() ? ColorToBgr(c) : kNoColor;
}

QColor colorOfBgr(int bgr) {
    return bgr == kNoColor ? QColor() : BgrToColor(bgr);
}

const QString kBkColor = QStringLiteral("BkColor");
const QString kColorOddRow = QStringLiteral("ColorOddRow");
const QString kColorSelected = QStringLiteral("ColorSelected");
const QString kRowHeight = QStringLiteral("RowHeight");
const QString kShowIndicator = QStringLiteral("ShowIndicator");
const QString kFilterButtonsActiveOnly = QStringLiteral("FilterButtonsActiveOnly");
const QString kFilterBar = QStringLiteral("FilterBar");
const QString kFilterBarTop = QStringLiteral("FilterBarTop");
const QString kFilterPanel = QStringLiteral("FilterPanel");
} // namespace

void SaveGridLook(TPropSaveFile& s, const TkDBGrid& g, const QString& key) {
    const TkDBGridStyle look = ReadGridStyle(g);
    s.WriteInteger(key, kBkColor, bgrOf(look.Color));
    s.WriteInteger(key, kColorOddRow, bgrOf(look.ColorOddRow));
    s.WriteInteger(key, kColorSelected, bgrOf(look.ColorSelection));
    s.WriteInteger(key, kRowHeight, look.RowHeight);
    s.WriteBool(key, kShowIndicator, look.ShowIndicator);
    const TkDBGridFilters& f = g.OptionsEx2.Filters;
    s.WriteBool(key, kFilterButtonsActiveOnly, f.FunnelBtnActiveOnly);
    s.WriteBool(key, kFilterBar, f.TextBar);
    s.WriteBool(key, kFilterBarTop, f.TextBarTopLayout);
    s.WriteBool(key, kFilterPanel, f.FilterPanel);
}

void ReadGridLook(TPropSaveFile& s, TkDBGrid& g, const QString& key) {
    TkDBGridStyle look = ReadGridStyle(g);
    if (s.ValueExists(key, kBkColor)) look.Color = colorOfBgr(s.ReadInteger(key, kBkColor, kNoColor));
    if (s.ValueExists(key, kColorOddRow))
        look.ColorOddRow = colorOfBgr(s.ReadInteger(key, kColorOddRow, kNoColor));
    if (s.ValueExists(key, kColorSelected))
        look.ColorSelection = colorOfBgr(s.ReadInteger(key, kColorSelected, kNoColor));
    look.RowHeight = std::clamp(s.ReadInteger(key, kRowHeight, look.RowHeight), 0, 200);
    look.ShowIndicator = s.ReadBool(key, kShowIndicator, look.ShowIndicator);
    if (!(look == ReadGridStyle(g))) ApplyGridStyle(g, look);
    TkDBGridFilters& f = g.OptionsEx2.Filters;
    f.FunnelBtnActiveOnly = s.ReadBool(key, kFilterButtonsActiveOnly, f.FunnelBtnActiveOnly);
    f.TextBar = s.ReadBool(key, kFilterBar, f.TextBar);
    f.TextBarTopLayout = s.ReadBool(key, kFilterBarTop, f.TextBarTopLayout);
    f.FilterPanel = s.ReadBool(key, kFilterPanel, f.FilterPanel);
    g.FiltersChanged();
}
