#pragma once
// The "Conditions for colored records" dialog: one table row per condition of a grid and an empty last
// row for a new one; Ok and Use store the rows as the grid's conditions and switch them on.
#include "cell_conditions.h"

#include <QDialog>

class QPushButton;
class QTableWidget;
class TkDBGrid;

class TkDBGridCellParamsForm : public QDialog {
    Q_OBJECT
public:
    enum Col {
        colField = 0,
        colSign,
        colValue,
        colAction,
        colFontColor,
        colBkColor,
        colBold,
        colWholeRow,
        colIcon,
        colShowText,
        colStopIfTrue,
        colSkip,
        colCount
    };
    explicit TkDBGridCellParamsForm(TkDBGrid* grid, QWidget* parent = nullptr);

    // The rows from the grid's list, and back (the grid's list is replaced; the conditions go on).
    void LoadConditions();
    void StoreConditions();
    // A cell's text as the row holds it (check boxes "1" or empty); setting runs the editing rules.
    QString cellText(int row, int col) const;
    void setCellText(int row, int col, const QString& text);
    int conditionRows() const; // rows without the empty last one
    void moveRow(int delta);   // the current row
    void deleteRow();          // the current row
    void deleteAllRows();
    // The captions and names of the fields a condition can test.
    const QStringList& fieldCaptions() const { return captions_; }

    QTableWidget* grCond;
    QPushButton *btUp, *btDown, *btClear, *btAll, *btOk, *btUse, *btCancel;

private:
    void addEmptyRow();
    void fillRow(int row, const TCellParamsCond& c);
    void cellChanged(int row, int col);
    void updateRowLook(int row);
    bool isCheckColumn(int col) const;

    TkDBGrid* grid_;
    QStringList captions_, names_;
    bool loading_ = false;
};

// Runs the dialog on a grid; true when it was closed with Ok.
bool ShowCellConditions(TkDBGrid* grid);
