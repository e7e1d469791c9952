#pragma once
// Finding XML elements in raw template text by their whole name: "<w:tr>" and "<w:tr w:rsidR=...>"
// both start a w:tr element, while "<w:tbl" does not start "<w:tblGrid>" and "<table:table" does not
// start "<table:table-row>".
#include <QString>
#include <QStringView>

// The "<" of the first start tag of the element at or after from; -1 when none.
qsizetype FindElementStart(QStringView text, QStringView name, qsizetype from = 0);
// The "<" of the last start tag of the element that begins before before; -1 when none.
qsizetype FindElementStartBack(QStringView text, QStringView name, qsizetype before);
// The position just after the end tag "</name>" at or after from; -1 when none.
qsizetype FindElementEnd(QStringView text, QStringView name, qsizetype from = 0);
// The position just after the ">" of the tag that starts at pos; -1 when it does not close.
qsizetype TagEnd(QStringView text, qsizetype pos);

// Appends text escaped as XML character data: the five entities, characters that XML does not allow
// (controls other than tab, line feed and carriage return; unpaired surrogates; U+FFFE, U+FFFF)
// removed, a tab written as tab, and a line end (CR LF, CR or LF) as lineBreak.
void AppendXmlText(QString& out, QStringView text, const QString& tab, const QString& lineBreak);
// As AppendXmlText for ODF text, whose readers collapse blanks: a run of blanks at either end of the
// text or next to a tab or line end is written as "<text:s text:c="n"/>", elsewhere as one blank
// followed by such an element for the rest.
void AppendOdfText(QString& out, QStringView text, const QString& tab, const QString& lineBreak);
// Decodes the predefined entities and character references of XML text.
QString DecodeXmlEntities(QStringView text);
