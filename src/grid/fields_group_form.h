#pragma once
// The column group dialog: groups of a grid's columns, each with a name, its columns (moved between
// the lists by dragging or with the buttons) and a master column that stays when the group is
// collapsed. "Ok" hands the groups to the grid; "Cancel" leaves the grid as it was.
#include "column_groups.h"
#include "dlg_base_form.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class TkDBAction;
class TkDBGrid;

class TkDBFieldsGroupForm : public TkDBDlgBaseForm {
    Q_OBJECT
public:
    explicit TkDBFieldsGroupForm(TkDBGrid* grid, QWidget* parent = nullptr);

    // The groups as edited so far.
    const QList<TColumnGroup>& groups() const { return groups_; }
    void newGroup();
    void deleteGroup();
    // Moves the selected entries of one list to the other (">" and "<").
    void addSelected();
    void removeSelected();
    void moveMember(int delta);
    // "Ok": checks the groups, hands them to the grid and closes; false (and open) when refused.
    bool apply();

    QListWidget* lbGroups;
    QPushButton* btNew;
    QPushButton* btDelete;
    QLineEdit* eName;
    QComboBox* cbMaster;
    QListWidget* lbFields;  // columns in no group
    QListWidget* lbMembers; // columns of the current group
    QPushButton* btAdd;
    QPushButton* btRemove;
    QPushButton* btUp;
    QPushButton* btDown;
    QCheckBox* chActive;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    QString titleOf(const QString& field) const;
    void showGroup(int group);
    void fillFields();
    void fillMaster();
    void membersChanged(); // the member list changed (buttons or a drop): the group follows

    TkDBGrid* grid_;
    QList<TColumnGroup> groups_;
    int act_ = -1;
    bool filling_ = false;
};

// Opens the dialog on a grid; true when it was closed with "Ok".
bool ShowFieldsGroupDialog(TkDBGrid* grid);

// "Group columns" (the groups on and off, with its check mark) and "Group settings" (the dialog).
void InstallColumnGroupActions(TkDBAction* module);
