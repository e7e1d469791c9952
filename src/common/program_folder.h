#pragma once
// The program folder: the executable's folder when it is writable (the build tree, a portable copy),
// otherwise the user's data folder. Ends without a separator.
#include <QString>

QString ProgramFolder();
// Tests and tools point the program folder elsewhere.
void SetProgramFolder(const QString& folder);
