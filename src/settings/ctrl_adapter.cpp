#include "ctrl_adapter.h"

#include <QMetaObject>

void TCtrlAdapter::Process(TPropSaveAction action, TPropSaveFile& store, QObject* control,
                           const QString& section, const TCustomPropSave& saver) const {
    switch (action) {
    case psaRead:
        Read(store, control, section, saver);
        break;
    case psaSave:
        Save(store, control, section, saver);
        break;
    case psaDelete:
        Delete(store, control, section, saver);
        break;
    }
}

void TCtrlAdapterRegistry::Register(const QByteArray& className, TCtrlAdapterPtr adapter) {
    byClass_.insert(className, std::move(adapter));
    cache_.clear();
}

const TCtrlAdapter* TCtrlAdapterRegistry::Find(const QObject* control) const {
    const QMetaObject* meta = control->metaObject();
    if (auto it = cache_.constFind(meta); it != cache_.constEnd()) return it.value();
    const TCtrlAdapter* found = nullptr;
    for (const QMetaObject* m = meta; m && !found; m = m->superClass())
        if (auto it = byClass_.constFind(QByteArray(m->className())); it != byClass_.constEnd())
            found = it.value().get();
    cache_.insert(meta, found);
    return found;
}
