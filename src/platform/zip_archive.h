#pragma once
// A zip package opened for reading and changing (libzip): the entry list, an entry's bytes, an entry
// replaced or added, and the changes written on close. Failures throw Exception with libzip's text.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <list>

struct zip;

class TZipArchive {
public:
    TZipArchive() = default;
    ~TZipArchive(); // discards unsaved changes
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    // Opens an existing package; with create a missing file starts an empty one.
    void open(const QString& path, bool create = false);
    QStringList entries() const;
    bool contains(const QString& name) const;
    // Refuses an entry over 256 MB, or over 1 MB that inflates more than 1000 times.
    QByteArray read(const QString& name) const;
    // Replaces the entry or adds it (deflated).
    void write(const QString& name, const QByteArray& data);
    // Writes the changes when save is true; the archive is closed either way.
    void close(bool save);

private:
    [[noreturn]] void fail(const QString& what) const;
    zip* zip_ = nullptr;
    QString path_;
    std::list<QByteArray> pending_; // buffers libzip reads when the archive is written
};
