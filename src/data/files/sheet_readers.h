#pragma once
// Workbooks as table sources: each worksheet is a table named "Sheet$" (the name also resolves
// without its "$"). xlsx and ods packages are read with libzip and pugixml, xls files with freexl.
#include "file_source.h"
#include "sheet_table.h"
#include "table_reader.h"

class WorkbookReader : public TableReader {
public:
    explicit WorkbookReader(const FileSource& source) : source_(source) {}
    QStringList tables() override;
    void read(const QString& table, ResultSink& sink, qint64 maxRows) override;

protected:
    // Sheet names in workbook order (filled by the subclass's constructor).
    QStringList sheets_;
    // Reads sheet i into the table; errors name the sheet.
    virtual void loadSheet(int index, SheetTable& table) = 0;
    FileSource source_;
};

std::unique_ptr<TableReader> OpenXlsxReader(const FileSource& source);
std::unique_ptr<TableReader> OpenOdsReader(const FileSource& source);
std::unique_ptr<TableReader> OpenXlsReader(const FileSource& source);
