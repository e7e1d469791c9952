#include "grid_saver.h"

#include "column_filter_store.h"

#include "column_filter.h"
#include "db_grid.h"
#include "field.h"
#include "grid_style.h"
#include "prop_save_file.h"

#include <QHeaderView>
#include <QPointer>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace {
QString sub(const QString& key, const QString& name) {
    return key + QLatin1Char('.') + name;
}
QString columnSection(const QString& key, int i) {
    return sub(key, QStringLiteral("Column%1").arg(i));
}
QString condSection(const QString& key, int i) {
    return sub(key, QStringLiteral("CellParamsCond%1").arg(i));
}
// Counts read from a file are held to what a grid can use: a damaged number reads as nothing.
int readCount(TPropSaveFile& s, const QString& section, const QString& name, int max = 1000) {
    const int n = s.ReadInteger(section, name, 0);
    return n < 0 || n > max ? 0 : n;
}
// Erases numbered sections from first upwards while they exist.
void eraseFrom(TPropSaveFile& s, const std::function<QString(int)>& section, int first) {
    for (int i = first; i < 100000 && s.SectionExists(section(i)); ++i)
        s.EraseSection(section(i));
}

// Alignment as stored: 0 left, 1 right, 2 centred.
int alignToInt(Qt::Alignment a) {
    return a & Qt::AlignRight ? 1 : a & Qt::AlignHCenter ? 2 : 0;
}
Qt::Alignment intToAlign(int v) {
    return v == 1 ? Qt::AlignRight : v == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
}

bool hasData(const TkDBGrid* g) {
    const TDataSet* ds = g->dataSet();
    return ds && ds->Active() && g->model()->columnCount() > 0;
}
} // namespace

// --- string grids

bool TGridsPropSave::CanSave(QObject* component) const {
    return qobject_cast<QTableWidget*>(component) != nullptr;
}

void TGridsPropSave::ProcessComponent(TPropSaveAction action, TPropSaveFile& s, QObject* component,
                                      const QString& key) {
    auto* grid = static_cast<QTableWidget*>(component);
    auto column = [&key](int i) { return columnSection(key, i); };
    if (action == psaDelete) {
        eraseFrom(s, column, 0);
        return;
    }
    if (action == psaSave) {
        eraseFrom(s, column, 0);
        if (StoreRowColCount) {
            s.WriteInteger(key, QStringLiteral("ColCount"), grid->columnCount());
            s.WriteInteger(key, QStringLiteral("RowCount"), grid->rowCount());
        }
        for (int r = 0; StoreMetrix && r < grid->rowCount(); ++r)
            s.WriteInteger(key, QStringLiteral("RowHeight%1").arg(r), grid->rowHeight(r));
        for (int c = 0; c < grid->columnCount(); ++c) {
            if (StoreMetrix) s.WriteInteger(column(c), QStringLiteral("Width"), grid->columnWidth(c));
            if (!StoreStrings) continue;
            QStringList cells;
            for (int r = 0; r < grid->rowCount(); ++r)
                cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
            s.WriteStrings(column(c), cells);
        }
        return;
    }
    if (StoreRowColCount) {
        if (!KeepColCount)
            if (const int cols = readCount(s, key, QStringLiteral("ColCount"))) grid->setColumnCount(cols);
        const int rows = s.ReadInteger(key, QStringLiteral("RowCount"), grid->rowCount());
        if (rows >= 0 && rows <= 100000) grid->setRowCount(rows);
    }
    for (int r = 0; StoreMetrix && r < grid->rowCount(); ++r) {
        const int h = s.ReadInteger(key, QStringLiteral("RowHeight%1").arg(r), grid->rowHeight(r));
        if (h > 0) grid->setRowHeight(r, h);
    }
    for (int c = 0; c < grid->columnCount(); ++c) {
        if (StoreMetrix) {
            const int w = s.ReadInteger(column(c), QStringLiteral("Width"), grid->columnWidth(c));
            if (w >= 0) grid->setColumnWidth(c, w);
        }
        QStringList cells;
        if (!StoreStrings || !s.ReadStrings(column(c), cells)) continue; // no list: the cells stay
        for (int r = 0; r < std::min<int>(grid->rowCount(), int(cells.size())); ++r) {
            if (!grid->item(r, c)) grid->setItem(r, c, new QTableWidgetItem);
            grid->item(r, c)->setText(cells[r]);
        }
    }
}

