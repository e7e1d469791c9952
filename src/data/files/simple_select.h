#pragma once
// The statements a file source answers: SELECT [TOP n] * | COUNT(*) | col [AS alias], ... FROM table
// [WHERE condition] [ORDER BY col [ASC|DESC], ...] [LIMIT n]. The condition is evaluated by the
// dataset filter language (comparisons, LIKE, IS [NOT] NULL, AND, OR, NOT, parentheses); "1=1"
// terms are dropped. Anything else is refused with a message naming what is not supported.
#include <QString>
#include <utility>
#include <vector>

struct SimpleSelect {
    QString table;
    bool star = false;
    bool count = false;
    std::vector<std::pair<QString, QString>> columns; // name, output name
    QString where;                                    // filter text; empty: every row
    QString orderBy;                                  // dataset sort text
    qint64 top = -1;
};

// Raises EDatabaseError naming the part of the statement that is not supported.
SimpleSelect ParseSimpleSelect(const QString& sql);
