#include "odbc_provider.h"

#include "conn_string.h"
#include "exceptions.h"
#include "odbc_types.h"

#include <cstring>
#include <sqlite3.h>

using odbc::Handle;
using odbc::Ok;

// Parameter values converted to the C forms the driver reads; they live until the statement ran.
struct OdbcProvider::Params {
    std::vector<std::vector<char>> data;
    std::vector<SQLLEN> ind;
};

namespace {
// Rows of bound buffers per block: about 2 MB of buffers, at most 1024 rows.
constexpr SQLLEN kBlockBytes = 2 << 20;
constexpr SQLULEN kMaxBlockRows = 1024;

int64_t msOf(const SQL_DATE_STRUCT& d) {
    return OdbcDaySerial(d.year, d.month, d.day) * dtconv::kMsPerDay;
}
int64_t msOf(const SQL_TIMESTAMP_STRUCT& t) {
    return OdbcDaySerial(t.year, t.month, t.day) * dtconv::kMsPerDay +
           (int64_t(t.hour) * 3600 + t.minute * 60 + t.second) * 1000 + t.fraction / 1000000;
}

template <class T> T load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

struct ColPlan {
    OdbcFetchType fetch;
    TFieldType type;
    QString name;
    std::vector<char> buf;
    std::vector<SQLLEN> ind;
    bool bound = false;
};

// Appends a value read as text: a time column parses it, keeping the fraction of a second.
void appendText(Column& c, std::string_view text, TextArena& arena, const QString& column) {
    if (c.kind() != StorageKind::DateTime) {
        c.appendBytes(text, arena);
        return;
    }
    int64_t ms;
    // PostgreSQL's end of the day, 24:00:00, is the next midnight: a time of day holds it as 00:00:00.
    if (text.rfind("24:00:00", 0) == 0 && text.find_first_not_of(".0", 8) == std::string::npos)
        ms = 0;
    else if (!dtconv::Parse(text, ftTime, ms))
        throw EDatabaseError(QStringLiteral("Column \"%1\": '%2' is not a valid time")
                                 .arg(column, QString::fromUtf8(text.data(), qsizetype(text.size()))));
    c.appendInt(ms % dtconv::kMsPerDay);
}

// Appends one fixed-size or bound value; data points at the value, ind is its indicator.
void appendValue(Column& c, SQLSMALLINT cType, const char* data, SQLLEN ind, TextArena& arena,
                 std::string& tmp, const QString& column) {
    if (ind == SQL_NULL_DATA) {
        c.appendNull();
        return;
    }
    switch (cType) {
    case SQL_C_SBIGINT:
        c.appendInt(load<int64_t>(data));
        break;
    case SQL_C_DOUBLE:
        c.appendFloat(load<double>(data));
        break;
    case SQL_C_BIT:
        c.appendInt(data[0] != 0);
        break;
    case SQL_C_TYPE_DATE:
        c.appendInt(msOf(load<SQL_DATE_STRUCT>(data)));
        break;
    case SQL_C_TYPE_TIMESTAMP:
        c.appendInt(msOf(load<SQL_TIMESTAMP_STRUCT>(data)));
        break;
    case SQL_C_WCHAR: {
        tmp.clear();
        odbc::AppendUtf8(reinterpret_cast<const char16_t*>(data), size_t(ind / 2), tmp);
        appendText(c, tmp, arena, column);
        break;
    }
    case SQL_C_CHAR: // UTF-8 as it stands
        appendText(c, std::string_view(data, size_t(ind)), arena, column);
        break;
    default:
        c.appendBytes(std::string_view(data, size_t(ind)), arena);
        break;
    }
}

bool truncated(const ColPlan& p, SQLLEN ind) {
    if (ind == SQL_NULL_DATA) return false;
    if (ind == SQL_NO_TOTAL) return true;
    if (p.fetch.cType == SQL_C_WCHAR) return ind > p.fetch.width - 2;
    if (p.fetch.cType == SQL_C_CHAR) return ind > p.fetch.width - 1;
    if (p.fetch.cType == SQL_C_BINARY) return ind > p.fetch.width;
    return false;
}

QString attrText(SQLHSTMT st, SQLUSMALLINT col, SQLUSMALLINT field) {
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!Ok(SQLColAttributeW(st, col, field, buf, sizeof buf, &len, nullptr))) return {};
    return odbc::FromW(buf, std::min<qsizetype>(len / 2, 511));
}

