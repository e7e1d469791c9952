#include "import_settings.h"

#include "dataset.h"
#include "exceptions.h"
#include "prop_save_file.h"

#include <QFileInfo>

namespace {
const QString kForm = QStringLiteral("kDBImportForm");
const QString kSourceData = QStringLiteral("SourceData");
QString Sec(const QString& control) {
    return kForm + u'.' + control;
}
QString MapBox(int i) {
    return QStringLiteral("sb1cb%1_nostore").arg(i);
}
QString CompareBox(int i) {
    return QStringLiteral("sb2cb%1_nostore").arg(i);
}

QString SourceOf(const std::vector<ImportRow>& rows, const ImportRow& row) {
    for (const ImportRow& r : rows)
        if (r.lookup == row.lookup && r.target.compare(row.target, Qt::CaseInsensitive) == 0) return r.source;
    return QString();
}

void Write(TPropSaveFile& store, const ImportSettings& s, const TDataSet& target,
           const std::vector<TDataSet*>& lookups) {
    store.WriteInteger(Sec("rgTyp"), "ItemIndex", int(s.type));
    store.WriteStrings(Sec("mVal"), s.fixed);
    store.WriteBool(Sec("chUseValAddOnly"), "Checked", s.fixedAddOnly);
    store.WriteStrings(Sec("mCalc"), s.calc);
    const std::vector<ImportRow> rows = ImportRowsOf(target, lookups);
    for (int i = 0; i < int(rows.size()); ++i) {
        store.WriteString(Sec(MapBox(i)), "Text", SourceOf(s.map, rows[size_t(i)]));
        store.WriteString(Sec(CompareBox(i)), "Text", SourceOf(s.compare, rows[size_t(i)]));
    }
    store.WriteString(kForm, "Filter", s.filter);
    store.WriteBool(kForm, "Filtered", s.filtered);
}

ImportSettings Read(TPropSaveFile& store, const TDataSet& target, const std::vector<TDataSet*>& lookups) {
    ImportSettings s;
    const int type = store.ReadInteger(Sec("rgTyp"), "ItemIndex", 0);
    s.type = type >= 0 && type <= 3 ? ImportType(type) : ImportType::AddAll;
    store.ReadStrings(Sec("mVal"), s.fixed);
    s.fixedAddOnly = store.ReadBool(Sec("chUseValAddOnly"), "Checked", false);
    store.ReadStrings(Sec("mCalc"), s.calc);
    const std::vector<ImportRow> rows = ImportRowsOf(target, lookups);
    for (int i = 0; i < int(rows.size()); ++i) {
        const ImportRow& row = rows[size_t(i)];
        const QString map = store.ReadString(Sec(MapBox(i)), "Text");
        const QString cmp = store.ReadString(Sec(CompareBox(i)), "Text");
        if (!map.isEmpty()) s.map.push_back({row.target, map, row.lookup});
        if (!cmp.isEmpty()) s.compare.push_back({row.target, cmp, row.lookup});
    }
    s.filter = store.ReadString(kForm, "Filter");
    s.filtered = store.ReadBool(kForm, "Filtered", false);
    return s;
}

void MemoryStore(TPropSaveFile& store) {
    store.DisableAll = true;
    store.OnLoadContent = [](TPropSaveFile*) {};
    store.OnSaveContent = [](TPropSaveFile*) {};
}
} // namespace

std::vector<ImportRow> ImportRowsOf(const TDataSet& target, const std::vector<TDataSet*>& lookups) {
    std::vector<ImportRow> rows;
    for (int i = 0; i < target.FieldCount(); ++i)
        rows.push_back({target.Fields(i)->FieldName, QString()});
    for (int k = 0; k < int(lookups.size()); ++k)
        if (lookups[size_t(k)] && lookups[size_t(k)]->Active())
            for (int i = 1; i < lookups[size_t(k)]->FieldCount(); ++i)
                rows.push_back({lookups[size_t(k)]->Fields(i)->FieldName, QString(), k});
    return rows;
}

QStringList ImportSettingsLines(const ImportSettings& s, const TDataSet& target,
                                const std::vector<TDataSet*>& lookups) {
    TPropSaveFile store;
    MemoryStore(store);
    store.Loaded();
    Write(store, s, target, lookups);
    return store.GetStrings();
}

ImportSettings ImportSettingsOfLines(const QStringList& lines, const TDataSet& target,
                                     const std::vector<TDataSet*>& lookups) {
    TPropSaveFile store;
    MemoryStore(store);
    store.Loaded();
    store.SetStrings(lines);
    return Read(store, target, lookups);
}

QStringList WithImportSource(const QStringList& lines, const QString& connectionString,
                             const QString& tableName, const QString& selectCmd) {
    TPropSaveFile store;
    MemoryStore(store);
    store.Loaded();
    store.SetStrings(lines);
    store.WriteString(kSourceData, "ConnectionString", connectionString);
    store.WriteString(kSourceData, "TableName", tableName);
    store.WriteString(kSourceData, "SelectCmd", selectCmd);
    return store.GetStrings();
}

bool HoldsImportSettings(const QStringList& lines) {
    TPropSaveFile store;
    MemoryStore(store);
    store.Loaded();
    store.SetStrings(lines);
    return store.SectionExists(Sec("rgTyp"));
}

QString ImportSourceValue(const QStringList& lines, const QString& key) {
    TPropSaveFile store;
    MemoryStore(store);
    store.Loaded();
    store.SetStrings(lines);
    return store.ReadString(kSourceData, key);
}

void SaveImportSettings(const ImportSettings& s, const TDataSet& target, const QString& file,
                        const std::vector<TDataSet*>& lookups) {
    TPropSaveFile store;
    MemoryStore(store);
    store.Loaded();
    Write(store, s, target, lookups);
    store.DisableAll = false;
    store.OnSaveContent = nullptr;
    if (!store.SaveFile(QFileInfo(file).absoluteFilePath()))
        throw Exception(QStringLiteral("Cannot write import settings \"%1\".").arg(file));
    store.DisableAll = true; // written once; the destructor writes nothing more
}

ImportSettings LoadImportSettings(const QString& file, const TDataSet& target,
                                  const std::vector<TDataSet*>& lookups) {
    if (!QFileInfo(file).isFile())
        throw Exception(QStringLiteral("Import settings file \"%1\" not found.").arg(file));
    TPropSaveFile store;
    store.DisableAll = true;
    store.FileName = QFileInfo(file).absoluteFilePath();
    store.Loaded();
    if (!store.SectionExists(Sec("rgTyp")))
        throw Exception(QStringLiteral("\"%1\" holds no import settings (section \"%2\" missing).")
                            .arg(file, Sec("rgTyp")));
    return Read(store, target, lookups);
}
