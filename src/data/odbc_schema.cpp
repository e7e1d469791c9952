// Schema rowsets of the ODBC provider: the catalog functions' results renamed to the OLE DB rowsets.
#include "odbc_provider.h"

#include "exceptions.h"
#include "odbc_types.h"
#include "schema_rowsets.h"

using odbc::Handle;
using odbc::Ok;

struct OdbcProvider::Catalog {
    std::vector<QVariantList> rows;
    // Column numbers are the catalog function's, from 1.
    QVariant value(const QVariantList& row, int col) const {
        return col <= row.size() ? row[col - 1] : QVariant();
    }
    QString text(const QVariantList& row, int col) const { return value(row, col).toString(); }
    qlonglong number(const QVariantList& row, int col) const { return value(row, col).toLongLong(); }
};

namespace {
QString restriction(const QVariantList& r, int i) {
    return i < r.size() && r[i].isValid() && !r[i].isNull() ? r[i].toString() : QString();
}

QVariant orNull(const QVariant& v) {
    return v.isValid() && !v.toString().isEmpty() ? v : QVariant();
}

// Table types as the table list expects them; drivers say "BASE TABLE" or "SYSTEM VIEW" too.
QString tableType(const QString& odbcType) {
    QString t = odbcType.trimmed().toUpper();
    if (t == "BASE TABLE") return QStringLiteral("TABLE");
    return t;
}

QString ruleName(const QVariant& v) {
    if (!v.isValid()) return {};
    switch (v.toInt()) {
    case SQL_CASCADE:
        return QStringLiteral("CASCADE");
    case SQL_SET_NULL:
        return QStringLiteral("SET NULL");
    case SQL_SET_DEFAULT:
        return QStringLiteral("SET DEFAULT");
    default:
        return QStringLiteral("NO ACTION"); // restrict and no action
    }
}

TFieldType fieldTypeOf(const QVariant& sqlType, const QVariant& size, const QString& typeName) {
    return OdbcFieldType(SQLSMALLINT(sqlType.toInt()), SQLULEN(std::max<qlonglong>(size.toLongLong(), 0)),
                         false, typeName);
}
} // namespace

OdbcProvider::Catalog OdbcProvider::catalog(int kind, const char* function,
                                            const std::function<SQLRETURN(SQLHSTMT)>& call) {
    Handle st = statement();
    SQLRETURN rc = call(st.get());
    if (!Ok(rc)) {
        const QString state = st.sqlState();
        // The driver lacks the catalog function or this use of it.
        if (state == "IM001" || state == "HYC00") SchemaNotSupported(kind, name());
        fail(st, QString::fromLatin1(function));
    }
    Catalog out;
    SQLSMALLINT n = 0;
    SQLNumResultCols(st.get(), &n);
    std::vector<bool> integer(size_t(std::max<SQLSMALLINT>(n, 0)));
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(integer.size()); ++i) {
        SQLSMALLINT type = 0, digits = 0, nullable = 0, len = 0;
        SQLULEN size = 0;
        SQLWCHAR nameBuf[128];
        SQLDescribeColW(st.get(), i, nameBuf, 128, &len, &type, &size, &digits, &nullable);
        integer[i - 1] =
            type == SQL_SMALLINT || type == SQL_INTEGER || type == SQL_TINYINT || type == SQL_BIGINT;
    }
    std::string tmp;
    for (;;) {
        rc = SQLFetch(st.get());
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) fail(st, QString::fromLatin1(function));
        QVariantList row;
        for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(integer.size()); ++i) {
            if (integer[i - 1]) {
                SQLBIGINT v = 0;
                SQLLEN ind = 0;
                if (!Ok(SQLGetData(st.get(), i, SQL_C_SBIGINT, &v, sizeof v, &ind)))
                    fail(st, QString::fromLatin1(function));
                row << (ind == SQL_NULL_DATA ? QVariant() : QVariant(qlonglong(v)));
            } else {
                row << (odbc::ReadPieces(st.get(), i, SQL_C_WCHAR, tmp, st)
                            ? QVariant(QString::fromUtf8(tmp.data(), qsizetype(tmp.size())))
                            : QVariant());
            }
        }
        out.rows.push_back(std::move(row));
    }
    return out;
}

