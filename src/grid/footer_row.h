#pragma once
// The footer row under a grid's rows: per field a definition "mask;items" whose mask shows aggregate
// tokens ("Sum: %sum"), items "L", "R", "C" for the alignment and any other item a font description.
#include <QColor>
#include <QFont>
#include <QStringList>
#include <QWidget>

class TkDBGrid;

struct TFooterRow {
    bool FooterVisible = false;
    int FooterHeight = 0; // 0: the data row height + 2
    QFont Font;
    bool ParentFont = true;
    bool BoldText = false;
    QColor Color; // invalid: the palette's button face
    bool ShowCellLines = true;
    QColor CellLinesColor; // invalid: the palette's mid tone
    QString FixedColText;  // shown in the indicator column
    QString SimpleText;    // instead of the cells, one text over the whole row
    Qt::Alignment SimpleTextAlign = Qt::AlignLeft;
    QStringList FieldFooterDefs; // "Field=definition"
    bool RecalculateAfterOpen = false;
    bool RecalculateAfterFilter = false;
    bool RecalculateAfterMultiselect = false;
    bool RefreshAfterScroll = false;

    // The definition of a field (case-insensitive name); empty when it has none.
    QString DefinitionOf(const QString& field) const;
};

// A parsed definition: the mask, its alignment (0 = the column's) and the font changes.
struct FooterDef {
    QString mask;
    Qt::Alignment align = {};
    bool hasFont = false;
    int pointSize = 0; // 0: unchanged
    int color = 0x1FFFFFFF;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    void applyTo(QFont& font) const;
};
// Font items: a number (points), "B"/"Bold", "I"/"Italic", "U"/"Underline", "S"/"StrikeOut" and a
// colour text, separated by blanks or commas.
FooterDef ParseFooterDef(const QString& definition);

// The widget drawn between the rows and the horizontal scroll bar.
class GridFooter : public QWidget {
public:
    explicit GridFooter(TkDBGrid* grid);
    int rowHeight() const;

protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent* e) override; // tool tips: the cell text with "|" as line breaks

private:
    QRect cellRect(int column) const;
    int x0() const;
    TkDBGrid* grid_;
};
