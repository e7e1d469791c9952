// TADOConWizard: strings adapted to a file, the shipped templates connecting each kind of file,
// the log it writes, and passwords kept out of it.
#include "ado_con_wizard.h"
#include "connection.h"
#include "files_test_util.h"
#include "test_util.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(ConWizard, ProviderTypesAndAdaptedStrings) {
    struct Case {
        const char* conStr;
        TProviderType type;
        const char* file;
        const char* adapted;
    } cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Data\\Book.xls;Extended Properties=\"Excel "
         "8.0;HDR=Yes\"",
         ptJET, "/src/new.xls",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/src/new.xls;Extended Properties=\"Excel "
         "8.0;HDR=Yes\""},
        {"provider=microsoft.ace.oledb.12.0;data source=C:\\Data\\;Extended Properties=\"text;HDR=Yes\"",
         ptACE, "/src/in/a b.csv",
         "provider=microsoft.ace.oledb.12.0;data source=/src/in/;Extended Properties=\"text;HDR=Yes\""},
        {"Provider=MSDASQL;Driver={Microsoft Excel Driver (*.xls)};DBQ=c:\\x.xls;DefaultDir=c:\\;", ptMSDA,
         "/s/y.xls", "Provider=MSDASQL;Driver={Microsoft Excel Driver (*.xls)};DBQ=/s/y.xls;"},
        {"Provider=MSDASQL;DBQ=c:\\old.mdb;SOURCEDB=c:\\old.mdb", ptMSDA, "/s/n.mdb",
         "Provider=MSDASQL;DBQ=/s/n.mdb;SOURCEDB=/s/n.mdb"},
        {"Provider=SQLOLEDB;Data Source=srv;Initial Catalog=Old", ptSQLOLEDB, "Sales",
         "Provider=SQLOLEDB;Data Source=srv;Initial Catalog=Sales"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\a.mdb", ptJET, "/x;y/b.mdb",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/x;y/b.mdb\""},
        {"Provider=SQLite;Data Source=a.sqlite", ptNone, "/s/b.sqlite", ""},
        {" Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb", ptNone, "/s/b.mdb", ""},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False", ptJET, "/s/b.mdb", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.conStr);
        EXPECT_EQ(TADOConWizard::ProviderTypeOf(c.conStr), c.type);
        EXPECT_EQ(TADOConWizard::AdaptConStr(c.conStr, c.file), QString(c.adapted));
    }
}

// Each shipped template connects a file of its kind; the mask "*_" + extension picks it.
TEST(ConWizard, TemplatesConnectEveryKind) {
    TempDir dir;
    WriteFile(dir.path("list.csv"), "a,b\n1,2\n");
    WriteFile(dir.path("list.txt"), "a\tb\n1\t2\n");
    QByteArray table("\x03\x7C\x01\x01\x01\0\0\0\x41\0\x03\0", 12);
    table += QByteArray(20, '\0');
    QByteArray field(32, '\0');
    field.replace(0, 1, "A");
    field[11] = 'C';
    field[16] = 2;
    table += field + "\x0D" + " ok" + "\x1A";
    WriteFile(dir.path("one.dbf"), table);
    QFile::copy(SourceDir() + "/../shared/fixtures/access/nwind.mdb", dir.path("nwind.mdb"));
    struct Case {
        const char* file;
        const char* table;
    } cases[] = {{"list.csv", "list.csv"},
                 {"list.txt", "list.txt"},
                 {"one.dbf", "one.dbf"},
                 {"nwind.mdb", "Shippers"}};
    const QString templates = QDir(ProgramDir()).filePath("udl_import") + '/';
    for (const char* kind : {"mdb", "accdb", "xls", "xlsx", "ods", "dbf", "csv", "txt"})
        EXPECT_EQ(QDir(templates).entryList({QStringLiteral("*_%1.udl").arg(kind)}, QDir::Files).size(), 1)
            << kind;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TADOConnection con;
        TADOConWizard w;
        w.ADOConnection = &con;
        w.LogDetails = true;
        w.UDLFilePath = templates;
        w.UDLFileMask = "*_" + QFileInfo(c.file).suffix() + ".udl";
        QStringList info;
        w.OnInfo = [&](TADOConWizard*, const QString& t) { info << t; };
        ASSERT_TRUE(w.ConnectToFile(dir.path(c.file), true)) << w.LogText.join('\n').toStdString();
        EXPECT_EQ(info, w.LogText);
        ASSERT_GE(w.LogText.size(), 5);
        EXPECT_TRUE(w.LogText[0].startsWith("Open UDL File: " + templates));
        EXPECT_TRUE(w.LogText[1].startsWith("Try connection string: Provider=Microsoft."));
        EXPECT_TRUE(w.LogText[2].startsWith("DB FILE: " + dir.path()));
        EXPECT_EQ(w.LogText.mid(3), QStringList({"CONNECTED. ", "***"}));
        EXPECT_TRUE(w.ConnectedFile().startsWith(dir.path()));
        QStringList tables;
        con.GetTableNames(tables);
        EXPECT_TRUE(tables.contains(c.table)) << tables.join(',').toStdString();
        w.Disconnect();
        EXPECT_EQ(w.LogText.last(), "DISCONNECTED. ");
        EXPECT_EQ(w.ConnectedFile(), QString());
    }
}

