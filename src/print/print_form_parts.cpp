#include "print_form_parts.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

TPrintRangeControls AddRangeControls(QFormLayout* form) {
    TPrintRangeControls c;
    c.rbSelCol = Named(new QRadioButton(QStringLiteral("Visible items")), "rbSelCol");
    c.rbAllCol = Named(new QRadioButton(QStringLiteral("All items")), "rbAllCol");
    c.rbSelCol->setChecked(true);
    auto* range = new QHBoxLayout;
    range->addWidget(c.rbSelCol);
    range->addWidget(c.rbAllCol);
    form->addRow(range);
    c.btFields = Named(new QPushButton(QStringLiteral("Column selection")), "btFields");
    c.btFields->setToolTip(QStringLiteral("Export only selected columns, set order and properties."));
    c.btFilter = Named(new QPushButton(QStringLiteral("Data selection")), "btFilter");
    c.btFilter->setToolTip(QStringLiteral("Export only selected records."));
    c.lblSetDefaultCol = Named(
        new QLabel(QStringLiteral("<a href=\"Default\">Set columns</a> according grid")), "lblSetDefaultCol");
    auto* sel = new QHBoxLayout;
    sel->addWidget(c.btFields);
    sel->addWidget(c.btFilter);
    sel->addWidget(c.lblSetDefaultCol);
    form->addRow(sel);
    return c;
}

void AddButtonRow(QFormLayout* form, QPushButton*& btPrint, QPushButton*& second, const char* secondName,
                  const QString& secondCaption, QPushButton*& btCancel) {
    btPrint = Named(new QPushButton(QStringLiteral("Print")), "btPrint");
    second = Named(new QPushButton(secondCaption), secondName);
    btCancel = Named(new QPushButton(QStringLiteral("Close")), "btCancel");
    btCancel->setToolTip(QStringLiteral("Close form"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btPrint);
    buttons->addWidget(second);
    buttons->addWidget(btCancel);
    form->addRow(buttons);
}

void AddProgressPage(QStackedWidget* pages, QLabel*& lInfo, QProgressBar*& PBar, QPushButton*& btAbort) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    lInfo = Named(new QLabel(QStringLiteral("Creating of report...")), "lInfo");
    PBar = Named(new QProgressBar, "PBar");
    btAbort = Named(new QPushButton(QStringLiteral("Cancel")), "btAbort");
    layout->addWidget(lInfo);
    layout->addWidget(PBar);
    layout->addWidget(btAbort);
    layout->addStretch();
    pages->addWidget(page);
}
