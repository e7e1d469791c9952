// tabulo-cli: the engines for batch work and measuring, without windows.
#include "cli_args.h"
#include "cmd_export.h"
#include "cmd_gendata.h"
#include "cmd_import.h"
#include "cmd_print.h"
#include "cmd_report.h"
#include "cmd_script.h"
#include "conn_string.h"
#include "connection.h"
#include "exceptions.h"
#include "quiet_start.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {
const char* kUsage =
    "usage: tabulo-cli (--udl FILE | --connect STRING) COMMAND [ARGS]\n"
    "  tables [--views | --both] [--exclude MASK]   table names, one a line, sorted\n"
    "  schema KIND                       a schema rowset (a name such as siTables, or 0-39)\n"
    "  open TABLE [--top N] [--sql SELECT] [--filter TEXT] [--sort FIELDS]\n"
    "         schema and open write PostgreSQL COPY text; --top N is a number of rows\n"
    "  script TABLE --type insert|update [--keys F,..] [--values F,..] [--delete-all] [--identity-insert]\n"
    "         [--add TEXT] [--dialect mssql|sqlite|postgresql|mysql]\n"
    "  sql FILE                          runs GO-separated batches, prints rows affected per batch\n"
    "  export TABLE --format text|sylk|xlsx --out FILE [--top N] [--no-titles] [--field-names] "
    "[--all-fields]\n"
    "         [--trim] [--encoding NAME] [--action show|print]\n"
    "         text: [--delimited] [--separator TEXT (#9 is a tab)] [--quote TEXT] [--fill CHAR] [--memos]\n"
    "               [--append] [--all-as-text]\n"
    "         sylk: [--sums] [--font NAME|nil] [--no-widths] [--id-line TEXT]\n"
    "         xlsx: [--sums] [--font NAME] [--font-size N] [--no-widths] [--sheet NAME] [--borders]\n"
    "               [--wrap-memos] [--freeze] [--auto-filter] [--date-format F] [--time-format F]\n"
    "               [--num-format F] [--zoom N] [--page-zoom N] [--start-row N] [--start-col N]\n"
    "               [--append | --new-sheet]  (an existing workbook keeps its other sheets)\n"
    "  report TABLE --template FILE --out FILE [--top N] [--action save|show|print]\n"
    "         [--dataset B=\"SELECT ...\"]... the next slots in order; :A.FIELD in it is a parameter\n"
    "               from the current record of an earlier slot, so B follows A (master-detail)\n"
    "         [--var NAME=VALUE]... [--set PROPERTY=VALUE]...\n"
    "         --set: DefaultCalcFormat, DefaultNumericFormat, DefaultBooleanFormat, DefaultDateFormat,\n"
    "               DefaultTimeFormat, ConvertScientificFormat, FieldNotFoundValue, RaiseUnknownField,\n"
    "               MemoReplaces (OLD=NEW, repeatable), PrintCopies, DefaultMemoFormat\n"
    "               (text|rtf|auto|rtfline|plain); RTF and text: DefaultCharset, ExtractEOLAfterIf,\n"
    "               AppendToFile, TxtCodePage (852, 1250, ...); DOCX/ODT: JoinTouchingTables,\n"
    "               InlineFormatting (START#9END#9PROPS, repeatable), RtfSupportedFormats\n"
    "               (rtfBold,rtfItalic,...), RtfCustomFormats (repeatable)\n"
    "         the template's extension picks the engine: .docx/.docm/.dotx Word, .odt/.ott ODF text,\n"
    "         .fodt/.xml flat ODF XML, .txt text, .rtf (or any other) RTF\n"
    "  print TABLE (--out FILE.pdf | --rtf FILE.rtf) [--top N] [--paper A4|Letter|Legal|A3|A5|B5|Executive]\n"
    "         [--landscape] [--title TEXT] [--sums] [--font-size N]\n"
    "         --out (direct print): [--page-numbers] [--count] [--grid] [--fit] [--all-fields]\n"
    "  gendata TABLE --count N [--settings FILE] [--update]\n"
    "         the generator grid saved for the table (\"Save settings\" of the window) in FILE, else in\n"
    "         the program's settings file; inserts N records, or with --update rewrites the first N\n"
    "  import TABLE (--settings FILE.imp | --map T=S[,T=S...]) (--source-udl FILE | --source FILE |\n"
    "         --source-connect STRING) [--table NAME | --sql SELECT] [--type "
    "add|update|update-add|add-missing]\n"
    "         [--keys T[,T...]] [--fixed T=VALUE]... [--calc T=\"COMMAND\"]... [--check-only]\n"
    "tabulo-cli words NUMBER [--lang en|cs] [--currency short|long|TEXT]   (English by default)\n"
    "tabulo-cli barcode TYPE DATA --out FILE.png [--checksum | --no-checksum] [--width N | --module N]\n"
    "  --module: pixels of the narrowest bar (1 to 49, default 3); --width: the widest module that fits\n"
    "  TYPE: Code_2_5_interleaved, Code_2_5_industrial, Code_2_5_matrix, Code39, Code39Extended,\n"
    "  Code128A, Code128B, Code128C, Code93, Code93Extended, CodeMSI, CodePostNet, CodeCodabar,\n"
    "  CodeEAN8, CodeEAN13, CodeEANAuto, CodeUPC_A, CodeUPC_E0, CodeUPC_E1, CodeUPC_Supp2,\n"
    "  CodeUPC_Supp5, CodeEAN128A, CodeEAN128B, CodeEAN128C\n"
    "tabulo-cli --version | --help\n";

