#pragma once
// TkDBAction: the grid command set, one QAction per command name, serving the active grid.
// The commands of the column width modes work here; the others exist (captions, shortcuts, tags) and
// stay disabled until their features are built into this module.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;
#include "db_grid.h"

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
    // Recomputes every action's enabled state for the active grid.
    void RefreshAction();

    // Marks a command as built: its state follows the active grid (a built command with Tag 0 asks
    // OnGetOtherActionState). Unbuilt commands are disabled.
    void setImplemented(const QString& name, bool on = true);
    bool implemented(const QString& name) const { return implemented_.contains(name); }

    // Builds a command from outside this file (one feature folder per command group): marks it
    // implemented, runs `run` on trigger with the active grid, and, when `state` is given, lets it
    // decide the enabled state after the common rules allowed it.
    using RunHandler = std::function<void(TkDBGrid* grid)>;
    using StateHandler = std::function<bool(TkDBGrid* grid)>;
    void setHandler(const QString& name, RunHandler run, StateHandler state = {});

    // Answers the enabled state of actions the module does not implement (Tag 0).
    std::function<void(TkDBAction*, QAction* action, TkDBGrid* grid, bool& enabled)> OnGetOtherActionState;
    // Runs the actions the module does not implement.
    std::function<void(TkDBAction*, QAction* action, TkDBGrid* grid)> OnRunOtherAction;

    // Drop-down menus of the toolbar buttons.
    QMenu* pmSortList;
    QMenu* pmFilterSel;
    QMenu* pmFilterList;
    QMenu* pmColumnWidth;
    QMenu* pmCopyData;

private:
    void runColumnWidth(const QString& name);
    QHash<QString, QAction*> actions_;
    QHash<QString, QString> categories_;
    QHash<QString, int> tags_;
    QStringList names_;
    QSet<QString> implemented_;
    QHash<QString, StateHandler> states_;
    QPointer<TkDBGrid> grid_;
};
