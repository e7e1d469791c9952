#pragma once
// The base of the property savers: a saver is told the names of the components it handles, finds them
// in its window and reads, saves or deletes their state in the window's settings store.
#include "exceptions.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class TPropSaveFile;
class TPropSaveMain;
class QWidget;

enum TPropSaveAction { psaRead, psaSave, psaDelete };

// A programming error in a saver's set-up (a listed component that does not exist or cannot be saved).
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

// Marks a container (a frame) whose controls belong to it: its name becomes part of their keys, and
// a path "Frame.Control" in Components finds a control inside it.
void SetComponentOwner(QObject* frame, bool owner = true);
bool IsComponentOwner(const QObject* object);

class TCustomPropSave : public QObject {
    Q_OBJECT
public:
    explicit TCustomPropSave(QObject* owner = nullptr);
    ~TCustomPropSave() override;

    TPropSaveMain* PropSaveMain() const;
    void SetPropSaveMain(TPropSaveMain* main);

    QStringList Components; // names; "Name.*" adds the controls inside; "Frame.Name" is a path
    bool Disable = false;
    QStringList DisableComponents; // their stored state is deleted instead of saved or read

    // Sets the key of a component (it starts as the window key).
    std::function<void(QObject* component, QString& key)> OnGetKeyString;
    std::function<void(TCustomPropSave* saver, TPropSaveAction action)> OnProcComponents;

    // Reads, saves or deletes one component's state under key.
    virtual void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                                  const QString& key) = 0;
    // Whether this saver handles that kind of component.
    virtual bool CanSave(QObject* component) const = 0;
    // Whether the children of a handled component are its own parts rather than further controls.
    virtual bool IsLeaf(QObject* component) const { return true; }
    // The section a key's state lives in (erased before a save or delete).
    virtual QString SectionOf(const QString& key) const { return key; }

    // The window key, ".", the names of the owners between window and component each with ".", and the name.
    QString GetKey(QObject* component) const;
    void ProcComps(TPropSaveAction action);
    void ProcComp(TPropSaveAction action, QObject* component, bool withChildren);

protected:
    QWidget* Window() const;
    TPropSaveFile* Store() const;

private:
    // Components the owner holds directly, by lower-case name, built once per run.
    QHash<QString, QObject*> OwnedComponents(QObject* owner) const;
    void ProcTree(TPropSaveAction action, QObject* component);

    QPointer<TPropSaveMain> main_;
};

// The name a component is known by; Qt's own internal parts ("qt_...") have none.
QString ComponentName(const QObject* object);
