#include "tool_windows.h"

#include "db_action.h"
#include "db_grid_ms.h"
#include "main_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

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

TToolWindow::TToolWindow(const QString& name, const QString& caption, TMain* main)
    : QDialog(main), main_(main) {
    setObjectName(name);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(600, 400);
}

TDlgGenData::TDlgGenData(TMain* main)
    : TToolWindow(QStringLiteral("TDlgGenData"), QStringLiteral("Generate data"), main) {}
