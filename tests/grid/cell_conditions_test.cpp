// Cell conditions: every comparison kind against NULLs, dates, booleans and accented texts; chaining,
// scope, stop and skip; the colours the grid paints; the conditions dialog driven by keys and clicks.
#include "cell_params_form.h"
#include "color_text.h"
#include "connection.h"
#include "db_grid_ms.h"
#include "grid_host.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <QComboBox>
#include <QDate>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr int kRed = 0x0000FF, kBlue = 0xFF0000, kLime = 0x00FF00;

TCellParamsCond cond(const char* field, TCellParamsCondOperators op, const QString& value, int bk = kRed,
                     TCellParamsCondActions action = cpaSet) {
    TCellParamsCond c;
    c.FieldName = field;
    c.CondOperator = op;
    c.Value = value;
    c.BkColor = bk;
    c.Action = action;
    return c;
}
} // namespace

class CellConditionsTest : public ::testing::Test, public GridOnTable<TkDBGrid_MS> {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        grid.resize(760, 260);
        openTable("CREATE TABLE t (id INTEGER PRIMARY KEY, n INTEGER, x FLOAT, b BOOLEAN, d DATE,"
                  " dt DATETIME, s TEXT, s2 TEXT);"
                  "INSERT INTO t VALUES (1, 1, 0.5, 1, '2024-01-01', '2024-01-01 00:00:00', 'Čáp', 'čáp'),"
                  " (2, NULL, NULL, NULL, NULL, NULL, NULL, 'x'),"
                  " (3, 3, 2.25, 0, '2024-01-03', '2024-01-01 12:30:00', '', NULL),"
                  " (4, 10, -1, 1, '" +
                      today +
                      "', '2024-02-01 08:00:00', 'apple', 'Apple'),"
                      " (5, 2, 4, 0, '2023-12-31', '2023-12-31 23:59:59', 'Zebra', 'zebra');",
                  "SELECT * FROM t ORDER BY id");
        grid.SetCellConditionActive(true);
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
    // The parameters the grid draws the cell of field in the record id with.
    TCellParams cell(const char* field, int id, bool highlight = false) {
        TCellParams cp;
        const TField* f = q.FindField(field);
        EXPECT_NE(f, nullptr) << field;
        grid.CellParamsConditions.ResetCond();
        grid.GetCellParams(f, id - 1, cp, false, highlight);
        return cp;
    }
    ScopedScriptedMessages messages;
};

