#pragma once
// The saver of standard controls: one section per control, keys by the kind of control.
#include "ctrl_adapter.h"

// A control whose name contains this keeps only its text (a combo) or no items (a list).
inline const QString Suffix_BlockSaveItems = QStringLiteral("_nostore");

// The adapters of the standard controls; a widget kit registers its own classes here
// (for example its colour box with ColorBoxAdapter()).
TCtrlAdapterRegistry& StdCtrlAdapters();
// "Color" of a control with a QColor property "color".
TCtrlAdapterPtr ColorBoxAdapter();

class TStdCtrlPropSave : public TCustomPropSave {
    Q_OBJECT
public:
    using TCustomPropSave::TCustomPropSave;
    void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                          const QString& key) override;
    bool CanSave(QObject* component) const override;
    bool IsLeaf(QObject* component) const override;
};
