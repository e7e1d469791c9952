#include "pg_provider.h"

#include "conn_string.h"
#include "exceptions.h"
#include "pg_statement.h"
#include "pg_types.h"

#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <libpq-fe.h>
#include <memory>

// Owns one PGresult.
class PgProvider::Result {
public:
    explicit Result(PGresult* r = nullptr) : r_(r) {}
    Result(Result&& o) noexcept : r_(std::exchange(o.r_, nullptr)) {}
    Result& operator=(Result&& o) noexcept {
        std::swap(r_, o.r_);
        return *this;
    }
    ~Result() { PQclear(r_); }
    PGresult* get() const { return r_; }
    ExecStatusType status() const { return PQresultStatus(r_); }
    QString text(int row, int col) const { return QString::fromUtf8(PQgetvalue(r_, row, col)); }

private:
    PGresult* r_;
};

// One result set on its way into the store.
struct PgProvider::Fetch {
    std::vector<ColumnDesc> cols;
    std::vector<PgType> types;
    std::vector<unsigned> tables; // table oid per column (0: an expression)
    std::vector<int> attnums;
    bool copy = false;   // the rows come from COPY, not row by row
    bool binary = false; // ... in its binary form: every column's type has a binary reader

    // The columns a result or a statement's description names, read-only until a table claims them.
    void describe(const PGresult* r) {
        for (int c = 0; c < PQnfields(r); ++c) {
            ColumnDesc d;
            d.name = QString::fromUtf8(PQfname(r, c));
            const PgType t = PgTypeOf(PQftype(r, c), PQfmod(r, c));
            d.type = t.type;
            d.size = t.size;
            d.readOnly = true;
            cols.push_back(d);
            types.push_back(t);
            tables.push_back(PQftable(r, c));
            attnums.push_back(PQftablecol(r, c));
        }
    }
};

namespace {
// Parameter values in the text forms the server reads, with their types.
struct Params {
    std::vector<Oid> types;
    std::vector<QByteArray> data;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;

