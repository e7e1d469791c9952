#include "export_source.h"

#include "dataset.h"

namespace {
bool Exported(const TField& f, bool withMemos, bool withGraphics) {
    return IsPlainField(f) || (withMemos && IsMemoField(f)) || (withGraphics && IsGraphicField(f));
}
} // namespace

std::vector<ExportColumn> TDataSetSource::Columns(bool onlyVisible, bool withMemos, bool withGraphics) const {
    std::vector<ExportColumn> out;
    for (int i = 0; ds_ && i < ds_->FieldCount(); ++i) {
        TField* f = ds_->Fields(i);
        if ((onlyVisible && !f->Visible) || !Exported(*f, withMemos, withGraphics)) continue;
        out.push_back({f, f->DisplayLabel()});
    }
    return out;
}

std::vector<ExportColumn> TGridSource::Columns(bool onlyVisible, bool withMemos, bool withGraphics) const {
    std::vector<ExportColumn> out;
    for (const TGridColumn& c : columns_) {
        if (onlyVisible && !c.Visible) continue;
        TField* f = ds_ ? ds_->FindField(c.FieldName) : nullptr;
        if (!f || !Exported(*f, withMemos, withGraphics)) continue;
        out.push_back({f, c.Title.isEmpty() ? f->DisplayLabel() : c.Title, c.Look});
    }
    return out;
}