struct Command {
    int (*run)(CliContext&);
    bool needsConnection;
    bool needsGui = false; // draws text: fonts need a GUI application
};

const std::map<QString, Command>& commands() {
    static const std::map<QString, Command> table = {
        {"tables", {CmdTables, true}},
        {"schema", {CmdSchema, true}},
        {"open", {CmdOpen, true}},
        {"script", {CmdScript, true}},
        {"sql", {CmdSql, true}},
        {"export", {CmdExport, true}},
        {"report", {CmdReport, true, true}},
        {"gendata", {CmdGenData, true}},
        {"import", {CmdImport, true}},
        {"words", {CmdWords, false}},
        {"barcode", {CmdBarcode, false, true}},
        {"print", {CmdPrint, true, true}},
    };
    return table;
}

// A GUI application (on the offscreen platform unless another is asked for, so no display is
// needed) for the commands that draw; the others start faster without one.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const qsizetype at = PositionalIndex(args);
    auto it = at < 0 ? commands().end() : commands().find(args[at]);
    if (it != commands().end() && it->second.needsGui) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}
} // namespace

int main(int argc, char** argv) {
    QuietStart quiet;
    std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    // The same name as the window program, so both find the same installed data folder.
    QCoreApplication::setApplicationName(QStringLiteral("Tabulo"));
    QStringList args = app->arguments().mid(1);
    if (args.isEmpty() || args.contains("--help") || args.contains("-h")) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.contains("--version")) {
        std::printf("tabulo-cli %s\n", TABULO_VERSION);
        return 0;
    }
    try {
        CliArgs global(args);
        QString udl, connect;
        bool hasUdl = global.take("--udl", udl);
        bool hasConnect = global.take("--connect", connect);
        QString name = global.positional("COMMAND");
        auto it = commands().find(name);
        if (it == commands().end()) throw UsageError(("unknown command " + name).toStdString());
        TADOConnection connection;
        CliContext ctx{nullptr, CliArgs(global.rest())};
        if (it->second.needsConnection) {
            if (hasUdl == hasConnect) throw UsageError("give exactly one of --udl FILE and --connect STRING");
            connection.ConnectionString = hasUdl ? ConnectionFileString(udl) : connect;
            connection.Open();
            ctx.connection = &connection;
        }
        return it->second.run(ctx);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tabulo-cli: %s\n%s", e.what(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabulo-cli: %s\n", ExceptionMessage(e).toUtf8().constData());
        return 1;
    }
}
