#include "template_print_form.h"

#include "dataset.h"
#include "db_grid.h"
#include "fields_form.h"
#include "filter_form.h"
#include "grid_print_source.h"
#include "messages.h"
#include "print_form_parts.h"
#include "program_folder.h"
#include "prop_save_main.h"
#include "std_ctrl_prop_save.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

TkDBPrintForm::TkDBPrintForm(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed, const QString& repCapt,
                             QWidget* parent)
    : QDialog(parent), Folder(ProgramFolder()), OrigGr(grid), RepCapt(repCapt) {
    setObjectName(QStringLiteral("TkDBPrintForm"));
    setWindowTitle(QStringLiteral("Print data to RTF file"));
    DBGrid = MakeWorkingCopy(grid, this);
    Engine.DataSet = grid->dataSet();

    auto* root = new QVBoxLayout(this);
    pages = new QStackedWidget;
    root->addWidget(pages);
    auto* options = new QWidget;
    auto* form = new QFormLayout(options);
    eCaption = Named(new QLineEdit, "eCaption");
    form->addRow(QStringLiteral("Report name:"), eCaption);
    chAutoformat = Named(new QCheckBox(QStringLiteral("Autoformat according data width")), "chAutoformat");
    chAutoformat->setChecked(true);
    form->addRow(chAutoformat);
    cbPaperType_nostore = Named(new QComboBox, "cbPaperType_nostore");
    cbPaperType_nostore->addItems({"A4", "Letter", "Legal"});
    form->addRow(QStringLiteral("Paper size:"), cbPaperType_nostore);
    cbPaperOrient_nostore = Named(new QComboBox, "cbPaperOrient_nostore");
    cbPaperOrient_nostore->addItems({QStringLiteral("portrait"), QStringLiteral("landscape")});
    form->addRow(QStringLiteral("Orientation:"), cbPaperOrient_nostore);
    cbFont_nostore = Named(new QComboBox, "cbFont_nostore");
    cbFont_nostore->addItems({"6", "7", "8", "9", "10", "11", "12"});
    cbFont_nostore->setCurrentIndex(2);
    form->addRow(QStringLiteral("Font size:"), cbFont_nostore);
    eSep = Named(new QSpinBox, "eSep");
    eSep->setRange(1, 5);
    eSep->setValue(2);
    form->addRow(QStringLiteral("Spaces between columns:"), eSep);
    chCut = Named(new QCheckBox, "chCut");
    chCut->setEnabled(false);
    form->addRow(QStringLiteral("Truncation of text columns:"), chCut);
    const TPrintRangeControls range = AddRangeControls(form);
    rbSelCol = range.rbSelCol;
    rbAllCol = range.rbAllCol;
    btFields = range.btFields;
    btFilter = range.btFilter;
    lblSetDefaultCol = range.lblSetDefaultCol;
    chSum = Named(new QCheckBox(QStringLiteral("Insert sum of columns")), "chSum");
    form->addRow(chSum);
    lRec = Named(new QLabel, "lRec");
    lPages = Named(new QLabel, "lPages");
    form->addRow(QStringLiteral("Number of records:"), lRec);
    form->addRow(QStringLiteral("Number of pages approx:"), lPages);
    cbPrinter = Named(new QComboBox, "cbPrinter");
    cbPrinter->addItems(QPrinterInfo::availablePrinterNames());
    cbPrinter->setCurrentText(QPrinterInfo::defaultPrinterName());
    btPrintSetup = Named(new QPushButton(QStringLiteral("Setup...")), "btPrintSetup");
    auto* printer = new QHBoxLayout;
    printer->addWidget(cbPrinter, 1);
    printer->addWidget(btPrintSetup);
    form->addRow(QStringLiteral(" Printer: "), printer);
    AddButtonRow(form, btPrint, btShow, "btShow", QStringLiteral("Show"), btCancel);
    pages->addWidget(options);
    AddProgressPage(pages, lInfo, PBar, btAbort);

    btFields->setEnabled(columnsAllowed);
    btFilter->setEnabled(filterAllowed);

    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{rbSelCol, rbAllCol, chSum, chAutoformat})
        connect(b, &QAbstractButton::clicked, this, [this] { Changed(); });
    for (QComboBox* c : {cbPaperType_nostore, cbPaperOrient_nostore})
        connect(c, &QComboBox::activated, this, [this] { Changed(); });
    connect(eSep, &QSpinBox::valueChanged, this, [this] { Changed(); });
    connect(cbFont_nostore, &QComboBox::activated, this, [this] {
        if (!Loaded) return;
        chAutoformat->setChecked(false);
        UpdateCounts();
    });
    connect(btFilter, &QPushButton::clicked, this, [this] {
        ShowFilterDialog(DBGrid, nullptr, true);
        OrigGr->FilterChangedNotification();
        UpdateCounts();
    });
    connect(btFields, &QPushButton::clicked, this, [this] {
        ShowFieldsDialog(DBGrid);
        rbSelCol->click();
    });
    connect(lblSetDefaultCol, &QLabel::linkActivated, this, [this] {
        CopyGridColumns(OrigGr, DBGrid);
        Measure();
        toEngine();
        Engine.Autoformat();
        fromEngine();
        UpdateCounts();
    });
    connect(btPrintSetup, &QPushButton::clicked, this, [this] {
        QPrinter p;
        QPageSetupDialog d(&p, this);
        d.exec();
    });
    connect(btShow, &QPushButton::clicked, this, [this] { Run(aaShow); });
    connect(btPrint, &QPushButton::clicked, this, [this] { Run(aaPrint); });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btAbort, &QPushButton::clicked, this, [this] { aborted_ = true; });

    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->StdCtrl->Components = {"cbPaperType_nostore",
                                          "cbPaperOrient_nostore",
                                          "cbFont_nostore",
                                          "eSep",
                                          "chAutoformat",
                                          "rbAllCol",
                                          "rbSelCol",
                                          "chSum",
                                          "eCaption"};
    PropSaveMain1->Loaded();
}

