#include "tool_windows.h"

#include "main_window.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

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

TScript::TScript(TMain* main)
    : TToolWindow(QStringLiteral("TScript"), QStringLiteral("Generate SQL script"), main) {}

TDlgGenSQL::TDlgGenSQL(TMain* main)
    : TToolWindow(QStringLiteral("TDlgGenSQL"), QStringLiteral("Run SQL command"), main) {}

TDlgGenData::TDlgGenData(TMain* main)
    : TToolWindow(QStringLiteral("TDlgGenData"), QStringLiteral("Generate data"), main) {}
