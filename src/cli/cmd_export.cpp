// export TABLE --format text|sylk|xlsx --out FILE [engine options]
#include "cmd_export.h"

#include "cli_args.h"
#include "connection.h"
#include "query.h"
#include "safe_file.h"
#include "separator_text.h"
#include "slk_export.h"
#include "txt_export.h"
#include "xls_export.h"

#include <cstdio>

namespace {
TActionAfter ActionFromText(const QString& text) {
    if (text == "show") return aaShow;
    if (text == "print") return aaPrint;
    throw UsageError("--action takes show or print");
}

int NumberOption(CliArgs& a, const char* name, int min, int max) {
    QString text;
    if (!a.take(name, text)) return -1;
    bool ok = false;
    int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        throw UsageError(
            QStringLiteral("%1 takes a number from %2 to %3").arg(name).arg(min).arg(max).toStdString());
    return v;
}

struct XlsxOptions {
    QString sheet, fontSize, dateFormat, timeFormat, numFormat;
    bool hasSheet = false, hasDate = false, hasTime = false, hasNum = false;
    int fontSizeValue = -1, zoom = -1, pageZoom = -1, startRow = -1, startCol = -1;
    bool borders = false, wrap = false, freeze = false, filter = false, newSheet = false;
    bool any() const {
        return hasSheet || hasDate || hasTime || hasNum || fontSizeValue >= 0 || zoom >= 0 || pageZoom >= 0 ||
               startRow >= 0 || startCol >= 0 || borders || wrap || freeze || filter || newSheet;
    }
};

XlsxOptions TakeXlsxOptions(CliArgs& a) {
    XlsxOptions x;
    x.hasSheet = a.take("--sheet", x.sheet);
    x.hasDate = a.take("--date-format", x.dateFormat);
    x.hasTime = a.take("--time-format", x.timeFormat);
    x.hasNum = a.take("--num-format", x.numFormat);
    x.fontSizeValue = NumberOption(a, "--font-size", 1, 409);
    x.zoom = NumberOption(a, "--zoom", 10, 400);
    x.pageZoom = NumberOption(a, "--page-zoom", 10, 400);
    x.startRow = NumberOption(a, "--start-row", 1, 1048576);
    x.startCol = NumberOption(a, "--start-col", 1, 16384);
    x.borders = a.flag("--borders");
    x.wrap = a.flag("--wrap-memos");
    x.freeze = a.flag("--freeze");
    x.filter = a.flag("--auto-filter");
    x.newSheet = a.flag("--new-sheet");
    return x;
}
} // namespace

