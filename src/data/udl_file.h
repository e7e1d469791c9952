#pragma once
// Connection files: UTF-16LE with BOM, an "[oledb]" line, a comment line, one initialisation string.
// UTF-8 and ASCII files are read too.
#include <QString>

// Returns the initialisation string; raises naming the file when it is missing or malformed.
QString ReadUdlFile(const QString& path);
// Writes the file in its usual UTF-16LE form (through a temporary file renamed over the old one).
void WriteUdlFile(const QString& path, const QString& initString);
