#include "slk_export.h"

#include "cell_reader.h"
#include "export_writer.h"
#include "float_text.h"
#include "messages.h"
#include "scan_dataset.h"
#include "shell.h"
#include "text_cleanup.h"

#include <QScopeGuard>
#include <charconv>
#include <memory>

namespace {
constexpr char kEsc = 27;
// 1900-01-01 as milliseconds since 1899-12-30: dates before it are written as text.
constexpr int64_t k1900 = 2 * dtconv::kMsPerDay;

void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    out.append(buf, size_t(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}

void AppendFloat(std::string& out, double v) {
    char buf[kFloatGeneral15Max];
    out.append(buf, size_t(FloatGeneral15To(buf, v) - buf));
}

// Every ";" doubled, as the format's field separator.
void AppendSemicolons(std::string& out, std::string_view s) {
    AppendDoubling(out, s, ";");
}

std::string Utf8(const QString& s) {
    return s.toUtf8().toStdString();
}

// Float-valued types; time stamps count as date-times.
bool FloatForm(TFieldType t) {
    return StorageOf(t) == StorageKind::Float || IsDateTimeType(t);
}
} // namespace

void AppendSylkText(std::string& out, std::string_view text, std::string& t) {
    t.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            t += kEsc;
            t += " :";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            t += c;
        }
    }
    if (Utf8Length(t) > 250) {
        t.resize(Utf8Prefix(t, 247));
        if (t.size() >= 2 && t[t.size() - 2] == kEsc && t.back() == ' ')
            t.resize(t.size() - 2);
        else if (!t.empty() && t.back() == kEsc)
            t.pop_back();
        t += "...";
    }
    out += '"';
    AppendSemicolons(out, t);
    out += '"';
}

// The lines of one run, in UTF-8, to the file.
class TSLKExport::Writer {
public:
    explicit Writer(ExportWriter& out) : out_(out) {}
    void line(std::string_view s) { out_.line(s); }
    void userLine(const QString& s) {
        if (!s.isEmpty()) out_.lineText(s);
    }
    void line2(std::string_view a, std::string_view b) {
        buf_.assign(a);
        buf_.append(b);
        out_.line(buf_);
    }
    ExportWriter& out_;
    std::string buf_;
};

bool TSLKExport::Execute(TDataSet* dataset) {
    if (!dataset) return false;
    TDataSetSource source(dataset);
    return Execute(source);
}

bool TSLKExport::Execute(const TExportSource& source) {
    SourceType = source.SourceType();
    SourceObject = &source;
    Dataset = nullptr;
    RecIdx = RecCount = 0;
    Aborted = false;
    if (ExportFile.isEmpty()) return false;
    TDataSet* ds = source.DataSet();
    if (!ds || !ds->Active()) return false;
    Dataset = ds;
    ExportProgress progress(ShowProgressBar, OnProgressEvent);
    try {
        ExportWriter out(ExportFile, Encoding, false);
        Writer w(out);
        writer_ = &w;
        const auto reset = qScopeGuard([this] { writer_ = nullptr; });
        run(source, progress);
        if (Aborted) return false;
        out.commit();
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot export data."), e);
        return false;
    }
    DoActionAfter(ExportFile, ActionAfter);
    return true;
}

void TSLKExport::ExportLine(const QString& text) {
    if (writer_) writer_->userLine(text);
}

void TSLKExport::run(const TExportSource& source, ExportProgress& progress) {
    const std::vector<ExportColumn> cols = source.Columns(ExportOnlyVisibleFields, true);
    const bool fonts = SetFontName != QLatin1String("nil");
    writeFormats(cols, fonts);
    if (OnBeforeExport) OnBeforeExport(*this, startCol_, startRow_);
    Y = startRow_;
    X = startCol_;
    if (SetColWidth) writeColumnWidths(cols);
    if (ExportFieldName || ExportStructureOnly) writeTitles(cols);
    const int firstDataRow = Y;
    if (!ExportStructureOnly && !writeRows(source, cols, progress)) return;
    if (MakeSumRow && Y > firstDataRow) writeSums(cols, firstDataRow);
    if (fonts) {
        Writer& w = *writer_;
        std::string s;
        w.line(";");
        w.line("; Global Formating");
        auto bold = [&](int row) {
            s.assign("F;R");
            AppendInt(s, row);
            s += ";SM1";
            w.line(s);
        };
        if (ExportFieldName) bold(startRow_);
        if (MakeSumRow) bold(Y);
    }
    if (OnAfterExport) OnAfterExport(*this, MaxX, Y);
    writer_->line("E");
}

void TSLKExport::writeFormats(const std::vector<ExportColumn>& cols, bool fonts) {
    Writer& w = *writer_;
    std::string s;
    w.line(SLKIdHeaderLine.isEmpty() ? std::string("ID;SLKExport") : Utf8(SLKIdHeaderLine));
    // Pictures: 0 general, 1 date, 2 time, 3 + i the column's.
    auto picture = [&](const QString& p) {
        s.assign("P;P");
        AppendSemicolons(s, Utf8(p.isEmpty() ? QStringLiteral("General") : p));
        w.line(s);
    };
    picture(QStringLiteral("General"));
    picture(DefaultDateFormat.isEmpty() ? QStringLiteral("d/m/yyyy") : DefaultDateFormat);
    picture(DefaultTimeFormat.isEmpty() ? QStringLiteral("h:mm") : DefaultTimeFormat);
    for (const ExportColumn& c : cols)
        picture(IsNumericField(*c.field)
                    ? (c.field->DisplayFormat.isEmpty() ? DefaultNumFormat : c.field->DisplayFormat)
                    : QString());
    if (fonts) {
        std::string font("P;F");
        AppendSemicolons(font, Utf8(SetFontName));
        for (const char* style : {"", ";SB", ";SI", ";SU"})
            w.line2(font, style);
    }
}

