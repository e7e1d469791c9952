#pragma once
// Opening the target of a link through the shell, limited to what cannot start a program:
// http, https and mailto addresses, and existing local documents (a relative name is taken from
// the program folder). Executables, scripts, desktop entries and other schemes are refused.
#include <QString>

enum class HtmlLinkKind { Refused, Web, LocalFile };

// What the target is and, for a local file, its absolute path in resolved.
HtmlLinkKind ClassifyHtmlLink(const QString& target, QString* resolved = nullptr);

// Returns false when the target was refused or the shell could not open it.
bool OpenHtmlLink(const QString& target);

// OpenHtmlLink, with "Cannot open file \"%s\"." shown as a warning when it fails.
void OpenHtmlLinkOrWarn(const QString& target);
