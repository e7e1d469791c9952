// Column groups: the model's rules, the grid hiding and showing members as groups collapse, expand
// and switch off, the group text of a collapsed master in cells and copies, the +/- mark and the
// keys of "Group columns", the group dialog and the column dialog's group states.
#include "dialog_actions.h"
#include "exceptions.h"
#include "fields_form.h"
#include "fields_group_form.h"
#include "grid_action_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
TColumnGroup group(const QString& name, const QStringList& fields, const QString& master) {
    TColumnGroup g;
    g.Name = name;
    g.Fields = fields;
    g.Master = master;
    return g;
}

TEST(ColumnGroupsModel, MembershipAndTheCheckOfNewGroups) {
    TColumnGroups gs;
    gs.Groups = {group("Person", {"name", "qty", "born"}, "name"), group("Other", {"note"}, "note")};
    gs.Groups[0].Collapsed = true;
    EXPECT_EQ(gs.groupOf("QTY"), 0);
    EXPECT_EQ(gs.groupOf("id"), -1);
    EXPECT_TRUE(gs.isMaster("Name"));
    EXPECT_FALSE(gs.isMaster("qty"));
    EXPECT_EQ(gs.Groups[0].Members(), (QStringList{"qty", "born"}));
    // Collapsing counts only while groups are on.
    EXPECT_FALSE(gs.hiddenByGroup("qty"));
    gs.Active = true;
    EXPECT_TRUE(gs.hiddenByGroup("qty"));
    EXPECT_FALSE(gs.hiddenByGroup("name"));
    EXPECT_TRUE(gs.showsGroupText("name"));
    EXPECT_FALSE(gs.showsGroupText("note")); // its group is expanded
    const QHash<QString, QString> texts{{"name", "Ann"}, {"qty", ""}, {"born", "1.2.2003"}};
    EXPECT_EQ(gs.groupText(0, [&](const QString& f) { return texts.value(f); }), "Ann, 1.2.2003");

    struct Case {
        QList<TColumnGroup> in;
        QString error; // empty: accepted
        QString name, master;
    };
    const Case cases[] = {
        {{group("", {"a", "b"}, "")}, "", "a", "a"},     // no master, no name: the first column
        {{group(" G ", {"a", "b"}, "B")}, "", "G", "B"}, // names trimmed, master kept
        {{group("G", {"a"}, "x")}, "", "G", "a"},        // a master outside the group is replaced
        {{group("G", {}, "")}, "Group \"G\" has no columns.", "", ""},
        {{group("G", {"a"}, "a"), group("H", {"b", "A"}, "b")},
         "Column \"A\" is in more than one group.",
         "",
         ""},
    };
    for (const Case& c : cases) {
        try {
            const QList<TColumnGroup> out = TColumnGroups::Checked(c.in);
            EXPECT_TRUE(c.error.isEmpty()) << c.error.toStdString();
            EXPECT_EQ(out[0].Name, c.name);
            EXPECT_EQ(out[0].Master, c.master);
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.error);
        }
    }
}

TEST(ColumnGroupsModel, SettingsLinesRoundTrip) {
    TColumnGroups gs;
    gs.Groups = {group("a;b\\c", {"x;1", "y"}, "y"), group("Plain", {"z"}, "z")};
    gs.Groups[0].Collapsed = true;
    const QStringList lines = gs.toLines();
    EXPECT_EQ(lines[0], "a\\;b\\\\c;1;y;x\\;1;y");
    EXPECT_EQ(TColumnGroups::fromLines(lines), gs.Groups);
    // Unreadable or clashing lines are dropped, the others kept.
    EXPECT_EQ(TColumnGroups::fromLines({"short;0", lines[1], "Again;0;z;z"}).size(), 1);
}

class ColumnGroupsTest : public GridActionTest {
protected:
    void SetUp() override {
        GridActionTest::SetUp();
        InstallGridDialogActions(&actions);
        for (QAction* a : actions.pmDBAction->actions())
            grid.addAction(a);
        grid.addAction(act("accColumnGroupping"));
        grid.addAction(act("accColumnGroups"));
        actions.SetActiveGrid(&grid);
    }
    void definePerson() { grid.SetColumnGroups({group("Person", {"name", "qty", "born"}, "name")}); }
    QStringList hidden() {
        QStringList out;
        for (int c = 0; c < grid.model()->columnCount(); ++c)
            if (grid.isColumnHidden(c)) out << grid.fieldOfColumn(c)->FieldName;
        return out;
    }
    QString copyCell(int row, const QString& field) {
        setCurrent(row, grid.columnOfField(field));
        run("acoCopyCell");
        return clipboard();
    }
    QString bornText(int row) { return grid.GetCellValue(grid.columnOfField("born"), row); }
};

