#include "schema_rowsets.h"

#include "exceptions.h"

namespace {
const char* const kNames[kSchemaKindCount] = {"siAsserts",
                                              "siCatalogs",
                                              "siCharacterSets",
                                              "siCollations",
                                              "siColumns",
                                              "siCheckConstraints",
                                              "siConstraintColumnUsage",
                                              "siConstraintTableUsage",
                                              "siKeyColumnUsage",
                                              "siReferentialConstraints",
                                              "siTableConstraints",
                                              "siColumnsDomainUsage",
                                              "siIndexes",
                                              "siColumnPrivileges",
                                              "siTablePrivileges",
                                              "siUsagePrivileges",
                                              "siProcedures",
                                              "siSchemata",
                                              "siSQLLanguages",
                                              "siStatistics",
                                              "siTables",
                                              "siTranslations",
                                              "siProviderTypes",
                                              "siViews",
                                              "siViewColumnUsage",
                                              "siViewTableUsage",
                                              "siProcedureParameters",
                                              "siForeignKeys",
                                              "siPrimaryKeys",
                                              "siProcedureColumns",
                                              "siDBInfoKeywords",
                                              "siDBInfoLiterals",
                                              "siCubes",
                                              "siDimensions",
                                              "siHierarchies",
                                              "siLevels",
                                              "siMeasures",
                                              "siProperties",
                                              "siMembers",
                                              "siProviderSpecific"};

std::vector<ColumnDesc> cols(std::initializer_list<std::pair<const char*, TFieldType>> list) {
    std::vector<ColumnDesc> out;
    for (auto& [name, type] : list) {
        ColumnDesc d;
        d.name = QString::fromLatin1(name);
        d.type = type;
        d.readOnly = true;
        out.push_back(d);
    }
    return out;
}
constexpr TFieldType S = ftWideString, I = ftInteger, L = ftLargeint, B = ftBoolean, M = ftWideMemo,
                     D = ftDateTime;
} // namespace

QString SchemaKindName(int kind) {
    return kind >= 0 && kind < kSchemaKindCount ? QString::fromLatin1(kNames[kind]) : QString::number(kind);
}

bool SchemaKindFromText(const QString& text, int& kind) {
    bool ok;
    int n = text.toInt(&ok);
    if (ok) {
        if (n < 0 || n >= kSchemaKindCount) return false;
        kind = n;
        return true;
    }
    for (int i = 0; i < kSchemaKindCount; ++i)
        if (text.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) {
            kind = i;
            return true;
        }
    return false;
}

