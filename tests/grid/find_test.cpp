// The find window: the search as a table over a real SQLite table (fields, direction, comparison,
// case, diacritics, NULLs, non-ASCII text), the buttons' states and history, the saved choices, and
// the window opened by Ctrl+F through the action module.
#include "comp_config.h"
#include "connection.h"
#include "db_action.h"
#include "dialog_actions.h"
#include "find_form.h"
#include "find_search.h"
#include "grid_host.h"
#include "prop_save_file.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class FindTest : public ::testing::Test, public GridOnTable<TkDBGrid> {
protected:
    void SetUp() override {
        grid.setObjectName("grData");
        openTable("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, note MEMO, qty REAL);"
                  "INSERT INTO t VALUES (1, 'Alpha', 'line one\nsecond \u017dlu\u0165ou\u010dk\u00fd', 1.5),"
                  " (2, 'alpha beta', NULL, 10), (3, NULL, '\u017dLU\u0164OU\u010cK\u00dd k\u016f\u0148', 2),"
                  " (4, '', 'Alpha', NULL), (5, '\u00c9va', 'x', 100);",
                  "SELECT * FROM t ORDER BY id");
        grid.resize(600, 300);
        store.FileName = dir.path("settings.ini");
        store.DisableAll = true;
        VemoCompConfig().Global_PropSaveFile = &store;
        FindConfig() = TkDBFindCfg();
    }
    void TearDown() override {
        VemoCompConfig().Global_PropSaveFile = nullptr;
        VemoCompConfig().DontStoreFieldDependentSettings = false;
        FindConfig() = TkDBFindCfg();
    }
    int currentId() { return q.FieldByName("id")->AsVariant().toInt(); }
    void goTo(int id) { ASSERT_TRUE(q.Locate("id", id)); }
    // Selects exactly the named fields in the window's list.
    static void choose(TkDBFindForm& form, const QStringList& fields) {
        for (int i = 0; i < form.lbLabels->count(); ++i)
            form.lbLabels->item(i)->setSelected(fields.contains(form.fieldNames()[i]));
    }

    TPropSaveFile store;
    ScopedScriptedMessages msgs;
};

