// import TABLE (--settings FILE.imp | --map T=S[,T=S...]) (--source-udl FILE | --source FILE |
// --source-connect STRING) [--table NAME | --sql SELECT] [--type add|update|update-add|add-missing]
// [--keys T[,T...]] [--fixed T=VALUE]... [--calc T="COMMAND"]... [--check-only]
#include "cmd_import.h"

#include "ado_con_wizard.h"
#include "cli_args.h"
#include "conn_string.h"
#include "connection.h"
#include "dialect.h"
#include "exceptions.h"
#include "import_run.h"
#include "query.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {
QStringList TakeAll(CliArgs& args, const QString& name) {
    QStringList values;
    QString v;
    while (args.take(name, v))
        values << v;
    return values;
}

ImportType TypeOf(const QString& text) {
    static const std::pair<const char*, ImportType> names[] = {{"add", ImportType::AddAll},
                                                               {"update", ImportType::Update},
                                                               {"update-add", ImportType::UpdateAdd},
                                                               {"add-missing", ImportType::AddMissing}};
    for (const auto& [n, t] : names)
        if (text == QLatin1String(n)) return t;
    throw UsageError(("--type takes add, update, update-add or add-missing, not " + text).toStdString());
}

// "T=V": raises a usage error naming the option when there is no "=" or no target.
std::pair<QString, QString> Pair(const QString& item, const char* option) {
    const qsizetype eq = item.indexOf(u'=');
    if (eq <= 0)
        throw UsageError(QStringLiteral("%1 takes TARGET=VALUE, not \"%2\"").arg(option, item).toStdString());
    return {item.left(eq).trimmed(), item.mid(eq + 1)};
}

// Connects to a file through the template connection files of udl_import, as the wizard does.
void ConnectFile(TADOConnection& con, const QString& file) {
    if (!QFileInfo(file).exists()) throw Exception(QStringLiteral("Source file \"%1\" not found.").arg(file));
    TADOConWizard wiz;
    wiz.ADOConnection = &con;
    wiz.ErrDialogShow = 0;
    wiz.UDLFilePath = QCoreApplication::applicationDirPath() + QStringLiteral("/udl_import/");
    wiz.UDLFileMask = QStringLiteral("*_") + QFileInfo(file).suffix() + QStringLiteral(".udl");
    if (!wiz.ConnectToFile(QFileInfo(file).absoluteFilePath(), true)) {
        QStringList errors;
        for (const QString& line : wiz.LogText)
            if (line.startsWith(QStringLiteral("ADO ERROR: ")) ||
                line.startsWith(QStringLiteral("No UDL File")))
                errors << line;
        throw Exception(QStringLiteral("Cannot open source file \"%1\". %2").arg(file, errors.join(u' ')));
    }
}

// The source table of a file when none is named: a text or dBase file's own name, else the table
// named like the file, else the first.
QString DefaultTable(TADOConnection& con, const QString& file) {
    const QFileInfo fi(file);
    const QString ext = fi.suffix().toLower();
    if (ext == "dbf" || ext == "txt" || ext == "csv") return fi.fileName();
    QStringList tables;
    con.GetTableNames(tables, ext == "xls");
    if (tables.isEmpty()) throw Exception(QStringLiteral("Source file \"%1\" holds no table.").arg(file));
    for (const QString& t : tables)
        if (t.compare(fi.completeBaseName(), Qt::CaseInsensitive) == 0) return t;
    return tables.first();
}

QString SelectOf(const TADOConnection& con, const QString& table) {
    const QString name =
        table.indexOf(u'$') == table.size() - 1 ? u'[' + table + u']' : con.dialect().quoteIdentifier(table);
    return QStringLiteral("SELECT * FROM %1 WHERE 1=1").arg(name);
}
} // namespace