TEST(ConWizard, FailuresAndPasswordsInTheLog) {
    TempDir dir;
    // A folder without templates, then a template for a file that is not there.
    TADOConnection con;
    TADOConWizard w;
    w.ADOConnection = &con;
    w.LogDetails = true;
    w.UDLFilePath = dir.path() + '/';
    EXPECT_FALSE(w.ConnectToFile(dir.path("a.mdb"), true));
    EXPECT_EQ(w.LogText, QStringList({"No UDL File in directory " + dir.path() + '/'}));

    // Templates in UTF-8 and UTF-16 read alike; the last PROVIDER= line is the connection string.
    WriteFile(dir.path("a_mdb.udl"), "[oledb]\r\n; comment\r\nProvider=SQLite;Data "
                                     "Source=x\r\nPROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\x.mdb;"
                                     "Jet OLEDB:Database Password=template-secret\r\n");
    EXPECT_EQ(
        w.ReadUDLFile(dir.path("a_mdb.udl")),
        "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\x.mdb;Jet OLEDB:Database Password=template-secret");
    w.LogText.clear();
    w.OnGetDBFilePassword = [](TADOConWizard*, QString& user, QString& password) {
        user = "Admin";
        password = "s3cret;x";
    };
    EXPECT_FALSE(w.ConnectToFile(dir.path("missing.mdb"), true));
    const QString log = w.LogText.join('\n');
    EXPECT_FALSE(log.contains("s3cret") || log.contains("template-secret")) << log.toStdString();
    EXPECT_TRUE(log.contains("Jet OLEDB:Database Password=***")) << log.toStdString();
    EXPECT_EQ(w.LogText.last(), "***");
    EXPECT_TRUE(w.LogText[w.LogText.size() - 2].startsWith("ADO ERROR: ")) << log.toStdString();
    EXPECT_TRUE(log.contains("missing.mdb\" does not exist")) << log.toStdString();
    // The password reaches the connection, once and quoted.
    EXPECT_TRUE(con.ConnectionString.endsWith(";JET OLEDB:DATABASE PASSWORD=\"s3cret;x\";"))
        << con.ConnectionString.toStdString();
    EXPECT_EQ(con.ConnectionString.count("Password=", Qt::CaseInsensitive), 1);

    // An unreadable template is logged and skipped.
    w.LogText.clear();
    EXPECT_EQ(w.ReadUDLFile(dir.path("none.udl")), QString());
    ASSERT_EQ(w.LogText.size(), 1);
    EXPECT_TRUE(w.LogText[0].startsWith("UDL READ ERROR: "));
}
