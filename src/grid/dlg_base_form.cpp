#include "dlg_base_form.h"

#include "prop_save_main.h"

#include <QApplication>
#include <optional>

TkDBDlgBaseForm::TkDBDlgBaseForm(const QString& name, QWidget* parent) : QDialog(parent) {
    setObjectName(name);
    setFont(DialogFont());
    kDlgPropSave = new TPropSaveMain(this);
    kDlgPropSave->setObjectName(QStringLiteral("kDlgPropSave"));
}

QFont& TkDBDlgBaseForm::DialogFont() {
    static std::optional<QFont> font;
    if (!font) font = QApplication::font();
    return *font;
}

void TkDBDlgBaseForm::LoadPosition() {
    kDlgPropSave->Loaded();
}
