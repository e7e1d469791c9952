#pragma once
// A grid on a real SQLite table, bound to the action module, with scripted message boxes; the
// database is read back through a connection of its own.
#include "connection.h"
#include "db_action.h"
#include "db_grid_ms.h"
#include "query.h"
#include "scripted_messages.h"
#include "test_util.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <gtest/gtest.h>

class GridActionTest : public ::testing::Test {
protected:
    // t: id (auto key), name TEXT, note MEMO, qty INTEGER NOT NULL-free, born DATE.
    static constexpr const char* kSchema = "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, "
                                           "note MEMO, qty INTEGER CHECK (qty >= 0),"
                                           " born DATE);";

    void SetUp() override {
        path = dir.path("g.sqlite");
        MakeSqliteDb(path, QString::fromLatin1(kSchema) + "INSERT INTO t (name, note, qty, born) VALUES"
                                                          " ('plain', 'line 1\nline 2', 5, '2020-01-02'),"
                                                          " ('tab\there', 'say \"hi\"', NULL, NULL),"
                                                          " (NULL, NULL, 7, '1999-12-31');");
        con.ConnectionString = "Provider=SQLite;Data Source=" + path;
        con.Open();
        openGrid(grid, q, source, "SELECT * FROM t ORDER BY id");
        actions.SetActiveGrid(&grid);
    }
    void openGrid(TkDBGrid& g, TADOQuery& query, TDataSource& src, const QString& sql) {
        query.Connection = &con;
        query.SQL = sql;
        query.Open();
        for (int i = 0; i < query.FieldCount(); ++i)
            query.Fields(i)->Tag = 1;
        src.setDataSet(&query);
        g.resize(700, 300);
        g.setDataSource(&src);
        g.show();
    }
    // Rows of a query on a fresh connection, values joined by "|", NULL as "~".
    QStringList table(const QString& sql = "SELECT * FROM t ORDER BY id") {
        TADOConnection c;
        c.ConnectionString = "Provider=SQLite;Data Source=" + path;
        c.Open();
        TADOQuery r;
        r.Connection = &c;
        r.SQL = sql;
        r.Open();
        QStringList rows;
        for (int row = 0; row < r.RecordCount(); ++row) {
            QStringList values;
            for (int i = 0; i < r.FieldCount(); ++i) {
                QVariant v = r.valueAt(r.Fields(i), row);
                values << (v.isValid() ? r.Fields(i)->formatValue(v) : QStringLiteral("~"));
            }
            rows << values.join('|');
        }
        return rows;
    }
    QAction* act(const char* name) { return actions.action(QString::fromLatin1(name)); }
    // Runs a command as a click would: nothing happens while it is disabled.
    void run(const char* name) {
        actions.RefreshAction();
        act(name)->trigger();
    }
    void setCurrent(int row, int column) { grid.setCurrentIndex(grid.model()->index(row, column)); }
    QString clipboard() const { return QApplication::clipboard()->text(); }

    TempDir dir;
    QString path;
    TADOConnection con;
    TADOQuery q;
    TDataSource source;
    TkDBGrid_MS grid;
    TkDBAction actions;
    ScopedScriptedMessages messages;
};
