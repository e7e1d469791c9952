#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString g_folder;
}

void SetProgramFolder(const QString& folder) {
    g_folder = folder;
}

QString ProgramFolder() {
    if (!g_folder.isEmpty()) return g_folder;
    QString exeDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeDir).isWritable()) return g_folder = exeDir;
    g_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(g_folder);
    return g_folder;
}
