#pragma once
// A statement's text as the PostgreSQL provider sends it: "?" parameter marks numbered "$1", "$2", ...
// outside literals, quoted names and comments, and what the provider needs to know before sending it.
#include <QString>

struct PgStatement {
    QString text;           // "?" marks numbered when asked
    QString code;           // the text with literals, quoted names and comments blanked out
    QString keyword;        // the first word, upper case ("SELECT", "WITH", ...)
    int marks = 0;          // "?" marks found outside literals
    bool several = false;   // more than one statement (a ";" followed by more text)
    bool returning = false; // a RETURNING clause outside literals
    qsizetype end = 0;      // where the statement ends: trailing ";", blanks and comments cut off
};

PgStatement ScanPgStatement(const QString& sql, bool numberMarks);
