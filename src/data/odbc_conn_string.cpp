#include "odbc_conn_string.h"

#include "exceptions.h"

#include <QDir>
#include <QFileInfo>

namespace {
using Items = std::vector<std::pair<QString, QString>>;

bool is(const QString& key, const char* name) {
    return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// "SQLOLEDB.1" → "sqloledb".
QString baseName(const QString& provider) {
    QString p = provider.trimmed().toLower();
    qsizetype dot = p.lastIndexOf('.');
    if (dot > 0 && p.mid(dot + 1).toInt() > 0) p.truncate(dot);
    return p;
}

bool isSqlServerProvider(const QString& p) {
    return p == "sqloledb" || p.startsWith(QLatin1String("sqlncli")) ||
           p.startsWith(QLatin1String("msoledbsql")) || p == "sqlserver";
}

std::optional<DialectKind> dialectOfDriver(const QString& driver) {
    QString d = driver.toLower();
    if (d.contains(QLatin1String("postgres")) || d.contains(QLatin1String("psqlodbc")))
        return DialectKind::PostgreSQL;
    if (d.contains(QLatin1String("sqlite"))) return DialectKind::SQLite;
    if (d.contains(QLatin1String("mariadb")) || d.contains(QLatin1String("mysql")) ||
        d.contains(QLatin1String("maodbc")))
        return DialectKind::MySQL;
    if (d.contains(QLatin1String("freetds")) || d.contains(QLatin1String("sql server")) ||
        d.contains(QLatin1String("tdsodbc")))
        return DialectKind::MSSQL;
    return std::nullopt;
}

bool truthy(const QString& v) {
    QString t = v.trimmed().toLower();
    return !t.isEmpty() && t != "false" && t != "no" && t != "0";
}

QString value(const Items& items, const char* key) {
    for (const auto& [k, v] : items)
        if (is(k, key)) return v;
    return {};
}

// Shared by the server routes: the credentials and the database under their ODBC names.
void addCommon(const InitString& s, Items& out) {
    QString db = s.value(QStringLiteral("Initial Catalog"));
    if (db.isEmpty()) db = s.value(QStringLiteral("Location"));
    if (db.isEmpty()) db = s.value(QStringLiteral("Database"));
    if (!db.isEmpty()) out.emplace_back(QStringLiteral("Database"), db);
    if (s.has(QStringLiteral("User ID")))
        out.emplace_back(QStringLiteral("UID"), s.value(QStringLiteral("User ID")));
    if (s.has(QStringLiteral("Password")))
        out.emplace_back(QStringLiteral("PWD"), s.value(QStringLiteral("Password")));
}

OdbcRoute sqlServer(const InitString& s) {
    if (truthy(s.value(QStringLiteral("Integrated Security"))) ||
        truthy(s.value(QStringLiteral("Trusted_Connection"))))
        throw EDatabaseError(
            QStringLiteral("Integrated Windows security (Integrated Security=%1) is not available here: "
                           "give User ID and Password in the connection")
                .arg(s.has(QStringLiteral("Integrated Security"))
                         ? s.value(QStringLiteral("Integrated Security"))
                         : s.value(QStringLiteral("Trusted_Connection"))));
    QString source = s.value(QStringLiteral("Data Source")).trimmed();
    if (source.isEmpty()) source = s.value(QStringLiteral("Server")).trimmed();
    if (source.isEmpty())
        throw EDatabaseError(QStringLiteral("The SQL Server connection names no Data Source (server)"));
    if (source.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive)) source = source.mid(4);
    QString port;
    if (qsizetype comma = source.indexOf(','); comma >= 0) { // "host,port"
        port = source.mid(comma + 1).trimmed();
        source = source.left(comma).trimmed();
    }
    if (source == "." || source.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        source = QStringLiteral("localhost");
    else if (source.startsWith(QLatin1String(".\\")) ||
             source.startsWith(QLatin1String("(local)\\"), Qt::CaseInsensitive))
        source = QStringLiteral("localhost") + source.mid(source.indexOf('\\'));
    Items out{{QStringLiteral("Driver"), QString::fromLatin1(kFreeTdsDriver)},
              {QStringLiteral("Server"), source}};
    if (!port.isEmpty()) out.emplace_back(QStringLiteral("Port"), port);
    addCommon(s, out);
    out.emplace_back(QStringLiteral("ClientCharset"), QStringLiteral("UTF-8"));
    return {OdbcConnectString(out), DialectKind::MSSQL};
}

// The PostgreSQL driver hands booleans over as text and "text" columns as long (memo) values unless
// told otherwise; text is a plain string here, as it is on SQLite, and is fetched in blocks. Its logs
// are world-readable files that may show what was sent: they stay off whatever the registration or
// the string says.
void addPostgresDefaults(Items& out) {
    if (value(out, "BoolsAsChar").isEmpty())
        out.emplace_back(QStringLiteral("BoolsAsChar"), QStringLiteral("0"));
    if (value(out, "TextAsLongVarchar").isEmpty())
        out.emplace_back(QStringLiteral("TextAsLongVarchar"), QStringLiteral("0"));
    std::erase_if(out, [](const auto& kv) { return is(kv.first, "CommLog") || is(kv.first, "Debug"); });
    out.emplace_back(QStringLiteral("CommLog"), QStringLiteral("0"));
    out.emplace_back(QStringLiteral("Debug"), QStringLiteral("0"));
}

// The MariaDB/MySQL driver counts the rows an UPDATE changed, not those it matched, so writing a row
// back unchanged would look like a row that is gone; and it refuses scripts of several statements.
// Both are switched on in its option bits (FOUND_ROWS 2, MULTI_STATEMENTS 1 << 26), keeping the
// string's own bits.
void addMysqlDefaults(Items& out) {
    constexpr qulonglong kFoundRows = 2, kMultiStatements = 1 << 26;
    for (auto& [k, v] : out) {
        if (is(k, "OPTION") || is(k, "OPTIONS")) {
            bool ok = false;
            const qulonglong bits = v.trimmed().toULongLong(&ok);
            v = QString::number((ok ? bits : 0) | kFoundRows | kMultiStatements);
            return;
        }
    }
    out.emplace_back(QStringLiteral("OPTION"), QString::number(kFoundRows | kMultiStatements));
}

// Provider=MSDASQL or no provider: the ODBC keywords themselves, the OLE DB names mapped onto them.
OdbcRoute odbcString(const InitString& s, const QString& baseDir) {
    Items out;
    auto add = [&](const QString& k, const QString& v) {
        if (value(out, k.toLatin1().constData()).isEmpty()) out.emplace_back(k, v);
    };
    for (const auto& [k, v] : s.items()) {
        if (is(k, "Provider") || is(k, "Persist Security Info") || is(k, "Extended Properties")) continue;
        if (is(k, "User ID"))
            add(QStringLiteral("UID"), v);
        else if (is(k, "Password"))
            add(QStringLiteral("PWD"), v);
        else if (is(k, "Initial Catalog"))
            add(QStringLiteral("Database"), v);
        else if (is(k, "Data Source"))
            continue; // the DSN, unless the string names one itself
        else
            add(k, v);
    }
    // MSDASQL keeps the driver's own string in Extended Properties.
    const InitString extended = InitString::parse(s.value(QStringLiteral("Extended Properties")));
    for (const auto& [k, v] : extended.items())
        add(k, v);
    if (value(out, "DSN").isEmpty() && value(out, "Driver").isEmpty() &&
        !s.value(QStringLiteral("Data Source")).isEmpty())
        out.emplace(out.begin(), QStringLiteral("DSN"), s.value(QStringLiteral("Data Source")));
    if (value(out, "DSN").isEmpty() && value(out, "Driver").isEmpty() && value(out, "FILEDSN").isEmpty())
        throw EDatabaseError(QStringLiteral("The ODBC connection names neither a Driver nor a DSN"));
    const QString driver = value(out, "Driver");
    std::optional<DialectKind> dialect = dialectOfDriver(driver);
    if (dialect == DialectKind::SQLite && !baseDir.isEmpty()) {
        for (auto& [k, v] : out)
            if (is(k, "Database") && !v.isEmpty() && QFileInfo(v).isRelative()) v = QDir(baseDir).filePath(v);
    }
    if (dialect == DialectKind::PostgreSQL) addPostgresDefaults(out);
    if (dialect == DialectKind::MySQL) addMysqlDefaults(out);
    return {OdbcConnectString(out), dialect};
}
} // namespace

QString OdbcConnectString(const Items& items) {
    QStringList parts;
    for (const auto& [k, v] : items) {
        QString val = v;
        bool braces = is(k, "Driver") || v.contains(';') || v.contains('{') || v.contains('}') ||
                      v.startsWith(' ') || v.endsWith(' ');
        if (braces) val = '{' + QString(v).replace('}', QLatin1String("}}")) + '}';
        parts << k + '=' + val;
    }
    return parts.join(';') + ';';
}

std::optional<OdbcRoute> OdbcRouteOf(const InitString& s, const QString& baseDir) {
    const QString p = baseName(s.value(QStringLiteral("Provider")));
    if (p.isEmpty()) {
        if (!s.has(QStringLiteral("Driver")) && !s.has(QStringLiteral("DSN")) &&
            !s.has(QStringLiteral("FILEDSN")))
            return std::nullopt;
        return odbcString(s, baseDir);
    }
    if (p == "msdasql") return odbcString(s, baseDir);
    if (isSqlServerProvider(p)) return sqlServer(s);
    return std::nullopt;
}
