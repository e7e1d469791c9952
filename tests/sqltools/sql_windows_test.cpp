// The script generator window and the SQL command window over a real SQLite database, headless,
// with the scripted message interface.
#include "connection.h"
#include "html_label.h"
#include "progress.h"
#include "prop_save_file.h"
#include "prop_save_main.h"
#include "query.h"
#include "script_window.h"
#include "scripted_messages.h"
#include "sql_highlighter.h"
#include "sql_tool_host.h"
#include "sql_window.h"
#include "sqltools_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {
const char* kDb = "CREATE TABLE \"Order Details\" (id INTEGER PRIMARY KEY, Name TEXT, \"Unit Price\" REAL);"
                  "INSERT INTO \"Order Details\" VALUES (1, 'b', 2.5), (2, 'a', 1), (3, 'O''c', NULL);"
                  "CREATE TABLE Customers (id INTEGER, city TEXT);"
                  "CREATE VIEW Cheap AS SELECT * FROM \"Order Details\" WHERE \"Unit Price\" < 2;";

struct TestHost : SqlToolHost {
    explicit TestHost(SqliteFixture& db) : db(db), qData(&db.connection) { noStore.DisableAll = true; }
    TPropSaveFile* settingsStore() override { return &noStore; }
    TADOConnection& connection() override { return db.connection; }
    TADOQuery& dataQuery() override { return qData; }
    QString tableName() const override { return table; }
    void clearTableSelection() override {
        table.clear();
        ++cleared;
    }
    void load(const QString& name) {
        table = name;
        qData.Close();
        qData.SQL = QStringLiteral("SELECT * FROM \"%1\" ORDER BY id").arg(name);
        qData.Open();
    }
    SqliteFixture& db;
    TPropSaveFile noStore; // the windows read and write nothing
    TADOQuery qData;
    QString table;
    int cleared = 0;
};

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void check(QListWidget* list, const QStringList& names) {
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(names.contains(list->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
}

class ScriptWindow : public ::testing::Test {
protected:
    ScriptWindow() : db(kDb), host(db), w(&host) {
        host.load("Order Details");
        w.show();
    }
    SettingsGuard settings;
    ScopedScriptedMessages messages;
    SqliteFixture db;
    TestHost host;
    TScript w;
};

TEST_F(ScriptWindow, ShowOffersPlainAndMemoFieldsAllValuesNoKeys) {
    EXPECT_EQ(texts(w.chbFldList), (QStringList{"id", "Name", "Unit Price"}));
    EXPECT_EQ(texts(w.chbKeyFldList), texts(w.chbFldList));
    for (int i = 0; i < w.chbFldList->count(); ++i) {
        EXPECT_EQ(w.chbFldList->item(i)->checkState(), Qt::Checked);
        EXPECT_EQ(w.chbKeyFldList->item(i)->checkState(), Qt::Unchecked);
    }
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Generate SQL script"));
    EXPECT_TRUE(w.rbInsert->isChecked());
    EXPECT_TRUE(w.chCopy->isChecked());
    EXPECT_FALSE(w.chGenDelAll->isChecked());
    EXPECT_FALSE(w.chGenIdInsert->isChecked());
    EXPECT_EQ(w.cbAdd->currentText(), QString());
    EXPECT_EQ(w.cbAdd->itemText(0), QStringLiteral("#13#10 GO"));
}

TEST_F(ScriptWindow, InsertScriptFollowsSortAndFilterAndIsCopied) {
    host.qData.setSort("Name");
    host.qData.setFilter("id <> 3");
    host.qData.setFiltered(true);
    check(w.chbKeyFldList, {"id"});
    w.cbAdd->setEditText("#13#10 GO");
    QApplication::clipboard()->clear();
    w.btGenClick();
    const QString expected =
        "INSERT INTO \"Order Details\" (\"Name\", \"Unit Price\") \nVALUES ('a', 1);\n GO\n"
        "INSERT INTO \"Order Details\" (\"Name\", \"Unit Price\") \nVALUES ('b', 2.5);\n GO\n";
    EXPECT_EQ(w.mSQL->toPlainText(), expected);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScriptWindow, ReopenedForAnotherTableShowsThatTable) {
    w.btGenClick();
    ASSERT_FALSE(w.mSQL->toPlainText().isEmpty());
    w.hide();
    w.show(); // the same rows: the script stays
    EXPECT_FALSE(w.mSQL->toPlainText().isEmpty());
    w.hide();
    db.connection.Execute("INSERT INTO Customers VALUES (1, 'x')");
    host.table = "Customers";
    host.qData.Close();
    host.qData.SQL = "SELECT * FROM Customers";
    host.qData.Open();
    w.show();
    EXPECT_EQ(w.mSQL->toPlainText(), QString());
    EXPECT_EQ(texts(w.chbFldList), (QStringList{"id", "city"}));
}

struct WarningCase {
    bool update;
    QStringList values, keys;
    const char* warning;
};

TEST_F(ScriptWindow, SelectionsThatCannotMakeAScriptWarn) {
    const WarningCase cases[] = {
        {true, {"Name"}, {}, "Select at least one Key field for UPDATE script."},
        {false, {}, {"id"}, "Select at least one Value field to include in script."},
        {true, {}, {"id"}, "Select at least one Value field to include in script."},
    };
    for (const WarningCase& c : cases) {
        messages.clear();
        w.mSQL->setPlainText("old");
        (c.update ? w.rbUpdate : w.rbInsert)->setChecked(true);
        check(w.chbFldList, c.values);
        check(w.chbKeyFldList, c.keys);
        w.btGenClick();
        EXPECT_EQ(messages.log(), QStringList{QStringLiteral("warning: ") + c.warning});
        EXPECT_EQ(w.mSQL->toPlainText(), QString());
    }
}

struct AbortAtFirstUpdate : IProgress {
    void update(const QString& text, int, const std::function<void()>& onAbort, QObject*) override {
        if (!text.isEmpty() && onAbort) {
            ++updates;
            onAbort();
        }
    }
    int updates = 0;
};

TEST_F(ScriptWindow, ALongRunCanBeAbortedKeepingWhatWasWritten) {
    db.connection.Execute("WITH RECURSIVE n(i) AS (SELECT 4 UNION ALL SELECT i + 1 FROM n WHERE i < 6003) "
                          "INSERT INTO \"Order Details\" (id, Name) SELECT i, 'n' FROM n");
    host.load("Order Details");
    AbortAtFirstUpdate progress;
    IProgress* prev = SetProgress(&progress);
    QApplication::clipboard()->setText("before");
    w.btGenClick();
    SetProgress(prev);
    EXPECT_EQ(progress.updates, 1);
    EXPECT_EQ(w.mSQL->document()->blockCount(), 500 * 2 + 1); // two lines a statement, then an empty one
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScriptWindow, ChoicesAreSavedButNotTheFields) {
    TempDir dir;
    TPropSaveFile store;
    store.FileName = dir.path("tabulo.ini");
    store.Loaded();
    struct StoreHost : TestHost {
        using TestHost::TestHost;
        TPropSaveFile* settingsStore() override { return store; }
        TPropSaveFile* store = nullptr;
    } storeHost(db);
    storeHost.store = &store;
    {
        TScript first(&storeHost);
        first.rbUpdate->setChecked(true);
        first.chCopy->setChecked(false);
        first.chGenDelAll->setChecked(true);
        first.cbAdd->setEditText("#13#10 GO");
    }
    TScript second(&storeHost);
    EXPECT_TRUE(second.rbUpdate->isChecked());
    EXPECT_FALSE(second.chCopy->isChecked());
    EXPECT_TRUE(second.chGenDelAll->isChecked());
    EXPECT_FALSE(second.chGenIdInsert->isChecked());
    EXPECT_EQ(second.cbAdd->currentText(), QString());
}

// The colours of a text in a highlighted document, one letter per character: b(lue), g(ray), r(ed), - (none).
QString colours(const QString& text, const std::function<void(SqlHighlighter&)>& setup) {
    QTextDocument doc;
    SqlHighlighter h(&doc);
    setup(h);
    doc.setPlainText(text);
    h.rehighlight();
    QString out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString line(b.length() - 1, '-');
        for (const QTextLayout::FormatRange& r : b.layout()->formats()) {
            const QColor c = r.format.foreground().color();
            const QChar mark = c == QColor(Qt::blue)   ? 'b'
                               : c == QColor(Qt::gray) ? 'g'
                               : c == QColor(Qt::red)  ? 'r'
                                                       : '?';
            for (int i = r.start; i < r.start + r.length; ++i)
                line[i] = mark;
        }
        out += (out.isEmpty() ? "" : "|") + line;
    }
    return out;
}

TEST(SqlHighlight, WordsWholeAndCaseFreeStringsRedAcrossLines) {
    auto script = [](SqlHighlighter& h) {
        h.addWords({"INSERT", "INTO", "VALUES", "SET"}, Qt::blue);
        h.addWords({"null"}, Qt::gray);
        h.setStringColor(Qt::red);
    };
    EXPECT_EQ(colours("insert INTO t VALUES ('a', NULL)", script), "bbbbbb-bbbb---bbbbbb--rrr--gggg-");
    EXPECT_EQ(colours("SETTING set_x nulls", script), "-------------------");
    EXPECT_EQ(colours("'a\nb' x", script), "rr|rr--");
}

class SqlWindow : public ::testing::Test {
protected:
    SqlWindow() : db(kDb), host(db), w(&host) { w.FormActivate(); }
    void selectTable(const QString& name) {
        const auto found = w.lbTables->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        w.lbTables->setCurrentItem(found[0]);
    }
    void selectFields(const QStringList& names) {
        for (int i = 0; i < w.lbFields->count(); ++i)
            w.lbFields->item(i)->setSelected(names.contains(w.lbFields->item(i)->text()));
    }
    void selectTemplate(const QString& text) {
        w.lbCmd->setCurrentItem(w.lbCmd->findItems(text, Qt::MatchExactly).value(0));
    }
    SettingsGuard settings;
    ScopedScriptedMessages messages;
    SqliteFixture db;
    TestHost host;
    TDlgGenSQL w;
};

TEST_F(SqlWindow, ListsTablesViewsAndColumnsAndFilters) {
    EXPECT_EQ(w.windowTitle(), QStringLiteral("SQL command generator"));
    EXPECT_EQ(w.minimumSize(), QSize(720, 540));
    EXPECT_EQ(w.mTables, (QStringList{"Customers", "Order Details"}));
    EXPECT_EQ(w.mQueries, QStringList{"Cheap"});
    EXPECT_EQ(texts(w.lbTables), w.mTables);
    w.pc->setCurrentIndex(1);
    EXPECT_EQ(texts(w.lbTables), QStringList{"Cheap"});
    w.pc->setCurrentIndex(0);

    // Typing waits for the timer; the clear button filters at once.
    w.eFind->setText("ORDER");
    w.eFindChange();
    EXPECT_TRUE(w.Timer1.isActive());
    EXPECT_EQ(w.Timer1.interval(), 500);
    EXPECT_EQ(texts(w.lbTables).size(), 2);
    w.Timer1Timer();
    EXPECT_EQ(texts(w.lbTables), QStringList{"Order Details"});
    w.eFindRightButtonClick();
    EXPECT_EQ(w.eFind->text(), QString());
    EXPECT_EQ(texts(w.lbTables).size(), 2);
    EXPECT_FALSE(w.Timer1.isActive());

    selectTable("Order Details");
    EXPECT_EQ(w.SelTbl, QStringLiteral("Order Details"));
    EXPECT_EQ(texts(w.lbFields), (QStringList{"*", "id", "Name", "Unit Price"}));
    EXPECT_EQ(w.lbFields->currentRow(), 0);

    // Showing the window fills it, whether or not it gets activated.
    TDlgGenSQL shown(&host);
    shown.show();
    EXPECT_EQ(texts(shown.lbTables), w.mTables);
}

TEST_F(SqlWindow, InsertionsReplaceTheSelectionEndingInABlank) {
    selectTable("Order Details");
    selectFields({"Name", "Unit Price"});
    selectTemplate("SELECT <Fields> FROM <Table>");
    w.btAddCmdClick();
    EXPECT_EQ(w.mSQL->toPlainText(),
              QStringLiteral("SELECT \"Name\", \"Unit Price\" FROM \"Order Details\" "));

    w.chNewLine->setChecked(true);
    selectTemplate("ORDER BY <Table>.<Field>");
    w.btAddCmdClick();
    w.btAddTblClick();
    EXPECT_EQ(
        w.mSQL->toPlainText(),
        QStringLiteral("SELECT \"Name\", \"Unit Price\" FROM \"Order Details\" "
                       "ORDER BY \"Order Details\".\"Name\" ORDER BY \"Order Details\".\"Unit Price\" \n"
                       "\"Order Details\" \n"));
    w.btUndoClick();
    EXPECT_FALSE(w.mSQL->toPlainText().endsWith("\"Order Details\" \n\"Order Details\" \n"));

    w.mSQL->selectAll();
    w.chNewLine->setChecked(false);
    w.btAddFldClick();
    EXPECT_EQ(w.mSQL->toPlainText(), QStringLiteral("\"Name\", \"Unit Price\" "));
    w.btClearClick();
    EXPECT_EQ(w.mSQL->toPlainText(), QString());
}

TEST_F(SqlWindow, EditedTemplatesReplaceTheList) {
    QString shown;
    w.OnEditTemplates = [&](TDlgEditMemo& dlg) {
        shown = dlg.Memo->toPlainText();
        dlg.Memo->setPlainText("SELECT 1 FROM <Table>\n\nDELETE FROM <Table>\n");
        return int(QDialog::Accepted);
    };
    w.kHTMLLabel4AnchorClick();
    EXPECT_EQ(shown.split('\n').size(), 13);
    EXPECT_EQ(texts(w.lbCmd), (QStringList{"SELECT 1 FROM <Table>", "DELETE FROM <Table>"}));
    w.OnEditTemplates = [](TDlgEditMemo& dlg) {
        dlg.Memo->setPlainText("x");
        return int(QDialog::Rejected);
    };
    w.kHTMLLabel4AnchorClick();
    EXPECT_EQ(w.lbCmd->count(), 2);
}

struct RunCase {
    const char* text;
    bool opensQuery;
    const char* info;
};

TEST_F(SqlWindow, QueriesOpenInTheGridScriptsRunInBatches) {
    const RunCase cases[] = {
        {"select * from \"Order Details\"", true, "Ok<BR>3 records"},
        {"select\n* from \"Order Details\" where id > 1", true, "Ok<BR>2 records"},
        {"\n\nWITH x AS (SELECT 1) SELECT * FROM x", true, "Ok<BR>1 records"},
        {"INSERT INTO Customers VALUES (1, 'a')\ngo\nINSERT INTO Customers VALUES (2, 'b');"
         "INSERT INTO Customers VALUES (3, 'c')\n GO \nUPDATE Customers SET city = 'z'",
         false, "Ok<BR>6 records"},
        {"-- a comment first\nselect * from Customers", false, "Ok<BR>0 records"},
    };
    for (const RunCase& c : cases) {
        host.load("Order Details");
        host.cleared = 0;
        w.mSQL->setPlainText(QString::fromUtf8(c.text));
        w.btExecSqlClick();
        EXPECT_EQ(host.qData.Active(), c.opensQuery) << c.text;
        EXPECT_EQ(host.qData.SQL, w.mSQL->toPlainText());
        EXPECT_EQ(host.cleared, c.opensQuery ? 1 : 0) << c.text;
        EXPECT_TRUE(w.lblRunInfo->isVisibleTo(&w));
        EXPECT_EQ(w.lblRunInfo->CaptionStrings().join('\n'), QString::fromUtf8(c.info)) << c.text;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SqlWindow, AFailingBatchShowsErrorAndReportsTheBatch) {
    w.mSQL->setPlainText("   ");
    w.btExecSqlClick();
    EXPECT_FALSE(w.lblRunInfo->isVisibleTo(&w)); // blank text: nothing happens

    w.mSQL->setPlainText("INSERT INTO Customers VALUES (1, 'a')");
    w.btExecSqlClick();
    w.mSQL->setPlainText("INSERT INTO Customers VALUES (2, 'b')\nGO\nINSERT INTO Nowhere VALUES (1)\nGO\n"
                         "INSERT INTO Customers VALUES (3, 'c')");
    w.btExecSql->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, QStringLiteral("error"));
    EXPECT_TRUE(
        messages.shown[0].text.startsWith("Batch 2 (line 3: INSERT INTO Nowhere VALUES (1)) failed: "))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(w.lblRunInfo->CaptionStrings().join('\n'), QStringLiteral("Error"));
    auto q = db.open("SELECT id FROM Customers ORDER BY id");
    EXPECT_EQ(q->RecordCount(), 2);
    // A failing query too; the next good run shows its own result.
    w.mSQL->setPlainText("SELECT * FROM Nowhere");
    w.btExecSql->click();
    EXPECT_EQ(w.lblRunInfo->CaptionStrings().join('\n'), QStringLiteral("Error"));
    w.mSQL->setPlainText("SELECT * FROM Customers");
    w.btExecSql->click();
    EXPECT_EQ(w.lblRunInfo->CaptionStrings().join('\n'), QStringLiteral("Ok<BR>2 records"));
    // "Close" hides the window, which lives on for the next use.
    w.show();
    w.btClose->click();
    EXPECT_FALSE(w.isVisible());
}
} // namespace
