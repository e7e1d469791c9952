#pragma once
// Rows of a SQLite result on their way into a column store. Each value is converted to the storage of
// its column where the statement is stepped (a column widens when a value does not fit it) and appended
// on the calling thread: at once, or after a trip through the thread that reads a large result ahead.
#include "sqlite_provider.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <thread>

// The text of a column of the current row (empty for NULL).
std::string_view SqliteText(sqlite3_stmt* st, int i);
// The field type a value of a SQLite storage class takes in a column without a declared type.
TFieldType SqliteValueType(int sqliteType);

// One value of a fetched row in the storage form of its column. A value that made its column wider
// carries the column's type before and after: the column is widened before the value is appended.
struct FetchedCell {
    enum Kind : uint8_t { Null, Int, Float, Bytes };
    Kind kind = Null;
    bool otherClass = false; // a blob in a text column, a text in a blob column
    TFieldType widenFrom = ftUnknown, widenTo = ftUnknown;
    uint32_t size = 0; // of bytes
    union {
        int64_t i;
        double f;
        const char* bytes;
    };
};

// Copies of the texts and blobs of read-ahead rows until they are appended: chunks that never move,
// kept for the next batch.
class ByteChunks {
public:
    const char* keep(const char* data, size_t size);
    size_t bytes() const { return total_; }
    void clear();

private:
    struct Chunk {
        std::unique_ptr<char[]> data;
        size_t size;
    };
    std::vector<Chunk> chunks_;
    size_t current_ = 0, used_ = 0, total_ = 0;
};

// Converts the rows of one statement, keeping the type each column has reached.
struct SqliteProvider::Rows {
    const SqliteProvider& db;
    sqlite3_stmt* st;
    const std::vector<ColumnDesc>& cols;
    std::vector<TFieldType> types;
    // Columns without a declared type whose values so far were all NULL: the first value decides.
    std::vector<bool> undecided;

    // The statement's current row (the connection held), one cell per column. Texts and blobs point
    // into the statement, or into `keep` when given. False, with the error text, when a value fits
    // no type.
    bool convert(FetchedCell* out, ByteChunks* keep, QString& error);

private:
    // The value in the storage of a column of the type; false when it does not fit it.
    static bool fit(FetchedCell& c, TFieldType type, sqlite3_value* v, int vt);
};

// Appends a converted row (widening columns first where its cells say so) and commits it.
void AppendFetchedRow(ColumnStore& store, Column* const* columns, const FetchedCell* cells, size_t n,
                      ResultSink& sink);

// Steps a statement on a thread of its own and converts its rows in batches while the calling thread
// appends those read so far and hands each block (blockRows rows) to the sink: reading and what the sink
// does with a block overlap.
// The thread holds the connection while it steps and lets other users in between rows.
class SqliteProvider::ReadAhead {
public:
    struct Batch {
        std::vector<FetchedCell> cells; // rows × columns
        ByteChunks bytes;
        size_t rows = 0;
        bool last = false;   // the result ends after these rows...
        bool failed = false; // ...with this error (SQLite's message)
        QString error;
        std::exception_ptr failure;
    };

    // Starts the thread at the row after the statement's current one; throws std::system_error when
    // no thread can be had.
    ReadAhead(Rows& rows, qint64 blockRows);
    // Stops the thread (at the next row) and waits for it: the statement is the caller's again.
    ~ReadAhead();
    // The next batch in row order; waits for it. Give it back once its rows are appended.
    Batch& next();
    void giveBack(Batch& b);
    size_t columns() const { return rows_.types.size(); }

private:
    void run();
    void fill(Batch& b);

    Rows& rows_;
    const size_t batchRows_;
    std::mutex m_;
    std::condition_variable cv_;
    Batch batches_[3];
    std::vector<Batch*> full_, free_; // full_ in row order
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};
