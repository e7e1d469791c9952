#pragma once
// The shell: open a file with its associated application, print it through the print verb.
#include "action_after.h"

#include <QString>
#include <QUrl>
#include <functional>

enum class ShellVerb { Open, Print };

// Returns true when the request was handed over; does not wait for the application.
bool ShellOpen(const QString& path);
bool ShellPrint(const QString& path);
// Opens a web or mail address with the user's browser or mail program. Through the test handler
// it arrives as ShellVerb::Open with the address as text.
bool ShellOpenUrl(const QUrl& url);

// Tests replace the shell so nothing is started; nullptr restores the real one.
using ShellHandler = std::function<bool(ShellVerb, const QString& path)>;
void SetShellHandler(ShellHandler handler);

// Does what the action says with a result file: aaShow opens it ("Cannot open file \"%s\"." when it
// cannot), aaPrint prints it ("Cannot print file \"%s\"." and the question "Open file \"%s\"?" when
// it cannot). Returns true when the action was carried out (always for aaNone).
bool DoActionAfter(const QString& path, TActionAfter action);
