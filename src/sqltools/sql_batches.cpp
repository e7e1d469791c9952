#include "sql_batches.h"

#include "connection.h"

namespace {
bool isBlankOrBreak(QChar c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
} // namespace

QString SqlBatch::firstLineText() const {
    const qsizetype start = [&] {
        qsizetype i = 0;
        while (i < text.size() && isBlankOrBreak(text[i]))
            ++i;
        return i;
    }();
    qsizetype end = text.indexOf('\n', start);
    if (end < 0) end = text.size();
    return text.mid(start, end - start).trimmed();
}

QString FirstSqlWord(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && isBlankOrBreak(text[start]))
        ++start;
    qsizetype end = start;
    while (end < text.size() && !isBlankOrBreak(text[end]))
        ++end;
    return text.mid(start, end - start);
}

bool IsRowQuery(const QString& text) {
    const QString word = FirstSqlWord(text);
    return word.compare(QLatin1String("select"), Qt::CaseInsensitive) == 0 ||
           word.compare(QLatin1String("with"), Qt::CaseInsensitive) == 0;
}

bool IsGoLine(QStringView line) {
    return line.trimmed().compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0;
}

std::vector<SqlBatch> SplitSqlBatches(const QString& script) {
    std::vector<SqlBatch> batches;
    // Lines are kept as written (not trimmed) so text inside multi-line literals reaches the
    // database unchanged; a CR before the LF stays part of its line.
    qsizetype batchStart = 0;
    int firstLine = 0;
    int lineNo = 0;
    auto close = [&](qsizetype end) {
        if (firstLine > 0) {
            qsizetype e = end;
            if (e > batchStart && script[e - 1] == '\n') --e;
            batches.push_back({script.mid(batchStart, e - batchStart), firstLine});
        }
        firstLine = 0;
    };
    qsizetype pos = 0;
    while (pos <= script.size()) {
        qsizetype nl = script.indexOf('\n', pos);
        const qsizetype lineEnd = nl < 0 ? script.size() : nl;
        const qsizetype next = nl < 0 ? script.size() + 1 : nl + 1;
        ++lineNo;
        const QStringView line = QStringView(script).mid(pos, lineEnd - pos);
        if (line.contains(QChar(0)))
            throw EDatabaseError(QStringLiteral("The SQL text holds a NUL character in line %1").arg(lineNo));
        if (IsGoLine(line)) {
            close(pos);
            batchStart = next;
        } else if (firstLine == 0 && !line.trimmed().isEmpty()) {
            firstLine = lineNo;
        }
        pos = next;
    }
    close(script.size());
    return batches;
}

ESqlBatchError::ESqlBatchError(int number, const SqlBatch& batch, const QString& reason)
    : EDatabaseError(QStringLiteral("Batch %1 (line %2: %3) failed: %4")
                         .arg(number)
                         .arg(batch.firstLine)
                         .arg(batch.firstLineText(), reason)),
      Number(number) {}

qint64 RunSqlBatches(TADOConnection& connection, const QString& script,
                     const std::function<void(int, const SqlBatch&, qint64)>& afterBatch) {
    const std::vector<SqlBatch> batches = SplitSqlBatches(script);
    qint64 total = 0;
    int number = 0;
    for (const SqlBatch& batch : batches) {
        ++number;
        qint64 rows = 0;
        try {
            // The provider's batch call runs every statement of the text, not only the first.
            rows = std::max<qint64>(connection.provider().executeBatch(batch.text), 0);
        } catch (const std::exception& e) {
            throw ESqlBatchError(number, batch, ExceptionMessage(e));
        }
        total += rows;
        if (afterBatch) afterBatch(number, batch, rows);
    }
    return total;
}
