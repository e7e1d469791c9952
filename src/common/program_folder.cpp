#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace {
QString g_folder;
// Where the installed resources live, seen from the installed executable's bin/; their presence
// tells an installed copy from a build tree or a portable copy.
constexpr const char* kInstalledShare = "../share/tabulo";
constexpr const char* kSeededList = ".seeded";
} // namespace

void SetProgramFolder(const QString& folder) {
    g_folder = folder;
}

bool SeedFolder(const QString& from, const QString& to) {
    if (!QFileInfo(from).isDir() || !QDir().mkpath(to)) return false;
    const QString listPath = QDir(to).filePath(QLatin1String(kSeededList));
    QSet<QString> seeded;
    QFile list(listPath);
    if (list.open(QIODevice::ReadOnly))
        for (const QByteArray& line : list.readAll().split('\n'))
            if (!line.isEmpty()) seeded.insert(QString::fromUtf8(line));
    list.close();
    const QDir src(from);
    QStringList added;
    bool ok = true;
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString rel = src.relativeFilePath(file);
        if (rel == QLatin1String(kSeededList) || seeded.contains(rel)) continue;
        const QString target = QDir(to).filePath(rel);
        if (!QFileInfo::exists(target)) {
            if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target)) {
                ok = false;
                continue;
            }
            // Installed files are read-only for the user; the copies are the user's own.
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
        }
        added << rel;
    }
    if (!added.isEmpty() && list.open(QIODevice::Append)) {
        for (const QString& rel : added)
            list.write(rel.toUtf8() + '\n');
        list.close();
    }
    return ok;
}

QString ProgramFolder() {
    if (!g_folder.isEmpty()) return g_folder;
    const QString exeDir = QCoreApplication::applicationDirPath();
    // An installed copy (bin/ beside share/tabulo/) never writes into bin/, even when root may.
    const QString share = QDir::cleanPath(QDir(exeDir).filePath(QLatin1String(kInstalledShare)));
    const bool installed = QFileInfo(share).isDir();
    if (!installed && QFileInfo(exeDir).isWritable()) return g_folder = exeDir;
    g_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(g_folder);
    if (installed) SeedFolder(share, g_folder);
    return g_folder;
}