std::vector<ColumnDesc> SchemaColumns(int kind) {
    switch (kind) {
    case siCatalogs:
        return cols({{"CATALOG_NAME", S}, {"DESCRIPTION", S}});
    case siSchemata:
        return cols({{"CATALOG_NAME", S},
                     {"SCHEMA_NAME", S},
                     {"SCHEMA_OWNER", S},
                     {"DEFAULT_CHARACTER_SET_NAME", S}});
    case siTables:
        return cols({{"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"TABLE_TYPE", S},
                     {"TABLE_GUID", S},
                     {"DESCRIPTION", S},
                     {"TABLE_PROPID", I},
                     {"DATE_CREATED", D},
                     {"DATE_MODIFIED", D}});
    case siViews:
        return cols({{"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"VIEW_DEFINITION", M},
                     {"CHECK_OPTION", B},
                     {"IS_UPDATABLE", B},
                     {"DESCRIPTION", S}});
    case siColumns:
        return cols({{"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"COLUMN_NAME", S},
                     {"ORDINAL_POSITION", I},
                     {"COLUMN_HASDEFAULT", B},
                     {"COLUMN_DEFAULT", S},
                     {"IS_NULLABLE", B},
                     {"DATA_TYPE", I},
                     {"TYPE_NAME", S},
                     {"CHARACTER_MAXIMUM_LENGTH", L},
                     {"NUMERIC_PRECISION", I},
                     {"NUMERIC_SCALE", I},
                     {"DESCRIPTION", S}});
    case siPrimaryKeys:
        return cols({{"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"COLUMN_NAME", S},
                     {"ORDINAL", I},
                     {"PK_NAME", S}});
    case siForeignKeys:
        return cols({{"PK_TABLE_CATALOG", S},
                     {"PK_TABLE_SCHEMA", S},
                     {"PK_TABLE_NAME", S},
                     {"PK_COLUMN_NAME", S},
                     {"FK_TABLE_CATALOG", S},
                     {"FK_TABLE_SCHEMA", S},
                     {"FK_TABLE_NAME", S},
                     {"FK_COLUMN_NAME", S},
                     {"ORDINAL", I},
                     {"UPDATE_RULE", S},
                     {"DELETE_RULE", S},
                     {"PK_NAME", S},
                     {"FK_NAME", S}});
    case siIndexes:
        return cols({{"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"INDEX_CATALOG", S},
                     {"INDEX_SCHEMA", S},
                     {"INDEX_NAME", S},
                     {"PRIMARY_KEY", B},
                     {"UNIQUE", B},
                     {"CLUSTERED", B},
                     {"ORDINAL_POSITION", I},
                     {"COLUMN_NAME", S},
                     {"COLLATION", I},
                     {"CARDINALITY", L}});
    case siStatistics:
        return cols({{"TABLE_CATALOG", S}, {"TABLE_SCHEMA", S}, {"TABLE_NAME", S}, {"CARDINALITY", L}});
    case siProviderTypes:
        return cols({{"TYPE_NAME", S},
                     {"DATA_TYPE", I},
                     {"COLUMN_SIZE", L},
                     {"LITERAL_PREFIX", S},
                     {"LITERAL_SUFFIX", S},
                     {"CREATE_PARAMS", S},
                     {"IS_NULLABLE", B},
                     {"CASE_SENSITIVE", B},
                     {"SEARCHABLE", I},
                     {"UNSIGNED_ATTRIBUTE", B},
                     {"FIXED_PREC_SCALE", B},
                     {"AUTO_UNIQUE_VALUE", B},
                     {"LOCAL_TYPE_NAME", S},
                     {"MINIMUM_SCALE", I},
                     {"MAXIMUM_SCALE", I},
                     {"IS_LONG", B},
                     {"BEST_MATCH", B}});
    case siProcedures:
        return cols({{"PROCEDURE_CATALOG", S},
                     {"PROCEDURE_SCHEMA", S},
                     {"PROCEDURE_NAME", S},
                     {"PROCEDURE_TYPE", I},
                     {"PROCEDURE_DEFINITION", M},
                     {"DESCRIPTION", S}});
    case siProcedureParameters:
        return cols({{"PROCEDURE_CATALOG", S},
                     {"PROCEDURE_SCHEMA", S},
                     {"PROCEDURE_NAME", S},
                     {"PARAMETER_NAME", S},
                     {"ORDINAL_POSITION", I},
                     {"PARAMETER_TYPE", I},
                     {"IS_NULLABLE", B},
                     {"DATA_TYPE", I},
                     {"TYPE_NAME", S},
                     {"CHARACTER_MAXIMUM_LENGTH", L},
                     {"DESCRIPTION", S}});
    case siProcedureColumns:
        return cols({{"PROCEDURE_CATALOG", S},
                     {"PROCEDURE_SCHEMA", S},
                     {"PROCEDURE_NAME", S},
                     {"COLUMN_NAME", S},
                     {"ORDINAL_POSITION", I},
                     {"IS_NULLABLE", B},
                     {"DATA_TYPE", I},
                     {"TYPE_NAME", S},
                     {"CHARACTER_MAXIMUM_LENGTH", L},
                     {"DESCRIPTION", S}});
    case siTablePrivileges:
        return cols({{"GRANTOR", S},
                     {"GRANTEE", S},
                     {"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"PRIVILEGE_TYPE", S},
                     {"IS_GRANTABLE", B}});
    case siColumnPrivileges:
        return cols({{"GRANTOR", S},
                     {"GRANTEE", S},
                     {"TABLE_CATALOG", S},
                     {"TABLE_SCHEMA", S},
                     {"TABLE_NAME", S},
                     {"COLUMN_NAME", S},
                     {"PRIVILEGE_TYPE", S},
                     {"IS_GRANTABLE", B}});
    default:
        return {};
    }
}

void SchemaNotSupported(int kind, const QString& provider) {
    throw EDatabaseError(
        QStringLiteral("Schema %1 is not supported by the %2 provider").arg(SchemaKindName(kind), provider));
}

bool RestrictionMatches(const QVariantList& restrictions, int i, const QString& value) {
    if (i >= restrictions.size()) return true;
    const QVariant& r = restrictions[i];
    if (!r.isValid() || r.isNull() || r.toString().isEmpty()) return true;
    return r.toString().compare(value, Qt::CaseInsensitive) == 0;
}

int OleDbType(TFieldType t) {
    switch (t) {
    case ftSmallint:
        return 2;
    case ftInteger:
    case ftAutoInc:
        return 3;
    case ftSingle:
        return 4;
    case ftFloat:
    case ftExtended:
        return 5;
    case ftCurrency:
        return 6;
    case ftDate:
        return 133;
    case ftTime:
        return 134;
    case ftDateTime:
    case ftTimeStamp:
        return 135;
    case ftBoolean:
        return 11;
    case ftBCD:
    case ftFMTBcd:
        return 131;
    case ftShortint:
        return 16;
    case ftByte:
        return 17;
    case ftWord:
        return 18;
    case ftLongWord:
        return 19;
    case ftLargeint:
        return 20;
    case ftGuid:
        return 72;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
        return 128;
    case ftString:
    case ftFixedChar:
    case ftMemo:
    case ftFmtMemo:
        return 129;
    default:
        return 130; // wide string
    }
}

RowsetWriter::RowsetWriter(ResultSink& sink, int kind) : store_(sink.begin(SchemaColumns(kind))) {
    for (const ColumnDesc& d : SchemaColumns(kind))
        types_.push_back(d.type);
}

void RowsetWriter::add(const QVariantList& values) {
    store_.appendRow(std::vector<QVariant>(values.begin(), values.end()), types_);
}
