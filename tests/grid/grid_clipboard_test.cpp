// Clipboard text: the cell form and the reader, copies of each scope through the commands, and
// pastes as new records and as updates checked in the database.
#include "clip_text.h"
#include "grid_action_fixture.h"
#include "grid_clipboard.h"

namespace {
QStringList readAll(const QString& text) {
    ClipTextReader r(text);
    QStringList lines, cells;
    while (r.next(cells))
        lines << cells.join(QStringLiteral("|"));
    return lines;
}
} // namespace

TEST(ClipText, CellForm) {
    const std::pair<QString, QString> cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a\tb", "\"a\tb\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line 1\r\nline 2\nline 3", "\"line 1\r\nline 2\nline 3\""}, // line breaks as stored
        {"lone\rcr", "\"lone\rcr\""},
    };
    for (const auto& [value, cell] : cases) {
        QString out = "x";
        AppendClipCell(out, value);
        EXPECT_EQ(out, "x" + cell) << value.toStdString();
    }
}

TEST(ClipText, ReaderSplitsLinesAndCells) {
    const std::pair<QString, QStringList> cases[] = {
        // A spreadsheet's copy: CR LF lines, quoted cells holding tabs, line breaks and quotes.
        {"a\t\"b\tc\"\r\n\"x\r\ny\"\t\"say \"\"hi\"\"\"\r\n", {"a|b\tc", "x\r\ny|say \"hi\""}},
        {"1\t2\n3\t4\n", {"1|2", "3|4"}}, // LF lines
        {"1\r2\r", {"1", "2"}},           // CR lines
        {"a\nb\r\nc", {"a\nb", "c"}},     // with CR LF present, LF belongs to the value
        {"\"abc\tdef", {"\"abc|def"}},    // no closing quote: taken as it stands
        {"5\" screen\t\"a\"b", {"5\" screen|\"a\"b"}},
        {"a\t\t", {"a||"}},
        {"a\r\n\r\n", {"a", ""}},
        {"", {}},
        {"\r\n", {}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(readAll(text), lines) << text.toStdString();
    ClipTextReader r("a\nb\nc\nd");
    QStringList cells;
    r.next(cells);
    EXPECT_EQ(r.lineNumber(), 1);
    EXPECT_EQ(r.skipRest(), 3);
    EXPECT_TRUE(r.atEnd());
}

TEST(ClipText, CopiedLinesReadBackUnchanged) {
    const QStringList values{"plain",    "",      "a\tb",     "\"quoted\"", "two\nlines", "\"",
                             "x\"\ty\"", "end\t", "cr\r\nlf", "lone\rcr",   "\r\n"};
    QString text;
    for (int i = 0; i < values.size(); ++i) {
        if (i) text += '\t';
        AppendClipCell(text, values[i]);
    }
    text += "\r\n";
    ClipTextReader r(text + text);
    QStringList cells;
    ASSERT_TRUE(r.next(cells));
    EXPECT_EQ(cells, values);
    ASSERT_TRUE(r.next(cells));
    EXPECT_EQ(cells, values);
    EXPECT_FALSE(r.next(cells));
}

TEST_F(GridActionTest, CopyEachScope) {
    const QString row1 = "1\tplain\t\"line 1\nline 2\"\t5\t2020-01-02\r\n";
    const QString row2 = "2\t\"tab\there\"\t\"say \"\"hi\"\"\"\t\t\r\n";
    const QString row3 = "3\t\t\t7\t1999-12-31\r\n";
    struct Case {
        const char* action;
        int row, column;
        bool titles, hidden;
        QString text;
    };
    grid.setColumnHidden(4, true); // born
    const Case cases[] = {
        {"acoCopyAll", 0, 0, true, true, "id\tname\tnote\tqty\tborn\r\n" + row1 + row2 + row3},
        {"acoCopyAll", 0, 0, false, false,
         "1\tplain\t\"line 1\nline 2\"\t5\r\n2\t\"tab\there\"\t\"say \"\"hi\"\"\"\t\r\n3\t\t\t7\r\n"},
        {"acoCopyRow", 1, 3, false, true, row2},
        {"acoCopyRow", 2, 0, true, false, "id\tname\tnote\tqty\r\n3\t\t\t7\r\n"},
        {"acoCopyCol", 2, 1, true, false, "name\r\nplain\r\n\"tab\there\"\r\n\r\n"},
        {"acoCopyCell", 0, 2, true, false, "line 1\nline 2"}, // a cell as it is: no quotes, no line end
        {"acoCopyCell", 1, 1, false, false, "tab\there"},
    };
    for (const Case& c : cases) {
        setCurrent(c.row, c.column);
        act("acoCopyIncTitle")->setChecked(c.titles);
        act("acoCopyIncHidden")->setChecked(c.hidden);
        QApplication::clipboard()->clear();
        run(c.action);
        EXPECT_EQ(clipboard(), c.text) << c.action << " row " << c.row;
    }
    EXPECT_EQ(q.RecNo(), 2); // the copies never moved the current record
}

TEST_F(GridActionTest, PasteSpreadsheetTextAsNewRecords) {
    setCurrent(0, 1); // name, note, qty, born
    QApplication::clipboard()->setText("Anna\t\"multi\r\nline\"\t3\t 2021-05-06 \r\n"
                                       "\"a\tb\"\t\"He said \"\"no\"\"\"\t1\u00a0000\r\n"
                                       "x\t\tlots\t\r\n");
    run("acePasteAdd");
    EXPECT_EQ(
        table("SELECT * FROM t WHERE id > 3 ORDER BY id"),
        QStringList({"4|Anna|multi\r\nline|3|2021-05-06", "5|a\tb|He said \"no\"|1000|~", "6|x|~|~|~"}));
    // The refused value is reported with its line and column; the empty cells stayed NULL.
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, "warning");
    EXPECT_TRUE(messages.shown[0].text.startsWith(
        "1 value(s) were not accepted and left out:\nLine 3, column \"qty\": "))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(q.State(), dsBrowse);

    // One line is not saved: the new record waits in insert for the user.
    messages.clear();
    QApplication::clipboard()->setText("x\r\n");
    run("acePasteAdd");
    EXPECT_EQ(q.State(), dsInsert);
    EXPECT_EQ(q.FieldByName("name")->AsString(), "x");
    EXPECT_EQ(table().size(), 6);
    q.Cancel();
}

TEST_F(GridActionTest, PasteUpdatesStopAtTheLastRecord) {
    setCurrent(1, 3); // qty of the second record
    QApplication::clipboard()->setText("10\n20\t2000-02-29\textra\n30\n40\n");
    run("acePasteUpdate");
    EXPECT_EQ(table(), QStringList({"1|plain|line 1\nline 2|5|2020-01-02", "2|tab\there|say \"hi\"|10|~",
                                    "3|~|~|20|2000-02-29"}));
    EXPECT_EQ(messages.log(),
              QStringList("warning: 1 value(s) lay beyond the last column and were not pasted.\n\n"
                          "2 line(s) were not pasted: there are no more records to update."));
}

TEST_F(GridActionTest, CopyThenPasteRoundTripsEveryValue) {
    con.Execute(QString::fromLatin1(kSchema).replace("TABLE t", "TABLE u"));
    // Line breaks of every kind inside a memo come back byte for byte.
    con.Execute(
        "INSERT INTO t (name, note) VALUES ('breaks', 'crlf' || char(13, 10) || 'cr' || char(13) || 'end')");
    q.Close();
    q.Open();
    TADOQuery q2;
    TDataSource s2;
    TkDBGrid g2;
    openGrid(g2, q2, s2, "SELECT * FROM u");
    run("acoCopyAll");
    actions.SetActiveGrid(&g2); // empty: the first column is the target
    run("acePasteAdd");
    EXPECT_TRUE(messages.shown.empty()) << messages.log().join('\n').toStdString();
    EXPECT_EQ(table("SELECT * FROM u ORDER BY id"), table());
    // NULLs came back as NULLs, not as empty texts.
    EXPECT_EQ(table("SELECT id FROM u WHERE name IS NULL AND note IS NULL"), QStringList("3"));
}

TEST_F(GridActionTest, FailedLineAsksWhetherToGoOn) {
    for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        SCOPED_TRACE(answer == MsgAnswer::Yes ? "Yes" : "No");
        con.Execute("DELETE FROM t WHERE id > 3");
        q.Close();
        q.Open();
        messages.clear();
        messages.answers = {answer};
        setCurrent(0, 1);
        QApplication::clipboard()->setText("a\t\t1\r\nb\t\t-5\r\nc\t\t2\r\n");
        run("acePasteAdd");
        ASSERT_GE(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[0].kind, "question");
        EXPECT_EQ(messages.shown[0].heading, "Error: Cannot save record.\nContinue?");
        EXPECT_TRUE(messages.shown[0].text.startsWith("Error description:\n"));
        EXPECT_TRUE(messages.shown[0].text.endsWith("Line 2 of the pasted text."));
        const QStringList names = table("SELECT name FROM t WHERE id > 3 ORDER BY id");
        if (answer == MsgAnswer::Yes) {
            EXPECT_EQ(names, QStringList({"a", "c"}));
            EXPECT_EQ(messages.shown[1].text, "Lines not saved: 2.");
        } else {
            EXPECT_EQ(names, QStringList("a"));
            EXPECT_EQ(q.State(), dsInsert); // the failed record waits for a correction
            EXPECT_EQ(messages.shown[1].text,
                      "The paste stopped at line 2; 1 line(s) after it were not pasted.");
            q.Cancel();
        }
    }
}