void OdbcProvider::openSchema(int kind, const QVariantList& r, ResultSink& sink) {
    check();
    // MySQL's catalogs are its databases: without one its catalog functions answer for every
    // database on the server. Other drivers are given no catalog (theirs is the connection's).
    const bool catalogIsDatabase = dialect_.kind() == DialectKind::MySQL;
    auto catalogFor = [&](const QString& given) {
        return catalogIsDatabase ? (given.isEmpty() ? database_ : given) : QString();
    };
    // Names are passed to the driver as search patterns and then compared exactly, as the
    // catalog functions treat "_" and "%" as wildcards.
    auto tables = [&](const QString& catalogName, const QString& schema, const QString& table,
                      const QString& types) {
        QString k = catalogFor(catalogName), s = schema, t = table, ty = types;
        return catalog(kind, "SQLTables", [&](SQLHSTMT h) {
            return SQLTablesW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                              s.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(t), t.isEmpty() ? 0 : SQL_NTS,
                              odbc::WOrNull(ty), ty.isEmpty() ? 0 : SQL_NTS);
        });
    };
    struct TableRef {
        QString catalog, schema, name;
    };
    // Base tables matching catalog, schema and table restrictions at positions c, c+1 and t.
    auto baseTables = [&](int c, int t) {
        std::vector<TableRef> out;
        Catalog cat =
            tables(restriction(r, c), restriction(r, c + 1), restriction(r, t), QStringLiteral("TABLE"));
        for (const QVariantList& row : cat.rows) {
            if (tableType(cat.text(row, 4)) != "TABLE") continue;
            if (!RestrictionMatches(r, c, cat.text(row, 1)) ||
                !RestrictionMatches(r, c + 1, cat.text(row, 2)) ||
                !RestrictionMatches(r, t, cat.text(row, 3)))
                continue;
            out.push_back({cat.text(row, 1), cat.text(row, 2), cat.text(row, 3)});
        }
        return out;
    };
    switch (kind) {
    case siCatalogs: {
        Catalog cat = catalog(kind, "SQLTables", [](SQLHSTMT h) {
            QString all = QStringLiteral(SQL_ALL_CATALOGS), none;
            return SQLTablesW(h, odbc::W(all), SQL_NTS, odbc::W(none), 0, odbc::W(none), 0, nullptr, 0);
        });
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows)
            if (RestrictionMatches(r, 0, cat.text(row, 1)))
                w.add({cat.value(row, 1), orNull(cat.value(row, 5))});
        return;
    }
    case siSchemata: {
        Catalog cat = catalog(kind, "SQLTables", [](SQLHSTMT h) {
            QString all = QStringLiteral(SQL_ALL_SCHEMAS), none;
            return SQLTablesW(h, odbc::W(none), 0, odbc::W(all), SQL_NTS, odbc::W(none), 0, nullptr, 0);
        });
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows)
            if (RestrictionMatches(r, 0, cat.text(row, 1)) && RestrictionMatches(r, 1, cat.text(row, 2)))
                w.add({orNull(cat.value(row, 1)), cat.value(row, 2), QVariant(), QVariant()});
        return;
    }
    case siTables:
    case siViews: {
        Catalog cat = tables(restriction(r, 0), restriction(r, 1), restriction(r, 2),
                             kind == siViews ? QStringLiteral("VIEW") : QString());
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows) {
            const QString type = tableType(cat.text(row, 4));
            if (!RestrictionMatches(r, 0, cat.text(row, 1)) || !RestrictionMatches(r, 1, cat.text(row, 2)) ||
                !RestrictionMatches(r, 2, cat.text(row, 3)))
                continue;
            if (kind == siViews) {
                if (type == "VIEW")
                    w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3),
                           QVariant(), QVariant(), QVariant(), orNull(cat.value(row, 5))});
            } else if (RestrictionMatches(r, 3, type)) {
                w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3), type,
                       QVariant(), orNull(cat.value(row, 5)), QVariant(), QVariant(), QVariant()});
            }
        }
        return;
    }
    case siColumns: {
        QString k = catalogFor(restriction(r, 0)), s = restriction(r, 1), t = restriction(r, 2),
                c = restriction(r, 3);
        Catalog cat = catalog(kind, "SQLColumns", [&](SQLHSTMT h) {
            return SQLColumnsW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                               s.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(t), t.isEmpty() ? 0 : SQL_NTS,
                               odbc::WOrNull(c), c.isEmpty() ? 0 : SQL_NTS);
        });
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows) {
            if (!RestrictionMatches(r, 0, cat.text(row, 1)) || !RestrictionMatches(r, 1, cat.text(row, 2)) ||
                !RestrictionMatches(r, 2, cat.text(row, 3)) || !RestrictionMatches(r, 3, cat.text(row, 4)))
                continue;
            TFieldType ft = fieldTypeOf(cat.value(row, 5), cat.value(row, 7), cat.text(row, 6));
            const bool text = StorageOf(ft) == StorageKind::Text || StorageOf(ft) == StorageKind::Bytes;
            QVariant def = orNull(cat.value(row, 13));
            w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3), cat.value(row, 4),
                   cat.value(row, 17), def.isValid(), def, cat.number(row, 11) != SQL_NO_NULLS, OleDbType(ft),
                   cat.value(row, 6), text ? cat.value(row, 7) : QVariant(),
                   IsNumericType(ft) ? cat.value(row, 7) : QVariant(),
                   IsNumericType(ft) ? cat.value(row, 9) : QVariant(), orNull(cat.value(row, 12))});
        }
        return;
    }
    case siPrimaryKeys: {
        RowsetWriter w(sink, kind);
        for (const TableRef& t : baseTables(0, 2)) {
            QString k = catalogFor(t.catalog), s = t.schema, n = t.name;
            Catalog cat = catalog(kind, "SQLPrimaryKeys", [&](SQLHSTMT h) {
                return SQLPrimaryKeysW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                                       s.isEmpty() ? 0 : SQL_NTS, odbc::W(n), SQL_NTS);
            });
            for (const QVariantList& row : cat.rows)
                w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3),
                       cat.value(row, 4), cat.value(row, 5), orNull(cat.value(row, 6))});
        }
        return;
    }
    case siForeignKeys: {
        RowsetWriter w(sink, kind);
        // Walk the referencing tables; the referenced side is checked against its restrictions.
        for (const TableRef& t : baseTables(3, 5)) {
            QString k = catalogFor(t.catalog), s = t.schema, n = t.name;
            Catalog cat = catalog(kind, "SQLForeignKeys", [&](SQLHSTMT h) {
                return SQLForeignKeysW(h, nullptr, 0, nullptr, 0, nullptr, 0, odbc::WOrNull(k),
                                       k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s), s.isEmpty() ? 0 : SQL_NTS,
                                       odbc::W(n), SQL_NTS);
            });
            for (const QVariantList& row : cat.rows) {
                if (!RestrictionMatches(r, 0, cat.text(row, 1)) ||
                    !RestrictionMatches(r, 1, cat.text(row, 2)) ||
                    !RestrictionMatches(r, 2, cat.text(row, 3)))
                    continue;
                w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3),
                       cat.value(row, 4), orNull(cat.value(row, 5)), orNull(cat.value(row, 6)),
                       cat.value(row, 7), cat.value(row, 8), cat.value(row, 9), ruleName(cat.value(row, 10)),
                       ruleName(cat.value(row, 11)), orNull(cat.value(row, 13)), orNull(cat.value(row, 12))});
            }
        }
        return;
    }
    case siIndexes:
    case siStatistics: {
        RowsetWriter w(sink, kind);
        const int tableRestriction = kind == siIndexes ? 4 : 2;
        for (const TableRef& t : baseTables(0, tableRestriction)) {
            QString k = catalogFor(t.catalog), s = t.schema, n = t.name;
            Catalog cat = catalog(kind, "SQLStatistics", [&](SQLHSTMT h) {
                return SQLStatisticsW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                                      s.isEmpty() ? 0 : SQL_NTS, odbc::W(n), SQL_NTS, SQL_INDEX_ALL,
                                      SQL_QUICK);
            });
            if (kind == siStatistics) {
                QVariant cardinality;
                for (const QVariantList& row : cat.rows)
                    if (cat.number(row, 7) == SQL_TABLE_STAT) cardinality = cat.value(row, 11);
                if (!cardinality.isValid()) { // the driver keeps no statistics: count
                    Handle st = statement();
                    QString sql =
                        dialect_.countRows((s.isEmpty() ? QString() : dialect_.quoteIdentifier(s) + '.') +
                                           dialect_.quoteIdentifier(n));
                    SQLBIGINT v = 0;
                    SQLLEN ind = 0;
                    if (Ok(SQLExecDirectW(st.get(), odbc::W(sql), SQL_NTS)) && Ok(SQLFetch(st.get())) &&
                        Ok(SQLGetData(st.get(), 1, SQL_C_SBIGINT, &v, sizeof v, &ind)) &&
                        ind != SQL_NULL_DATA)
                        cardinality = qlonglong(v);
                }
                w.add({orNull(QVariant(t.catalog)), orNull(QVariant(t.schema)), t.name, cardinality});
                continue;
            }
            QString pkName;
            QStringList pkCols;
            {
                Catalog pk = catalog(kind, "SQLPrimaryKeys", [&](SQLHSTMT h) {
                    return SQLPrimaryKeysW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                                           s.isEmpty() ? 0 : SQL_NTS, odbc::W(n), SQL_NTS);
                });
                for (const QVariantList& row : pk.rows) {
                    pkName = pk.text(row, 6);
                    pkCols << pk.text(row, 4).toLower();
                }
            }
            // An index is the primary key's when it carries its name, or (unnamed key) its columns.
            QHash<QString, QStringList> columnsOf;
            for (const QVariantList& row : cat.rows)
                if (cat.number(row, 7) != SQL_TABLE_STAT)
                    columnsOf[cat.text(row, 6)] << cat.text(row, 9).toLower();
            for (const QVariantList& row : cat.rows) {
                if (cat.number(row, 7) == SQL_TABLE_STAT || !RestrictionMatches(r, 2, cat.text(row, 6)))
                    continue;
                const QString index = cat.text(row, 6);
                const bool unique = cat.number(row, 4) == SQL_FALSE;
                QStringList cols = columnsOf[index];
                bool primary =
                    !pkCols.isEmpty() && (pkName.isEmpty() ? unique && cols == pkCols
                                                           : pkName.compare(index, Qt::CaseInsensitive) == 0);
                QString order = cat.text(row, 10);
                w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3),
                       orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), index, primary, unique,
                       cat.number(row, 7) == SQL_INDEX_CLUSTERED, cat.value(row, 8), cat.value(row, 9),
                       order == "D"   ? 2
                       : order == "A" ? 1
                                      : QVariant(),
                       cat.value(row, 11)});
            }
        }
        return;
    }
    case siProcedures: {
        QString k = catalogFor(restriction(r, 0)), s = restriction(r, 1), p = restriction(r, 2);
        Catalog cat = catalog(kind, "SQLProcedures", [&](SQLHSTMT h) {
            return SQLProceduresW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                                  s.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(p), p.isEmpty() ? 0 : SQL_NTS);
        });
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows) {
            const int type = int(cat.number(row, 8)) + 1; // ODBC unknown/procedure/function → OLE DB 1/2/3
            if (!RestrictionMatches(r, 0, cat.text(row, 1)) || !RestrictionMatches(r, 1, cat.text(row, 2)) ||
                !RestrictionMatches(r, 2, cat.text(row, 3)) ||
                !RestrictionMatches(r, 3, QString::number(type)))
                continue;
            w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3), type, QVariant(),
                   orNull(cat.value(row, 7))});
        }
        return;
    }
    case siProcedureParameters:
    case siProcedureColumns: {
        QString k = catalogFor(restriction(r, 0)), s = restriction(r, 1), p = restriction(r, 2),
                c = restriction(r, 3);
        Catalog cat = catalog(kind, "SQLProcedureColumns", [&](SQLHSTMT h) {
            return SQLProcedureColumnsW(
                h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s), s.isEmpty() ? 0 : SQL_NTS,
                odbc::WOrNull(p), p.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(c), c.isEmpty() ? 0 : SQL_NTS);
        });
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows) {
            const int columnType = int(cat.number(row, 5));
            if ((columnType == SQL_RESULT_COL) != (kind == siProcedureColumns)) continue;
            if (!RestrictionMatches(r, 0, cat.text(row, 1)) || !RestrictionMatches(r, 1, cat.text(row, 2)) ||
                !RestrictionMatches(r, 2, cat.text(row, 3)) || !RestrictionMatches(r, 3, cat.text(row, 4)))
                continue;
            TFieldType ft = fieldTypeOf(cat.value(row, 6), cat.value(row, 8), cat.text(row, 7));
            const bool text = StorageOf(ft) == StorageKind::Text || StorageOf(ft) == StorageKind::Bytes;
            const QVariant length = text ? cat.value(row, 8) : QVariant();
            const bool nullable = cat.number(row, 12) != SQL_NO_NULLS;
            if (kind == siProcedureColumns) {
                w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3),
                       cat.value(row, 4), cat.value(row, 18), nullable, OleDbType(ft), cat.value(row, 7),
                       length, orNull(cat.value(row, 13))});
            } else {
                // ODBC input/in-out/output/return value → OLE DB 1/2/3/4.
                const int direction = columnType == SQL_PARAM_INPUT          ? 1
                                      : columnType == SQL_PARAM_INPUT_OUTPUT ? 2
                                      : columnType == SQL_PARAM_OUTPUT       ? 3
                                      : columnType == SQL_RETURN_VALUE       ? 4
                                                                             : 0;
                w.add({orNull(cat.value(row, 1)), orNull(cat.value(row, 2)), cat.value(row, 3),
                       cat.value(row, 4), cat.value(row, 18), direction, nullable, OleDbType(ft),
                       cat.value(row, 7), length, orNull(cat.value(row, 13))});
            }
        }
        return;
    }
    case siProviderTypes: {
        Catalog cat =
            catalog(kind, "SQLGetTypeInfo", [](SQLHSTMT h) { return SQLGetTypeInfoW(h, SQL_ALL_TYPES); });
        RowsetWriter w(sink, kind);
        QSet<int> seen; // the first type the driver lists for a data type is its best match
        for (const QVariantList& row : cat.rows) {
            TFieldType ft = fieldTypeOf(cat.value(row, 2), cat.value(row, 3), cat.text(row, 1));
            const int oleType = OleDbType(ft);
            const bool best = !seen.contains(int(cat.number(row, 2)));
            seen.insert(int(cat.number(row, 2)));
            if (!restriction(r, 0).isEmpty() && r[0].toInt() != oleType) continue;
            if (!restriction(r, 1).isEmpty() && r[1].toBool() != best) continue;
            w.add({cat.value(row, 1), oleType, cat.value(row, 3), orNull(cat.value(row, 4)),
                   orNull(cat.value(row, 5)), orNull(cat.value(row, 6)), cat.number(row, 7) != SQL_NO_NULLS,
                   cat.number(row, 8) == SQL_TRUE, cat.value(row, 9),
                   cat.value(row, 10).isValid() ? QVariant(cat.number(row, 10) == SQL_TRUE) : QVariant(),
                   cat.number(row, 11) == SQL_TRUE, cat.number(row, 12) == SQL_TRUE,
                   orNull(cat.value(row, 13)), cat.value(row, 14), cat.value(row, 15), IsBlobType(ft), best});
        }
        return;
    }
    case siTablePrivileges: {
        QString k = catalogFor(restriction(r, 0)), s = restriction(r, 1), t = restriction(r, 2);
        Catalog cat = catalog(kind, "SQLTablePrivileges", [&](SQLHSTMT h) {
            return SQLTablePrivilegesW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(s),
                                       s.isEmpty() ? 0 : SQL_NTS, odbc::WOrNull(t),
                                       t.isEmpty() ? 0 : SQL_NTS);
        });
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : cat.rows) {
            if (!RestrictionMatches(r, 0, cat.text(row, 1)) || !RestrictionMatches(r, 1, cat.text(row, 2)) ||
                !RestrictionMatches(r, 2, cat.text(row, 3)) || !RestrictionMatches(r, 3, cat.text(row, 4)) ||
                !RestrictionMatches(r, 4, cat.text(row, 5)))
                continue;
            w.add({orNull(cat.value(row, 4)), cat.value(row, 5), orNull(cat.value(row, 1)),
                   orNull(cat.value(row, 2)), cat.value(row, 3), cat.value(row, 6),
                   cat.text(row, 7).compare("YES", Qt::CaseInsensitive) == 0});
        }
        return;
    }
    case siColumnPrivileges: {
        RowsetWriter w(sink, kind);
        for (const TableRef& t : baseTables(0, 2)) {
            // The schema is compared here: one driver builds a wrong query when it is passed on.
            QString k = catalogFor(t.catalog), n = t.name, c = restriction(r, 3);
            Catalog cat = catalog(kind, "SQLColumnPrivileges", [&](SQLHSTMT h) {
                return SQLColumnPrivilegesW(h, odbc::WOrNull(k), k.isEmpty() ? 0 : SQL_NTS, nullptr, 0,
                                            odbc::W(n), SQL_NTS, odbc::WOrNull(c), c.isEmpty() ? 0 : SQL_NTS);
            });
            for (const QVariantList& row : cat.rows) {
                if (!t.schema.isEmpty() && cat.text(row, 2).compare(t.schema, Qt::CaseInsensitive) != 0)
                    continue;
                if (!RestrictionMatches(r, 3, cat.text(row, 4)) ||
                    !RestrictionMatches(r, 4, cat.text(row, 5)) ||
                    !RestrictionMatches(r, 5, cat.text(row, 6)))
                    continue;
                w.add({orNull(cat.value(row, 5)), cat.value(row, 6), orNull(cat.value(row, 1)),
                       orNull(cat.value(row, 2)), cat.value(row, 3), cat.value(row, 4), cat.value(row, 7),
                       cat.text(row, 8).compare("YES", Qt::CaseInsensitive) == 0});
            }
        }
        return;
    }
    default:
        SchemaNotSupported(kind, name());
    }
}
