// print TABLE --out FILE.pdf [--landscape] [--paper NAME] [--title TEXT] [--sums] ... | --rtf FILE.rtf
#include "cmd_print.h"

#include "cli_args.h"
#include "connection.h"
#include "direct_print.h"
#include "program_folder.h"
#include "query.h"
#include "template_print.h"

#include <cstdio>

int CmdPrint(CliContext& ctx) {
    CliArgs& a = ctx.args;
    const QString table = a.positional("TABLE");
    QString out, rtf, paperName = QStringLiteral("A4"), title, fontSize;
    const bool hasOut = a.take("--out", out);
    const bool hasRtf = a.take("--rtf", rtf);
    a.take("--paper", paperName);
    a.take("--title", title);
    const bool hasFontSize = a.take("--font-size", fontSize);
    const int top = TakeTop(a);
    const bool landscape = a.flag("--landscape"), sums = a.flag("--sums");
    const bool pageNumbers = a.flag("--page-numbers"), count = a.flag("--count"), grid = a.flag("--grid");
    const bool fit = a.flag("--fit"), allFields = a.flag("--all-fields");
    a.finish();
    if (hasOut == hasRtf) throw UsageError("print needs one of --out FILE.pdf and --rtf FILE.rtf");
    if ((hasOut && out.isEmpty()) || (hasRtf && rtf.isEmpty())) throw UsageError("print needs a file name");
    QPageSize paper;
    if (!PaperSizeByName(paperName, paper))
        throw UsageError(("--paper takes one of " + PaperNames().join(", ")).toStdString());
    bool ok = true;
    const int points = hasFontSize ? fontSize.toInt(&ok) : 8;
    if (!ok || points < 1 || points > 200) throw UsageError("--font-size takes a whole number of points");

    TADOQuery q(ctx.connection);
    q.ReadOnly = true;
    q.SQL = TableSelect(*ctx.connection, table, top);
    q.Open();

    if (hasRtf) {
        if (pageNumbers || count || grid || fit || allFields)
            throw UsageError("--page-numbers, --count, --grid, --fit and --all-fields are for --out");
        const int paperIndex = QStringList{"A4", "Letter", "Legal"}.indexOf(paperName, Qt::CaseInsensitive);
        if (paperIndex < 0) throw UsageError("--rtf takes the paper A4, Letter or Legal");
        if (hasFontSize && (points < 6 || points > 12))
            throw UsageError("--rtf takes a font size from 6 to 12");
        TTemplatePrint t;
        t.DataSet = &q;
        for (int i = 0; i < q.FieldCount(); ++i)
            t.Columns.push_back({q.Fields(i)->FieldName, q.Fields(i)->DisplayLabel(), q.Fields(i)->Visible});
        t.Paper = paperIndex;
        t.Orientation = landscape ? 1 : 0;
        t.Sums = sums;
        t.Caption = title;
        t.Measure();
        // Without a font size the layout is fitted to the data, as the dialog's autoformat does.
        if (hasFontSize)
            t.FontIndex = points - 6;
        else
            t.Autoformat();
        t.Run(ProgramFolder(), aaNone, rtf, QString(), false);
        return 0;
    }
    TPrintSource source = DataSetPrintSource(&q);
    TDirectPrintOptions o;
    o.caption = title;
    o.font.setPointSize(points);
    o.sums = sums;
    o.printFooter = pageNumbers;
    o.printRecCount = count;
    o.printGrid = grid;
    o.fitColumns = fit;
    o.allColumns = allFields;
    TDirectPrint print(source, o);
    TPdfFilePages pages(out, paper, landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    print.Run(pages);
    return 0;
}
