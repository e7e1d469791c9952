#include "export_fixture.h"

#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {
std::unique_ptr<OpenedTable> Open(const QString& dbPath, const QString& table) {
    auto t = std::make_unique<OpenedTable>();
    t->connection.ConnectionString = "Provider=SQLite;Data Source=" + dbPath;
    t->connection.Open();
    t->query.SQL = QStringLiteral("SELECT * FROM \"%1\"").arg(table);
    t->query.Open();
    return t;
}
} // namespace

std::unique_ptr<OpenedTable> OpenTable(const TempDir& dir, const QString& sql, const QString& table) {
    return Open(MakeSqliteDb(dir.path("t.sqlite"), sql), table);
}

std::unique_ptr<OpenedTable> OpenDemoTable(const QString& table) {
    return Open(ProgramDir() + "/demo.sqlite", table);
}

const char* const kTwoBlockTable =
    "CREATE TABLE big (id INTEGER PRIMARY KEY, txt VARCHAR(12), f REAL, d DATE);"
    "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 70000) "
    "INSERT INTO big SELECT i, CASE WHEN i % 5 = 0 THEN NULL WHEN i = 69000 THEN "
    "'a text; much \"longer\" than the others' ELSE 'a;\"' || i END, i / 4.0, "
    "date('2000-01-01', '+' || (i % 5000) || ' days') FROM s;";

QStringList CrLfLines(const QByteArray& data) {
    EXPECT_TRUE(data.endsWith("\r\n")) << data.right(20).toStdString();
    QStringList lines = QString::fromUtf8(data).split("\r\n");
    lines.removeLast();
    return lines;
}

QString Python() {
    return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");
}

QJsonObject ReadWorkbook(const QString& path, const QString& sheet) {
    const QString script = QStringLiteral(
        "import datetime, json, sys, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "ws = wb[sys.argv[2]] if sys.argv[2] else wb.active\n"
        "def rgb(c):\n"
        "    return c.rgb if c is not None and c.type == 'rgb' else None\n"
        "def v(x):\n"
        "    return x.isoformat() if isinstance(x, (datetime.date, datetime.time)) else x\n"
        "cells = {}\n"
        "for c in ws._cells.values():\n" // the cells in the file, not the empty ones between
        "    cells[c.coordinate] = [v(c.value), c.data_type, c.number_format, bool(c.font.b),\n"
        "                           c.border.left.style or '', c.font.name, c.font.sz, rgb(c.font.color),\n"
        "                           rgb(c.fill.fgColor) if c.fill.fill_type == 'solid' else None]\n"
        "def cfvo(v): return [v.type, v.val]\n"
        "rules = []\n"
        "for cf in ws.conditional_formatting:\n"
        "    for r in cf.rules:\n"
        "        x = r.dataBar or r.colorScale or r.iconSet\n"
        "        colors = [rgb(c) for c in (x.color if r.colorScale else [x.color] if r.dataBar else [])]\n"
        "        rules.append([str(cf.sqref), r.type, r.priority, [cfvo(v) for v in x.cfvo], colors,\n"
        "                      getattr(x, 'iconSet', None), getattr(x, 'showValue', None)])\n"
        "pr = ws.sheet_properties.pageSetUpPr\n"
        "print(json.dumps({'title': ws.title, 'sheets': wb.sheetnames, 'active': wb.active.title,\n"
        "    'freeze': ws.freeze_panes, 'dimension': ws.dimensions,\n"
        "    'heights': {str(k): d.height for k, d in ws.row_dimensions.items() if d.height},\n"
        "    'filter': ws.auto_filter.ref, 'zoom': ws.sheet_view.zoomScale, 'scale': ws.page_setup.scale,\n"
        "    'fit': bool(pr and pr.fitToPage), 'cells': cells, 'conditional': rules,\n"
        "    'widths': {k: d.width for k, d in ws.column_dimensions.items()}}))\n");
    QByteArray out, err;
    EXPECT_EQ(RunProgram(Python(), {"-c", script, path, sheet}, &out, &err), 0) << err.toStdString();
    return QJsonDocument::fromJson(out).object();
}
