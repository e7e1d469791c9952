#include "gen_data_settings.h"

#include "prop_save_file.h"

namespace {
QString columnSection(const QString& section, int col) {
    return section + QStringLiteral(".Column%1").arg(col);
}

QString cell(const StringGridData& g, int col, int row) {
    if (size_t(col) >= g.columns.size()) return QString();
    const QStringList& c = g.columns[size_t(col)];
    return row < c.size() ? c[row] : QString();
}
} // namespace

QString GenSettingsKey(const QString& database, const QString& table) {
    return database + QLatin1Char('.') + table + QStringLiteral(".Actions");
}

void WriteStringGrid(TPropSaveFile& store, const QString& section, const StringGridData& grid) {
    const int oldCols = store.ReadInteger(section, QStringLiteral("ColCount"), 0);
    for (int c = 0; c < std::max<int>(oldCols, int(grid.columns.size())); ++c)
        store.EraseSection(columnSection(section, c));
    store.WriteInteger(section, QStringLiteral("ColCount"), int(grid.columns.size()));
    store.WriteInteger(section, QStringLiteral("RowCount"), int(grid.rowHeights.size()));
    for (size_t r = 0; r < grid.rowHeights.size(); ++r)
        store.WriteInteger(section, QStringLiteral("RowHeight%1").arg(r), grid.rowHeights[r]);
    for (size_t c = 0; c < grid.columns.size(); ++c) {
        const QString cs = columnSection(section, int(c));
        store.WriteStrings(cs, grid.columns[c]);
        store.WriteInteger(cs, QStringLiteral("Width"), c < grid.colWidths.size() ? grid.colWidths[c] : 64);
    }
}

bool ReadStringGrid(TPropSaveFile& store, const QString& section, StringGridData& grid) {
    if (!store.ValueExists(section, QStringLiteral("RowCount"))) return false;
    const int cols = std::clamp(store.ReadInteger(section, QStringLiteral("ColCount"), 0), 0, 1000);
    const int rows = std::clamp(store.ReadInteger(section, QStringLiteral("RowCount"), 0), 0, 1000000);
    grid.rowHeights.assign(size_t(rows), 24);
    for (int r = 0; r < rows; ++r)
        grid.rowHeights[size_t(r)] = store.ReadInteger(section, QStringLiteral("RowHeight%1").arg(r), 24);
    grid.colWidths.assign(size_t(cols), 64);
    grid.columns.assign(size_t(cols), QStringList());
    for (int c = 0; c < cols; ++c) {
        const QString cs = columnSection(section, c);
        grid.colWidths[size_t(c)] = store.ReadInteger(cs, QStringLiteral("Width"), 64);
        QStringList cells;
        if (store.ReadStrings(cs, cells)) grid.columns[size_t(c)] = cells.mid(0, rows);
    }
    return true;
}

const QStringList& GenGridTitles() {
    static const QStringList titles{QString(),
                                    QStringLiteral("Field Name"),
                                    QStringLiteral("Field Type"),
                                    QStringLiteral("Action"),
                                    QStringLiteral("Value / Min..Max"),
                                    QStringLiteral("Table Name"),
                                    QStringLiteral("Field Name")};
    return titles;
}

StringGridData GenGridOf(const std::vector<GenRow>& rows) {
    StringGridData g;
    const size_t n = std::max<size_t>(rows.size(), 1) + 1;
    g.rowHeights.assign(n, 24);
    g.colWidths = {11, 120, 70, 140, 120, 120, 120};
    for (const QString& t : GenGridTitles())
        g.columns.push_back(QStringList{t});
    for (size_t r = 0; r + 1 < n; ++r) {
        const GenRow row = r < rows.size() ? rows[r] : GenRow{};
        const QString cells[] = {QString(), row.fieldName, row.fieldType,  row.action,
                                 row.value, row.tableName, row.sourceField};
        for (int c = 0; c < 7; ++c)
            g.columns[size_t(c)] << cells[c];
    }
    return g;
}

std::vector<GenRow> GenRowsOfGrid(const StringGridData& grid) {
    std::vector<GenRow> rows;
    for (size_t r = 1; r < grid.rowHeights.size(); ++r) {
        const int i = int(r);
        rows.push_back(GenRow{cell(grid, 1, i), cell(grid, 2, i), cell(grid, 3, i), cell(grid, 4, i),
                              cell(grid, 5, i), cell(grid, 6, i)});
    }
    return rows;
}
