#pragma once
// tabulo-cli gendata: the test data generator over a table, its grid read from a settings file.
struct CliContext;

int CmdGenData(CliContext& ctx);
