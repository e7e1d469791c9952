#include "direct_print_form.h"

#include "dataset.h"
#include "db_grid.h"
#include "direct_preview_form.h"
#include "fields_form.h"
#include "filter_form.h"
#include "grid_print_source.h"
#include "messages.h"
#include "print_config.h"
#include "print_form_parts.h"
#include "prop_save_file.h"
#include "prop_save_main.h"
#include "std_ctrl_prop_save.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// A printer's pages; an aborted job is cancelled at the printer.
class TPrinterPages : public TDevicePages {
public:
    explicit TPrinterPages(QPrinter* printer) : TDevicePages(printer), printer_(printer) {}
    void finish(bool aborted) override {
        if (aborted) printer_->abort();
        TDevicePages::finish(aborted);
    }

private:
    QPrinter* printer_;
};

} // namespace

QString TkDBPrintDirectForm::PdfFileEntry() {
    return QStringLiteral("PDF file");
}

std::function<QString(QWidget*)> TkDBPrintDirectForm::AskPdfFileName = [](QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Print to file"), QString(),
                                        QStringLiteral("PDF files (*.pdf)"));
};

std::function<bool(QWidget*, const QList<QImage>&)> TkDBPrintDirectForm::ShowPreview =
    [](QWidget* parent, const QList<QImage>& pages) {
        TkDBPrintDirectPreviewForm preview(parent);
        preview.SetBmpList(pages);
        return preview.exec() == QDialog::Accepted;
    };

