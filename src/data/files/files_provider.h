#pragma once
// The read-only Files provider: CSV and text files, xlsx, ods and xls workbooks, dBase tables and
// Access databases, each behind a table reader. It answers the schema rowsets of tables and columns
// and simple SELECT statements; statements that change data are refused.
#include "file_source.h"
#include "provider.h"
#include "table_reader.h"

class FilesProvider : public Provider {
public:
    explicit FilesProvider(const FileSource& source);
    ~FilesProvider() override;

    QString name() const override { return QStringLiteral("Files"); }
    void open() override;
    void close() override;
    bool connected() const override { return reader_ != nullptr; }
    const Dialect& dialect() const override { return dialect_; }
    QString defaultDatabase() const override { return source_.path; }
    void query(const QString& sql, const QVariantList& params, ResultSink& sink) override;
    qint64 execute(const QString& sql, const QVariantList& params) override;
    // Plain "SELECT * FROM table" statements of readers that count without keeping rows.
    qint64 countRows(const QString& sql) override;
    qint64 executeBatch(const QString& sql) override;
    void openSchema(int kind, const QVariantList& restrictions, ResultSink& sink) override;
    QStringList primaryKey(const QString&) override { return {}; }
    QVariant lastInsertId() override { return QVariant(); }
    void beginTrans() override {}
    void commitTrans() override {}
    void rollbackTrans() override {}

    const FileSource& source() const { return source_; }

private:
    TableReader& reader() const;
    // The table's name as the reader lists it (case and a sheet's "$" settled).
    QString tableName(const QString& name) const;

    FileSource source_;
    std::unique_ptr<TableReader> reader_;
    Dialect dialect_{DialectKind::MSSQL};
};
