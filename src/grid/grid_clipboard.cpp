#include "grid_clipboard.h"

#include "clip_text.h"
#include "cursor_guard.h"
#include "db_grid.h"
#include "exceptions.h"
#include "field.h"
#include "messages.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLocale>
#include <QScopeGuard>

std::vector<int> GridColumnsInOrder(const TkDBGrid& grid, bool withHidden) {
    const QHeaderView* header = grid.horizontalHeader();
    const int n = grid.dataModel()->columnCount();
    std::vector<int> columns;
    columns.reserve(size_t(n));
    for (int v = 0; v < n; ++v) {
        const int c = header->logicalIndex(v);
        if (c >= 0 && (withHidden || !grid.isColumnHidden(c))) columns.push_back(c);
    }
    return columns;
}

int FirstVisibleColumn(const TkDBGrid& grid) {
    const std::vector<int> shown = GridColumnsInOrder(grid, false);
    if (!shown.empty()) return shown.front();
    const int n = grid.dataModel()->columnCount();
    return n > 0 ? grid.horizontalHeader()->logicalIndex(n - 1) : -1;
}

void GoToFirstVisibleColumn(TkDBGrid& grid) {
    const int column = FirstVisibleColumn(grid);
    TDataSet* ds = grid.dataSet();
    const int row = grid.dataModel()->currentRow();
    if (column < 0 || !ds || !ds->Active() || row < 0) return;
    grid.setCurrentIndex(grid.dataModel()->index(row, column));
}

// --- copying

namespace {
template <typename Text> void appendLine(QString& out, const std::vector<int>& columns, const Text& text) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += u'\t';
        AppendClipCell(out, text(columns[i]));
    }
    out += QLatin1String("\r\n");
}

// Lines of the given columns over the view positions [first, last].
QString tableText(const TkDBGrid& grid, const std::vector<int>& columns, int first, int last, bool titles) {
    HourglassCursor wait;
    QString out;
    if (titles) appendLine(out, columns, [&](int c) { return grid.GetTitleText(c); });
    for (int row = first; row <= last; ++row)
        appendLine(out, columns, [&](int c) { return grid.GetCellValue(c, row); });
    return out;
}

TDataSet* openDataSet(const TkDBGrid& grid) {
    TDataSet* ds = grid.dataSet();
    return ds && ds->Active() ? ds : nullptr;
}

void putOnClipboard(const QString& text) {
    QApplication::clipboard()->setText(text);
}
} // namespace

QString CellDataText(const TkDBGrid& grid) {
    TDataSet* ds = openDataSet(grid);
    const int column = grid.currentIndex().column();
    if (!ds || ds->currentPosition() < 0 || column < 0) return QString();
    return grid.GetCellValue(column, ds->currentPosition());
}

QString ActiveRecordDataText(const TkDBGrid& grid, TableCopyOptions options) {
    TDataSet* ds = openDataSet(grid);
    if (!ds) return QString();
    const int row = ds->currentPosition();
    return tableText(grid, GridColumnsInOrder(grid, options.hidden), row, row < 0 ? -1 : row, options.titles);
}

QString ActiveFieldDataText(const TkDBGrid& grid, TableCopyOptions options) {
    TDataSet* ds = openDataSet(grid);
    TField* current = grid.fieldOfColumn(grid.currentIndex().column());
    if (!ds || !current) return QString();
    std::vector<int> columns;
    for (int c : GridColumnsInOrder(grid, true))
        if (grid.fieldOfColumn(c)->FieldName == current->FieldName) columns.push_back(c);
    return tableText(grid, columns, 0, ds->RecordCount() - 1, options.titles);
}

QString AllDataText(const TkDBGrid& grid, TableCopyOptions options) {
    TDataSet* ds = openDataSet(grid);
    if (!ds) return QString();
    return tableText(grid, GridColumnsInOrder(grid, options.hidden), 0, ds->RecordCount() - 1,
                     options.titles);
}

void CopyCellData(const TkDBGrid& grid) {
    putOnClipboard(CellDataText(grid));
}
void CopyActiveRecordData(const TkDBGrid& grid, TableCopyOptions options) {
    putOnClipboard(ActiveRecordDataText(grid, options));
}
void CopyActiveFieldData(const TkDBGrid& grid, TableCopyOptions options) {
    putOnClipboard(ActiveFieldDataText(grid, options));
}
void CopyAllData(const TkDBGrid& grid, TableCopyOptions options) {
    putOnClipboard(AllDataText(grid, options));
}

// --- pasting

namespace {
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == QChar(0xA0) || c == QChar(0x202F);
}

// A pasted value as the field takes it: numbers lose digit grouping and blanks (and take the
// locale's decimal point as the point the field reads); date-times lose surrounding blanks only, as
// the blank between date and time is part of the value.
QString fieldText(const TField& f, const QString& value) {
    if (IsNumericField(f)) {
        const QLocale locale;
        const QString group = locale.groupSeparator();
        QString s;
        s.reserve(value.size());
        for (QChar c : value)
            if (!isBlank(c) && !(group.size() == 1 && c == group[0])) s += c;
        const QString point = locale.decimalPoint();
        if (point.size() == 1 && point != QLatin1String(".")) s.replace(point[0], u'.');
        return s;
    }
    if (IsDateTimeField(f)) {
        qsizetype a = 0, b = value.size();
        while (a < b && isBlank(value[a]))
            ++a;
        while (b > a && isBlank(value[b - 1]))
            --b;
        return value.mid(a, b - a);
    }
    return value;
}

