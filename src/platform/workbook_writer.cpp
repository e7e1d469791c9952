#include "workbook_writer.h"

#include "sheet_conditional_formats.h"
#include "sheet_pictures.h"
#include "sheet_rows.h"
#include "zip_archive.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {
// The library takes 0 for "not set": black has a value of its own.
lxw_color_t LxwColor(uint32_t rgb) {
    return rgb == 0 ? lxw_color_t(LXW_COLOR_BLACK) : lxw_color_t(rgb);
}
} // namespace

WorkbookWriter::WorkbookWriter(const QString& path, const QString& sheetName, bool macroEnabled)
    : path_(path), macroEnabled_(macroEnabled) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE; // each row goes to disk when the next one starts
    options.use_zip64 = LXW_TRUE;       // large sheets pass the 4 GB part limit
    QByteArray file = path.toLocal8Bit();
    book_ = workbook_new_opt(file.constData(), &options);
    if (!book_) throw WorkbookError(QStringLiteral("Cannot create workbook \"%1\".").arg(path));
    QByteArray name = ValidSheetName(sheetName).toUtf8();
    sheet_ = workbook_add_worksheet(book_, name.constData());
    if (!sheet_) {
        workbook_close(book_);
        book_ = nullptr;
        throw WorkbookError(QStringLiteral("Cannot create workbook \"%1\".").arg(path));
    }
    formats_.push_back(nullptr);
}

WorkbookWriter::~WorkbookWriter() {
    // Not saved: the file is left incomplete for its owner to discard; the library's memory is freed.
    if (book_) lxw_workbook_free(book_);
}

int WorkbookWriter::addFormat(const CellFormat& f) {
    // The library looks every format up again for each cell written with it: cells that need none
    // are written without.
    if (f.NumberFormat.isEmpty() && f.FontName.isEmpty() && f.FontSize <= 0 && !f.Bold && !f.Borders &&
        !f.Wrap && f.VerticalAlignment == CellFormat::vaNone && f.FontColor == CellFormat::kNoColor &&
        f.Background == CellFormat::kNoColor) {
        formats_.push_back(nullptr);
        return int(formats_.size() - 1);
    }
    lxw_format* x = workbook_add_format(book_);
    if (!f.NumberFormat.isEmpty()) format_set_num_format(x, f.NumberFormat.toUtf8().constData());
    if (!f.FontName.isEmpty()) format_set_font_name(x, f.FontName.toUtf8().constData());
    if (f.FontSize > 0) format_set_font_size(x, f.FontSize);
    if (f.Bold) format_set_bold(x);
    if (f.Borders) format_set_border(x, LXW_BORDER_THIN);
    if (f.Wrap) format_set_text_wrap(x);
    if (f.FontColor != CellFormat::kNoColor) format_set_font_color(x, LxwColor(f.FontColor));
    if (f.Background != CellFormat::kNoColor) {
        format_set_pattern(x, LXW_PATTERN_SOLID);
        format_set_fg_color(x, LxwColor(f.Background));
    }
    switch (f.VerticalAlignment) {
    case CellFormat::vaTop:
        format_set_align(x, LXW_ALIGN_VERTICAL_TOP);
        break;
    case CellFormat::vaCenter:
        format_set_align(x, LXW_ALIGN_VERTICAL_CENTER);
        break;
    case CellFormat::vaBottom:
        format_set_align(x, LXW_ALIGN_VERTICAL_BOTTOM);
        break;
    case CellFormat::vaNone:
        break;
    }
    formats_.push_back(x);
    return int(formats_.size() - 1);
}

std::string SheetWriter::ColumnName(int col) {
    std::string s;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        s.insert(s.begin(), char('A' + (c - 1) % 26));
    return s;
}

void WorkbookWriter::check(int error, int row, int col) const {
    if (error == LXW_NO_ERROR) return;
    QString cell = QString::fromStdString(ColumnName(col)) + QString::number(row + 1);
    if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
        throw WorkbookError(
            QStringLiteral("Cell %1: the text is longer than a cell can hold (%2 characters).")
                .arg(cell, QStringLiteral("32,767")));
    if (error == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)
        throw WorkbookError(
            QStringLiteral("Cell %1 is outside the sheet (at most 1,048,576 rows and 16,384 columns).")
                .arg(cell));
    throw WorkbookError(
        QStringLiteral("Cell %1: %2").arg(cell, QString::fromUtf8(lxw_strerror(lxw_error(error)))));
}

void WorkbookWriter::number(int row, int col, double value, int format) {
    check(worksheet_write_number(sheet_, lxw_row_t(row), lxw_col_t(col), value, formats_[size_t(format)]),
          row, col);
}