int CmdImport(CliContext& ctx) {
    CliArgs& args = ctx.args;
    const QString table = args.positional("TABLE");
    QString settingsFile, map, sourceUdl, sourceFile, sourceConnect, sourceTable, sourceSql, type, keys;
    const bool hasSettings = args.take("--settings", settingsFile);
    const bool hasMap = args.take("--map", map);
    const int sources = int(args.take("--source-udl", sourceUdl)) + int(args.take("--source", sourceFile)) +
                        int(args.take("--source-connect", sourceConnect));
    const bool hasTable = args.take("--table", sourceTable);
    const bool hasSql = args.take("--sql", sourceSql);
    const bool hasType = args.take("--type", type);
    const bool hasKeys = args.take("--keys", keys);
    const QStringList fixed = TakeAll(args, "--fixed");
    const QStringList calc = TakeAll(args, "--calc");
    const bool checkOnly = args.flag("--check-only");
    args.finish();
    if (hasSettings == hasMap)
        throw UsageError("import needs exactly one of --settings FILE.imp and --map T=S,...");
    if (sources != 1)
        throw UsageError("import needs exactly one of --source-udl, --source and --source-connect");
    if (hasTable && hasSql) throw UsageError("give --table or --sql, not both");
    const ImportType importType = hasType ? TypeOf(type) : ImportType::AddAll;
    for (const QString& f : fixed)
        Pair(f, "--fixed");
    for (const QString& c : calc)
        Pair(c, "--calc");

    TADOConnection& con = *ctx.connection;
    // The target opens without rows: an add needs only its fields, and the other types read the rows
    // they need as they go.
    TADOQuery target(&con);
    const QString allRows = TableSelect(con, table, -1);
    target.SQL = allRows + QStringLiteral(" WHERE 1=0");
    target.Open();

    TADOConnection src;
    if (!sourceFile.isEmpty()) {
        ConnectFile(src, sourceFile);
    } else {
        src.ConnectionString = sourceUdl.isEmpty() ? sourceConnect : ConnectionFileString(sourceUdl);
        src.Open();
    }
    TADOQuery source(&src);
    source.ReadOnly = true;
    if (hasSql) {
        source.SQL = sourceSql;
    } else if (hasTable) {
        source.SQL = SelectOf(src, sourceTable);
    } else if (!sourceFile.isEmpty()) {
        source.SQL = SelectOf(src, DefaultTable(src, sourceFile));
    } else {
        throw UsageError("import from a connection needs --table NAME or --sql SELECT");
    }

    ImportEngine engine(target, source, &con);
    engine.keepAddedRows = false; // nothing reads the target after the run
    ImportSettings& s = engine.settings;
    if (hasSettings) {
        s = LoadImportSettings(settingsFile, target);
    } else {
        for (const QString& item : map.split(u',', Qt::SkipEmptyParts)) {
            const auto [t, f] = Pair(item, "--map");
            s.map.push_back({t, f.trimmed()});
        }
    }
    // A filter needs the whole source; without one a text file is read block by block in each pass.
    if (s.filtered && !s.filter.isEmpty()) {
        source.Open();
        source.setFilter(s.filter);
        source.setFiltered(true);
    } else if (!engine.streamSource()) {
        source.Open();
    }
    if (hasType) s.type = importType;
    if (hasKeys) {
        s.compare.clear();
        for (const QString& k : keys.split(u',', Qt::SkipEmptyParts)) {
            QString from = k.trimmed();
            for (const ImportRow& r : s.map)
                if (r.target.compare(k.trimmed(), Qt::CaseInsensitive) == 0) from = r.source;
            s.compare.push_back({k.trimmed(), from});
        }
    }
    s.fixed << fixed;
    s.calc << calc;
    // An update reads the target rows its source records look for (or, where the keys do not allow
    // that, all of them).
    engine.targetSelect = allRows;
    QStringList calcErrors;
    engine.parseCalcs(&calcErrors);
    if (!calcErrors.isEmpty())
        throw UsageError(("--calc: " + calcErrors.join(QStringLiteral("; "))).toStdString());

    const ImportCheckCounts check = engine.check();
    std::printf("%s\n", ImportEngine::CheckTotalsLine(check).toUtf8().constData());
    if (checkOnly) return 0;
    engine.LogCallBack = [](const QString& line, int level, bool&) {
        if (level == llError) std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    };
    const ImportRunCounts r = engine.run();
    std::printf("%s\n", ImportEngine::RunTotalsLine(r).toUtf8().constData());
    return r.err > 0 ? 1 : 0;
}
