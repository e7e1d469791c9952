#pragma once
// What the SQL windows need from the main window: its connection, its data query and the table it
// loaded. The main window implements it; the windows never see the main window itself.
#include <QString>

class TADOConnection;
class TADOQuery;
class TPropSaveFile;

class SqlToolHost {
public:
    virtual ~SqlToolHost() = default;
    virtual TADOConnection& connection() = 0;
    // The query whose rows the main grid shows (qData).
    virtual TADOQuery& dataQuery() = 0;
    // The text of the table combo: the table qData was loaded from (empty when none).
    virtual QString tableName() const = 0;
    // The data query is about to show a query of the user's: the loaded table is no longer named.
    virtual void clearTableSelection() {}
    // The data query was opened or closed by a window: the main window refreshes its state.
    virtual void dataQueryChanged() {}
    // Saves what the main grid is editing before a window reads or replaces the rows; false when
    // that failed (the user was told) and the window should stop.
    virtual bool commitEdits() { return true; }
    // Where the windows save their settings (nullptr: the program's default store).
    virtual TPropSaveFile* settingsStore() { return nullptr; }
};
