// The CSV and text reader: quoting, detection, encodings, inference with its fall-back to text,
// fixed-width columns and the errors of damaged files.
#include "connection.h"
#include "exceptions.h"
#include "files_test_util.h"
#include "query.h"
#include "test_util.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray utf16le(const QString& s) {
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : s)
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

QString jetText(const QString& dir, const QString& props) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Extended Properties=\"%2\"")
        .arg(dir, props);
}

QStringList joined(const QList<QStringList>& rows) {
    QStringList out;
    for (const QStringList& r : rows)
        out << r.join('|');
    return out;
}
} // namespace

TEST(CsvReader, AwkwardFiles) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString props; // Extended Properties; empty: the bare path
        QStringList names, types, rows;
    } cases[] = {
        {"quoting.csv",
         "id,text\r\n1,\"a, b\"\r\n2,\"say \"\"hi\"\"\"\r\n3,\"two\r\nlines\"\r\n4,\"\"\r\n5,\r\n",
         "",
         {"id", "text"},
         {"Integer", "WideString"},
         {"1|a, b", "2|say \"hi\"", "3|two\r\nlines", "4|", "5|\\N"}},
        {"mark.csv",
         "\xEF\xBB\xBFname;qty\nÄpfel;3\nBirnen;4",
         "",
         {"name", "qty"},
         {"WideString", "Integer"},
         {"Äpfel|3", "Birnen|4"}},
        {"blank_lines.csv",
         "a,b\n1,x\n\n2,y\n\n\n",
         "",
         {"a", "b"},
         {"Integer", "WideString"},
         {"1|x", "2|y"}},
        {"ragged.csv",
         "a,b,c\n1,2,3\n4,5\n6,7,8,,\n",
         "",
         {"a", "b", "c"},
         {"Integer", "Integer", "Integer"},
         {"1|2|3", "4|5|\\N", "6|7|8"}},
        {"turns_text.csv",
         "code,amount\n1,1.50\n2,2\n007,x\n",
         "",
         {"code", "amount"},
         {"WideString", "WideString"},
         {"1|1.50", "2|2", "007|x"}},
        {"types.csv",
         "i,f,d,dt,t,b,big\n1,0.5,2024-02-29,2024-02-29 10:20:30,23:59:59,true,9007199254740993\n"
         "-2,1e3,1999-12-31,2024-03-01T00:00:00,00:00:00,FALSE,1\n",
         "",
         {"i", "f", "d", "dt", "t", "b", "big"},
         {"Integer", "Float", "Date", "DateTime", "Time", "Boolean", "Largeint"},
         {"1|0.5|2024-02-29|2024-02-29 10:20:30|23:59:59|1|9007199254740993",
          "-2|1000|1999-12-31|2024-03-01 00:00:00|00:00:00|0|1"}},
        // Values a number or date type would change stay text.
        {"kept.csv",
         "zip,long,zone\n01234,12345678901234567890,2024-01-01 10:00:00+01:00\n",
         "",
         {"zip", "long", "zone"},
         {"WideString", "WideString", "WideString"},
         {"01234|12345678901234567890|2024-01-01 10:00:00+01:00"}},
        {"numbers_first.csv", "1,2\n3,4\n", "", {"F1", "F2"}, {"Integer", "Integer"}, {"1|2", "3|4"}},
        {"tabs.txt", "a\tb\n1\tx,y\n", "", {"a", "b"}, {"Integer", "WideString"}, {"1|x,y"}},
        {"single_quotes.csv", "a,b\n'x,1',2\n", "", {"a", "b"}, {"WideString", "Integer"}, {"x,1|2"}},
        {"no_header.csv",
         "a,b\nc,d\n",
         "text;HDR=No",
         {"F1", "F2"},
         {"WideString", "WideString"},
         {"a|b", "c|d"}},
        {"semi.txt",
         "a;b\n1,5;2\n",
         "text;HDR=Yes;FMT=Delimited(;)",
         {"a", "b"},
         {"WideString", "Integer"},
         {"1,5|2"}},
        {"utf16.txt",
         utf16le("name,n\nŽluťoučký,1\n"),
         "",
         {"name", "n"},
         {"WideString", "Integer"},
         {"Žluťoučký|1"}},
        {"latin.csv", "name,n\ncaf\xE9,1\n", "", {"name", "n"}, {"WideString", "Integer"}, {"café|1"}},
        {"cp1250.csv",
         "name,n\n\x9Elu\x9D,1\n",
         "text;CharacterSet=windows-1250",
         {"name", "n"},
         {"WideString", "Integer"},
         {"žluť|1"}},
        {"fixed.txt",
         "name      qty  day\nApple       3  2024-01-02\nPear,big   12  2024-01-03\n",
         "text;FMT=FixedLength",
         {"name", "qty", "day"},
         {"WideString", "Integer", "Date"},
         {"Apple|3|2024-01-02", "Pear,big|12|2024-01-03"}},
        {"empty.csv", "", "", {}, {}, {}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.path(c.name), c.bytes);
        QString con = c.props.isEmpty() ? dir.path(c.name) : jetText(dir.path(), c.props);
        ReadResult r = ReadSource(con, c.name);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(r.error, QString());
        EXPECT_EQ(r.names, c.names);
        EXPECT_EQ(r.types, c.types);
        EXPECT_EQ(joined(r.rows), c.rows);
    }
}