SQLLEN attrNumber(SQLHSTMT st, SQLUSMALLINT col, SQLUSMALLINT field) {
    SQLLEN v = 0;
    if (!Ok(SQLColAttributeW(st, col, field, nullptr, 0, nullptr, &v))) return 0;
    return v;
}
} // namespace

OdbcProvider::OdbcProvider(const QString& connectString, std::optional<DialectKind> dialect)
    : connectString_(connectString), dialectHint_(dialect), dialect_(dialect.value_or(DialectKind::MSSQL)) {}

OdbcProvider::~OdbcProvider() {
    close();
}

QStringList OdbcProvider::InstalledDrivers() {
    QStringList out;
    Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLWCHAR desc[256], attrs[1024];
    SQLSMALLINT descLen = 0, attrLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (Ok(SQLDriversW(env.get(), direction, desc, 256, &descLen, attrs, 1024, &attrLen))) {
        out << odbc::FromW(desc, std::min<qsizetype>(descLen, 255));
        direction = SQL_FETCH_NEXT;
    }
    return out;
}

std::optional<DialectKind> OdbcProvider::DialectOfDbms(const QString& dbmsName) {
    QString n = dbmsName.toLower();
    if (n.contains(QLatin1String("postgres"))) return DialectKind::PostgreSQL;
    if (n.contains(QLatin1String("sqlite"))) return DialectKind::SQLite;
    if (n.contains(QLatin1String("mariadb")) || n.contains(QLatin1String("mysql"))) return DialectKind::MySQL;
    if (n.contains(QLatin1String("sql server")) || n.contains(QLatin1String("sybase")))
        return DialectKind::MSSQL;
    return std::nullopt;
}

void OdbcProvider::fail(const Handle& h, const QString& context) const {
    QString diag = h.diagnostics();
    // Drivers may echo the connection string back; its password must not reach a message.
    for (const QString& pwd : PasswordsOf(connectString_))
        if (pwd.size() >= 3) diag.replace(pwd, QLatin1String("***"));
    if (diag.isEmpty()) diag = QStringLiteral("no details");
    throw EDatabaseError(context.isEmpty() ? diag : context + ": " + diag);
}

void OdbcProvider::open() {
    if (connected_) return;
    env_ = Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    dbc_ = Handle(SQL_HANDLE_DBC, env_.get());
    if (!Ok(connect(dbc_, connectString_))) {
        Handle failed = std::move(dbc_);
        env_.reset();
        try {
            fail(failed, QStringLiteral("Cannot connect with \"%1\"").arg(MaskPasswords(connectString_)));
        } catch (...) {
            failed.reset();
            throw;
        }
    }
    connected_ = true;
    dbms_ = odbc::InfoText(dbc_.get(), SQL_DBMS_NAME);
    database_ = odbc::InfoText(dbc_.get(), SQL_DATABASE_NAME);
    SQLUINTEGER ext = 0;
    if (Ok(SQLGetInfoW(dbc_.get(), SQL_GETDATA_EXTENSIONS, &ext, sizeof ext, nullptr)))
        getDataExtensions_ = ext;
    SQLUSMALLINT active = 0;
    if (Ok(SQLGetInfoW(dbc_.get(), SQL_MAX_CONCURRENT_ACTIVITIES, &active, sizeof active, nullptr)))
        oneActiveStatement_ = active == 1;
    if (std::optional<DialectKind> k = DialectOfDbms(dbms_))
        dialect_ = Dialect(*k);
    else if (dialectHint_)
        dialect_ = Dialect(*dialectHint_);
    // The MariaDB/MySQL driver gives narrow text in the session's result character set unchanged: in
    // UTF-8 that is our own form, and far cheaper than its UTF-16 conversion of every value.
    utf8Narrow_ = false;
    if (dialect_.kind() == DialectKind::MySQL) {
        Handle st = statement();
        std::string charset;
        if (Ok(SQLExecDirectW(st.get(), odbc::W(QStringLiteral("SELECT @@character_set_results")),
                              SQL_NTS)) &&
            Ok(SQLFetch(st.get())) && odbc::ReadPieces(st.get(), 1, SQL_C_WCHAR, charset, st))
            utf8Narrow_ = charset.rfind("utf8", 0) == 0;
    }
}