TEST_F(ColumnGroupsTest, CollapseExpandSwitchOffAndCopy) {
    struct Case {
        const char* what;
        std::function<void(TkDBGrid&)> step;
        QStringList hidden;
        bool band;
        QString copiedName; // acoCopyCell on the first record's "name"
    };
    const QString collapsed = "plain, 5, " + bornText(0);
    const Case cases[] = {
        {"defined, groups off", [](TkDBGrid&) {}, {}, false, "plain"},
        {"switched on", [](TkDBGrid& g) { g.SetFieldGroupsActive(true); }, {}, true, "plain"},
        {"collapsed", [](TkDBGrid& g) { g.SetGroupCollapsed(0, true); }, {"qty", "born"}, true, collapsed},
        {"switched off while collapsed",
         [](TkDBGrid& g) { g.SetFieldGroupsActive(false); },
         {},
         false,
         "plain"},
        {"on again: still collapsed",
         [](TkDBGrid& g) { g.SetFieldGroupsActive(true); },
         {"qty", "born"},
         true,
         collapsed},
        {"expanded", [](TkDBGrid& g) { g.SetGroupCollapsed(0, false); }, {}, true, "plain"},
        // A member the user hid stays hidden when its group opens again.
        {"user hides qty, collapse, expand",
         [](TkDBGrid& g) {
             g.setColumnHidden(g.columnOfField("qty"), true);
             g.SetGroupCollapsed(0, true);
             g.SetGroupCollapsed(0, false);
         },
         {"qty"},
         true,
         "plain"},
        {"groups removed", [](TkDBGrid& g) { g.SetColumnGroups({}); }, {"qty"}, false, "plain"},
    };
    definePerson();
    const int plainHeight = grid.horizontalHeader()->height();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.step(grid);
        EXPECT_EQ(hidden(), c.hidden);
        EXPECT_EQ(grid.GroupBandShown(), c.band);
        EXPECT_EQ(grid.horizontalHeader()->height() > plainHeight, c.band);
        EXPECT_EQ(copyCell(0, "name"), c.copiedName);
    }
}

TEST_F(ColumnGroupsTest, CollapsedCellsAndRowCopiesShowTheGroupText) {
    definePerson();
    grid.SetFieldGroupsActive(true);
    grid.SetGroupCollapsed(0, true);
    // A record with empty members gives its master's text alone; a tab keeps the row copy quoted.
    EXPECT_EQ(copyCell(1, "name"), "tab\there");
    EXPECT_EQ(copyCell(2, "name"), "7, " + bornText(2));
    setCurrent(1, 0);
    run("acoCopyRow");
    EXPECT_EQ(clipboard(), "2\t\"tab\there\"\t\"say \"\"hi\"\"\"\r\n");
}

TEST_F(ColumnGroupsTest, MarkClickAndCtrlShiftG) {
    grid.SetColumnGroups({group("Person", {"name", "qty", "born"}, "qty")});
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    actions.RefreshAction();
    ASSERT_TRUE(act("accColumnGroupping")->isEnabled());
    EXPECT_FALSE(act("accColumnGroupping")->isChecked());
    QTest::keyClick(&grid, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(grid.FieldGroupsActive());
    actions.RefreshAction();
    EXPECT_TRUE(act("accColumnGroupping")->isChecked());
    // The group's columns were put side by side in the group's order.
    QHeaderView* h = grid.horizontalHeader();
    EXPECT_EQ(h->visualIndex(grid.columnOfField("qty")), 2);
    EXPECT_EQ(h->visualIndex(grid.columnOfField("born")), 3);
    EXPECT_EQ(h->visualIndex(grid.columnOfField("note")), 4);
    const QRect mark = grid.GroupMarkRect(0);
    ASSERT_TRUE(mark.isValid());
    EXPECT_GE(mark.left(), h->sectionViewportPosition(grid.columnOfField("qty"))); // over the master
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, mark.center());
    EXPECT_EQ(hidden(), (QStringList{"name", "born"}));
    // The band beside the mark and the titles below it do not toggle.
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(mark.right() + 20, mark.center().y()));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(mark.center().x(), h->height() - 3));
    EXPECT_EQ(hidden(), (QStringList{"name", "born"}));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, grid.GroupMarkRect(0).center());
    EXPECT_TRUE(hidden().isEmpty());
    QTest::keyClick(&grid, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(grid.FieldGroupsActive());
    EXPECT_FALSE(grid.GroupMarkRect(0).isValid());
}

