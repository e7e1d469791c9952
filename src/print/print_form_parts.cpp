#include "print_form_parts.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
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

TPrintProgressPage MakeProgressPage() {
    TPrintProgressPage p;
    p.page = new QWidget;
    auto* layout = new QVBoxLayout(p.page);
    p.lInfo = Named(new QLabel(QStringLiteral("Creating of report...")), "lInfo");
    p.PBar = Named(new QProgressBar, "PBar");
    p.btAbort = Named(new QPushButton(QStringLiteral("Cancel")), "btAbort");
    layout->addWidget(p.lInfo);
    layout->addWidget(p.PBar);
    layout->addWidget(p.btAbort);
    layout->addStretch();
    return p;
}