SQLRETURN OdbcProvider::connect(Handle& dbc, const QString& connectString) const {
    for (SQLINTEGER attr : {SQL_ATTR_LOGIN_TIMEOUT, SQL_ATTR_CONNECTION_TIMEOUT})
        SQLSetConnectAttrW(dbc.get(), attr,
                           reinterpret_cast<SQLPOINTER>(SQLULEN(std::max(connectionTimeout, 0))), 0);
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    return SQLDriverConnectW(dbc.get(), nullptr, odbc::W(connectString), SQL_NTS, out,
                             SQLSMALLINT(std::size(out)), &outLen, SQL_DRIVER_NOPROMPT);
}

void OdbcProvider::close() {
    if (streamDbc_) SQLDisconnect(streamDbc_.get());
    streamDbc_.reset();
    streamTried_ = false;
    if (connected_) SQLDisconnect(dbc_.get());
    connected_ = false;
    dbc_.reset();
    env_.reset();
}

QString OdbcProvider::defaultDatabase() const {
    return connected_ ? database_ : QString();
}

void OdbcProvider::check() const {
    if (!connected_) throw EDatabaseError(QStringLiteral("Connection is closed"));
}

Handle OdbcProvider::statement(SQLHDBC on) {
    check();
    Handle st(SQL_HANDLE_STMT, on ? on : dbc_.get());
    if (commandTimeout > 0) // drivers without time-outs answer with a warning: the command still runs
        SQLSetStmtAttrW(st.get(), SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(SQLULEN(commandTimeout)), 0);
    return st;
}

void OdbcProvider::bind(Handle& st, const QVariantList& params, Params& b) {
    b.data.resize(size_t(params.size()));
    b.ind.assign(size_t(params.size()), 0);
    const bool sqliteText = dialect_.kind() == DialectKind::SQLite;
    for (int i = 0; i < params.size(); ++i) {
        const size_t k = size_t(i);
        QVariant v = params[i];
        std::vector<char>& d = b.data[k];
        SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR, digits = 0;
        SQLULEN size = 0;
        auto put = [&](const auto& value) {
            d.resize(sizeof value);
            std::memcpy(d.data(), &value, sizeof value);
            b.ind[k] = SQLLEN(sizeof value);
        };
        auto putText = [&](const QString& s) {
            d.resize(size_t(s.size() + 1) * 2);
            std::memcpy(d.data(), s.utf16(), d.size());
            b.ind[k] = SQLLEN(s.size()) * 2;
            size = SQLULEN(std::max<qsizetype>(s.size(), 1));
            sqlType = s.size() > qsizetype(kMaxBoundChars) ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        };
        // SQLite keeps dates as text: write them as the embedded provider does, so rows compare equal.
        if (sqliteText &&
            (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QTime ||
             v.typeId() == QMetaType::QDateTime) &&
            !v.isNull()) {
            v = dtconv::TemporalText(v);
        }
        if (!v.isValid() || v.isNull()) {
            // A NULL takes the parameter's own type where the driver can tell it (a typed server
            // refuses a text NULL for a date column).
            SQLSMALLINT t = 0, nullable = 0;
            SQLULEN sz = 0;
            SQLSMALLINT dg = 0;
            if (Ok(SQLDescribeParam(st.get(), SQLUSMALLINT(i + 1), &t, &sz, &dg, &nullable)) && t != 0) {
                sqlType = t;
                size = sz;
                digits = dg;
            } else {
                sqlType = SQL_VARCHAR;
                size = 1;
            }
            cType = SQL_C_CHAR;
            d.assign(1, '\0');
            b.ind[k] = SQL_NULL_DATA;
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool:
                cType = SQL_C_BIT;
                sqlType = SQL_BIT;
                size = 1;
                put(static_cast<unsigned char>(v.toBool()));
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Char:
            case QMetaType::UChar:
                cType = SQL_C_SBIGINT;
                sqlType = SQL_BIGINT;
                size = 19;
                put(static_cast<int64_t>(v.toLongLong()));
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                cType = SQL_C_DOUBLE;
                sqlType = SQL_DOUBLE;
                size = 15;
                put(v.toDouble());
                break;
            case QMetaType::QDate: {
                QDate x = v.toDate();
                SQL_DATE_STRUCT s{SQLSMALLINT(x.year()), SQLUSMALLINT(x.month()), SQLUSMALLINT(x.day())};
                cType = SQL_C_TYPE_DATE;
                sqlType = SQL_TYPE_DATE;
                size = 10;
                put(s);
                break;
            }
            case QMetaType::QTime: {
                QTime x = v.toTime();
                if (x.msec()) {
                    // The time structure has no fraction of a second: the time goes as its text.
                    putText(dtconv::TimeText(x));
                    sqlType = SQL_TYPE_TIME;
                    size = 12;
                    digits = 3;
                    break;
                }
                SQL_TIME_STRUCT s{SQLUSMALLINT(x.hour()), SQLUSMALLINT(x.minute()), SQLUSMALLINT(x.second())};
                cType = SQL_C_TYPE_TIME;
                sqlType = SQL_TYPE_TIME;
                size = 8;
                put(s);
                break;
            }
            case QMetaType::QDateTime: {
                QDateTime x = v.toDateTime();
                QDate dd = x.date();
                QTime tt = x.time();
                SQL_TIMESTAMP_STRUCT s{SQLSMALLINT(dd.year()),           SQLUSMALLINT(dd.month()),
                                       SQLUSMALLINT(dd.day()),           SQLUSMALLINT(tt.hour()),
                                       SQLUSMALLINT(tt.minute()),        SQLUSMALLINT(tt.second()),
                                       SQLUINTEGER(tt.msec()) * 1000000u};
                cType = SQL_C_TYPE_TIMESTAMP;
                sqlType = SQL_TYPE_TIMESTAMP;
                size = 23;
                digits = 3;
                put(s);
                break;
            }
            case QMetaType::QByteArray: {
                QByteArray x = v.toByteArray();
                d.assign(x.constData(), x.constData() + x.size());
                if (d.empty()) d.push_back(0);
                b.ind[k] = SQLLEN(x.size());
                cType = SQL_C_BINARY;
                size = SQLULEN(std::max<qsizetype>(x.size(), 1));
                sqlType = x.size() > qsizetype(kMaxBoundBytes) ? SQL_LONGVARBINARY : SQL_VARBINARY;
                break;
            }
            default:
                putText(v.toString());
            }
        }
        SQLRETURN rc = SQLBindParameter(st.get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, size,
                                        digits, d.data(), SQLLEN(d.size()), &b.ind[k]);
        if (!Ok(rc)) fail(st, QStringLiteral("Parameter %1").arg(i + 1));
    }
}

