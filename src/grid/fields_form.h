#pragma once
// "Fields selection and properties": the columns of a grid (or the fields of a dataset) with their
// visibility and order, which act at once, and a panel of look and format properties applied on "Use".
#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TDataSet;
class TField;
class TkDBGrid;

class TkDBFieldsForm : public QDialog {
    Q_OBJECT
public:
    // Either a grid or a dataset is the source.
    TkDBFieldsForm(TkDBGrid* grid, TDataSet* ds, QWidget* parent = nullptr);

    // Ticks (or unticks) an entry: the column's visibility follows at once.
    void setVisibleAt(int entry, bool on);
    // Moves the current entry (and its column) to another position.
    void moveEntry(int from, int to);
    // Shows another entry in the panel; false when the user kept the previous one (Cancel).
    bool showEntry(int entry);
    void apply(); // "Use"
    void toggleAll();
    void resetDefaults();
    void setPanelFont(const QFont& font); // what "Font" picks

    QListWidget* lbLabels;
    QPushButton* btUp;
    QPushButton* btDown;
    QPushButton* btAll;
    QPushButton* btDefault;
    QCheckBox* chGroupFields;
    QPushButton* btGroupSettings;
    QGroupBox* gb;
    QLineEdit* eCaption;
    QSpinBox* enWidth;
    QComboBox* cbFormat;
    QComboBox* cbColor;
    QPushButton* btFont;
    QRadioButton* rgAlign[3];
    QLabel* lTest;
    QPushButton* btApply;
    QPushButton* btClose;

private:
    int columnAt(int entry) const; // grid: the logical column shown at an entry
    TField* fieldAt(int entry) const;
    void fillList();
    void refreshGroupStates(); // members of a group with a hidden master are disabled; masters bold
    void fillPanel();
    void changed();
    void refreshPreview();
    bool askPending(); // false on Cancel
    Qt::Alignment alignment() const;

    TkDBGrid* grid_;
    TDataSet* ds_;
    int act_ = -1;
    bool SetAll = true;
    bool filling_ = false;
    QFont font_;
};

// Opens the window for a grid, or for a dataset when grid is null; nothing happens without an active
// dataset.
void ShowFieldsDialog(TkDBGrid* grid, TDataSet* ds = nullptr);
