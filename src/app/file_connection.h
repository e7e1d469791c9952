#pragma once
// A database or connection file given on the command line or dropped on the main window becomes a
// connection file of the connection folder, so it is chosen and connected like any other.
#include <QString>

// Whether the file looks like a SQLite database: its header, or an empty file named like one.
bool IsSqliteDatabaseFile(const QString& path);

// The name (in conDir) of the connection file for `path`: a .udl of the folder itself as it is; a
// .udl from elsewhere copied in, its relative data source made absolute; a SQLite database gets
// "Provider=SQLite;Data Source=<absolute path>". An existing file that already says the same is
// reused, another name is never overwritten ("name (2).udl" ...). Raises naming the file when it is
// missing or neither kind.
QString ConnectionForFile(const QString& conDir, const QString& path);
