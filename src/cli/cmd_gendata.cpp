// gendata TABLE --count N [--settings FILE] [--update]
#include "cmd_gendata.h"

#include "cli_args.h"
#include "connection.h"
#include "exceptions.h"
#include "gen_data.h"
#include "gen_data_settings.h"
#include "prop_save_file.h"
#include "query.h"

#include <QFileInfo>
#include <cstdio>

namespace {
// The generator grid saved for the table: under the window's key for this database, else under the
// key of any database for a table of that name.
std::vector<GenRow> savedRows(TPropSaveFile& store, const QString& database, const QString& table,
                              const QString& file) {
    StringGridData grid;
    if (ReadStringGrid(store, GenSettingsKey(database, table), grid)) return GenRowsOfGrid(grid);
    const QString tail = GenSettingsKey(QString(), table);
    for (const QString& section : store.Content().ReadSections())
        if (section.endsWith(tail, Qt::CaseInsensitive) && ReadStringGrid(store, section, grid))
            return GenRowsOfGrid(grid);
    throw Exception(QStringLiteral("%1: no generator settings for table \"%2\" (section \"%3\")")
                        .arg(file, table, GenSettingsKey(database, table)));
}
} // namespace

int CmdGenData(CliContext& ctx) {
    const QString table = ctx.args.positional("TABLE");
    QString countText, settingsFile;
    if (!ctx.args.take("--count", countText)) throw UsageError("gendata needs --count N");
    const bool hasSettings = ctx.args.take("--settings", settingsFile);
    const bool update = ctx.args.flag("--update");
    ctx.args.finish();
    bool ok;
    const int count = countText.toInt(&ok);
    if (!ok || count < 1 || count > 10000000)
        throw UsageError(("--count takes a number from 1 to 10000000, not " + countText).toStdString());

    TPropSaveFile store;
    store.DisableAll = true; // the command only reads settings
    if (hasSettings) {
        if (!QFileInfo(settingsFile).isFile())
            throw Exception(QStringLiteral("Settings file \"%1\" not found").arg(settingsFile));
        store.FileName = QFileInfo(settingsFile).absoluteFilePath();
    } else {
        store.FileName = store.DefaultFileName();
    }
    store.Loaded();

    TADOConnection& con = *ctx.connection;
    TADOQuery q(&con);
    // Inserting needs only the fields; updating rewrites the first N records, as the window rewrites
    // the records the main window loaded.
    q.SQL = TableSelect(con, table, update ? count : 0);
    q.Open();

    TADOConnection demo;
    TestDataGenerator gen(q, con, &demo);
    gen.rows = savedRows(store, con.DefaultDatabase(), table, store.GetFileName());
    for (const GenRow& r : gen.rows)
        if (GenFromDemo(GenActionOf(r.action)) && !demo.Connected()) {
            demo.ConnectionString = GenDemoConnectionString();
            if (!QFileInfo(GenDemoDatabasePath()).isFile())
                throw Exception(
                    QStringLiteral("Connection to database \"%1\" failed.").arg(GenDemoDatabasePath()));
            demo.Open();
        }
    gen.insert = !update;
    gen.count = count;
    gen.OnRecordError = [&](const QString& message) {
        std::fprintf(stderr, "tabulo-cli: record %d: %s\n", gen.insert ? q.RecordCount() + 1 : q.RecNo(),
                     message.toUtf8().constData());
        return GenErrorAnswer::Skip;
    };
    const GenResult r = gen.Run();
    std::printf("%s\n", TestDataGenerator::ResultText(gen.insert, r.records).toUtf8().constData());
    return r.failed > 0 ? 1 : 0;
}
