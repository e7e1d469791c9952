#pragma once
// The sheet an export writes into: a new workbook (WorkbookWriter), or one sheet of an existing xlsx /
// xlsm workbook, changed as a package of XML parts. In an existing workbook every part the export does
// not change stays byte for byte (other sheets, shared strings, macros, pictures); the new cells' formats
// are appended to the workbook's own style table; the result goes to the caller's temporary file, so a
// failure leaves the workbook as it was.
#include "sheet_writer.h"

#include <memory>

class SafeFile;

enum class SheetTarget {
    Replace,  // the named sheet (else the active one) is cleared and written; a missing name is added
    NewSheet, // a new sheet after the others, its name made unique, becomes the active one
    Append,   // the named (else the active) sheet keeps its cells; the export goes below them
};

struct WorkbookSheet {
    std::unique_ptr<SheetWriter> writer;
    int usedRows = 0;      // Append: rows of the sheet's used area (its last used row, from 1); 0 when empty
    bool existing = false; // an existing workbook is being changed
};

// Opens the sheet for an export into path, whose result file out is (SafeFile, WorkFile use). An
// existing empty file, a device or a missing file get a new workbook; a file that is not a workbook
// package (damaged, encrypted, another format) raises WorkbookError naming it.
WorkbookSheet OpenWorkbookSheet(SafeFile& out, const QString& path, const QString& sheetName,
                                SheetTarget target);
