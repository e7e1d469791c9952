// The grid action set: state rules from the command and grid tags, record commands checked in the
// database, and the save question of "Close".
#include "grid_action_fixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace {
QStringList enabledOf(TkDBAction& a, const QStringList& names) {
    QStringList on;
    for (const QString& n : names)
        if (a[n]->isEnabled()) on << n;
    return on;
}
} // namespace

TEST_F(GridActionTest, StatesFollowTheDataSetState) {
    const QStringList probe{"aceEdit",     "aceAdd",     "aceDuplic",   "aceDelete",
                            "aceSave",     "aceSaveAdd", "aceCancel",   "acePasteUpdate",
                            "acePasteAdd", "acoCopyAll", "acoCopyCell", "accWidthAuto"};
    actions.RefreshAction();
    EXPECT_EQ(enabledOf(actions, probe),
              QStringList({"aceEdit", "aceAdd", "aceDuplic", "aceDelete", "acePasteUpdate", "acePasteAdd",
                           "acoCopyAll", "acoCopyCell", "accWidthAuto"}));
    EXPECT_EQ(act("aceEdit")->shortcut(), QKeySequence(Qt::Key_F2));

    q.Edit();
    actions.RefreshAction();
    EXPECT_EQ(enabledOf(actions, probe), QStringList({"aceSave", "aceSaveAdd", "aceCancel"}));
    EXPECT_TRUE(act("aceEdit")->shortcut().isEmpty());             // F2 goes to the cell editor
    EXPECT_EQ(act("acoCopyAll")->shortcut(), QKeySequence());      // no designed shortcut
    EXPECT_EQ(act("aceSave")->shortcut(), QKeySequence("Ctrl+S")); // disabled by state only keeps its key
    q.Cancel();

    // An empty table: new records and pasting new ones only.
    q.Close();
    q.SQL = "SELECT * FROM t WHERE id < 0";
    q.Open();
    actions.RefreshAction();
    EXPECT_EQ(enabledOf(actions, probe),
              QStringList({"aceAdd", "acePasteAdd", "acoCopyAll", "acoCopyCell", "accWidthAuto"}));
    // Inserting the first record: saving is possible.
    q.Append();
    actions.RefreshAction();
    EXPECT_TRUE(act("aceSave")->isEnabled());
    q.Cancel();

    // Without a grid everything is off and the four submenus are hidden.
    actions.SetActiveGrid(nullptr);
    EXPECT_TRUE(enabledOf(actions, actions.names()).isEmpty());
    for (QMenu* m : {actions.miRecord, actions.miSort, actions.miFilter, actions.miColumns})
        EXPECT_FALSE(m->menuAction()->isVisible()) << m->objectName().toStdString();
}

TEST_F(GridActionTest, CommandTagsPackStatesAndRightsLevels) {
    // The Tag of a command: its disabling dataset states in the two lowest digits, the rights level in
    // the hundreds (Edit commands) or the thousands (the others); 0 leaves the state to the program.
    const std::pair<const char*, int> cases[] = {
        {"acoCopyCell", 49}, {"aceEdit", 355},     {"aceAdd", 251},    {"aceDuplic", 255},
        {"aceDelete", 455},  {"aceSave", 215},     {"aceCancel", 215}, {"acoExport", 1049},
        {"acoClose", 48},    {"aceAutoEdit", 351}, {"acoImport", 0},   {"aceView", 0},
        {"acsSort1", 49},
    };
    for (const auto& [name, tag] : cases)
        EXPECT_EQ(actions.tag(name), tag) << name;
}