TEST_F(CellConditionsTest, EachComparisonAgainstEachKindOfValue) {
    const struct {
        const char* field;
        TCellParamsCondOperators op;
        const char* value;
        int id;
        bool holds;
    } cases[] = {
        // numbers
        {"n", cpoEqual, "1", 1, true},
        {"n", cpoEqual, "1", 3, false},
        {"n", cpoLess, "3", 1, true},
        {"n", cpoLess, "3", 3, false},
        {"n", cpoLessOrEq, "3", 3, true},
        {"n", cpoGreater, "3", 4, true},
        {"n", cpoGreaterOrEq, "10", 4, true},
        {"n", cpoNotEqual, "3", 3, false},
        {"n", cpoContain, "1", 1, false}, // text operators never hold on numbers
        {"x", cpoEqual, "0.5", 1, true},
        {"x", cpoEqual, "abc", 1, false}, // unreadable constants are 0
        {"x", cpoGreaterOrEq, "abc", 1, true},
        // NULL and the empty value
        {"n", cpoEqual, "", 2, true},
        {"n", cpoEqual, "", 1, false},
        {"n", cpoNotEqual, "", 1, true},
        {"n", cpoNotEqual, "", 2, false},
        {"n", cpoNotEqual, "5", 2, true},
        {"n", cpoLess, "5", 2, false},
        {"n", cpoGreater, "-5", 2, false},
        {"s", cpoContain, "a", 2, false},
        {"s", cpoStart, "", 4, false},
        {"s", cpoEqual, "", 3, false}, // an empty text is not NULL
        {"s", cpoEqual, "", 2, true},
        {"s", cpoNotEqual, "", 3, true},
        // booleans
        {"b", cpoEqual, "Yes", 1, true},
        {"b", cpoEqual, "y", 1, true},
        {"b", cpoEqual, "1", 1, true},
        {"b", cpoEqual, "true", 1, false},
        {"b", cpoEqual, "No", 3, true},
        {"b", cpoNotEqual, "yes", 3, true},
        {"b", cpoLess, "yes", 3, true}, // every other operator: differs
        {"b", cpoEqual, "yes", 2, false},
        // dates and date-times
        {"d", cpoEqual, "2024-01-01", 1, true},
        {"d", cpoGreater, "2024-01-01", 3, true},
        {"dt", cpoEqual, "2024-01-01", 1, true},
        {"dt", cpoEqual, "2024-01-01", 3, false}, // not at midnight
        {"dt", cpoLess, "2024-01-02", 3, true},
        {"dt", cpoGreater, "2024-01-01", 3, true},
        {"d", cpoEqual, "=$Date", 4, true},
        {"d", cpoEqual, "=$date", 1, false},
        {"d", cpoLess, "=$Date", 1, true},
        // texts: equality and the text operators ignore case (accents too); order is by code units
        {"s", cpoEqual, "čáp", 1, true},
        {"s", cpoEqual, "ČÁP", 1, true},
        {"s", cpoEqual, "cap", 1, false},
        {"s", cpoNotEqual, "ČÁP", 1, false},
        {"s", cpoContain, "ÁP", 1, true},
        {"s", cpoNotContain, "áp", 1, false},
        {"s", cpoStart, "AP", 4, true},
        {"s", cpoNotStart, "ap", 4, false},
        {"s", cpoContain, "PL", 4, true},
        {"s", cpoNotContain, "PL", 4, false},
        {"s", cpoLess, "Zebra", 4, false}, // "a" sorts after "Z"
        {"s", cpoGreater, "Zebra", 4, true},
        {"s", cpoLessOrEq, "Zebra", 5, true},
        {"s", cpoLess, "zebra", 5, true},
        {"s", cpoGreater, "Čá", 1, true},
        // another field of the same record
        {"s", cpoEqual, "=s2", 1, true},
        {"s", cpoEqual, "=S2", 4, true},
        {"s", cpoGreater, "=s2", 4, true}, // "apple" after "Apple"
        {"s", cpoEqual, "=s2", 3, false},  // the other field is NULL: its text is empty
        {"s", cpoNotEqual, "=s2", 3, true},
        {"n", cpoGreater, "=x", 1, true},
        {"n", cpoLess, "=x", 5, true},
        // aggregates of a column: n holds 1, NULL, 3, 10, 2
        {"n", cpoEqual, "=MAX(n)", 4, true},
        {"n", cpoEqual, "=min(n)", 1, true},
        {"n", cpoLess, "=AVG(n)", 1, true},
        {"n", cpoLess, "=AVG(n)", 4, false},
        {"n", cpoEqual, "=SUM(n)", 4, false},
        {"n", cpoLess, "=COUNTVAL(n)", 3, true},
        {"n", cpoEqual, "=COUNTNULL(x)", 1, true},
        {"n", cpoGreater, "=COUNTALL(s)", 4, true},
        // always
        {"n", cpoAllways, "", 2, true},
    };
    for (const auto& c : cases) {
        grid.CellParamsConditions.SetItems({cond(c.field, c.op, QString::fromUtf8(c.value))});
        const TCellParams cp = cell(c.field, c.id);
        EXPECT_EQ(cp.background == kRed, c.holds) << c.field << " " << CondOperatorTexts()[c.op].toStdString()
                                                  << " '" << c.value << "' row " << c.id;
    }
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
}

TEST_F(CellConditionsTest, ChainingScopeStopAndSkip) {
    auto& list = grid.CellParamsConditions;
    // Three conditions "AND", "AND", ">>>" format when all three hold.
    list.SetItems({cond("n", cpoGreater, "1", kNoColor, cpaAND), cond("s", cpoContain, "p", kNoColor, cpaAND),
                   cond("b", cpoEqual, "yes")});
    EXPECT_EQ(cell("b", 4).background, kRed);     // 10, apple, true
    EXPECT_EQ(cell("b", 1).background, kNoColor); // n = 1
    EXPECT_EQ(cell("b", 5).background, kNoColor); // no "p" in Zebra
    // Not whole row: only the cell of the condition's field; whole row: every cell.
    EXPECT_EQ(cell("b", 4).background, kRed);
    EXPECT_EQ(cell("s", 4).background, kNoColor);
    list.EditItem(2).WholeRow = true;
    EXPECT_EQ(cell("s", 4).background, kRed);
    // OR: either side.
    list.SetItems({cond("n", cpoEqual, "1", kNoColor, cpaOR), cond("n", cpoEqual, "3")});
    EXPECT_EQ(cell("n", 1).background, kRed);
    EXPECT_EQ(cell("n", 3).background, kRed);
    EXPECT_EQ(cell("n", 4).background, kNoColor);
    // An "AND" followed by a skipped item combines with the item after it.
    list.SetItems(
        {cond("n", cpoEqual, "1", kNoColor, cpaAND), cond("n", cpoAllways, ""), cond("s", cpoEqual, "čáp")});
    list.EditItem(1).Deactive = true;
    EXPECT_EQ(cell("s", 1).background, kRed);
    EXPECT_EQ(cell("s", 5).background, kNoColor);
    // Later conditions override earlier ones, unless an earlier one stops.
    TCellParamsCond first = cond("n", cpoAllways, "", kRed), second = cond("n", cpoAllways, "", kBlue);
    first.FontColor = kLime;
    list.SetItems({first, second});
    TCellParams cp = cell("n", 2);
    EXPECT_EQ(cp.background, kBlue);
    EXPECT_EQ(cp.fontColor, kLime);
    first.StopIfTrue = true;
    list.SetItems({first, second});
    EXPECT_EQ(cell("n", 2).background, kRed);
    // A cell drawn as selected keeps its colours but turns bold and shows the icon; a later applying
    // item without an icon clears it.
    first.StopIfTrue = false;
    first.Bold = true;
    first.ImageDef.UseDataImage = true;
    first.ImageDef.ImageIndex = 2;
    list.SetItems({first});
    cp = cell("n", 2, true);
    EXPECT_EQ(cp.background, kNoColor);
    EXPECT_EQ(cp.fontColor, kNoColor);
    EXPECT_TRUE(cp.font.bold());
    EXPECT_EQ(cp.image.ImageIndex, 2);
    list.SetItems({first, second});
    EXPECT_FALSE(cell("n", 2).image.UseDataImage);
    // Off: nothing is applied.
    grid.SetCellConditionActive(false);
    EXPECT_EQ(cell("n", 2).background, kNoColor);
}

