#include "cmd_report.h"

#include "connection.h"
#include "number_words.h"
#include "query.h"
#include "report_options.h"
#include "rtf_report.h"
#include "safe_file.h"
#include "xml_report.h"

#include <QFileInfo>
#include <cstdio>

namespace {
// Fills a template with one engine; false when it wrote no result. A picture that could not be
// placed fails the run after the result was written (its failure text stands in the result).
template <class Engine>
bool RunReport(const QString& templ, const QString& out, TActionAfter after, const ReportSettings& settings,
               const std::vector<TDataSet*>& dataSets) {
    Engine r;
    r.ReportFile = templ;
    r.OutputFile = out;
    r.ActionAfter = after;
    settings.apply(r);
    const bool written = r.Execute(dataSets);
    if (written && r.FailedPictures > 0)
        throw Exception(QStringLiteral("%1 picture(s) could not be placed in \"%2\"; the result shows why.")
                            .arg(r.FailedPictures)
                            .arg(out));
    return written;
}
} // namespace

int CmdReport(CliContext& ctx) {
    CliArgs& a = ctx.args;
    const QString table = a.positional("TABLE");
    QString templ, out, action;
    if (!a.take("--template", templ) || templ.isEmpty()) throw UsageError("report needs --template FILE");
    if (!a.take("--out", out) || out.isEmpty()) throw UsageError("report needs --out FILE");
    const int top = TakeTop(a);
    const bool hasAction = a.take("--action", action);
    TADOQuery q(ctx.connection); // slot A, which the other slots may follow: it outlives them
    ReportDataSets details(a, ctx.connection);
    const ReportSettings settings(a);
    a.finish();
    TActionAfter after = aaNone;
    if (hasAction && action == "show")
        after = aaShow;
    else if (hasAction && action == "print")
        after = aaPrint;
    else if (hasAction && action != "save")
        throw UsageError("--action takes save, show or print");
    // Refused before anything runs: the template, a folder, a read-only file, the open database.
    if (SameFile(out, templ))
        throw Exception(QStringLiteral("The output file \"%1\" is the template itself.").arg(out));
    SafeFile::Check(out);

    q.ReadOnly = true;
    q.SQL = TableSelect(*ctx.connection, table, top);
    q.Open();
    details.open(q);
    const std::vector<TDataSet*> dataSets = details.all(q);
    const bool written = IsXmlTemplate(templ) ? RunReport<TkXMLReport>(templ, out, after, settings, dataSets)
                                              : RunReport<TRTFReport2>(templ, out, after, settings, dataSets);
    if (!written) throw Exception(QStringLiteral("No result was written to \"%1\".").arg(out));
    return 0;
}

int CmdWords(CliContext& ctx) {
    const QString number = ctx.args.positional("NUMBER");
    QString lang = QStringLiteral("en"), currency;
    ctx.args.take("--lang", lang);
    ctx.args.take("--currency", currency);
    ctx.args.finish();
    bool ok = false;
    const double value = number.toDouble(&ok); // "." whatever the locale
    if (!ok) throw UsageError(("NUMBER is not a number: " + number).toStdString());
    const QString l = lang.toLower();
    if (l != "en" && l != "cs" && l != "cz")
        throw UsageError(("--lang takes en or cs, not " + lang).toStdString());
    const QString text = ConvertNumToText(l == "en" ? "EN" : "CZ", " ", currency, QString(), value);
    std::printf("%s\n", text.toUtf8().constData());
    return 0;
}
