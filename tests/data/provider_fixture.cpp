#include "provider_fixture.h"

#include "odbc_provider.h"
#include "test_util.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QUuid>
#include <stdexcept>

namespace {
QString tempFolder() {
    static TempDir dir;
    return dir.path();
}

QString newSqliteDb(const QString& sql) {
    QString path = QDir(tempFolder()).filePath(QUuid::createUuid().toString(QUuid::Id128) + ".sqlite");
    MakeSqliteDb(path, sql);
    return path;
}

// In CI a provider that cannot run fails its tests; elsewhere they are reported skipped.
QString unavailableUnlessCi(const QString& why) {
    return qEnvironmentVariable("CI") == "true" ? QString() : why;
}

QString missingDriver(const char* driver, const char* package) {
    if (OdbcProvider::InstalledDrivers().contains(QLatin1String(driver))) return {};
    return QStringLiteral("the ODBC driver \"%1\" is not installed (package %2)").arg(driver, package);
}

// The server scripts/test starts (scripts/pg-start): its address from the environment.
struct PgServer {
    QString host = qEnvironmentVariable("TABULO_PG_HOST"), port = qEnvironmentVariable("TABULO_PG_PORT"),
            user = qEnvironmentVariable("TABULO_PG_USER", "postgres");
};

// Runs a database's command-line client with the SQL on its standard input.
void runClient(const QString& program, const QStringList& args, const QString& sql, const char* package) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        throw std::runtime_error(program.toStdString() + " cannot be started (package " + package + ")");
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(60000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(program.toStdString() +
                                 " failed: " + p.readAllStandardError().toStdString());
}

void psql(const PgServer& pg, const QString& database, const QString& sql) {
    runClient(QStringLiteral("psql"),
              {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", pg.host, "-p", pg.port, "-U", pg.user, "-d",
               database, "-f", "-"},
              sql, "postgresql-client");
}

// The portable SQL in PostgreSQL's terms: SQLite's INTEGER PRIMARY KEY is its row id, a key the
// database fills when a row leaves it empty; PostgreSQL spells that SERIAL. The sequences then
// continue after the rows the script inserted.
QString forPostgres(const QString& sql) {
    QString out = sql;
    out.replace(QRegularExpression(QStringLiteral("\\bINTEGER\\s+PRIMARY\\s+KEY\\b"),
                                   QRegularExpression::CaseInsensitiveOption),
                QStringLiteral("SERIAL PRIMARY KEY"));
    return out + QStringLiteral(R"(;
DO $$ DECLARE r record; BEGIN
  FOR r IN SELECT c.table_name, c.column_name FROM information_schema.columns c
           WHERE c.table_schema = 'public' AND c.column_default LIKE 'nextval(%' LOOP
    EXECUTE format('SELECT setval(pg_get_serial_sequence(%L, %L), coalesce((SELECT max(%I) FROM %I), 0) + 1, false)',
                   r.table_name, r.column_name, r.column_name, r.table_name);
  END LOOP;
END $$;
)");
}

// The server scripts/test starts (scripts/mariadb-start).
struct MariaDbServer {
    QString host = qEnvironmentVariable("TABULO_MARIADB_HOST"),
            port = qEnvironmentVariable("TABULO_MARIADB_PORT"),
            user = qEnvironmentVariable("TABULO_MARIADB_USER", "root");
};

void mariadb(const MariaDbServer& m, const QString& database, const QString& sql) {
    QStringList args{"--no-defaults", "-h", m.host, "-P", m.port, "-u", m.user};
    if (!database.isEmpty()) args << database;
    runClient(QStringLiteral("mariadb"), args, sql, "mariadb-client");
}

// The portable SQL in MariaDB's terms: names in backticks (outside literals), INTEGER PRIMARY KEY
// filled by the database, times and date-times that keep fractions of a second.
QString forMariaDb(const QString& sql) {
    QString out;
    bool inLiteral = false;
    for (QChar c : sql) {
        if (c == '\'') inLiteral = !inLiteral;
        out += !inLiteral && c == '"' ? QChar('`') : c;
    }
    auto re = [](const char* pattern) { return QRegularExpression(QLatin1String(pattern)); };
    out.replace(re("\\bINTEGER\\s+PRIMARY\\s+KEY\\b"), QStringLiteral("INTEGER AUTO_INCREMENT PRIMARY KEY"));
    out.replace(re("\\bTIMESTAMP\\b"), QStringLiteral("DATETIME(6)"));
    out.replace(re("\\bTIME\\b"), QStringLiteral("TIME(6)"));
    return out;
}

std::vector<ProviderFixture> make() {
    std::vector<ProviderFixture> list;
    list.push_back(
        {"sqlite",
         [](const QString& sql) { return QStringLiteral("Provider=SQLite;Data Source=") + newSqliteDb(sql); },
         {}});
    list.push_back({"sqlite-odbc",
                    [](const QString& sql) {
                        if (QString why = missingDriver("SQLite3", "libsqliteodbc"); !why.isEmpty())
                            throw std::runtime_error(why.toStdString());
                        return QStringLiteral("Driver={SQLite3};Database=") + newSqliteDb(sql);
                    },
                    unavailableUnlessCi(missingDriver("SQLite3", "libsqliteodbc"))});
    const QString noServer =
        PgServer().port.isEmpty()
            ? QStringLiteral("no PostgreSQL test server (scripts/test starts one and sets TABULO_PG_PORT)")
            : QString();
    // A fresh database on the test server, filled by psql.
    auto pgDatabase = [](const QString& sql) {
        PgServer pg;
        QString db = "t_" + QUuid::createUuid().toString(QUuid::Id128).toLower();
        psql(pg, "postgres", QStringLiteral("CREATE DATABASE %1;").arg(db));
        psql(pg, db, forPostgres(sql));
        return db;
    };
    QString pgMissing = missingDriver("PostgreSQL Unicode", "odbc-postgresql");
    if (pgMissing.isEmpty()) pgMissing = noServer;
    list.push_back({"postgresql-odbc",
                    [pgMissing, pgDatabase](const QString& sql) {
                        if (!pgMissing.isEmpty()) throw std::runtime_error(pgMissing.toStdString());
                        PgServer pg;
                        return QStringLiteral(
                                   "Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=%1;Port=%2;"
                                   "Database=%3;UID=%4")
                            .arg(pg.host, pg.port, pgDatabase(sql), pg.user);
                    },
                    unavailableUnlessCi(pgMissing)});
    list.push_back({"postgresql",
                    [noServer, pgDatabase](const QString& sql) {
                        if (!noServer.isEmpty()) throw std::runtime_error(noServer.toStdString());
                        PgServer pg;
                        return QStringLiteral("Provider=PostgreSQL;Data Source=%1;Port=%2;Initial Catalog=%3;"
                                              "User ID=%4")
                            .arg(pg.host, pg.port, pgDatabase(sql), pg.user);
                    },
                    unavailableUnlessCi(noServer)});
    QString mariaMissing = missingDriver("MariaDB Unicode", "odbc-mariadb");
    if (mariaMissing.isEmpty() && MariaDbServer().port.isEmpty())
        mariaMissing =
            QStringLiteral("no MariaDB test server (scripts/test starts one and sets TABULO_MARIADB_PORT)");
    list.push_back({"mariadb-odbc",
                    [mariaMissing](const QString& sql) {
                        if (!mariaMissing.isEmpty()) throw std::runtime_error(mariaMissing.toStdString());
                        MariaDbServer m;
                        QString db = "t_" + QUuid::createUuid().toString(QUuid::Id128).toLower();
                        mariadb(m, {}, QStringLiteral("CREATE DATABASE %1;").arg(db));
                        mariadb(m, db, forMariaDb(sql));
                        return QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;Database=%3;UID=%4")
                            .arg(m.host, m.port, db, m.user);
                    },
                    unavailableUnlessCi(mariaMissing)});
    return list;
}
} // namespace

const std::vector<ProviderFixture>& Providers() {
    static const std::vector<ProviderFixture> list = make();
    return list;
}

std::vector<QString> ProviderNames() {
    std::vector<QString> names;
    for (const ProviderFixture& p : Providers())
        names.push_back(p.name);
    return names;
}

const ProviderFixture& ProviderByName(const QString& name) {
    for (const ProviderFixture& p : Providers())
        if (p.name == name) return p;
    throw std::runtime_error("no provider " + name.toStdString());
}