TEST_F(CellConditionsTest, MissingFieldsDeactivateOnlyTheirCondition) {
    auto& list = grid.CellParamsConditions;
    list.SetItems({cond("gone", cpoEqual, "1"), cond("n", cpoEqual, "=nothere"),
                   cond("n", cpoEqual, "=SUM(gone)"), cond("n", cpoEqual, "1", kBlue)});
    EXPECT_EQ(cell("n", 1).background, kBlue);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(list.Item(i).Deactive) << i;
        EXPECT_FALSE(list.Item(i).ErrorDesc.isEmpty()) << i;
    }
    EXPECT_FALSE(list.Item(3).Deactive);
    // The boxes come once the drawing is over, one per failed condition.
    EXPECT_TRUE(messages.shown.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0].heading, "Invalid condition for field gone. Condition will be deactivated.");
    EXPECT_TRUE(messages.shown[2].text.contains("SUM(gone)")) << messages.shown[2].text.toStdString();
    // Cleared by the user, it is tried again.
    list.EditItem(3).Deactive = false;
    list.EditItem(0).FieldName = "s";
    list.EditItem(0).Deactive = false;
    list.EditItem(0).Value = "čáp";
    EXPECT_EQ(cell("s", 1).background, kRed);
}

TEST_F(CellConditionsTest, GridPaintsTheConditionsColours) {
    TCellParamsCond row = cond("n", cpoGreater, "2", 0xC0DCC0);
    row.WholeRow = true;
    row.FontColor = kBlue;
    TCellParamsCond nulls = cond("s", cpoEqual, "", 0x00FFFF);
    TCellParamsCond accent = cond("s", cpoContain, "Á", kRed);
    accent.Bold = true;
    grid.CellParamsConditions.SetItems({row, nulls, accent});
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setCurrentIndex(grid.model()->index(4, 0)); // the current row away from the checked cells
    const QImage shot = grid.grab().toImage();
    if (const QByteArray out = qgetenv("TABULO_SHOT"); !out.isEmpty()) shot.save(QString::fromLocal8Bit(out));
    // A pixel near a cell's right edge shows its background.
    auto background = [&](int row, const char* field) {
        const QRect r = grid.visualRect(grid.model()->index(row, grid.columnOfField(field)));
        const QPoint at = grid.viewport()->mapTo(&grid, QPoint(r.right() - 3, r.center().y()));
        return ColorToBgr(shot.pixelColor(at));
    };
    EXPECT_EQ(background(3, "id"), 0xC0DCC0); // n = 10: the whole row
    EXPECT_EQ(background(3, "s"), 0xC0DCC0);
    EXPECT_EQ(background(1, "s"), 0x00FFFF); // NULL text
    EXPECT_EQ(background(0, "s"), kRed);     // Čáp
    EXPECT_NE(background(0, "id"), kRed);
}

