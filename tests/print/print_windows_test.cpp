// The print windows headless: real grids on SQLite tables, driven by clicks.
#include "connection.h"
#include "db_action.h"
#include "db_grid.h"
#include "direct_preview_form.h"
#include "direct_print_form.h"
#include "fields_form.h"
#include "grid_host.h"
#include "print_actions.h"
#include "query.h"
#include "scripted_messages.h"
#include "shell.h"
#include "template_print_form.h"
#include "test_util.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
QString PdfText(const QString& pdf) {
    QByteArray out;
    EXPECT_EQ(RunProgram("pdftotext", {"-layout", pdf, "-"}, &out), 0);
    return QString::fromUtf8(out);
}

class PrintWindows : public ::testing::Test, protected GridOnTable<TkDBGrid> {
protected:
    void SetUp() override {
        openTable("CREATE TABLE T(ID INTEGER, Name VARCHAR(12), Secret VARCHAR(8), Qty INTEGER);"
                  "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 250)"
                  " INSERT INTO T SELECT i, 'Name ' || i, 'hid' || i, i FROM k;",
                  "SELECT * FROM T");
        grid.resize(600, 300);
        grid.setColumnHidden(2, true); // Secret
        grid.show();
        pdf = dir.path("out.pdf");
        savedAsk = TkDBPrintDirectForm::AskPdfFileName;
        TkDBPrintDirectForm::AskPdfFileName = [this](QWidget*) { return pdf; };
    }
    void TearDown() override { TkDBPrintDirectForm::AskPdfFileName = savedAsk; }

    // Runs fn on the next modal window that opens, then closes it.
    void onModal(std::function<void(QWidget*)> fn) {
        QTimer::singleShot(0, [fn] {
            QWidget* w = QApplication::activeModalWidget();
            if (w) {
                fn(w);
                w->close();
            }
        });
    }

    QString pdf;
    std::function<QString(QWidget*)> savedAsk;
    ScopedScriptedMessages messages;
};
} // namespace

TEST_F(PrintWindows, DirectPrintToPdfWithVisibleOrAllColumns) {
    TkDBPrintDirectForm form(&grid, true, true, "Stock");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.FormActivate();
    EXPECT_EQ(form.windowTitle(), "Print of data");
    EXPECT_EQ(form.eCaption->text(), "Stock");
    EXPECT_EQ(form.lRec1->text(), "Number of records: 250");
    EXPECT_FALSE(form.chPrintImg->isEnabled());
    form.cbPrinter->setCurrentText(TkDBPrintDirectForm::PdfFileEntry());
    form.chTrimCol->setChecked(true);
    form.chPrintFooter->setChecked(true);
    QTest::mouseClick(form.btPrint, Qt::LeftButton);
    QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains("Stock"));
    EXPECT_TRUE(text.contains(QRegularExpression("ID\\s+Name\\s+Qty")));
    EXPECT_TRUE(text.contains(QRegularExpression("250\\s+Name 250\\s+250")));
    EXPECT_FALSE(text.contains("hid1"));
    // "All items" prints the hidden column too; the grid on the screen keeps it hidden.
    QTest::mouseClick(form.rbAllCol, Qt::LeftButton, {}, QPoint(6, form.rbAllCol->height() / 2));
    ASSERT_TRUE(form.rbAllCol->isChecked());
    QTest::mouseClick(form.btPrint, Qt::LeftButton);
    text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QRegularExpression("ID\\s+Name\\s+Secret\\s+Qty")))
        << text.left(600).toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("7\\s+Name 7\\s+hid7\\s+7")));
    EXPECT_TRUE(grid.isColumnHidden(2));
    EXPECT_TRUE(messages.log().isEmpty()) << messages.log().join('\n').toStdString();
    // Estimates follow the font size; text that is no number counts as 8.
    form.cbFont_nostore->setCurrentText("22");
    const QString big = form.lPages1->text();
    form.cbFont_nostore->setCurrentText("abc");
    EXPECT_EQ(form.PrintFont.pointSize(), 8);
    EXPECT_NE(form.lPages1->text(), big);
}

