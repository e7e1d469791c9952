#include "record_batches.h"

#include "connection.h"

RecordBatches::RecordBatches(TADOConnection* con, int records, int minMs, const QString& savepoint)
    : con_(con), batches_(con && !con->InTransaction() && records > 1),
      savepoints_(batches_ && con->dialect().kind() == DialectKind::PostgreSQL), records_(records),
      minMs_(minMs), savepoint_(savepoint) {}

RecordBatches::~RecordBatches() {
    try {
        commit();
    } catch (...) {
    }
}

void RecordBatches::begin() {
    if (batches_ && !con_->InTransaction()) {
        con_->BeginTrans();
        started_.start();
    }
    if (savepoints_) con_->Execute(QStringLiteral("SAVEPOINT ") + savepoint_);
}

void RecordBatches::succeeded() {
    if (savepoints_) con_->Execute(QStringLiteral("RELEASE SAVEPOINT ") + savepoint_);
}

void RecordBatches::failed() {
    if (!savepoints_) return;
    con_->Execute(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint_);
    con_->Execute(QStringLiteral("RELEASE SAVEPOINT ") + savepoint_);
}

void RecordBatches::done() {
    if (++inBatch_ >= records_ && (minMs_ <= 0 || started_.elapsed() >= minMs_)) commit();
}

void RecordBatches::commit() {
    if (batches_ && con_->InTransaction()) con_->CommitTrans();
    inBatch_ = 0;
}
