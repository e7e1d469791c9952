#pragma once
// The reports on the command line: report (RTF, text and XML templates), words, barcode.
#include "cli_args.h"

// report TABLE --template FILE --out FILE [--top N] [--action save|show|print]
//        [--dataset B="SELECT ..."]... [--var NAME=VALUE]... [--set PROPERTY=VALUE]...
int CmdReport(CliContext& ctx);
int CmdWords(CliContext& ctx);
int CmdBarcode(CliContext& ctx);