TkDBPrintDirectForm::TkDBPrintDirectForm(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed,
                                         const QString& repCapt, QWidget* parent)
    : QDialog(parent), Dataset(grid->dataSet()), OrigGr(grid), RepCapt(repCapt) {
    setObjectName(QStringLiteral("TkDBPrintDirectForm"));
    setWindowTitle(QStringLiteral("Print of data"));
    DBGrid = MakeWorkingCopy(grid, this);

    auto* root = new QVBoxLayout(this);
    pages = new QStackedWidget;
    root->addWidget(pages);
    auto* options = new QWidget;
    auto* form = new QFormLayout(options);
    eCaption = Named(new QLineEdit, "eCaption");
    form->addRow(QStringLiteral("Report name:"), eCaption);
    lblFont = Named(new QLabel, "lblFont");
    btFont = Named(new QPushButton(QStringLiteral("Change font")), "btFont");
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(lblFont, 1);
    fontRow->addWidget(btFont);
    form->addRow(QStringLiteral("Font:"), fontRow);
    cbFont_nostore = Named(new QComboBox, "cbFont_nostore");
    cbFont_nostore->setEditable(true);
    cbFont_nostore->addItems({"6", "7", "8", "9", "10", "11", "12", "14", "16", "18", "20", "22"});
    form->addRow(QStringLiteral("Font size:"), cbFont_nostore);
    cbPaperOrient_nostore = Named(new QComboBox, "cbPaperOrient_nostore");
    cbPaperOrient_nostore->addItems({QStringLiteral("portrait"), QStringLiteral("landscape")});
    form->addRow(QStringLiteral("Orientation:"), cbPaperOrient_nostore);
    cbLineSpace_nostore = Named(new QComboBox, "cbLineSpace_nostore");
    cbLineSpace_nostore->addItems({"1", "1,1", "1,2", "1,3", "1,4", "1,5", "1,7", "2"});
    cbLineSpace_nostore->setCurrentIndex(2);
    form->addRow(QStringLiteral("Line height:"), cbLineSpace_nostore);
    chTrimCol = Named(new QCheckBox(QStringLiteral("Fit columns to line width")), "chTrimCol");
    chUseColors = Named(new QCheckBox(QStringLiteral("Use items color")), "chUseColors");
    chPrintImg = Named(new QCheckBox(QStringLiteral("Print pictures")), "chPrintImg");
    chPrintGrid = Named(new QCheckBox(QStringLiteral("Print grid")), "chPrintGrid");
    chPrintFooter = Named(new QCheckBox(QStringLiteral("Print page number")), "chPrintFooter");
    chPrintRecCount = Named(new QCheckBox(QStringLiteral("Print records count")), "chPrintRecCount");
    chSum = Named(new QCheckBox(QStringLiteral("Insert sum of columns")), "chSum");
    for (QCheckBox* c : {chTrimCol, chUseColors, chPrintImg, chPrintGrid, chPrintFooter, chPrintRecCount})
        form->addRow(c);
    const TPrintRangeControls range = AddRangeControls(form);
    rbSelCol = range.rbSelCol;
    rbAllCol = range.rbAllCol;
    btFields = range.btFields;
    btFilter = range.btFilter;
    lblSetDefaultCol = range.lblSetDefaultCol;
    form->addRow(chSum);
    lRec1 = Named(new QLabel, "lRec1");
    lPages1 = Named(new QLabel, "lPages1");
    form->addRow(lRec1);
    form->addRow(lPages1);
    cbPrinter = Named(new QComboBox, "cbPrinter");
    btPrintSetup = Named(new QPushButton(QStringLiteral("Setup...")), "btPrintSetup");
    auto* printerRow = new QHBoxLayout;
    printerRow->addWidget(cbPrinter, 1);
    printerRow->addWidget(btPrintSetup);
    form->addRow(QStringLiteral(" Printer: "), printerRow);
    ePageHMargin = Named(new QSpinBox, "ePageHMargin");
    ePageVMargin = Named(new QSpinBox, "ePageVMargin");
    for (QSpinBox* e : {ePageHMargin, ePageVMargin}) {
        e->setRange(1, 100);
        e->setSingleStep(5);
    }
    ePageHMargin->setValue(PrintConfig().HMarginMM);
    ePageVMargin->setValue(PrintConfig().VMarginMM);
    auto* margins = new QHBoxLayout;
    margins->addWidget(new QLabel(QStringLiteral("Horizontal:")));
    margins->addWidget(ePageHMargin);
    margins->addWidget(new QLabel(QStringLiteral("Vertical:")));
    margins->addWidget(ePageVMargin);
    form->addRow(QStringLiteral(" Borders (mm):"), margins);
    AddButtonRow(form, btPrint, btPreview, "btPreview", QStringLiteral("Preview"), btCancel);
    pages->addWidget(options);
    AddProgressPage(pages, lInfo, PBar, btAbort);

    // The system's printers with the default chosen, then PDF output (all there is without printers).
    const QString def = QPrinterInfo::defaultPrinterName();
    cbPrinter->addItems(QPrinterInfo::availablePrinterNames());
    cbPrinter->addItem(PdfFileEntry());
    cbPrinter->setCurrentIndex(def.isEmpty() ? cbPrinter->count() - 1
                                             : std::max(0, cbPrinter->findText(def)));
    choosePrinter();

    btFields->setEnabled(columnsAllowed);
    btFilter->setEnabled(filterAllowed);
    chPrintImg->setEnabled(false);

    connect(cbFont_nostore, &QComboBox::currentTextChanged, this, [this](const QString& t) {
        if (!Loaded) return;
        bool ok;
        const int size = t.toInt(&ok);
        PrintFont.setPointSize(ok && size > 0 ? size : 8);
        Estimate();
    });
    connect(btFont, &QPushButton::clicked, this, [this] {
        bool ok;
        QFont f = QFontDialog::getFont(&ok, PrintFont, this);
        if (!ok) return;
        f.setBold(false);
        f.setItalic(false);
        f.setUnderline(false);
        f.setStrikeOut(false);
        PrintFont = f;
        showFont();
        Estimate();
    });
    connect(cbPaperOrient_nostore, &QComboBox::currentIndexChanged, this, [this] {
        if (Loaded) Estimate();
    });
    for (QRadioButton* r : {rbSelCol, rbAllCol})
        connect(r, &QRadioButton::clicked, this, [this] {
            if (Loaded) Estimate();
        });
    connect(cbPrinter, &QComboBox::activated, this, [this] {
        choosePrinter();
        Estimate();
    });
    connect(btPrintSetup, &QPushButton::clicked, this, [this] {
        QPageSetupDialog d(&Printer, this);
        d.exec();
    });
    connect(ePageHMargin, &QSpinBox::valueChanged, this, [](int v) { PrintConfig().HMarginMM = v; });
    connect(ePageVMargin, &QSpinBox::valueChanged, this, [](int v) { PrintConfig().VMarginMM = v; });
    // Only a pick sets the ratio: a choice restored by the settings saver leaves the one in effect.
    connect(cbLineSpace_nostore, &QComboBox::activated, this, [this] {
        QString t = cbLineSpace_nostore->currentText();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok;
        const double v = t.toDouble(&ok);
        PrintConfig().LineSpaceRatio = ok ? v - 1 : 0;
        if (Loaded) Estimate();
    });
    connect(btFilter, &QPushButton::clicked, this, [this] {
        ShowFilterDialog(DBGrid, nullptr, true);
        OrigGr->FilterChangedNotification();
        Estimate();
    });
    connect(btFields, &QPushButton::clicked, this, [this] {
        ShowFieldsDialog(DBGrid);
        if (Loaded) Estimate();
    });
    connect(lblSetDefaultCol, &QLabel::linkActivated, this, [this] {
        CopyGridColumns(OrigGr, DBGrid);
        Estimate();
    });
    connect(btPrint, &QPushButton::clicked, this, [this] { btPrintClick(); });
    connect(btPreview, &QPushButton::clicked, this, [this] { btPreviewClick(); });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btAbort, &QPushButton::clicked, this, [this] { Aborted = true; });

    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->StdCtrl->Components = {"cbLineSpace_nostore",
                                          "cbPaperOrient_nostore",
                                          "eCaption",
                                          "ePageHMargin",
                                          "ePageVMargin",
                                          "chPrintFooter",
                                          "chPrintImg",
                                          "chPrintRecCount",
                                          "chSum",
                                          "chTrimCol",
                                          "chUseColors",
                                          "rbAllCol",
                                          "rbSelCol",
                                          "chPrintGrid"};
    PropSaveMain1->OnReadProperties = [this](TPropSaveFile* store, const QString& key) {
        if (store) store->ReadFont(key + QStringLiteral(".PrintFont"), PrintFont);
    };
    PropSaveMain1->OnSaveProperties = [this](TPropSaveFile* store, const QString& key) {
        if (store) store->WriteFont(key + QStringLiteral(".PrintFont"), PrintFont);
    };
    PropSaveMain1->Loaded();
}

