#pragma once
// Adapters that read, save and delete one kind of control's state, and registries that find the adapter
// of a control by its class: the most derived registered class wins, so a date edit (a spin box in Qt's
// class tree) or a colour box (a combo box) gets its own keys.
#include "custom_prop_save.h"

#include <QByteArray>
#include <QHash>
#include <memory>

class TPropSaveFile;
class TCustomPropSave;

class TCtrlAdapter {
public:
    virtual ~TCtrlAdapter() = default;
    virtual void Read(TPropSaveFile& store, QObject* control, const QString& section,
                      const TCustomPropSave& saver) const = 0;
    virtual void Save(TPropSaveFile& store, QObject* control, const QString& section,
                      const TCustomPropSave& saver) const = 0;
    virtual void Delete(TPropSaveFile& store, QObject* control, const QString& section,
                        const TCustomPropSave& saver) const = 0;
    // Whether the control's children are further controls (pages, group contents) rather than its parts.
    virtual bool HoldsControls() const { return false; }

    void Process(TPropSaveAction action, TPropSaveFile& store, QObject* control, const QString& section,
                 const TCustomPropSave& saver) const;
};

using TCtrlAdapterPtr = std::shared_ptr<const TCtrlAdapter>;

class TCtrlAdapterRegistry {
public:
    void Register(const QByteArray& className, TCtrlAdapterPtr adapter);
    const TCtrlAdapter* Find(const QObject* control) const;

private:
    QHash<QByteArray, TCtrlAdapterPtr> byClass_;
    mutable QHash<const QMetaObject*, const TCtrlAdapter*> cache_;
};
