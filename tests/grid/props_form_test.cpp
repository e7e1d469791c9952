// "Table properties": each option reaches the grid on "Ok" and nothing on "Cancel"; the parts the
// caller does not offer stay hidden and untouched; the links and "Set default properties"; Ctrl+B.
#include "dialog_actions.h"
#include "grid_action_fixture.h"
#include "props_form.h"
#include "std_ctrl_prop_save.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {
class PropsFormTest : public GridActionTest {
protected:
    struct Look {
        TkDBGridStyle style;
        bool highlight, funnel, funnelActiveOnly, textBar, textBarTop, filterPanel;
        bool operator==(const Look&) const = default;
    };
    Look look() {
        const TkDBGridFilters& f = grid.OptionsEx2.Filters;
        return {ReadGridStyle(grid), grid.OptionsEx2.CellCondition.Active,
                f.FunnelBtn,         f.FunnelBtnActiveOnly,
                f.TextBar,           f.TextBarTopLayout,
                f.FilterPanel};
    }
    static QFont bigFont() {
        QFont f = QApplication::font();
        f.setPointSize(f.pointSize() + 5);
        f.setBold(true);
        return f;
    }
};

TEST_F(PropsFormTest, EachOptionReachesTheGridOnOk) {
    struct Case {
        const char* what;
        std::function<void(TkDBGridPropsForm&)> change;
        std::function<bool(TkDBGrid&)> changed;
    };
    const Case cases[] = {
        {"highlight", [](auto& f) { f.chHighlight->setChecked(true); },
         [](TkDBGrid& g) { return g.OptionsEx2.CellCondition.Active; }},
        {"font", [](auto& f) { f.setPickedFont(bigFont()); },
         [](TkDBGrid& g) { return g.font() == bigFont(); }},
        {"title font", [](auto& f) { f.setPickedTitleFont(bigFont()); },
         [](TkDBGrid& g) { return g.horizontalHeader()->font() == bigFont(); }},
        {"background", [](auto& f) { f.cbColor->setCurrentText("Yellow"); },
         [](TkDBGrid& g) { return g.palette().color(QPalette::Base) == QColor(255, 255, 0); }},
        {"alternate rows", [](auto& f) { f.cbColorOddRow->setEditText("$00FFFF00"); },
         [](TkDBGrid& g) {
             return g.alternatingRowColors() &&
                    g.palette().color(QPalette::AlternateBase) == QColor(0, 255, 255);
         }},
        {"selection", [](auto& f) { f.cbColorSelection->setCurrentText("Red"); },
         [](TkDBGrid& g) { return g.palette().color(QPalette::Highlight) == QColor(255, 0, 0); }},
        {"grid lines", [](auto& f) { f.chGridLines->setChecked(false); },
         [](TkDBGrid& g) { return !g.showGrid(); }},
        {"row height", [](auto& f) { f.enRowHeight->setValue(33); },
         [](TkDBGrid& g) { return g.verticalHeader()->defaultSectionSize() == 33; }},
        {"indicator", [](auto& f) { f.chIndicator->setChecked(false); },
         [](TkDBGrid& g) { return !g.ShowIndicator(); }},
        {"footer", [](auto& f) { f.chFooter->setChecked(true); },
         [](TkDBGrid& g) { return g.FooterRow.FooterVisible && g.Footer()->isVisible(); }},
        {"funnels", [](auto& f) { f.chFunnel->setChecked(false); },
         [](TkDBGrid& g) { return !g.OptionsEx2.Filters.FunnelBtn; }},
        {"funnel on the active column only", [](auto& f) { f.chFunnelActiveOnly->setChecked(true); },
         [](TkDBGrid& g) { return g.OptionsEx2.Filters.FunnelBtnActiveOnly; }},
        {"text filter row above the titles",
         [](auto& f) {
             f.chTextBar->setChecked(true);
             f.cbTextBarPosition->setCurrentIndex(1);
         },
         [](TkDBGrid& g) { return g.OptionsEx2.Filters.TextBar && g.OptionsEx2.Filters.TextBarTopLayout; }},
        {"filter footer", [](auto& f) { f.chFilterPanel->setChecked(true); },
         [](TkDBGrid& g) { return g.OptionsEx2.Filters.FilterPanel; }},
    };
    grid.OptionsEx2.Filters.FunnelBtn = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Look before = look();
        {
            // Cancel: the grid stays as it was.
            TkDBGridPropsForm form(&grid, true, true, true, true);
            c.change(form);
            QTest::mouseClick(form.btCancel, Qt::LeftButton);
        }
        EXPECT_TRUE(look() == before);
        EXPECT_FALSE(c.changed(grid));
        TkDBGridPropsForm form(&grid, true, true, true, true);
        c.change(form);
        QTest::mouseClick(form.btOk, Qt::LeftButton);
        EXPECT_TRUE(c.changed(grid));
        EXPECT_EQ(form.result(), QDialog::Accepted);
        // Opened again, the window shows what the grid has; Ok without a change changes nothing.
        const Look after = look();
        TkDBGridPropsForm again(&grid, true, true, true, true);
        QTest::mouseClick(again.btOk, Qt::LeftButton);
        EXPECT_TRUE(look() == after);
    }
}

