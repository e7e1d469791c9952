// How connection strings and files reach a server through ODBC, checked without a server.
#include "connection.h"
#include "exceptions.h"
#include "odbc_conn_string.h"
#include "odbc_provider.h"
#include "pg_provider.h"
#include "test_util.h"
#include "udl_file.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A loopback port that nobody listens on (bound once, then released).
quint16 closedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

TEST(OdbcRoutes, InitStringsBecomeOdbcStrings) {
    struct Case {
        const char* init;
        const char* odbc;
    };
    const Case cases[] = {
        {"Provider=SQLOLEDB.1;Data Source=db1\\SALES;Initial Catalog=Shop;User ID=sa;Password=pw",
         "Driver={FreeTDS};Server=db1\\SALES;Database=Shop;UID=sa;PWD=pw;ClientCharset=UTF-8;"},
        {"Provider=SQLNCLI11;Data Source=tcp:10.0.0.5,1444;Initial Catalog=Shop;User ID=sa;Password=a",
         "Driver={FreeTDS};Server=10.0.0.5;Port=1444;Database=Shop;UID=sa;PWD=a;ClientCharset=UTF-8;"},
        {"Provider=MSOLEDBSQL;Data Source=(local);User ID=u;Password=\"p;w}\"",
         "Driver={FreeTDS};Server=localhost;UID=u;PWD={p;w}}};ClientCharset=UTF-8;"},
        {"Provider=SQLOLEDB;Data Source=.\\SQLEXPRESS;Integrated Security=False;User ID=u",
         "Driver={FreeTDS};Server=localhost\\SQLEXPRESS;UID=u;ClientCharset=UTF-8;"},
        {"Provider=MSDASQL.1;Persist Security Info=False;Data Source=Sales", "DSN=Sales;"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=Sales;UID=me;PWD=pw\"", "DSN=Sales;UID=me;PWD=pw;"},
        {"Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=h;Port=5433;Database=d;User ID=me;Password=pw",
         "Driver={PostgreSQL "
         "Unicode};Server=h;Port=5433;Database=d;UID=me;PWD=pw;BoolsAsChar=0;TextAsLongVarchar=0;CommLog=0;"
         "Debug=0;"},
        {"Driver={PostgreSQL Unicode};Server=h;BoolsAsChar=1",
         "Driver={PostgreSQL Unicode};Server=h;BoolsAsChar=1;TextAsLongVarchar=0;CommLog=0;Debug=0;"},
        {"DSN=Warehouse;UID=x", "DSN=Warehouse;UID=x;"},
        {"Driver={MariaDB Unicode};Server=h;Port=3307;Database=d;User ID=me",
         "Driver={MariaDB Unicode};Server=h;Port=3307;Database=d;UID=me;OPTION=67108866;"},
        {"Driver={MariaDB Unicode};Server=h;Option=4", "Driver={MariaDB Unicode};Server=h;Option=67108870;"},
        {"Driver=FreeTDS;Server=s;Database=d", "Driver={FreeTDS};Server=s;Database=d;"},
    };
    for (const Case& c : cases) {
        std::optional<OdbcRoute> route = OdbcRouteOf(InitString::parse(c.init));
        ASSERT_TRUE(route.has_value()) << c.init;
        EXPECT_EQ(route->connectString, c.odbc) << c.init;
    }
}

TEST(OdbcRoutes, DialectKnownBeforeConnecting) {
    struct Case {
        const char* init;
        std::optional<DialectKind> dialect;
    };
    const Case cases[] = {
        {"Provider=SQLOLEDB;Data Source=s", DialectKind::MSSQL},
        {"Driver={PostgreSQL Unicode};Server=s", DialectKind::PostgreSQL},
        {"Driver={SQLite3};Database=x.db", DialectKind::SQLite},
        {"Driver={MariaDB Unicode};Server=s", DialectKind::MySQL},
        {"DSN=Anything", std::nullopt}, // the DBMS the driver reports decides after connecting
    };
    for (const Case& c : cases)
        EXPECT_EQ(OdbcRouteOf(InitString::parse(c.init))->dialect, c.dialect) << c.init;
}