    explicit Params(const QVariantList& list) {
        const size_t n = size_t(list.size());
        types.assign(n, 0);
        data.resize(n);
        values.assign(n, nullptr);
        lengths.assign(n, 0);
        formats.assign(n, 0);
        for (size_t i = 0; i < n; ++i) {
            const QVariant& v = list[qsizetype(i)];
            if (!v.isValid() || v.isNull()) continue; // NULL takes the type the statement gives it
            QByteArray& d = data[i];
            switch (v.typeId()) {
            case QMetaType::Bool:
                types[i] = pgoid::Bool;
                d = v.toBool() ? "t" : "f";
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Char:
            case QMetaType::UChar:
                types[i] = pgoid::Int8;
                d = QByteArray::number(v.toLongLong());
                break;
            case QMetaType::ULongLong:
                types[i] = pgoid::Numeric;
                d = QByteArray::number(v.toULongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float: {
                const double x = v.toDouble();
                types[i] = pgoid::Float8;
                d = std::isnan(x)   ? QByteArray("NaN")
                    : std::isinf(x) ? QByteArray(x > 0 ? "Infinity" : "-Infinity")
                                    : QByteArray::number(x, 'g', 17);
                break;
            }
            case QMetaType::QDate:
                types[i] = pgoid::Date;
                d = v.toDate().toString(Qt::ISODate).toLatin1();
                break;
            case QMetaType::QTime:
                types[i] = pgoid::Time;
                d = dtconv::TimeText(v.toTime()).toLatin1();
                break;
            case QMetaType::QDateTime:
                types[i] = pgoid::Timestamp;
                d = dtconv::DateTimeText(v.toDateTime()).toLatin1();
                break;
            case QMetaType::QByteArray:
                types[i] = pgoid::Bytea;
                d = v.toByteArray();
                formats[i] = 1; // raw bytes
                break;
            default: {
                const QString s = v.toString();
                if (s.contains(QChar(0)))
                    throw EDatabaseError(QStringLiteral("Parameter %1 holds a NUL character, which "
                                                        "PostgreSQL text cannot store")
                                             .arg(i + 1));
                d = s.toUtf8(); // of unknown type: the server reads it as the statement needs
            }
            }
            values[i] = d.constData();
            lengths[i] = int(d.size());
        }
    }
    int count() const { return int(types.size()); }
};

bool copyable(const PgStatement& st) {
    return st.keyword == "SELECT" || st.keyword == "WITH" || st.keyword == "VALUES" || st.keyword == "TABLE";
}

void checkText(const QString& sql) {
    if (sql.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("The command text is empty"));
    if (qsizetype at = sql.indexOf(QChar(0)); at >= 0)
        throw EDatabaseError(QStringLiteral("The command text holds a NUL character in line %1")
                                 .arg(QStringView(sql).left(at).count(QLatin1Char('\n')) + 1));
}

qint64 countOf(PGresult* r) {
    const char* n = PQcmdTuples(r);
    return n && *n ? QByteArray(n).toLongLong() : -1;
}

// Rows a finished command changed: rows read back change nothing.
qint64 changedBy(PGresult* r) {
    if (qstrncmp(PQcmdStatus(r), "SELECT", 6) == 0) return 0;
    return countOf(r);
}

// The context of an error in the middle of a result set.
QString stoppedAfter(qint64 rows) {
    return rows > 0 ? QStringLiteral("Reading stopped after %1 rows").arg(rows) : QString();
}

// A COPY text field with backslash escapes, unescaped into out.
std::string_view unescapeCopyText(std::string_view v, std::string& out) {
    out.clear();
    for (size_t i = 0; i < v.size(); ++i) {
        char ch = v[i];
        if (ch == '\\' && i + 1 < v.size()) {
            switch (ch = v[++i]) {
            case 'b':
                ch = '\b';
                break;
            case 'f':
                ch = '\f';
                break;
            case 'n':
                ch = '\n';
                break;
            case 'r':
                ch = '\r';
                break;
            case 't':
                ch = '\t';
                break;
            case 'v':
                ch = '\v';
                break;
            default:
                break;
            }
        }
        out += ch;
    }
    return out;
}

QVariant typedValue(PGresult* r, int row, int col) {
    if (PQgetisnull(r, row, col)) return {};
    const char* v = PQgetvalue(r, row, col);
    switch (PQftype(r, col)) {
    case pgoid::Bool:
        return v[0] == 't';
    case pgoid::Int2:
    case pgoid::Int4:
    case pgoid::Int8:
    case pgoid::Oid:
        return QByteArray(v).toLongLong();
    default:
        return QString::fromUtf8(v);
    }
}

// The client library reads a prepared statement's parameter description (4 bytes a parameter) only
// up to 30000 bytes and gives up the connection beyond it, so a longer one is refused before sending.
constexpr int kMaxDescribedParams = 7498;

void CheckDescribable(int marks) {
    if (marks > kMaxDescribedParams)
        throw EDatabaseError(QStringLiteral("The command has %1 parameter marks; at most %2 can be sent "
                                            "to PostgreSQL in one command")
                                 .arg(marks)
                                 .arg(kMaxDescribedParams));
}
} // namespace

PgTarget PgTarget::FromInitString(const QString& initString) {
    InitString s = InitString::parse(initString);
    auto first = [&](std::initializer_list<const char*> keys) {
        for (const char* k : keys)
            if (QString v = s.value(QLatin1String(k)).trimmed(); !v.isEmpty()) return v;
        return QString();
    };
    PgTarget t;
    t.host = first({"Server", "Host", "Data Source"});
    if (t.host.isEmpty())
        throw EDatabaseError(QStringLiteral("The PostgreSQL connection names no Data Source (server)"));
    t.port = first({"Port"});
    if (qsizetype colon = t.host.lastIndexOf(':'); colon > 0 && t.host.mid(colon + 1).toInt() > 0) {
        t.port = t.host.mid(colon + 1); // "host:port"
        t.host.truncate(colon);
    }
    t.database = first({"Database", "Initial Catalog", "Location"});
    t.user = first({"User ID", "UID", "User"});
    t.password = s.has(QStringLiteral("Password")) ? s.value(QStringLiteral("Password"))
                                                   : s.value(QStringLiteral("PWD"));
    return t;
}

bool PgProvider::IsProviderName(const QString& provider) {
    const QString p = provider.trimmed().toLower();
    return p == "postgresql" || p.startsWith(QLatin1String("postgresql.")) ||
           p.startsWith(QLatin1String("postgresql ole db")) || p.startsWith(QLatin1String("pgnp"));
}

PgProvider::PgProvider(const PgTarget& target, const QString& initString)
    : target_(target), initString_(initString) {}

PgProvider::~PgProvider() {
    close();
}

void PgProvider::fail(const pg_result* res, const QString& context) const {
    QString msg;
    if (const char* primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr) {
        msg = QString::fromUtf8(primary);
        if (const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE))
            msg += QStringLiteral(" [SQLSTATE %1]").arg(QLatin1String(state));
        if (const char* detail = PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL))
            msg += QStringLiteral("\nDetail: ") + QString::fromUtf8(detail);
        if (const char* hint = PQresultErrorField(res, PG_DIAG_MESSAGE_HINT))
            msg += QStringLiteral("\nHint: ") + QString::fromUtf8(hint);
    } else {
        msg = conn_ ? QString::fromUtf8(PQerrorMessage(conn_)).trimmed() : QString();
        if (msg.isEmpty()) msg = QStringLiteral("no details");
    }
    if (conn_ && PQstatus(conn_) == CONNECTION_BAD)
        msg = QStringLiteral("The connection to the PostgreSQL server was lost: ") + msg;
    for (const QString& pwd : PasswordsOf(initString_))
        if (pwd.size() >= 3) msg.replace(pwd, QLatin1String("***"));
    throw EDatabaseError(context.isEmpty() ? msg : context + ": " + msg);
}