// --- data grids

bool TDBGridsPropSave::CanSave(QObject* component) const {
    return qobject_cast<TkDBGrid*>(component) != nullptr;
}

void TDBGridsPropSave::ProcessComponent(TPropSaveAction action, TPropSaveFile& s, QObject* component,
                                        const QString& key) {
    auto* grid = static_cast<TkDBGrid*>(component);
    if (action == psaDelete) {
        DeleteParts(s, grid, key);
        return;
    }
    if (action == psaSave) {
        SaveGrid(s, grid, key);
        SaveDataParts(s, grid, key);
        return;
    }
    ReadGrid(s, grid, key);
    if (hasData(grid) && DataMatches(s, grid, key)) {
        ReadDataParts(s, grid, key);
        return;
    }
    // Read once the grid shows the data they were saved with, after its owner sized the columns.
    QPointer<TPropSaveFile> store = &s;
    QPointer<TkDBGrid> g = grid;
    QPointer<TDBGridsPropSave> self = this;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(grid, &TkDBGrid::dataSetOpened, grid, [=] {
        QTimer::singleShot(0, g, [=] {
            if (!store || !g || !self || !hasData(g) || !self->DataMatches(*store, g, key)) return;
            QObject::disconnect(*once);
            self->ReadDataParts(*store, g, key);
        });
    });
}

bool TDBGridsPropSave::DataMatches(TPropSaveFile& s, TkDBGrid* grid, const QString& key) const {
    if (!OnGetDataName) return true;
    const QString stored = s.ReadString(key, QStringLiteral("DataName"));
    return stored.isEmpty() || stored == OnGetDataName(grid);
}

void TDBGridsPropSave::ReadGrid(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    g->setShowGrid(s.ReadBool(key, QStringLiteral("ColLines"), g->showGrid()));
    if (s.ValueExists(key, QStringLiteral("FontName"))) {
        QFont f = g->font();
        s.ReadFont(key, f, ScaleRatio);
        g->setFont(f);
    }
    const QString title = sub(key, QStringLiteral("Title"));
    if (s.ValueExists(title, QStringLiteral("FontName"))) {
        QFont f = g->horizontalHeader()->font();
        s.ReadFont(title, f, ScaleRatio);
        g->horizontalHeader()->setFont(f);
    }
}

void TDBGridsPropSave::SaveGrid(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    s.WriteBool(key, QStringLiteral("RowLines"), g->showGrid());
    s.WriteBool(key, QStringLiteral("ColLines"), g->showGrid());
    // Fonts only when set on the grid itself; a grid with its parent's fonts keeps none.
    if (g->testAttribute(Qt::WA_SetFont))
        s.WriteFont(key, g->font(), ScaleRatio);
    else
        s.DeleteFont(key);
    const QString title = sub(key, QStringLiteral("Title"));
    if (g->horizontalHeader()->testAttribute(Qt::WA_SetFont))
        s.WriteFont(title, g->horizontalHeader()->font(), ScaleRatio);
    else
        s.EraseSection(title);
}

void TDBGridsPropSave::DeleteParts(TPropSaveFile& s, TkDBGrid*, const QString& key) {
    s.EraseSection(sub(key, QStringLiteral("Title")));
    eraseFrom(
        s, [&key](int i) { return columnSection(key, i); }, 0);
}

