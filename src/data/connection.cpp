#include "connection.h"

#include "exceptions.h"
#include "query.h"
#include "schema_rowsets.h"

#include <algorithm>

TADOConnection::TADOConnection() = default;
TADOConnection::~TADOConnection() {
    Close();
}

void TADOConnection::Open() {
    if (Connected()) return;
    std::unique_ptr<Provider> p = CreateProvider(ConnectionString);
    p->commandTimeout = CommandTimeout;
    p->connectionTimeout = ConnectionTimeout;
    p->open();
    provider_ = std::move(p);
    inTransaction_ = false;
}

void TADOConnection::Close() {
    if (provider_) provider_->close();
    provider_.reset();
    inTransaction_ = false;
}

bool TADOConnection::Connected() const {
    return provider_ && provider_->connected();
}

Provider& TADOConnection::provider() const {
    if (!Connected()) throw EDatabaseError(QStringLiteral("Connection is not open"));
    return *provider_;
}

const Dialect& TADOConnection::dialect() const {
    return provider().dialect();
}

QString TADOConnection::DefaultDatabase() const {
    return Connected() ? provider_->defaultDatabase() : QString();
}

void TADOConnection::GetTableNames(QStringList& list, bool systemTables) {
    TADOQuery q;
    OpenSchema(siTables, {}, q);
    list.clear();
    TField* name = q.FieldByName(QStringLiteral("TABLE_NAME"));
    TField* type = q.FieldByName(QStringLiteral("TABLE_TYPE"));
    for (int i = 0; i < q.RecordCount(); ++i) {
        QString t = q.valueAt(type, i).toString();
        if (t == "TABLE" || t == "VIEW" || (systemTables && t == "SYSTEM TABLE"))
            list << q.valueAt(name, i).toString();
    }
    std::sort(list.begin(), list.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
}

void TADOConnection::OpenSchema(int kind, const QVariantList& restrictions, TADOQuery& target) {
    provider();
    target.Close();
    target.Connection = this;
    target.setSchema(kind, restrictions);
    target.Open();
}

qint64 TADOConnection::Execute(const QString& sql, const QVariantList& params) {
    return provider().execute(sql, params);
}

void TADOConnection::BeginTrans() {
    provider().beginTrans();
    inTransaction_ = true;
}

void TADOConnection::CommitTrans() {
    provider().commitTrans();
    inTransaction_ = false;
}

void TADOConnection::RollbackTrans() {
    inTransaction_ = false;
    provider().rollbackTrans();
}
