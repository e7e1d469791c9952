#pragma once
// The import wizard: source (a file through the template connection files, or a connection string)
// and its table or select command; the field page (mapping and compare rows, lookup rows, fixed
// values, value commands, import type); checking and running the import; errors and update log.
#include "connection.h"
#include "dataset.h"
#include "dlg_base_form.h"
#include "import_run.h"
#include "query.h"

#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QGridLayout;
class TADOConWizard;
class TkDBGrid;
class TPropSaveFile;

// The module's settings, read when a wizard is created: the unattended run (mode 2) and the engine's
// options.
struct TkDBImport_Setting {
    bool AutoRun_ShowForm = false;        // mode 2: the window is shown while it runs
    bool AutoRun_ShowProgress = false;    // mode 2: the progress window is shown
    bool AutoRun_DoCheck = false;         // mode 2: the checking pass runs before the import
    QWidget* AutoRun_OwnerForm = nullptr; // mode 2: the progress window's place when the window is hidden
    QString StandardChars = ImportCharSets().standard; // kept by Clean
    QString LocalChars = ImportCharSets().local;
    QString SpecialChars = ImportCharSets().special;
    bool CopyNumericFieldAsFloat = true;
    bool ResultInTableForm = false;
    QString ResultValueSeparator = QStringLiteral("; ");
};
extern TkDBImport_Setting DBImportSetting;

using TkDBImport_BackupCallBack = std::function<void(bool& Continue)>;
using TkDBImport_LogCallBack = std::function<void(const QString& LogStr, int Level, bool& Aborted)>;

class TkDBImportForm : public TkDBDlgBaseForm {
    Q_OBJECT
public:
    explicit TkDBImportForm(QWidget* parent = nullptr);
    ~TkDBImportForm() override;

    int AutoMode = 0;
    QString UDLPath;
    QStringList LookupSQLStr;
    QStringList* AutoSetting = nullptr;
    TkDBImport_LogCallBack LogCallBack;
    TkDBImport_BackupCallBack BackupCallBack;
    bool Imported = false;
    bool DoInit = false; // mode 1: the source of AutoSetting is opened when the window first activates

    void setTarget(TADOQuery* target);
    void setBackupEnabled(bool on);
    // Page 0: a source file through the template connection files, or a connection string.
    bool OpenSourceFile(const QString& fileName);
    bool OpenSourceConnection(const QString& conStr);
    void LoadSourceData();
    // Page navigation; errors stay on the page (shown in the exception box, or raised in mode 2).
    void btNextClick();
    void btPrevClick();
    void btRunClick();
    // Mapping list commands: "DelAll", "Down", "Up" (the last two on the focused mapping row).
    void btMoveItemsAnchorClick(const QString& command);
    void LoadSettings(const QString& file);
    void SaveSettings(const QString& file);
    // Runs unattended (mode 2) over a source dataset or the settings' source.
    void AutoRunImport(TDataSet* source);
    // Mode 1: AutoSetting := the page's settings and the source ("Save import settings").
    void StoreAutoSetting();
    // The entry function binds the window's position saver to the program's settings store.
    void BindPositionSaver(TPropSaveFile* store);

    int page() const;
    TkDBGrid* grImpData1() const { return grImpData1_; }
    TkDBGrid* grData() const { return grData_; }
    TkDBGrid* grImpData2() const { return grImpData2_; }
    // The grid the pop-up menu and its shortcuts act on: the one that last had the focus.
    TkDBGrid* actGrid = nullptr;
    // Links "Set" (the manual filter dialog) and "Reset" of the source grid's filter.
    void lblFilterAnchorClick(const QString& link);
    // Link "Help": the value commands' help page in UDLPath (written there when missing), opened.
    void ShowCalcHelp();
    // Links "ExpStruct" and "ExpData": the export dialog on the target grid, titles only or with data.
    void lblExpStructureAnchorClick(const QString& link);
    ImportEngine* engine() const { return engine_.get(); }
    // The settings the field page shows.
    ImportSettings settingsOfPage() const;
    void showSettings(const ImportSettings& s);

    // Controls, named as the wizard's property saver stores them.
    QStackedWidget* pc;
    QPlainTextEdit *mConInfo, *mVal, *mCalc, *mErr, *mLog;
    QComboBox* cbTable;
    QLineEdit *eSelectCmd, *lFile;
    QTabWidget *tabSource, *tabFields;
    QButtonGroup* rgTyp;
    QCheckBox *chUseValAddOnly, *chBackup;
    QLabel *lInfoBefore, *lInfoPost;
    QWidget *sb2Box, *pInfoPost;
    QPushButton *btPrev, *btNext, *btRun, *btClose, *btSelFile, *btNewCon, *btLoadData, *btCheckCalc,
        *btCalcHelp, *btLoadSet, *btSaveSet, *btClear, *btDown, *btUp, *btConExp, *btSaveAutoDesign,
        *btFilterSet, *btFilterReset, *btExpStruct, *btExpData;
    // The grids' pop-up menu and its items.
    QMenu* pm;
    QAction *miFind, *miColumns, *miProps, *miFilterSel, *miFilterForm, *miFilter;
    QWidget* pLoad;    // page 0: a file dropped on it becomes the source
    QWidget* pButtons; // the button bar
    std::vector<QComboBox*> mapBoxes, compareBoxes;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void OpenAutoSettingSource();
    void buildGridMenu();
    // Shows or updates the progress window (with Abort for the passes), as the run mode allows.
    void progress(const QString& text, int percent = 0, bool abortable = true);
    std::vector<TDataSet*> lookups() const;
    void BuildFieldSelection();
    void OpenLookupTables();
    void FillTableList(const QString& fileName, bool load);
    void resetSource();
    bool ParseCalcs(bool withMessages);
    void CheckData();
    void updateButtons();
    void showInfoBefore();
    void showInfoPost();

    TADOQuery* target_ = nullptr;
    TADOConnection impCon_;
    TADOQuery qImp_{&impCon_};
    TDataSet* impDS_ = &qImp_;
    TDataSource dsImp_, dsData_;
    std::unique_ptr<TADOConWizard> wiz_;
    std::vector<std::unique_ptr<TADOQuery>> lookupDS_;
    std::unique_ptr<ImportEngine> engine_;
    std::vector<ImportRow> rows_;
    QStringList mFields_;
    TkDBGrid *grImpData1_, *grData_, *grImpData2_;
    QGridLayout *sb1Layout_, *sb2Layout_;
    QString lastSettingsFile_;
};

// The module's entry: mode 0 interactive, 1 design of automatic-run settings (AutoSetting receives
// them), 2 unattended run (Source, else the settings' source). Returns whether an import ran.
bool RunDBImport(int AutoMode, TADOQuery* Target, TDataSet* Source, TkDBImport_LogCallBack LogCallBack,
                 TkDBImport_BackupCallBack BackupCallBack, TPropSaveFile* PropSaveFile,
                 const QString& UDLPath, QStringList* AutoSetting = nullptr,
                 const QStringList& LookupSQL = {}, QWidget* parent = nullptr);
// Mode 0 without source, log callback or automatic settings.
bool ShowDBImport(TADOQuery* Target, const QStringList& LookupSQL, const QString& UDLPath,
                  TkDBImport_BackupCallBack BackupCallBack, TPropSaveFile* PropSaveFile,
                  QWidget* parent = nullptr);