void WorkbookWriter::text(int row, int col, std::string_view utf8, int format) {
    scratch_.assign(utf8); // the library wants a terminated string
    EscapeLiteralEscapes(scratch_);
    check(worksheet_write_string(sheet_, lxw_row_t(row), lxw_col_t(col), scratch_.c_str(),
                                 formats_[size_t(format)]),
          row, col);
}

void WorkbookWriter::boolean(int row, int col, bool value, int format) {
    check(worksheet_write_boolean(sheet_, lxw_row_t(row), lxw_col_t(col), value, formats_[size_t(format)]),
          row, col);
}

void WorkbookWriter::formula(int row, int col, const std::string& formula, double value, int format) {
    check(worksheet_write_formula_num(sheet_, lxw_row_t(row), lxw_col_t(col), formula.c_str(),
                                      formats_[size_t(format)], value),
          row, col);
}

void WorkbookWriter::blank(int row, int col, int format) {
    check(worksheet_write_blank(sheet_, lxw_row_t(row), lxw_col_t(col), formats_[size_t(format)]), row, col);
}

void WorkbookWriter::rowHeight(int row, double points) {
    check(worksheet_set_row(sheet_, lxw_row_t(row), points, nullptr), row, 0);
}

void WorkbookWriter::picture(int row, int col, const QByteArray& png, int, int, int offset) {
    lxw_image_options options = {};
    options.x_offset = options.y_offset = offset;
    check(worksheet_insert_image_buffer_opt(sheet_, lxw_row_t(row), lxw_col_t(col),
                                            reinterpret_cast<const unsigned char*>(png.constData()),
                                            size_t(png.size()), &options),
          row, col);
    pictures_ = true;
}

void WorkbookWriter::columnWidth(int col, double width) {
    check(worksheet_set_column(sheet_, lxw_col_t(col), lxw_col_t(col), width, nullptr), 0, col);
}

void WorkbookWriter::freezePanes(int row, int col) {
    worksheet_freeze_panes(sheet_, lxw_row_t(row), lxw_col_t(col));
}

void WorkbookWriter::autoFilter(int firstRow, int firstCol, int lastRow, int lastCol) {
    check(worksheet_autofilter(sheet_, lxw_row_t(firstRow), lxw_col_t(firstCol), lxw_row_t(lastRow),
                               lxw_col_t(lastCol)),
          firstRow, firstCol);
}

void WorkbookWriter::pageSetup(bool landscape, int scale, int fitWide, int fitTall) {
    if (landscape)
        worksheet_set_landscape(sheet_);
    else
        worksheet_set_portrait(sheet_);
    if (scale >= 10 && scale <= 400) worksheet_set_print_scale(sheet_, uint16_t(scale));
    if (fitWide > 0 || fitTall > 0) worksheet_fit_to_pages(sheet_, uint16_t(fitWide), uint16_t(fitTall));
}

void WorkbookWriter::repeatRows(int firstRow, int lastRow) {
    worksheet_repeat_rows(sheet_, lxw_row_t(firstRow), lxw_row_t(lastRow));
}

void WorkbookWriter::zoom(int percent) {
    if (percent >= 10 && percent <= 400) worksheet_set_zoom(sheet_, uint16_t(percent));
}

void WorkbookWriter::conditionalFormat(const ConditionalFormat& f) {
    lxw_conditional_format c = {};
    auto at = [&](uint8_t& rule, double& value, double number) {
        if (!f.atNumbers) return;
        rule = LXW_CONDITIONAL_RULE_TYPE_NUMBER;
        value = number;
    };
    switch (f.kind) {
    case ConditionalFormat::DataBar:
        c.type = LXW_CONDITIONAL_DATA_BAR;
        at(c.min_rule_type, c.min_value, f.min);
        at(c.max_rule_type, c.max_value, f.max);
        if (f.barColor != CellFormat::kNoColor) c.bar_color = LxwColor(f.barColor);
        // A border makes the library describe the bar in the extension that has borders.
        if (f.borderColor != CellFormat::kNoColor) c.bar_border_color = LxwColor(f.borderColor);
        c.bar_only = !f.showValue;
        break;
    case ConditionalFormat::ColorScale:
        c.type = f.middleStop ? LXW_CONDITIONAL_3_COLOR_SCALE : LXW_CONDITIONAL_2_COLOR_SCALE;
        at(c.min_rule_type, c.min_value, f.min);
        if (f.middleStop) at(c.mid_rule_type, c.mid_value, f.mid);
        at(c.max_rule_type, c.max_value, f.max);
        if (f.minColor != CellFormat::kNoColor) c.min_color = LxwColor(f.minColor);
        if (f.middleStop && f.midColor != CellFormat::kNoColor) c.mid_color = LxwColor(f.midColor);
        if (f.maxColor != CellFormat::kNoColor) c.max_color = LxwColor(f.maxColor);
        break;
    case ConditionalFormat::IconSet:
        c.type = LXW_CONDITIONAL_TYPE_ICON_SETS;
        c.icon_style = uint8_t(f.iconSetNumber() - 1); // the library's styles are in the same order
        c.icons_only = !f.showValue;
        // The library writes only percent steps: thresholds are set in the closed file.
        if (!f.thresholds.empty()) steppedIcons_.push_back(f);
        break;
    }
    check(worksheet_conditional_format_range(sheet_, lxw_row_t(f.firstRow), lxw_col_t(f.col),
                                             lxw_row_t(f.lastRow), lxw_col_t(f.col), &c),
          f.firstRow, f.col);
}

