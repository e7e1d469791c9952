#pragma once
// TMain: the program's hub. Connection files, connect, the table list, loading rows into the grid,
// the schema page and the table-name properties; it owns the program's one connection.
#include "connection.h"
#include "connection_files.h"
#include "query.h"
#include "table_list.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QSpinBox;
class QTabWidget;
class TkDBAction;
class TkDBEditBar;
class TkDBGrid;
class TkDBGrid_MS;
class TkDBToolBar;
class TkHTMLLabel;
class TPropSaveFile;
class TPropSaveMain;
class TkDBGridsPropSave;
class TScript;
class TDlgGenSQL;
class TDlgGenData;

class TMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TMain(TkDBAction* actions, QWidget* parent = nullptr);
    ~TMain() override;

    // Non-visual parts that other windows use.
    TADOConnection DBCon;
    TADOQuery qData;
    TADOQuery qCount;
    TADOQuery DataSet;
    TDataSource ds1;
    QString ConDir;
    TPropSaveFile* PropSaveFile1;
    TPropSaveMain* PropSaveMain1;
    TkDBGridsPropSave* kDBGridsPropSave1;

    // Controls, by their names.
    QGroupBox* gbTop;
    QComboBox* cbUDL_nostore;
    QLabel* lNewUDL;
    QLabel* lDuplicUDL;
    QLabel* lModifyUDL;
    QPushButton* btConnect;
    QPushButton* btDiscon;
    QLabel* lblHelp;
    QWidget* gbTabs;
    QTabWidget* pcAction;
    QRadioButton* rbTables;
    QRadioButton* rbViews;
    QRadioButton* rbBoth;
    QCheckBox* chAutoOpen;
    QComboBox* cbTables;
    QSpinBox* eTopRec;
    TkHTMLLabel* lInfo;
    QPushButton* btOpen;
    QPushButton* btImportData;
    QPushButton* btGenData;
    QPushButton* btGenScript;
    QPushButton* btRunSQL;
    QComboBox* cbSchema;
    TkHTMLLabel* lblDelSchemas;
    QLabel* lErr;
    QLineEdit* eNamePrefix;
    QLineEdit* eNameStart;
    QLineEdit* eNameStop;
    QLineEdit* eMaskListExclude;
    QLabel* lblRef;
    TkDBToolBar* toolBar;
    TkDBGrid_MS* grData;
    TkDBEditBar* editBar;
    QLabel* lStatus; // the status line under the grid

    void setToolWindows(TScript* script, TDlgGenSQL* genSQL, TDlgGenData* genData);
    TkDBAction* actionModule() const { return actions_; }
    ConnectionFiles& connectionFiles() { return files_; }

    // Handlers.
    void btConnectClick();
    void btDisconClick();
    void lNewUDLClick(int tag);
    void rbTablesClick();
    void lblRefClick() { rbTablesClick(); }
    void cbTablesUpdateTimer();
    void btOpenClick();
    void lInfoGetParameter(QString& param);
    void cbSchemaUpdateTimer();
    void lblDelSchemasAnchorClick();
    void pcActionChange();
    void grDataEnter();
    bool grDataChangeSort(const QString& fields, bool desc);
    void grDataRefreshData();
    void grDataTitleExClick();
    void qDataAfterOpen();
    void ApplicationEvents1Idle();
    void btImportDataClick();
    void btGenDataClick();
    void btGenScriptClick();
    void btRunSQLClick();
    void lblHelpClick();

    // Saves what the grid is editing before the record is left (the open cell editor, then a
    // pending edit or new record; an untouched new record is dropped). False when the save failed:
    // the user was told and the record stays in edit.
    bool LeaveRecord();
    // The connection combo read afresh from the folder.
    void RefreshConnectionList();
    // Opens a database or connection file (the command line's, a dropped one): its connection file
    // is made in the connection folder, chosen and connected. False (the user was told) when the
    // file is neither or the record in edit could not be saved.
    bool OpenFile(const QString& path);
    // Loads the table named in cbTables (errors are raised).
    void LoadTable();
    // Opens one schema kind into DataSet; false (and lErr the error) when it fails.
    bool OpenSchemaKind(int kind);
    TableChoice tableChoice() const;
    // The statements of the last load.
    const LoadStatements& lastStatements() const { return lastLoad_; }
    // The records of the loaded table or query as they stand: the count taken at loading, moved by
    // the records added and deleted since; a query's own records. -1 when unknown.
    qint64 TotalRecords() const;
    // The status line's text for the grid's dataset.
    QString StatusText() const;
    // A query of the SQL window is about to open in qData, and qData was opened or closed by it.
    void QueryStarting();
    void DataQueryChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void buildTopGroup(QWidget* parent);
    QWidget* buildDataPage();
    QWidget* buildSchemaPage();
    QWidget* buildPropertiesPage();
    void setupSettings();
    // Runs a handler; an escaping exception goes to the default handler (its text in an error box).
    void guarded(const std::function<void()>& fn);

    TkDBAction* actions_;
    ConnectionFiles files_;
    TScript* script_ = nullptr;
    TDlgGenSQL* genSQL_ = nullptr;
    TDlgGenData* genData_ = nullptr;
    QTimer tablesTimer_;
    QTimer schemaTimer_;
    QTimer idleTimer_;
    bool lastKeyEnter_ = false;
    bool abortLoad_ = false;
    LoadStatements lastLoad_;
    QString loadedTable_;      // the table whose rows qData holds (empty for a query)
    qint64 countAtLoad_ = -1;  // the count query's answer at loading
    qint64 fetchedAtLoad_ = 0; // the records fetched then
    QElapsedTimer queryTimer_; // runs while a query of the SQL window opens
    qint64 lastRunMs_ = -1;    // how long the last load or query took
    bool lastRunWasQuery_ = false;
    QString lastInfoText_;
    QHash<QString, int> dataWidths_; // the data page's column widths while the schema page shows
};