SQLRETURN OdbcProvider::run(Handle& st, const QString& sql, const QVariantList& params, Params& buffers) {
    if (sql.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("The command text is empty"));
    // Drivers read the text up to a NUL and would drop the rest without a word.
    if (qsizetype at = sql.indexOf(QChar(0)); at >= 0)
        throw EDatabaseError(QStringLiteral("The command text holds a NUL character in line %1")
                                 .arg(QStringView(sql).left(at).count(QLatin1Char('\n')) + 1));
    SQLRETURN rc;
    if (params.isEmpty()) {
        rc = SQLExecDirectW(st.get(), odbc::W(sql), SQL_NTS);
    } else {
        if (!Ok(SQLPrepareW(st.get(), odbc::W(sql), SQL_NTS))) fail(st, QString());
        bind(st, params, buffers);
        rc = SQLExecute(st.get());
    }
    if (!Ok(rc) && rc != SQL_NO_DATA) fail(st, QString());
    return rc;
}

qint64 OdbcProvider::rowsAffected(Handle& st) {
    qint64 total = 0;
    bool known = false;
    for (;;) {
        SQLSMALLINT cols = 0;
        SQLNumResultCols(st.get(), &cols);
        SQLLEN n = -1;
        if (cols == 0 && Ok(SQLRowCount(st.get(), &n)) && n >= 0) {
            total += n;
            known = true;
        } else if (cols > 0) {
            known = true; // rows read back change nothing
        }
        SQLRETURN rc = SQLMoreResults(st.get());
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) fail(st, QString());
    }
    return known ? total : -1;
}

bool OdbcProvider::readsOnly(const QString& sql) {
    if (sql.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("The command text is empty"));
    Handle st = statement();
    if (!Ok(SQLPrepareW(st.get(), odbc::W(sql), SQL_NTS))) fail(st, QString());
    SQLSMALLINT n = 0;
    if (!Ok(SQLNumResultCols(st.get(), &n))) fail(st, QString());
    return n > 0;
}