void PgProvider::open() {
    if (conn_) return;
    conn_ = connect();
    appliedTimeout_ = -1;
}

pg_conn* PgProvider::connect() const {
    const QByteArray host = target_.host.toUtf8(), port = target_.port.toUtf8(),
                     db = target_.database.toUtf8(), user = target_.user.toUtf8(),
                     pwd = target_.password.toUtf8(),
                     timeout = QByteArray::number(std::max(connectionTimeout, 0));
    // ISO dates and hex bytes are the text forms the reader takes; floats come with every digit.
    const char* keys[] = {"host",
                          "port",
                          "dbname",
                          "user",
                          "password",
                          "connect_timeout",
                          "client_encoding",
                          "options",
                          "fallback_application_name",
                          nullptr};
    const char* values[] = {host.constData(),
                            port.constData(),
                            db.constData(),
                            user.constData(),
                            pwd.constData(),
                            timeout.constData(),
                            "UTF8",
                            "-c DateStyle=ISO,YMD -c IntervalStyle=postgres -c bytea_output=hex "
                            "-c extra_float_digits=3",
                            "tabulo",
                            nullptr};
    pg_conn* conn = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn) != CONNECTION_OK) {
        QString msg = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        PQfinish(conn);
        for (const QString& p : PasswordsOf(initString_))
            if (p.size() >= 3) msg.replace(p, QLatin1String("***"));
        throw EDatabaseError(
            QStringLiteral("Cannot connect with \"%1\": %2").arg(MaskPasswords(initString_), msg));
    }
    return conn;
}

