#include "connection_files.h"

#include "messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QStringList ConnectionList(const QString& conDir) {
    QStringList names =
        QDir(conDir).entryList({QStringLiteral("*.udl")}, QDir::Files | QDir::Hidden, QDir::NoSort);
    names.removeAll(QStringLiteral("."));
    names.removeAll(QStringLiteral(".."));
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString WithUdlExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".udl");
}

QString ConnectionFiles::run(int kind, const QString& comboText) {
    const QString s = comboText.trimmed();
    QString newName;
    if (kind == cfoDuplicate || kind == cfoModify) {
        if (s.isEmpty()) {
            Messages().warning(QStringLiteral("Select connection firstly"));
            return {};
        }
        if (!QFileInfo(conDir_ + s).isFile()) {
            if (Messages().question(
                    QStringLiteral("Connection \"%1\" does not exist. Create new one?").arg(s)) !=
                MsgAnswer::Yes)
                return {};
            newName = s;
            kind = cfoCreate;
        }
    }
    auto openEditor = [this](const QString& path) {
        if (!OpenEditor || !OpenEditor(path)) {
            Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(path));
            return false;
        }
        return true;
    };
    if (kind == cfoModify) {
        openEditor(conDir_ + s);
        return {};
    }
    if (newName.isEmpty()) {
        QString input;
        if (!Messages().inputBox(QStringLiteral("Input"), QStringLiteral("Enter name of new connection:"),
                                 input))
            return {};
        newName = input.trimmed();
    }
    // A name must stay a file of the connection folder.
    if (newName.contains('/') || newName.contains('\\') ||
        WithUdlExtension(newName) == QLatin1String(".udl")) {
        Messages().warning(QStringLiteral("Invalid connection name \"%1\".").arg(newName));
        return {};
    }
    newName = WithUdlExtension(newName);
    const QString target = conDir_ + newName;
    const bool sameFile = kind == cfoDuplicate && QFileInfo(conDir_ + s) == QFileInfo(target);
    const bool exists = QFileInfo::exists(target) && !sameFile;
    if (exists &&
        Messages().question(QStringLiteral("Connection \"%1\" already exists. Overwrite it?").arg(newName)) !=
            MsgAnswer::Yes)
        return {};
    if (kind == cfoCreate) {
        // The editor fills a draft; the connection exists only once the editor saved it. So Cancel
        // creates nothing, and a connection being overwritten stays until its successor is saved.
        const QString draft = exists ? target + QStringLiteral(".new") : target;
        QFile f(draft);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(draft));
            return {};
        }
        f.close();
        if (!openEditor(draft) || QFileInfo(draft).size() == 0) {
            QFile::remove(draft);
            return {};
        }
        if (draft != target && !(QFile::remove(target) && QFile::rename(draft, target))) {
            Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(target));
            return {};
        }
        return newName;
    }
    if (exists) QFile::remove(target);
    if (!sameFile && !QFile::copy(conDir_ + s, target)) {
        Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(target));
        return {};
    }
    openEditor(target);
    return newName;
}