TEST_F(GridActionTest, GridTagAndRightsSwitchCommandsOff) {
    // A sort command built elsewhere, with a state function of its own.
    bool sortState = true;
    int sorted = 0;
    actions.setHandler(
        "acsSort1", [&](TkDBGrid*) { ++sorted; }, [&](TkDBGrid*) { return sortState; });

    grid.Tag = 128; // the main window's grid
    actions.RefreshAction();
    EXPECT_FALSE(act("acoClose")->isVisible());
    EXPECT_TRUE(act("acoClose")->shortcut().isEmpty());
    for (const QString& n : actions.names())
        if (n != "acoClose") {
            EXPECT_TRUE(actions[n]->isVisible()) << n.toStdString();
        }
    EXPECT_TRUE(act("acsSort1")->isEnabled());
    run("acsSort1");
    EXPECT_EQ(sorted, 1);
    sortState = false;
    actions.RefreshAction();
    EXPECT_FALSE(act("acsSort1")->isEnabled());
    sortState = true;

    // A read-only grid: no editing and no "Record" submenu; sorting stays.
    grid.ReadOnly = true;
    actions.RefreshAction();
    for (const QString& n : actions.names())
        if (actions.category(n) == "Edit") {
            EXPECT_FALSE(actions[n]->isEnabled()) << n.toStdString();
        }
    EXPECT_FALSE(actions.miRecord->menuAction()->isVisible());
    EXPECT_TRUE(actions.miSort->menuAction()->isVisible());
    EXPECT_TRUE(act("acsSort1")->isEnabled());
    grid.ReadOnly = false;

    // Tag bits: sorting off with its submenu and keys; single commands hidden.
    grid.Tag = 2 | 256 | 8192;
    actions.RefreshAction();
    EXPECT_FALSE(act("acsSort1")->isEnabled());
    EXPECT_TRUE(act("acsSort1")->shortcut().isEmpty());
    EXPECT_FALSE(actions.miSort->menuAction()->isVisible());
    EXPECT_FALSE(act("aceDuplic")->isVisible());
    EXPECT_TRUE(act("aceDuplic")->shortcut().isEmpty());
    EXPECT_FALSE(act("aceAutoEdit")->isVisible());
    EXPECT_TRUE(act("acoClose")->isVisible());
    grid.Tag = 0;

    // Rights: Delete needs level 4 for editing, New level 2.
    actions.URightsEdit = 3;
    actions.RefreshAction();
    EXPECT_FALSE(act("aceDelete")->isEnabled());
    EXPECT_TRUE(act("aceAdd")->isEnabled());
    actions.URightsEdit = 9;

    // Tag 0: the application decides, only with an active grid.
    actions.OnGetOtherActionState = [this](TkDBAction*, QAction* a, TkDBGrid* g, bool& enabled) {
        enabled = a == act("acoImport") && g == &grid;
    };
    actions.RefreshAction();
    EXPECT_TRUE(act("acoImport")->isEnabled());
    EXPECT_FALSE(act("acoBatchEdit")->isEnabled());
}

TEST_F(GridActionTest, EditSaveAndCancelReachTheDatabase) {
    setCurrent(0, 1);
    run("aceEdit");
    ASSERT_EQ(q.State(), dsEdit);
    q.FieldByName("name")->setAsString("edited");
    run("aceSave");
    EXPECT_EQ(q.State(), dsBrowse);
    EXPECT_EQ(table().first(), "1|edited|line 1\nline 2|5|2020-01-02");

    run("aceEdit");
    q.FieldByName("qty")->setAsInteger(99);
    run("aceCancel");
    EXPECT_EQ(q.FieldByName("qty")->AsInteger(), 5);
    EXPECT_EQ(table().first(), "1|edited|line 1\nline 2|5|2020-01-02");

    // New from the third column: the first column becomes current, the record goes to the end.
    setCurrent(1, 2);
    run("aceAdd");
    ASSERT_EQ(q.State(), dsInsert);
    EXPECT_EQ(grid.currentIndex().column(), 0);
    q.FieldByName("name")->setAsString("added");
    run("aceSaveAdd"); // saved, and the next new record is open
    EXPECT_EQ(q.State(), dsInsert);
    EXPECT_EQ(table().last(), "4|added|~|~|~");
    run("aceCancel");
    EXPECT_EQ(table().size(), 4);

    // A failing save keeps the record in edit and shows the database's message.
    run("aceEdit");
    q.FieldByName("qty")->setAsInteger(-1);
    run("aceSave");
    EXPECT_EQ(q.State(), dsEdit);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().kind, "error");
    EXPECT_TRUE(messages.shown.back().text.contains("CHECK", Qt::CaseInsensitive))
        << messages.log().join('\n').toStdString();
    q.Cancel();
}

