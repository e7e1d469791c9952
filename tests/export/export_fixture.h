#pragma once
// A real SQLite table opened into a query, and small file helpers for the export tests.
#include "connection.h"
#include "query.h"
#include "test_util.h"

#include <QByteArray>
#include <QJsonObject>
#include <memory>

struct OpenedTable {
    TADOConnection connection;
    TADOQuery query{&connection};
};

// Creates the database from sql in dir and opens "SELECT * FROM table".
std::unique_ptr<OpenedTable> OpenTable(const TempDir& dir, const QString& sql, const QString& table);
// Opens a table of the demo database of the build.
std::unique_ptr<OpenedTable> OpenDemoTable(const QString& table);

// "big": 70,000 rows, two blocks of a forward-only read (texts with separators and quotes, NULLs, the
// longest text in the second block, reals, dates).
extern const char* const kTwoBlockTable;

// Lines of a CR LF file (the last one ends with CR LF; a file that does not fails the test).
QStringList CrLfLines(const QByteArray& data);

// A sheet (empty: the active one) of an xlsx workbook as openpyxl reads it: "title", "sheets",
// "active", "freeze", "dimension", "filter", "zoom", "scale", "fit", "widths" (letter: width), "heights"
// (row: points, where set) and "cells" (of the cells in the file, by reference: [value, type, number
// format, bold, left border style, font name, font size, font colour, solid fill colour], colours as
// ARGB texts or null) and "conditional" (data bars, colour scales and icon sets: [range, type, priority,
// [[point type, value]...], [colours], icon set, show value]); dates and times as ISO texts.
QJsonObject ReadWorkbook(const QString& path, const QString& sheet = {});
// The Python with Debian's openpyxl.
QString Python();
