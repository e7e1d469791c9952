#include "sqlite_provider.h"

#include "exceptions.h"
#include "safe_file.h"
#include "sqlite_rows.h"

#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <algorithm>
#include <optional>
#include <sqlite3.h>
#include <system_error>

namespace {
// The files SQLite keeps beside a database while it is open.
const char* const kJournals[] = {"-journal", "-wal", "-shm"};
struct Stmt {
    sqlite3_stmt* st = nullptr;
    ~Stmt() { sqlite3_finalize(st); }
};

} // namespace

SqliteProvider::SqliteProvider(const QString& path, bool readOnly) : path_(path), readOnly_(readOnly) {}
SqliteProvider::~SqliteProvider() {
    close();
}

QString SqliteProvider::errorText(const QString& context) const {
    QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("no connection");
    return context.isEmpty() ? msg : context + ": " + msg;
}

void SqliteProvider::fail(const QString& context) const {
    throw EDatabaseError(errorText(context));
}

namespace {
// tabulo_casefold(text): the text as the program matches it without letter case (SQLite's own lower()
// folds ASCII letters only). NULL stays NULL; other values fold their text form.
void CaseFoldFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    std::string folded;
    AppendCaseFolded(folded, std::string_view(text ? text : "", size_t(sqlite3_value_bytes(argv[0]))));
    sqlite3_result_text64(ctx, folded.data(), folded.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}
} // namespace

void SqliteProvider::open() {
    Hold hold(*this);
    if (db_) return;
    if (path_ != ":memory:" && !QFileInfo::exists(path_))
        throw EDatabaseError(QStringLiteral("Database file \"%1\" does not exist").arg(path_));
    // One thread uses the connection: without its mutex every column read is cheaper.
    int flags =
        (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path_.toUtf8().constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
        sqlite3_close(db_);
        db_ = nullptr;
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": %2").arg(path_, msg));
    }
    sqlite3_busy_timeout(db_, connectionTimeout * 1000);
    sqlite3_create_function_v2(db_, "tabulo_casefold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               CaseFoldFunction, nullptr, nullptr, nullptr);
    // A file that is not a database is found now, not at the first query.
    Stmt s;
    if (sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &s.st, nullptr) != SQLITE_OK ||
        sqlite3_step(s.st) != SQLITE_ROW) {
        QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(s.st);
        s.st = nullptr;
        sqlite3_close(db_);
        db_ = nullptr;
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": %2").arg(path_, msg));
    }
    if (const char* file = sqlite3_db_filename(db_, "main"); file && *file) {
        file_ = QString::fromUtf8(file);
        RegisterOpenFile(file_, QStringLiteral("the open database \"%1\"").arg(file_));
        for (const char* journal : kJournals)
            RegisterOpenFile(file_ + QLatin1String(journal),
                             QStringLiteral("a journal of the open database \"%1\"").arg(file_));
    }
}

void SqliteProvider::close() {
    Hold hold(*this);
    clearPrepared();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    if (file_.isEmpty()) return;
    UnregisterOpenFile(file_);
    for (const char* journal : kJournals)
        UnregisterOpenFile(file_ + QLatin1String(journal));
    file_.clear();
}

void SqliteProvider::check() {
    if (!db_) throw EDatabaseError(QStringLiteral("Connection is closed"));
}

