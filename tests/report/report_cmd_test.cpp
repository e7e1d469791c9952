// tabulo-cli report: a template over a table to a result file, and its errors and exit statuses.
#include "rtf_fixture.h"

#include <QFile>

namespace {
class ReportCmd : public PeopleDb {
protected:
    CliRun report(const QStringList& args) {
        return cli(QStringList{"--connect", "Provider=SQLite;Data Source=" + db, "report"} + args);
    }
    void write(const QString& name, const QByteArray& text) { WriteFile(dir.path(name), text); }
};
} // namespace

TEST_F(ReportCmd, FillsATextTemplate) {
    write("t.txt", "\\\\scan(A);maxrows(2)\\\\\r\n\\\\A.ID\\\\;\\\\A.NAME\\\\\r\n\\\\endscan(A)\\\\\r\n");
    CliRun r = report({"people", "--template", dir.path("t.txt"), "--out", dir.path("r.txt"), "--top", "3",
                       "--action", "save"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile f(dir.path("r.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
              QString::fromUtf8("1;Žluťoučký kůň\r\n2;Brace {x} and \\ back\r\n"));
}

// Slot B follows A through a parameter of its statement, and C follows B; variables and engine
// properties from the command line.
TEST_F(ReportCmd, DatasetsVariablesAndProperties) {
    write("md.txt", "\\\\scan(A);maxrows(3)\\\\\n\\\\A.ID\\\\ \\\\TITLE\\\\: "
                    "\\\\scan(B);sep(,)\\\\\\\\B.ID\\\\=\\\\C.N\\\\\\\\endscan(B)\\\\ \\\\A.NOSUCH\\\\\n"
                    "\\\\endscan(A)\\\\\n");
    CliRun r =
        report({"people", "--template", dir.path("md.txt"), "--out", dir.path("md-out.txt"), "--dataset",
                "B=SELECT ID FROM people WHERE ID > :A.ID AND NAME <> ':A.NAME' ORDER BY ID", "--dataset",
                "C=SELECT ID * 10 AS N FROM people WHERE ID = :b.id", "--var", "TITLE=after \\\\=A.PRICE\\\\",
                "--set", "FieldNotFoundValue=n/a", "--set", "defaultcalcformat=0.0"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile f(dir.path("md-out.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "1 after 1.0: 2=20,3=30,4=40,5=50 n/a\n2 after 2.5: 3=30,4=40,5=50 n/a\n"
                           "3 after 3.0: 4=40,5=50 n/a\n");

    const QString help = cli({"--help"}).out;
    for (const char* option :
         {"--dataset B=", "--var NAME=VALUE", "--set PROPERTY=VALUE", "RtfSupportedFormats"})
        EXPECT_TRUE(help.contains(option)) << option;

    // A picture that cannot be placed: the result is written with its failure text, the run fails.
    write("pic.rtf", "{\\rtf1 x\\\\picture(LOGO)\\\\}");
    r = report({"people", "--template", dir.path("pic.rtf"), "--out", dir.path("pic-out.rtf"), "--var",
                "LOGO=" + dir.path("none.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("1 picture(s) could not be placed")) << r.err.toStdString();
    QFile p(dir.path("pic-out.rtf"));
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_TRUE(p.readAll().contains("not found.")) << "the failure text stands in the result";
}

TEST_F(ReportCmd, Errors) {
    write("t.rtf", "{\\rtf1 \\\\A.ID\\\\}");
    write("bad.rtf", "{\\rtf1 \\\\scan(A)\\\\}");
    const QString t = dir.path("t.rtf"), out = dir.path("r.rtf");
    struct Case {
        QStringList args;
        int status;
        QString err; // a part of the error output
    } cases[] = {
        {{"people", "--out", out}, 2, "report needs --template FILE"},
        {{"people", "--template", t}, 2, "report needs --out FILE"},
        {{"people", "--template", t, "--out", out, "--action", "mail"},
         2,
         "--action takes save, show or print"},
        {{"people", "--template", t, "--out", out, "--bogus"}, 2, "--bogus"},
        {{"people", "--template", dir.path("none.rtf"), "--out", out}, 1, "Cannot open file"},
        {{"people", "--template", t, "--out", t}, 1, "is the template itself"},
        {{"people", "--template", dir.path("bad.rtf"), "--out", out}, 1, "endscan(A)\" not found."},
        {{"nosuchtable", "--template", t, "--out", out}, 1, "nosuchtable"},
        {{"people", "--template", t, "--out", out, "--dataset", "C=SELECT 1"}, 2, "the next slot is B"},
        {{"people", "--template", t, "--out", out, "--dataset", "SELECT 1"}, 2, "--dataset takes LETTER="},
        {{"people", "--template", t, "--out", out, "--dataset", "B=SELECT :B.ID"},
         2,
         ":B.ID names no earlier slot"},
        {{"people", "--template", t, "--out", out, "--dataset", "B=SELECT :A.NOPE"},
         1,
         "Dataset B: field \"NOPE\" not found in dataset A."},
        {{"people", "--template", t, "--out", out, "--var", "=x"}, 2, "--var takes NAME=VALUE"},
        {{"people", "--template", t, "--out", out, "--set", "Bogus=1"}, 2, "--set Bogus is not a property"},
        {{"people", "--template", t, "--out", out, "--set", "JoinTouchingTables=1"},
         2,
         "not a property of RTF and text reports"},
        {{"people", "--template", t, "--out", out, "--set", "RaiseUnknownField=maybe"}, 2, "takes 1 or 0"},
        {{"people", "--template", t, "--out", out, "--set", "TxtCodePage=latin"}, 2, "takes a whole number"},
        {{"people", "--template", t, "--out", out, "--set", "DefaultMemoFormat=html"},
         2,
         "DefaultMemoFormat"},
    };
    for (const Case& c : cases) {
        CliRun r = report(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