bool TkDBPrintForm::event(QEvent* e) {
    const bool r = QDialog::event(e);
    if (e->type() == QEvent::WindowActivate && !Loaded) FormActivate();
    return r;
}

void TkDBPrintForm::FormActivate() {
    Loaded = true;
    if (!RepCapt.isEmpty()) eCaption->setText(RepCapt);
    Measure();
    Changed();
}

void TkDBPrintForm::toEngine() {
    Engine.Columns = GridTextColumns(OrigGr, DBGrid);
    Engine.Paper = cbPaperType_nostore->currentIndex();
    Engine.Orientation = cbPaperOrient_nostore->currentIndex();
    Engine.FontIndex = cbFont_nostore->currentIndex();
    Engine.Sep = eSep->value();
    Engine.AllColumns = rbAllCol->isChecked();
    Engine.Sums = chSum->isChecked();
    Engine.Caption = eCaption->text();
}

void TkDBPrintForm::fromEngine() {
    cbPaperOrient_nostore->setCurrentIndex(Engine.Orientation);
    cbFont_nostore->setCurrentIndex(Engine.FontIndex);
}

void TkDBPrintForm::Measure() {
    toEngine();
    lInfo->setText(QStringLiteral("Checking") + QStringLiteral(" of data..."));
    aborted_ = false;
    pages->setCurrentIndex(1);
    Engine.OnProgress = [this](int n, int count) {
        PBar->setMaximum(count);
        PBar->setValue(n);
    };
    Engine.IsAborted = [this] {
        QApplication::processEvents();
        return aborted_;
    };
    try {
        Engine.Measure();
    } catch (...) {
        pages->setCurrentIndex(0);
        throw;
    }
    pages->setCurrentIndex(0);
}

void TkDBPrintForm::Changed() {
    if (!Loaded) return;
    if (chAutoformat->isChecked()) {
        toEngine();
        Engine.Autoformat();
        fromEngine();
    }
    UpdateCounts();
}

void TkDBPrintForm::UpdateCounts() {
    toEngine();
    const TTemplatePrint::Counts c = Engine.counts();
    lRec->setText(QString::number(c.records));
    lPages->setText(QString::number(c.pages));
    chCut->setChecked(c.cut);
}

void TkDBPrintForm::Run(TActionAfter action) {
    toEngine();
    aborted_ = false;
    lInfo->setText(QStringLiteral("Creating of report..."));
    pages->setCurrentIndex(1);
    // The default printer gets no name, so printing goes to it.
    const QString printer =
        cbPrinter->currentText() == QPrinterInfo::defaultPrinterName() ? QString() : cbPrinter->currentText();
    try {
        LastResult = Engine.Run(Folder, action, QString(), printer);
    } catch (const std::exception& e) {
        pages->setCurrentIndex(0);
        ShowException(QStringLiteral("Error during creating of report."), e);
        return;
    }
    pages->setCurrentIndex(0);
}

void ShowPrintDialog(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed, const QString& reportName) {
    if (!grid || !grid->DataSource() || !grid->dataSet() || !grid->dataSet()->Active()) return;
    TkDBPrintForm form(grid, columnsAllowed, filterAllowed, reportName, grid->window());
    form.exec();
}
