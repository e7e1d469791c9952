#pragma once
// Opening the target of a link through the shell, limited to kinds known to be safe: http and https
// addresses with a host, mailto addresses without attachment parameters, and existing local
// documents of an allowed type (a relative name is taken from the program folder). Everything else
// is refused: other schemes, executables, scripts, launcher files, folders.
#include <QString>

enum class HtmlLinkKind { Refused, Web, LocalFile };

// What the target is and, for a local file, its absolute path in resolved.
HtmlLinkKind ClassifyHtmlLink(const QString& target, QString* resolved = nullptr);

// Returns false when the target was refused or the shell could not open it.
bool OpenHtmlLink(const QString& target);

// OpenHtmlLink, with "Cannot open file \"%s\"." shown as a warning when it fails.
void OpenHtmlLinkOrWarn(const QString& target);