void PgProvider::close() {
    if (streamConn_) PQfinish(streamConn_);
    streamConn_ = nullptr;
    streamTried_ = false;
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

QString PgProvider::defaultDatabase() const {
    return conn_ ? QString::fromUtf8(PQdb(conn_)) : QString();
}

void PgProvider::check() {
    if (!conn_) throw EDatabaseError(QStringLiteral("Connection is closed"));
    if (PQstatus(conn_) == CONNECTION_BAD)
        throw EDatabaseError(QStringLiteral("The connection to the PostgreSQL server was lost"));
}

void PgProvider::applyTimeout() {
    const int timeout = std::max(commandTimeout, 0);
    if (timeout == appliedTimeout_) return;
    exec(QStringLiteral("SET statement_timeout = %1").arg(qint64(timeout) * 1000));
    appliedTimeout_ = timeout;
}

PgProvider::Result PgProvider::exec(const QString& sql) {
    Result r(PQexec(conn_, sql.toUtf8().constData()));
    if (r.status() != PGRES_COMMAND_OK && r.status() != PGRES_TUPLES_OK) fail(r.get(), QString());
    return r;
}

std::vector<QVariantList> PgProvider::rowsOf(const QString& sql) {
    Result r = exec(sql);
    std::vector<QVariantList> out;
    const int cols = PQnfields(r.get());
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        QVariantList row;
        for (int c = 0; c < cols; ++c)
            row << typedValue(r.get(), i, c);
        out.push_back(std::move(row));
    }
    return out;
}

PgProvider::Result PgProvider::run(const QString& sql, const QVariantList& params) {
    Params p(params);
    Result r(PQexecParams(conn_, sql.toUtf8().constData(), p.count(), p.types.data(), p.values.data(),
                          p.lengths.data(), p.formats.data(), 0));
    if (r.status() != PGRES_COMMAND_OK && r.status() != PGRES_TUPLES_OK) fail(r.get(), QString());
    return r;
}

void PgProvider::drain() {
    char* buf = nullptr;
    while (PQgetCopyData(conn_, &buf, 0) > 0)
        PQfreemem(buf);
    while (PGresult* r = PQgetResult(conn_))
        PQclear(r);
}

void PgProvider::cancelRunning() {
    // Inside a transaction a cancelled statement would abort it: the rest is read and dropped instead.
    if (PQtransactionStatus(conn_) == PQTRANS_ACTIVE && !inTransaction_) {
        if (PGcancel* c = PQgetCancel(conn_)) {
            char err[256];
            PQcancel(c, err, sizeof err);
            PQfreeCancel(c);
        }
    }
    drain();
}

bool PgProvider::readsOnly(const QString& sql) {
    checkText(sql);
    check();
    PgStatement st = ScanPgStatement(sql, true);
    if (st.several) return false;
    CheckDescribable(st.marks);
    Params p(QVariantList(st.marks));
    Result prep(PQprepare(conn_, "", st.text.toUtf8().constData(), p.count(), p.types.data()));
    if (prep.status() != PGRES_COMMAND_OK) fail(prep.get(), QString());
    Result d(PQdescribePrepared(conn_, ""));
    if (d.status() != PGRES_COMMAND_OK) fail(d.get(), QString());
    const QString k = st.keyword;
    return PQnfields(d.get()) > 0 && !st.returning && k != "INSERT" && k != "UPDATE" && k != "DELETE" &&
           k != "MERGE";
}

