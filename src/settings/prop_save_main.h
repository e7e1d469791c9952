#pragma once
// The coordinator of a window's savers: saves the window's own position and state and drives the
// built-in savers (bounds of controls, standard controls) and every further saver bound to it.
// Reads when the window is created (Loaded) or shown, saves when it is destroyed or hidden.
#include "custom_prop_save.h"
#include "position_prop_save.h"
#include "std_ctrl_prop_save.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class TPropSaveFile;
class QWidget;

enum TPropSaveEvents { pseFormCreateDestroy, pseFormShowHide, pseNone };

class TPropSaveMain : public QObject {
    Q_OBJECT
public:
    // The window is owner when it is a window, else the window owner lies in.
    explicit TPropSaveMain(QObject* owner);
    ~TPropSaveMain() override;

    TPropSaveFile* PropSaveFile = nullptr; // none: the program's default store
    QString FormKey;                       // empty: the window's name
    bool FormSavePos = true;
    bool FormLimitToScreen = true;
    TPropSaveEvents PropSaveEvents = pseFormCreateDestroy;
    TPositionPropSave* CtrlPosition;
    TStdCtrlPropSave* StdCtrl;
    std::function<void(TPropSaveFile* store, const QString& formKey)> OnReadProperties;
    std::function<void(TPropSaveFile* store, const QString& formKey)> OnSaveProperties;

    // Called by the window once its controls exist, before its own start-up code: hooks the window's
    // events and, for pseFormCreateDestroy, reads the stored state.
    void Loaded();

    // Run the whole window, also when the store has DisableAll set.
    void ReadProperties();
    void SaveProperties();
    void DeleteProperties();
    // The automatic save, run now and not again when the window is destroyed. A window whose
    // OnSaveProperties reads its own members calls this from its destructor: the automatic save
    // comes from QWidget's destructor, after those members are gone.
    void SaveBeforeDestroy();
    // A position is stored for this window (and the store is not disabled).
    bool FormIsSaved();
    QString GetFormKey() const;

    QWidget* Window() const { return window_; }
    TPropSaveFile* Store() const;

    void AddSaver(TCustomPropSave* saver);
    void RemoveSaver(TCustomPropSave* saver);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Run(TPropSaveAction action);
    void RunWindowPosition(TPropSaveAction action);
    // The automatic runs skip a disabled store and show a set-up error instead of throwing into Qt.
    void AutoRun(TPropSaveAction action);

    QPointer<QWidget> window_;
    QList<QPointer<TCustomPropSave>> savers_;
    bool hooked_ = false;
    bool read_ = false; // read once until the next save
    bool saved_ = false; // SaveBeforeDestroy ran
};
