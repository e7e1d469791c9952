// Schema rowsets of the PostgreSQL provider: pg_catalog and information_schema queries whose columns are
// the OLE DB rowsets' columns, in their order.
#include "exceptions.h"
#include "pg_provider.h"
#include "pg_types.h"
#include "schema_rowsets.h"

namespace {
// The system schemas: listed only when a schema restriction names them.
const char* const kUserSchemas =
    "n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE "
    "'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp\\_%'";

QString withSchemas(const char* sql, const QVariantList& r, int schemaRestriction) {
    const bool named = schemaRestriction < r.size() && r[schemaRestriction].isValid() &&
                       !r[schemaRestriction].toString().isEmpty();
    return QString::fromLatin1(sql).replace(QLatin1String("$USER_SCHEMAS"),
                                            named ? QLatin1String("TRUE") : QLatin1String(kUserSchemas));
}

int oleTypeOf(const QVariant& oid, const QVariant& typmod) {
    return OleDbType(PgTypeOf(oid.toUInt(), typmod.isValid() ? typmod.toInt() : -1).type);
}

// The column size the OLE DB rowsets give numbers: their digits.
QVariant precisionOf(unsigned oid, int typmod) {
    int precision = 0, scale = 0;
    switch (oid) {
    case pgoid::Int2:
        return 5;
    case pgoid::Int4:
        return 10;
    case pgoid::Int8:
        return 19;
    case pgoid::Float4:
        return 7;
    case pgoid::Float8:
        return 15;
    case pgoid::Numeric:
        return PgNumericPrecision(typmod, precision, scale) ? QVariant(precision) : QVariant();
    default:
        return {};
    }
}
} // namespace

