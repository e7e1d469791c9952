#pragma once
// The common base of the grid dialogs: the shared dialog font and a position saved in the program's
// settings store under the window's name.
#include <QDialog>
#include <QFont>

class TPropSaveMain;

class TkDBDlgBaseForm : public QDialog {
    Q_OBJECT
public:
    // name: the window's objectName, which is also the key of its stored position.
    TkDBDlgBaseForm(const QString& name, QWidget* parent = nullptr);

    // The font every grid dialog takes (the application's font until someone sets another).
    static QFont& DialogFont();

    TPropSaveMain* kDlgPropSave;

protected:
    // Called once the controls exist: restores the stored position (and any control the dialog
    // listed in kDlgPropSave); the position is saved when the window is destroyed.
    void LoadPosition();
};
