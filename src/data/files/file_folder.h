#pragma once
// A source given as one file or as a folder of files of one kind (text files, dBase tables):
// each file is a table named by its file name.
#include <QString>
#include <QStringList>

class FileFolder {
public:
    // Lists the folder's files with one of the suffixes (lower case, without the dot), or takes the
    // one file. Raises naming a folder that cannot be read.
    FileFolder(const QString& path, const QStringList& suffixes);
    QString dir() const { return dir_; }
    const QStringList& files() const { return files_; }
    // The file a table name means: the name itself, the name with "#" for "." ("data#csv"), or the
    // name plus one of the suffixes; raises naming the table when there is none.
    QString resolve(const QString& table) const;

private:
    QString dir_;
    QStringList files_;
    QStringList suffixes_;
};
