#pragma once
// RTF to plain text: paragraph and line ends become CR LF, tabs stay, escapes and Unicode characters
// are decoded, destinations (font and colour tables, pictures, "\*" groups) are left out. Lenient like a
// rich-text control: an unbalanced brace or an unknown control word never fails. No final CR LF.
#include <QString>
#include <QStringView>

QString RtfToPlainText(QStringView rtf);
