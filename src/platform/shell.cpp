#include "shell.h"

#include "messages.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {
ShellHandler g_handler;

bool realShell(ShellVerb verb, const QString& path) {
    if (!QFileInfo::exists(path)) return false;
    if (verb == ShellVerb::Open) return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (lp.isEmpty()) return false;
    return QProcess::startDetached(lp, {path});
}

bool run(ShellVerb verb, const QString& path) {
    return g_handler ? g_handler(verb, path) : realShell(verb, path);
}
} // namespace

void SetShellHandler(ShellHandler handler) {
    g_handler = std::move(handler);
}
bool ShellOpen(const QString& path) {
    return run(ShellVerb::Open, path);
}
bool ShellPrint(const QString& path) {
    return run(ShellVerb::Print, path);
}
bool ShellOpenUrl(const QUrl& url) {
    return g_handler ? g_handler(ShellVerb::Open, url.toString()) : QDesktopServices::openUrl(url);
}

bool DoActionAfter(const QString& path, TActionAfter action) {
    switch (action) {
    case aaNone:
        return true;
    case aaShow:
        if (ShellOpen(path)) return true;
        Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(path));
        return false;
    case aaPrint:
        if (ShellPrint(path)) return true;
        if (Messages().questionHeading(QStringLiteral("Cannot print file \"%1\".").arg(path),
                                       QStringLiteral("Open file \"%1\"?").arg(path)) == MsgAnswer::Yes)
            return DoActionAfter(path, aaShow);
        return false;
    }
    return false;
}