TEST_F(ColumnGroupsTest, GroupDialogDefinesGroupsOnOkOnly) {
    {
        TkDBFieldsGroupForm form(&grid);
        EXPECT_FALSE(form.eName->isEnabled()); // no group yet
        QTest::mouseClick(form.btNew, Qt::LeftButton);
        EXPECT_EQ(form.lbFields->count(), 5);
        form.eName->clear();
        QTest::keyClicks(form.eName, "Person");
        EXPECT_EQ(form.lbGroups->item(0)->text(), "Person");
        // "name" and "qty" with the button, "born" by a drop from the other list.
        form.lbFields->item(1)->setSelected(true);
        form.lbFields->item(3)->setSelected(true);
        QTest::mouseClick(form.btAdd, Qt::LeftButton);
        EXPECT_EQ(form.groups()[0].Fields, (QStringList{"name", "qty"}));
        EXPECT_EQ(form.cbMaster->currentText(), "name");
        const QModelIndex born = form.lbFields->model()->index(2, 0);
        ASSERT_EQ(born.data().toString(), "born");
        std::unique_ptr<QMimeData> drag(form.lbFields->model()->mimeData({born}));
        // Dropped below the last entry; the drag then removes it from where it came from.
        ASSERT_TRUE(form.lbMembers->model()->dropMimeData(drag.get(), Qt::MoveAction, -1, -1, QModelIndex()));
        form.lbFields->model()->removeRow(2);
        EXPECT_EQ(form.groups()[0].Fields, (QStringList{"name", "qty", "born"}));
        EXPECT_EQ(form.lbFields->count(), 2);
        form.cbMaster->setCurrentIndex(2);
        EXPECT_EQ(form.groups()[0].Master, "born");
        EXPECT_TRUE(form.lbMembers->item(2)->font().bold());
        form.lbMembers->setCurrentRow(2);
        QTest::mouseClick(form.btUp, Qt::LeftButton);
        EXPECT_EQ(form.groups()[0].Fields, (QStringList{"name", "born", "qty"}));
        EXPECT_EQ(form.groups()[0].Master, "born");
        QTest::mouseClick(form.btCancel, Qt::LeftButton);
    }
    EXPECT_TRUE(grid.ColumnGroups().isEmpty());

    // An empty group is refused with the form left open; Ok then hands the groups over.
    TkDBFieldsGroupForm form(&grid);
    QTest::mouseClick(form.btNew, Qt::LeftButton);
    QTest::mouseClick(form.btOk, Qt::LeftButton);
    EXPECT_EQ(messages.log(), QStringList{"warning: Group \"Group 1\" has no columns."});
    EXPECT_TRUE(grid.ColumnGroups().isEmpty());
    form.lbFields->item(1)->setSelected(true);
    QTest::mouseClick(form.btAdd, Qt::LeftButton);
    form.lbFields->item(1)->setSelected(true); // "note"
    QTest::mouseClick(form.btAdd, Qt::LeftButton);
    form.chActive->setChecked(true);
    QTest::mouseClick(form.btOk, Qt::LeftButton);
    ASSERT_EQ(grid.ColumnGroups().Groups.size(), 1);
    EXPECT_EQ(grid.ColumnGroups().Groups[0].Fields, (QStringList{"name", "note"}));
    EXPECT_TRUE(grid.FieldGroupsActive());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(ColumnGroupsTest, GroupSettingsCommandAndTheColumnDialog) {
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    actions.RefreshAction();
    ASSERT_TRUE(act("accColumnGroups")->isEnabled());
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TkDBFieldsGroupForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        QTest::mouseClick(form->btNew, Qt::LeftButton);
        for (int i : {1, 3, 4})
            form->lbFields->item(i)->setSelected(true);
        QTest::mouseClick(form->btAdd, Qt::LeftButton);
        form->chActive->setChecked(true);
        QTest::mouseClick(form->btOk, Qt::LeftButton);
    });
    QTest::keyClick(&grid, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(grid.ColumnGroups().Groups.size(), 1);
    actions.RefreshAction();
    EXPECT_TRUE(act("accColumnGroupping")->isChecked());

    TkDBFieldsForm form(&grid, nullptr);
    EXPECT_FALSE(form.chGroupFields->isHidden());
    EXPECT_TRUE(form.chGroupFields->isChecked());
    QListWidgetItem* name = form.lbLabels->item(1);
    QListWidgetItem* qty = form.lbLabels->item(2);
    EXPECT_TRUE(name->font().bold());
    EXPECT_TRUE(qty->flags() & Qt::ItemIsEnabled);
    // Hiding the master collapses the group: its members are disabled and show no tick.
    name->setCheckState(Qt::Unchecked);
    EXPECT_EQ(hidden(), (QStringList{"name", "qty", "born"}));
    EXPECT_FALSE(qty->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(qty->checkState(), Qt::Unchecked);
    name->setCheckState(Qt::Checked);
    EXPECT_TRUE(qty->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(hidden(), (QStringList{"qty", "born"})); // still collapsed
    form.chGroupFields->setChecked(false);
    EXPECT_TRUE(hidden().isEmpty());
    EXPECT_EQ(form.lbLabels->item(2)->checkState(), Qt::Checked);
}
} // namespace
