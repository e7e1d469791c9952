#pragma once
// tabulo-cli script: the SQL script generator over a table.
struct CliContext;

int CmdScript(CliContext& ctx);