void TDBGridsPropSave::SaveDataParts(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    if (OnGetDataName && hasData(g)) s.WriteString(key, QStringLiteral("DataName"), OnGetDataName(g));
    if (!StoreColumns) return;
    auto column = [&key](int i) { return columnSection(key, i); };
    const int n = g->model()->columnCount();
    if (!hasData(g)) {
        // Closed (the window is going): the layout stored before stays.
        int stored = 0;
        while (stored < 100000 && s.SectionExists(column(stored)))
            ++stored;
        s.WriteInteger(key, QStringLiteral("ColCount"), stored);
        return;
    }
    eraseFrom(s, column, 0);
    s.WriteInteger(key, QStringLiteral("ColCount"), n);
    const QHeaderView* h = g->horizontalHeader();
    for (int v = 0; v < n; ++v) {
        const int c = h->logicalIndex(v);
        const TField* f = g->fieldOfColumn(c);
        const QString sec = column(v);
        s.WriteString(sec, QStringLiteral("FieldName"), f ? f->FieldName : QString());
        // A column hidden only by its collapsed group counts as shown: the group hides it again.
        if (!g->isColumnHidden(c)) s.WriteInteger(sec, QStringLiteral("ColWidth"), g->columnWidth(c));
        s.WriteBool(sec, QStringLiteral("ColVisible"), g->ColumnUserVisible(c));
        if (!StoreColumnsProp || !f) continue;
        const TkDBGrid::ColumnLook look = g->columnLook(c);
        if (look.color.isValid()) s.WriteInteger(sec, QStringLiteral("ColColor"), ColorToBgr(look.color));
        if (look.ownFont) s.WriteFont(sec, look.font, ScaleRatio);
        s.WriteInteger(sec, QStringLiteral("ColAlign"), alignToInt(f->Alignment));
        s.WriteInteger(sec, QStringLiteral("ColTitleAlign"), alignToInt(look.titleAlignment));
        if (f->DisplayLabel() != f->FieldName)
            s.WriteString(sec, QStringLiteral("ColTitle"), f->DisplayLabel());
        s.WriteInteger(sec, QStringLiteral("FieldWidth"), f->DisplayWidth());
        if (IsNumericField(*f) || IsDateTimeField(*f))
            s.WriteString(sec, QStringLiteral("FieldFormat"), f->DisplayFormat);
    }
}

void TDBGridsPropSave::ReadDataParts(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    if (!StoreColumns) return;
    auto column = [&key](int i) { return columnSection(key, i); };
    const int stored = readCount(s, key, QStringLiteral("ColCount"));
    const int n = g->model()->columnCount();
    QStringList names;
    for (int i = 0; i < stored; ++i)
        names << s.ReadString(column(i), QStringLiteral("FieldName"));
    // Stored columns take their stored order; a column the file does not know keeps its place.
    QHeaderView* h = g->horizontalHeader();
    std::vector<int> order(size_t(n), -1); // visual position -> column
    std::vector<bool> isNew(size_t(n), false);
    for (int v = 0; v < n; ++v) {
        const int c = h->logicalIndex(v);
        const TField* f = g->fieldOfColumn(c);
        if (!f || !names.contains(f->FieldName, Qt::CaseInsensitive)) {
            order[size_t(v)] = c;
            isNew[size_t(v)] = true;
        }
    }
    std::vector<int> found; // stored positions with their column, in stored order
    for (int i = 0; i < stored; ++i) {
        const int c = names[i].isEmpty() ? -1 : g->columnOfField(names[i]);
        if (c < 0 || std::find(found.begin(), found.end(), c) != found.end()) {
            if (EraseUnusedSection) s.EraseSection(column(i)); // its field is gone
            continue;
        }
        found.push_back(c);
        const QString sec = column(i);
        const bool visible = s.ReadBool(sec, QStringLiteral("ColVisible"), !g->isColumnHidden(c));
        g->setColumnHidden(c, !visible);
        const int w = s.ReadInteger(sec, QStringLiteral("ColWidth"), -1);
        if (visible && w > 0 && w < 100000) g->setColumnWidth(c, w);
        if (!StoreColumnsProp) continue;
        TField* f = g->fieldOfColumn(c);
        TkDBGrid::ColumnLook look = g->columnLook(c);
        const int color = s.ReadInteger(sec, QStringLiteral("ColColor"), kNoColor);
        if (color != kNoColor) look.color = BgrToColor(color);
        if (s.ValueExists(sec, QStringLiteral("FontName"))) {
            look.font = g->font();
            s.ReadFont(sec, look.font, ScaleRatio);
            look.ownFont = true;
        }
        if (s.ValueExists(sec, QStringLiteral("ColAlign")))
            f->Alignment = intToAlign(s.ReadInteger(sec, QStringLiteral("ColAlign"), 0));
        look.titleAlignment =
            intToAlign(s.ReadInteger(sec, QStringLiteral("ColTitleAlign"), alignToInt(look.titleAlignment)));
        g->ColumnLooks.insert(f->FieldName.toLower(), look);
        if (s.ValueExists(sec, QStringLiteral("ColTitle")))
            f->setDisplayLabel(s.ReadString(sec, QStringLiteral("ColTitle")));
        const int fw = s.ReadInteger(sec, QStringLiteral("FieldWidth"), -1);
        if (fw > 0 && fw < 100000) f->setDisplayWidth(fw);
        if ((IsNumericField(*f) || IsDateTimeField(*f)) && s.ValueExists(sec, QStringLiteral("FieldFormat")))
            f->DisplayFormat = s.ReadString(sec, QStringLiteral("FieldFormat"));
    }
    if (EraseUnusedSection) eraseFrom(s, column, std::max(stored, n));
    size_t next = 0;
    for (int v = 0; v < n; ++v)
        if (!isNew[size_t(v)] && next < found.size()) order[size_t(v)] = found[next++];
    for (int v = 0; v < n; ++v)
        if (order[size_t(v)] >= 0) h->moveSection(h->visualIndex(order[size_t(v)]), v);
    g->ApplyColumnGroups(); // members of collapsed groups hide again
    g->viewport()->update();
}

