// The test data generator window over a real SQLite database and the built sample-data database,
// headless, driven by keys and clicks, with the scripted message interface.
#include "gen_data_window.h"
#include "program_folder.h"
#include "progress.h"
#include "prop_save_file.h"
#include "scripted_messages.h"
#include "shell.h"
#include "sql_tool_host.h"
#include "sqltools_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Host : SqlToolHost {
    explicit Host(SqliteFixture& db) : db(db), qData(&db.connection) {
        store.FileName = db.dir.path("tabulo.ini");
        store.Loaded();
    }
    TPropSaveFile* settingsStore() override { return &store; }
    TADOConnection& connection() override { return db.connection; }
    TADOQuery& dataQuery() override { return qData; }
    QString tableName() const override { return table; }
    void dataQueryChanged() override { ++changed; }
    void load(const QString& name) {
        table = name;
        qData.Close();
        qData.SQL = QStringLiteral("SELECT * FROM \"%1\" ORDER BY id").arg(name);
        qData.Open();
    }
    SqliteFixture& db;
    TPropSaveFile store;
    TADOQuery qData;
    QString table;
    int changed = 0;
};

struct ProgressCount : IProgress {
    void update(const QString& text, int, const std::function<void()>& onAbort, QObject*) override {
        if (onAbort) ++generating;
    }
    int generating = 0;
};

