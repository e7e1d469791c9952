#pragma once
// A zip package opened for reading and changing (libzip): the entry list, an entry's bytes, an entry
// replaced or added, and the changes written on close. Failures throw Exception with libzip's text.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <list>
#include <memory>

struct zip;
struct zip_file;

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
    // Replaces the entry or adds it with size bytes that are asked for only when the archive is
    // written: rewind starts them over, read fills at most n bytes and returns how many (0 at the
    // end, -1 on a failure, which fails the close).
    using Rewind = std::function<bool()>;
    using Read = std::function<qint64(char* data, qint64 n)>;
    void write(const QString& name, qint64 size, Rewind rewind, Read read);
    void remove(const QString& name);
    // An entry's bytes in order, without holding them all (parts of any size).
    class Stream {
    public:
        ~Stream();
        // At most n bytes; 0 at the end. Throws Exception on a damaged entry.
        qint64 read(char* data, qint64 n);
        qint64 size() const { return size_; }

    private:
        friend class TZipArchive;
        zip_file* file_ = nullptr;
        qint64 size_ = 0;
        QString what_;
    };
    std::unique_ptr<Stream> stream(const QString& name) const;
    // Writes the changes when save is true; the archive is closed either way.
    void close(bool save);

private:
    [[noreturn]] void fail(const QString& what) const;
    zip* zip_ = nullptr;
    QString path_;
    std::list<QByteArray> pending_; // buffers libzip reads when the archive is written
};