void TSLKExport::writeRowStart() {
    std::string s("C;X");
    AppendInt(s, startCol_);
    s += ";Y";
    AppendInt(s, Y);
    writer_->line(s);
}

void TSLKExport::writeColumnWidths(const std::vector<ExportColumn>& cols) {
    Writer& w = *writer_;
    std::string s;
    w.line(";");
    w.line("; Column Width");
    for (int i = 0; i < int(cols.size()); ++i) {
        int width = std::min(cols[size_t(i)].field->DisplayWidth(), 50);
        width = width <= 5 ? 7 : width + 2;
        s.assign("F;W");
        AppendInt(s, startCol_ + i);
        s += ' ';
        AppendInt(s, startCol_ + i);
        s += ' ';
        AppendInt(s, width);
        w.line(s);
    }
}

void TSLKExport::writeTitles(const std::vector<ExportColumn>& cols) {
    Writer& w = *writer_;
    std::string s, value, scratch;
    w.line(";");
    w.line("; Title");
    writeRowStart();
    for (int i = 0; i < int(cols.size()); ++i) {
        const ExportColumn& c = cols[size_t(i)];
        value = Utf8(RealFieldNamesAsTitle ? c.field->FieldName : c.title);
        if (TrimData) TrimControls(value);
        s.assign("C;X");
        AppendInt(s, startCol_ + i);
        s += ";K";
        AppendSylkText(s, value, scratch);
        w.line(s);
    }
    ++Y;
}

bool TSLKExport::writeRows(const TExportSource& source, const std::vector<ExportColumn>& cols,
                           ExportProgress& progress) {
    Writer& w = *writer_;
    TDataSet* ds = Dataset;
    const int n = int(cols.size());
    std::string s, value, scratch;
    // Per column: how its cells are written, and the fixed head of its format line.
    enum class Form { DateTime, Number, Text, Plain };
    struct Col {
        CellReader reader;
        Form form;
        bool floatForm;
        std::string head; // "F;P%d;X%d" or "C;X%d"
        std::string x;    // the column number
    };
    std::vector<Col> cs;
    cs.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        TField& f = *cols[size_t(i)].field;
        Form form = IsDateTimeField(f)                            ? Form::DateTime
                    : IsNumericField(f)                           ? Form::Number
                    : (IsQuotedTextField(f) || IsBooleanField(f)) ? Form::Text
                                                                  : Form::Plain;
        std::string x = std::to_string(startCol_ + i);
        std::string head = form == Form::Number ? "F;P" + std::to_string(3 + i) + ";X" + x : "C;X" + x;
        cs.push_back({CellReader(*ds, f, &w.out_.encoding()), form, FloatForm(f.DataType), head, x});
    }
    RecCount = ds->RecordCount();
    bool selectedOnly = ExportOnlySelectedRows && source.HasSelection();
    ScanDataset(ds, UseDisableControl, UseDisableControl, true, [&](int recNo, bool& stop) {
        if (selectedOnly && !source.IsSelected()) return;
        RecIdx = recNo;
        int pos = ds->currentPosition();
        w.line(";");
        w.line("; Row");
        writeRowStart();
        for (Col& c : cs) {
            if (c.reader.isNull(pos)) continue;
            value.clear();
            bool text = c.form == Form::Text;
            if (c.form == Form::DateTime) {
                int64_t ms = c.reader.msAt(pos);
                bool timeOnly = ms >= 0 && ms < dtconv::kMsPerDay;
                s.assign(timeOnly ? "F;P2;X" : "F;P1;X");
                s.append(c.x);
                w.line(s);
                // A time of day is its fraction of a day; other dates before 1900 stay text.
                if (timeOnly || ms >= k1900)
                    AppendFloat(value, dtconv::ToDays(ms));
                else
                    c.reader.appendText(value, pos), text = true;
            } else {
                w.line(c.head);
                if (c.floatForm)
                    AppendFloat(value, c.reader.floatAt(pos));
                else
                    c.reader.appendText(value, pos);
            }
            if (TrimData) TrimControls(value);
            s.assign("C;K");
            if (text)
                AppendSylkText(s, value, scratch);
            else
                AppendSemicolons(s, value);
            w.line(s);
        }
        ++Y;
        MaxX = startCol_ + n - 1;
        progress.record(RecIdx, RecCount);
        Aborted = Aborted || progress.aborted();
        stop = Aborted;
    });
    return !Aborted;
}

void TSLKExport::writeSums(const std::vector<ExportColumn>& cols, int firstDataRow) {
    Writer& w = *writer_;
    const int n = int(cols.size());
    std::string s, scratch;
    w.line(";");
    w.line("; Sum");
    writeRowStart();
    bool labelled = false;
    for (int i = 0; i < n; ++i) {
        s.assign("C;X");
        AppendInt(s, startCol_ + i);
        if (IsQuotedTextField(*cols[size_t(i)].field)) {
            if (labelled) continue;
            labelled = true;
            s += ";K";
            AppendSylkText(s, "Sum:", scratch);
        } else {
            s += ";ESUM(R";
            AppendInt(s, firstDataRow);
            s += "C:R";
            AppendInt(s, Y - 1);
            s += "C)";
        }
        w.line(s);
    }
}
