// The import wizard, headless, page by page: a CSV file through the template connection files into a
// SQLite table, driven by clicks.
#include "import_wizard.h"

#include "scripted_messages.h"
#include "test_util.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Wizard : ::testing::Test {
    TempDir dir;
    TADOConnection con;
    TADOQuery target{&con};
    ScopedScriptedMessages messages;
    void SetUp() override {
        con.ConnectionString =
            "Provider=SQLite;Data Source=" +
            MakeSqliteDb(dir.path("t.db"), "CREATE TABLE items (id INTEGER PRIMARY KEY, Code VARCHAR(10),"
                                           " name VARCHAR(8), qty INTEGER);"
                                           "INSERT INTO items (Code, name, qty) VALUES ('A', 'Alpha', 1);");
        con.Open();
        target.SQL = "SELECT * FROM items";
        target.Open();
        WriteFile(dir.path("in.csv"), "code,name,qty\nA,Alpha,9\nZ,Zulu,3\n");
    }
    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QString stored() {
        TADOConnection other;
        other.ConnectionString = con.ConnectionString;
        other.Open();
        TADOQuery q(&other);
        q.SQL = "SELECT Code, name, qty FROM items ORDER BY id";
        q.Open();
        QStringList rows;
        for (q.First(); !q.Eof(); q.Next())
            rows << q.Fields(0)->AsString() + "," + q.Fields(1)->AsString() + "," + q.Fields(2)->AsString();
        return rows.join(" ");
    }
};
} // namespace

TEST_F(Wizard, PageByPageFromCsv) {
    TkDBImportForm form;
    form.UDLPath = QString(TABULO_PROGRAM_DIR) + "/udl_import";
    form.setTarget(&target);
    form.setBackupEnabled(false);
    EXPECT_FALSE(form.chBackup->isEnabled());
    EXPECT_FALSE(form.chBackup->isChecked());
    form.show();

    // Page 0: no source yet.
    click(form.btNext);
    EXPECT_EQ(form.page(), 0);
    EXPECT_EQ(messages.log().join("\n"),
              "exception: Error description:\nSelect and open table with data to import.");
    messages.clear();
    ASSERT_TRUE(form.OpenSourceFile(dir.path("in.csv"))) << form.mConInfo->toPlainText().toStdString();
    EXPECT_EQ(form.cbTable->currentText(), "in.csv");
    EXPECT_TRUE(form.eSelectCmd->text().startsWith("SELECT * FROM "))
        << form.eSelectCmd->text().toStdString();
    EXPECT_TRUE(form.eSelectCmd->text().endsWith(" WHERE 1=1"));

    // Page 1: rows preselected by name (Code ~ code); the id row has no source.
    click(form.btNext);
    ASSERT_EQ(form.page(), 1);
    ASSERT_EQ(form.mapBoxes.size(), 4u);
    EXPECT_EQ(form.mapBoxes[0]->currentText(), "");
    EXPECT_EQ(form.mapBoxes[1]->currentText(), "code");
    EXPECT_EQ(form.mapBoxes[2]->currentText(), "name");
    EXPECT_EQ(form.compareBoxes[1]->currentText(), "");
    EXPECT_FALSE(form.sb2Box->isVisible());
    form.tabFields->setCurrentIndex(1);
    click(static_cast<QRadioButton*>(form.rgTyp->button(2)));
    EXPECT_TRUE(form.sb2Box->isVisibleTo(&form));
    form.compareBoxes[1]->setCurrentText("code");
    form.mCalc->setPlainText("name=Left(2)\nname=Lft(1)");
    click(form.btCheckCalc);
    EXPECT_EQ(messages.log().join("\n"),
              "error: Calculation definition contains errors. Invalid rows will be "
              "ignored.\nUnknown command \"Lft\" in row no. 2");
    messages.clear();
    form.mCalc->setPlainText("name=Left(2)");
    click(form.btCheckCalc);
    EXPECT_EQ(messages.log().join("\n"), "information: Ok");
    messages.clear();

    // The settings file keeps the page.
    form.SaveSettings(dir.path("w.imp"));
    form.mCalc->clear();
    form.LoadSettings(dir.path("w.imp"));
    EXPECT_EQ(form.mCalc->toPlainText(), "name=Left(2)");
    EXPECT_EQ(form.rgTyp->checkedId(), 2);

    // Page 2: the check, then the run.
    click(form.btNext);
    ASSERT_EQ(form.page(), 2);
    EXPECT_TRUE(form.lInfoBefore->text().contains("Expecting number of added records: 1"))
        << form.lInfoBefore->text().toStdString();
    EXPECT_TRUE(form.lInfoBefore->text().contains("Number of updated records: 1"));
    click(form.btRun);
    EXPECT_TRUE(form.Imported);
    EXPECT_TRUE(form.lInfoPost->text().contains("Number of updated records: 1"))
        << form.lInfoPost->text().toStdString();
    EXPECT_TRUE(form.mErr->toPlainText().contains("To import in total: 2, added: 1, edited: 1"));
    EXPECT_EQ(form.mLog->toPlainText(), "Record: Code = A\nUpdated values: name: Alpha => Al; qty: 1 => 9; ");
    EXPECT_EQ(stored(), "A,Al,9 Z,Zu,3");
    EXPECT_TRUE(messages.shown.empty());

    // Mapping list commands on the focused row: down shifts the rows below, up the rows from it.
    click(form.btPrev);
    ASSERT_EQ(form.page(), 1);
    const auto texts = [&] {
        QStringList t;
        for (QComboBox* cb : form.mapBoxes)
            t << cb->currentText();
        return t.join("|");
    };
    form.btNext->setFocus();
    click(form.btDown);
    EXPECT_EQ(messages.log().join("\n"), "warning: Place cursor to combobox witch should me moved as first.");
    messages.clear();
    form.mapBoxes[1]->setFocus();
    click(form.btDown);
    EXPECT_EQ(texts(), "||code|name");
    form.mapBoxes[3]->setFocus();
    click(form.btUp);
    EXPECT_EQ(texts(), "||name|");
    form.mapBoxes[0]->setFocus();
    click(form.btUp);
    EXPECT_EQ(texts(), "||name|");
    EXPECT_EQ(messages.log().join("\n"), "information: Ok\ninformation: Ok\ninformation: Ok");
    messages.clear();
    click(form.btClear);
    EXPECT_EQ(texts(), "|||");

    // No mapping: the page stays.
    click(form.btNext);
    EXPECT_EQ(form.page(), 1);
    EXPECT_EQ(messages.log().join("\n"), "exception: Error description:\nSelect fields to import.");
}

