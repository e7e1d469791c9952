#pragma once
// tabulo-cli export: a table through the text, SYLK or xlsx engine.
struct CliContext;

int CmdExport(CliContext& ctx);