TkDBPrintDirectForm::~TkDBPrintDirectForm() {
    PropSaveMain1->SaveBeforeDestroy(); // it writes PrintFont
}

bool TkDBPrintDirectForm::event(QEvent* e) {
    const bool r = QDialog::event(e);
    if (e->type() == QEvent::WindowActivate && !Loaded) FormActivate();
    return r;
}

void TkDBPrintDirectForm::FormActivate() {
    Loaded = true;
    if (!RepCapt.isEmpty()) eCaption->setText(RepCapt);
    chPrintImg->setEnabled(false);
    showFont();
    Estimate();
}

void TkDBPrintDirectForm::showFont() {
    lblFont->setText(PrintFont.family());
    QFont shown = PrintFont;
    shown.setPointSize(font().pointSize());
    lblFont->setFont(shown);
    const QSignalBlocker block(cbFont_nostore);
    cbFont_nostore->setCurrentText(QString::number(PrintFont.pointSize()));
}

void TkDBPrintDirectForm::choosePrinter() {
    if (cbPrinter->currentText() == PdfFileEntry())
        Printer.setOutputFormat(QPrinter::PdfFormat);
    else
        Printer.setPrinterName(cbPrinter->currentText());
}

TDirectPrintOptions TkDBPrintDirectForm::options() const {
    TDirectPrintOptions o;
    o.caption = eCaption->text();
    o.font = PrintFont;
    o.fitColumns = chTrimCol->isChecked();
    o.useColors = chUseColors->isChecked();
    o.printGrid = chPrintGrid->isChecked();
    o.printFooter = chPrintFooter->isChecked();
    o.printRecCount = chPrintRecCount->isChecked();
    o.allColumns = rbAllCol->isChecked();
    o.sums = chSum->isChecked();
    return o;
}