qint64 OdbcProvider::execute(const QString& sql, const QVariantList& params) {
    Handle st = statement();
    Params buffers;
    if (run(st, sql, params, buffers) == SQL_NO_DATA) {
        // ODBC answers a searched UPDATE or DELETE that touched nothing with SQL_NO_DATA.
        SQLLEN n = 0;
        return Ok(SQLRowCount(st.get(), &n)) && n > 0 ? n : 0;
    }
    return rowsAffected(st);
}

qint64 OdbcProvider::executeBatch(const QString& sql) {
    // The SQLite driver takes one statement per call: run the script statement by statement.
    QStringList parts =
        dialect_.kind() == DialectKind::SQLite ? SplitSqliteStatements(sql) : QStringList{sql};
    qint64 total = 0;
    for (const QString& part : parts) {
        Handle st = statement();
        Params none;
        if (run(st, part, {}, none) == SQL_NO_DATA) continue;
        total += std::max<qint64>(rowsAffected(st), 0);
    }
    return total;
}

QStringList OdbcProvider::SplitSqliteStatements(const QString& sql) {
    QStringList out;
    QByteArray u = sql.toUtf8();
    qsizetype start = 0;
    for (qsizetype i = 0; i < u.size(); ++i) {
        if (u[i] != ';') continue;
        QByteArray piece = u.mid(start, i + 1 - start);
        if (!sqlite3_complete(piece.constData())) continue; // the ';' is inside a literal or a trigger
        if (!QString::fromUtf8(piece).chopped(1).trimmed().isEmpty()) out << QString::fromUtf8(piece);
        start = i + 1;
    }
    QString rest = QString::fromUtf8(u.mid(start)).trimmed();
    if (!rest.isEmpty()) out << rest;
    return out;
}

QVariant OdbcProvider::lastInsertId() {
    QString sql;
    switch (dialect_.kind()) {
    case DialectKind::PostgreSQL:
        sql = QStringLiteral("SELECT lastval()");
        break;
    case DialectKind::SQLite:
        sql = QStringLiteral("SELECT last_insert_rowid()");
        break;
    case DialectKind::MySQL:
        sql = QStringLiteral("SELECT LAST_INSERT_ID()");
        break;
    // A separate batch cannot see SCOPE_IDENTITY(); @@IDENTITY is the session's last one.
    case DialectKind::MSSQL:
        sql = QStringLiteral("SELECT @@IDENTITY");
        break;
    }
    Handle st = statement();
    if (!Ok(SQLExecDirectW(st.get(), odbc::W(sql), SQL_NTS))) return {}; // no value generated yet
    if (!Ok(SQLFetch(st.get()))) return {};
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    if (!Ok(SQLGetData(st.get(), 1, SQL_C_SBIGINT, &v, sizeof v, &ind)) || ind == SQL_NULL_DATA) return {};
    return qlonglong(v);
}

void OdbcProvider::setAutoCommit(bool on) {
    SQLRETURN rc = SQLSetConnectAttrW(
        dbc_.get(), SQL_ATTR_AUTOCOMMIT,
        reinterpret_cast<SQLPOINTER>(SQLULEN(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)), 0);
    if (!Ok(rc)) fail(dbc_, QStringLiteral("Cannot switch auto-commit"));
}

void OdbcProvider::beginTrans() {
    check();
    setAutoCommit(false);
    inTransaction_ = true;
}

void OdbcProvider::commitTrans() {
    check();
    if (!Ok(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT))) fail(dbc_, QStringLiteral("Commit failed"));
    setAutoCommit(true);
    inTransaction_ = false;
}

void OdbcProvider::rollbackTrans() {
    check();
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
    setAutoCommit(true);
    inTransaction_ = false;
    if (!Ok(rc)) fail(dbc_, QStringLiteral("Rollback failed"));
}

