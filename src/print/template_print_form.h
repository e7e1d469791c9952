#pragma once
// TkDBPrintForm ("Print data to RTF file"): the template print of a grid, shown or printed through
// the shell.
#include "template_print.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class TkDBGrid;
class TPropSaveMain;

class TkDBPrintForm : public QDialog {
    Q_OBJECT
public:
    TkDBPrintForm(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed, const QString& repCapt,
                  QWidget* parent = nullptr);

    void FormActivate();
    void Measure();
    void Changed(); // autoformat when ticked, else the counts
    void UpdateCounts();
    void Run(TActionAfter action);
    QString LastResult;

    // The print folder (the program folder unless a test points elsewhere).
    QString Folder;
    TTemplatePrint Engine;
    TkDBGrid* OrigGr;
    TkDBGrid* DBGrid;
    QString RepCapt;
    bool Loaded = false;

    QLineEdit* eCaption;
    QCheckBox* chAutoformat;
    QComboBox* cbPaperType_nostore;
    QComboBox* cbPaperOrient_nostore;
    QComboBox* cbFont_nostore;
    QSpinBox* eSep;
    QCheckBox* chCut;
    QRadioButton* rbSelCol;
    QRadioButton* rbAllCol;
    QPushButton* btFields;
    QPushButton* btFilter;
    QLabel* lblSetDefaultCol;
    QCheckBox* chSum;
    QLabel* lRec;
    QLabel* lPages;
    QComboBox* cbPrinter;
    QPushButton* btPrintSetup;
    QPushButton* btPrint;
    QPushButton* btShow;
    QPushButton* btCancel;
    QStackedWidget* pages;
    QLabel* lInfo;
    QProgressBar* PBar;
    QPushButton* btAbort;
    TPropSaveMain* PropSaveMain1;

protected:
    bool event(QEvent* e) override;

private:
    void toEngine();
    void fromEngine();
    bool aborted_ = false;
};

// Opens the dialog for a grid whose dataset is open; nothing happens otherwise.
void ShowPrintDialog(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed, const QString& reportName);
