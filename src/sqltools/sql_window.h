#pragma once
// TDlgGenSQL, "SQL command generator": SQL text composed from the database's tables, views,
// columns and command templates, run on the main window's connection. A query opens in the main
// grid; any other text runs batch by batch at "GO" lines.
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class SqlHighlighter;
class SqlToolHost;
class TkHTMLLabel;
class TPropSaveMain;
class Dialect;

// The template editor: one template a line.
class TDlgEditMemo : public QDialog {
    Q_OBJECT
public:
    explicit TDlgEditMemo(QWidget* parent = nullptr);
    QPlainTextEdit* Memo;
    QPushButton* btOk;
    QPushButton* btCancel;
};

class TDlgGenSQL : public QDialog {
    Q_OBJECT
public:
    TDlgGenSQL(SqlToolHost* host, QWidget* parent = nullptr);

    QTabBar* pc;
    QListWidget* lbTables;
    QListWidget* lbFields;
    QListWidget* lbCmd;
    TkHTMLLabel* lblCmd;
    QLineEdit* eFind;
    QCheckBox* chNewLine;
    QPushButton* btAddTbl;
    QPushButton* btAddFld;
    QPushButton* btAddCmd;
    QPlainTextEdit* mSQL;
    QPushButton* btExecSql;
    QPushButton* btClear;
    QPushButton* btUndo;
    QPushButton* btClose;
    TkHTMLLabel* lblRunInfo;
    QStringList mTables;
    QStringList mQueries;
    QString SelTbl;
    QTimer Timer1;
    TPropSaveMain* PropSaveMain1;

    void FormActivate();
    void pcChange();
    void eFindChange();
    void Timer1Timer();
    void eFindRightButtonClick();
    void lbTablesClick();
    void btAddTblClick();
    void btAddFldClick();
    void btAddCmdClick();
    void kHTMLLabel4AnchorClick();
    void btClearClick();
    void btUndoClick();
    void btExecSqlClick();
    // Called with the template editor before it is shown (tests answer it); nullptr: shown modally.
    std::function<int(TDlgEditMemo&)> OnEditTemplates;

protected:
    bool event(QEvent* event) override;

private:
    void applyFilter();
    void insert(const QString& text);
    QStringList selectedFields() const;
    const Dialect& dialect() const;
    // Runs a handler; an escaping exception is shown as the default handler would.
    void guarded(const std::function<void()>& fn);

    SqlToolHost* host_;
    SqlHighlighter* highlighter_;
    bool skipActivate_ = false;
    bool shownFresh_ = false;
};
