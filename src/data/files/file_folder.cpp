#include "file_folder.h"

#include "exceptions.h"

#include <QDir>
#include <QFileInfo>

FileFolder::FileFolder(const QString& path, const QStringList& suffixes) : suffixes_(suffixes) {
    QFileInfo fi(path);
    if (fi.isDir()) {
        dir_ = fi.absoluteFilePath();
        QDir d(dir_);
        if (!d.isReadable()) throw EDatabaseError(QStringLiteral("Cannot read folder \"%1\"").arg(path));
        for (const QFileInfo& f :
             d.entryInfoList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase))
            if (suffixes.contains(f.suffix().toLower())) files_ << f.fileName();
    } else {
        dir_ = fi.absolutePath();
        files_ << fi.fileName();
    }
}

QString FileFolder::resolve(const QString& table) const {
    QString t = table.trimmed();
    QStringList candidates{t};
    if (t.contains('#')) candidates << QString(t).replace('#', '.');
    for (const QString& s : suffixes_)
        candidates << t + '.' + s;
    for (const QString& c : candidates)
        for (const QString& f : files_)
            if (f.compare(c, Qt::CaseInsensitive) == 0) return QDir(dir_).filePath(f);
    throw EDatabaseError(
        QStringLiteral("Table \"%1\" does not exist in \"%2\"").arg(table, QDir::toNativeSeparators(dir_)));
}