void PgProvider::openSchema(int kind, const QVariantList& r, ResultSink& sink) {
    check();
    auto rows = [&](const QString& sql) { return rowsOf(sql); };
    // Restriction i compares with column at[i] of a row (-1: not compared).
    auto matches = [&](const QVariantList& row, std::initializer_list<int> at) {
        int i = 0;
        for (int col : at) {
            if (col >= 0 && !RestrictionMatches(r, i, row[col].toString())) return false;
            ++i;
        }
        return true;
    };
    auto plain = [&](const QString& sql, std::initializer_list<int> at) {
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : rows(sql))
            if (matches(row, at)) w.add(row);
    };
    switch (kind) {
    case siCatalogs:
        return plain(QStringLiteral("SELECT datname, shobj_description(oid, 'pg_database') FROM pg_database "
                                    "WHERE datallowconn ORDER BY 1"),
                     {0});
    case siSchemata:
        return plain(QStringLiteral("SELECT current_database(), n.nspname, pg_get_userbyid(n.nspowner), "
                                    "(SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname = "
                                    "current_database()) FROM pg_namespace n ORDER BY 2"),
                     {0, 1, 2});
    case siTables:
        return plain(
            withSchemas(
                "SELECT current_database(), n.nspname, c.relname, CASE WHEN n.nspname IN "
                "('pg_catalog', 'information_schema') THEN CASE WHEN c.relkind IN ('v', 'm') THEN "
                "'SYSTEM VIEW' ELSE 'SYSTEM TABLE' END WHEN c.relkind IN ('v', 'm') THEN 'VIEW' "
                "WHEN c.relpersistence = 't' THEN 'LOCAL TEMPORARY' ELSE 'TABLE' END, NULL, "
                "obj_description(c.oid, 'pg_class'), NULL::int, NULL, NULL FROM pg_class c JOIN "
                "pg_namespace n ON n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') "
                "AND $USER_SCHEMAS ORDER BY 2, 3",
                r, 1),
            {0, 1, 2, 3});
    case siViews:
        return plain(
            withSchemas("SELECT current_database(), n.nspname, c.relname, pg_get_viewdef(c.oid), "
                        "NULL::bool, NULL::bool, obj_description(c.oid, 'pg_class') FROM pg_class c "
                        "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.relkind IN ('v', 'm') "
                        "AND $USER_SCHEMAS ORDER BY 2, 3",
                        r, 1),
            {0, 1, 2});
    case siColumns: {
        RowsetWriter w(sink, kind);
        for (QVariantList row : rows(withSchemas(
                 "SELECT current_database(), n.nspname, c.relname, a.attname, row_number() OVER (PARTITION "
                 "BY "
                 "c.oid ORDER BY a.attnum)::int, a.atthasdef, pg_get_expr(d.adbin, d.adrelid), NOT "
                 "a.attnotnull, "
                 "a.atttypid, t.typname, a.atttypmod, col_description(c.oid, a.attnum) FROM pg_class c JOIN "
                 "pg_namespace n ON n.oid = c.relnamespace JOIN pg_attribute a ON a.attrelid = c.oid AND "
                 "a.attnum > 0 AND NOT a.attisdropped JOIN pg_type t ON t.oid = a.atttypid LEFT JOIN "
                 "pg_attrdef "
                 "d ON d.adrelid = c.oid AND d.adnum = a.attnum WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') "
                 "AND $USER_SCHEMAS ORDER BY 2, 3, 5",
                 r, 1))) {
            if (!matches(row, {0, 1, 2, 3})) continue;
            const unsigned oid = row[8].toUInt();
            const int typmod = row[10].toInt();
            const PgType t = PgTypeOf(oid, typmod);
            int precision = 0, scale = 0;
            const bool numeric = oid == pgoid::Numeric && PgNumericPrecision(typmod, precision, scale);
            w.add({row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7], OleDbType(t.type), row[9],
                   t.size > 0 ? QVariant(t.size) : QVariant(), precisionOf(oid, typmod),
                   numeric ? QVariant(scale) : QVariant(), row[11]});
        }
        return;
    }
    case siPrimaryKeys:
        return plain(
            QStringLiteral(
                "SELECT current_database(), n.nspname, c.relname, a.attname, k.ord::int, ic.relname "
                "FROM pg_index i JOIN pg_class c ON c.oid = i.indrelid JOIN pg_namespace n ON n.oid = "
                "c.relnamespace JOIN pg_class ic ON ic.oid = i.indexrelid CROSS JOIN LATERAL "
                "unnest(i.indkey) WITH ORDINALITY k(attnum, ord) JOIN pg_attribute a ON a.attrelid = "
                "c.oid AND a.attnum = k.attnum WHERE i.indisprimary ORDER BY 2, 3, 5"),
            {0, 1, 2});
    case siForeignKeys: {
        const QString rule =
            QStringLiteral("CASE %1 WHEN 'c' THEN 'CASCADE' WHEN 'n' THEN 'SET NULL' WHEN 'd' "
                           "THEN 'SET DEFAULT' ELSE 'NO ACTION' END");
        return plain(
            QStringLiteral(
                "SELECT current_database(), pn.nspname, pc.relname, pa.attname, current_database(), "
                "fn.nspname, "
                "fc.relname, fa.attname, k.ord::int, %1, %2, (SELECT ic.relname FROM pg_class ic WHERE "
                "ic.oid = "
                "con.conindid), con.conname FROM pg_constraint con JOIN pg_class fc ON fc.oid = con.conrelid "
                "JOIN pg_namespace fn ON fn.oid = fc.relnamespace JOIN pg_class pc ON pc.oid = con.confrelid "
                "JOIN pg_namespace pn ON pn.oid = pc.relnamespace CROSS JOIN LATERAL unnest(con.conkey, "
                "con.confkey) WITH ORDINALITY k(fk, pk, ord) JOIN pg_attribute fa ON fa.attrelid = fc.oid "
                "AND "
                "fa.attnum = k.fk JOIN pg_attribute pa ON pa.attrelid = pc.oid AND pa.attnum = k.pk WHERE "
                "con.contype = 'f' ORDER BY 6, 7, 13, 9")
                .arg(rule.arg(QLatin1String("con.confupdtype")), rule.arg(QLatin1String("con.confdeltype"))),
            {0, 1, 2, 4, 5, 6});
    }
    case siIndexes:
        // Restrictions: catalog, schema, index name, type (not compared), table name.
        return plain(
            withSchemas("SELECT current_database(), n.nspname, c.relname, current_database(), "
                        "n.nspname, ic.relname, i.indisprimary, i.indisunique, i.indisclustered, "
                        "k.ord::int, a.attname, CASE WHEN (i.indoption[(k.ord - 1)::int] & 1) = 1 THEN 2 "
                        "ELSE 1 END, NULLIF(ic.reltuples, -1)::bigint FROM pg_index i JOIN pg_class c ON "
                        "c.oid = i.indrelid JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_class "
                        "ic ON ic.oid = i.indexrelid CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY "
                        "k(attnum, ord) LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = "
                        "k.attnum WHERE $USER_SCHEMAS ORDER BY 2, 3, 6, 10",
                        r, 1),
            {0, 1, 5, -1, 2});
    case siStatistics: {
        RowsetWriter w(sink, kind);
        for (QVariantList row : rows(withSchemas(
                 "SELECT current_database(), n.nspname, c.relname, NULLIF(c.reltuples, -1)::bigint FROM "
                 "pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p') AND "
                 "$USER_SCHEMAS ORDER BY 2, 3",
                 r, 1))) {
            if (!matches(row, {0, 1, 2})) continue;
            if (!row[3].isValid()) { // never analysed: count
                row[3] = rowsOf(dialect_.countRows(dialect_.quoteIdentifier(row[1].toString()) + '.' +
                                                   dialect_.quoteIdentifier(row[2].toString())))[0][0];
            }
            w.add(row);
        }
        return;
    }
    case siProviderTypes: {
        RowsetWriter w(sink, kind);
        QSet<int> seen; // the first type listed for a data type is its best match
        for (const QVariantList& row : rows(QStringLiteral(
                 "SELECT t.typname, t.oid, t.typlen, t.typcategory IN ('S', 'D', 'U'), t.typcategory = 'S' "
                 "FROM pg_type t WHERE t.typnamespace = 'pg_catalog'::regnamespace AND t.typtype = 'b' AND "
                 "t.typcategory <> 'A' AND t.typname NOT LIKE 'pg\\_%' ORDER BY t.typcategory = 'X', "
                 "array_position(ARRAY['int4', 'int2', 'int8', 'float8', 'float4', 'numeric', 'bool', "
                 "'varchar', 'text', 'bpchar', 'bytea', 'date', 'time', 'timestamp', 'uuid']::name[], "
                 "t.typname), t.typname"))) {
            const int oleType = oleTypeOf(row[1], QVariant());
            const bool best = !seen.contains(oleType);
            seen.insert(oleType);
            if (!r.isEmpty() && r[0].isValid() && !r[0].toString().isEmpty() && r[0].toInt() != oleType)
                continue;
            if (r.size() > 1 && r[1].isValid() && !r[1].toString().isEmpty() && r[1].toBool() != best)
                continue;
            const bool quoted = row[3].toBool();
            const TFieldType ft = PgTypeOf(row[1].toUInt(), -1).type;
            w.add({row[0], oleType, row[2].toInt() > 0 ? row[2] : QVariant(),
                   quoted ? QVariant(QStringLiteral("'")) : QVariant(),
                   quoted ? QVariant(QStringLiteral("'")) : QVariant(), QVariant(), true, row[4], 3,
                   IsNumericType(ft) ? QVariant(false) : QVariant(), false, false, row[0], QVariant(),
                   QVariant(), IsBlobType(ft), best});
        }
        return;
    }
    case siProcedures:
        return plain(
            withSchemas("SELECT current_database(), n.nspname, p.proname, CASE p.prokind WHEN 'p' "
                        "THEN 2 ELSE 3 END, NULL, obj_description(p.oid, 'pg_proc') FROM pg_proc p JOIN "
                        "pg_namespace n ON n.oid = p.pronamespace WHERE $USER_SCHEMAS ORDER BY 2, 3",
                        r, 1),
            {0, 1, 2, 3});
    case siProcedureParameters:
    case siProcedureColumns: {
        RowsetWriter w(sink, kind);
        for (const QVariantList& row : rows(withSchemas(
                 "SELECT current_database(), n.nspname, p.proname, coalesce(p.proargnames[k.ord::int], ''), "
                 "k.ord::int, coalesce(p.proargmodes[k.ord::int], 'i'), k.typ, t.typname FROM pg_proc p JOIN "
                 "pg_namespace n ON n.oid = p.pronamespace CROSS JOIN LATERAL "
                 "unnest(coalesce(p.proallargtypes, "
                 "p.proargtypes::oid[])) WITH ORDINALITY k(typ, ord) JOIN pg_type t ON t.oid = k.typ WHERE "
                 "$USER_SCHEMAS ORDER BY 2, 3, 5",
                 r, 1))) {
            const QString mode = row[5].toString();
            // A table function's result columns are its "t" arguments; the others are parameters.
            if ((mode == "t") != (kind == siProcedureColumns) || !matches(row, {0, 1, 2, 3})) continue;
            const int oleType = oleTypeOf(row[6], QVariant());
            if (kind == siProcedureColumns) {
                w.add(
                    {row[0], row[1], row[2], row[3], row[4], true, oleType, row[7], QVariant(), QVariant()});
            } else {
                const int direction = mode == "b" ? 2 : mode == "o" ? 3 : 1; // in (and variadic), in-out, out
                w.add({row[0], row[1], row[2], row[3], row[4], direction, true, oleType, row[7], QVariant(),
                       QVariant()});
            }
        }
        return;
    }
    case siTablePrivileges:
        return plain(
            QStringLiteral("SELECT grantor, grantee, table_catalog, table_schema, table_name, "
                           "privilege_type, is_grantable = 'YES' FROM information_schema.table_privileges "
                           "WHERE table_schema NOT IN ('pg_catalog', 'information_schema') ORDER BY 4, 5, 6"),
            {2, 3, 4, 0, 1});
    case siColumnPrivileges:
        return plain(QStringLiteral("SELECT grantor, grantee, table_catalog, table_schema, table_name, "
                                    "column_name, privilege_type, is_grantable = 'YES' FROM "
                                    "information_schema.column_privileges WHERE table_schema NOT IN "
                                    "('pg_catalog', 'information_schema') ORDER BY 4, 5, 6, 7"),
                     {2, 3, 4, 5, 0, 1});
    default:
        SchemaNotSupported(kind, name());
    }
}
