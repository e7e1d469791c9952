// Schema rowsets of the SQLite provider: sqlite_master and the table pragmas renamed to the OLE DB
// rowsets.
#include "sqlite_provider.h"

#include "schema_rowsets.h"

#include <QScopeGuard>
#include <sqlite3.h>

namespace {
QString str(sqlite3_stmt* st, int i) {
    if (sqlite3_column_type(st, i) == SQLITE_NULL) return QString();
    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return QString::fromUtf8(p ? p : "", qsizetype(sqlite3_column_bytes(st, i)));
}
} // namespace

// One request: the restrictions and the rowset it writes. Everything lives in the main database.
struct SqliteProvider::Schema {
    SqliteProvider& db;
    const QVariantList& r;
    RowsetWriter w;
    const QString cat = QStringLiteral("main");

    template <class Each> void rows(const QString& sql, const QVariantList& params, Each&& each) {
        sqlite3_stmt* st = db.prepare(sql, params);
        auto finalize = qScopeGuard([st] { sqlite3_finalize(st); });
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            each(st);
        if (rc != SQLITE_DONE) db.fail(QString());
    }
    // Tables and views of the main database, with their rowset type.
    template <class Each> void objects(Each&& each) {
        rows(QStringLiteral(
                 "SELECT name, type, sql FROM sqlite_master WHERE type IN ('table','view') ORDER BY name"),
             {}, [&](sqlite3_stmt* st) {
                 QString name = str(st, 0), type = str(st, 1);
                 QString rowsetType = type == "view" ? QStringLiteral("VIEW")
                                      : name.startsWith(QLatin1String("sqlite_"))
                                          ? QStringLiteral("SYSTEM TABLE")
                                          : QStringLiteral("TABLE");
                 each(name, rowsetType, str(st, 2));
             });
    }

    void catalogs();
    void tables();
    void views();
    // The rowsets read table by table, over the tables (and for columns the views) the restriction
    // names.
    void eachTable(int kind);
    QStringList tablesFor(int kind);
    void columns(const QString& t);
    void primaryKeys(const QString& t);
    void foreignKeys(const QString& t);
    void indexes(const QString& t);
    void statistics(const QString& t);
    void providerTypes();
};

void SqliteProvider::Schema::catalogs() {
    rows(QStringLiteral("SELECT name, file FROM pragma_database_list"), {}, [&](sqlite3_stmt* st) {
        if (RestrictionMatches(r, 0, str(st, 0))) w.add({str(st, 0), str(st, 1)});
    });
}

