#include "test_util.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

QString MakeSqliteDb(const QString& path, const QString& sql) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), path});
    p.waitForStarted();
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished();
    if (p.exitCode() != 0)
        throw std::runtime_error(("sqlite3 failed: " + p.readAllStandardError()).toStdString());
    return path;
}

QString SourceDir() {
    return QStringLiteral(TABULO_SOURCE_DIR);
}
QString ProgramDir() {
    return QStringLiteral(TABULO_PROGRAM_DIR);
}

CliRun cli(const QStringList& args) {
    return cli(args, QProcess::systemEnvironment());
}

CliRun cli(const QStringList& args, const QStringList& environment) {
    QProcess p;
    p.setEnvironment(environment);
    p.start(QDir(ProgramDir()).filePath("tabulo-cli"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

int RunProgram(const QString& program, const QStringList& args, QByteArray* out, QByteArray* err,
               int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) return -1;
    if (out) *out = p.readAllStandardOutput();
    if (err) *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString Soffice() {
    for (const char* name : {"soffice", "libreoffice"}) {
        QString p = QStandardPaths::findExecutable(name);
        if (!p.isEmpty()) return p;
    }
    return QString();
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size()) << path.toStdString();
}

void WriteColourPng(const QString& path, int w, int h) {
    QImage image(w, h, QImage::Format_RGB888);
    ASSERT_FALSE(image.isNull()) << "no memory for the picture";
    image.fill(QColor(20, 120, 200));
    QImageWriter writer(path, "png");
    writer.setQuality(90); // fast compression
    ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

unsigned FileMode(const QString& path) {
    struct stat st;
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

QStringList FolderNames(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}
