#include "separator_text.h"

bool SeparatorFromText(const QString& text, QString& separator) {
    if (text.isEmpty()) return false;
    if (text.startsWith('#')) {
        bool ok;
        int code = text.mid(1, 3).trimmed().toInt(&ok);
        separator = QString(QChar(ok && code >= 0 && code <= 0xFFFF ? code : 0));
    } else if (text.size() > 8) {
        separator = text.left(1);
    } else {
        separator = text;
    }
    return true;
}
