#pragma once
// A grid over a real SQLite table for window tests: the database in a temporary folder, the connection,
// the open query, its data source and the grid bound to it.
#include "connection.h"
#include "dataset.h"
#include "query.h"
#include "test_util.h"

template <class Grid> class GridOnTable {
public:
    // Creates the database file from sql, opens select on it and binds the grid.
    void openTable(const QString& sql, const QString& select) {
        MakeSqliteDb(dir.path("w.sqlite"), sql);
        con.ConnectionString = "Provider=SQLite;Data Source=" + dir.path("w.sqlite");
        con.Open();
        q.Connection = &con;
        q.SQL = select;
        q.Open();
        src.setDataSet(&q);
        grid.setDataSource(&src);
    }

    TempDir dir;
    TADOConnection con;
    TADOQuery q;
    TDataSource src;
    Grid grid;
};