QStringList OdbcProvider::primaryKey(const QString& table) {
    Handle st = statement();
    QString t = table;
    if (!Ok(SQLPrimaryKeysW(st.get(), nullptr, 0, nullptr, 0, odbc::W(t), SQL_NTS)))
        fail(st, QStringLiteral("Primary key of \"%1\"").arg(table));
    std::vector<std::pair<int, QString>> cols;
    std::string tmp;
    while (Ok(SQLFetch(st.get()))) {
        SQLSMALLINT seq = 0;
        SQLLEN ind = 0;
        SQLGetData(st.get(), 5, SQL_C_SSHORT, &seq, sizeof seq, &ind);
        if (odbc::ReadPieces(st.get(), 4, SQL_C_WCHAR, tmp, st))
            cols.emplace_back(seq, QString::fromUtf8(tmp.data(), qsizetype(tmp.size())));
    }
    std::stable_sort(cols.begin(), cols.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList out;
    for (const auto& c : cols)
        out << c.second;
    return out;
}

// MySQL stores BOOLEAN as tinyint(1), which its driver describes like any other tinyint: the columns
// declared so are looked up once per table of a result.
bool OdbcProvider::isMysqlBoolean(const QString& table, const QString& column) {
    auto it = booleans_.find(table);
    if (it == booleans_.end()) {
        QStringList names;
        Handle st = statement();
        Params buffers;
        run(st,
            QStringLiteral(
                "SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
                "AND TABLE_NAME = ? AND COLUMN_TYPE LIKE 'tinyint(1)%'"),
            {table}, buffers);
        std::string tmp;
        while (Ok(SQLFetch(st.get())))
            if (odbc::ReadPieces(st.get(), 1, SQL_C_WCHAR, tmp, st))
                names << QString::fromUtf8(tmp.data(), qsizetype(tmp.size())).toLower();
        it = booleans_.insert(table, names);
    }
    return it->contains(column.toLower());
}

SQLHDBC OdbcProvider::streamingConnection() {
    if (inTransaction_) return SQL_NULL_HANDLE;
    if (!streamTried_) {
        streamTried_ = true;
        // The drivers of these servers otherwise read a whole result into client memory on execute.
        QString options;
        if (dialect_.kind() == DialectKind::MySQL)
            options = QStringLiteral("NO_CACHE=1");
        else if (dialect_.kind() == DialectKind::PostgreSQL)
            options = QStringLiteral("UseDeclareFetch=1;Fetch=%1").arg(kForwardBlockRows);
        if (options.isEmpty()) return SQL_NULL_HANDLE;
        Handle dbc(SQL_HANDLE_DBC, env_.get());
        QString cs = connectString_.trimmed();
        if (!cs.isEmpty() && !cs.endsWith(';')) cs += ';';
        if (Ok(connect(dbc, cs + options))) streamDbc_ = std::move(dbc);
    }
    return streamDbc_ ? streamDbc_.get() : SQL_NULL_HANDLE;
}

void OdbcProvider::query(const QString& sql, const QVariantList& params, ResultSink& sink) {
    // A forward-only read streams on a connection of its own; this one stays free for other statements.
    Handle st = statement(sink.forwardOnly() ? streamingConnection() : SQL_NULL_HANDLE);
    Params buffers;
    run(st, sql, params, buffers);
    // Skip leading results without columns (row counts of statements before the SELECT).
    SQLSMALLINT n = 0;
    while (Ok(SQLNumResultCols(st.get(), &n)) && n == 0) {
        SQLRETURN rc = SQLMoreResults(st.get());
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) fail(st, QString());
    }
    fetch(st, sink);
}

// One result being read: its columns, how each is fetched, the bound buffers of a block of rows and
// the store the values go to.
struct OdbcProvider::Fetch {
    Fetch(OdbcProvider& provider, Handle& statement) : db(provider), st(statement), h(statement.get()) {}

    OdbcProvider& db;
    Handle& st;
    SQLHSTMT h;
    std::vector<ColumnDesc> cols;
    std::vector<ColPlan> plan;
    bool getDataBound = false; // values of bound columns can also be read with SQLGetData
    SQLULEN block = 1;         // rows per SQLFetch
    std::vector<SQLUSMALLINT> status;
    SQLULEN fetched = 0;
    std::vector<Column*> columns; // the store's, by result column
    TextArena* arena = nullptr;
    std::string tmp;
    char fixed[64];

    void describe();
    void bind();
    void readRow(SQLULEN r);
    void readUnbound(size_t c);
};

