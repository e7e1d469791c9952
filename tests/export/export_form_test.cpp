// The export dialog headless: a real grid on a SQLite table, each kind run by clicks.
#include "cell_conditions.h"
#include "db_grid_ms.h"
#include "export_fixture.h"
#include "export_form.h"
#include "fields_form.h"
#include "grid_host.h"
#include "scripted_messages.h"
#include "shell.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class ExportForm : public ::testing::Test, protected GridOnTable<TkDBGrid_MS> {
protected:
    void SetUp() override {
        openTable("CREATE TABLE T(ID INTEGER, Name VARCHAR(12), Secret VARCHAR(8), Qty INTEGER);"
                  "INSERT INTO T VALUES (1, 'Name 1', 'hid1', 10), (2, 'Name 2', 'hid2', 20),"
                  " (3, 'Name 3', 'hid3', 30), (4, 'Name 4', 'hid4', 40);",
                  "SELECT * FROM T");
        grid.setColumnHidden(2, true); // Secret
        saved = TkDBExportForm::AskSaveFile;
        TkDBExportForm::AskSaveFile = [this](QWidget*, const QString& filter, const QString& suffix) {
            asked << filter + " " + suffix;
            return answer;
        };
        SetShellHandler([this](ShellVerb, const QString& path) {
            opened << path;
            return true;
        });
    }
    void TearDown() override {
        TkDBExportForm::AskSaveFile = saved;
        SetShellHandler(nullptr);
    }
    // Chooses the kind and the action, then clicks Ok.
    void run(TkDBExportForm& f, int kind, int action) {
        f.rg->button(kind)->click();
        f.cbAction_nostore->setCurrentIndex(action);
        f.btOk->click();
    }

    QString answer;
    QStringList asked, opened;
    std::function<QString(QWidget*, const QString&, const QString&)> saved;
    ScopedScriptedMessages m;
};
} // namespace

TEST_F(ExportForm, EachKindWritesItsFile) {
    const QString templ = dir.path("t.rtf");
    WriteFile(templ, "{\\rtf1 \\\\scan(A)\\\\\\\\A.Name\\\\;\\par \\\\endscan(A)\\\\}");
    TkDBExportForm f(&grid, true, true, false, false);
    f.show();
    EXPECT_EQ(f.rg->buttons().size(), 4);
    EXPECT_FALSE(f.chSelRecOnly->isVisibleTo(&f)); // nothing selected in the grid
    f.rg->button(3)->click();
    EXPECT_FALSE(f.btOk->isEnabled()); // no template yet
    f.SetTemplate(templ);
    EXPECT_TRUE(f.btOk->isEnabled());
    EXPECT_TRUE(f.eCharSet->isEnabled());

    answer = dir.path("out.txt");
    run(f, 0, 0);
    QStringList lines = CrLfLines(ReadFile(answer));
    EXPECT_EQ(lines, QStringList({"ID;Name;Qty", "1;\"Name 1\";10", "2;\"Name 2\";20", "3;\"Name 3\";30",
                                  "4;\"Name 4\";40"}));

    answer = dir.path("out.xlsx");
    f.chSum2->click();
    run(f, 1, 0);
    QJsonObject cells = ReadWorkbook(answer)["cells"].toObject();
    EXPECT_EQ(cells["B2"].toArray()[0], "Name 1");
    EXPECT_EQ(cells["C1"].toArray()[0], "Qty"); // the hidden column is left out
    EXPECT_EQ(cells["C6"].toArray()[0], "=SUM(C2:C5)");

    answer = dir.path("out.slk");
    run(f, 2, 0);
    lines = CrLfLines(ReadFile(answer));
    EXPECT_EQ(lines.first(), "ID;SLKExport");
    EXPECT_FALSE(ReadFile(answer).contains("hid"));

    answer = dir.path("out.rtf");
    run(f, 3, 0);
    EXPECT_TRUE(ReadFile(answer).contains("Name 4;")) << ReadFile(answer).toStdString();

    EXPECT_EQ(asked, QStringList({"Text file (*.txt);;All files (*.*) txt",
                                  "Excel file (*.xlsx *.xlsm);;All files (*.*) xlsx",
                                  "Symbolic connection file (*.slk);;All files (*.*) slk",
                                  "Rich text format (*.rtf);;All files (*.*) rtf"}));
    EXPECT_TRUE(opened.isEmpty()); // "Save only"
    EXPECT_TRUE(m.shown.empty()) << m.log().join("\n").toStdString();
}

TEST_F(ExportForm, WorkbookShownWithoutAFileAndSelectedRows) {
    grid.dataSet()->setRecNo(2);
    grid.SelectCurrent(true);
    grid.dataSet()->setRecNo(4);
    grid.SelectCurrent(true);
    TkDBExportForm f(&grid, true, true, false, false);
    f.show();
    ASSERT_TRUE(f.chSelRecOnly->isVisibleTo(&f));
    f.chSelRecOnly->click();
    run(f, 1, 1); // "Show": no save dialog
    EXPECT_TRUE(asked.isEmpty());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFileInfo(opened[0]).suffix(), "xlsx");
    QJsonObject cells = ReadWorkbook(opened[0])["cells"].toObject();
    EXPECT_EQ(cells["A2"].toArray()[0], 2);
    EXPECT_EQ(cells["A3"].toArray()[0], 4);
    EXPECT_FALSE(cells.contains("A4"));
    QFile::remove(opened[0]);

    // Adding to a workbook asks for its file; cancelling the save dialog does nothing.
    f.chAddSheet2->click();
    answer.clear();
    run(f, 1, 1);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(m.shown.empty()) << m.log().join("\n").toStdString();

    // A workbook, a new sheet added to it, rows appended below that sheet's.
    answer = dir.path("book.xlsx");
    f.chAddSheet2->click(); // off
    run(f, 1, 0);
    f.chAddSheet2->click();
    run(f, 1, 0);
    f.chAddSheet2->click();
    f.chAdd2->click();
    run(f, 1, 0);
    QJsonObject book = ReadWorkbook(answer);
    EXPECT_EQ(book["sheets"].toArray(), QJsonArray({"Sheet1", "Sheet2"}));
    EXPECT_EQ(book["title"].toString(), "Sheet2");
    cells = book["cells"].toObject();
    for (const char* ref : {"A1", "A4"})
        EXPECT_EQ(cells[ref].toArray()[0], "ID") << ref;
    EXPECT_EQ(cells["A6"].toArray()[0], 4);
    EXPECT_EQ(ReadWorkbook(answer, "Sheet1")["cells"].toObject()["A3"].toArray()[0], 4);
    EXPECT_TRUE(m.shown.empty()) << m.log().join("\n").toStdString();
}