TEST_F(FindTest, SearchTable) {
    using D = TkDBFindForm::Direction;
    const FindMatch W = FindMatch::WholeField, B = FindMatch::Beginning, A = FindMatch::AnyPart;
    struct Case {
        QStringList fields;
        QString text;
        FindMatch match;
        bool caseSens, diacritics;
        D dir;
        int from;      // id of the current record before the search
        int id;        // record found; 0: nothing (the dataset ends on the last / first record)
        QString field; // the field that matched
    };
    const Case cases[] = {
        {{"name"}, "alpha", W, false, false, D::First, 3, 1, "name"},
        {{"name"}, "alpha", W, true, false, D::First, 3, 0, {}},
        {{"name"}, "Alpha", W, true, false, D::First, 3, 1, "name"},
        {{"name"}, "alpha", B, false, false, D::Next, 1, 2, "name"},
        {{"name"}, "beta", A, false, false, D::First, 5, 2, "name"},
        {{"name"}, "beta", B, false, false, D::First, 1, 0, {}},
        // An empty text matches an empty or null value as a whole field only.
        {{"name"}, "", W, false, false, D::First, 5, 3, "name"},
        {{"name"}, "", W, false, false, D::Next, 3, 4, "name"},
        {{"name"}, "", A, false, false, D::First, 1, 0, {}},
        {{"name"}, "", B, false, false, D::First, 1, 0, {}},
        // Fields are tried in list order on each record; backwards from the record before.
        {{"name", "note"}, "alpha", W, false, false, D::Previous, 5, 4, "note"},
        {{"name", "note"}, "alpha", W, false, false, D::Previous, 4, 1, "name"},
        {{"note"}, "alpha", W, false, false, D::Previous, 4, 0, {}},
        // Non-ASCII text: case folding, diacritics, memo text searched whole.
        {{"note"}, "\u017elu\u0165", A, false, false, D::First, 5, 1, "note"},
        {{"note"}, "\u017elu\u0165", A, true, false, D::First, 5, 0, {}},
        {{"note"}, "\u017dLU\u0164", A, true, false, D::First, 5, 3, "note"},
        {{"note"}, "zlutoucky", A, false, true, D::First, 5, 1, "note"},
        {{"note"}, "zlutoucky", A, false, true, D::Next, 1, 3, "note"},
        {{"note"}, "zlutoucky", A, false, false, D::First, 5, 0, {}},
        {{"note"}, "second", B, false, false, D::First, 5, 0, {}},
        {{"name"}, "eva", W, false, true, D::First, 1, 5, "name"},
        {{"name"}, "\u00e9VA", W, false, false, D::First, 1, 5, "name"},
        // Numbers are compared as their plain text.
        {{"qty"}, "10", W, false, false, D::First, 1, 2, "qty"},
        {{"qty"}, "1", B, false, false, D::Next, 1, 2, "qty"},
        {{"qty"}, "1", B, false, false, D::Next, 2, 5, "qty"},
        {{"qty"}, "1.5", W, false, false, D::First, 5, 1, "qty"},
        // The ends of the view, and no field chosen.
        {{"name"}, "\u00e9va", W, false, false, D::Next, 5, 0, {}},
        {{"name"}, "alpha", W, false, false, D::Previous, 1, 0, {}},
        {{}, "alpha", A, false, false, D::First, 1, 0, {}},
        // A lookup column is searched by the value it shows: the first lookup record of a key, nothing
        // for a key without one.
        {{"shown"}, "green", W, false, false, D::First, 5, 2, "shown"},
        {{"shown"}, "gr", B, false, false, D::Next, 2, 5, "shown"},
        {{"shown"}, "shadow", A, false, false, D::First, 1, 0, {}},
        {{"shown"}, "", W, false, false, D::First, 1, 3, "shown"},
        {{"shown"}, "", W, false, false, D::Next, 3, 4, "shown"},
    };
    LookupTable lk(
        con, "CREATE TABLE lk (code INTEGER, name TEXT); INSERT INTO lk VALUES (1, 'Red'), (2, 'green'),"
             " (3, NULL), (5, 'Gr\u00fcn'), (2, 'shadow');");
    AddLookupField(q, "shown", ftString, "id", lk.q, "code", "name");
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 '%2' opt %3 case %4 diac %5 dir %6 from %7")
                         .arg(c.fields.join(','), c.text)
                         .arg(int(c.match))
                         .arg(c.caseSens)
                         .arg(c.diacritics)
                         .arg(int(c.dir))
                         .arg(c.from)
                         .toStdString());
        TkDBFindForm form(&grid);
        form.show();
        choose(form, c.fields);
        form.eText->setEditText(c.text);
        form.rgOpt[int(c.match)]->setChecked(true);
        form.cbCase->setChecked(c.caseSens);
        form.chIgnoreDiacritics->setChecked(c.diacritics);
        goTo(c.from);
        const bool found = form.search(c.dir);
        EXPECT_EQ(found, c.id != 0);
        if (c.id) {
            EXPECT_EQ(currentId(), c.id);
            EXPECT_EQ(form.fieldNames().value(form.FoundIndex), c.field);
            EXPECT_EQ(form.FoundFieldText, FindValueText(q, q.FieldByName(c.field), q.currentPosition()));
            EXPECT_EQ(form.lblResult->text(), "Found. " + c.field + ":");
        } else {
            EXPECT_EQ(form.FoundIndex, -1);
            EXPECT_EQ(currentId(), c.dir == D::Previous ? 1 : 5);
            EXPECT_EQ(form.lblResult->text(), "Not found");
        }
        form.close();
    }
    EXPECT_TRUE(msgs.shown.empty()); // no warning box unless asked for
}

TEST_F(FindTest, ButtonsHistoryAndResult) {
    TkDBFindForm form(&grid);
    form.show();
    EXPECT_FALSE(form.btFindNext->isEnabled());
    EXPECT_FALSE(form.btFindPrev->isEnabled());
    choose(form, {"name"});
    form.chShowMsg->setChecked(true);
    form.eText->setEditText("alpha");
    form.rgOpt[1]->setChecked(true);
    ASSERT_TRUE(form.search(TkDBFindForm::First));
    EXPECT_TRUE(form.btFindNext->isEnabled());
    EXPECT_TRUE(form.btFindPrev->isEnabled());
    EXPECT_EQ(form.mInfo->toPlainText(), "Alpha");
    EXPECT_EQ(form.mInfo->extraSelections().size(), 0); // equal ignoring case: nothing marked
    ASSERT_TRUE(form.search(TkDBFindForm::Next));
    EXPECT_EQ(currentId(), 2);
    // The memo shows the whole value with the text marked.
    EXPECT_EQ(form.mInfo->toPlainText(), "alpha beta");
    EXPECT_EQ(form.mInfo->extraSelections().size(), 1);
    EXPECT_FALSE(form.search(TkDBFindForm::Next));
    EXPECT_FALSE(form.btFindNext->isEnabled());
    EXPECT_TRUE(form.btFindPrev->isEnabled()); // keeps its state
    EXPECT_EQ(msgs.log(), QStringList{"warning: Not found"});
    EXPECT_EQ(currentId(), 5);
    form.eText->setEditText("ALPHA");
    form.rgOpt[2]->setChecked(true);
    ASSERT_TRUE(form.search(TkDBFindForm::Previous));
    EXPECT_EQ(currentId(), 2);
    form.eText->setEditText("pha");
    ASSERT_TRUE(form.search(TkDBFindForm::Previous));
    EXPECT_EQ(currentId(), 1);
    EXPECT_EQ(form.mInfo->extraSelections().size(), 1);
    EXPECT_EQ(form.mInfo->textCursor().position(), 2);
    // History: sorted, each text once.
    form.search(TkDBFindForm::First);
    QStringList items;
    for (int i = 0; i < form.eText->count(); ++i)
        items << form.eText->itemText(i);
    EXPECT_EQ(items, (QStringList{"alpha", "ALPHA", "pha"}));
    form.btClearHist->click();
    EXPECT_EQ(form.eText->count(), 0);
    EXPECT_EQ(form.eText->currentText(), "pha");
}

