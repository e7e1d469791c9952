// tabulo-cli: the engines for batch work and measuring, without windows.
#include "cli_args.h"
#include "connection.h"
#include "conn_string.h"
#include "exceptions.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <map>

namespace {
const char* kUsage =
    "usage: tabulo-cli (--udl FILE | --connect STRING) COMMAND [ARGS]\n"
    "  tables [--views | --both] [--exclude MASK]\n"
    "  schema KIND\n"
    "  open TABLE [--top N] [--sql SELECT] [--filter TEXT] [--sort FIELDS]\n";

struct Command {
    int (*run)(CliContext&);
    bool needsConnection;
};

const std::map<QString, Command>& commands() {
    static const std::map<QString, Command> table = {
        {"tables", {CmdTables, true}},
        {"schema", {CmdSchema, true}},
        {"open", {CmdOpen, true}},
    };
    return table;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.contains("--help") || args.contains("-h")) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    try {
        CliArgs global(args);
        QString udl, connect;
        bool hasUdl = global.take("--udl", udl);
        bool hasConnect = global.take("--connect", connect);
        QStringList rest = global.rest();
        if (rest.isEmpty()) throw UsageError("missing COMMAND");
        QString name = rest.takeFirst();
        auto it = commands().find(name);
        if (it == commands().end()) throw UsageError(("unknown command " + name).toStdString());
        TADOConnection connection;
        CliContext ctx{nullptr, CliArgs(rest)};
        if (it->second.needsConnection) {
            if (hasUdl == hasConnect) throw UsageError("give exactly one of --udl FILE and --connect STRING");
            connection.ConnectionString = hasUdl ? "FILE NAME=" + udl : connect;
            connection.Open();
            ctx.connection = &connection;
        }
        return it->second.run(ctx);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tabulo-cli: %s\n%s", e.what(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabulo-cli: %s\n", MaskPasswords(ExceptionMessage(e)).toUtf8().constData());
        return 1;
    }
}
