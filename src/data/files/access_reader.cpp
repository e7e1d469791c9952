#include "access_reader.h"

#include "column_store.h"
#include "exceptions.h"

#include <QFile>
#include <charconv>
#include <mdbtools.h>

namespace {
constexpr size_t kBindSize = size_t(1) << 20; // memos longer than this are refused, never cut

TFieldType typeOf(const MdbColumn* c) {
    switch (c->col_type) {
    case MDB_BOOL:
        return ftBoolean;
    case MDB_BYTE:
        return ftByte;
    case MDB_INT:
        return ftSmallint;
    case MDB_LONGINT:
        return c->is_long_auto ? ftAutoInc : ftInteger;
    case MDB_MONEY:
        return ftCurrency;
    case MDB_FLOAT:
        return ftSingle;
    case MDB_DOUBLE:
        return ftFloat;
    case MDB_DATETIME:
        return ftDateTime;
    case MDB_BINARY:
        return ftVarBytes;
    case MDB_OLE:
        return ftBlob;
    case MDB_MEMO:
        return ftWideMemo;
    case MDB_REPID:
        return ftGuid;
    case MDB_NUMERIC:
        return ftBCD;
    case MDB_COMPLEX:
        return ftInteger;
    default:
        return ftWideString;
    }
}

// Numbers as libmdb prints them, with "." or the locale's "," as the decimal mark.
bool parseNumber(const char* s, int len, double& d) {
    std::string t(s, size_t(len));
    for (char& c : t)
        if (c == ',') c = '.';
    auto r = std::from_chars(t.data(), t.data() + t.size(), d);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

// The file's first page must carry the Jet or ACE mark, and its length whole pages: libmdb reads a
// damaged file without a word, so this is checked first.
void checkHeader(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(path, f.errorString()));
    QByteArray head = f.read(0x20);
    if (head.size() < 0x20 || (head.mid(4, 15) != "Standard Jet DB" && head.mid(4, 15) != "Standard ACE DB"))
        throw EDatabaseError(FileError(path, QStringLiteral("it is not an Access database")));
    const int page = head[0x14] == 0 ? 2048 : 4096;
    if (f.size() % page != 0 || f.size() < 2 * page)
        throw EDatabaseError(FileError(
            path, QStringLiteral("the file is truncated (%1 bytes is not a whole number of %2-byte pages)")
                      .arg(f.size())
                      .arg(page)));
}
} // namespace

struct AccessReader::Impl {
    MdbHandle* mdb = nullptr;
    std::vector<MdbCatalogEntry*> tables;
    QStringList names;
    ~Impl() {
        if (mdb) mdb_close(mdb);
    }

    // A table definition with its columns read; freed when the holder goes.
    struct Table {
        MdbTableDef* t = nullptr;
        ~Table() {
            if (t) mdb_free_tabledef(t);
        }
    };
};

AccessReader::AccessReader(const FileSource& source) : path_(source.path), d_(std::make_unique<Impl>()) {
    checkHeader(path_);
    d_->mdb = mdb_open(QFile::encodeName(path_).constData(), MDB_NOFLAGS);
    if (!d_->mdb) fail(QStringLiteral("libmdb cannot open it"));
    mdb_set_date_fmt(d_->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(d_->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(d_->mdb);
    mdb_set_bind_size(d_->mdb, kBindSize);
    if (!mdb_read_catalog(d_->mdb, MDB_TABLE)) fail(QStringLiteral("its catalog cannot be read"));
    for (unsigned i = 0; i < d_->mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d_->mdb->catalog, i));
        if (e->object_type != MDB_TABLE || !mdb_is_user_table(e)) continue;
        d_->tables.push_back(e);
        d_->names << QString::fromUtf8(e->object_name);
    }
}

AccessReader::~AccessReader() = default;

void AccessReader::fail(const QString& what) const {
    throw EDatabaseError(FileError(path_, what));
}

QStringList AccessReader::tables() {
    return d_->names;
}

