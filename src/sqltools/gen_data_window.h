#pragma once
// TDlgGenData, "Generate data": fills the table loaded in the main window with generated values,
// one generator action per field, by appending new records or rewriting the loaded ones.
#include "connection.h"
#include "gen_data.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class SqlToolHost;
class TPropSaveFile;
class TPropSaveMain;

class TDlgGenData : public QDialog {
    Q_OBJECT
public:
    TDlgGenData(SqlToolHost* host, QWidget* parent = nullptr);
    ~TDlgGenData() override;

    // Grid columns (0 is the fixed column).
    enum { colFixed, colField, colType, colAction, colValue, colTable, colSourceField, colCount };

    QLabel* lblTableName;
    QRadioButton* rbUpdate;
    QRadioButton* rbInsert;
    QSpinBox* eRecNum;
    QTableWidget* sgGen;
    QPushButton* btGenerate;
    QPushButton* btSaveSet;
    QPushButton* btLoad;
    QPushButton* btOpenDB;
    QCheckBox* chAutoLoad;
    QLabel* lblInfo;
    TPropSaveMain* PropSaveMain1;
    TADOConnection DemoCon;

    // Table names of the sample database and of the own database.
    QStringList DemoTables;
    QStringList OwnTables;

    void FormShow();
    void FormClose();
    void btGenerateClick();
    void btSaveSetClick();
    void btLoadClick();
    void btOpenDBClick();
    // The section the generator grid is saved under: database.table.Actions.
    QString GridPSGetKeyString() const;
    // Whether a cell can be edited (the others are drawn in the button-face colour).
    bool sgGenCanEdit(int row, int col) const;
    // The choices of a drop-down cell: actions, source tables or source fields.
    QStringList sgGenPicklist(int row, int col);

    // The grid's rows as the engine takes them, and back.
    std::vector<GenRow> gridRows() const;
    void setGridRows(const std::vector<GenRow>& rows);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void sgGenFinishCellEditing(int row, int col);
    void paintRow(int row);
    QString cell(int row, int col) const;
    void setCell(int row, int col, const QString& text);
    TPropSaveFile* store() const;

    SqlToolHost* host_;
    bool filling_ = false;
};
