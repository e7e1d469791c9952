#pragma once
// The connection files: the *.udl files of the connection folder, and creating, duplicating and
// modifying them. The editor step is a hook, so the logic runs without windows.
#include <QString>
#include <QStringList>
#include <functional>

// The names (with extension) of the *.udl files in the folder, sorted.
QStringList ConnectionList(const QString& conDir);

// The name with its extension set to ".udl": added when missing, otherwise the part after the last
// point replaced.
QString WithUdlExtension(const QString& name);

enum ConnectionFileOp { cfoCreate = 1, cfoDuplicate = 2, cfoModify = 3 };

class ConnectionFiles {
public:
    explicit ConnectionFiles(const QString& conDir) : conDir_(conDir) {}
    const QString& conDir() const { return conDir_; }

    // Opens a connection file in the connection editor; false when it cannot be opened.
    std::function<bool(const QString& path)> OpenEditor;

    // The operation of the three links on the combo text. Returns the name the combo should show
    // afterwards (empty: leave it as it is). A new connection whose editor was left without saving
    // (the file is still empty) is not created.
    QString run(int kind, const QString& comboText);

private:
    QString conDir_;
};
