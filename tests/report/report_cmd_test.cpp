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
    };
    for (const Case& c : cases) {
        CliRun r = report(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