// The sheet part again with its icon thresholds: the rows are copied as they are while the package is
// written, the part's end (from its first conditional format on) is changed.
void WorkbookWriter::stepIcons(TZipArchive& zip, TZipArchive& original) const {
    const QString part = QStringLiteral("xl/worksheets/sheet1.xml");
    // No cell text holds a '<': the first element of that name is the first conditional format.
    const QByteArray mark = "<conditionalFormatting";
    auto in = original.stream(part);
    QByteArray buf, tail;
    qint64 offset = 0, cut = -1;
    char chunk[1 << 16];
    for (qint64 n; (n = in->read(chunk, sizeof chunk)) > 0;) {
        buf.append(chunk, n);
        if (cut < 0) {
            const qsizetype i = buf.indexOf(mark);
            if (i >= 0) {
                cut = offset + i;
                buf.remove(0, i);
            } else {
                const qsizetype keep = std::min<qsizetype>(buf.size(), mark.size() - 1);
                offset += buf.size() - keep;
                buf.remove(0, buf.size() - keep);
            }
        }
    }
    if (cut < 0) return;
    auto newTail = std::make_shared<QByteArray>(WithIconThresholds(buf, steppedIcons_));
    struct State {
        std::unique_ptr<TZipArchive::Stream> rows;
        qint64 done = 0;
    };
    auto st = std::make_shared<State>();
    TZipArchive* from = &original;
    auto rewind = [=]() {
        st->done = 0;
        try {
            st->rows = from->stream(part);
        } catch (const Exception&) {
            return false;
        }
        return true;
    };
    auto read = [=](char* data, qint64 n) -> qint64 {
        try {
            if (st->done < cut) {
                const qint64 k = st->rows->read(data, std::min(n, cut - st->done));
                if (k <= 0) return -1; // the part ended early
                st->done += k;
                return k;
            }
            const qint64 k = std::min<qint64>(n, cut + newTail->size() - st->done);
            std::memcpy(data, newTail->constData() + (st->done - cut), size_t(k));
            st->done += k;
            return k;
        } catch (const Exception&) {
            return -1;
        }
    };
    zip.write(part, cut + newTail->size(), rewind, read);
}

void WorkbookWriter::save() {
    lxw_error error = workbook_close(book_);
    book_ = nullptr; // closed and freed whatever the result
    if (error != LXW_NO_ERROR)
        throw WorkbookError(QStringLiteral("Cannot write workbook \"%1\": %2")
                                .arg(path_, QString::fromUtf8(lxw_strerror(error))));
    if (!macroEnabled_ && !pictures_ && steppedIcons_.empty()) return;
    TZipArchive original; // read while the changed copy is written
    TZipArchive zip;
    zip.open(path_);
    if (macroEnabled_) {
        // The library writes macro-enabled workbooks only with a macro project; without one the package
        // still has to say what it is, or a spreadsheet refuses a .xlsm file.
        QByteArray types = zip.read(QStringLiteral("[Content_Types].xml"));
        types.replace("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                      "application/vnd.ms-excel.sheet.macroEnabled.main+xml");
        zip.write(QStringLiteral("[Content_Types].xml"), types);
    }
    if (pictures_) {
        // The library spans each picture over the rows its height covers at the default row height:
        // the rows written before closing have been forgotten, so their heights are not known there.
        const QString drawing = QStringLiteral("xl/drawings/drawing1.xml");
        zip.write(drawing, OneCellAnchors(zip.read(drawing)));
    }
    if (!steppedIcons_.empty()) {
        original.open(path_);
        stepIcons(zip, original);
    }
    zip.close(true);
}

QString SheetWriter::ValidSheetName(const QString& name) {
    QString s = name;
    for (QChar& c : s)
        if (QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 32) c = QLatin1Char('_');
    while (s.startsWith(QLatin1Char('\'')))
        s.remove(0, 1);
    if (s.size() > 31) s.truncate(31);
    while (s.endsWith(QLatin1Char('\'')))
        s.chop(1);
    if (s.trimmed().isEmpty()) s = QStringLiteral("Sheet1");
    return s;
}
