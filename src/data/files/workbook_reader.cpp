#include "exceptions.h"
#include "sheet_readers.h"

QStringList WorkbookReader::tables() {
    QStringList out;
    for (const QString& s : sheets_)
        out << s + '$';
    return out;
}

void WorkbookReader::read(const QString& table, ResultSink& sink, qint64 maxRows) {
    QString name = table;
    if (name.endsWith('$')) name.chop(1);
    for (int i = 0; i < sheets_.size(); ++i)
        if (sheets_[i].compare(name, Qt::CaseInsensitive) == 0) {
            SheetTable t;
            loadSheet(i, t);
            t.write(sink, source_.header != 0, maxRows);
            return;
        }
    throw EDatabaseError(FileError(source_.path, QStringLiteral("there is no sheet \"%1\"").arg(table)));
}