void SqliteProvider::Schema::tables() {
    objects([&](const QString& name, const QString& type, const QString&) {
        if (RestrictionMatches(r, 2, name) && RestrictionMatches(r, 3, type))
            w.add({cat, QVariant(), name, type, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    });
}

void SqliteProvider::Schema::views() {
    objects([&](const QString& name, const QString& type, const QString& sql) {
        if (type == "VIEW" && RestrictionMatches(r, 2, name))
            w.add({cat, QVariant(), name, sql, false, false, QVariant()});
    });
}

QStringList SqliteProvider::Schema::tablesFor(int kind) {
    QStringList names;
    // OLE DB restriction order: foreign keys name the FK table 6th, indexes name the table 5th.
    int nameRestriction = kind == siForeignKeys ? 5 : kind == siIndexes ? 4 : 2;
    objects([&](const QString& name, const QString& type, const QString&) {
        if (RestrictionMatches(r, nameRestriction, name) && (kind == siColumns || type != "VIEW"))
            names << name;
    });
    return names;
}

void SqliteProvider::Schema::columns(const QString& t) {
    rows(QStringLiteral("SELECT cid, name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?)"), {t},
         [&](sqlite3_stmt* st) {
             if (!RestrictionMatches(r, 3, str(st, 1))) return;
             int size = 0;
             TFieldType ft = TypeOfDeclared(str(st, 2), &size);
             if (ft == ftUnknown) ft = ftWideString;
             bool hasDefault = sqlite3_column_type(st, 4) != SQLITE_NULL;
             w.add({cat, QVariant(), t, str(st, 1), sqlite3_column_int(st, 0) + 1, hasDefault,
                    hasDefault ? QVariant(str(st, 4)) : QVariant(), sqlite3_column_int(st, 3) == 0,
                    OleDbType(ft), str(st, 2), size > 0 ? QVariant(size) : QVariant(), QVariant(), QVariant(),
                    QVariant()});
         });
}

void SqliteProvider::Schema::primaryKeys(const QString& t) {
    rows(QStringLiteral("SELECT name, pk FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk"), {t},
         [&](sqlite3_stmt* st) {
             w.add({cat, QVariant(), t, str(st, 0), sqlite3_column_int(st, 1), "PK_" + t});
         });
}

void SqliteProvider::Schema::foreignKeys(const QString& t) {
    rows(QStringLiteral("SELECT id, seq, \"table\", \"from\", \"to\", on_update, on_delete "
                        "FROM pragma_foreign_key_list(?) ORDER BY id, seq"),
         {t}, [&](sqlite3_stmt* st) {
             QString pkTable = str(st, 2);
             if (!RestrictionMatches(r, 2, pkTable)) return;
             QString to = str(st, 4);
             if (to.isEmpty()) {
                 // A reference to the parent's primary key names no column.
                 QStringList pk = db.primaryKey(pkTable);
                 int seq = sqlite3_column_int(st, 1);
                 to = seq < pk.size() ? pk[seq] : QString();
             }
             w.add({cat, QVariant(), pkTable, to, cat, QVariant(), t, str(st, 3),
                    sqlite3_column_int(st, 1) + 1, str(st, 5), str(st, 6), QVariant(),
                    QStringLiteral("FK_%1_%2").arg(t).arg(sqlite3_column_int(st, 0))});
         });
}

void SqliteProvider::Schema::indexes(const QString& t) {
    struct Idx {
        QString name;
        bool unique, pk;
    };
    std::vector<Idx> idx;
    rows(QStringLiteral("SELECT name, \"unique\", origin FROM pragma_index_list(?)"), {t},
         [&](sqlite3_stmt* st) {
             idx.push_back({str(st, 0), sqlite3_column_int(st, 1) != 0, str(st, 2) == "pk"});
         });
    for (const Idx& i : idx) {
        if (!RestrictionMatches(r, 2, i.name)) continue;
        rows(QStringLiteral("SELECT seqno, name, desc FROM pragma_index_xinfo(?) WHERE key = 1"), {i.name},
             [&](sqlite3_stmt* st) {
                 w.add({cat, QVariant(), t, cat, QVariant(), i.name, i.pk, i.unique, false,
                        sqlite3_column_int(st, 0) + 1, str(st, 1), sqlite3_column_int(st, 2) ? 2 : 1,
                        QVariant()});
             });
    }
}

void SqliteProvider::Schema::statistics(const QString& t) {
    Dialect d(DialectKind::SQLite);
    rows(QStringLiteral("SELECT count(*) FROM %1").arg(d.quoteIdentifier(t)), {}, [&](sqlite3_stmt* st) {
        w.add({cat, QVariant(), t, qlonglong(sqlite3_column_int64(st, 0))});
    });
}

void SqliteProvider::Schema::providerTypes() {
    struct T {
        const char* name;
        TFieldType type;
        qlonglong size;
        const char* prefix;
        bool cs;
    };
    const T types[] = {{"INTEGER", ftLargeint, 19, nullptr, false},
                       {"REAL", ftFloat, 15, nullptr, false},
                       {"TEXT", ftWideString, 1000000000, "'", true},
                       {"BLOB", ftBlob, 1000000000, "X'", false},
                       {"NUMERIC", ftBCD, 15, nullptr, false},
                       {"BOOLEAN", ftBoolean, 1, nullptr, false},
                       {"DATE", ftDate, 10, "'", false},
                       {"TIME", ftTime, 8, "'", false},
                       {"DATETIME", ftDateTime, 23, "'", false}};
    for (const T& t : types)
        if (r.isEmpty() || !r[0].isValid() || r[0].toInt() == OleDbType(t.type))
            w.add({t.name, OleDbType(t.type), t.size, t.prefix ? QVariant(t.prefix) : QVariant(),
                   t.prefix ? QVariant(t.prefix[0] == 'X' ? "'" : t.prefix) : QVariant(), QVariant(), true,
                   t.cs, 4, QVariant(), false, t.type == ftLargeint, t.name, QVariant(), QVariant(),
                   t.type == ftWideString || t.type == ftBlob, true});
}

void SqliteProvider::Schema::eachTable(int kind) {
    for (const QString& t : tablesFor(kind))
        switch (kind) {
        case siColumns:
            columns(t);
            break;
        case siPrimaryKeys:
            primaryKeys(t);
            break;
        case siForeignKeys:
            foreignKeys(t);
            break;
        case siIndexes:
            indexes(t);
            break;
        default:
            statistics(t);
        }
}

void SqliteProvider::openSchema(int kind, const QVariantList& r, ResultSink& sink) {
    Hold hold(*this);
    check();
    auto schema = [&] { return Schema{*this, r, RowsetWriter(sink, kind)}; };
    switch (kind) {
    case siCatalogs:
        return schema().catalogs();
    case siTables:
        return schema().tables();
    case siViews:
        return schema().views();
    case siColumns:
    case siPrimaryKeys:
    case siForeignKeys:
    case siIndexes:
    case siStatistics:
        return schema().eachTable(kind);
    case siProviderTypes:
        return schema().providerTypes();
    default:
        SchemaNotSupported(kind, name());
    }
}