struct PasteProblems {
    int refused = 0;
    QStringList refusedDetails; // the first few
    int beyondLastColumn = 0;
    QList<int> skippedLines; // a failed post answered "go on"
    int stoppedAt = 0;       // a failed post answered "stop"
    int notPasted = 0;       // lines after the stop
    int leftOver = 0;        // update lines beyond the last record

    QString text() const {
        QStringList parts;
        if (refused) {
            QString s = QStringLiteral("%1 value(s) were not accepted and left out:").arg(refused);
            for (const QString& d : refusedDetails)
                s += u'\n' + d;
            if (refused > refusedDetails.size())
                s += QStringLiteral("\n... and %1 more.").arg(refused - refusedDetails.size());
            parts << s;
        }
        if (beyondLastColumn)
            parts << QStringLiteral("%1 value(s) lay beyond the last column and were not pasted.")
                         .arg(beyondLastColumn);
        if (!skippedLines.isEmpty()) {
            QStringList lines;
            for (int l : skippedLines)
                lines << QString::number(l);
            parts << QStringLiteral("Lines not saved: %1.").arg(lines.join(QLatin1String(", ")));
        }
        if (stoppedAt)
            parts << QStringLiteral("The paste stopped at line %1; %2 line(s) after it were not pasted.")
                         .arg(stoppedAt)
                         .arg(notPasted);
        if (leftOver)
            parts << QStringLiteral("%1 line(s) were not pasted: there are no more records to update.")
                         .arg(leftOver);
        return parts.join(QLatin1String("\n\n"));
    }
};
} // namespace

void PasteText(TkDBGrid& grid, const QString& text, bool addNew) {
    TDataSet* ds = grid.dataSet();
    // An empty table has no current cell: its first shown column takes the paste.
    const int first = grid.currentIndex().isValid() ? grid.currentIndex().column() : FirstVisibleColumn(grid);
    if (!ds || !ds->Active() || first < 0 || first >= grid.dataModel()->columnCount()) return;
    ClipTextReader reader(text);
    QStringList cells;
    if (!reader.next(cells)) return;
    const bool multiLine = !reader.atEnd();

    // The target columns: the current one, then the shown columns to its right.
    std::vector<TField*> targets{grid.fieldOfColumn(first)};
    const QHeaderView* header = grid.horizontalHeader();
    const int from = header->visualIndex(first);
    for (int c : GridColumnsInOrder(grid, false))
        if (header->visualIndex(c) > from) targets.push_back(grid.fieldOfColumn(c));

    PasteProblems problems;
    {
        HourglassCursor wait;
        const auto controls = qScopeGuard([ds, multiLine] {
            if (multiLine) ds->EnableControls();
        });
        if (multiLine) ds->DisableControls();
        do {
            const int line = reader.lineNumber();
            if (addNew)
                ds->Append();
            else
                ds->Edit();
            if (ds->State() != dsEdit && ds->State() != dsInsert) break;
            const size_t n = std::min(size_t(cells.size()), targets.size());
            problems.beyondLastColumn += int(size_t(cells.size()) - n);
            for (size_t i = 0; i < n; ++i) {
                TField* f = targets[i];
                const QString value = fieldText(*f, cells[qsizetype(i)]);
                try {
                    // An empty cell over no value leaves it empty: copied NULLs come back as NULLs.
                    if (value.isEmpty() && f->IsNull()) continue;
                    f->setAsString(value);
                } catch (const std::exception& e) {
                    ++problems.refused;
                    if (problems.refusedDetails.size() < 10)
                        problems.refusedDetails << QStringLiteral("Line %1, column \"%2\": %3")
                                                       .arg(line)
                                                       .arg(f->DisplayLabel(), ExceptionMessage(e));
                }
            }
            if (!multiLine) break;
            try {
                ds->Post();
            } catch (const std::exception& e) {
                const MsgAnswer answer = Messages().questionHeading(
                    QStringLiteral("Error: Cannot save record.") + u'\n' + QStringLiteral("Continue?"),
                    ExceptionBoxText(ExceptionMessage(e)) +
                        QStringLiteral("\n\nLine %1 of the pasted text.").arg(line));
                if (answer != MsgAnswer::Yes) {
                    // The record stays in edit for the user to correct or cancel.
                    problems.stoppedAt = line;
                    problems.notPasted = reader.skipRest();
                    break;
                }
                ds->Cancel();
                problems.skippedLines << line;
            }
            if (reader.atEnd()) break;
            if (!addNew) {
                if (ds->currentPosition() + 1 >= ds->RecordCount()) {
                    problems.leftOver = reader.skipRest();
                    break;
                }
                ds->Next();
            }
        } while (reader.next(cells));
    }
    // The grid's model was reset when the controls came back: the paste's column stays current.
    if (multiLine && grid.dataModel()->currentRow() >= 0)
        grid.setCurrentIndex(grid.dataModel()->index(grid.dataModel()->currentRow(), first));

    const QString report = problems.text();
    if (!report.isEmpty()) Messages().warning(report);
}

void PasteData(TkDBGrid& grid, bool addNew) {
    const QString text = QApplication::clipboard()->text();
    PasteText(grid, text, addNew);
}
