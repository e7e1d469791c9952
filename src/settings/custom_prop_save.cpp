#include "custom_prop_save.h"

#include "prop_save_file.h"
#include "prop_save_main.h"

#include <QWidget>
#include <deque>

namespace {
const char* const kOwnerProperty = "tabuloComponentOwner";
}

void SetComponentOwner(QObject* frame, bool owner) {
    frame->setProperty(kOwnerProperty, owner);
}
bool IsComponentOwner(const QObject* object) {
    return object->property(kOwnerProperty).toBool();
}

QString ComponentName(const QObject* object) {
    const QString name = object->objectName();
    return name.startsWith(QLatin1String("qt_")) ? QString() : name;
}

TCustomPropSave::TCustomPropSave(QObject* owner) : QObject(owner) {}

TCustomPropSave::~TCustomPropSave() {
    if (main_) main_->RemoveSaver(this);
}

void TCustomPropSave::SetPropSaveMain(TPropSaveMain* main) {
    if (main_ == main) return;
    if (main_) main_->RemoveSaver(this);
    main_ = main;
    if (main_) main_->AddSaver(this);
}

TPropSaveMain* TCustomPropSave::PropSaveMain() const {
    return main_.data();
}

QWidget* TCustomPropSave::Window() const {
    return main_ ? main_->Window() : nullptr;
}
TPropSaveFile* TCustomPropSave::Store() const {
    return main_ ? main_->Store() : nullptr;
}

QString TCustomPropSave::GetKey(QObject* component) const {
    QString key = main_ ? main_->GetFormKey() : QString();
    if (OnGetKeyString) {
        OnGetKeyString(component, key);
        return key;
    }
    QStringList owners;
    QWidget* window = Window();
    for (QObject* o = component->parent(); o && o != window; o = o->parent())
        if (IsComponentOwner(o) && !ComponentName(o).isEmpty()) owners.prepend(ComponentName(o));
    for (const QString& owner : owners)
        key += QLatin1Char('.') + owner;
    return key + QLatin1Char('.') + ComponentName(component);
}

QHash<QString, QObject*> TCustomPropSave::OwnedComponents(QObject* owner) const {
    QHash<QString, QObject*> byName;
    std::deque<QObject*> queue(owner->children().begin(), owner->children().end());
    while (!queue.empty()) {
        QObject* o = queue.front();
        queue.pop_front();
        const QString name = ComponentName(o);
        if (!name.isEmpty()) {
            const QString folded = name.toCaseFolded();
            if (!byName.contains(folded)) byName.insert(folded, o); // the nearest one wins
        }
        if (IsComponentOwner(o)) continue; // its controls belong to it
        for (QObject* child : o->children())
            queue.push_back(child);
    }
    return byName;
}

void TCustomPropSave::ProcComps(TPropSaveAction action) {
    if (Disable) return;
    QWidget* window = Window();
    if (!window || !Store()) return;
    QHash<QString, QObject*> owned;
    bool ownedBuilt = false;
    for (const QString& entry : Components) {
        QString name = entry.trimmed();
        const bool withChildren = name.endsWith(QLatin1String(".*"));
        if (withChildren) name.chop(2);
        QObject* component = nullptr;
        if (withChildren && name.compare(window->objectName(), Qt::CaseInsensitive) == 0) {
            component = window;
        } else {
            if (!ownedBuilt) {
                owned = OwnedComponents(window);
                ownedBuilt = true;
            }
            const QStringList path = name.split(QLatin1Char('.'));
            component = owned.value(path.first().toCaseFolded());
            for (qsizetype i = 1; component && i < path.size(); ++i)
                component = OwnedComponents(component).value(path[i].toCaseFolded());
        }
        if (!component) {
            if (withChildren) continue;
            throw EAssertionFailed(QStringLiteral("CustomPropSave: component \"%1\" not found.").arg(entry));
        }
        ProcComp(action, component, withChildren);
    }
    if (OnProcComponents) OnProcComponents(this, action);
}

void TCustomPropSave::ProcComp(TPropSaveAction action, QObject* component, bool withChildren) {
    if (withChildren) {
        ProcTree(action, component);
        return;
    }
    const QString name = ComponentName(component);
    if (name.isEmpty()) return;
    if (!CanSave(component))
        throw EAssertionFailed(QStringLiteral("CustomPropSave: cannot save component \"%1\".").arg(name));
    TPropSaveFile* store = Store();
    if (!store) return;
    const QString key = GetKey(component);
    if (DisableComponents.contains(name, Qt::CaseInsensitive)) action = psaDelete;
    if (action != psaRead) store->EraseSection(SectionOf(key)); // no stale key survives a save
    ProcessComponent(action, *store, component, key);
}

void TCustomPropSave::ProcTree(TPropSaveAction action, QObject* component) {
    const bool handled = !ComponentName(component).isEmpty() && CanSave(component);
    if (handled) ProcComp(action, component, false);
    if (handled && IsLeaf(component)) return;
    const QObjectList children = component->children(); // a copy: processing may add or remove items
    for (QObject* child : children)
        ProcTree(action, child);
}
