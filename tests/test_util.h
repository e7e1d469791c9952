#pragma once
// Small helpers shared by the test suites.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary folder that lives as long as the test.
class TempDir {
public:
    TempDir() { dir_.setAutoRemove(true); }
    QString path(const QString& name = QString()) const {
        return name.isEmpty() ? dir_.path() : dir_.filePath(name);
    }

private:
    QTemporaryDir dir_;
};

// Creates a SQLite database file from SQL (through the sqlite3 C API); returns its path.
QString MakeSqliteDb(const QString& path, const QString& sql);
// Writes a file whole, replacing what was there; a failure fails the test.
void WriteFile(const QString& path, const QByteArray& data);
// A file's bytes (empty when it cannot be read).
QByteArray ReadFile(const QString& path);
// A file's permission bits, links followed (0 when it does not exist).
unsigned FileMode(const QString& path);
// Every name in a folder, hidden ones too, sorted.
QStringList FolderNames(const QString& dir);

// Writes a PNG picture of one colour, w x h pixels of 24-bit colour (large ones compress to little).
void WriteColourPng(const QString& path, int w, int h);

// Runs the built tabulo-cli with the arguments; its exit status and both outputs.
struct CliRun {
    int status;
    QString out, err;
};
CliRun cli(const QStringList& args);
// The same with exactly the given environment variables ("NAME=value"), nothing inherited.
CliRun cli(const QStringList& args, const QStringList& environment);

// Runs a program and waits for it; its exit code (-1 when it did not start, finish or exit normally)
// and both outputs.
int RunProgram(const QString& program, const QStringList& args, QByteArray* out = nullptr,
               QByteArray* err = nullptr, int timeoutMs = 120000);

// The LibreOffice program, or an empty string when it is not installed.
QString Soffice();
// LibreOffice is needed in CI; elsewhere a machine without it skips.
#define REQUIRE_LIBREOFFICE(path)                                                                            \
    const QString path = Soffice();                                                                          \
    if (path.isEmpty()) {                                                                                    \
        if (qgetenv("CI") == "true") FAIL() << "LibreOffice (soffice) is not installed";                     \
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";                                            \
    }

// The source tree and the program folder of the build.
QString SourceDir();
QString ProgramDir();

// Readable Qt values in GoogleTest messages.
#include <QStringList>
#include <ostream>
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(", ").toStdString() << ']';
}
