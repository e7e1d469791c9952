#pragma once
// The command window's text helpers: the SQL templates with their placeholders, the inserted texts
// and the table filter. No widgets, so they are tested directly.
#include "dialect.h"

#include <QString>
#include <QStringList>

// The templates offered at start, one entry each. "<Table>", "<Fields>" and "<Field>" are
// placeholders (any case); "???" marks what the user fills in.
QStringList DefaultSqlTemplates();

// The selected fields quoted by the field-name rule and joined by ", "; "*" stays as it is.
QString QuotedFieldList(const QStringList& fields, const Dialect& dialect);

// A template with its placeholders filled: every "<Table>" by the quoted table; then every
// "<Fields>" by the field list, or else, when it holds "<Field>", one copy per field with that
// field's quoted name, the copies joined by a blank (no field: empty).
QString ExpandSqlTemplate(const QString& tmpl, const QString& table, const QStringList& fields,
                          const Dialect& dialect);

// What an insertion puts into the text: the text and one blank, then a line break when asked.
QString InsertionText(const QString& text, bool lineBreak);

// The entries of source that contain find (any case), in source order; all of them for an empty find.
QStringList FilterNames(const QStringList& source, const QString& find);
