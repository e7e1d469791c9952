// tabulo-cli script over the demo database: the text on standard output and the errors.
#include "test_util.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct CliRun {
    int status;
    QByteArray out, err;
};

CliRun Cli(const QStringList& args) {
    QProcess p;
    p.start(ProgramDir() + "/tabulo-cli",
            QStringList{"--udl", ProgramDir() + "/Connections/Demo.udl"} + args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

TEST(CliScript, WritesTheScriptWithCrLfLines) {
    CliRun r = Cli({"script", "User", "--type", "insert", "--values", "login,FullName", "--delete-all",
                    "--identity-insert", "--add", "#13#10GO", "--dialect", "mssql"});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out, "DELETE FROM [User]\r\nGO\r\nSET IDENTITY_INSERT [User] ON\r\nGO\r\n"
                     "INSERT INTO [User] (Login, FullName) \r\nVALUES ('admin', 'Administrator')\r\nGO\r\n"
                     "INSERT INTO [User] (Login, FullName) \r\nVALUES ('jnovak', 'Jan Novák')\r\nGO\r\n"
                     "INSERT INTO [User] (Login, FullName) \r\nVALUES ('mobrien', 'Mary O''Brien')\r\nGO\r\n"
                     "INSERT INTO [User] (Login, FullName) \r\nVALUES ('guest', null)\r\nGO\r\n"
                     "SET IDENTITY_INSERT [User] OFF\r\nGO\r\n");
    // The connection's own dialect by default; every field a value.
    r = Cli({"script", "sales_regions", "--type", "update", "--keys", "RegionCode"});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(
        r.out.startsWith("UPDATE \"sales_regions\" SET \"RegionName\"='Europe', \"Manager\"='Anna Berglund' "
                         "\r\nWHERE \"RegionCode\"='EUR';\r\n"))
        << r.out.constData();
    EXPECT_EQ(r.out.count("UPDATE "), 5);
}

TEST(CliScript, ErrorsNameWhatIsWrong) {
    struct Case {
        QStringList args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"script", "User", "--type", "update"}, 1, "Select at least one Key field for UPDATE script."},
        {{"script", "User", "--type", "insert", "--keys", "Nope"},
         1,
         "--keys: \"Nope\" is not a field of table \"User\""},
        {{"script", "Products", "--type", "insert", "--values", "ProductName,Weigth"},
         1,
         "--values: \"Weigth\" is not a field of table \"Products\""},
        {{"script", "User", "--type", "delete"}, 2, "--type takes insert or update, not delete"},
        {{"script", "User"}, 2, "script needs --type insert|update"},
        {{"script", "User", "--type", "insert", "--dialect", "oracle"},
         2,
         "--dialect takes mssql, sqlite, postgresql or mysql"},
        {{"script", "NoSuchTable", "--type", "insert"}, 1, "NoSuchTable"},
    };
    for (const Case& c : cases) {
        CliRun r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << c.args.join(' ').toStdString();
    }
}
} // namespace
