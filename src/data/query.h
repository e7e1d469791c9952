#pragma once
// A dataset filled by a statement (or a schema rowset) over a connection; edits are written back
// with parameterised statements to the one table the rows come from.
#include "dataset.h"
#include "provider.h"

class TADOConnection;

class TADOQuery : public TDataSet, private ResultSink {
public:
    TADOQuery() = default;
    explicit TADOQuery(TADOConnection* connection) : Connection(connection) {}

    TADOConnection* Connection = nullptr;
    QString SQL;
    QVariantList Parameters;
    qint64 RowsAffected = -1;
    // Told the rows fetched so far while a large result streams in; returning false stops the fetch
    // and keeps those rows.
    std::function<bool(qint64 rows)> OnFetchProgress;
    // Rows between those calls, the block size of a forward-only read (OnBlock); 0: kFetchProgressRows,
    // or kForwardBlockRows for a forward-only read.
    qint64 BlockRows = 0;

    // Adds the rows of another statement over the same table (its columns are this query's, in order)
    // to the loaded ones, as if they had been fetched with them. A column whose new values do not fit
    // its type is widened as a fetch would widen it.
    void AppendRows(const QString& sql, const QVariantList& params);
    // Runs SQL that returns no rows; returns the rows changed.
    qint64 ExecSQL();
    // The next Open reads a schema rowset instead of SQL (kind < 0: back to SQL).
    void setSchema(int kind, const QVariantList& restrictions);
    // The table edits are written to (empty when the rows do not come from one table).
    QString updateTable() const { return updateTable_; }

protected:
    void doOpen() override;
    void writeUpdate(uint32_t rowId, const std::vector<CellValue>& values,
                     const std::vector<bool>& changed) override;
    void writeInsert(std::vector<CellValue>& values) override;
    void writeDelete(uint32_t rowId) override;

private:
    ColumnStore& begin(const std::vector<ColumnDesc>& columns) override;
    void columnRetyped(size_t column, TFieldType type) override;
    bool fetchProgress(qint64 rows) override {
        fetchedBlock();
        return !OnFetchProgress || OnFetchProgress(rows);
    }
    qint64 progressRows() const override {
        return BlockRows > 0 ? BlockRows : OnBlock ? kForwardBlockRows : kFetchProgressRows;
    }
    bool forwardOnly() const override { return bool(OnBlock); }
    Provider& provider() const;
    void checkWritable() const;
    // The parameters locating a stored row by key (or all original values) appended to params_, and
    // which fields they are (kWhereEqual, kWhereNull) marked in shape_.
    void whereParams(uint32_t rowId);
    // "WHERE ..." for the marks in shape_.
    QString whereText() const;
    // Runs a write that must change exactly one row; undoes it otherwise.
    void writeOne(const QString& sql);

    int schemaKind_ = -1;
    QVariantList restrictions_;
    QString updateTable_;
    QStringList keyColumns_;          // base column names of the table's primary key
    std::vector<TField*> dataFields_; // by store column
    std::vector<bool> insertColumns_; // the columns of insertSql_
    QString insertSql_;
    // Writes of one record: parameters, the original values locating it, and per field what the
    // statement does with it. A loop that updates record after record builds the UPDATE text once
    // per shape.
    std::vector<CellParam> params_;
    std::vector<CellValue> whereCells_;
    std::vector<uint8_t> shape_, updateShape_;
    QString updateSql_;
};