// The result's columns: names, types, base table and key, and the C type each is fetched as.
void OdbcProvider::Fetch::describe() {
    SQLSMALLINT n = 0;
    SQLNumResultCols(h, &n);
    cols.resize(size_t(std::max<SQLSMALLINT>(n, 0)));
    plan.resize(cols.size());
    db.keys_.clear();
    db.booleans_.clear();
    const Dialect& dialect = db.dialect_;
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(cols.size()); ++i) {
        ColumnDesc& d = cols[i - 1];
        SQLWCHAR nameBuf[512] = {};
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLULEN size = 0;
        if (!Ok(SQLDescribeColW(h, i, nameBuf, SQLSMALLINT(std::size(nameBuf)), &nameLen, &sqlType, &size,
                                &digits, &nullable)))
            db.fail(st, QStringLiteral("Describing column %1").arg(i));
        d.name = odbc::FromW(nameBuf, std::min<qsizetype>(nameLen, 511));
        const bool isUnsigned = attrNumber(h, i, SQL_DESC_UNSIGNED) == SQL_TRUE && sqlType != SQL_BIT;
        d.type = OdbcFieldType(sqlType, size, isUnsigned, attrText(h, i, SQL_DESC_TYPE_NAME));
        if (!IsNumericType(d.type) && !IsDateTimeType(d.type) && d.type != ftBoolean && size <= 0x7fffffff)
            d.size = int(size);
        d.baseTable = attrText(h, i, SQL_DESC_BASE_TABLE_NAME);
        d.baseColumn = attrText(h, i, SQL_DESC_BASE_COLUMN_NAME);
        if (d.baseColumn.isEmpty() && !d.baseTable.isEmpty()) d.baseColumn = d.name;
        if (sqlType == SQL_TINYINT && dialect.kind() == DialectKind::MySQL && !d.baseTable.isEmpty() &&
            !db.oneActiveStatement_ && db.isMysqlBoolean(d.baseTable, d.baseColumn))
            d.type = ftBoolean;
        d.readOnly = d.baseTable.isEmpty() || attrNumber(h, i, SQL_DESC_UPDATABLE) == SQL_ATTR_READONLY;
        d.required = nullable == SQL_NO_NULLS;
        const QString typeName = attrText(h, i, SQL_DESC_TYPE_NAME);
        // A second statement while this one holds a result is refused by single-statement drivers.
        QStringList tableKey;
        if (!d.readOnly && !db.oneActiveStatement_) {
            auto it = db.keys_.find(d.baseTable);
            if (it == db.keys_.end()) it = db.keys_.insert(d.baseTable, db.primaryKey(d.baseTable));
            tableKey = *it;
            for (const QString& k : tableKey)
                d.key |= k.compare(d.baseColumn, Qt::CaseInsensitive) == 0;
        }
        // SQLite's INTEGER PRIMARY KEY is the row id, filled by the database; its driver does not say so.
        const bool rowId = dialect.kind() == DialectKind::SQLite && d.key && tableKey.size() == 1 &&
                           typeName.compare(QLatin1String("integer"), Qt::CaseInsensitive) == 0;
        if ((rowId || attrNumber(h, i, SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE) && IsIntegerType(d.type)) {
            d.type = ftAutoInc;
            d.autoIncrement = true;
            d.required = false;
        }
        ColPlan& p = plan[i - 1];
        p.type = d.type;
        p.name = d.name;
        p.fetch = OdbcFetchTypeOf(d.type, size, db.utf8Narrow_);
    }
}

// Fixed values and short text are bound and fetched in blocks; long values are read in pieces,
// which needs one row per fetch (and, unless the driver allows any order, no bound columns).
void OdbcProvider::Fetch::bind() {
    const SQLUINTEGER ext = db.getDataExtensions_;
    const bool anyLong =
        std::any_of(plan.begin(), plan.end(), [](const ColPlan& p) { return p.fetch.width == 0; });
    getDataBound = (ext & SQL_GD_BOUND) && (ext & SQL_GD_ANY_ORDER);
    const bool bindAny = !anyLong || (ext & SQL_GD_ANY_COLUMN);
    SQLLEN rowBytes = 0;
    for (const ColPlan& p : plan)
        rowBytes += p.fetch.width + SQLLEN(sizeof(SQLLEN));
    block = anyLong || !(ext & SQL_GD_BLOCK)
                ? 1
                : std::clamp<SQLULEN>(SQLULEN(kBlockBytes / std::max<SQLLEN>(rowBytes, 1)), 1, kMaxBlockRows);
    status.resize(block);
    if (block > 1) {
        SQLSetStmtAttrW(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_BIND_BY_COLUMN)),
                        0);
        SQLSetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0);
        SQLULEN actual = 1;
        SQLGetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE, &actual, 0, nullptr);
        block = std::clamp<SQLULEN>(actual, 1, block);
    }
    SQLSetStmtAttrW(h, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0);
    SQLSetStmtAttrW(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    for (size_t c = 0; c < plan.size(); ++c) {
        ColPlan& p = plan[c];
        if (!bindAny || p.fetch.width == 0) continue;
        p.buf.resize(size_t(p.fetch.width) * block);
        p.ind.resize(block);
        if (!Ok(SQLBindCol(h, SQLUSMALLINT(c + 1), p.fetch.cType, p.buf.data(), p.fetch.width, p.ind.data())))
            db.fail(st, QStringLiteral("Binding column \"%1\"").arg(p.name));
        p.bound = true;
    }
}

