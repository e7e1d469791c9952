#include "files_provider.h"

#include "dataset.h"
#include "exceptions.h"
#include "schema_rowsets.h"
#include "simple_select.h"

namespace {
// A table read whole into a dataset, for conditions, sorting and column lists.
class TableBuffer : public TDataSet, private ResultSink {
public:
    TableBuffer(TableReader& r, const QString& table) : reader_(r), table_(table) {}

protected:
    void doOpen() override {
        fields_.clear();
        reader_.read(table_, *this, -1);
    }

private:
    ColumnStore& begin(const std::vector<ColumnDesc>& columns) override {
        for (const ColumnDesc& c : columns)
            fields_.push_back(addDataField(c.name, c.type, c.size));
        return mutableStore();
    }
    void columnRetyped(size_t column, TFieldType type) override { fields_[column]->DataType = type; }

    TableReader& reader_;
    QString table_;
    std::vector<TField*> fields_;
};

void copyCell(const Column& from, const TextArena& fromArena, uint32_t row, Column& to, TextArena& toArena) {
    if (from.isNull(row)) return to.appendNull();
    switch (from.kind()) {
    case StorageKind::Float:
        return to.appendFloat(from.floatAt(row));
    case StorageKind::Text:
    case StorageKind::Bytes:
        return to.appendBytes(from.bytesAt(row, fromArena), toArena);
    default:
        return to.appendInt(from.intAt(row));
    }
}
} // namespace

FilesProvider::FilesProvider(const FileSource& source) : source_(source) {}
FilesProvider::~FilesProvider() = default;

void FilesProvider::open() {
    reader_ = OpenTableReader(source_);
}

void FilesProvider::close() {
    reader_.reset();
}

TableReader& FilesProvider::reader() const {
    if (!reader_) throw EDatabaseError(QStringLiteral("Connection is not open"));
    return *reader_;
}

QString FilesProvider::tableName(const QString& name) const {
    const QStringList tables = reader().tables();
    for (const QString& t : tables)
        if (t.compare(name, Qt::CaseInsensitive) == 0) return t;
    for (const QString& t : tables)
        if (t.endsWith('$') && t.chopped(1).compare(name, Qt::CaseInsensitive) == 0) return t;
    return name; // readers of folders resolve further forms ("data#csv", "data") or name the table
}

qint64 FilesProvider::countRows(const QString& sql) {
    const SimpleSelect q = ParseSimpleSelect(sql);
    if (!q.star || q.count || !q.where.isEmpty() || !q.orderBy.isEmpty()) return -1;
    const qint64 n = reader().count(tableName(q.table));
    return n < 0 || q.top < 0 ? n : std::min(n, q.top);
}

void FilesProvider::query(const QString& sql, const QVariantList& params, ResultSink& sink) {
    if (!params.isEmpty())
        throw EDatabaseError(QStringLiteral("File sources answer statements without parameters only"));
    SimpleSelect q = ParseSimpleSelect(sql);
    const QString table = tableName(q.table);
    if (q.star && q.where.isEmpty() && q.orderBy.isEmpty()) {
        reader().read(table, sink, q.top);
        return;
    }
    TableBuffer buf(reader(), table);
    buf.FilterOptions = foCaseInsensitive;
    buf.Open();
    if (!q.where.isEmpty()) {
        try {
            buf.setFilter(q.where);
            buf.setFiltered(true);
        } catch (const EDatabaseError& e) {
            throw EDatabaseError(
                QStringLiteral("The condition \"%1\" cannot be evaluated on a file source: %2")
                    .arg(q.where, e.Message));
        }
    }
    if (!q.orderBy.isEmpty()) buf.setSort(q.orderBy);
    const std::vector<uint32_t>& view = buf.view();
    size_t n = q.top >= 0 ? std::min(view.size(), size_t(q.top)) : view.size();
    if (q.count) {
        ColumnDesc d;
        d.name = q.columns[0].second;
        d.type = ftInteger;
        ColumnStore& store = sink.begin({d});
        store.column(0).appendInt(qint64(view.size()));
        store.commitRow();
        return;
    }
    std::vector<const TField*> fields;
    std::vector<ColumnDesc> cols;
    if (q.star) {
        for (int i = 0; i < buf.FieldCount(); ++i)
            fields.push_back(buf.Fields(i));
    } else {
        for (const auto& [name, alias] : q.columns) {
            const TField* f = buf.FindField(name);
            if (!f)
                throw EDatabaseError(
                    QStringLiteral("Column \"%1\" does not exist in table \"%2\"").arg(name, table));
            fields.push_back(f);
        }
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        ColumnDesc d;
        d.name = q.star ? fields[i]->FieldName : q.columns[i].second;
        d.type = fields[i]->DataType;
        d.size = fields[i]->Size;
        d.readOnly = true;
        cols.push_back(d);
    }
    ColumnStore& store = sink.begin(cols);
    const ColumnStore& src = buf.store();
    for (size_t r = 0; r < n; ++r) {
        for (size_t c = 0; c < fields.size(); ++c)
            copyCell(src.column(size_t(fields[c]->column())), src.arena(), view[r], store.column(c),
                     store.arena());
        store.commitRow();
    }
}

qint64 FilesProvider::execute(const QString& sql, const QVariantList&) {
    throw EDatabaseError(QStringLiteral("The file source \"%1\" is read-only: \"%2\" is not supported")
                             .arg(source_.path, sql.trimmed().left(40)));
}

qint64 FilesProvider::executeBatch(const QString& sql) {
    return execute(sql, {});
}

void FilesProvider::openSchema(int kind, const QVariantList& r, ResultSink& sink) {
    switch (kind) {
    case siTables: {
        RowsetWriter w(sink, kind);
        for (const QString& t : reader().tables())
            if (RestrictionMatches(r, 2, t) && RestrictionMatches(r, 3, QStringLiteral("TABLE")))
                w.add({QVariant(), QVariant(), t, QStringLiteral("TABLE"), QVariant(), QVariant(), QVariant(),
                       QVariant(), QVariant()});
        return;
    }
    case siColumns: {
        RowsetWriter w(sink, kind);
        for (const QString& t : reader().tables()) {
            if (!RestrictionMatches(r, 2, t)) continue;
            int ordinal = 0;
            for (const ColumnDesc& c : reader().columns(t)) {
                ++ordinal;
                if (!RestrictionMatches(r, 3, c.name)) continue;
                w.add({QVariant(), QVariant(), t, c.name, ordinal, false, QVariant(), true, OleDbType(c.type),
                       QString::fromLatin1(FieldTypeName(c.type)), c.size > 0 ? QVariant(c.size) : QVariant(),
                       QVariant(), QVariant(), QVariant()});
            }
        }
        return;
    }
    case siPrimaryKeys:
    case siForeignKeys:
    case siIndexes:
    case siViews:
    case siProcedures:
        RowsetWriter(sink, kind); // files have none of these
        return;
    default:
        SchemaNotSupported(kind, name());
    }
}
