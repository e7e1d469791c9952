#include "template_print.h"

#include "dataset.h"
#include "exceptions.h"
#include "field.h"
#include "float_text.h"
#include "rtf_report.h"
#include "scan_dataset.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <cmath>

namespace {
// [paper * 2 + orientation][font index]
const int kChars[6][7] = {{138, 118, 103, 92, 82, 75, 68}, {203, 174, 152, 135, 121, 110, 101},
                          {138, 118, 103, 92, 82, 75, 68}, {187, 160, 142, 126, 117, 107, 95},
                          {138, 118, 103, 92, 82, 75, 68}, {245, 208, 185, 160, 144, 131, 120}};
const int kLines[6][7] = {{105, 90, 79, 70, 64, 57, 49},  {70, 60, 52, 46, 42, 38, 35},
                          {98, 86, 75, 67, 62, 56, 48},   {70, 60, 52, 46, 42, 38, 35},
                          {128, 111, 97, 87, 80, 72, 64}, {70, 60, 52, 46, 42, 38, 35}};

int TableIndex(int paper, int orientation) {
    return std::clamp(paper, 0, 2) * 2 + std::clamp(orientation, 0, 1);
}

bool IsFixedWidth(const TField& f) {
    return IsNumericField(f) || IsDateTimeField(f);
}

// A value on one line: line breaks and tabs inside it become blanks.
QString OneLine(QString s) {
    for (QChar& ch : s)
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QLatin1Char('\t'))
            ch = QLatin1Char(' ');
    return s;
}

// Padding as non-breaking spaces: every reader keeps each at one character's width (runs of plain
// blanks are widened by some word processors), and a line never breaks inside its padding.
QString Blanks(qsizetype n) {
    return QStringLiteral("\\~").repeated(std::max<qsizetype>(0, n));
}

// Result files of the run's folders are removed when the program ends.
struct ResultCleanup {
    QSet<QString> folders;
    ~ResultCleanup() {
        for (const QString& f : folders)
            RemovePrintResults(f);
    }
};
ResultCleanup& Cleanup() {
    static ResultCleanup c;
    return c;
}
} // namespace

int TemplateCharsPerLine(int paper, int orientation, int fontIndex) {
    return kChars[TableIndex(paper, orientation)][std::clamp(fontIndex, 0, 6)];
}
int TemplateLinesPerPage(int paper, int orientation, int fontIndex) {
    return kLines[TableIndex(paper, orientation)][std::clamp(fontIndex, 0, 6)];
}

QByteArray BuiltInTemplate(int number) {
    QFile f(QStringLiteral(":/print/printtemp%1.rtf").arg(number));
    if (!f.open(QIODevice::ReadOnly)) throw Exception(QStringLiteral("No print template %1.").arg(number));
    return f.readAll();
}

QString TooWideText() {
    return QStringLiteral("Data to print is too wide, unselect some columns or select smaller font size.");
}

void RemovePrintResults(const QString& folder) {
    for (int n = 0; n <= 100; ++n)
        QFile::remove(QDir(folder).filePath(QStringLiteral("printdata%1.rtf").arg(n)));
}

bool TTemplatePrint::printedColumn(const TTextColumn& c, TField*& f) const {
    f = DataSet ? DataSet->FindField(c.fieldName) : nullptr;
    return f && IsPlainField(*f) && (c.visible || AllColumns);
}

void TTemplatePrint::Measure() {
    measured_.clear();
    std::vector<TField*> fields(Columns.size(), nullptr);
    std::vector<Measure_*> m(Columns.size(), nullptr);
    for (size_t i = 0; i < Columns.size(); ++i) {
        Measure_& e = measured_[Columns[i].fieldName.toLower()];
        e.wMax = int(Columns[i].title.size());
        m[i] = &e;
        TField* f = DataSet ? DataSet->FindField(Columns[i].fieldName) : nullptr;
        if (f && IsPlainField(*f)) fields[i] = f;
    }
    Aborted = false;
    if (!DataSet || !DataSet->Active()) return;
    const int count = DataSet->RecordCount();
    ScanDataset(DataSet, true, true, true, [&](int n, bool& stop) {
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i]) m[i]->wMax = std::max(m[i]->wMax, int(fields[i]->DisplayText().size()));
        if (n % 100 == 0 && OnProgress) OnProgress(n, count);
        if (IsAborted && IsAborted()) {
            Aborted = true;
            stop = true;
        }
    });
    for (size_t i = 0; i < Columns.size(); ++i) {
        TField* f = DataSet->FindField(Columns[i].fieldName);
        m[i]->wSumAdd = f && IsNumericField(*f) ? 2 : 0;
    }
}