TEST_F(PropsFormTest, PartsNotOfferedStayHiddenAndUntouched) {
    const Look before = look();
    TkDBGridPropsForm form(&grid, false, false, false, false);
    form.show();
    for (QWidget* w : std::initializer_list<QWidget*>{form.chHighlight, form.lblSetConditions, form.gbStyle,
                                                      form.gbFilter, form.lblColumns})
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    EXPECT_TRUE(form.lblDefault->isVisible());
    form.chHighlight->setChecked(true);
    form.chGridLines->setChecked(false);
    form.chFunnel->setChecked(!grid.OptionsEx2.Filters.FunnelBtn);
    QTest::mouseClick(form.btOk, Qt::LeftButton);
    EXPECT_TRUE(look() == before);
    // The funnel's sub-option and the row's position follow their switches.
    TkDBGridPropsForm all(&grid, true, true, true, true);
    all.chFunnel->setChecked(false);
    all.chTextBar->setChecked(false);
    EXPECT_FALSE(all.chFunnelActiveOnly->isEnabled());
    EXPECT_FALSE(all.cbTextBarPosition->isEnabled());
    all.chTextBar->setChecked(true);
    EXPECT_TRUE(all.cbTextBarPosition->isEnabled());
}

TEST_F(PropsFormTest, DefaultPropertiesResetTheLookAndForgetTheStoredSettings) {
    QWidget owner;
    TStdCtrlPropSave saver(&owner);
    grid.setParent(&owner);
    grid.setObjectName("grData");
    ApplyGridStyle(grid, {bigFont(), bigFont(), Qt::yellow, Qt::cyan, Qt::red, false, 40, false, true});
    QString asked;
    actions.OnRunOtherAction = [&](TkDBAction*, QAction* a, TkDBGrid* g) {
        if (g == &grid) asked = a->objectName();
    };
    {
        messages.answers = {MsgAnswer::No};
        TkDBGridPropsForm form(&grid, true, true, true, true);
        form.resetDefaults();
        EXPECT_EQ(form.result(), QDialog::Rejected);
    }
    EXPECT_FALSE(ReadGridStyle(grid) == DefaultGridStyle());
    messages.answers = {MsgAnswer::Yes};
    TkDBGridPropsForm form(&grid, true, true, true, true);
    form.resetDefaults();
    EXPECT_EQ(messages.log(), (QStringList{"question: Reset to default properties?",
                                           "question: Reset to default properties?"}));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(ReadGridStyle(grid) == DefaultGridStyle());
    EXPECT_EQ(saver.DisableComponents, QStringList{"grData"});
    EXPECT_EQ(asked, "accDefaultGrid");
    grid.setParent(nullptr);
}

TEST_F(PropsFormTest, CtrlBOpensTheWindowAndTheConditionsLinkShowsTheSwitch) {
    InstallGridDialogActions(&actions);
    for (QAction* a : actions.pmDBAction->actions())
        grid.addAction(a);
    grid.addAction(act("acoProperties"));
    actions.SetActiveGrid(&grid);
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    actions.RefreshAction();
    ASSERT_TRUE(act("acoProperties")->isEnabled());
    bool highlightBefore = true, highlightAfter = false, columnsShown = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TkDBGridPropsForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        EXPECT_EQ(form->windowTitle(), "Table properties");
        columnsShown = !form->lblColumns->isHidden();
        highlightBefore = form->chHighlight->isChecked();
        // The conditions window stores its (empty) list on Ok, which switches the highlighting on.
        QTimer::singleShot(0, [] {
            QWidget* w = QApplication::activeModalWidget();
            ASSERT_TRUE(w);
            if (auto* ok = w->findChild<QPushButton*>("btOk")) QTest::mouseClick(ok, Qt::LeftButton);
        });
        form->setConditions();
        highlightAfter = form->chHighlight->isChecked();
        QTest::mouseClick(form->btCancel, Qt::LeftButton);
    });
    QTest::keyClick(&grid, Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(columnsShown);
    EXPECT_FALSE(highlightBefore);
    EXPECT_TRUE(highlightAfter);
    EXPECT_TRUE(grid.OptionsEx2.CellCondition.Active); // set by the conditions window, kept on Cancel
}
} // namespace