int CmdExport(CliContext& ctx) {
    CliArgs& a = ctx.args;
    QString table = a.positional("TABLE");
    QString format, out, separator, quote, fill, encoding, action, font, title;
    if (!a.take("--format", format)) throw UsageError("export needs --format text|sylk|xlsx");
    if (!a.take("--out", out) || out.isEmpty()) throw UsageError("export needs --out FILE");
    int top = TakeTop(a);
    bool hasSeparator = a.take("--separator", separator);
    bool hasQuote = a.take("--quote", quote);
    bool hasFill = a.take("--fill", fill);
    bool hasEncoding = a.take("--encoding", encoding);
    bool hasAction = a.take("--action", action);
    bool hasFont = a.take("--font", font);
    bool hasTitle = a.take("--id-line", title);
    bool delimited = a.flag("--delimited"), trim = a.flag("--trim"), noTitles = a.flag("--no-titles");
    bool fieldNames = a.flag("--field-names"), memos = a.flag("--memos"), allFields = a.flag("--all-fields");
    bool append = a.flag("--append"), sums = a.flag("--sums"), noWidths = a.flag("--no-widths");
    bool allText = a.flag("--all-as-text");
    XlsxOptions x = TakeXlsxOptions(a);
    a.finish();
    if (format != "text" && format != "sylk" && format != "xlsx")
        throw UsageError("--format takes text, sylk or xlsx");
    if (format != "xlsx" && x.any())
        throw UsageError(
            "--sheet, --font-size, --date-format, --time-format, --num-format, --zoom, --page-zoom, "
            "--start-row, --start-col, --borders, --wrap-memos, --freeze, --auto-filter and --new-sheet are "
            "for --format xlsx");
    if (hasFill && fill.size() != 1) throw UsageError("--fill takes one character");
    TActionAfter after = hasAction ? ActionFromText(action) : aaNone;
    // Refused before anything runs: a folder, a read-only file, the open database.
    SafeFile::Check(out);

    TADOQuery q(ctx.connection);
    q.ReadOnly = true;
    q.SQL = TableSelect(*ctx.connection, table, top);
    // The engines write the rows as they are read (forward-only), so memory stays flat.

    bool ok;
    if (format == "text") {
        if (sums || hasFont || noWidths || hasTitle)
            throw UsageError("--sums, --font, --no-widths and --id-line are for --format sylk and xlsx");
        TTXTExport e;
        e.ExportFile = out;
        e.ActionAfter = after;
        if (hasSeparator) SeparatorFromText(separator, e.FieldSeparator);
        if (hasQuote) e.TextApostrophe = quote;
        if (delimited)
            e.FillChar = QChar(0);
        else if (hasFill)
            e.FillChar = fill[0];
        e.TrimData = trim;
        e.ExportFieldName = !noTitles;
        e.RealFieldNamesAsTitle = fieldNames;
        e.ExportMemoFields = memos;
        e.ExportOnlyVisibleFields = !allFields;
        e.AppendToFile = append;
        e.ExportAllAsText = allText;
        if (hasEncoding) e.Encoding = encoding;
        ok = e.ExecuteForwardOnly(&q);
    } else if (format == "xlsx") {
        if (hasSeparator || hasQuote || delimited || hasFill || memos || allText || hasTitle || hasEncoding)
            throw UsageError("--separator, --quote, --delimited, --fill, --memos, --all-as-text, --id-line "
                             "and --encoding are not for --format xlsx");
        if (append && x.newSheet) throw UsageError("--append and --new-sheet exclude each other");
        TkXLSExport e;
        e.ExportFile = out;
        e.ActionAfter = after;
        // The engine's defaults without the sum row, which --sums asks for as with SYLK.
        e.Options = xleExportTitles | xleBoldTitles | xleSetCellFormat | xleOnlyVisibleFields;
        auto set = [&](bool on, TXLSExportOption o) {
            if (on) e.Options |= o;
        };
        if (noTitles) e.Options &= ~unsigned(xleExportTitles);
        set(fieldNames, xleRealFieldNamesAsTitle);
        set(sums, xleAddSumRow);
        set(!noWidths, xleSetColumnWidth);
        set(trim, xleTrimData);
        set(x.borders, xleSetCellBorders);
        set(x.wrap, xleWrapMemoField);
        set(x.freeze, xleFreezeTitles);
        set(x.filter, xleSetAutoFilter);
        // An existing workbook keeps its other sheets: the rows go below the sheet's own, or into a new
        // sheet; without either the sheet is cleared and written.
        set(append, xleAddToExistingRows);
        set(x.newSheet, xleAddAsNewSheet);
        set(x.zoom > 0 || x.pageZoom > 0, xleSetPageSetup);
        if (allFields) e.Options &= ~unsigned(xleOnlyVisibleFields);
        if (hasFont) e.SetFontName = font;
        if (x.fontSizeValue > 0) e.SetFontSize = x.fontSizeValue;
        if (x.hasDate) e.DefaultDateFormat = x.dateFormat;
        if (x.hasTime) e.DefaultTimeFormat = x.timeFormat;
        if (x.hasNum) e.DefaultNumFormat = x.numFormat;
        if (x.zoom > 0) e.WindowZoom = x.zoom;
        if (x.pageZoom > 0) e.PageZoom = x.pageZoom;
        if (x.startRow > 0) e.setStartRow(x.startRow);
        if (x.startCol > 0) e.setStartCol(x.startCol);
        ok = e.ExportForwardOnly(&q, x.sheet);
    } else {
        if (hasSeparator || hasQuote || delimited || hasFill || memos || append || allText)
            throw UsageError("--separator, --quote, --delimited, --fill, --memos, --append and --all-as-text "
                             "are for --format text");
        TSLKExport e;
        e.ExportFile = out;
        e.ActionAfter = after;
        e.TrimData = trim;
        e.ExportFieldName = !noTitles;
        e.RealFieldNamesAsTitle = fieldNames;
        e.ExportOnlyVisibleFields = !allFields;
        e.MakeSumRow = sums;
        e.SetColWidth = !noWidths;
        if (hasFont) e.SetFontName = font;
        if (hasTitle) e.SLKIdHeaderLine = title;
        if (hasEncoding) e.Encoding = encoding;
        ok = e.ExecuteForwardOnly(&q);
    }
    // The engines have shown the reason (on stderr) when they return false.
    return ok ? 0 : 1;
}
