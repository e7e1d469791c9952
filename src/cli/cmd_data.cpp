// The commands that read data: tables, schema, open.
#include "cli_args.h"
#include "connection.h"
#include "copy_writer.h"
#include "exceptions.h"
#include "query.h"
#include "schema_rowsets.h"
#include "table_list.h"

#include <cstdio>

int CmdTables(CliContext& ctx) {
    bool views = ctx.args.flag("--views"), both = ctx.args.flag("--both");
    QString mask;
    ctx.args.take("--exclude", mask);
    ctx.args.finish();
    TADOQuery q;
    ctx.connection->OpenSchema(siTables, {}, q);
    const TableChoice choice = both ? TableChoice::Both : views ? TableChoice::Views : TableChoice::Tables;
    for (const QString& n : TableNamesOf(q, choice, mask))
        std::printf("%s\n", n.toUtf8().constData());
    return 0;
}

int CmdSchema(CliContext& ctx) {
    QString kindText = ctx.args.positional("schema KIND");
    ctx.args.finish();
    int kind;
    if (!SchemaKindFromText(kindText, kind))
        throw UsageError(("unknown schema kind " + kindText).toStdString());
    TADOQuery q;
    ctx.connection->OpenSchema(kind, {}, q);
    CopyWriter(stdout).write(q);
    return 0;
}

int CmdOpen(CliContext& ctx) {
    QString table = ctx.args.positional("TABLE");
    QString sql, filter, sort;
    int top = TakeTop(ctx.args);
    bool hasSql = ctx.args.take("--sql", sql);
    bool hasFilter = ctx.args.take("--filter", filter);
    bool hasSort = ctx.args.take("--sort", sort);
    ctx.args.finish();
    // open reads: a statement that returns no rows or changes data is refused before it runs.
    if (hasSql && !ctx.connection->provider().readsOnly(sql))
        throw Exception(QStringLiteral("--sql: open only reads; the statement must return rows and change "
                                       "nothing (the sql command runs statements that change data)"));
    TADOQuery q(ctx.connection);
    q.ReadOnly = true;
    q.SQL = hasSql ? sql : TableSelect(*ctx.connection, table, top);
    CopyWriter out(stdout);
    // Without a filter or sort the rows are written as they come, block by block, and never held.
    const bool stream = !hasFilter && !hasSort;
    if (stream) {
        q.OnBlock = [&out](TDataSet& ds, bool) {
            if (ds.store().fetchedRows() == ds.store().rowCount()) out.writeTitles(ds);
            out.writeRows(ds);
        };
    }
    if (hasSql) {
        // What a prepared statement does not tell (a data-changing WITH part that returns rows on a
        // server) is undone: the rows are read in a transaction that is rolled back.
        ctx.connection->BeginTrans();
        try {
            q.Open();
        } catch (...) {
            ctx.connection->RollbackTrans();
            throw;
        }
        ctx.connection->RollbackTrans();
    } else {
        q.Open();
    }
    if (hasFilter) {
        q.setFilter(filter);
        q.setFiltered(true);
    }
    if (hasSort) q.setSort(sort);
    if (!stream) out.write(q);
    return 0;
}
