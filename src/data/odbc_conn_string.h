#pragma once
// Initialisation strings that reach a server through ODBC: plain ODBC strings ("Driver=", "DSN="),
// Provider=MSDASQL and the SQL Server providers (through FreeTDS). The PostgreSQL provider names
// go to the libpq provider instead; an explicit ODBC string naming a PostgreSQL driver stays here.
#include "conn_string.h"
#include "dialect.h"

#include <optional>

struct OdbcRoute {
    QString connectString;              // for SQLDriverConnect
    std::optional<DialectKind> dialect; // when the route tells it before connecting
};

// The ODBC route of an initialisation string, or none when it names another provider. Relative
// SQLite database files are taken relative to baseDir. Raises for settings that cannot work here
// (integrated Windows security) and for a server connection without a server.
std::optional<OdbcRoute> OdbcRouteOf(const InitString& s, const QString& baseDir = QString());

// "Key=Value;..." with values in braces where ODBC needs them (";", braces, outer blanks).
QString OdbcConnectString(const std::vector<std::pair<QString, QString>>& items);

// The driver name registered for the SQL Server route.
inline constexpr const char* kFreeTdsDriver = "FreeTDS";
