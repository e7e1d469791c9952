#pragma once
// TkDBAction: the grid command set, one QAction per command name, serving the active grid.
// The record commands, the clipboard commands and the column width commands work here; the dialog
// commands are built by their feature files through setHandler and stay disabled until then.
// States follow the command's Tag (dataset states that disable it, rights levels) and the grid's
// Tag (command groups the grid switches off); RefreshAction recomputes them on every idle update.
#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <functional>

class QAction;
class QMenu;
#include "db_grid.h"

// Dataset state bits of an action's Tag (its two lowest decimal digits): the action is disabled in
// any state it names.
enum TkDBActionState {
    asNoDataSet = 1, // no data source, no dataset, closed, or a state other than browse, edit, insert
    asReadOnly = 2,
    asEmpty = 4,
    asBrowse = 8,
    asEdit = 16,
    asInsert = 32,
};

class TkDBAction : public QObject {
    Q_OBJECT
public:
    explicit TkDBAction(QObject* parent = nullptr);
    ~TkDBAction() override;

    // The program's one module (the last one created), or nullptr.
    static TkDBAction* Instance();

    QAction* action(const QString& name) const; // nullptr for an unknown name
    QAction* operator[](const QString& name) const { return action(name); }
    const QStringList& names() const { return names_; } // in list order
    QString category(const QString& name) const;
    int tag(const QString& name) const;

    void SetActiveGrid(TkDBGrid* grid);
    TkDBGrid* GetActiveGrid() const { return grid_; }
    // Recomputes every action's enabled, visible, checked and shortcut state for the active grid.
    void RefreshAction();
    // The idle update: RefreshAction while AutoUpdateState is on.
    void ActListUpdate();
    // The state bits (TkDBActionState) of the active grid's dataset; 255 without a grid.
    int StateFlags() const;

    // True when the active grid's dataset is neither editing nor inserting afterwards. With
    // showDialog, a pending edit is saved, cancelled or kept by the answer to "Save changes?".
    bool CheckEditState(bool showDialog);

    // Makes the grid use the pop-up menu: a right click on a cell or the indicator opens pmDBAction
    // for that grid (making it the active one first).
    void AttachGrid(TkDBGrid* grid);
    void PopupFor(TkDBGrid* grid, const QPoint& globalPos);

    // Asks the application for a grid's default columns (accDefaultGrid through OnRunOtherAction).
    void OnSetDefaultGridColumns(QObject* sender);

    // Marks a command as built: its state follows the active grid. Unbuilt commands are disabled.
    void setImplemented(const QString& name, bool on = true);
    bool implemented(const QString& name) const { return implemented_.contains(name); }

    // Builds a command from outside this file (one feature folder per command group): marks it
    // implemented, runs `run` on trigger with the active grid, and, when `state` is given, lets it
    // decide the enabled state after the common rules allowed it. An error of `run` goes to the
    // application's error display.
    using RunHandler = std::function<void(TkDBGrid* grid)>;
    using StateHandler = std::function<bool(TkDBGrid* grid)>;
    void setHandler(const QString& name, RunHandler run, StateHandler state = {});

    // Answers the enabled state of actions with Tag 0.
    std::function<void(TkDBAction*, QAction* action, TkDBGrid* grid, bool& enabled)> OnGetOtherActionState;
    // Runs the actions the module does not implement.
    std::function<void(TkDBAction*, QAction* action, TkDBGrid* grid)> OnRunOtherAction;

    bool AllowSetCellConditions = true;
    bool AllowSetGridStyle = true;
    bool AutoUpdateState = true;
    QKeySequence acEditSC{Qt::Key_F2};
    int URights = 9;
    int URightsEdit = 9;

    // The grid's pop-up menu and its four switchable submenus.
    QMenu* pmDBAction;
    QMenu* miRecord;
    QMenu* miSort;
    QMenu* miFilter;
    QMenu* miColumns;
    // Drop-down menus of the toolbar buttons.
    QMenu* pmSortList;
    QMenu* pmFilterSel;
    QMenu* pmFilterList;
    QMenu* pmColumnWidth;
    QMenu* pmCopyData;

private:
    void runColumnWidth(const QString& name);
    void buildCommands();
    void buildPopup();
    QHash<QString, QAction*> actions_;
    QHash<QString, QString> categories_;
    QHash<QString, int> tags_;
    QHash<QString, QKeySequence> acShortCuts_; // the designed shortcuts
    QStringList names_;
    QSet<QString> implemented_;
    QHash<QString, StateHandler> states_;
    QPointer<TkDBGrid> grid_;
    QAction* recordSeparator_ = nullptr;
    QTimer idle_;
};