TEST(OdbcRoutes, OtherProvidersAreNotOdbc) {
    for (const char* init :
         {"Provider=SQLite;Data Source=x.sqlite", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb",
          "Data Source=x", "Provider=PostgreSQL;Data Source=s", "Provider=PGNP.1;Data Source=s",
          "Provider=PostgreSQL OLE DB Provider;Data Source=s"})
        EXPECT_FALSE(OdbcRouteOf(InitString::parse(init)).has_value()) << init;
}

// The PostgreSQL provider names reach libpq with the OLE DB keywords read as the editor writes them.
TEST(OdbcRoutes, PostgresProviderNamesGoToLibpq) {
    for (const char* name : {"PostgreSQL", "PostgreSQL.1", "PGNP.1", "PostgreSQL OLE DB Provider"})
        EXPECT_TRUE(PgProvider::IsProviderName(name)) << name;
    EXPECT_FALSE(PgProvider::IsProviderName("MSDASQL"));
    PgTarget t = PgTarget::FromInitString(
        "Provider=PostgreSQL OLE DB Provider;Data Source=pg.local:5444;Location=crm;User ID=me;Password=pw");
    EXPECT_EQ(QStringList({t.host, t.port, t.database, t.user, t.password}),
              QStringList({"pg.local", "5444", "crm", "me", "pw"}));
}

TEST(OdbcRoutes, RefusedSettingsSayWhy) {
    struct Case {
        const char* init;
        const char* message;
    };
    const Case cases[] = {
        {"Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=srv", "Integrated Security=SSPI"},
        {"Provider=SQLNCLI11;Trusted_Connection=yes;Data Source=srv", "User ID and Password"},
        {"Provider=SQLOLEDB;Initial Catalog=x;User ID=sa;Password=pw", "names no Data Source"},
        {"Provider=MSDASQL;UID=x", "neither a Driver nor a DSN"},
    };
    for (const Case& c : cases) {
        try {
            OdbcRouteOf(InitString::parse(c.init));
            ADD_FAILURE() << "accepted " << c.init;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message.contains(c.message)) << e.what();
        }
    }
}

TEST(OdbcRoutes, SqliteFileOfAConnectionFileIsRelativeToIt) {
    std::optional<OdbcRoute> r = OdbcRouteOf(InitString::parse("Driver=SQLite3;Database=data/x.db"), "/conn");
    EXPECT_EQ(r->connectString, "Driver={SQLite3};Database=/conn/data/x.db;");
}

TEST(OdbcRoutes, SqliteScriptsSplitWhereStatementsEnd) {
    struct Case {
        const char* script;
        QStringList statements;
    };
    const Case cases[] = {
        {"SELECT 1; SELECT 2", {"SELECT 1;", "SELECT 2"}},
        {"INSERT INTO t VALUES ('a;b');\n;  ", {"INSERT INTO t VALUES ('a;b');"}},
        {"CREATE TRIGGER g AFTER INSERT ON t BEGIN DELETE FROM u; END; SELECT 3;",
         {"CREATE TRIGGER g AFTER INSERT ON t BEGIN DELETE FROM u; END;", " SELECT 3;"}},
        {"-- only a comment", {"-- only a comment"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OdbcProvider::SplitSqliteStatements(c.script), c.statements) << c.script;
}

// A connection file naming a SQL Server provider goes to FreeTDS; with no server listening the
// error names the driver's complaint and the masked connection string, never the password.
TEST(OdbcRoutes, SqlServerFileWithoutServerFailsClearly) {
    TempDir dir;
    const quint16 port = closedPort();
    QString udl = dir.path("Sales.udl");
    WriteUdlFile(
        udl, QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;User ID=sa;Password=S3cret!pw;"
                            "Initial Catalog=Sales;Data Source=127.0.0.1,%1")
                 .arg(port));
    TADOConnection con;
    con.ConnectionString = "FILE NAME=" + udl;
    con.ConnectionTimeout = 5;
    try {
        con.Open();
        ADD_FAILURE() << "connected to a closed port";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message.contains("FreeTDS")) << e.what();
        EXPECT_TRUE(e.Message.contains(
            QStringLiteral("Server=127.0.0.1;Port=%1;Database=Sales;UID=sa;PWD=***").arg(port)))
            << e.what();
        EXPECT_TRUE(e.Message.contains("[08001]")) << e.what(); // the driver's own diagnostic
        EXPECT_FALSE(e.Message.contains("S3cret")) << e.what();
    }
    EXPECT_FALSE(con.Connected());
}
} // namespace