TEST_F(CellConditionsTest, DialogEditsTheGridsConditions) {
    using F = TkDBGridCellParamsForm;
    TCellParamsCond a = cond("n", cpoGreater, "2", kRed), b = cond("s", cpoContain, "p", kNoColor, cpaAND);
    a.Bold = true;
    grid.CellParamsConditions.SetItems({a, b});
    grid.SetCellConditionActive(false);
    {
        F form(&grid);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        ASSERT_EQ(form.grCond->rowCount(), 3); // two conditions and the empty row
        const QStringList row0 = {"n", ">", "2", ">>>", "", "Red", "1", "", "", "", "", ""};
        for (int c = 0; c < F::colCount; ++c)
            EXPECT_EQ(form.cellText(0, c), row0[c]) << c;
        // An "AND" row formats nothing: its formatting cells cannot be edited.
        EXPECT_FALSE(form.grCond->item(1, F::colBkColor)->flags() & Qt::ItemIsEditable);
        EXPECT_FALSE(form.grCond->item(1, F::colBold)->flags() & Qt::ItemIsUserCheckable);
        EXPECT_TRUE(form.grCond->item(1, F::colSkip)->flags() & Qt::ItemIsUserCheckable);
        if (const QByteArray out = qgetenv("TABULO_SHOT_FORM"); !out.isEmpty())
            form.grab().save(QString::fromLocal8Bit(out));

        // Down follows the row; nothing moves below the empty row or above the first.
        form.grCond->setCurrentCell(0, F::colField);
        QTest::mouseClick(form.btDown, Qt::LeftButton);
        EXPECT_EQ(form.cellText(1, F::colField), "n");
        EXPECT_EQ(form.grCond->currentRow(), 1);
        QTest::mouseClick(form.btDown, Qt::LeftButton);
        EXPECT_EQ(form.grCond->currentRow(), 1);
        EXPECT_EQ(form.cellText(2, F::colField), "");
        form.grCond->setCurrentCell(0, F::colField);
        QTest::mouseClick(form.btUp, Qt::LeftButton);
        EXPECT_EQ(form.cellText(0, F::colField), "s");

        // A new condition in the empty row: the field from its drop-down brings "=" and ">>>".
        form.grCond->setFocus();
        form.grCond->setCurrentCell(2, F::colField);
        QTest::keyClick(form.grCond, Qt::Key_F2);
        auto* combo = form.findChild<QComboBox*>("cbCellEditor");
        ASSERT_NE(combo, nullptr);
        combo->setCurrentIndex(combo->findText("b"));
        QTest::keyClick(combo, Qt::Key_Return);
        QCoreApplication::processEvents(); // the view takes the value after the key
        EXPECT_EQ(form.cellText(2, F::colField), "b");
        EXPECT_EQ(form.cellText(2, F::colSign), "=");
        EXPECT_EQ(form.cellText(2, F::colAction), ">>>");
        EXPECT_EQ(form.grCond->rowCount(), 4);
        form.grCond->setCurrentCell(2, F::colValue);
        QTest::keyClick(form.grCond, 'y'); // opens the cell's editor
        QTest::keyClicks(QApplication::focusWidget(), "es");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        EXPECT_EQ(form.cellText(2, F::colValue), "yes");
        form.grCond->setCurrentCell(2, F::colWholeRow);
        QTest::keyClick(form.grCond, Qt::Key_Space);
        EXPECT_EQ(form.cellText(2, F::colWholeRow), "1");

        // "OR" empties the formatting of the "n" row; back to ">>>" it takes a colour again.
        form.setCellText(1, F::colAction, "OR");
        EXPECT_EQ(form.cellText(1, F::colBkColor), "");
        EXPECT_EQ(form.cellText(1, F::colBold), "");
        form.setCellText(1, F::colAction, ">>>");
        form.setCellText(1, F::colBkColor, "Lime");

        // Clear: the empty row stays; the first row goes.
        form.grCond->setCurrentCell(3, F::colField);
        QTest::mouseClick(form.btClear, Qt::LeftButton);
        EXPECT_EQ(form.grCond->rowCount(), 4);
        form.grCond->setCurrentCell(0, F::colField);
        QTest::mouseClick(form.btClear, Qt::LeftButton);
        EXPECT_EQ(form.grCond->rowCount(), 3);

        QTest::mouseClick(form.btOk, Qt::LeftButton);
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    const auto& list = grid.CellParamsConditions;
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(0).FieldName, "n");
    EXPECT_EQ(list.Item(0).BkColor, kLime);
    EXPECT_FALSE(list.Item(0).Bold);
    EXPECT_EQ(list.Item(1).FieldName, "b");
    EXPECT_EQ(list.Item(1).Value, "yes");
    EXPECT_EQ(list.Item(1).CondOperator, cpoEqual);
    EXPECT_TRUE(list.Item(1).WholeRow);
    EXPECT_TRUE(grid.OptionsEx2.CellCondition.Active);

    // Cancel keeps the list; All leaves only the empty row.
    F form(&grid);
    QTest::mouseClick(form.btAll, Qt::LeftButton);
    EXPECT_EQ(form.grCond->rowCount(), 1);
    QTest::mouseClick(form.btCancel, Qt::LeftButton);
    EXPECT_EQ(grid.CellParamsConditions.Count(), 2);
}
