#pragma once
// What an import does: the mapping of target fields to source fields, the compare rows that find a
// target record, fixed values, value commands and the type; kept in ".imp" settings files.
#include <QString>
#include <QStringList>
#include <vector>

class TDataSet;

// What happens to a source record (found / not found in the target).
enum class ImportType { AddAll = 0, Update = 1, UpdateAdd = 2, AddMissing = 3 };

struct ImportRow {
    QString target;  // target field name; of a lookup row: the lookup table's column
    QString source;  // source field name; empty: none
    int lookup = -1; // a row of auxiliary lookup table k: its column is matched to the source value and
                     // the table's first field is written into the target field of that name
};

struct ImportSettings {
    ImportType type = ImportType::AddAll;
    std::vector<ImportRow> map;     // mapping rows, in target field order
    std::vector<ImportRow> compare; // compare rows: the key that finds a target record
    QStringList fixed;              // "Field=value" lines; "null" clears the field
    bool fixedAddOnly = false;      // fixed values only for new records
    QStringList calc;               // value command lines
    QString filter;                 // source filter
    bool filtered = false;
};

// ".imp" files: the settings store's text format, one section per wizard control named after the
// window ("kDBImportForm.<control>"); mapping and compare rows are numbered by target field
// position, so the target's fields are needed to read and write them. Loading raises naming the
// file when it cannot be read.
// Rows of auxiliary lookup tables follow the target's fields: per table, its fields but the first.
void SaveImportSettings(const ImportSettings& s, const TDataSet& target, const QString& file,
                        const std::vector<TDataSet*>& lookups = {});
ImportSettings LoadImportSettings(const QString& file, const TDataSet& target,
                                  const std::vector<TDataSet*>& lookups = {});
// The same, as the store's text lines (automatic-run settings hand these over in memory).
QStringList ImportSettingsLines(const ImportSettings& s, const TDataSet& target,
                                const std::vector<TDataSet*>& lookups = {});
ImportSettings ImportSettingsOfLines(const QStringList& lines, const TDataSet& target,
                                     const std::vector<TDataSet*>& lookups = {});
// Whether the lines hold the page's settings (an automatic-run list may hold only the source).
bool HoldsImportSettings(const QStringList& lines);
// The automatic-run settings add the source to the lines above, in section "SourceData": keys
// "ConnectionString", "TableName" and "SelectCmd".
QStringList WithImportSource(const QStringList& lines, const QString& connectionString,
                             const QString& tableName, const QString& selectCmd);
// A key of section "SourceData" (empty when the lines hold none).
QString ImportSourceValue(const QStringList& lines, const QString& key);
// The rows of the field page in order: each target field, then each lookup table's fields but the
// first (with the table's index).
std::vector<ImportRow> ImportRowsOf(const TDataSet& target, const std::vector<TDataSet*>& lookups);
