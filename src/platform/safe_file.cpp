#include "safe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// Temporary files are named ".tabulo-save-<pid>-XXXXXX"; a library that rewrites one in place may
// add ".XXXXXX" for its own (libzip does).
const char kPrefix[] = ".tabulo-save-";

QString SystemText(int error) {
    char buf[256];
    return QString::fromLocal8Bit(strerror_r(error, buf, sizeof buf));
}

QByteArray Name(const QString& path) {
    return QFile::encodeName(path);
}

// Where a path leads once links are followed.
struct Resolved {
    enum Kind { New, Regular, Special, OwnDescriptor } kind = New;
    QByteArray file;   // New, Regular: the absolute path of the file the links lead to
    QByteArray folder; // New, Regular: its folder
    int descriptor = -1;
    struct stat st {};
    int error = 0; // errno when the path cannot be written at all
};

Resolved Resolve(const QString& path) {
    Resolved r;
    QByteArray p = Name(QFileInfo(path).absoluteFilePath());
    for (int hops = 0;; ++hops) {
        if (hops > 40) {
            r.error = ELOOP;
            return r;
        }
        const qsizetype slash = p.lastIndexOf('/');
        const QByteArray name = p.mid(slash + 1);
        if (name.isEmpty() || name == "." || name == "..") {
            r.error = EISDIR;
            return r;
        }
        char real[PATH_MAX];
        if (!realpath(slash > 0 ? p.left(slash).constData() : "/", real)) {
            r.error = errno;
            return r;
        }
        const QByteArray folder(real);
        if (folder.startsWith("/proc/")) {
            // /dev/stdout, /dev/fd/N: a descriptor of this process is written as it stands, so the
            // shell's redirection (append, a pipe) decides where the bytes go.
            bool number = false;
            const int fd = name.toInt(&number);
            if (number && folder == "/proc/" + QByteArray::number(getpid()) + "/fd") {
                r.kind = Resolved::OwnDescriptor;
                r.descriptor = fd;
                if (fstat(fd, &r.st) != 0) r.error = errno;
                return r;
            }
            r.kind = Resolved::Special;
            r.file = Name(path);
            if (stat(r.file.constData(), &r.st) != 0) r.error = errno;
            return r;
        }
        const QByteArray file = (folder == "/" ? QByteArray() : folder) + '/' + name;
        if (lstat(file.constData(), &r.st) != 0) {
            if (errno != ENOENT) {
                r.error = errno;
                return r;
            }
            r.kind = Resolved::New;
            r.file = file;
            r.folder = folder;
            return r;
        }
        if (S_ISLNK(r.st.st_mode)) {
            char target[PATH_MAX];
            const ssize_t n = readlink(file.constData(), target, sizeof target - 1);
            if (n < 0) {
                r.error = errno;
                return r;
            }
            const QByteArray t(target, n);
            p = t.startsWith('/') ? t : folder + '/' + t;
            continue;
        }
        if (S_ISDIR(r.st.st_mode)) {
            r.error = EISDIR;
            return r;
        }
        r.kind = S_ISREG(r.st.st_mode) ? Resolved::Regular : Resolved::Special;
        r.file = file;
        r.folder = folder;
        return r;
    }
}

bool IsFile(const Resolved& r) {
    return !r.error &&
           (r.kind == Resolved::Regular || r.kind == Resolved::OwnDescriptor ||
            r.kind == Resolved::Special) &&
           S_ISREG(r.st.st_mode);
}

bool Same(const Resolved& a, const Resolved& b) {
    if (a.error || b.error) return false;
    if (IsFile(a) && IsFile(b)) return a.st.st_dev == b.st.st_dev && a.st.st_ino == b.st.st_ino;
    return a.kind == Resolved::New && b.kind == Resolved::New && a.file == b.file;
}

struct OpenFile {
    QString path, description;
    int count;
};
std::mutex g_openMutex;
std::vector<OpenFile> g_open;

// The description of the registered open file that path would write over, or a null string.
QString OpenFileAt(const Resolved& target) {
    std::vector<OpenFile> open;
    {
        std::lock_guard<std::mutex> lock(g_openMutex);
        open = g_open;
    }
    for (const OpenFile& f : open)
        if (Same(target, Resolve(f.path))) return f.description;
    return QString();
}