qint64 PgProvider::execute(const QString& sql, const QVariantList& params) {
    checkText(sql);
    check();
    applyTimeout();
    PgStatement st = ScanPgStatement(sql, !params.isEmpty());
    if (st.several && params.isEmpty()) return executeBatch(sql);
    if (!params.isEmpty() && st.marks != params.size())
        throw EDatabaseError(QStringLiteral("The command has %1 parameter marks for %2 values")
                                 .arg(st.marks)
                                 .arg(params.size()));
    // An insert returns its row, so the key the database generated is known without asking again.
    const bool keys = st.keyword == "INSERT" && !st.returning &&
                      st.code.contains(QLatin1String("VALUES"), Qt::CaseInsensitive);
    lastInsertKnown_ = false;
    lastId_ = QVariant();
    Result r = run(keys ? st.text.left(st.end) + QStringLiteral("\nRETURNING *") : st.text, params);
    if (keys && r.status() == PGRES_TUPLES_OK) {
        lastInsertKnown_ = true;
        const int rows = PQntuples(r.get());
        for (int c = 0; c < PQnfields(r.get()) && rows > 0; ++c) {
            const unsigned table = PQftable(r.get(), c);
            if (table == InvalidOid) continue;
            if (!autoColumns_.contains(table)) {
                Result a =
                    run(QStringLiteral("SELECT a.attnum FROM pg_attribute a LEFT JOIN pg_attrdef d ON "
                                       "d.adrelid = a.attrelid AND d.adnum = a.attnum WHERE a.attrelid = "
                                       "$1::oid AND a.attnum > 0 AND (a.attidentity <> '' OR "
                                       "pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%')"),
                        {qlonglong(table)});
                QSet<int> cols;
                for (int i = 0; i < PQntuples(a.get()); ++i)
                    cols.insert(a.text(i, 0).toInt());
                autoColumns_.insert(table, cols);
            }
            if (autoColumns_[table].contains(PQftablecol(r.get(), c))) {
                lastId_ = typedValue(r.get(), rows - 1, c);
                break;
            }
        }
        return countOf(r.get());
    }
    return changedBy(r.get());
}

qint64 PgProvider::executeBatch(const QString& sql) {
    checkText(sql);
    check();
    applyTimeout();
    if (!PQsendQuery(conn_, sql.toUtf8().constData())) fail(nullptr, QString());
    qint64 total = 0;
    Result error;
    while (PGresult* raw = PQgetResult(conn_)) {
        Result r(raw);
        const ExecStatusType s = r.status();
        if (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK)
            total += std::max<qint64>(changedBy(r.get()), 0);
        else if (!error.get())
            error = std::move(r);
    }
    if (error.get()) fail(error.get(), QString());
    return total;
}

QVariant PgProvider::lastInsertId() {
    if (lastInsertKnown_) return lastId_;
    // Not an insert of values: the session's last generated value is the best answer there is.
    check();
    Result r(PQexec(conn_, "SELECT lastval()"));
    if (r.status() != PGRES_TUPLES_OK || PQntuples(r.get()) != 1) return {};
    return typedValue(r.get(), 0, 0);
}

void PgProvider::beginTrans() {
    check();
    exec(QStringLiteral("BEGIN"));
    inTransaction_ = true;
}

void PgProvider::commitTrans() {
    check();
    inTransaction_ = false;
    Result r = exec(QStringLiteral("COMMIT"));
    // A transaction in which a statement failed ends with COMMIT as a rollback.
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw EDatabaseError(
            QStringLiteral("Commit failed: a statement of the transaction failed, so it was rolled back"));
}

void PgProvider::rollbackTrans() {
    check();
    inTransaction_ = false;
    exec(QStringLiteral("ROLLBACK"));
}

QStringList PgProvider::primaryKey(const QString& table) {
    check();
    Result r =
        run(QStringLiteral("SELECT a.attname FROM pg_index i CROSS JOIN LATERAL unnest(i.indkey) WITH "
                           "ORDINALITY k(attnum, ord) JOIN pg_attribute a ON a.attrelid = i.indrelid AND "
                           "a.attnum = k.attnum WHERE i.indisprimary AND i.indrelid = "
                           "to_regclass(quote_ident($1)) ORDER BY k.ord"),
            {table});
    QStringList out;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        out << r.text(i, 0);
    return out;
}

// The sink of a read that streams on the second connection: its calls find the provider's own
// connection in place, free for other statements.
class PgProvider::OwnConnectionSink : public ResultSink {
public:
    OwnConnectionSink(PgProvider& p, ResultSink& inner) : p_(p), inner_(inner) {}
    template <typename F> decltype(auto) own(F f) {
        p_.swapConnections();
        const auto back = qScopeGuard([this] { p_.swapConnections(); });
        return f();
    }
    ColumnStore& begin(const std::vector<ColumnDesc>& columns) override {
        return own([&]() -> ColumnStore& { return inner_.begin(columns); });
    }
    void columnRetyped(size_t column, TFieldType type) override {
        own([&] { inner_.columnRetyped(column, type); });
    }
    bool fetchProgress(qint64 rows) override {
        return own([&] { return inner_.fetchProgress(rows); });
    }
    qint64 progressRows() const override { return inner_.progressRows(); }
    bool forwardOnly() const override { return true; }

private:
    PgProvider& p_;
    ResultSink& inner_;
};

