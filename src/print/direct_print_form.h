#pragma once
// TkDBPrintDirectForm ("Print of data"): the direct print of a grid onto a printer or into a PDF
// file, or into page images for the preview window.
#include "direct_print.h"
#include "print_pages.h"

#include <QDialog>
#include <QPrinter>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class TDataSet;
class TkDBGrid;
class TPropSaveMain;

class TkDBPrintDirectForm : public QDialog {
    Q_OBJECT
public:
    TkDBPrintDirectForm(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed, const QString& repCapt,
                        QWidget* parent = nullptr);
    ~TkDBPrintDirectForm() override;

    // The last entry of the printer list: print into a PDF file (the only one without printers).
    static QString PdfFileEntry();
    // Asks for the PDF file name; empty: cancelled. Tests replace it.
    static std::function<QString(QWidget* parent)> AskPdfFileName;
    // Shows the preview of page images; true when the user chose "Print" there. Tests replace it.
    static std::function<bool(QWidget* parent, const QList<QImage>& pages)> ShowPreview;

    void FormActivate(); // the first time the window becomes active
    void Estimate();
    void btPrintClick();
    void btPreviewClick();

    TDataSet* Dataset = nullptr;
    TkDBGrid* OrigGr = nullptr;
    TkDBGrid* DBGrid = nullptr; // the working copy "gr"
    QString RepCapt;
    bool Loaded = false;
    bool Aborted = false;
    bool IsPreview = false;
    QFont PrintFont{QStringLiteral("DejaVu Sans"), 8};
    QPrinter Printer{QPrinter::HighResolution};
    QList<QImage> PreviewBmpList;
    TDirectPrintResult LastResult;

    QLineEdit* eCaption;
    QLabel* lblFont;
    QPushButton* btFont;
    QComboBox* cbFont_nostore;
    QComboBox* cbPaperOrient_nostore;
    QCheckBox* chTrimCol;
    QCheckBox* chUseColors;
    QCheckBox* chPrintImg;
    QCheckBox* chPrintGrid;
    QCheckBox* chPrintFooter;
    QCheckBox* chPrintRecCount;
    QRadioButton* rbSelCol;
    QRadioButton* rbAllCol;
    QPushButton* btFields;
    QPushButton* btFilter;
    QLabel* lblSetDefaultCol;
    QCheckBox* chSum;
    QLabel* lRec1;
    QLabel* lPages1;
    QComboBox* cbPrinter;
    QPushButton* btPrintSetup;
    QSpinBox* ePageHMargin;
    QSpinBox* ePageVMargin;
    QComboBox* cbLineSpace_nostore;
    QPushButton* btPrint;
    QPushButton* btPreview;
    QPushButton* btCancel;
    QStackedWidget* pages;
    QLabel* lInfo;
    QProgressBar* PBar;
    QPushButton* btAbort;
    TPropSaveMain* PropSaveMain1;

protected:
    bool event(QEvent* e) override;

private:
    TDirectPrintOptions options() const;
    void showFont();
    void choosePrinter();
    // One run onto the target; false when it failed (the error was shown).
    bool run(TPrintPages& target);
    void print();
};

// Opens the window for a grid whose dataset is open; nothing happens otherwise.
void ShowDirectPrintDialog(TkDBGrid* grid, bool columnsAllowed, bool filterAllowed,
                           const QString& reportName);
