#include "grid_print_source.h"

#include "db_grid.h"
#include "field.h"

#include <QHeaderView>
#include <QPointer>

TkDBGrid* MakeWorkingCopy(TkDBGrid* orig, QObject* owner) {
    auto* copy = new TkDBGrid(orig->parentWidget());
    copy->setObjectName(QStringLiteral("gr"));
    copy->hide();
    // Freed with the print window (at once, while the grid's data source still exists), unless the
    // grid's parent took it along first.
    QObject::connect(owner, &QObject::destroyed, [p = QPointer<TkDBGrid>(copy)] { delete p.data(); });
    CopyGridColumns(orig, copy);
    return copy;
}

void CopyGridColumns(TkDBGrid* orig, TkDBGrid* copy) {
    copy->setFont(orig->font());
    copy->setPalette(orig->palette());
    copy->setDataSource(orig->DataSource());
    copy->ColumnLooks = orig->ColumnLooks;
    QHeaderView* from = orig->horizontalHeader();
    QHeaderView* to = copy->horizontalHeader();
    to->setDefaultSectionSize(from->defaultSectionSize());
    const int n = std::min(from->count(), to->count());
    for (int logical = 0; logical < n; ++logical) {
        copy->setColumnHidden(logical, orig->isColumnHidden(logical));
        to->resizeSection(logical, from->sectionSize(logical));
    }
    for (int visual = 0; visual < n; ++visual)
        to->moveSection(to->visualIndex(from->logicalIndex(visual)), visual);
}

namespace {
// Logical columns of the copy in shown order.
std::vector<int> ShownOrder(TkDBGrid* copy) {
    std::vector<int> order;
    QHeaderView* h = copy->horizontalHeader();
    for (int visual = 0; visual < h->count(); ++visual)
        order.push_back(h->logicalIndex(visual));
    return order;
}
} // namespace

TPrintSource GridPrintSource(TkDBGrid* orig, TkDBGrid* copy) {
    TPrintSource s;
    s.dataSet = copy->dataSet();
    s.screenCharWidth = QFontMetricsF(copy->font()).horizontalAdvance(QLatin1Char('W'));
    const std::vector<int> order = ShownOrder(copy);
    QHeaderView* h = copy->horizontalHeader();
    const QColor text = copy->palette().color(QPalette::Text), base = copy->palette().color(QPalette::Base);
    const QColor titleText = h->palette().color(QPalette::ButtonText),
                 titleBase = h->palette().color(QPalette::Button);
    for (int logical : order) {
        TPrintColumn c;
        c.field = copy->fieldOfColumn(logical);
        if (!c.field) continue;
        c.title = orig->GetTitleText(logical);
        c.visible = !copy->isColumnHidden(logical);
        c.screenWidth = copy->isColumnHidden(logical) ? 0 : h->sectionSize(logical);
        c.defaultWidth = h->defaultSectionSize();
        c.alignment = c.field->Alignment;
        c.titleAlignment = c.field->Alignment;
        c.weight = copy->font().bold() ? QFont::Bold : QFont::Normal;
        c.italic = copy->font().italic();
        c.underline = copy->font().underline();
        c.fontColor = text;
        c.color = base;
        c.titleFontColor = titleText;
        c.titleColor = titleBase;
        s.columns.push_back(c);
    }
    std::vector<int> logicals;
    for (int logical : order)
        if (copy->fieldOfColumn(logical)) logicals.push_back(logical);
    s.cellText = [orig, logicals](int i) { return orig->GetCellValue(logicals[size_t(i)]); };
    return s;
}

std::vector<TTextColumn> GridTextColumns(TkDBGrid* orig, TkDBGrid* copy) {
    std::vector<TTextColumn> cols;
    for (int logical : ShownOrder(copy)) {
        TField* f = copy->fieldOfColumn(logical);
        if (!f) continue;
        TTextColumn c;
        c.fieldName = f->FieldName;
        c.title = orig->GetTitleText(logical);
        c.visible = !copy->isColumnHidden(logical);
        c.bold = copy->font().bold();
        c.italic = copy->font().italic();
        c.underline = copy->font().underline();
        cols.push_back(c);
    }
    return cols;
}
