#pragma once
// Argument reading shared by the commands of tabulo-cli.
#include <QStringList>
#include <stdexcept>

class TADOConnection;

// A usage error: exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The index of the first positional argument (the values of options skipped); -1 when there is none.
qsizetype PositionalIndex(const QStringList& args);

class CliArgs {
public:
    explicit CliArgs(QStringList args) : args_(std::move(args)) {}
    // Removes and returns the value of --name (nullopt-like empty + found=false when absent).
    bool take(const QString& name, QString& value);
    bool flag(const QString& name);
    // The next positional argument, wherever the options stand; usage error when missing.
    QString positional(const char* what);
    void finish() const; // usage error on anything left over
    const QStringList& rest() const { return args_; }

private:
    QStringList args_;
};

// Takes --top N (a number of rows); -1 when absent.
int TakeTop(CliArgs& args);
// The statement that reads a table: every row, or the first `top` rows (top >= 0), the name quoted as
// the main window quotes it.
QString TableSelect(const TADOConnection& con, const QString& table, int top);

struct CliContext {
    TADOConnection* connection = nullptr;
    CliArgs args;
};

int CmdTables(CliContext& ctx);
int CmdSchema(CliContext& ctx);
int CmdOpen(CliContext& ctx);
int CmdSql(CliContext& ctx);