TEST_F(Wizard, UnattendedRunFromSettingsLines) {
    TADOConnection srcCon;
    srcCon.ConnectionString = "Provider=SQLite;Data Source=" +
                              MakeSqliteDb(dir.path("s.db"), "CREATE TABLE s (code TEXT, qty INTEGER);"
                                                             "INSERT INTO s VALUES ('A', 5), ('B', 6);");
    srcCon.Open();
    TADOQuery source(&srcCon);
    source.SQL = "SELECT * FROM s";
    source.Open();
    ImportSettings s;
    s.type = ImportType::Update;
    s.map = {{"qty", "qty"}};
    s.compare = {{"Code", "code"}};
    QStringList lines = ImportSettingsLines(s, target);
    QStringList log;
    bool backupAsked = false;
    EXPECT_TRUE(RunDBImport(
        2, &target, &source,
        [&](const QString& line, int level, bool&) { log << QString::number(level) + ":" + line; },
        [&](bool& go) { backupAsked = go = true; }, nullptr, dir.path(), &lines));
    EXPECT_TRUE(backupAsked);
    EXPECT_TRUE(log.contains("6:#RESULT#: Total=2;Add=0;Edit=1;Same=0;Skip=1;Error=0;Warning=0;"))
        << log.join("\n").toStdString();
    EXPECT_EQ(stored(), "A,Alpha,5");
    // A closed target: nothing happens.
    target.Close();
    EXPECT_FALSE(RunDBImport(2, &target, &source, nullptr, nullptr, nullptr, dir.path(), &lines));
}
