#include "slk_export.h"

#include "cell_reader.h"
#include "export_writer.h"
#include "float_text.h"
#include "text_cleanup.h"

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

// One run: the lines in UTF-8 to the file, in the file's sections: formats and fonts, column widths,
// titles, rows, sums, row formatting.
class TSLKExport::Run : public ExportFormat {
public:
    explicit Run(TSLKExport& e) : e_(e), fonts_(e.SetFontName != QLatin1String("nil")) {
        withTitles = e.ExportFieldName;
        selectedOnly = e.ExportOnlySelectedRows;
    }
    ~Run() override { e_.run_ = nullptr; }

    bool ready() const override { return !e_.ExportFile.isEmpty(); }
    void open() override {
        out_ = std::make_unique<ExportWriter>(e_.ExportFile, e_.Encoding, false);
        e_.run_ = this;
    }
    void bind(const TExportSource& source) override;
    void begin() override;
    void titles() override;
    bool row(int position) override;
    void sums() override;
    void end() override;
    QString commit() override {
        out_->commit();
        return e_.ExportFile;
    }

    void userLine(const QString& s) {
        if (!s.isEmpty()) out_->lineText(s);
    }

private:
    // How a column's cells are written.
    enum class Form { DateTime, Number, Text, Plain };
    struct Col {
        CellReader reader;
        Form form;
        bool floatForm;
        std::string head; // "F;P%d;X%d" or "C;X%d"
        std::string x;    // the column number
    };
    void line(std::string_view s) { out_->line(s); }
    void rowStart(); // the cursor to the first column of row Y

    TSLKExport& e_;
    const bool fonts_;
    std::unique_ptr<ExportWriter> out_;
    std::vector<ExportColumn> cols_; // as the first bind found them
    std::vector<Col> cs_;            // of the bound dataset
    bool bound_ = false;
    int firstDataRow_ = 0;
    std::string s_, value_, scratch_;
};

bool TSLKExport::Execute(TDataSet* dataset) {
    if (!dataset) return false;
    TDataSetSource source(dataset);
    return Execute(source);
}

bool TSLKExport::Execute(const TExportSource& source) {
    Run run(*this);
    return runExport(source, run);
}

bool TSLKExport::ExecuteForwardOnly(TDataSet* dataset) {
    Run run(*this);
    return runForwardOnly(dataset, run);
}

void TSLKExport::ExportLine(const QString& text) {
    if (run_) run_->userLine(text);
}

void TSLKExport::Run::bind(const TExportSource& source) {
    const std::vector<ExportColumn> cols = source.Columns(e_.ExportOnlyVisibleFields, true);
    if (!bound_) cols_ = cols;
    bound_ = true;
    cs_.clear();
    cs_.reserve(cols.size());
    for (int i = 0; i < int(cols.size()); ++i) {
        TField& f = *cols[size_t(i)].field;
        Form form = IsDateTimeField(f)                            ? Form::DateTime
                    : IsNumericField(f)                           ? Form::Number
                    : (IsQuotedTextField(f) || IsBooleanField(f)) ? Form::Text
                                                                  : Form::Plain;
        std::string x = std::to_string(e_.startCol_ + i);
        std::string head = form == Form::Number ? "F;P" + std::to_string(3 + i) + ";X" + x : "C;X" + x;
        cs_.push_back(
            {CellReader(*source.DataSet(), f, &out_->encoding()), form, FloatForm(f.DataType), head, x});
    }
}

void TSLKExport::Run::begin() {
    line(e_.SLKIdHeaderLine.isEmpty() ? std::string("ID;SLKExport") : Utf8(e_.SLKIdHeaderLine));
    // Pictures: 0 general, 1 date, 2 time, 3 + i the column's.
    auto picture = [&](const QString& p) {
        s_.assign("P;P");
        AppendSemicolons(s_, Utf8(p.isEmpty() ? QStringLiteral("General") : p));
        line(s_);
    };
    picture(QStringLiteral("General"));
    picture(e_.DefaultDateFormat.isEmpty() ? QStringLiteral("d/m/yyyy") : e_.DefaultDateFormat);
    picture(e_.DefaultTimeFormat.isEmpty() ? QStringLiteral("h:mm") : e_.DefaultTimeFormat);
    for (const ExportColumn& c : cols_)
        picture(IsNumericField(*c.field)
                    ? (c.field->DisplayFormat.isEmpty() ? e_.DefaultNumFormat : c.field->DisplayFormat)
                    : QString());
    if (fonts_) {
        std::string font("P;F");
        AppendSemicolons(font, Utf8(e_.SetFontName));
        for (const char* style : {"", ";SB", ";SI", ";SU"}) {
            s_.assign(font);
            s_.append(style);
            line(s_);
        }
    }
    if (e_.OnBeforeExport) e_.OnBeforeExport(e_, e_.startCol_, e_.startRow_);
    e_.Y = e_.startRow_;
    e_.X = e_.startCol_;
    firstDataRow_ = e_.Y;
    if (!e_.SetColWidth) return;
    line(";");
    line("; Column Width");
    for (int i = 0; i < int(cols_.size()); ++i) {
        int width = std::min(cols_[size_t(i)].field->DisplayWidth(), 50);
        width = width <= 5 ? 7 : width + 2;
        s_.assign("F;W");
        AppendInt(s_, e_.startCol_ + i);
        s_ += ' ';
        AppendInt(s_, e_.startCol_ + i);
        s_ += ' ';
        AppendInt(s_, width);
        line(s_);
    }
}

