#pragma once
// The program folder: the executable's folder when it is writable (the build tree, a portable copy),
// otherwise the user's data folder. An installed copy (bin/ beside share/tabulo/) always uses the
// user's data folder, seeded from share/tabulo/. Ends without a separator.
#include <QString>

QString ProgramFolder();
// Tests and tools point the program folder elsewhere.
void SetProgramFolder(const QString& folder);
// Copies the files under `from` into `to` that `to` lacks and never received before (the list of
// copied paths is kept in `to`/.seeded), so a file the user changed or removed stays as the user
// left it while files new in an update still arrive. Returns false when a copy failed.
bool SeedFolder(const QString& from, const QString& to);