// A value that does not fit its column after the sampled rows turns the column into text read
// again from the file: nothing stored earlier is changed ("1.50" stays "1.50").
TEST(CsvReader, LateMisfitsKeepEveryValue) {
    TempDir dir;
    QByteArray csv = "n,price,day,whole\n";
    const int rows = 12000;
    for (int i = 1; i <= rows; ++i)
        csv += QByteArray::number(i) + ",1.50," + (i == rows ? "2024-01-01 12:00:00" : "2024-01-01") + "," +
               QByteArray::number(i) + "\n";
    csv += "n/a,cheap,2024-01-02,2.5\n";
    WriteFile(dir.path("late.csv"), csv);
    ReadResult r = ReadSource(dir.path("late.csv"), "late.csv");
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.types, QStringList({"WideString", "WideString", "DateTime", "Float"}));
    ASSERT_EQ(r.rows.size(), rows + 1);
    EXPECT_EQ(r.rows[0], QStringList({"1", "1.50", "2024-01-01 00:00:00", "1"}));
    EXPECT_EQ(r.rows[rows - 1], QStringList({"12000", "1.50", "2024-01-01 12:00:00", "12000"}));
    EXPECT_EQ(r.rows[rows], QStringList({"n/a", "cheap", "2024-01-02 00:00:00", "2.5"}));

    // Read forward-only in blocks: a column changes its type from the block that holds the misfit on,
    // that block's rows read again from the file; the blocks handed on before keep their values.
    TADOConnection con;
    con.ConnectionString = dir.path("late.csv");
    con.Open();
    EXPECT_EQ(con.provider().countRows("SELECT * FROM [late.csv]"), rows + 1);
    TADOQuery q(&con);
    q.SQL = "SELECT * FROM [late.csv]";
    q.BlockRows = 5000;
    QStringList blocks;
    q.OnBlock = [&](TDataSet& b, bool) {
        auto text = [&] {
            QStringList row;
            for (int i = 0; i < b.FieldCount(); ++i)
                row << (b.Fields(i)->DataType == ftDateTime || b.Fields(i)->DataType == ftDate
                            ? b.Fields(i)->AsDateTime().toString("yyyy-MM-dd HH:mm")
                            : b.Fields(i)->AsString());
            return row.join('|');
        };
        b.First();
        QString block = QString::number(b.RecordCount()) + ": " + text();
        b.Last();
        blocks << block + " .. " + text();
    };
    q.Open();
    EXPECT_EQ(blocks,
              QStringList({"5000: 1|1.5|2024-01-01 00:00|1 .. 5000|1.5|2024-01-01 00:00|5000",
                           "5000: 5001|1.5|2024-01-01 00:00|5001 .. 10000|1.5|2024-01-01 00:00|10000",
                           "2001: 10001|1.50|2024-01-01 00:00|10001 .. n/a|cheap|2024-01-02 00:00|2.5"}));
}

TEST(CsvReader, FolderTablesAndSchemaIni) {
    TempDir dir;
    WriteFile(dir.path("a.csv"), "x\n1\n");
    WriteFile(dir.path("b.txt"), "Smith     42\nJones      7\n");
    WriteFile(dir.path("notes.doc"), "not a table");
    WriteFile(dir.path("schema.ini"), "[b.txt]\r\nFormat=FixedLength\r\nColNameHeader=False\r\n"
                                      "Col1=Name Text Width 10\r\nCol2=\"Age in years\" Integer Width 2\r\n");
    QString con = jetText(dir.path(), "text;HDR=Yes");
    EXPECT_EQ(SourceTables(con), QStringList({"a.csv", "b.txt"}));
    ReadResult r = ReadSource(con, "b.txt");
    EXPECT_EQ(r.error, QString());
    EXPECT_EQ(r.names, QStringList({"Name", "Age in years"}));
    EXPECT_EQ(joined(r.rows), QStringList({"Smith|42", "Jones|7"}));
    // The text driver's "file#ext" and the bare name find the file too.
    EXPECT_EQ(ReadSource(con, "", "SELECT * FROM a#csv").rows.size(), 1);
    EXPECT_EQ(ReadSource(con, "", "SELECT * FROM a").rows.size(), 1);
}

TEST(CsvReader, DamagedFilesNameFileAndLine) {
    TempDir dir;
    struct Case {
        const char* name;
        QByteArray bytes;
        QString expected;
    } cases[] = {
        {"open_quote.csv", "a,b\n1,2\n3,\"cut off", "line 3: a quoted value is not closed"},
        {"too_many.csv", "a,b\n1,2\n3,4,5\n", "line 3: the row has 3 values, the table has 2 columns"},
        {"bad_utf8.csv", "a\n\xC3\x28\n", "not valid UTF-8"},
    };
    for (const Case& c : cases) {
        WriteFile(dir.path(c.name), c.bytes);
        QString con = QString(c.name) == "bad_utf8.csv" ? jetText(dir.path(), "text;CharacterSet=65001")
                                                        : dir.path(c.name);
        ReadResult r = ReadSource(con, c.name);
        EXPECT_TRUE(r.error.contains(c.name)) << r.error.toStdString();
        EXPECT_TRUE(r.error.contains(c.expected)) << r.error.toStdString();
        // Counting the rows without keeping them finds the same fault.
        try {
            TADOConnection source;
            source.ConnectionString = con;
            source.Open();
            source.provider().countRows(QString("SELECT * FROM [%1]").arg(c.name));
            ADD_FAILURE() << c.name << " counted";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message.contains(c.expected)) << e.Message.toStdString();
        }
    }
    EXPECT_TRUE(ReadSource(dir.path("missing.csv"), "missing.csv").error.contains("does not exist"));
}
