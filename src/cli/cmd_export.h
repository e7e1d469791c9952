#pragma once
// tabulo-cli export: a table through the text or SYLK engine.
struct CliContext;

int CmdExport(CliContext& ctx);