void TSLKExport::Run::rowStart() {
    s_.assign("C;X");
    AppendInt(s_, e_.startCol_);
    s_ += ";Y";
    AppendInt(s_, e_.Y);
    line(s_);
}

void TSLKExport::Run::titles() {
    line(";");
    line("; Title");
    rowStart();
    for (int i = 0; i < int(cols_.size()); ++i) {
        const ExportColumn& c = cols_[size_t(i)];
        value_ = Utf8(e_.RealFieldNamesAsTitle ? c.field->FieldName : c.title);
        if (e_.TrimData) TrimControls(value_);
        s_.assign("C;X");
        AppendInt(s_, e_.startCol_ + i);
        s_ += ";K";
        AppendSylkText(s_, value_, scratch_);
        line(s_);
    }
    firstDataRow_ = ++e_.Y;
}

bool TSLKExport::Run::row(int pos) {
    line(";");
    line("; Row");
    rowStart();
    for (Col& c : cs_) {
        if (c.reader.isNull(pos)) continue;
        value_.clear();
        bool text = c.form == Form::Text;
        if (c.form == Form::DateTime) {
            int64_t ms = c.reader.msAt(pos);
            bool timeOnly = ms >= 0 && ms < dtconv::kMsPerDay;
            s_.assign(timeOnly ? "F;P2;X" : "F;P1;X");
            s_.append(c.x);
            line(s_);
            // A time of day is its fraction of a day; other dates before 1900 stay text.
            if (timeOnly || ms >= k1900)
                AppendFloat(value_, dtconv::ToDays(ms));
            else
                c.reader.appendText(value_, pos), text = true;
        } else {
            line(c.head);
            if (c.floatForm)
                AppendFloat(value_, c.reader.floatAt(pos));
            else
                c.reader.appendText(value_, pos);
        }
        if (e_.TrimData) TrimControls(value_);
        s_.assign("C;K");
        if (text)
            AppendSylkText(s_, value_, scratch_);
        else
            AppendSemicolons(s_, value_);
        line(s_);
    }
    ++e_.Y;
    e_.MaxX = e_.startCol_ + int(cs_.size()) - 1;
    return true;
}

void TSLKExport::Run::sums() {
    if (!e_.MakeSumRow || e_.Y <= firstDataRow_) return;
    line(";");
    line("; Sum");
    rowStart();
    bool labelled = false;
    for (int i = 0; i < int(cols_.size()); ++i) {
        s_.assign("C;X");
        AppendInt(s_, e_.startCol_ + i);
        if (IsQuotedTextField(*cols_[size_t(i)].field)) {
            if (labelled) continue;
            labelled = true;
            s_ += ";K";
            AppendSylkText(s_, "Sum:", scratch_);
        } else {
            s_ += ";ESUM(R";
            AppendInt(s_, firstDataRow_);
            s_ += "C:R";
            AppendInt(s_, e_.Y - 1);
            s_ += "C)";
        }
        line(s_);
    }
}

void TSLKExport::Run::end() {
    if (fonts_) {
        line(";");
        line("; Global Formating");
        auto bold = [&](int row) {
            s_.assign("F;R");
            AppendInt(s_, row);
            s_ += ";SM1";
            line(s_);
        };
        if (e_.ExportFieldName) bold(e_.startRow_);
        if (e_.MakeSumRow) bold(e_.Y);
    }
    if (e_.OnAfterExport) e_.OnAfterExport(e_, e_.MaxX, e_.Y);
    line("E");
}