// --- the data grid's own features

void TkDBGridsPropSave::ProcessComponent(TPropSaveAction action, TPropSaveFile& s, QObject* component,
                                         const QString& key) {
    TDBGridsPropSave::ProcessComponent(action, s, component, key);
    if (OnReadSaveProps) OnReadSaveProps(static_cast<TkDBGrid*>(component), action, &s);
}

namespace {
const QString kFooter = QStringLiteral("Footer");

void readConditions(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    const int count = readCount(s, key, QStringLiteral("CellParamsCondCount"));
    if (count > 0) {
        std::vector<TCellParamsCond> items;
        for (int i = 0; i < count; ++i) {
            const QString sec = condSection(key, i);
            if (!s.SectionExists(sec)) continue;
            TCellParamsCond c;
            c.FieldName = s.ReadString(sec, QStringLiteral("Field"));
            c.CondOperator = TCellParamsCondOperators(
                std::clamp(s.ReadInteger(sec, QStringLiteral("Operator"), 0), 0, int(cpoAllways)));
            c.Value = s.ReadString(sec, QStringLiteral("Value"));
            c.Action = TCellParamsCondActions(
                std::clamp(s.ReadInteger(sec, QStringLiteral("Action"), 0), 0, int(cpaOR)));
            c.FontColor = s.ReadInteger(sec, QStringLiteral("FontColor"), kNoColor);
            c.BkColor = s.ReadInteger(sec, QStringLiteral("BkColor"), kNoColor);
            c.Bold = s.ReadBool(sec, QStringLiteral("Bold"), false);
            c.WholeRow = s.ReadBool(sec, QStringLiteral("WholeRow"), false);
            c.ImageDef.UseDataImage = s.ReadBool(sec, QStringLiteral("UseDataImage"), false);
            c.ImageDef.ImageIndex = s.ReadInteger(sec, QStringLiteral("ImageIndex"), -1);
            c.ImageDef.ImageAlignment = s.ReadString(sec, QStringLiteral("ImageAlignment"));
            c.ImageDef.ShowText = s.ReadString(sec, QStringLiteral("ShowText"));
            c.StopIfTrue = s.ReadBool(sec, QStringLiteral("StopIfTrue"), false);
            c.Deactive = s.ReadBool(sec, QStringLiteral("Deactive"), false);
            items.push_back(std::move(c));
        }
        g->CellParamsConditions.SetItems(std::move(items));
    }
    g->SetCellConditionActive(
        s.ReadBool(key, QStringLiteral("UseCellParamsConditions"), g->OptionsEx2.CellCondition.Active));
}

void saveConditions(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    const TCellParamsCondList& list = g->CellParamsConditions;
    eraseFrom(
        s, [&key](int i) { return condSection(key, i); }, 0);
    s.WriteInteger(key, QStringLiteral("CellParamsCondCount"), list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        const TCellParamsCond& c = list.Item(i);
        const QString sec = condSection(key, i);
        s.WriteString(sec, QStringLiteral("Field"), c.FieldName);
        s.WriteInteger(sec, QStringLiteral("Operator"), int(c.CondOperator));
        s.WriteString(sec, QStringLiteral("Value"), c.Value);
        s.WriteInteger(sec, QStringLiteral("Action"), int(c.Action));
        s.WriteInteger(sec, QStringLiteral("FontColor"), c.FontColor);
        s.WriteInteger(sec, QStringLiteral("BkColor"), c.BkColor);
        s.WriteBool(sec, QStringLiteral("Bold"), c.Bold);
        s.WriteBool(sec, QStringLiteral("WholeRow"), c.WholeRow);
        s.WriteBool(sec, QStringLiteral("UseDataImage"), c.ImageDef.UseDataImage);
        s.WriteInteger(sec, QStringLiteral("ImageIndex"), c.ImageDef.ImageIndex);
        s.WriteString(sec, QStringLiteral("ImageAlignment"), c.ImageDef.ImageAlignment);
        s.WriteString(sec, QStringLiteral("ShowText"), c.ImageDef.ShowText);
        s.WriteBool(sec, QStringLiteral("StopIfTrue"), c.StopIfTrue);
        s.WriteBool(sec, QStringLiteral("Deactive"), c.Deactive);
    }
    s.WriteBool(key, QStringLiteral("UseCellParamsConditions"), g->OptionsEx2.CellCondition.Active);
}

QColor readColor(TPropSaveFile& s, const QString& sec, const QString& name, const QColor& def) {
    const int v = s.ReadInteger(sec, name, def.isValid() ? ColorToBgr(def) : kNoColor);
    return v == kNoColor ? QColor() : BgrToColor(v);
}
void writeColor(TPropSaveFile& s, const QString& sec, const QString& name, const QColor& c) {
    s.WriteInteger(sec, name, c.isValid() ? ColorToBgr(c) : kNoColor);
}

void readFooter(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    TFooterRow& r = g->FooterRow;
    const QString p = kFooter;
    r.BoldText = s.ReadBool(key, p + QStringLiteral("BoldText"), r.BoldText);
    r.CellLinesColor = readColor(s, key, p + QStringLiteral("CellLinesColor"), r.CellLinesColor);
    r.Color = readColor(s, key, p + QStringLiteral("Color"), r.Color);
    s.ReadStrings(key + p + QStringLiteral("FieldFooterDefs"), r.FieldFooterDefs);
    r.FixedColText = s.ReadString(key, p + QStringLiteral("FixedColText"), r.FixedColText);
    if (s.ValueExists(key + p + QStringLiteral("Font"), QStringLiteral("FontName")))
        s.ReadFont(key + p + QStringLiteral("Font"), r.Font);
    const int h = s.ReadInteger(key, p + QStringLiteral("FooterHeight"), r.FooterHeight);
    if (h >= 0 && h < 1000) r.FooterHeight = h;
    r.FooterVisible = s.ReadBool(key, p + QStringLiteral("FooterVisible"), r.FooterVisible);
    r.ParentFont = s.ReadBool(key, p + QStringLiteral("ParentFont"), r.ParentFont);
    r.ShowCellLines = s.ReadBool(key, p + QStringLiteral("ShowCellLines"), r.ShowCellLines);
    r.SimpleText = s.ReadString(key, p + QStringLiteral("SimpleText"), r.SimpleText);
    r.SimpleTextAlign =
        intToAlign(s.ReadInteger(key, p + QStringLiteral("SimpleTextAlign"), alignToInt(r.SimpleTextAlign)));
    g->FooterChanged();
}

void saveFooter(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    const TFooterRow& r = g->FooterRow;
    const QString p = kFooter;
    s.WriteBool(key, p + QStringLiteral("BoldText"), r.BoldText);
    writeColor(s, key, p + QStringLiteral("CellLinesColor"), r.CellLinesColor);
    writeColor(s, key, p + QStringLiteral("Color"), r.Color);
    s.EraseSection(key + p + QStringLiteral("FieldFooterDefs"));
    s.WriteStrings(key + p + QStringLiteral("FieldFooterDefs"), r.FieldFooterDefs);
    s.WriteString(key, p + QStringLiteral("FixedColText"), r.FixedColText);
    s.EraseSection(key + p + QStringLiteral("Font"));
    if (!r.ParentFont) s.WriteFont(key + p + QStringLiteral("Font"), r.Font);
    s.WriteInteger(key, p + QStringLiteral("FooterHeight"), r.FooterHeight);
    s.WriteBool(key, p + QStringLiteral("FooterVisible"), r.FooterVisible);
    s.WriteBool(key, p + QStringLiteral("ParentFont"), r.ParentFont);
    s.WriteBool(key, p + QStringLiteral("ShowCellLines"), r.ShowCellLines);
    s.WriteString(key, p + QStringLiteral("SimpleText"), r.SimpleText);
    s.WriteInteger(key, p + QStringLiteral("SimpleTextAlign"), alignToInt(r.SimpleTextAlign));
}

// The design lists: one list section each, named key + name.
struct DesignList {
    const char* name;
    QStringList TkDBGrid::*list;
};
constexpr DesignList kDesignLists[] = {
    {"FieldsFieldsFixedColumnWidth", &TkDBGrid::FieldsFixedColumnWidth},
    {"TitlePopupItems", &TkDBGrid::TitlePopupItems},
};
} // namespace

