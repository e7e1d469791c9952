#include "files_test_util.h"

#include "connection.h"
#include "exceptions.h"
#include "query.h"

#include <charconv>

namespace {
QString cellText(const QVariant& v, TFieldType t) {
    if (!v.isValid()) return QStringLiteral("\\N");
    switch (StorageOf(t)) {
    case StorageKind::Float: {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, v.toDouble());
        return QString::fromLatin1(buf, int(r.ptr - buf));
    }
    case StorageKind::DateTime:
        return t == ftDate   ? v.toDate().toString(Qt::ISODate)
               : t == ftTime ? v.toTime().toString(QStringLiteral("HH:mm:ss"))
                             : v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case StorageKind::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case StorageKind::Bytes:
        return QString::fromLatin1(v.toByteArray().toHex());
    default:
        return v.toString();
    }
}
} // namespace

ReadResult ReadSource(const QString& connection, const QString& table, const QString& sql) {
    ReadResult out;
    try {
        TADOConnection con;
        con.ConnectionString = connection;
        con.Open();
        TADOQuery q(&con);
        q.SQL = sql.isEmpty() ? QStringLiteral("SELECT * FROM [%1]").arg(table) : sql;
        q.Open();
        for (int i = 0; i < q.FieldCount(); ++i) {
            out.names << q.Fields(i)->FieldName;
            out.types << QString::fromLatin1(FieldTypeName(q.Fields(i)->DataType));
        }
        for (int r = 0; r < q.RecordCount(); ++r) {
            QStringList row;
            for (int i = 0; i < q.FieldCount(); ++i)
                row << cellText(q.valueAt(q.Fields(i), r), q.Fields(i)->DataType);
            out.rows << row;
        }
    } catch (const Exception& e) {
        out.error = e.Message;
    }
    return out;
}

QStringList SourceTables(const QString& connection) {
    TADOConnection con;
    con.ConnectionString = connection;
    con.Open();
    QStringList names;
    con.GetTableNames(names);
    return names;
}
