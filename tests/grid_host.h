#pragma once
// A grid over a real SQLite table for window tests: the database in a temporary folder, the connection,
// the open query, its data source and the grid bound to it.
#include "connection.h"
#include "dataset.h"
#include "field.h"
#include "query.h"
#include "test_util.h"

// The lookup table "lk" made by sql on a connection, open in the order of its rows.
struct LookupTable {
    LookupTable(TADOConnection& con, const QString& sql) : q(&con) {
        con.Execute(sql);
        q.SQL = "SELECT * FROM lk ORDER BY rowid";
        q.Open();
    }
    TADOQuery q;
};

// Adds a lookup field to ds: keyField of ds looked up as lookupKey of lookup, showing result.
inline TField* AddLookupField(TDataSet& ds, const QString& name, TFieldType type, const QString& keyField,
                              TDataSet& lookup, const QString& lookupKey, const QString& result) {
    TField* f = ds.addVirtualField(name, type, fkLookup);
    f->KeyFields = keyField;
    f->LookupDataSet = &lookup;
    f->LookupKeyFields = lookupKey;
    f->LookupResultField = result;
    return f;
}

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
