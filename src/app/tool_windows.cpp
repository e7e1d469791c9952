#include "tool_windows.h"

#include "db_action.h"
#include "db_grid_ms.h"
#include "main_window.h"

#include <QComboBox>

TADOConnection& TMainSqlHost::connection() {
    return main_->DBCon;
}

TADOQuery& TMainSqlHost::dataQuery() {
    return main_->qData;
}

QString TMainSqlHost::tableName() const {
    return main_->cbTables->currentText();
}

void TMainSqlHost::clearTableSelection() {
    main_->QueryStarting();
    const QSignalBlocker block(main_->cbTables);
    main_->cbTables->setCurrentIndex(-1);
    main_->cbTables->setEditText(QString());
}

void TMainSqlHost::dataQueryChanged() {
    main_->DataQueryChanged();
}

bool TMainSqlHost::commitEdits() {
    return main_->LeaveRecord();
}

TPropSaveFile* TMainSqlHost::settingsStore() {
    return main_->PropSaveFile1;
}
