#include "file_connection.h"

#include "conn_string.h"
#include "exceptions.h"
#include "udl_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
bool hasSuffix(const QFileInfo& info, std::initializer_list<const char*> suffixes) {
    for (const char* s : suffixes)
        if (info.suffix().compare(QLatin1String(s), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The first free name for base ("base.udl", "base (2).udl", ...), or the one that already holds text.
QString nameFor(const QString& conDir, const QString& base, const QString& initString) {
    for (int n = 1; n < 1000; ++n) {
        const QString name =
            n == 1 ? base + QStringLiteral(".udl") : QStringLiteral("%1 (%2).udl").arg(base).arg(n);
        const QString path = QDir(conDir).filePath(name);
        if (!QFileInfo::exists(path)) {
            WriteUdlFile(path, initString);
            return name;
        }
        try {
            if (ReadUdlFile(path) == initString) return name;
        } catch (const std::exception&) {
            // Unreadable: not ours to replace.
        }
    }
    throw Exception(
        QStringLiteral("Cannot create a connection file for \"%1\" in \"%2\".").arg(base, conDir));
}
} // namespace

bool IsSqliteDatabaseFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    if (f.size() == 0) return hasSuffix(QFileInfo(path), {"sqlite", "sqlite3", "db", "db3"});
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}

QString ConnectionForFile(const QString& conDir, const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) throw Exception(QStringLiteral("Cannot open file \"%1\".").arg(path));
    if (hasSuffix(info, {"udl"})) {
        if (QFileInfo(conDir).canonicalFilePath() == info.canonicalPath()) return info.fileName();
        // Relative data sources are relative to the folder of the connection file: keep them working.
        InitString s = InitString::parse(ReadUdlFile(path));
        const QString source = s.value(QStringLiteral("Data Source"));
        if (!source.isEmpty() && QFileInfo(source).isRelative() &&
            QFileInfo::exists(info.dir().filePath(source)))
            s.set(QStringLiteral("Data Source"), QDir::cleanPath(info.dir().absoluteFilePath(source)));
        return nameFor(conDir, info.completeBaseName(), s.text());
    }
    if (IsSqliteDatabaseFile(path)) {
        InitString s;
        s.set(QStringLiteral("Provider"), QStringLiteral("SQLite"));
        s.set(QStringLiteral("Data Source"), info.absoluteFilePath());
        return nameFor(conDir, info.completeBaseName(), s.text());
    }
    throw Exception(
        QStringLiteral(
            "Cannot open file \"%1\": it is neither a SQLite database nor a connection file (.udl).")
            .arg(path));
}
