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

// Lines of a CR LF file (the last one ends with CR LF; a file that does not fails the test).
QStringList CrLfLines(const QByteArray& data);

// The active sheet of an xlsx workbook as openpyxl reads it: "title", "sheets", "freeze", "filter",
// "zoom", "scale", "fit", "widths" (letter: width) and "cells" (of the cells in the file, by reference:
// [value, type, number format, bold, left border style, font name, font size]); dates and times as ISO texts.
QJsonObject ReadWorkbook(const QString& path);
// The Python with Debian's openpyxl.
QString Python();
