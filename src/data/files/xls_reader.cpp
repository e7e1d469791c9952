// Excel 97-2003 workbooks through freexl.
#include "column_store.h"
#include "exceptions.h"
#include "sheet_readers.h"

#include <QFile>
#include <freexl.h>

namespace {
class XlsReader : public WorkbookReader {
public:
    explicit XlsReader(const FileSource& source) : WorkbookReader(source) {
        int rc = freexl_open(QFile::encodeName(source.path).constData(), &handle_.h);
        if (rc != FREEXL_OK) fail(rc, QStringLiteral("it is not a readable Excel 97-2003 workbook"));
        unsigned info = 0;
        if (freexl_get_info(handle_.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
            info == FREEXL_BIFF_OBFUSCATED)
            fail(0, QStringLiteral("the workbook is protected by a password"));
        unsigned count = 0;
        freexl_get_info(handle_.h, FREEXL_BIFF_SHEET_COUNT, &count);
        for (unsigned i = 0; i < count; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(handle_.h, (unsigned short)i, &name) != FREEXL_OK || !name)
                fail(0, QStringLiteral("worksheet %1 has no name").arg(i + 1));
            sheets_ << QString::fromUtf8(name);
        }
    }

protected:
    void loadSheet(int index, SheetTable& table) override {
        const QString where = QStringLiteral("sheet \"%1\"").arg(sheets_[index]);
        if (int rc = freexl_select_active_worksheet(handle_.h, (unsigned short)index); rc != FREEXL_OK)
            fail(rc, where);
        unsigned rows = 0;
        unsigned short cols = 0;
        if (int rc = freexl_worksheet_dimensions(handle_.h, &rows, &cols); rc != FREEXL_OK) fail(rc, where);
        for (unsigned r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (int rc = freexl_get_cell_value(handle_.h, r, c, &v); rc != FREEXL_OK)
                    fail(rc, where + QStringLiteral(", row %1").arg(r + 1));
                SheetCell cell;
                int64_t ms;
                switch (v.type) {
                case FREEXL_CELL_INT:
                    cell.kind = SheetCell::Number;
                    cell.num = v.value.int_value;
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell.kind = SheetCell::Number;
                    cell.num = v.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    cell.kind = SheetCell::Text;
                    cell.str = table.addString(v.value.text_value ? v.value.text_value : "");
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (v.value.text_value &&
                        dtconv::Parse(v.value.text_value, v.type == FREEXL_CELL_TIME ? ftTime : ftDateTime,
                                      ms)) {
                        cell.kind = v.type == FREEXL_CELL_TIME ? SheetCell::Time : SheetCell::Date;
                        cell.num = dtconv::ToDays(ms);
                    }
                    break;
                default:
                    break;
                }
                if (cell.kind != SheetCell::Empty) table.at(r, c) = cell;
            }
    }

private:
    [[noreturn]] void fail(int rc, const QString& what) const {
        QString detail = rc ? QStringLiteral(" (freexl error %1)").arg(rc) : QString();
        throw EDatabaseError(FileError(source_.path, what + detail));
    }
    // Closed also when the constructor fails, as freexl asks.
    struct Handle {
        const void* h = nullptr;
        ~Handle() {
            if (h) freexl_close(h);
        }
    } handle_;
};
} // namespace

std::unique_ptr<TableReader> OpenXlsReader(const FileSource& source) {
    return std::make_unique<XlsReader>(source);
}
