#include "sort_text.h"

#include "comp_config.h"
#include "cursor_guard.h"
#include "dataset.h"
#include "prop_save_file.h"

SortItems SortItemsOf(const QString& fields, bool desc) {
    SortItems items;
    for (const QString& f : fields.split(',', Qt::SkipEmptyParts))
        items.append({f.trimmed(), desc});
    return items;
}

SortItems SortItemsOf(const QString& fields, const QString& directions) {
    SortItems items = SortItemsOf(fields, false);
    const QStringList letters = directions.split(',');
    for (int i = 0; i < items.size() && i < letters.size(); ++i)
        items[i].desc = letters[i].trimmed().compare(QLatin1String("D"), Qt::CaseInsensitive) == 0;
    return items;
}

QString SortDirectionsOf(const SortItems& items) {
    QStringList letters;
    for (const auto& it : items)
        letters << (it.desc ? QStringLiteral("D") : QStringLiteral("A"));
    return letters.join(',');
}

bool SortTextForItems(const TDataSet& ds, const SortItems& items, QString& sort) {
    sort.clear();
    if (!ds.Active() || ds.State() == dsEdit || ds.State() == dsInsert) return false;
    QStringList parts;
    for (const auto& it : items) {
        TField* f = ds.FindField(it.field.trimmed());
        if (!f || !IsPlainField(*f)) return false;
        QStringList names;
        if (f->FieldKind == fkLookup)
            names = f->KeyFields.split(';', Qt::SkipEmptyParts);
        else
            names << f->FieldName;
        for (QString n : names) {
            n = n.trimmed();
            if (n.contains(' ')) n = '[' + n + ']';
            parts << (it.desc ? n + QStringLiteral(" DESC") : n);
        }
    }
    sort = parts.join(',');
    return true;
}

bool SortDataSet(TDataSet* ds, const SortItems& items) {
    if (!ds) return false;
    QString sort;
    if (!SortTextForItems(*ds, items, sort)) return false;
    HourglassCursor busy;
    try {
        const TBookmark bm = ds->IsEmpty() ? -1 : ds->GetBookmark();
        ds->setSort(sort);
        if (bm >= 0 && ds->BookmarkValid(bm)) ds->GotoBookmark(bm);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QString SavedSortSection(const TkDBGrid* grid, int index) {
    const QObject* owner = grid ? grid->window() : nullptr;
    return QStringLiteral("SortDlg2.") + (owner ? owner->objectName() : QString()) + '.' +
           (grid ? grid->objectName() : QString()) + '.' + QString::number(index);
}

bool ReadSavedSort(const TkDBGrid* grid, int index, SavedSort& out) {
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store || index < 0 || index >= kSavedSortSlots) return false;
    const QString section = SavedSortSection(grid, index);
    out.name = store->ReadString(section, QStringLiteral("SortName"));
    out.items = SortItemsOf(store->ReadString(section, QStringLiteral("Fields")),
                            store->ReadString(section, QStringLiteral("Directions")));
    return !out.name.isEmpty();
}

void WriteSavedSort(const TkDBGrid* grid, int index, const SavedSort& sort) {
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store || index < 0 || index >= kSavedSortSlots) return;
    const QString section = SavedSortSection(grid, index);
    QStringList fields;
    for (const auto& it : sort.items)
        fields << it.field;
    store->EraseSection(section);
    store->WriteString(section, QStringLiteral("SortName"), sort.name);
    store->WriteString(section, QStringLiteral("Fields"), fields.join(','));
    store->WriteString(section, QStringLiteral("Directions"), SortDirectionsOf(sort.items));
}

void EraseSavedSort(const TkDBGrid* grid, int index) {
    if (TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile)
        store->EraseSection(SavedSortSection(grid, index));
}

int SavedSortSlotFor(const TkDBGrid* grid, const QString& name) {
    int firstFree = -1;
    for (int i = 0; i < kSavedSortSlots; ++i) {
        SavedSort s;
        if (!ReadSavedSort(grid, i, s)) {
            if (firstFree < 0) firstFree = i;
        } else if (s.name.compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return firstFree;
}

bool ApplySavedSort(TkDBGrid* grid, int index) {
    SavedSort s;
    if (!grid || !ReadSavedSort(grid, index, s)) return false;
    return grid->ChangeSortEx(s.items);
}
