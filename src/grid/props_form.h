#pragma once
// "Table properties": the highlighting by cell conditions, the grid's look and its column filter
// options in one window, with links to the conditions and the column dialogs. The window's own
// controls act on "Ok"; "Cancel" leaves the grid as it was.
#include "dlg_base_form.h"
#include "grid_style.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TkDBAction;
class TkDBGrid;

class TkDBGridPropsForm : public TkDBDlgBaseForm {
    Q_OBJECT
public:
    // The flags say which parts are offered: the column dialog link, the cell conditions, the grid's
    // look and the column filter options.
    TkDBGridPropsForm(TkDBGrid* grid, bool setColumns, bool setCellConditions, bool setGridStyle,
                      bool setFilter, QWidget* parent = nullptr);

    void setPickedFont(const QFont& font);      // what "Font..." picks
    void setPickedTitleFont(const QFont& font); // what "Title font..." picks
    void apply();                               // "Ok"
    void setConditions();                       // "Set conditions..."
    void resetDefaults();                       // "Set default properties"

    QCheckBox* chHighlight;
    QLabel* lblSetConditions;
    QGroupBox* gbStyle;
    QPushButton* btFont;
    QPushButton* btTitleFont;
    QLabel* lFont;
    QLabel* lTitleFont;
    QComboBox* cbColor;
    QComboBox* cbColorOddRow;
    QComboBox* cbColorSelection;
    QCheckBox* chGridLines;
    QSpinBox* enRowHeight;
    QCheckBox* chIndicator;
    QCheckBox* chFooter;
    QGroupBox* gbFilter;
    QCheckBox* chFunnel;
    QCheckBox* chFunnelActiveOnly;
    QCheckBox* chTextBar;
    QComboBox* cbTextBarPosition;
    QCheckBox* chFilterPanel;
    QLabel* lblColumns;
    QLabel* lblDefault;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    void fill();
    TkDBGridStyle pickedStyle() const;
    void filterStates();

    TkDBGrid* grid_;
    bool setColumns_, setCellConditions_, setGridStyle_, setFilter_;
    QFont font_, titleFont_;
};

// Opens the window on a grid; true when it was closed with "Ok".
bool ShowGridPropsDialog(TkDBGrid* grid, bool setColumns, bool setCellConditions, bool setGridStyle,
                         bool setFilter);

// The grid's stored settings are deleted instead of saved by every settings saver of its window.
void ForgetStoredGridSettings(TkDBGrid* grid);

// "Table properties..." with the module's switches and the states of the column and filter commands.
void InstallGridPropsAction(TkDBAction* module);
