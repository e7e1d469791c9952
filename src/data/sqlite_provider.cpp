#include "sqlite_provider.h"

#include "exceptions.h"
#include "safe_file.h"

#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace {
// The files SQLite keeps beside a database while it is open.
const char* const kJournals[] = {"-journal", "-wal", "-shm"};
struct Stmt {
    sqlite3_stmt* st = nullptr;
    ~Stmt() { sqlite3_finalize(st); }
};

std::string_view textOf(sqlite3_stmt* st, int i) {
    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return {p ? p : "", size_t(sqlite3_column_bytes(st, i))};
}

// SQLite keeps dates as text, Julian day numbers (REAL) or Unix seconds (INTEGER).
bool dateOf(sqlite3_stmt* st, int i, TFieldType type, int64_t& ms) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_FLOAT:
        ms = dtconv::FromDays(sqlite3_column_double(st, i) - 2415018.5);
        return true;
    case SQLITE_INTEGER:
        ms = sqlite3_column_int64(st, i) * 1000 + int64_t(25569) * dtconv::kMsPerDay;
        return true;
    default:
        return dtconv::Parse(textOf(st, i), type, ms);
    }
}

bool boolOf(sqlite3_stmt* st, int i, int64_t& v) {
    int t = sqlite3_column_type(st, i);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        v = sqlite3_column_double(st, i) != 0;
        return true;
    }
    std::string_view s = textOf(st, i);
    if (s == "1" || s == "true" || s == "TRUE" || s == "True" || s == "t")
        v = 1;
    else if (s == "0" || s == "false" || s == "FALSE" || s == "False" || s == "f")
        v = 0;
    else
        return false;
    return true;
}

TFieldType typeOfValue(int sqliteType) {
    switch (sqliteType) {
    case SQLITE_INTEGER:
        return ftLargeint;
    case SQLITE_FLOAT:
        return ftFloat;
    case SQLITE_BLOB:
        return ftBlob;
    default:
        return ftWideString;
    }
}

// The narrowest type that holds the values of a column of type `type` and one more that did not fit
// it (of SQLite storage class vt): a whole number beside a fraction widens to float, a date with a time
// to a date-time; only values that are really text (or a blob beside numbers) make a text column.
TFieldType widerType(TFieldType type, int vt, sqlite3_stmt* st, int i) {
    if (StorageOf(type) == StorageKind::Int && vt == SQLITE_FLOAT) return ftFloat;
    int64_t ms;
    if (type == ftDate && dateOf(st, i, ftDateTime, ms)) return ftDateTime;
    return ftWideString;
}

} // namespace

SqliteProvider::SqliteProvider(const QString& path, bool readOnly) : path_(path), readOnly_(readOnly) {}
SqliteProvider::~SqliteProvider() {
    close();
}

void SqliteProvider::fail(const QString& context) const {
    QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("no connection");
    throw EDatabaseError(context.isEmpty() ? msg : context + ": " + msg);
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
    Stmt s;
    s.st = prepare(sql, params);
    sqlite3_stmt* st = s.st;
    const int n = sqlite3_column_count(st);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(QString());
    std::vector<ColumnDesc> cols(static_cast<size_t>(n));
    std::vector<TFieldType> types(static_cast<size_t>(n));
    // Columns without a declared type whose values so far were all NULL: the first value decides.
    std::vector<bool> undecided(static_cast<size_t>(n), false);
    for (int i = 0; i < n; ++i) {
        ColumnDesc& d = cols[size_t(i)];
        d.name = QString::fromUtf8(sqlite3_column_name(st, i));
        const char* decl = sqlite3_column_decltype(st, i);
        d.type = TypeOfDeclared(QString::fromUtf8(decl ? decl : ""), &d.size);
        if (d.type == ftUnknown) {
            const int vt = rc == SQLITE_ROW ? sqlite3_column_type(st, i) : SQLITE_NULL;
            d.type = typeOfValue(vt);
            undecided[size_t(i)] = vt == SQLITE_NULL;
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
        types[size_t(i)] = d.type;
    }
    ColumnStore& store = sink.begin(cols);
    std::vector<Column*> columns(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        columns[size_t(i)] = &store.column(size_t(i));
    TextArena& arena = store.arena();
    uint32_t rows = 0;
    // Appends a value to a column of its kind; false when it does not fit the column's type.
    auto put = [&](Column& c, int i, int vt) {
        switch (c.kind()) {
        case StorageKind::Int: {
            if (vt == SQLITE_INTEGER) {
                c.appendInt(sqlite3_column_int64(st, i));
                return true;
            }
            if (vt != SQLITE_FLOAT) return false;
            const double d = sqlite3_column_double(st, i);
            if (std::floor(d) != d || std::fabs(d) >= 9.2e18) return false; // a fraction, or too big
            c.appendInt(int64_t(d));
            return true;
        }
        case StorageKind::Float:
            if (vt != SQLITE_INTEGER && vt != SQLITE_FLOAT) return false;
            c.appendFloat(sqlite3_column_double(st, i));
            return true;
        case StorageKind::Bool: {
            int64_t b;
            if (!boolOf(st, i, b)) return false;
            c.appendInt(b);
            return true;
        }
        case StorageKind::DateTime: {
            int64_t ms;
            if (!dateOf(st, i, types[size_t(i)], ms) ||
                (types[size_t(i)] == ftDate && ms % dtconv::kMsPerDay))
                return false;
            c.appendInt(ms);
            return true;
        }
        case StorageKind::Text:
        case StorageKind::Bytes: {
            // The bytes of either class; a value of the other class than the column's is marked so
            // that scripts and COPY text write it in its own form.
            const bool blob = vt == SQLITE_BLOB;
            const char* p = blob ? static_cast<const char*>(sqlite3_column_blob(st, i))
                                 : reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            c.appendBytes(std::string_view(p ? p : "", size_t(sqlite3_column_bytes(st, i))), arena);
            if (blob != (c.kind() == StorageKind::Bytes)) c.markOtherClass(c.size() - 1);
            return true;
        }
        }
        return false;
    };
    while (rc == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            const size_t k = size_t(i);
            Column& c = *columns[k];
            int vt = sqlite3_column_type(st, i);
            if (vt == SQLITE_NULL) {
                c.appendNull();
                continue;
            }
            if (undecided[k]) {
                undecided[k] = false;
                const TFieldType t = typeOfValue(vt);
                if (t != types[k]) {
                    WidenColumn(store, k, types[k], t, store.rowCount()); // nothing but NULLs so far
                    types[k] = t;
                    sink.columnRetyped(k, t);
                }
            }
            if (put(c, i, vt)) continue;
            const TFieldType wider = widerType(types[k], vt, st, i);
            WidenColumn(store, k, types[k], wider, store.rowCount());
            types[k] = wider;
            sink.columnRetyped(k, wider);
            if (!put(c, i, vt)) fail(QStringLiteral("Column \"%1\"").arg(cols[k].name));
        }
        store.commitRow();
        ++rows;
        if (rows % sink.progressRows() == 0 && !sink.fetchProgress(rows)) return;
        rc = sqlite3_step(st);
    }
    if (rc != SQLITE_DONE) fail(QString());
}

bool SqliteProvider::readsOnly(const QString& sql) {
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
    check();
    Stmt s;
    s.st = prepare(QStringLiteral("SELECT name, pk FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk"),
                   {table});
    QStringList keys;
    while (sqlite3_step(s.st) == SQLITE_ROW)
        keys << QString::fromUtf8(textOf(s.st, 0).data(), qsizetype(textOf(s.st, 0).size()));
    return keys;
}

QVariant SqliteProvider::lastInsertId() {
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
