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

namespace {
bool AllNull(const Column& c) {
    for (size_t r = 0; r < c.size(); ++r)
        if (!c.isNull(r)) return false;
    return true;
}

// The type a column takes when it holds values of two types, as a fetch widens it: a column of NULLs
// takes the other's; dates with times are date-times; whole numbers the wider of the two, with
// fractions floats; anything else is text.
TFieldType CommonType(TFieldType held, TFieldType added) {
    const StorageKind a = StorageOf(held), b = StorageOf(added);
    if (a == b) {
        if (a == StorageKind::DateTime) return ftDateTime;
        if (a == StorageKind::Int) return held == ftLargeint || added == ftLargeint ? ftLargeint : held;
        return held;
    }
    if (IsNumericType(held) && IsNumericType(added)) return a == StorageKind::Float ? held : added;
    return ftWideString;
}
} // namespace

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
    ColumnStore& added = more.mutableStore();
    // Both sides of a column whose types differ are brought to one type first.
    for (size_t i = 0; i < dataFields_.size(); ++i) {
        const TFieldType held = dataFields_[i]->DataType, from = more.dataFields_[i]->DataType;
        if (held == from || AllNull(added.column(i))) continue;
        const TFieldType type = AllNull(store.column(i)) ? from : CommonType(held, from);
        if (type != held) {
            WidenColumn(store, i, held, type, store.rowCount());
            columnRetyped(i, type);
        }
        if (type != from) WidenColumn(added, i, from, type, added.rowCount());
    }
    const uint32_t first = store.rowCount();
    std::vector<CellValue> row(store.columnCount());
    for (uint32_t r = 0; r < added.rowCount(); ++r) {
        for (size_t i = 0; i < row.size(); ++i)
            added.column(i).cellAt(r, added.arena(), row[i]);
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
