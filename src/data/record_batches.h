#pragma once
// Records written one at a time through a dataset's write-back, in shared transactions: a batch is
// committed once it holds `records` records and has run `minMs` milliseconds (every commit waits for
// the disk, so a fast run would otherwise spend its time committing); a failed record is undone
// alone — by its statement's own rollback, or by a savepoint per record where a failed statement
// spoils the whole transaction (PostgreSQL); what was posted is committed when the run ends, also
// by an abort or an error.
#include <QElapsedTimer>
#include <QString>

class TADOConnection;

class RecordBatches {
public:
    // con may be null, or already in a transaction of its caller: then records are not batched.
    RecordBatches(TADOConnection* con, int records, int minMs, const QString& savepoint);
    // Commits what is still open; a failing commit is not reported from here (call commit() to see it).
    ~RecordBatches();
    RecordBatches(const RecordBatches&) = delete;
    RecordBatches& operator=(const RecordBatches&) = delete;

    // Before a record: opens the batch when none is open, and the record's savepoint.
    void begin();
    // After the record was posted (or left unchanged).
    void succeeded();
    // After the record failed and was cancelled: undoes what it wrote.
    void failed();
    // After either: counts the record and commits a batch that is full.
    void done();
    // Commits the open batch.
    void commit();

private:
    TADOConnection* con_;
    bool batches_, savepoints_;
    int records_, minMs_, inBatch_ = 0;
    QString savepoint_;
    QElapsedTimer started_;
};
