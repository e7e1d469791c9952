#include "conn_string.h"
#include "connection.h"
#include "exceptions.h"
#include "files_provider.h"
#include "odbc_conn_string.h"
#include "odbc_provider.h"
#include "pg_provider.h"
#include "sqlite_provider.h"
#include "udl_file.h"

#include <QDir>
#include <QFileInfo>

namespace {
std::unique_ptr<Provider> fromInitString(const QString& text, const QString& baseDir) {
    // A bare path to a spreadsheet, text, dBase or Access file opens it read-only.
    if (std::optional<FileSource> file = FileSourceOfPath(text, baseDir))
        return std::make_unique<FilesProvider>(*file);
    InitString s = InitString::parse(text);
    if (std::optional<FileSource> file = FileSourceOf(s, baseDir))
        return std::make_unique<FilesProvider>(*file);
    QString provider = s.value(QStringLiteral("Provider")).trimmed();
    if (provider.isEmpty() && !s.has(QStringLiteral("Driver")) && !s.has(QStringLiteral("DSN")))
        throw EDatabaseError(
            QStringLiteral("The connection string names no provider: \"%1\"").arg(MaskPasswords(text)));
    QString p = provider.toLower();
    if (p == "sqlite" || p.startsWith("sqlite.")) {
        QString source = s.value(QStringLiteral("Data Source"));
        if (source.isEmpty())
            throw EDatabaseError(QStringLiteral("The SQLite connection names no Data Source"));
        if (source != ":memory:" && QFileInfo(source).isRelative() && !baseDir.isEmpty())
            source = QDir(baseDir).filePath(source);
        bool readOnly =
            s.value(QStringLiteral("Mode")).compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
        return std::make_unique<SqliteProvider>(source, readOnly);
    }
    if (PgProvider::IsProviderName(provider))
        return std::make_unique<PgProvider>(PgTarget::FromInitString(text), text);
    if (std::optional<OdbcRoute> route = OdbcRouteOf(s, baseDir))
        return std::make_unique<OdbcProvider>(route->connectString, route->dialect);
    throw EDatabaseError(QStringLiteral("Provider \"%1\" is not supported")
                             .arg(provider.isEmpty() ? QStringLiteral("MSDASQL") : provider));
}
} // namespace

std::unique_ptr<Provider> CreateProvider(const QString& connectionString) {
    // Drivers and file names end at a NUL: what follows would be dropped without a word.
    if (connectionString.contains(QChar(0)))
        throw EDatabaseError(QStringLiteral("The connection string holds a NUL character"));
    InitString s = InitString::parse(connectionString);
    if (s.has(QStringLiteral("FILE NAME"))) {
        QString path = s.value(QStringLiteral("FILE NAME"));
        QString text = ReadUdlFile(path);
        try {
            return fromInitString(text, QFileInfo(path).absolutePath());
        } catch (const EDatabaseError& e) {
            throw EDatabaseError(QStringLiteral("Connection file \"%1\": %2").arg(path, e.Message));
        }
    }
    return fromInitString(connectionString, QDir::currentPath());
}
