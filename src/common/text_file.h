#pragma once
// Text files the program reads (SQL scripts, connection files). A byte-order mark names UTF-8 or
// UTF-16; text without one is UTF-16LE when it looks so (a NUL as second byte), else UTF-8, else 8-bit
// text in the system's 8-bit code page (SystemCodePageName). While that is UTF-8 (the default here) 8-bit
// text is read as Latin-1, so no byte is changed or lost. What cannot be read faithfully is refused with the
// file and line: a NUL character, broken UTF-16 (a lone surrogate, an odd length), a byte the code page does
// not define and, in Latin-1, bytes 0x80-0x9F (a Windows code page's letters, not controls).
#include <QByteArray>
#include <QString>

// Raises Exception naming the file ("<kind> \"<fileName>\", line <n>: ...").
QString DecodeTextFile(const QByteArray& bytes, const QString& fileName,
                       const QString& kind = QStringLiteral("File"));

// Reads and decodes a file; maxBytes >= 0 refuses a larger file naming the limit. what (such as
// "SQL file") starts the messages.
QString ReadTextFile(const QString& path, const QString& what, qint64 maxBytes = -1);
