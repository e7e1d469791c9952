#pragma once
// The 40 schema rowset kinds, their column lists (OLE DB names) and a writer that fills a rowset.
#include "provider.h"

enum TSchemaInfo {
    siAsserts,
    siCatalogs,
    siCharacterSets,
    siCollations,
    siColumns,
    siCheckConstraints,
    siConstraintColumnUsage,
    siConstraintTableUsage,
    siKeyColumnUsage,
    siReferentialConstraints,
    siTableConstraints,
    siColumnsDomainUsage,
    siIndexes,
    siColumnPrivileges,
    siTablePrivileges,
    siUsagePrivileges,
    siProcedures,
    siSchemata,
    siSQLLanguages,
    siStatistics,
    siTables,
    siTranslations,
    siProviderTypes,
    siViews,
    siViewColumnUsage,
    siViewTableUsage,
    siProcedureParameters,
    siForeignKeys,
    siPrimaryKeys,
    siProcedureColumns,
    siDBInfoKeywords,
    siDBInfoLiterals,
    siCubes,
    siDimensions,
    siHierarchies,
    siLevels,
    siMeasures,
    siProperties,
    siMembers,
    siProviderSpecific
};
constexpr int kSchemaKindCount = 40;

QString SchemaKindName(int kind);
// Accepts a name ("siTables", case-insensitive) or a number 0-39.
bool SchemaKindFromText(const QString& text, int& kind);

// The columns of a rowset kind (empty for kinds without a defined layout).
std::vector<ColumnDesc> SchemaColumns(int kind);

// Raises the error for a kind a provider does not answer.
[[noreturn]] void SchemaNotSupported(int kind, const QString& provider);

// True when restriction i is absent or equals value (names compare case-insensitively).
bool RestrictionMatches(const QVariantList& restrictions, int i, const QString& value);

// OLE DB type numbers for the DATA_TYPE columns.
int OleDbType(TFieldType t);

class RowsetWriter {
public:
    RowsetWriter(ResultSink& sink, int kind);
    void add(const QVariantList& values);

private:
    ColumnStore& store_;
    std::vector<TFieldType> types_;
};