// The grid's conditions colour the exported cells as the grid paints them, in the grid's order; a
// record marked in the grid's selection keeps its own look.
TEST_F(ExportForm, WorkbookCellsLookAsTheGridPaintsThem) {
    q.setSort("ID DESC");
    TCellParamsCond big;
    big.FieldName = "Qty";
    big.CondOperator = cpoGreaterOrEq;
    big.Value = "30";
    big.BkColor = 0x00FFFF; // yellow
    big.WholeRow = true;
    TCellParamsCond two;
    two.FieldName = "Name";
    two.CondOperator = cpoContain;
    two.Value = "2";
    two.FontColor = 0x0000FF; // red
    two.Bold = true;
    grid.CellParamsConditions.SetItems({big, two});
    grid.SetCellConditionActive(true);
    grid.dataSet()->setRecNo(3); // Name 2
    grid.SelectCurrent(true);

    TkDBExportForm f(&grid, true, true, false, false);
    f.show();
    answer = dir.path("looks.xlsx");
    run(f, 1, 0);
    const QJsonObject cells = ReadWorkbook(answer)["cells"].toObject();
    struct Case {
        const char* ref;
        QJsonValue value, fill, fontColor;
        bool bold;
    } cases[] = {
        {"A2", 4, "FFFFFF00", QJsonValue::Null, false},
        {"C3", 30, "FFFFFF00", QJsonValue::Null, false},
        {"B4", "Name 2", QJsonValue::Null, "FFFF0000", true},
        {"A4", 2, QJsonValue::Null, QJsonValue::Null, false},
        {"B5", "Name 1", QJsonValue::Null, QJsonValue::Null, false},
        {"A1", "ID", QJsonValue::Null, QJsonValue::Null, true}, // titles keep the export's look
    };
    for (const Case& c : cases) {
        const QJsonArray cell = cells[c.ref].toArray();
        EXPECT_EQ(cell.at(0), c.value) << c.ref;
        EXPECT_EQ(cell.at(8), c.fill) << c.ref;
        EXPECT_EQ(cell.at(7), c.fontColor) << c.ref;
        EXPECT_EQ(cell.at(3).toBool(), c.bold) << c.ref;
    }
    EXPECT_TRUE(m.shown.empty()) << m.log().join("\n").toStdString();
}

// "Column selection" chooses the exported columns on the dialog's working copy, not on the grid.
TEST_F(ExportForm, ColumnSelectionChangesTheExportNotTheGrid) {
    TkDBExportForm f(&grid, true, true, false, false);
    f.show();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* fields = qobject_cast<TkDBFieldsForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(fields);
        opened = true;
        fields->lbLabels->item(1)->setCheckState(Qt::Unchecked); // Name
        fields->moveEntry(3, 0);                                 // Qty first
        fields->btClose->click();
    });
    f.rg->button(0)->click();
    QTest::mouseClick(f.btFields, Qt::LeftButton);
    EXPECT_TRUE(opened);
    answer = dir.path("cols.txt");
    run(f, 0, 0);
    EXPECT_EQ(CrLfLines(ReadFile(answer)).mid(0, 2), QStringList({"Qty;ID", "10;1"}));
    EXPECT_FALSE(grid.isColumnHidden(1));
    EXPECT_EQ(grid.horizontalHeader()->visualIndex(3), 3);
    // The template kind has no column choices.
    f.rg->button(3)->click();
    EXPECT_FALSE(f.btFields->isEnabled());
    TkDBExportForm off(&grid, true, false, false, false);
    EXPECT_FALSE(off.btFields->isEnabled());
    EXPECT_TRUE(m.shown.empty()) << m.log().join("\n").toStdString();
}

TEST_F(ExportForm, StructureOnlyWithoutTemplates) {
    TkDBExportForm f(&grid, false, true, true, true);
    f.show();
    EXPECT_EQ(f.rg->buttons().size(), 3);
    EXPECT_FALSE(f.btFilter->isEnabled());
    EXPECT_TRUE(f.btFields->isEnabled());
    answer = dir.path("s.txt");
    f.chFName1->click(); // titles off, still the title row only
    EXPECT_FALSE(f.chFRealName1->isEnabled());
    f.cbSeparator_nostore->setCurrentText("|");
    run(f, 0, 0);
    EXPECT_EQ(CrLfLines(ReadFile(answer)), QStringList({"ID|Name|Qty"}));

    // A closed dataset opens nothing.
    q.Close();
    ShowExportDialog(&grid, true, true, false, false);
}
