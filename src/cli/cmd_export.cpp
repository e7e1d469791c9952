// export TABLE --format text|sylk --out FILE [engine options]
#include "cmd_export.h"

#include "cli_args.h"
#include "connection.h"
#include "query.h"
#include "safe_file.h"
#include "separator_text.h"
#include "slk_export.h"
#include "txt_export.h"

#include <cstdio>

namespace {
TActionAfter ActionFromText(const QString& text) {
    if (text == "show") return aaShow;
    if (text == "print") return aaPrint;
    throw UsageError("--action takes show or print");
}
} // namespace

int CmdExport(CliContext& ctx) {
    CliArgs& a = ctx.args;
    QString table = a.positional("TABLE");
    QString format, out, separator, quote, fill, encoding, action, font, title;
    if (!a.take("--format", format)) throw UsageError("export needs --format text|sylk");
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
    a.finish();
    if (format != "text" && format != "sylk") throw UsageError("--format takes text or sylk");
    if (hasFill && fill.size() != 1) throw UsageError("--fill takes one character");
    TActionAfter after = hasAction ? ActionFromText(action) : aaNone;
    // Refused before anything runs: a folder, a read-only file, the open database.
    SafeFile::Check(out);

    TADOQuery q(ctx.connection);
    q.ReadOnly = true;
    q.SQL = TableSelect(*ctx.connection, table, top);
    q.Open();

    bool ok;
    if (format == "text") {
        if (sums || hasFont || noWidths || hasTitle)
            throw UsageError("--sums, --font, --no-widths and --id-line are for --format sylk");
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
        ok = e.Execute(&q);
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
        ok = e.Execute(&q);
    }
    // The engines have shown the reason (on stderr) when they return false.
    return ok ? 0 : 1;
}