void PgProvider::swapConnections() {
    std::swap(conn_, streamConn_);
    std::swap(appliedTimeout_, streamTimeout_);
}

void PgProvider::query(const QString& sql, const QVariantList& params, ResultSink& sink) {
    // A forward-only read streams on a connection of its own, so that what the sink does with the
    // rows may use this one (a second connection would not see an open transaction's changes).
    if (sink.forwardOnly() && !inTransaction_ && !streaming_ && conn_) {
        if (!streamTried_) {
            streamTried_ = true;
            try {
                streamConn_ = connect();
                streamTimeout_ = -1;
            } catch (const EDatabaseError&) { // read on this connection
            }
        }
        if (streamConn_) {
            swapConnections();
            streaming_ = true;
            const auto back = qScopeGuard([this] {
                streaming_ = false;
                swapConnections();
            });
            OwnConnectionSink relay(*this, sink);
            queryOn(sql, params, relay);
            return;
        }
    }
    queryOn(sql, params, sink);
}

void PgProvider::queryOn(const QString& sql, const QVariantList& params, ResultSink& sink) {
    checkText(sql);
    check();
    applyTimeout();
    PgStatement st = ScanPgStatement(sql, !params.isEmpty());
    if (!params.isEmpty() && st.marks != params.size())
        throw EDatabaseError(QStringLiteral("The command has %1 parameter marks for %2 values")
                                 .arg(st.marks)
                                 .arg(params.size()));
    CheckDescribable(st.marks);
    Fetch f;
    if (st.several && params.isEmpty()) {
        // A script: its statements run one after the other, the first result set is read.
        if (!PQsendQuery(conn_, sql.toUtf8().constData())) fail(nullptr, QString());
        PQsetSingleRowMode(conn_);
        fetchRows(f, sink);
        return;
    }
    Params p(params);
    const QByteArray text = st.text.toUtf8();
    {
        Result prep(PQprepare(conn_, "", text.constData(), p.count(), p.types.data()));
        if (prep.status() != PGRES_COMMAND_OK) fail(prep.get(), QString());
        Result d(PQdescribePrepared(conn_, ""));
        if (d.status() != PGRES_COMMAND_OK) fail(d.get(), QString());
        f.describe(d.get());
    }
    if (f.cols.empty()) { // a statement without rows to read
        run(st.text, params);
        sink.begin(f.cols);
        return;
    }
    // The columns that come straight from a table can be written back.
    QStringList oids;
    for (unsigned t : f.tables)
        if (t != InvalidOid && !oids.contains(QString::number(t))) oids << QString::number(t);
    if (!oids.isEmpty()) {
        Result m = run(
            QStringLiteral(
                "SELECT c.oid, c.relname, c.relkind IN ('r', 'p'), a.attnum, a.attnotnull, "
                "a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false), "
                "a.attgenerated <> '', coalesce(a.attnum = ANY(i.indkey), false), a.attname "
                "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
                "LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum "
                "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
                "WHERE c.oid = ANY($1::oid[])"),
            {QStringLiteral("{%1}").arg(oids.join(','))});
        for (int row = 0; row < PQntuples(m.get()); ++row) {
            const unsigned table = m.text(row, 0).toUInt();
            const int attnum = m.text(row, 3).toInt();
            auto yes = [&](int col) { return PQgetvalue(m.get(), row, col)[0] == 't'; };
            for (size_t c = 0; c < f.cols.size(); ++c) {
                if (f.tables[c] != table || f.attnums[c] != attnum) continue;
                ColumnDesc& d = f.cols[c];
                d.baseTable = m.text(row, 1);
                d.baseColumn = m.text(row, 8); // a column may be renamed in the select list
                d.readOnly = !yes(2) || yes(6);
                d.required = yes(4);
                d.key = yes(7);
                if (yes(5) && IsIntegerType(d.type)) {
                    d.type = ftAutoInc;
                    d.autoIncrement = true;
                    d.required = false;
                }
            }
        }
    }
    f.copy = params.isEmpty() && copyable(st);
    f.binary = f.copy && std::all_of(f.types.begin(), f.types.end(),
                                     [](const PgType& t) { return t.binary != PgBinary::None; });
    if (f.copy) {
        // The binary form costs less to write and to read; types without a reader here come as text.
        const QByteArray c = "COPY (\n" + st.text.left(st.end).toUtf8() + "\n) TO STDOUT" +
                             (f.binary ? " (FORMAT binary)" : "");
        if (!PQsendQuery(conn_, c.constData())) fail(nullptr, QString());
        Result started(PQgetResult(conn_));
        if (started.status() != PGRES_COPY_OUT) {
            drain();
            fail(started.get(), QString());
        }
    } else {
        if (!PQsendQueryParams(conn_, text.constData(), p.count(), p.types.data(), p.values.data(),
                               p.lengths.data(), p.formats.data(), 0))
            fail(nullptr, QString());
        PQsetSingleRowMode(conn_);
    }
    fetchRows(f, sink);
}