// Refuses what could not be written in place: a read-only file, an open file of the program.
void CheckWritable(const QString& path, const Resolved& r) {
    auto refuse = [&](const QString& reason) {
        throw FileWriteError(QStringLiteral("Cannot write file \"%1\": %2.").arg(path, reason), reason);
    };
    if (r.error) {
        throw FileWriteError(QStringLiteral("Cannot create file \"%1\": %2.").arg(path, SystemText(r.error)),
                             SystemText(r.error));
    }
    const QString open = OpenFileAt(r);
    if (!open.isNull()) refuse(QStringLiteral("it is %1").arg(open));
    if (r.kind == Resolved::Regular) {
        // Root may write anything; a file without any write permission is still the user's "read-only".
        if (access(r.file.constData(), W_OK) != 0) refuse(SystemText(errno));
        if ((r.st.st_mode & 0222) == 0) refuse(QStringLiteral("the file is read-only"));
    }
}

// Six letters or digits, optionally followed by "." and six more (a library's own temporary file).
bool RandomTail(const char* s) {
    auto alnum = [](const char* p, int count) {
        for (int i = 0; i < count; ++i)
            if (!std::isalnum(static_cast<unsigned char>(p[i]))) return false;
        return true;
    };
    const size_t n = std::strlen(s);
    return (n == 6 && alnum(s, 6)) || (n == 13 && alnum(s, 6) && s[6] == '.' && alnum(s + 7, 6));
}

// Our temporary files whose process has ended (a killed run); a live process's are left alone.
// Earlier versions named theirs ".tabulo-report-XXXXXX" without a process id: those are all stale.
void RemoveStaleTemporaries(const QByteArray& folder) {
    DIR* dir = opendir(folder.constData());
    if (!dir) return;
    const char kLegacy[] = ".tabulo-report-";
    const size_t prefix = sizeof kPrefix - 1;
    while (const dirent* e = readdir(dir)) {
        const char* n = e->d_name;
        if (std::strncmp(n, kLegacy, sizeof kLegacy - 1) == 0) {
            if (!RandomTail(n + sizeof kLegacy - 1)) continue;
        } else {
            if (std::strncmp(n, kPrefix, prefix) != 0) continue;
            char* end = nullptr;
            const long pid = std::strtol(n + prefix, &end, 10);
            if (end == n + prefix || *end != '-' || pid <= 0 || pid == getpid() || !RandomTail(end + 1))
                continue;
            if (kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        }
        struct stat st;
        if (fstatat(dirfd(dir), n, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            unlinkat(dirfd(dir), n, 0);
    }
    closedir(dir);
}

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(std::min<qint64>(size, qint64(1) << 30)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}
} // namespace

void SafeFile::Check(const QString& path) {
    CheckWritable(path, Resolve(path));
}

SafeFile::SafeFile(const QString& path, Use use) : path_(path), use_(use) {
    const Resolved r = Resolve(path);
    CheckWritable(path, r);
    if (r.kind == Resolved::New || r.kind == Resolved::Regular) {
        kind_ = r.kind == Resolved::New ? Kind::New : Kind::Regular;
        target_ = r.file;
        mode_ = unsigned(r.st.st_mode & 07777);
        uid_ = unsigned(r.st.st_uid);
        gid_ = unsigned(r.st.st_gid);
        createTemporary(r.folder);
        return;
    }
    kind_ = Kind::Special;
    const int fd = r.kind == Resolved::OwnDescriptor
                       ? fcntl(r.descriptor, F_DUPFD_CLOEXEC, 0)
                       : open(r.file.constData(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) fail("Cannot create file", errno);
    if (use_ == WorkFile) {
        // A package cannot be built inside a device: it is built in the temporary folder and copied.
        targetFd_ = fd;
        createTemporary(Name(QDir::tempPath()));
    } else {
        fd_ = fd;
    }
}

void SafeFile::createTemporary(const QByteArray& folder) {
    RemoveStaleTemporaries(folder);
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray base = folder + '/' + kPrefix + QByteArray::number(getpid()) + '-';
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = base;
        for (int i = 0; i < 6; ++i)
            name += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
        // A new file gets the umask's mode (and the folder's default ACL) from the system itself; a
        // replaced file's mode is put on the result at commit.
        const int fd =
            open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kind_ == Kind::New ? 0666 : 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            fail("Cannot create file", errno);
        }
        temporary_ = name;
        fd_ = fd;
        if (kind_ == Kind::New) {
            struct stat st;
            if (fstat(fd, &st) == 0) mode_ = unsigned(st.st_mode & 07777);
        }
        return;
    }
    fail("Cannot create file", EEXIST);
}

SafeFile::~SafeFile() {
    if (fd_ >= 0) ::close(fd_);
    if (targetFd_ >= 0) ::close(targetFd_);
    if (!committed_ && !temporary_.isEmpty()) unlink(temporary_.constData());
}

void SafeFile::fail(const char* what, int error) const {
    const QString reason = SystemText(error);
    throw FileWriteError(QStringLiteral("%1 \"%2\": %3.").arg(QLatin1String(what), path_, reason), reason);
}

void SafeFile::write(const char* data, qint64 size) {
    if (fd_ < 0) fail("Cannot write file", EBADF);
    if (!WriteAll(fd_, data, size)) fail("Cannot write file", errno);
}

void SafeFile::closeWork() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) fail("Cannot write file", errno);
}