TEST_F(FindTest, ListOrderSelectionAndSavedChoices) {
    {
        TkDBFindForm form(&grid, true);
        form.show();
        EXPECT_EQ(form.fieldNames(), (QStringList{"id", "name", "note", "qty"}));
        EXPECT_EQ(form.lbLabels->selectedItems().size(), 4);
        form.lbLabels->setCurrentRow(3, QItemSelectionModel::NoUpdate);
        form.btUp->click();
        form.btUp->click();
        EXPECT_EQ(form.fieldNames(), (QStringList{"id", "qty", "name", "note"}));
        form.lbLabels->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        form.btUp->click(); // at the top: nothing
        form.lbLabels->item(0)->setSelected(false);
        form.eText->setEditText("x");
        form.rgOpt[0]->setChecked(true);
        form.cbCase->setChecked(true);
        form.search(TkDBFindForm::First);
        form.btClose->click();
    }
    // The next window starts from the last one's choices and the stored field order and selection.
    TkDBFindForm form(&grid);
    EXPECT_TRUE(form.rgOpt[0]->isChecked());
    EXPECT_TRUE(form.cbCase->isChecked());
    EXPECT_EQ(form.eText->currentText(), "x");
    EXPECT_TRUE(form.btFindNext->isEnabled());
    form.show();
    EXPECT_EQ(form.fieldNames(), (QStringList{"id", "qty", "name", "note"}));
    EXPECT_FALSE(form.lbLabels->item(0)->isSelected());
    EXPECT_TRUE(form.lbLabels->item(1)->isSelected());
    EXPECT_EQ(form.eText->count(), 1);
    form.btSort->click();
    EXPECT_EQ(form.fieldNames(), (QStringList{"id", "name", "note", "qty"}));
    EXPECT_FALSE(form.lbLabels->item(0)->isSelected());
    form.btSelAll->click();
    EXPECT_EQ(form.lbLabels->selectedItems().size(), 4);
    form.close();
    // While the main window blocks field-dependent settings the list keeps the grid's order.
    VemoCompConfig().DontStoreFieldDependentSettings = true;
    TkDBFindForm blocked(&grid);
    blocked.show();
    EXPECT_EQ(blocked.fieldNames(), (QStringList{"id", "name", "note", "qty"}));
    EXPECT_EQ(blocked.lbLabels->selectedItems().size(), 4);
}

TEST_F(FindTest, CtrlFOpensTheWindowAndLeavesTheRecordFound) {
    TkDBAction actions;
    InstallGridDialogActions(&actions);
    grid.addAction(actions.action("acoFind"));
    actions.SetActiveGrid(&grid);
    grid.show();
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    actions.RefreshAction();
    ASSERT_TRUE(actions.action("acoFind")->isEnabled());
    QString result;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TkDBFindForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        EXPECT_EQ(form->windowTitle(), "Find record");
        QTest::keyClicks(form->eText->lineEdit(), "va");
        QTest::keyClick(form->eText->lineEdit(), Qt::Key_Return); // "Find" is the default button
        result = form->lblResult->text();
        QTest::mouseClick(form->btClose, Qt::LeftButton);
    });
    QTest::keyClick(&grid, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(result, "Found. name:");
    EXPECT_EQ(currentId(), 5);
    EXPECT_EQ(FindConfig().LastFindStr, "va");
    // A closed dataset: the command is off and the window does not open.
    q.Close();
    actions.RefreshAction();
    EXPECT_FALSE(actions.action("acoFind")->isEnabled());
    ShowFindDialog(&grid);
}
} // namespace
