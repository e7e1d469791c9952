// sql FILE: runs the file's GO-separated batches and prints the rows each batch changed.
#include "cli_args.h"
#include "exceptions.h"
#include "sql_batches.h"
#include "text_file.h"

#include <cstdio>

int CmdSql(CliContext& ctx) {
    const QString path = ctx.args.positional("FILE");
    ctx.args.finish();
    const QString script = ReadTextFile(path, QStringLiteral("SQL file"));
    const qint64 total = RunSqlBatches(*ctx.connection, script, [](int number, const SqlBatch&, qint64 rows) {
        std::printf("batch %d: %lld rows affected\n", number, static_cast<long long>(rows));
        std::fflush(stdout);
    });
    std::printf("total: %lld rows affected\n", static_cast<long long>(total));
    return 0;
}
