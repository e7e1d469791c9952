#pragma once
// The report helpers on the command line: words, barcode.
#include "cli_args.h"

int CmdWords(CliContext& ctx);
int CmdBarcode(CliContext& ctx);