void TkDBPrintDirectForm::Estimate() {
    Printer.setPageOrientation(cbPaperOrient_nostore->currentIndex() == 1 ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait);
    const TPrintSource source = GridPrintSource(OrigGr, DBGrid);
    const TDirectPrint::Estimate e =
        TDirectPrint(source, options()).estimate(TDevicePages(&Printer).geometry());
    lRec1->setText(QStringLiteral("Number of records: %1").arg(e.records));
    lPages1->setText(QStringLiteral("Number of pages approx: %1").arg(e.pages));
}

bool TkDBPrintDirectForm::run(TPrintPages& target) {
    PreviewBmpList.clear();
    Aborted = false;
    LastResult = {};
    pages->setCurrentIndex(1);
    PBar->setRange(0, 100);
    PBar->setValue(0);
    QApplication::processEvents();
    bool ok = true;
    try {
        const TPrintSource source = GridPrintSource(OrigGr, DBGrid);
        TDirectPrint p(source, options());
        p.OnProgress = [this](int n, int count) {
            if (PBar->maximum() != count) PBar->setMaximum(count);
            PBar->setValue(n);
        };
        p.IsAborted = [this] {
            QApplication::processEvents();
            return Aborted;
        };
        LastResult = p.Run(target);
    } catch (const std::exception& e) {
        ok = false;
        pages->setCurrentIndex(0);
        ShowException(QStringLiteral("Error during creating of report."), e);
    }
    pages->setCurrentIndex(0);
    if (ok && Aborted) Messages().warning(QStringLiteral("Action aborted."));
    if (ok && LastResult.previewLimited)
        Messages().warning(QStringLiteral("Preview is limited to 60 pages."));
    return ok;
}

void TkDBPrintDirectForm::print() {
    const QPageLayout::Orientation o =
        cbPaperOrient_nostore->currentIndex() == 1 ? QPageLayout::Landscape : QPageLayout::Portrait;
    Printer.setPageOrientation(o);
    if (cbPrinter->currentText() == PdfFileEntry()) {
        const QString path = AskPdfFileName(this);
        if (path.isEmpty()) return;
        std::unique_ptr<TPdfFilePages> pdf;
        try {
            pdf = std::make_unique<TPdfFilePages>(path, Printer.pageLayout().pageSize(), o);
        } catch (const std::exception& e) {
            ShowException(QStringLiteral("Error during creating of report."), e);
            return;
        }
        run(*pdf);
        return;
    }
    choosePrinter();
    TPrinterPages printer(&Printer);
    run(printer);
}

void TkDBPrintDirectForm::btPrintClick() {
    IsPreview = false;
    print();
}

void TkDBPrintDirectForm::btPreviewClick() {
    IsPreview = true;
    Printer.setPageOrientation(cbPaperOrient_nostore->currentIndex() == 1 ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait);
    TImagePages images(TDevicePages(&Printer).geometry(), PrintConfig().PreviewMaxWidth);
    run(images);
    PreviewBmpList = images.takeImages();
    bool printIt = false;
    // After an error the pages drawn so far are shown; after "Cancel" none.
    if (!Aborted && !PreviewBmpList.isEmpty()) printIt = ShowPreview(this, PreviewBmpList);
    PreviewBmpList.clear();
    if (printIt) btPrintClick();
}

void ShowDirectPrintDialog(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed,
                           const QString& reportName) {
    if (!grid || !grid->DataSource() || !grid->dataSet() || !grid->dataSet()->Active()) return;
    TkDBPrintDirectForm form(grid, columnsAllowed, filterAllowed, reportName, grid->window());
    form.exec();
}
