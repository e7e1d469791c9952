#pragma once
// TScript, "Generate SQL script": an INSERT or UPDATE script of every row the main window's data
// query holds, in its current sort and under its filter, for the table loaded there.
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class SqlHighlighter;
class SqlToolHost;
class TPropSaveMain;

class TScript : public QDialog {
    Q_OBJECT
public:
    TScript(SqlToolHost* host, QWidget* parent = nullptr);

    QListWidget* chbFldList;
    QListWidget* chbKeyFldList;
    QLabel* lblFldNone;
    QLabel* lblFldAll;
    QLabel* lblKeyNone;
    QLabel* lblKeyAll;
    QButtonGroup* rgType;
    QRadioButton* rbInsert;
    QRadioButton* rbUpdate;
    QComboBox* cbAdd;
    QCheckBox* chGenIdInsert;
    QCheckBox* chGenDelAll;
    QCheckBox* chCopy;
    QPushButton* btGen;
    QPushButton* btClose;
    QPlainTextEdit* mSQL;
    TPropSaveMain* PropSaveMain1;

    void FormShow();
    void btGenClick();
    // Rows from which the generation shows the progress window with "Abort".
    static constexpr int kProgressFromRows = 5000;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SqlToolHost* host_;
    SqlHighlighter* highlighter_;
    QString scriptSource_; // the table and statement the shown script was made from
};