TEST_F(GridActionTest, PendingEditIsSavedCancelledOrKeptByTheAnswer) {
    struct Case {
        MsgAnswer answer;
        bool done;    // no edit remains
        QString name; // in the database afterwards
    };
    for (const Case& c : {Case{MsgAnswer::Cancel, false, "plain"}, Case{MsgAnswer::No, true, "plain"},
                          Case{MsgAnswer::Yes, true, "saved"}}) {
        setCurrent(0, 1);
        run("aceEdit");
        q.FieldByName("name")->setAsString("saved");
        messages.answers = {c.answer};
        messages.clear();
        EXPECT_EQ(actions.CheckEditState(true), c.done);
        EXPECT_EQ(messages.log(), QStringList("question: Save changes?"));
        EXPECT_EQ(table().first().section('|', 1, 1), c.name);
        q.Cancel();
    }
    // Close is for a browsing grid and closes its window.
    run("aceEdit");
    actions.RefreshAction();
    EXPECT_FALSE(act("acoClose")->isEnabled());
    q.Cancel();
    run("acoClose");
    EXPECT_FALSE(grid.isVisible());
}

TEST_F(GridActionTest, DuplicateCopiesTaggedFieldsRightAfterTheRecord) {
    q.FieldByName("note")->Tag = 0; // not copied
    setCurrent(0, 3);
    run("aceDuplic");
    ASSERT_EQ(q.State(), dsInsert);
    EXPECT_EQ(grid.currentIndex().column(), 0);
    run("aceSave");
    // The copy sits right after the original, with a key of its own and no note.
    EXPECT_EQ(q.RecNo(), 2);
    EXPECT_EQ(q.FieldByName("name")->AsString(), "plain");
    EXPECT_EQ(table("SELECT * FROM t WHERE id = 4"), QStringList("4|plain|~|5|2020-01-02"));

    // From the last record the copy is appended.
    q.Last();
    run("aceDuplic");
    run("aceSave");
    EXPECT_EQ(q.RecNo(), q.RecordCount());
    EXPECT_EQ(table("SELECT * FROM t WHERE id = 5"), QStringList("5|~|~|7|1999-12-31"));
}

TEST_F(GridActionTest, DeleteRemovesTheSelectedRecordsAfterConfirmation) {
    for (int row : {0, 2}) {
        q.setRecNo(row + 1);
        grid.SelectCurrent(true);
    }
    messages.answers = {MsgAnswer::No};
    run("aceDelete");
    EXPECT_EQ(table().size(), 3);
    messages.answers = {MsgAnswer::Yes};
    run("aceDelete");
    EXPECT_EQ(messages.log(), QStringList({"question: Delete all selected records?",
                                           "question: Delete all selected records?"}));
    EXPECT_EQ(table(), QStringList("2|tab\there|say \"hi\"|~|~"));
    EXPECT_EQ(q.RecordCount(), 1);
}

TEST_F(GridActionTest, PopupMenuFollowsTheGridAndAutoEditToggles) {
    actions.AttachGrid(&grid);
    EXPECT_EQ(grid.PopupMenu, actions.pmDBAction);
    TkDBGrid other;
    actions.SetActiveGrid(&other);
    actions.PopupFor(&grid, QPoint(10, 10));
    EXPECT_EQ(actions.GetActiveGrid(), &grid);
    actions.pmDBAction->hide();

    EXPECT_TRUE(act("aceAutoEdit")->isChecked());
    run("aceAutoEdit");
    EXPECT_FALSE(source.AutoEdit);
    EXPECT_FALSE(act("aceAutoEdit")->isChecked());
    // Typing no longer opens a cell editor; with the flag back on it does.
    setCurrent(0, 1);
    QTest::keyClick(&grid, Qt::Key_Z);
    EXPECT_TRUE(grid.viewport()->findChildren<QLineEdit*>().isEmpty());
    run("aceAutoEdit");
    QTest::keyClick(&grid, Qt::Key_Z);
    EXPECT_FALSE(grid.viewport()->findChildren<QLineEdit*>().isEmpty());
}