void TkDBGridsPropSave::ReadGrid(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    TDBGridsPropSave::ReadGrid(s, g, key);
    const int mode = s.ReadInteger(key, QStringLiteral("ColumnWidth"), int(g->ColumnWidth()));
    if (mode >= int(cwNone) && mode <= int(cwHideEmptyCol)) g->setColumnWidth(TColumnWidth(mode));
    const int lines = s.ReadInteger(key, QStringLiteral("TitleLines"), g->TitleLines);
    if (lines >= 1 && lines <= 10) g->TitleLines = lines;
    g->OptionsEx2.Filters.FunnelBtn =
        s.ReadBool(key, QStringLiteral("FilterButtons"), g->OptionsEx2.Filters.FunnelBtn);
    if (s.ValueExists(key, QStringLiteral("EditorMemoContent")))
        g->OptionsEx2.Editors.ShowMemo = s.ReadBool(key, QStringLiteral("EditorMemoContent"), true);
    readConditions(s, g, key);
    if (StoreFooterRow) readFooter(s, g, key);
    ReadGridLook(s, *g, key);
    if (StoreFieldsGroup) {
        QStringList lines;
        if (s.ReadStrings(sub(key, QStringLiteral("FieldsGroup")), lines)) {
            try {
                g->SetColumnGroups(TColumnGroups::Checked(TColumnGroups::fromLines(lines)));
            } catch (const std::exception&) {
                // Groups that no longer hold together are dropped.
            }
        }
        g->SetFieldGroupsActive(s.ReadBool(key, QStringLiteral("FieldGroups"), g->FieldGroupsActive()));
    }
    if (StoreDesignSetting)
        for (const DesignList& d : kDesignLists)
            s.ReadStrings(key + QLatin1String(d.name), g->*d.list);
}

