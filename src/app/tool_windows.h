#pragma once
// The tool windows created at start-up and only shown and hidden afterwards: the SQL windows (built in
// sqltools over the main window's host adapter) and the test data generator.
#include "gen_data_window.h"
#include "script_window.h"
#include "sql_tool_host.h"
#include "sql_window.h"

#include <QDialog>

class TMain;

// The main window as the SQL windows see it.
class TMainSqlHost : public SqlToolHost {
public:
    explicit TMainSqlHost(TMain* main) : main_(main) {}
    TADOConnection& connection() override;
    TADOQuery& dataQuery() override;
    QString tableName() const override;
    void clearTableSelection() override;
    void dataQueryChanged() override;
    bool commitEdits() override;
    TPropSaveFile* settingsStore() override;

private:
    TMain* main_;
};