class GenDataWindow : public ::testing::Test {
protected:
    GenDataWindow()
        : db("CREATE TABLE T (id INTEGER PRIMARY KEY, name VARCHAR(20), n INTEGER);"
             "CREATE TABLE Other (id INTEGER PRIMARY KEY, code TEXT);"
             "INSERT INTO Other (code) VALUES ('x'), ('y');"),
          host(db) {
        SetProgramFolder(ProgramDir());
        host.load("T");
        w = std::make_unique<TDlgGenData>(&host);
        w->show();
    }
    ~GenDataWindow() override {
        w.reset();
        SetProgramFolder(oldFolder);
    }
    QTableWidgetItem* item(int row, int col) { return w->sgGen->item(row - 1, col); }
    // Chooses a text in a cell's drop-down editor with the keyboard, as a user does.
    void choose(int row, int col, const QString& text) {
        w->sgGen->setCurrentCell(row - 1, col);
        QTest::keyClick(w->sgGen, Qt::Key_F2);
        auto* combo = w->sgGen->findChild<QComboBox*>("sgGenPicklist");
        ASSERT_TRUE(combo) << "no drop-down in column " << col;
        if (combo->isEditable()) {
            combo->lineEdit()->selectAll();
            QTest::keyClicks(combo->lineEdit(), text);
        } else {
            const int at = combo->findText(text);
            ASSERT_GE(at, 0) << text.toStdString();
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Home);
            for (int i = 0; i < at; ++i)
                QTest::keyClick(combo, Qt::Key_Down);
        }
        QTest::keyClick(combo, Qt::Key_Return);
        settle();
    }
    // The view commits an editor and deletes it through posted events.
    static void settle() {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void type(int row, int col, const QString& text) {
        w->sgGen->setCurrentCell(row - 1, col);
        QTest::keyClick(w->sgGen, Qt::Key_F2);
        auto* edit = w->sgGen->findChild<QLineEdit*>();
        ASSERT_TRUE(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        settle();
    }
    QStringList rowCells(int row) {
        QStringList out;
        for (int c = TDlgGenData::colField; c < TDlgGenData::colCount; ++c)
            out << item(row, c)->text();
        return out;
    }
    bool readOnly(int row, int col) {
        const bool locked = !(item(row, col)->flags() & Qt::ItemIsEditable);
        EXPECT_EQ(locked, item(row, col)->background() == w->palette().button()) << row << "," << col;
        return locked;
    }

    QString oldFolder = ProgramFolder();
    SettingsGuard settings;
    ScopedScriptedMessages messages;
    SqliteFixture db;
    Host host;
    std::unique_ptr<TDlgGenData> w;
};

TEST_F(GenDataWindow, ShowsTheFieldsOfTheLoadedTableAndTheDefaults) {
    EXPECT_EQ(w->windowTitle(), "Generate data");
    EXPECT_EQ(w->minimumSize(), QSize(600, 400));
    EXPECT_EQ(w->lblTableName->text(), "T");
    EXPECT_TRUE(w->lblTableName->font().bold());
    EXPECT_TRUE(w->rbUpdate->isChecked());
    EXPECT_EQ(w->rbUpdate->text(), "Update existning records");
    EXPECT_EQ(w->eRecNum->value(), 100);
    EXPECT_EQ(w->eRecNum->minimum(), 1);
    EXPECT_EQ(w->eRecNum->maximum(), 10000000);
    EXPECT_EQ(w->eRecNum->singleStep(), 100);
    EXPECT_FALSE(w->chAutoLoad->isChecked());
    EXPECT_FALSE(w->lblInfo->isVisible());
    ASSERT_EQ(w->sgGen->rowCount(), 3);
    EXPECT_EQ(rowCells(2), (QStringList{"name", "String", "", "", "", ""}));
    EXPECT_EQ(rowCells(3), (QStringList{"n", "Int", "", "", "", ""}));
    for (int c = TDlgGenData::colFixed; c < TDlgGenData::colCount; ++c)
        EXPECT_EQ(readOnly(1, c), c != TDlgGenData::colAction);
    EXPECT_TRUE(w->DemoTables.contains("People"));
    EXPECT_TRUE(w->DemoTables.contains("Products"));
    EXPECT_EQ(w->OwnTables, (QStringList{"Other", "T"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(GenDataWindow, EditingARowKeepsItConsistent) {
    choose(2, TDlgGenData::colAction, "next rec from demo db");
    EXPECT_TRUE(readOnly(2, TDlgGenData::colValue));
    EXPECT_FALSE(readOnly(2, TDlgGenData::colTable));
    EXPECT_EQ(w->sgGenPicklist(2, TDlgGenData::colTable), w->DemoTables);
    choose(2, TDlgGenData::colTable, "Cities");
    // The first field of the source table is taken; the field drop-down offers them all.
    EXPECT_EQ(item(2, TDlgGenData::colSourceField)->text(), "ID");
    EXPECT_EQ(w->sgGenPicklist(2, TDlgGenData::colSourceField),
              (QStringList{"ID", "City", "PostalCode", "Country"}));
    choose(2, TDlgGenData::colSourceField, "City");
    // Another demo action keeps the demo table; an own-database action drops it.
    choose(2, TDlgGenData::colAction, "random from demo db");
    EXPECT_EQ(rowCells(2), (QStringList{"name", "String", "random from demo db", "", "Cities", "City"}));
    choose(2, TDlgGenData::colAction, "random from own db");
    EXPECT_EQ(rowCells(2), (QStringList{"name", "String", "random from own db", "", "", ""}));
    EXPECT_EQ(w->sgGenPicklist(2, TDlgGenData::colTable), w->OwnTables);
    choose(2, TDlgGenData::colTable, "Other");
    EXPECT_EQ(item(2, TDlgGenData::colSourceField)->text(), "id");
    choose(2, TDlgGenData::colAction, "constant value");
    EXPECT_EQ(rowCells(2), (QStringList{"name", "String", "constant value", "", "", ""}));
    EXPECT_FALSE(readOnly(2, TDlgGenData::colValue));
    EXPECT_TRUE(readOnly(2, TDlgGenData::colTable));
    type(2, TDlgGenData::colValue, "abc");
    choose(2, TDlgGenData::colAction, "- none -");
    EXPECT_EQ(rowCells(2), (QStringList{"name", "String", "- none -", "", "", ""}));
    EXPECT_TRUE(readOnly(2, TDlgGenData::colValue));
}

TEST_F(GenDataWindow, InsertRunReportsAndShowsTheNextValue) {
    choose(2, TDlgGenData::colAction, "next rec from own db");
    choose(2, TDlgGenData::colTable, "Other");
    choose(2, TDlgGenData::colSourceField, "code");
    choose(3, TDlgGenData::colAction, "increment from");
    type(3, TDlgGenData::colValue, "100");
    QTest::mouseClick(w->rbInsert, Qt::LeftButton);
    w->eRecNum->setValue(25);
    ProgressCount progress;
    IProgress* prev = SetProgress(&progress);
    QTest::mouseClick(w->btGenerate, Qt::LeftButton);
    SetProgress(prev);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(progress.generating, 2);
    EXPECT_TRUE(w->lblInfo->isVisible());
    EXPECT_EQ(w->lblInfo->text(), "25 records added.");
    EXPECT_EQ(item(3, TDlgGenData::colValue)->text(), "125");
    EXPECT_EQ(host.changed, 1);
    EXPECT_EQ(ReadColumn(db.path, "SELECT n FROM T ORDER BY id LIMIT 3"), (QStringList{"100", "101", "102"}));
    EXPECT_EQ(ReadColumn(db.path, "SELECT name FROM T ORDER BY id LIMIT 3"), (QStringList{"x", "y", "x"}));
    EXPECT_EQ(ReadColumn(db.path, "SELECT count(*) FROM T"), QStringList{"25"});
    EXPECT_EQ(host.qData.RecordCount(), 25);
}

TEST_F(GenDataWindow, UpdateRunRewritesTheLoadedRecords) {
    db.connection.Execute("WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 50) "
                          "INSERT INTO T (id, n) SELECT i, 0 FROM k");
    host.load("T");
    w->hide();
    w->show();
    choose(3, TDlgGenData::colAction, "random (min..max)");
    type(3, TDlgGenData::colValue, "7..8");
    QTest::mouseClick(w->btGenerate, Qt::LeftButton);
    EXPECT_EQ(w->lblInfo->text(), "50 records updated.");
    EXPECT_EQ(ReadColumn(db.path, "SELECT DISTINCT n FROM T"), QStringList{"7"});
    EXPECT_EQ(ReadColumn(db.path, "SELECT count(*) FROM T"), QStringList{"50"});
}

TEST_F(GenDataWindow, AFailingRecordAsksWhetherToContinue) {
    choose(3, TDlgGenData::colAction, "constant value");
    type(3, TDlgGenData::colValue, "abc");
    QTest::mouseClick(w->rbInsert, Qt::LeftButton);
    messages.answers = {MsgAnswer::Yes, MsgAnswer::No}; // once more, then stop
    QTest::mouseClick(w->btGenerate, Qt::LeftButton);
    const QString error = "exception: Error description:\n'abc' is not a valid value for field 'n'";
    EXPECT_EQ(messages.log(), (QStringList{error, "question: Continue?", error, "question: Continue?"}));
    EXPECT_EQ(w->lblInfo->text(), "0 records added.");
    EXPECT_EQ(ReadColumn(db.path, "SELECT count(*) FROM T"), QStringList{"0"});

    // A range without room fails before anything is written.
    messages.clear();
    choose(3, TDlgGenData::colAction, "random (min..max)");
    type(3, TDlgGenData::colValue, "5..5");
    QTest::mouseClick(w->btGenerate, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, "error");
    EXPECT_TRUE(messages.shown[0].text.contains("the range \"5..5\" is empty"));
    EXPECT_FALSE(w->lblInfo->isVisible());
}

TEST_F(GenDataWindow, SettingsAreSavedPerTableAndComeBackOnlyWhenLoaded) {
    choose(3, TDlgGenData::colAction, "increment from");
    type(3, TDlgGenData::colValue, "103");
    QTest::mouseClick(w->btSaveSet, Qt::LeftButton);
    EXPECT_TRUE(host.store.SectionExists(db.connection.DefaultDatabase() + ".T.Actions"));
    // Showing again starts empty; "Load settings" brings the grid back.
    w->hide();
    w->show();
    EXPECT_EQ(item(3, TDlgGenData::colAction)->text(), "");
    QTest::mouseClick(w->btLoad, Qt::LeftButton);
    EXPECT_EQ(rowCells(3), (QStringList{"n", "Int", "increment from", "103", "", ""}));
    EXPECT_FALSE(readOnly(3, TDlgGenData::colValue));
    // Another table has settings of its own (none yet).
    w->hide();
    host.load("Other");
    w->show();
    QTest::mouseClick(w->btLoad, Qt::LeftButton);
    EXPECT_EQ(rowCells(2), (QStringList{"code", "String", "", "", "", ""}));
    // With "AutoLoad settings" a table's saved grid comes back on showing.
    w->hide();
    host.load("T");
    w->chAutoLoad->setChecked(true);
    w->show();
    EXPECT_EQ(item(3, TDlgGenData::colValue)->text(), "103");
}

TEST_F(GenDataWindow, AMissingSampleDatabaseLeavesTheWindowUsable) {
    TempDir empty;
    w->hide();
    SetProgramFolder(empty.path());
    w->show();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, "exception");
    EXPECT_EQ(messages.shown[0].heading,
              QStringLiteral("Connection to database \"%1/GenDemoData/DemoData.sqlite\" failed.")
                  .arg(empty.path()));
    EXPECT_TRUE(w->DemoTables.isEmpty());
    EXPECT_FALSE(w->DemoCon.Connected());
    QStringList opened;
    SetShellHandler([&](ShellVerb, const QString& path) {
        opened << path;
        return true;
    });
    QTest::mouseClick(w->btOpenDB, Qt::LeftButton);
    SetShellHandler(nullptr);
    EXPECT_EQ(opened, QStringList{empty.path() + "/GenDemoData/DemoData.sqlite"});
    w->hide();
    EXPECT_FALSE(w->DemoCon.Connected());
}
} // namespace