void TkDBGridsPropSave::SaveGrid(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    TDBGridsPropSave::SaveGrid(s, g, key);
    s.WriteInteger(key, QStringLiteral("ColumnWidth"), int(g->ColumnWidth()));
    s.WriteInteger(key, QStringLiteral("TitleLines"), g->TitleLines);
    s.WriteBool(key, QStringLiteral("FilterButtons"), g->OptionsEx2.Filters.FunnelBtn);
    s.WriteBool(key, QStringLiteral("EditorMemoContent"), g->OptionsEx2.Editors.ShowMemo);
    saveConditions(s, g, key);
    if (StoreFooterRow) saveFooter(s, g, key);
    SaveGridLook(s, *g, key);
    if (StoreFieldsGroup) {
        s.EraseSection(sub(key, QStringLiteral("FieldsGroup")));
        s.WriteStrings(sub(key, QStringLiteral("FieldsGroup")), g->ColumnGroups().toLines());
        s.WriteBool(key, QStringLiteral("FieldGroups"), g->FieldGroupsActive());
    }
    if (StoreDesignSetting)
        for (const DesignList& d : kDesignLists) {
            s.EraseSection(key + QLatin1String(d.name));
            s.WriteStrings(key + QLatin1String(d.name), g->*d.list);
        }
}