TEST_F(PrintWindows, CancelDuringARunAbortsWithoutAFile) {
    TkDBPrintDirectForm form(&grid, true, true, QString());
    form.FormActivate();
    form.cbPrinter->setCurrentText(TkDBPrintDirectForm::PdfFileEntry());
    QTimer::singleShot(0, [&] { QTest::mouseClick(form.btAbort, Qt::LeftButton); });
    QTest::mouseClick(form.btPrint, Qt::LeftButton);
    EXPECT_EQ(messages.log(), QStringList{"warning: Action aborted."});
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(form.pages->currentIndex(), 0);
}

TEST_F(PrintWindows, PreviewShowsPagesAndPrintsFromThere) {
    TkDBPrintDirectForm form(&grid, true, true, "Preview");
    form.FormActivate();
    form.cbPrinter->setCurrentText(TkDBPrintDirectForm::PdfFileEntry());
    auto saved = TkDBPrintDirectForm::ShowPreview;
    int pages = 0;
    TkDBPrintDirectForm::ShowPreview = [&](QWidget*, const QList<QImage>& images) {
        pages = int(images.size());
        for (const QImage& i : images)
            EXPECT_LE(i.width(), 1600);
        return true; // "Print"
    };
    QTest::mouseClick(form.btPreview, Qt::LeftButton);
    TkDBPrintDirectForm::ShowPreview = saved;
    EXPECT_GE(pages, 2);
    EXPECT_TRUE(form.PreviewBmpList.isEmpty()); // freed after the preview closed
    EXPECT_TRUE(PdfText(pdf).contains("Preview"));
}

TEST_F(PrintWindows, PreviewWindowPagesAndZoom) {
    QList<QImage> images;
    for (int i = 0; i < 3; ++i) {
        QImage img(800, 1131, QImage::Format_RGB888);
        img.fill(Qt::white);
        images << img;
    }
    TkDBPrintDirectPreviewForm preview;
    preview.show();
    preview.SetBmpList(images);
    EXPECT_EQ(preview.windowTitle(), "Print preview");
    EXPECT_EQ(preview.lPageCount->text(), "/ 3");
    EXPECT_FALSE(preview.btPrev->isEnabled());
    QTest::mouseClick(preview.btNext, Qt::LeftButton);
    QTest::mouseClick(preview.btNext, Qt::LeftButton);
    EXPECT_EQ(preview.pageIndex(), 2);
    EXPECT_FALSE(preview.btNext->isEnabled());
    preview.ePage->setValue(1);
    EXPECT_EQ(preview.pageIndex(), 0);
    struct Case {
        int from;
        bool in;
        int to;
    } cases[] = {{100, true, 125}, {100, false, 75}, {1, true, 2}, {1, false, 1}};
    for (const Case& c : cases) {
        preview.setZoom(c.from);
        QTest::mouseClick(c.in ? preview.btZoomIn : preview.btZoomOut, Qt::LeftButton);
        EXPECT_EQ(preview.Zoom(), c.to) << c.from << (c.in ? " in" : " out");
    }
    QTest::mouseClick(preview.btZoomFit, Qt::LeftButton);
    EXPECT_LE(preview.image->height(), preview.view->viewport()->height());
    QTest::mouseClick(preview.btPrint, Qt::LeftButton);
    EXPECT_EQ(preview.result(), QDialog::Accepted);
}

