#include "field_list.h"

#include "dataset.h"

int DataSetFieldSource::columnCount() const {
    return ds_.FieldCount();
}
TField* DataSetFieldSource::columnField(int i) const {
    return ds_.Fields(i);
}
QString DataSetFieldSource::columnCaption(int i) const {
    return ds_.Fields(i)->DisplayLabel();
}
bool DataSetFieldSource::columnVisible(int i) const {
    return ds_.Fields(i)->Visible;
}

namespace {
bool takesCategory(const TField& f, int options) {
    if (options & floAllFields) return true;
    return ((options & floPlain) && IsPlainField(f)) || ((options & floMemo) && IsMemoField(f)) ||
           ((options & floGraphic) && IsGraphicField(f));
}
} // namespace

int FieldList(const FieldListSource& source, QStringList& target, int options) {
    target.clear();
    const bool stringGrid = source.isStringGrid();
    for (int i = 0; i < source.columnCount(); ++i) {
        if ((options & floVisibleOnly) && !source.columnVisible(i)) continue;
        if (stringGrid) {
            target << ((options & floCaptions) ? source.columnCaption(i) : QString::number(i));
            continue;
        }
        const TField* f = source.columnField(i);
        if (!f || ((options & floDataOnly) && !IsDataField(*f)) || !takesCategory(*f, options)) continue;
        if (options & floCaptions)
            target << source.columnCaption(i);
        else if (options & floPositions)
            target << QString::number(i);
        else
            target << f->FieldName;
    }
    return int(target.size());
}

int FieldList(const TDataSet& ds, QStringList& target, int options) {
    return FieldList(DataSetFieldSource(ds), target, options);
}
