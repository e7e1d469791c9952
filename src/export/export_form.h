#pragma once
// TkDBExportForm ("Export data"): the export of a grid's records to a text file, a workbook, a SYLK file
// or through a report template; column and record choices on a working copy of the grid.
#include "rtf_report.h"
#include "slk_export.h"
#include "txt_export.h"
#include "xls_export.h"
#include "xml_report.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class TkDBAction;
class TkDBGrid;
class TPropSaveMain;

class TkDBExportForm : public QDialog {
    Q_OBJECT
public:
    TkDBExportForm(TkDBGrid* grid, bool filterAllowed, bool columnsAllowed, bool noTemplates, bool structOnly,
                   QWidget* parent = nullptr);

    // The save and open dialogs; tests put their answers in. Empty: cancelled.
    static std::function<QString(QWidget*, const QString& filter, const QString& defaultSuffix)> AskSaveFile;
    static std::function<QString(QWidget*, const QString& filter)> AskTemplateFile;

    void rgClick();
    void btOkClick();
    void SetTemplate(const QString& path);
    // The export kinds in the order of rg.
    enum Kind { kText, kExcel, kSylk, kTemplate };
    Kind kind() const;

    TTXTExport TXTExp;
    TkXLSExport XLSExp;
    TSLKExport SLKExp;
    TRTFReport2 RTFRep;
    TkXMLReport XMLRep;
    TkDBGrid* OrigGr;
    TkDBGrid* DBGrid;
    bool SetFlt, SetCol, StructOnly;
    bool HasSelection = false;
    QString ReportFile;

    QButtonGroup* rg;
    QRadioButton* rbSelCol;
    QRadioButton* rbAllCol;
    QPushButton* btFields;
    QPushButton* btFilter;
    QLabel* lblSetDefaultCol;
    QCheckBox* chSelRecOnly;
    QStackedWidget* pages;
    QCheckBox *chFName1, *chFRealName1, *chCol1, *chAdd1;
    QComboBox* cbSeparator_nostore;
    QCheckBox *chFName2, *chFRealName2, *chSum2, *chCol2, *chBorders2, *chFreezePanes2, *chAddSheet2, *chAdd2;
    QPushButton* btRepFile;
    QLabel* lRepFile;
    QSpinBox* eCharSet;
    QComboBox* cbAction_nostore;
    QPushButton* btOk;
    QPushButton* btCancel;
    TPropSaveMain* kDlgPropSave;

private:
    void run(const QString& file);
};

// Opens the dialog for a grid with an open dataset (nothing otherwise).
void ShowExportDialog(TkDBGrid* grid, bool filterAllowed, bool columnsAllowed, bool noTemplates,
                      bool structOnly);
// Registers "Export data..." with the grid's action module.
void InstallExportActions(TkDBAction* module);