TEST_F(PrintWindows, TemplatePrintShowsTheResultThroughTheShell) {
    QStringList shell;
    SetShellHandler([&](ShellVerb verb, const QString& path) {
        shell << (verb == ShellVerb::Open ? "open " : "print ") + QFileInfo(path).fileName();
        return true;
    });
    TkDBPrintForm form(&grid, true, true, "Stock");
    form.Folder = dir.path();
    form.FormActivate();
    EXPECT_EQ(form.windowTitle(), "Print data to RTF file");
    EXPECT_EQ(form.lRec->text(), "250");
    EXPECT_EQ(form.lPages->text(), QString::number(250 / 49 + 1)); // autoformat chose 12 pt on A4
    EXPECT_EQ(form.cbFont_nostore->currentText(), "12");
    QTest::mouseClick(form.btShow, Qt::LeftButton);
    QTest::mouseClick(form.btPrint, Qt::LeftButton);
    SetShellHandler(nullptr);
    EXPECT_EQ(shell, (QStringList{"open printdata1.rtf", "print printdata2.rtf"}));
    EXPECT_TRUE(QFile::exists(dir.path("printdata_template1c.rtf")));
    EXPECT_TRUE(messages.log().isEmpty()) << messages.log().join('\n').toStdString();
    // A font size pick clears the autoformat.
    form.cbFont_nostore->setCurrentIndex(0);
    emit form.cbFont_nostore->activated(0);
    EXPECT_FALSE(form.chAutoformat->isChecked());
}

// "Column selection" opens the column window on the window's working copy: the print follows the
// choice, the grid on the screen does not change.
TEST_F(PrintWindows, ColumnSelectionWorksOnTheWorkingCopy) {
    TkDBPrintDirectForm direct(&grid, true, true, QString());
    TkDBPrintForm templ(&grid, true, true, QString());
    templ.Folder = dir.path();
    direct.FormActivate();
    templ.FormActivate();
    struct Case {
        const char* name;
        QPushButton* button;
        TkDBGrid* copy;
    } cases[] = {{"direct", direct.btFields, direct.DBGrid}, {"template", templ.btFields, templ.DBGrid}};
    for (const Case& c : cases) {
        ASSERT_TRUE(c.button->isEnabled()) << c.name;
        bool opened = false;
        onModal([&](QWidget* w) {
            auto* fields = qobject_cast<TkDBFieldsForm*>(w);
            ASSERT_TRUE(fields) << c.name;
            opened = true;
            fields->lbLabels->item(1)->setCheckState(Qt::Unchecked); // Name
        });
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_TRUE(opened) << c.name;
        EXPECT_TRUE(c.copy->isColumnHidden(1)) << c.name;
        EXPECT_FALSE(grid.isColumnHidden(1)) << c.name;
    }
    direct.cbPrinter->setCurrentText(TkDBPrintDirectForm::PdfFileEntry());
    QTest::mouseClick(direct.btPrint, Qt::LeftButton);
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QRegularExpression("ID\\s+Qty"))) << text.left(400).toStdString();
    EXPECT_FALSE(text.contains("Name 7"));
    EXPECT_TRUE(messages.log().isEmpty()) << messages.log().join('\n').toStdString();
    // Not offered when the grid's column command is not.
    TkDBPrintDirectForm off(&grid, false, true, QString());
    EXPECT_FALSE(off.btFields->isEnabled());
}

TEST_F(PrintWindows, GridCommandsOpenTheWindowsOnlyForAnOpenDataset) {
    TkDBAction actions;
    InstallPrintActions(&actions);
    actions.SetActiveGrid(&grid);
    actions.RefreshAction();
    for (const char* name : {"acoPrintDirect", "acoPrint"}) {
        QString opened;
        onModal([&](QWidget* w) { opened = w->objectName(); });
        ASSERT_TRUE(actions.action(name)->isEnabled()) << name;
        actions.action(name)->trigger();
        EXPECT_EQ(opened, QString(name) == "acoPrint" ? "TkDBPrintForm" : "TkDBPrintDirectForm");
    }
    q.Close();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            opened = true;
            w->close();
        }
    });
    ShowDirectPrintDialog(&grid, true, true, QString());
    ShowPrintDialog(&grid, true, true, QString());
    QApplication::processEvents();
    EXPECT_FALSE(opened);
}
