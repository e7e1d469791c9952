#pragma once
// SQL text run on a connection: a query (its first word is SELECT or WITH) or a script of batches
// separated by lines that hold only "GO". The command window and tabulo-cli share this engine.
#include "exceptions.h"

#include <QString>
#include <functional>
#include <vector>

class TADOConnection;

struct SqlBatch {
    QString text;                  // the batch's lines as written, joined by LF
    int firstLine;                 // 1-based line of its first non-blank line in the whole text
    QString firstLineText() const; // that line, trimmed
};

// The first word: leading blanks and line breaks skipped, then up to the next blank or line break.
QString FirstSqlWord(const QString& text);
// True when the text is a query that returns rows (its first word is SELECT or WITH).
bool IsRowQuery(const QString& text);
// A line that ends a batch: "GO" in any case with any surrounding blanks ("GO 5" is not one).
bool IsGoLine(QStringView line);
// The batches of a script in order; batches that are blank are left out. A NUL character, which
// drivers take for the end of the text, raises EDatabaseError naming its line.
std::vector<SqlBatch> SplitSqlBatches(const QString& script);

// A batch the database refused: names the batch and its first line.
class ESqlBatchError : public EDatabaseError {
public:
    ESqlBatchError(int number, const SqlBatch& batch, const QString& reason);
    int Number;
};

// Runs the batches in order, each as one command without a result set, and returns the sum of the
// rows they changed. afterBatch (optional) hears each batch's number (1-based) and row count. A
// failing batch raises ESqlBatchError; the batches before it stay executed, later ones are not run.
qint64
RunSqlBatches(TADOConnection& connection, const QString& script,
              const std::function<void(int number, const SqlBatch& batch, qint64 rows)>& afterBatch = {});
