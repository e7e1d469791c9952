#pragma once
// Reading file sources in tests: a statement's result as names, type names and rows of text.
#include <QList>
#include <QString>
#include <QStringList>

struct ReadResult {
    QStringList names, types;
    QList<QStringList> rows; // NULL as "\N"; dates ISO; floats in their shortest form
    QString error;           // the message when reading raised
};

// Opens the connection string and runs the statement ("SELECT * FROM [table]" when only a table
// is given).
ReadResult ReadSource(const QString& connection, const QString& table, const QString& sql = QString());
// The table names of a source as GetTableNames lists them.
QStringList SourceTables(const QString& connection);
