#pragma once
// tabulo-cli import: the unattended import into a table, from a settings file or from options.
struct CliContext;

int CmdImport(CliContext& ctx);
