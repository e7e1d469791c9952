#include "query.h"

#include "connection.h"
#include "exceptions.h"

#include <QSet>

Provider& TADOQuery::provider() const {
    if (!Connection) throw EDatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    return Connection->provider();
}

void TADOQuery::setSchema(int kind, const QVariantList& restrictions) {
    schemaKind_ = kind;
    restrictions_ = restrictions;
}

ColumnStore& TADOQuery::begin(const std::vector<ColumnDesc>& columns) {
    dataFields_.clear();
    insertSql_.clear();
    updateSql_.clear();
    updateShape_.clear();
    insertColumns_.clear();
    QSet<QString> used;
    for (const ColumnDesc& d : columns) {
        // Duplicate names (a join's two "id" columns) get a number, as every field needs its own name.
        QString name = d.name;
        for (int n = 1; used.contains(name.toLower()); ++n)
            name = d.name + '_' + QString::number(n);
        used.insert(name.toLower());
        TField* f = addDataField(name, d.type, d.size);
        f->Required = d.required;
        f->ReadOnly = d.readOnly;
        f->IsKey = d.key;
        f->AutoIncrement = d.autoIncrement;
        f->BaseTable = d.baseTable;
        f->BaseColumn = d.baseColumn;
        if (!d.baseTable.isEmpty()) f->Origin = d.baseTable + '.' + d.baseColumn;
        dataFields_.push_back(f);
    }
    return mutableStore();
}

void TADOQuery::columnRetyped(size_t column, TFieldType type) {
    dataFields_[column]->DataType = type;
    dataFields_[column]->Alignment = IsNumericType(type) ? Qt::AlignRight : Qt::AlignLeft;
}

void TADOQuery::doOpen() {
    Provider& p = provider();
    updateTable_.clear();
    keyColumns_.clear();
    if (schemaKind_ >= 0) {
        p.openSchema(schemaKind_, restrictions_, *this);
        return;
    }
    p.query(SQL, Parameters, *this);
    // Edits go to the one table every base column comes from.
    QSet<QString> tables;
    for (TField* f : dataFields_)
        if (!f->BaseTable.isEmpty()) tables.insert(f->BaseTable);
    if (tables.size() == 1) {
        updateTable_ = *tables.begin();
        QStringList keys = p.primaryKey(updateTable_);
        bool allPresent = !keys.isEmpty();
        for (const QString& k : keys) {
            bool found = false;
            for (TField* f : dataFields_)
                found |= f->BaseTable == updateTable_ && f->BaseColumn.compare(k, Qt::CaseInsensitive) == 0;
            allPresent &= found;
        }
        if (allPresent) keyColumns_ = keys;
    }
}

void TADOQuery::AppendRows(const QString& sql, const QVariantList& params) {
    if (!Active()) throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    CheckBrowseMode();
    TADOQuery more(Connection);
    more.SQL = sql;
    more.Parameters = params;
    more.Open();
    if (more.dataFields_.size() != dataFields_.size())
        throw EDatabaseError(QStringLiteral("The added rows have %1 columns, not %2")
                                 .arg(more.dataFields_.size())
                                 .arg(dataFields_.size()));
    ColumnStore& store = mutableStore();
    const uint32_t first = store.rowCount();
    std::vector<CellValue> row(store.columnCount());
    CellValue in;
    for (uint32_t r = 0; r < more.store().rowCount(); ++r) {
        for (size_t i = 0; i < dataFields_.size(); ++i) {
            TField* to = dataFields_[i];
            const TFieldType from = more.dataFields_[i]->DataType;
            const size_t c = size_t(to->column());
            more.store().column(size_t(more.dataFields_[i]->column())).cellAt(r, more.store().arena(), in);
            if (in.null || from == to->DataType) {
                row[c].swap(in);
                continue;
            }
            if (ConvertCell(in, from, to->DataType, row[c])) continue;
            // A value the column's type cannot hold: numbers widen to the new value's type, anything
            // else to text, the rows already held included.
            const TFieldType wider = IsNumericType(from) && IsNumericType(to->DataType) ? from : ftWideString;
            WidenColumn(store, c, to->DataType, wider, store.rowCount());
            columnRetyped(i, wider);
            if (!ConvertCell(in, from, wider, row[c]))
                throw EDatabaseError(
                    QStringLiteral("Column \"%1\" cannot hold a fetched value").arg(to->FieldName));
        }
        store.appendRow(row);
    }
    fetchedMore(first);
}

qint64 TADOQuery::ExecSQL() {
    RowsAffected = provider().execute(SQL, Parameters);
    return RowsAffected;
}

void TADOQuery::checkWritable() const {
    if (updateTable_.isEmpty())
        throw EDatabaseError(QStringLiteral("Cannot update: the rows do not come from a single table"));
}

namespace {
enum : uint8_t { kSet = 1, kWhereEqual = 2, kWhereNull = 4 };
}

