#pragma once
// A new xlsx workbook of one sheet, written row by row in constant memory.
#include "sheet_writer.h"

#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;
class TZipArchive;

class WorkbookWriter : public SheetWriter {
public:
    // Starts the workbook file at path with one sheet named sheetName (corrected by ValidSheetName).
    // A macro-enabled workbook (.xlsm) gets the content type such files must have.
    WorkbookWriter(const QString& path, const QString& sheetName, bool macroEnabled = false);
    ~WorkbookWriter() override;
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    int addFormat(const CellFormat& format) override;
    void number(int row, int col, double value, int format = 0) override;
    void text(int row, int col, std::string_view utf8, int format = 0) override;
    void boolean(int row, int col, bool value, int format = 0) override;
    void formula(int row, int col, const std::string& formula, double value, int format = 0) override;
    void blank(int row, int col, int format) override;
    void rowHeight(int row, double points) override;
    void picture(int row, int col, const QByteArray& png, int width, int height, int offset) override;
    void columnWidth(int col, double width) override;
    void freezePanes(int row, int col) override;
    void autoFilter(int firstRow, int firstCol, int lastRow, int lastCol) override;
    void pageSetup(bool landscape, int scale, int fitWide, int fitTall) override;
    void repeatRows(int firstRow, int lastRow) override;
    void zoom(int percent) override;
    void conditionalFormat(const ConditionalFormat& format) override;
    // Finishes and closes the file.
    void save() override;

private:
    void check(int error, int row, int col) const;
    void stepIcons(TZipArchive& zip, TZipArchive& original) const;

    QString path_;
    bool macroEnabled_;
    bool pictures_ = false;
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    std::vector<lxw_format*> formats_;
    std::string scratch_;
    std::vector<ConditionalFormat> steppedIcons_; // icon sets with thresholds, set after closing
};