QString SafeFile::workFile() {
    if (temporary_.isEmpty()) fail("Cannot write file", EINVAL);
    closeWork();
    return QFile::decodeName(temporary_);
}

void SafeFile::commit() {
    if (committed_) return;
    if (kind_ == Kind::Special && temporary_.isEmpty()) {
        closeWork();
        committed_ = true;
        return;
    }
    closeWork();
    if (kind_ == Kind::Special) {
        // The work file's content into the device, in place.
        const int in = open(temporary_.constData(), O_RDONLY | O_CLOEXEC);
        if (in < 0) fail("Cannot save file", errno);
        char buf[65536];
        for (;;) {
            const ssize_t n = read(in, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || (n > 0 && !WriteAll(targetFd_, buf, n))) {
                const int e = errno;
                ::close(in);
                fail(n < 0 ? "Cannot save file" : "Cannot write file", e);
            }
            if (n == 0) break;
        }
        ::close(in);
        const int fd = targetFd_;
        targetFd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) fail("Cannot write file", errno);
        unlink(temporary_.constData());
        committed_ = true;
        return;
    }
    // The work file may have been replaced by the library that changed it: set everything by name.
    const int fd = open(temporary_.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail("Cannot save file", errno);
    // The replaced file's owner and group where the system lets us (before the mode: a change of
    // owner clears the set-id bits).
    if (kind_ == Kind::Regular && fchown(fd, uid_t(uid_), gid_t(gid_)) != 0) errno = 0;
    const bool ok = fchmod(fd, mode_t(mode_)) == 0 && fsync(fd) == 0;
    const int e = errno;
    ::close(fd);
    if (!ok) fail("Cannot save file", e);
    if (rename(temporary_.constData(), target_.constData()) != 0) fail("Cannot save file", errno);
    committed_ = true;
}

bool SameFile(const QString& a, const QString& b) {
    return Same(Resolve(a), Resolve(b));
}

void RegisterOpenFile(const QString& path, const QString& description) {
    const QString abs = QFileInfo(path).absoluteFilePath();
    std::lock_guard<std::mutex> lock(g_openMutex);
    for (OpenFile& f : g_open)
        if (f.path == abs) {
            ++f.count;
            return;
        }
    g_open.push_back({abs, description, 1});
}

void UnregisterOpenFile(const QString& path) {
    const QString abs = QFileInfo(path).absoluteFilePath();
    std::lock_guard<std::mutex> lock(g_openMutex);
    for (auto it = g_open.begin(); it != g_open.end(); ++it)
        if (it->path == abs) {
            if (--it->count == 0) g_open.erase(it);
            return;
        }
}
