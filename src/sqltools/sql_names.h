#pragma once
// Quoting of table and field names for SQL text.
// The SQL Server form wraps a name in the shared quote characters only when it needs it; SQLite and
// PostgreSQL always quote, so their own keywords and PostgreSQL's case folding never bite.
#include "dialect.h"

#include <QString>

// The comma search over the shared reserved-word list: the name followed by a comma inside the list
// followed by a comma, case-insensitively. A tail of a listed word (DATE in CURRENT_DATE) and the empty
// name count as reserved.
bool IsReservedWord(const QString& name);

// True when the name must be wrapped in quotes: a blank, an underscore, a reserved word, or anything a
// plain identifier cannot hold (a quote character, punctuation, a leading digit).
bool NameNeedsQuotes(const QString& name);

// Wraps the name in the start and stop characters when it needs quotes; a stop character inside is
// doubled.
QString QuoteName(const QString& name, QChar start, QChar stop);

// The table-name and field-name pairs of the shared SQL settings.
QString QuoteTableName(const QString& name);
QString QuoteFieldName(const QString& name);
// The same in a dialect's form.
QString QuoteTableName(const QString& name, const Dialect& dialect);
QString QuoteFieldName(const QString& name, const Dialect& dialect);
