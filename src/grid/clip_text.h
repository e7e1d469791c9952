#pragma once
// Tab-separated clipboard text: the cell form that copies write, and a reader that takes pasted text
// (ours or a spreadsheet's) apart into lines and cells.
#include <QString>
#include <QStringList>

// Appends one value in the copied-cell form: a value holding a line break, a double quote or a tab
// goes between double quotes, with its quotes doubled; its line breaks stay as they are stored, so a
// value reads back byte for byte (lines of copied text end with CR LF, which the reader then takes
// as the line separator and leaves quoted CRs and LFs inside their values).
void AppendClipCell(QString& out, QStringView value);

// Reads pasted text line by line. Lines end with CR LF, else (text without CR LF) with LF, else with
// CR; one trailing line break is dropped. Cells are split at tabs outside double quotes: a cell that
// starts with a quote and whose closing quote ends the cell is unquoted ("" is one quote) and keeps
// its tabs and line breaks; any other cell is taken as it stands.
class ClipTextReader {
public:
    explicit ClipTextReader(QString text);
    bool atEnd() const { return done_; }
    // The next line's cells; false at the end.
    bool next(QStringList& cells);
    int lineNumber() const { return line_; } // of the line last read, from 1
    // Skips the lines not read yet; returns how many they were.
    int skipRest();

private:
    bool separatorAt(qsizetype i) const;
    QString text_;
    qsizetype pos_ = 0;
    int sepLength_ = 1;
    QChar sep_ = u'\n';
    bool done_ = false;
    int line_ = 0;
};
