#pragma once
// The table workflow shared by the main window and tabulo-cli: the table list, the table expression and
// the load statements.
#include "dialect.h"

#include <QString>
#include <QStringList>

class TDataSet;

// File-name style pattern, case-insensitive: "*" any run, "?" one character, "[a-c]" / "[!x]" one of a
// set or range (or not of it). An empty mask matches nothing (so it excludes nothing).
bool MatchesMask(const QString& name, const QString& mask);

enum class TableChoice { Tables, Views, Both };

// Whether a tables-rowset row of this TABLE_TYPE is listed for the choice.
bool TakeTableType(const QString& type, TableChoice choice);

// The names of a tables rowset (TABLE_TYPE, TABLE_NAME) to list, sorted case-insensitively; names the
// exclude mask matches and empty names are left out.
QStringList TableNamesOf(TDataSet& rowset, TableChoice choice, const QString& excludeMask);

// The table expression: start + name + stop when a start text is given (a stop text inside the name is
// doubled so the name cannot end the quotes early), else the name quoted when it needs quotes; then the
// prefix in front.
QString TableExpression(const QString& name, const QString& prefix, const QString& start, const QString& stop,
                        const Dialect& dialect);

// The statement reading a table expression: every row for rows < 0, else the first `rows` rows in the
// dialect's row-limit form.
QString SelectRows(const QString& tableExpression, int rows, const Dialect& dialect);

struct LoadStatements {
    QString count;
    QString data;
};
// "SELECT Count(*) FROM %s" and the data statement: all rows for topThousands <= 0, else the first
// topThousands * 1000 in the dialect's row-limit form.
LoadStatements LoadStatementsFor(const QString& tableExpression, int topThousands, const Dialect& dialect);