int TTemplatePrint::TotalWidth(bool onlyFixed, bool count) const {
    int total = 0;
    for (const TTextColumn& c : Columns) {
        TField* f;
        if (!printedColumn(c, f) || (onlyFixed && !IsFixedWidth(*f))) continue;
        auto it = measured_.constFind(c.fieldName.toLower());
        if (it == measured_.constEnd()) continue;
        if (count)
            total += 1;
        else
            total += Sep + it->wMax + (Sums && IsNumericField(*f) ? it->wSumAdd : 0);
    }
    return total;
}

void TTemplatePrint::Autoformat() {
    const int w = TotalWidth();
    for (;;) {
        for (int i = 6; i >= 0; --i)
            if (TemplateCharsPerLine(Paper, Orientation, i) >= w) {
                FontIndex = i;
                return;
            }
        if (Orientation == 1) break;
        Orientation = 1;
    }
    FontIndex = 0;
}

TTemplatePrint::Counts TTemplatePrint::counts() const {
    Counts c;
    c.records = DataSet && DataSet->Active() ? DataSet->RecordCount() : 0;
    c.pages = c.records / LinesPerPage() + 1;
    c.cut = CharsPerLine() < TotalWidth();
    return c;
}

void TTemplatePrint::ComputeWidths() {
    const int C = CharsPerLine();
    const int F = TotalWidth();
    const int A = TotalWidth(true);
    const int T = TotalWidth(false, true) - TotalWidth(true, true);
    const int S = Sep * T;
    const int textWidths = F - A - S;
    const double ratio = F <= C || textWidths <= 0 ? 1.0 : double(C - A - S) / textWidths;
    if (A > C - S || ratio < 0.2) throw Exception(TooWideText());
    wCol_.assign(Columns.size(), 0);
    int total = 0;
    for (size_t i = 0; i < Columns.size(); ++i) {
        TField* f;
        if (!printedColumn(Columns[i], f)) continue;
        auto it = measured_.constFind(Columns[i].fieldName.toLower());
        if (it == measured_.constEnd()) continue;
        if (IsFixedWidth(*f))
            wCol_[i] = it->wMax + (Sums && IsNumericField(*f) ? it->wSumAdd : 0);
        else
            wCol_[i] = int(it->wMax * ratio);
        if (wCol_[i] > 0) total += Sep + wCol_[i];
    }
    if (total > C) throw Exception(TooWideText());
    sum_.assign(Columns.size(), 0.0);
}

QString TTemplatePrint::cell(size_t i, TField* f, int kind) {
    const int w = wCol_[i];
    QString text;
    if (kind == 0) {
        text = Columns[i].title;
    } else if (kind == 1) {
        text = f->DisplayText();
        if (IsNumericField(*f) && !f->IsNull()) sum_[i] += f->AsFloat();
    } else if (IsNumericField(*f)) {
        text = f->DisplayFormat.isEmpty() ? FloatGeneral15Q(sum_[i]) : f->formatValue(QVariant(sum_[i]));
    }
    text = OneLine(text);
    if (text.size() > w) text = text.left(w - 1) + QLatin1Char('~');
    const qsizetype pad = w - text.size();
    qsizetype before = 0;
    if (f->Alignment & Qt::AlignRight)
        before = pad;
    else if (f->Alignment & Qt::AlignHCenter)
        before = pad / 2;
    // Values are escaped: a backslash, a brace or a tag-like text prints as it stands.
    QString body = Blanks(before);
    AppendRtfText(body, text);
    body += Blanks(pad - before);
    const TTextColumn& c = Columns[i];
    if (kind == 2 || (kind == 1 && c.bold)) body = QStringLiteral("\\b ") + body + QStringLiteral("\\b0 ");
    if (kind != 0 && c.italic) body = QStringLiteral("\\i ") + body + QStringLiteral("\\i0 ");
    if (kind != 0 && c.underline) body = QStringLiteral("\\ul ") + body + QStringLiteral("\\ul0 ");
    return body + Blanks(Sep);
}

