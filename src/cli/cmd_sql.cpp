// sql FILE: runs the file's GO-separated batches and prints the rows each batch changed.
#include "cli_args.h"
#include "exceptions.h"
#include "sql_batches.h"

#include <QFile>
#include <cstdio>

int CmdSql(CliContext& ctx) {
    const QString path = ctx.args.positional("FILE");
    ctx.args.finish();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read the SQL file \"%1\": %2").arg(path, file.errorString()));
    QString script = QString::fromUtf8(file.readAll());
    if (script.startsWith(QChar(0xFEFF))) script.remove(0, 1); // a byte order mark is no SQL
    const qint64 total = RunSqlBatches(*ctx.connection, script, [](int number, const SqlBatch&, qint64 rows) {
        std::printf("batch %d: %lld rows affected\n", number, static_cast<long long>(rows));
        std::fflush(stdout);
    });
    std::printf("total: %lld rows affected\n", static_cast<long long>(total));
    return 0;
}
