#pragma once
// INSERT and UPDATE statements built from the records of a dataset.
#include "sql_literals.h"

#include <QStringList>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TDataSet;
class TField;

// Receives finished entries of SQL text (UTF-8); one entry may hold line breaks.
class SqlTextSink {
public:
    virtual ~SqlTextSink() = default;
    virtual void add(std::string_view entry) = 0;
};

// Collects the entries in a string list.
class StringListSink : public SqlTextSink {
public:
    explicit StringListSink(QStringList& list) : list_(list) {}
    void add(std::string_view entry) override {
        list_ << QString::fromUtf8(entry.data(), qsizetype(entry.size()));
    }

private:
    QStringList& list_;
};

// The statement of one record. The fields taking part, their quoted names and (for inserts) the
// column part are worked out once, so each record only writes its values.
class StatementBuilder {
public:
    // keyFields / valueFields: nullptr for none given. Names match case-insensitively.
    StatementBuilder(const TDataSet& ds, const QString& tableName, const QStringList* keyFields,
                     const QStringList* valueFields, bool insert, const QString& addText,
                     const Dialect& dialect);

    // The statement of the row at a view position, read straight from the column store.
    void appendRow(int position, std::string& out) const;
    // The statement of the current record (the edit buffer while editing).
    void appendCurrent(std::string& out) const;

private:
    struct Item {
        const TField* field;
        std::string name; // quoted
        size_t nameLength;
        bool key;
    };
    template <class CellOf> void build(const CellOf& cellOf, std::string& out) const;

    const TDataSet& ds_;
    SqlLiteralForms forms_;
    bool insert_;
    std::vector<Item> items_;
    std::string head_; // "INSERT INTO t (cols) \r\nVALUES (" or "UPDATE t SET "
    std::string tail_; // statement end and the text added after each statement
    mutable std::string where_;
};

// Builds the statements of the current record, or with allRecords of every record in view order (the
// current record afterwards is the last one), and hands each to the sink.
void WriteRecordStatements(TDataSet& ds, const StatementBuilder& builder, bool allRecords, SqlTextSink& sink);

// The record-statement routine over a string list, in the SQL Server form unless a dialect is given.
void RecordStatements(QStringList& out, TDataSet& ds, const QString& tableName, const QStringList* keyFields,
                      const QStringList* valueFields, bool insert, bool allRecords, const QString& addText,
                      const Dialect& dialect = Dialect(DialectKind::MSSQL));