void TkDBGridsPropSave::DeleteParts(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    TDBGridsPropSave::DeleteParts(s, g, key);
    eraseFrom(
        s, [&key](int i) { return condSection(key, i); }, 0);
    for (const char* name : {"FieldFooterDefs", "Font"})
        s.EraseSection(key + kFooter + QLatin1String(name));
    s.EraseSection(sub(key, QStringLiteral("FieldsGroup")));
    s.EraseSection(sub(key, QStringLiteral("Filter")));
    for (const DesignList& d : kDesignLists)
        s.EraseSection(key + QLatin1String(d.name));
}

void TkDBGridsPropSave::SaveDataParts(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    TDBGridsPropSave::SaveDataParts(s, g, key);
    if (!hasData(g)) {
        // Closed: what was stored about sorting and filters stays as it was.
        return;
    }
    QStringList fields, directions;
    for (const TkDBGrid::SortItem& i : g->SortList()) {
        fields << i.field;
        directions << (i.desc ? QStringLiteral("1") : QStringLiteral("0"));
    }
    s.WriteString(key, QStringLiteral("SortField"), fields.join(QLatin1Char(',')));
    s.WriteBool(key, QStringLiteral("SortDesc"), g->SortDesc());
    s.WriteString(key, QStringLiteral("SortDirections"), directions.join(QLatin1Char(',')));
    if (StoreFilterSetting) SaveColumnFilters(s, g, sub(key, QStringLiteral("Filter")));
}

void TkDBGridsPropSave::ReadDataParts(TPropSaveFile& s, TkDBGrid* g, const QString& key) {
    TDBGridsPropSave::ReadDataParts(s, g, key);
    // The sort, by the fields that are still there.
    const QStringList fields =
        s.ReadString(key, QStringLiteral("SortField")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QStringList directions =
        s.ReadString(key, QStringLiteral("SortDirections")).split(QLatin1Char(','));
    const bool desc = s.ReadBool(key, QStringLiteral("SortDesc"), false);
    QList<TkDBGrid::SortItem> items;
    for (int i = 0; i < fields.size(); ++i)
        if (g->dataSet()->FindField(fields[i].trimmed()))
            items.append({fields[i].trimmed(),
                          i < directions.size() ? directions[i].trimmed() == QLatin1String("1") : desc});
    if (!items.isEmpty()) {
        if (g->OnChangeSortEx)
            g->ChangeSortEx(items);
        else {
            QStringList names;
            for (const TkDBGrid::SortItem& i : items)
                names << i.field;
            g->ChangeSort(names, items.first().desc);
        }
    }
    if (StoreFilterSetting) ReadColumnFilters(s, g, sub(key, QStringLiteral("Filter")));
}