// Row r of the fetched block into the store's columns (the caller commits it).
void OdbcProvider::Fetch::readRow(SQLULEN r) {
    bool positioned = block == 1;
    for (size_t c = 0; c < plan.size(); ++c) {
        ColPlan& p = plan[c];
        if (p.bound) {
            const char* data = p.buf.data() + r * size_t(p.fetch.width);
            SQLLEN ind = p.ind[r];
            if (!truncated(p, ind)) {
                appendValue(*columns[c], p.fetch.cType, data, ind, *arena, tmp, p.name);
                continue;
            }
            // The value is longer than the driver said: read it whole rather than cut it.
            if (!getDataBound || (!positioned && !(db.getDataExtensions_ & SQL_GD_BLOCK)))
                throw EDatabaseError(QStringLiteral("A value of column \"%1\" is longer than the %2 driver "
                                                    "reported, and the driver cannot read it whole")
                                         .arg(p.name, db.dbms_));
            if (!positioned) {
                if (!Ok(SQLSetPos(h, SQLSETPOSIROW(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE)))
                    db.fail(st, QStringLiteral("Column \"%1\"").arg(p.name));
                positioned = true;
            }
        }
        readUnbound(c);
    }
}

// A value of the current row read with SQLGetData: texts and binaries in pieces, the rest whole.
void OdbcProvider::Fetch::readUnbound(size_t c) {
    ColPlan& p = plan[c];
    Column& col = *columns[c];
    const SQLUSMALLINT number = SQLUSMALLINT(c + 1);
    if (p.fetch.cType == SQL_C_WCHAR || p.fetch.cType == SQL_C_CHAR || p.fetch.cType == SQL_C_BINARY) {
        // Pieces of narrow text could split a character between them: text comes in UTF-16 pieces.
        const SQLSMALLINT pieces = p.fetch.cType == SQL_C_BINARY ? SQL_C_BINARY : SQL_C_WCHAR;
        if (odbc::ReadPieces(h, number, pieces, tmp, st))
            appendText(col, tmp, *arena, p.name);
        else
            col.appendNull();
    } else {
        SQLLEN ind = 0;
        SQLRETURN g = SQLGetData(h, number, p.fetch.cType, fixed, sizeof fixed, &ind);
        if (!Ok(g)) db.fail(st, QStringLiteral("Column \"%1\"").arg(p.name));
        appendValue(col, p.fetch.cType, fixed, ind, *arena, tmp, p.name);
    }
}

void OdbcProvider::fetch(Handle& st, ResultSink& sink) {
    Fetch f(*this, st);
    f.describe();
    ColumnStore& store = sink.begin(f.cols);
    if (f.cols.empty()) return;
    f.bind();
    f.columns.resize(f.plan.size());
    for (size_t c = 0; c < f.plan.size(); ++c)
        f.columns[c] = &store.column(c);
    f.arena = &store.arena();
    const qint64 every = sink.progressRows();
    qint64 nextProgress = every;
    for (;;) {
        if (store.fetchedRows() >= nextProgress) {
            nextProgress += every;
            if (!sink.fetchProgress(store.fetchedRows())) break;
        }
        f.fetched = 0;
        SQLRETURN rc = SQLFetch(f.h);
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) fail(st, QString());
        for (SQLULEN r = 0; r < f.fetched; ++r) {
            if (f.status[r] == SQL_ROW_NOROW) continue;
            if (f.status[r] == SQL_ROW_ERROR) fail(st, QStringLiteral("Row %1").arg(store.fetchedRows() + 1));
            f.readRow(r);
            store.commitRow();
        }
    }
    SQLFreeStmt(f.h, SQL_UNBIND);
}
