#pragma once
// The saver of the widget kit's own controls. The kit registers its classes with one of the adapters
// below; the adapters work through the controls' Qt properties.
#include "ctrl_adapter.h"

TCtrlAdapterRegistry& VemoCompAdapters();
// Collapsible group box: "Visible" (with StoreVisibility), "Minimized" and "OriginSize" from the
// properties "minimized" and "originSize".
TCtrlAdapterPtr CollapsibleGroupBoxAdapter();
// Image zoom view: "Zoom" and "AutoFit" from the properties "zoom" and "autoFit".
TCtrlAdapterPtr ImageZoomAdapter();
// Extended memo: its font, stored only when it does not use its parent's font.
TCtrlAdapterPtr ExtMemoAdapter();
// Extended data memo: its font and its lines (the string list property "lines") as a list.
TCtrlAdapterPtr ExtDBMemoAdapter();

class TVemoCompsPropSave : public TCustomPropSave {
    Q_OBJECT
public:
    using TCustomPropSave::TCustomPropSave;
    bool StoreVisibility = true;

    void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                          const QString& key) override;
    bool CanSave(QObject* component) const override;
    bool IsLeaf(QObject* component) const override;
};