void TADOQuery::whereParams(uint32_t rowId) {
    whereCells_.resize(dataFields_.size()); // sized before parameters point into it
    for (size_t i = 0; i < dataFields_.size(); ++i) {
        TField* f = dataFields_[i];
        if (f->BaseTable != updateTable_) continue;
        bool isKey = false;
        for (const QString& k : keyColumns_)
            isKey |= f->BaseColumn.compare(k, Qt::CaseInsensitive) == 0;
        // Without a primary key the row is found by all its original values.
        if (!keyColumns_.isEmpty() && !isKey) continue;
        store().column(size_t(f->column())).cellAt(rowId, store().arena(), whereCells_[i]);
        if (whereCells_[i].null) {
            shape_[i] |= kWhereNull;
        } else {
            shape_[i] |= kWhereEqual;
            params_.push_back({&whereCells_[i], f->DataType});
        }
    }
}

QString TADOQuery::whereText() const {
    const Dialect& d = provider().dialect();
    QStringList parts;
    for (size_t i = 0; i < dataFields_.size(); ++i) {
        if (shape_[i] & kWhereNull)
            parts << d.quoteIdentifier(dataFields_[i]->BaseColumn) + QStringLiteral(" IS NULL");
        else if (shape_[i] & kWhereEqual)
            parts << d.quoteIdentifier(dataFields_[i]->BaseColumn) + QStringLiteral(" = ?");
    }
    return parts.join(QLatin1String(" AND "));
}

void TADOQuery::writeOne(const QString& sql) {
    bool own = !Connection->InTransaction();
    if (own) Connection->BeginTrans();
    try {
        qint64 n = provider().executeCells(sql, params_);
        if (n != 1) {
            throw EDatabaseError(
                n == 0 ? QStringLiteral("The record was not found: it was changed or deleted by another user")
                       : QStringLiteral("The change would affect %1 records; nothing was changed").arg(n));
        }
        if (own) Connection->CommitTrans();
    } catch (...) {
        if (own) {
            try {
                Connection->RollbackTrans();
            } catch (...) {
            }
        }
        throw;
    }
}

void TADOQuery::writeUpdate(uint32_t rowId, const std::vector<CellValue>& values,
                            const std::vector<bool>& changed) {
    checkWritable();
    params_.clear();
    shape_.assign(dataFields_.size(), 0);
    bool any = false;
    for (size_t i = 0; i < dataFields_.size(); ++i) {
        TField* f = dataFields_[i];
        size_t c = size_t(f->column());
        if (!changed[c]) continue;
        if (f->BaseTable != updateTable_ || f->ReadOnly)
            throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(f->FieldName));
        shape_[i] |= kSet;
        params_.push_back({&values[c], f->DataType});
        any = true;
    }
    if (!any) return;
    whereParams(rowId);
    if (shape_ != updateShape_ || updateSql_.isEmpty()) {
        const Dialect& d = provider().dialect();
        QStringList sets;
        for (size_t i = 0; i < dataFields_.size(); ++i)
            if (shape_[i] & kSet)
                sets << d.quoteIdentifier(dataFields_[i]->BaseColumn) + QStringLiteral(" = ?");
        updateSql_ = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                         .arg(d.quoteIdentifier(updateTable_), sets.join(", "), whereText());
        updateShape_ = shape_;
    }
    writeOne(updateSql_);
}

void TADOQuery::writeInsert(std::vector<CellValue>& values) {
    checkWritable();
    params_.clear();
    std::vector<bool> present;
    present.reserve(dataFields_.size());
    TField* autoField = nullptr;
    for (TField* f : dataFields_) {
        size_t c = size_t(f->column());
        bool in = f->BaseTable == updateTable_ && !values[c].null; // NULL: leave the database's default
        if (f->BaseTable == updateTable_ && f->AutoIncrement && values[c].null) autoField = f;
        present.push_back(in);
        if (in) params_.push_back({&values[c], f->DataType});
    }
    // Appending loops insert the same columns record after record: the text is built once.
    if (present != insertColumns_ || insertSql_.isEmpty()) {
        const Dialect& d = provider().dialect();
        QStringList cols, marks;
        for (size_t i = 0; i < dataFields_.size(); ++i) {
            if (!present[i]) continue;
            cols << d.quoteIdentifier(dataFields_[i]->BaseColumn);
            marks << QStringLiteral("?");
        }
        insertSql_ =
            cols.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(d.quoteIdentifier(updateTable_))
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(d.quoteIdentifier(updateTable_), cols.join(", "), marks.join(", "));
        insertColumns_ = std::move(present);
    }
    writeOne(insertSql_);
    if (autoField)
        ToCell(provider().lastInsertId(), autoField->DataType, values[size_t(autoField->column())]);
}

void TADOQuery::writeDelete(uint32_t rowId) {
    checkWritable();
    params_.clear();
    shape_.assign(dataFields_.size(), 0);
    whereParams(rowId);
    writeOne(QStringLiteral("DELETE FROM %1 WHERE %2")
                 .arg(provider().dialect().quoteIdentifier(updateTable_), whereText()));
}