void SqliteProvider::bind(sqlite3_stmt* st, const QVariantList& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        int rc;
        int p = i + 1;
        if (!v.isValid() || v.isNull())
            rc = sqlite3_bind_null(st, p);
        else
            switch (v.typeId()) {
            case QMetaType::Bool:
                rc = sqlite3_bind_int(st, p, v.toBool());
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
                rc = sqlite3_bind_int64(st, p, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(st, p, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob64(st, p, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDate:
            case QMetaType::QTime:
            case QMetaType::QDateTime: {
                // SQLite keeps dates as text.
                QByteArray u = dtconv::TemporalText(v).toUtf8();
                rc = sqlite3_bind_text64(st, p, u.constData(), sqlite3_uint64(u.size()), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
                break;
            }
            default: {
                QByteArray u = v.toString().toUtf8();
                rc = sqlite3_bind_text64(st, p, u.constData(), sqlite3_uint64(u.size()), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
            }
            }
        if (rc != SQLITE_OK) fail(QStringLiteral("Parameter %1").arg(p));
    }
}

namespace {
// SQLite ends a statement text at a NUL: whatever follows would be dropped without a word.
void refuseNul(const QString& sql) {
    if (qsizetype at = sql.indexOf(QChar(0)); at >= 0)
        throw EDatabaseError(QStringLiteral("The command text holds a NUL character in line %1")
                                 .arg(QStringView(sql).left(at).count(QLatin1Char('\n')) + 1));
}
} // namespace

sqlite3_stmt* SqliteProvider::prepared(const QString& sql) {
    for (auto it = prepared_.rbegin(); it != prepared_.rend(); ++it)
        if (it->first == sql) {
            std::rotate(it.base() - 1, it.base(), prepared_.end());
            return prepared_.back().second;
        }
    sqlite3_stmt* st = prepare(sql, {});
    constexpr size_t kKept = 8;
    if (prepared_.size() == kKept) {
        sqlite3_finalize(prepared_.front().second);
        prepared_.erase(prepared_.begin());
    }
    prepared_.emplace_back(sql, st);
    return st;
}

void SqliteProvider::clearPrepared() {
    for (auto& p : prepared_)
        sqlite3_finalize(p.second);
    prepared_.clear();
}

sqlite3_stmt* SqliteProvider::prepare(const QString& sql, const QVariantList& params) {
    check();
    refuseNul(sql);
    sqlite3_stmt* st = nullptr;
    QByteArray u = sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, u.constData(), int(u.size()), &st, &tail) != SQLITE_OK) fail(QString());
    if (!st) throw EDatabaseError(QStringLiteral("The command text is empty"));
    // A second statement would be silently ignored here: refuse it instead (batches of statements go
    // through executeBatch).
    sqlite3_stmt* next = nullptr;
    const char* end = u.constData() + u.size();
    const bool more = sqlite3_prepare_v2(db_, tail, int(end - tail), &next, nullptr) != SQLITE_OK || next;
    sqlite3_finalize(next);
    if (more) {
        sqlite3_finalize(st);
        throw EDatabaseError(QStringLiteral("The command text holds more than one statement: %1")
                                 .arg(QString::fromUtf8(tail).trimmed().left(80)));
    }
    try {
        bind(st, params);
    } catch (...) {
        sqlite3_finalize(st);
        throw;
    }
    return st;
}

TFieldType SqliteProvider::TypeOfDeclared(const QString& declared, int* size) {
    QString t = declared.trimmed().toUpper();
    if (size) {
        *size = 0;
        qsizetype open = t.indexOf('(');
        if (open >= 0)
            *size = t.mid(open + 1, t.indexOf(')') - open - 1).section(',', 0, 0).trimmed().toInt();
    }
    QString base = t.section('(', 0, 0).trimmed();
    if (base.isEmpty()) return ftUnknown;
    if (base == "BOOL" || base == "BOOLEAN" || base == "BIT") return ftBoolean;
    if (base == "DATE") return ftDate;
    if (base == "TIME") return ftTime;
    if (base.startsWith("DATETIME") || base.startsWith("TIMESTAMP")) return ftDateTime;
    if (base == "MONEY" || base == "SMALLMONEY" || base == "CURRENCY") return ftCurrency;
    if (base == "DECIMAL" || base == "NUMERIC") return ftBCD;
    if (base == "GUID" || base == "UNIQUEIDENTIFIER" || base == "UUID") return ftGuid;
    if (base == "MEMO" || base == "NTEXT" || base == "CLOB" || base == "NCLOB" || base == "LONGTEXT" ||
        base == "MEDIUMTEXT" || base == "LONG VARCHAR")
        return ftWideMemo;
    if (base == "TINYINT") return ftShortint;
    if (base == "SMALLINT" || base == "INT2") return ftSmallint;
    if (base == "BIGINT" || base == "INT8") return ftLargeint;
    // SQLite's affinity rules, in their order.
    if (base.contains("INT")) return ftInteger;
    if (base.contains("CHAR") || base.contains("CLOB") || base.contains("TEXT")) return ftWideString;
    if (base.contains("BLOB") || base == "IMAGE" || base.contains("BINARY")) return ftBlob;
    if (base.contains("REAL") || base.contains("FLOA") || base.contains("DOUB")) return ftFloat;
    return ftFloat; // NUMERIC affinity
}

void SqliteProvider::query(const QString& sql, const QVariantList& params, ResultSink& sink) {
    Hold hold(*this);
    sqlite3_stmt* st = prepare(sql, params);
    const auto finalize = qScopeGuard([this, st] {
        Hold h(*this);
        sqlite3_finalize(st);
    });
    const int n = sqlite3_column_count(st);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(QString());
    std::vector<ColumnDesc> cols(static_cast<size_t>(n));
    Rows rows{*this, st, cols, std::vector<TFieldType>(size_t(n)), std::vector<bool>(size_t(n), false)};
    for (int i = 0; i < n; ++i) {
        ColumnDesc& d = cols[size_t(i)];
        d.name = QString::fromUtf8(sqlite3_column_name(st, i));
        const char* decl = sqlite3_column_decltype(st, i);
        d.type = TypeOfDeclared(QString::fromUtf8(decl ? decl : ""), &d.size);
        if (d.type == ftUnknown) {
            const int vt = rc == SQLITE_ROW ? sqlite3_column_type(st, i) : SQLITE_NULL;
            d.type = SqliteValueType(vt);
            rows.undecided[size_t(i)] = vt == SQLITE_NULL;
        }
        const char* table = sqlite3_column_table_name(st, i);
        const char* origin = sqlite3_column_origin_name(st, i);
        if (table && origin) {
            d.baseTable = QString::fromUtf8(table);
            d.baseColumn = QString::fromUtf8(origin);
            const char* dt = nullptr;
            const char* coll = nullptr;
            int notNull = 0, pk = 0, autoinc = 0;
            if (sqlite3_table_column_metadata(db_, sqlite3_column_database_name(st, i), table, origin, &dt,
                                              &coll, &notNull, &pk, &autoinc) == SQLITE_OK) {
                d.required = notNull;
                d.key = pk;
                // INTEGER PRIMARY KEY is the row id: the database fills it when it is left empty.
                if (pk && d.type == ftInteger && QString::fromUtf8(dt).trimmed().toUpper() == "INTEGER" &&
                    primaryKey(d.baseTable).size() == 1) {
                    d.type = ftAutoInc;
                    d.autoIncrement = true;
                    d.required = false;
                }
            }
        } else {
            d.readOnly = true;
        }
        rows.types[size_t(i)] = d.type;
    }
    // The sink runs without the connection held: it may use the connection itself.
    hold.unlock();
    ColumnStore& store = sink.begin(cols);
    std::vector<Column*> columns(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        columns[size_t(i)] = &store.column(size_t(i));
    std::vector<FetchedCell> row(static_cast<size_t>(n));
    QString error;
    qint64 count = 0;
    while (rc == SQLITE_ROW) {
        hold.lock();
        if (!rows.convert(row.data(), nullptr, error)) throw EDatabaseError(error);
        hold.unlock();
        AppendFetchedRow(store, columns.data(), row.data(), size_t(n), sink);
        if (++count % sink.progressRows() == 0) {
            if (!sink.fetchProgress(count)) return;
            // A result past its first block is read ahead by another thread from here on (unless
            // this thread holds the connection around the query: the thread could not step it).
            hold.lock();
            const bool ahead = hold.outermost() && sqlite3_threadsafe();
            hold.unlock();
            std::optional<ReadAhead> reader;
            try {
                if (ahead) reader.emplace(rows, sink.progressRows());
            } catch (const std::system_error&) { // no thread to be had: read on here
            }
            if (reader) {
                readAhead(*reader, store, columns.data(), sink, count);
                return;
            }
        }
        hold.lock();
        rc = sqlite3_step(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(QString());
        hold.unlock();
    }
}

void SqliteProvider::readAhead(ReadAhead& ahead, ColumnStore& store, Column* const* columns, ResultSink& sink,
                               qint64 count) {
    const size_t n = ahead.columns();
    for (;;) {
        ReadAhead::Batch& b = ahead.next();
        const FetchedCell* cells = b.cells.data();
        for (size_t r = 0; r < b.rows; ++r, cells += n) {
            AppendFetchedRow(store, columns, cells, n, sink);
            if (++count % sink.progressRows() == 0 && !sink.fetchProgress(count)) return;
        }
        if (b.failure) std::rethrow_exception(b.failure);
        if (b.failed) throw EDatabaseError(b.error);
        if (b.last) return;
        ahead.giveBack(b);
    }
}

bool SqliteProvider::readsOnly(const QString& sql) {
    Hold hold(*this);
    Stmt s;
    s.st = prepare(sql, {});
    return sqlite3_column_count(s.st) > 0 && sqlite3_stmt_readonly(s.st);
}

qint64 SqliteProvider::run(sqlite3_stmt* st) {
    auto reset = qScopeGuard([st] {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    });
    sqlite3_int64 before = sqlite3_total_changes64(db_);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(QString());
    return sqlite3_total_changes64(db_) - before;
}

qint64 SqliteProvider::execute(const QString& sql, const QVariantList& params) {
    Hold hold(*this);
    if (params.isEmpty()) return executeBatch(sql); // every statement of the text runs
    sqlite3_stmt* st = prepared(sql);
    try {
        bind(st, params);
    } catch (...) {
        sqlite3_clear_bindings(st);
        throw;
    }
    return run(st);
}

// Values go in as stored: numbers as numbers, texts and blobs straight from the cells (no copy),
// date-times as the texts SQLite's date functions read.
void SqliteProvider::bindCells(sqlite3_stmt* st, const std::vector<CellParam>& params) {
    // Offsets of the date-time texts; bound once the buffer stops growing.
    std::vector<std::pair<int, std::pair<size_t, size_t>>> dates;
    dateText_.clear();
    for (size_t i = 0; i < params.size(); ++i) {
        const CellValue& v = *params[i].cell;
        const int p = int(i) + 1;
        int rc = SQLITE_OK;
        if (v.null) {
            rc = sqlite3_bind_null(st, p);
        } else {
            switch (StorageOf(params[i].type)) {
            case StorageKind::Int:
                rc = sqlite3_bind_int64(st, p, v.i);
                break;
            case StorageKind::Bool:
                rc = sqlite3_bind_int(st, p, v.i != 0);
                break;
            case StorageKind::Float:
                rc = sqlite3_bind_double(st, p, v.f);
                break;
            case StorageKind::DateTime: {
                const size_t at = dateText_.size();
                const TFieldType t = params[i].type;
                dtconv::AppendIso(dateText_, v.i, t != ftTime, t != ftDate, true);
                dates.push_back({p, {at, dateText_.size() - at}});
                break;
            }
            case StorageKind::Text:
            case StorageKind::Bytes:
                // A blob among texts stays a blob, a text among blobs a text.
                if ((StorageOf(params[i].type) == StorageKind::Bytes) != v.otherClass)
                    rc = sqlite3_bind_blob64(st, p, v.bytes.data(), sqlite3_uint64(v.bytes.size()),
                                             SQLITE_STATIC);
                else
                    rc = sqlite3_bind_text64(st, p, v.bytes.data(), sqlite3_uint64(v.bytes.size()),
                                             SQLITE_STATIC, SQLITE_UTF8);
                break;
            }
        }
        if (rc != SQLITE_OK) fail(QStringLiteral("Parameter %1").arg(p));
    }
    for (const auto& [p, span] : dates)
        if (sqlite3_bind_text64(st, p, dateText_.data() + span.first, span.second, SQLITE_STATIC,
                                SQLITE_UTF8) != SQLITE_OK)
            fail(QStringLiteral("Parameter %1").arg(p));
}

qint64 SqliteProvider::executeCells(const QString& sql, const std::vector<CellParam>& params) {
    Hold hold(*this);
    if (params.empty()) return executeBatch(sql);
    sqlite3_stmt* st = prepared(sql);
    try {
        bindCells(st, params);
    } catch (...) {
        sqlite3_clear_bindings(st);
        throw;
    }
    return run(st);
}

qint64 SqliteProvider::executeBatch(const QString& sql) {
    Hold hold(*this);
    check();
    refuseNul(sql);
    QByteArray u = sql.toUtf8();
    const char* p = u.constData();
    const char* end = p + u.size();
    qint64 total = 0;
    while (p < end) {
        Stmt s;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db_, p, int(end - p), &s.st, &tail) != SQLITE_OK) fail(QString());
        if (!s.st && tail <= p) // no statement and no progress: fail rather than spin
            throw EDatabaseError(
                QStringLiteral("The command text cannot be read past byte %1").arg(p - u.constData()));
        p = tail;
        if (!s.st) continue; // blank or comment
        sqlite3_int64 before = sqlite3_total_changes64(db_);
        int rc;
        while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) fail(QString());
        total += sqlite3_total_changes64(db_) - before;
    }
    return total;
}

QStringList SqliteProvider::primaryKey(const QString& table) {
    Hold hold(*this);
    check();
    Stmt s;
    s.st = prepare(QStringLiteral("SELECT name, pk FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk"),
                   {table});
    QStringList keys;
    while (sqlite3_step(s.st) == SQLITE_ROW) {
        const std::string_view name = SqliteText(s.st, 0);
        keys << QString::fromUtf8(name.data(), qsizetype(name.size()));
    }
    return keys;
}

QVariant SqliteProvider::lastInsertId() {
    Hold hold(*this);
    check();
    return qlonglong(sqlite3_last_insert_rowid(db_));
}

void SqliteProvider::beginTrans() {
    executeBatch(QStringLiteral("BEGIN"));
}
void SqliteProvider::commitTrans() {
    executeBatch(QStringLiteral("COMMIT"));
}
void SqliteProvider::rollbackTrans() {
    executeBatch(QStringLiteral("ROLLBACK"));
}