QString TTemplatePrint::line(int kind) {
    QString out;
    for (size_t i = 0; i < Columns.size(); ++i) {
        TField* f;
        if (wCol_[i] <= 0 || !printedColumn(Columns[i], f)) continue;
        out += cell(i, f, kind);
    }
    return out;
}

QString TTemplatePrint::HeaderLine() {
    return line(0);
}

QString TTemplatePrint::SumLine() {
    return line(2);
}

QString TTemplatePrint::DataLines() {
    QString out;
    Aborted = false;
    const int count = DataSet->RecordCount();
    ScanDataset(DataSet, true, true, true, [&](int n, bool& stop) {
        if (n > 1) out += QStringLiteral("\\par ");
        out += line(1);
        if (n % 100 == 0 && OnProgress) OnProgress(n, count);
        if (IsAborted && IsAborted()) {
            Aborted = true;
            stop = true;
        }
    });
    return out;
}

QString TTemplatePrint::Run(const QString& folder, TActionAfter action, const QString& outputFile,
                            const QString& printerName, bool extract) {
    if (!DataSet || !DataSet->Active()) throw Exception(QStringLiteral("The dataset is not open."));
    if (!Measured()) Measure();
    Aborted = false;
    const QDir dir(folder);
    const QString templatePath =
        dir.filePath(QStringLiteral("printdata_template%1c.rtf").arg(TemplateNumber(Paper, Orientation)));
    const bool builtIn = !QFile::exists(templatePath);
    if (builtIn && extract) {
        // An edited copy in the folder is used unchanged; the built-in one is written only when missing.
        QSaveFile f(templatePath);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(BuiltInTemplate(TemplateNumber(Paper, Orientation))) < 0 || !f.commit())
            throw Exception(QStringLiteral("Cannot write file \"%1\".").arg(templatePath));
    }
    QString out = outputFile;
    if (out.isEmpty()) {
        for (int n = 1; out.isEmpty(); ++n) {
            const QString p = dir.filePath(QStringLiteral("printdata%1.rtf").arg(n));
            if (!QFile::exists(p)) out = p;
        }
        Cleanup().folders.insert(folder);
    }
    // Too wide fails here, before anything is written.
    ComputeWidths();

    TRTFReport2 rep;
    rep.DefaultCharset = 238;
    rep.ReportFile = templatePath;
    if (builtIn && !extract)
        rep.ReportFile = QStringLiteral(":/print/printtemp%1.rtf").arg(TemplateNumber(Paper, Orientation));
    rep.OutputFile = out;
    rep.ActionAfter = action;
    rep.Variables = {QStringLiteral("FS=%1").arg(FontSize())};
    QString lines;
    bool linesDone = false;
    auto dataLines = [&]() -> const QString& {
        // Once per run, also when an edited template names the lines twice or puts the sums first.
        if (!linesDone) lines = DataLines();
        linesDone = true;
        return lines;
    };
    rep.OnUserCalcMarkup = [&](const QString& name, QString& markup, bool& replace) {
        replace = true;
        if (name.compare(u"Header", Qt::CaseInsensitive) == 0) {
            markup = HeaderLine();
        } else if (name.compare(u"Line", Qt::CaseInsensitive) == 0) {
            markup = dataLines();
        } else if (name.compare(u"Footer", Qt::CaseInsensitive) == 0) {
            dataLines();
            markup = Sums ? SumLine() : QString();
        } else if (name.compare(u"ReportName", Qt::CaseInsensitive) == 0) {
            AppendRtfText(markup, Caption);
        } else if (name.compare(u"Date", Qt::CaseInsensitive) == 0) {
            AppendRtfText(markup, QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        } else {
            replace = false;
        }
    };
    rep.OnReadInfo = [&] { rep.SetPrinterName(printerName); };
    rep.Execute({DataSet});
    return out;
}