std::vector<ColumnDesc> AccessReader::columns(const QString& table) {
    std::vector<ColumnDesc> cols;
    for (size_t i = 0; i < d_->tables.size(); ++i) {
        if (d_->names[int(i)].compare(table, Qt::CaseInsensitive) != 0) continue;
        Impl::Table t;
        t.t = mdb_read_table(d_->tables[i]);
        if (!t.t || !mdb_read_columns(t.t)) fail(QStringLiteral("table \"%1\" cannot be read").arg(table));
        const bool jet3 = d_->mdb->f->jet_version == MDB_VER_JET3;
        for (unsigned c = 0; c < t.t->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t.t->columns, c));
            ColumnDesc d;
            d.name = QString::fromUtf8(col->name);
            d.type = typeOf(col);
            if (col->col_type == MDB_TEXT) d.size = jet3 ? col->col_size : col->col_size / 2;
            d.autoIncrement = col->is_long_auto;
            d.readOnly = true;
            cols.push_back(d);
        }
        return cols;
    }
    fail(QStringLiteral("there is no table \"%1\"").arg(table));
}

void AccessReader::read(const QString& table, ResultSink& sink, qint64 maxRows) {
    std::vector<ColumnDesc> cols = columns(table);
    int index = int(d_->names.indexOf(table, 0));
    for (int i = 0; i < d_->names.size() && index < 0; ++i)
        if (d_->names[i].compare(table, Qt::CaseInsensitive) == 0) index = i;
    Impl::Table t;
    t.t = mdb_read_table(d_->tables[size_t(index)]);
    if (!t.t || !mdb_read_columns(t.t)) fail(QStringLiteral("table \"%1\" cannot be read").arg(table));
    mdb_rewind_table(t.t);
    const unsigned n = t.t->num_cols;
    std::vector<std::unique_ptr<char[]>> buffers(n);
    std::vector<int> lens(n, 0);
    for (unsigned c = 0; c < n; ++c) {
        buffers[c].reset(new char[kBindSize]);
        mdb_bind_column(t.t, int(c + 1), buffers[c].get(), &lens[c]);
    }
    ColumnStore& store = sink.begin(cols);
    qint64 rows = 0;
    while ((maxRows < 0 || rows < maxRows) && mdb_fetch_row(t.t)) {
        for (unsigned c = 0; c < n; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t.t->columns, c));
            Column& out = store.column(c);
            const char* v = buffers[c].get();
            int len = lens[c];
            if (len <= 0 && col->col_type != MDB_BOOL) {
                out.appendNull();
                continue;
            }
            if (size_t(len) >= kBindSize - 1)
                fail(QStringLiteral("table \"%1\", row %2: the value of %3 is longer than %4 bytes")
                         .arg(table)
                         .arg(rows + 1)
                         .arg(cols[c].name)
                         .arg(kBindSize - 1));
            double d;
            int64_t ms;
            switch (StorageOf(cols[c].type)) {
            case StorageKind::Bool:
                out.appendInt(len > 0 && v[0] == '1');
                break;
            case StorageKind::Int:
                parseNumber(v, len, d) ? out.appendInt(int64_t(d)) : out.appendNull();
                break;
            case StorageKind::Float:
                parseNumber(v, len, d) ? out.appendFloat(d) : out.appendNull();
                break;
            case StorageKind::DateTime:
                dtconv::Parse(std::string_view(v, size_t(len)), ftDateTime, ms) ? out.appendInt(ms)
                                                                                : out.appendNull();
                break;
            case StorageKind::Bytes:
                if (col->col_type == MDB_OLE) {
                    size_t size = 0;
                    void* blob = mdb_ole_read_full(d_->mdb, col, &size);
                    out.appendBytes(std::string_view(static_cast<const char*>(blob), size), store.arena());
                    free(blob);
                } else {
                    out.appendBytes(std::string_view(v, size_t(len)), store.arena());
                }
                break;
            case StorageKind::Text:
                out.appendBytes(std::string_view(v, size_t(len)), store.arena());
                break;
            }
        }
        store.commitRow();
        ++rows;
        if (rows % sink.progressRows() == 0 && !sink.fetchProgress(rows)) return;
    }
}
