#include "html_link_open.h"

#include "messages.h"
#include "program_folder.h"
#include "shell.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

// Kinds of file that a desktop opens by running them, refused whatever their name says.
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

// The kinds of document a link may open: what their viewers show without running anything.
const char* const kDocumentSuffixes[] = {
    "pdf", "txt",  "text", "log", "csv",  "tsv", "rtf", "doc", "docx", "odt", "ods", "odp", "xls",  "xlsx",
    "ppt", "pptx", "slk",  "htm", "html", "xml", "png", "jpg", "jpeg", "gif", "bmp", "tif", "tiff",
};

// The parameters a mail link may carry; anything else (attach=, attachment=, ...) may hand a mail
// program a local file.
const char* const kMailParameters[] = {"to", "cc", "bcc", "subject", "body", "in-reply-to"};

template <class List> bool listed(const List& list, const QString& s) {
    for (const char* item : list)
        if (s.compare(QLatin1String(item), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isProgram(const QFileInfo& fi) {
    if (fi.isExecutable()) return true;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(fi);
    for (const char* name : kProgramMimeTypes)
        if (mime.inherits(QLatin1String(name))) return true;
    return false;
}

HtmlLinkKind classifyFile(const QString& path, QString* resolved) {
    if (path.isEmpty()) return HtmlLinkKind::Refused;
    const QFileInfo fi(QDir(ProgramFolder()).absoluteFilePath(path));
    if (!fi.isFile() || !listed(kDocumentSuffixes, fi.suffix()) || isProgram(fi))
        return HtmlLinkKind::Refused;
    if (resolved) *resolved = fi.absoluteFilePath();
    return HtmlLinkKind::LocalFile;
}

bool safeMailParameters(const QUrl& url) {
    for (const auto& item : QUrlQuery(url).queryItems())
        if (!listed(kMailParameters, item.first)) return false;
    return true;
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
        if (url.path().isEmpty() || !safeMailParameters(url)) return HtmlLinkKind::Refused;
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