void PgProvider::fetchRows(Fetch& f, ResultSink& sink) {
    ColumnStore* store = nullptr;
    std::vector<Column*> columns;
    auto start = [&] {
        store = &sink.begin(f.cols);
        for (size_t c = 0; c < f.cols.size(); ++c)
            columns.push_back(&store->column(c));
    };
    if (f.copy) start();
    std::string tmp, field;
    const qint64 every = sink.progressRows();
    qint64 nextProgress = every;
    // Appends one value; a numeric too long for a double turns its column into text first.
    auto append = [&](size_t c, std::string_view v) {
        PgType& t = f.types[c];
        if (PgAppendText(*columns[c], t.read, v, store->arena(), tmp, f.cols[c].name)) return;
        WidenColumn(*store, c, t.type, ftWideString, store->rowCount());
        t = {ftWideString, PgRead::Text, 0, t.binary}; // a binary numeric still comes as digits
        f.cols[c].type = ftWideString;
        sink.columnRetyped(c, ftWideString);
        columns[c] = &store->column(c);
        columns[c]->appendBytes(v, store->arena());
    };
    auto progress = [&]() {
        if (store->fetchedRows() < nextProgress) return true;
        nextProgress += every;
        return sink.fetchProgress(store->fetchedRows());
    };
    if (f.copy) {
        const size_t n = f.cols.size();
        std::string numeric;
        // One row of text: fields split by tabs, "\N" for NULL, backslash escapes.
        auto textRow = [&](const char* p, const char* end) {
            if (end > p && end[-1] == '\n') --end;
            for (size_t c = 0; c < n; ++c) {
                const char* stop = static_cast<const char*>(std::memchr(p, '\t', size_t(end - p)));
                if (!stop) stop = end;
                if ((stop == end) != (c + 1 == n))
                    throw EDatabaseError(QStringLiteral("Row %1 came with a different number of values")
                                             .arg(store->fetchedRows() + 1));
                std::string_view v(p, size_t(stop - p));
                if (v == "\\N")
                    columns[c]->appendNull();
                else if (v.find('\\') == std::string_view::npos)
                    append(c, v);
                else
                    append(c, unescapeCopyText(v, field));
                p = stop + 1;
            }
        };
        // One row of binary COPY: a 16-bit count of fields, then each as a 32-bit length (-1: NULL)
        // and its bytes; the first message starts with the format's header, a count of -1 ends the data.
        bool header = f.binary;
        auto binaryRow = [&](const char* p, const char* end) {
            auto bad = [&] {
                return EDatabaseError(QStringLiteral("Row %1 came in a form the binary copy does not have")
                                          .arg(store->fetchedRows() + 1));
            };
            if (header) {
                static const char kSignature[] = "PGCOPY\n\377\r\n";
                if (end - p < 19 || std::memcmp(p, kSignature, 11) != 0) throw bad();
                const uint32_t extension = PgBe32(p + 15);
                if (extension > uint32_t(end - p - 19)) throw bad();
                p += 19 + extension;
                header = false;
                if (p == end) return false;
            }
            if (end - p < 2) throw bad();
            const int count = int16_t(PgBe16(p));
            p += 2;
            if (count == -1) return false;
            if (size_t(count) != n)
                throw EDatabaseError(QStringLiteral("Row %1 came with a different number of values")
                                         .arg(store->fetchedRows() + 1));
            for (size_t c = 0; c < n; ++c) {
                if (end - p < 4) throw bad();
                const int32_t size = int32_t(PgBe32(p));
                p += 4;
                if (size == -1) {
                    columns[c]->appendNull();
                    continue;
                }
                if (size < 0 || size > end - p) throw bad();
                const std::string_view v(p, size_t(size));
                p += size;
                if (f.types[c].binary == PgBinary::Numeric) {
                    double x;
                    if (f.types[c].read != PgRead::Text && PgNumericDouble(v, x)) {
                        columns[c]->appendFloat(x);
                        continue;
                    }
                    PgNumericText(v, numeric, f.cols[c].name);
                    append(c, numeric);
                } else {
                    PgAppendBinary(*columns[c], f.types[c].binary, v, store->arena(), tmp, f.cols[c].name);
                }
            }
            if (p != end) throw bad();
            return true;
        };
        char* buf = nullptr;
        int len;
        while ((len = PQgetCopyData(conn_, &buf, 0)) > 0) {
            std::unique_ptr<char, void (*)(void*)> held(buf, PQfreemem);
            try {
                if (!f.binary)
                    textRow(buf, buf + len);
                else if (!binaryRow(buf, buf + len))
                    continue;
            } catch (...) {
                // The connection is left ready for the next statement.
                held.reset();
                cancelRunning();
                throw;
            }
            held.reset();
            store->commitRow();
            if (!progress()) {
                cancelRunning();
                return;
            }
        }
        if (len == -2) {
            const qint64 rows = store->fetchedRows();
            Result r(PQgetResult(conn_));
            fail(r.get(), stoppedAfter(rows));
        }
        Result error;
        while (PGresult* raw = PQgetResult(conn_)) {
            Result r(raw);
            if (r.status() != PGRES_COMMAND_OK && !error.get()) error = std::move(r);
        }
        if (error.get()) fail(error.get(), stoppedAfter(store->fetchedRows()));
        return;
    }
    // Row by row: the first result with columns is read, other results only checked for errors.
    Result error;
    bool done = false, stopped = false;
    while (PGresult* raw = PQgetResult(conn_)) {
        Result r(raw);
        const ExecStatusType s = r.status();
        if (s == PGRES_SINGLE_TUPLE || s == PGRES_TUPLES_OK) {
            if (done || stopped) continue;
            if (!store) {
                if (f.cols.empty()) f.describe(r.get()); // a script's result set
                start();
            }
            if (s == PGRES_TUPLES_OK) {
                done = true;
                continue;
            }
            for (size_t c = 0; c < f.cols.size(); ++c) {
                if (PQgetisnull(r.get(), 0, int(c)))
                    columns[c]->appendNull();
                else
                    append(c, std::string_view(PQgetvalue(r.get(), 0, int(c)),
                                               size_t(PQgetlength(r.get(), 0, int(c)))));
            }
            store->commitRow();
            if (!progress()) {
                stopped = true;
                cancelRunning();
                break;
            }
        } else if (s != PGRES_COMMAND_OK && !error.get()) {
            error = std::move(r);
        }
    }
    if (error.get() && !stopped) fail(error.get(), stoppedAfter(store ? store->fetchedRows() : 0));
    if (!store) start();
}
