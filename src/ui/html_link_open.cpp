#include "html_link_open.h"

#include "messages.h"
#include "program_folder.h"
#include "shell.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

namespace {

// Kinds of file that a desktop opens by running them.
const char* const kProgramMimeTypes[] = {
    "application/x-executable",
    "application/x-sharedlib",
    "application/x-pie-executable",
    "application/x-shellscript",
    "application/x-desktop",
    "application/x-ms-dos-executable",
    "application/x-msdownload",
    "application/x-msi",
    "application/x-java-archive",
    "application/vnd.appimage",
    "application/x-executable-script",
    "application/x-perl",
    "application/x-python",
    "text/x-python",
    "text/x-python3",
    "application/x-ruby",
    "application/x-csh",
    "application/x-bat",
    "application/x-ms-shortcut",
    "application/x-mswinurl",
};

bool isProgram(const QFileInfo& fi) {
    if (!fi.isFile()) return false;
    if (fi.isExecutable()) return true;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(fi);
    for (const char* name : kProgramMimeTypes)
        if (mime.inherits(QLatin1String(name))) return true;
    return false;
}

HtmlLinkKind classifyFile(const QString& path, QString* resolved) {
    if (path.isEmpty()) return HtmlLinkKind::Refused;
    const QFileInfo fi(QDir(ProgramFolder()).absoluteFilePath(path));
    if (!fi.exists() || isProgram(fi)) return HtmlLinkKind::Refused;
    if (resolved) *resolved = fi.absoluteFilePath();
    return HtmlLinkKind::LocalFile;
}

} // namespace

HtmlLinkKind ClassifyHtmlLink(const QString& target, QString* resolved) {
    const QString t = target.trimmed();
    // A scheme has two characters at least, so "C:/x" stays a path.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    const QRegularExpressionMatch m = scheme.match(t);
    if (!m.hasMatch()) return classifyFile(t, resolved);
    const QString s = m.captured(1).toLower();
    const QUrl url(t, QUrl::StrictMode);
    if (!url.isValid()) return HtmlLinkKind::Refused;
    if (s == QLatin1String("http") || s == QLatin1String("https")) {
        if (url.host().isEmpty()) return HtmlLinkKind::Refused;
    } else if (s == QLatin1String("mailto")) {
        if (url.path().isEmpty()) return HtmlLinkKind::Refused;
    } else if (s == QLatin1String("file")) {
        return url.isLocalFile() ? classifyFile(url.toLocalFile(), resolved) : HtmlLinkKind::Refused;
    } else {
        return HtmlLinkKind::Refused;
    }
    if (resolved) *resolved = url.toString();
    return HtmlLinkKind::Web;
}

bool OpenHtmlLink(const QString& target) {
    QString resolved;
    switch (ClassifyHtmlLink(target, &resolved)) {
    case HtmlLinkKind::Web:
        return ShellOpenUrl(QUrl(resolved, QUrl::StrictMode));
    case HtmlLinkKind::LocalFile:
        return ShellOpen(resolved);
    case HtmlLinkKind::Refused:
        break;
    }
    return false;
}

void OpenHtmlLinkOrWarn(const QString& target) {
    if (!OpenHtmlLink(target)) Messages().warning(QStringLiteral("Cannot open file \"%1\".").arg(target));
}
