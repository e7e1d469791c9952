#include "sqlite_rows.h"

#include <algorithm>

namespace {
// A batch ends after half a block of rows (so that the batches read while the sink works on a block
// hold the next one), or this many rows, cells or bytes: three batches bound the memory of a read-ahead.
constexpr size_t kBatchRows = 16384;
constexpr size_t kBatchCells = 262144;
constexpr size_t kBatchBytes = size_t(2) << 20;
} // namespace

SqliteProvider::ReadAhead::ReadAhead(Rows& rows, qint64 blockRows)
    : rows_(rows), batchRows_(size_t(std::clamp<qint64>(blockRows / 2, 1, kBatchRows))) {
    for (Batch& b : batches_)
        free_.push_back(&b);
    thread_ = std::thread([this] { run(); });
}

SqliteProvider::ReadAhead::~ReadAhead() {
    {
        std::lock_guard l(m_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

SqliteProvider::ReadAhead::Batch& SqliteProvider::ReadAhead::next() {
    std::unique_lock l(m_);
    cv_.wait(l, [this] { return !full_.empty(); });
    Batch* b = full_.front();
    full_.erase(full_.begin());
    return *b;
}

void SqliteProvider::ReadAhead::giveBack(Batch& b) {
    {
        std::lock_guard l(m_);
        free_.push_back(&b);
    }
    cv_.notify_all();
}

void SqliteProvider::ReadAhead::run() {
    for (;;) {
        Batch* b;
        {
            std::unique_lock l(m_);
            cv_.wait(l, [this] { return stop_ || !free_.empty(); });
            if (stop_) return;
            b = free_.back();
            free_.pop_back();
        }
        try {
            fill(*b);
        } catch (...) {
            b->failure = std::current_exception();
            b->last = true;
        }
        {
            std::lock_guard l(m_);
            full_.push_back(b);
        }
        cv_.notify_all();
        if (b->last) return;
    }
}

void SqliteProvider::ReadAhead::fill(Batch& b) {
    b.cells.clear();
    b.bytes.clear();
    b.rows = 0;
    b.last = b.failed = false;
    b.error.clear();
    b.failure = nullptr;
    const size_t n = rows_.types.size();
    b.cells.reserve(std::min(batchRows_ * n, kBatchCells + n));
    const SqliteProvider& db = rows_.db;
    Hold hold(db, true);
    while (b.rows == 0 ||
           (b.rows < batchRows_ && b.cells.size() < kBatchCells && b.bytes.bytes() < kBatchBytes)) {
        if (stop_.load(std::memory_order_relaxed)) return;
        if (db.waiting_.load(std::memory_order_relaxed)) {
            // Someone waits for the connection: let them have it before the next row.
            hold.unlock();
            while (db.waiting_.load(std::memory_order_relaxed))
                std::this_thread::yield();
            hold.lock();
        }
        const int rc = sqlite3_step(rows_.st);
        if (rc != SQLITE_ROW) {
            if (rc != SQLITE_DONE) {
                b.error = db.errorText(QString());
                b.failed = true;
            }
            b.last = true;
            return;
        }
        b.cells.resize(b.cells.size() + n);
        if (!rows_.convert(b.cells.data() + b.rows * n, &b.bytes, b.error)) {
            b.last = b.failed = true;
            return;
        }
        ++b.rows;
    }
}
