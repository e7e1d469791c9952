#pragma once
// tabulo-cli print: a table through the direct print into a PDF file, or through the print
// templates into an RTF file.
struct CliContext;

int CmdPrint(CliContext& ctx);
