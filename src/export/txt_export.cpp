#include "txt_export.h"

#include "cell_reader.h"
#include "export_writer.h"
#include "text_cleanup.h"

#include <memory>

namespace {
std::string Utf8(const QString& s) {
    return s.toUtf8().toStdString();
}
} // namespace

// One run: the settings in UTF-8, the output and the columns' readers.
class TTXTExport::Run : public ExportFormat {
public:
    explicit Run(TTXTExport& e)
        : e_(e), apos_(Utf8(e.TextApostrophe)), sep_(Utf8(e.FieldSeparator)), memoEol_(Utf8(e.MemoEOLString)),
          fixed_(e.FillChar.unicode() != 0), fill_(fixed_ ? Utf8(QString(e.FillChar)) : std::string()),
          needsQuotes_(sep_, apos_) {
        withTitles = e.ExportFieldName;
        selectedOnly = e.ExportOnlySelectedRows;
        showAllErrors = false;
    }
    ~Run() override { e_.out_ = nullptr; }

    void open() override {
        e_.ExportResult.clear();
        out_ = e_.ExportFile.isEmpty()
                   ? std::make_unique<ExportWriter>(&e_.ExportResult)
                   : std::make_unique<ExportWriter>(e_.ExportFile, e_.Encoding, e_.AppendToFile);
        e_.out_ = out_.get();
    }

    // Fixed-width columns keep the widths of the first block: a column whose type widens later (a
    // SQLite column meeting a fraction) must not shift the lines after it.
    void bind(const TExportSource& source) override {
        columns_.clear();
        for (const ExportColumn& c : source.Columns(e_.ExportOnlyVisibleFields, e_.ExportMemoFields)) {
            TField& f = *c.field;
            columns_.push_back({CellReader(*source.DataSet(), f, &out_->encoding()), IsQuotedTextField(f),
                                f.DisplayWidth(), f.Alignment,
                                Utf8(e_.RealFieldNamesAsTitle ? f.FieldName : c.title)});
        }
        if (!bound_) {
            bound_ = true;
            for (const Col& c : columns_)
                widths_.push_back(c.width);
        } else {
            for (size_t i = 0; i < columns_.size() && i < widths_.size(); ++i)
                columns_[i].width = widths_[i];
        }
    }

    void begin() override {
        if (e_.OnBeforeExport) e_.OnBeforeExport(e_);
    }

    // Titles are not quoted, unless they would break the line into more values.
    void titles() override {
        line_.clear();
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (fixed_) {
                value_ = columns_[i].title;
                cleanup();
                add(i);
                continue;
            }
            if (i) line_.append(sep_);
            const size_t at = line_.size();
            line_.append(columns_[i].title);
            delimited(at, false);
        }
        out_->line(line_);
    }

    // Delimited values are read straight into the line; fixed-width ones go through value_ to be cut
    // or padded.
    bool row(int position) override {
        line_.clear();
        for (size_t i = 0; i < columns_.size(); ++i) {
            Col& c = columns_[i];
            const bool quoted = e_.ExportAllAsText || c.quoted;
            if (fixed_) {
                value_.clear();
                c.reader.appendDisplayText(value_, position);
                cleanup();
                if (quoted) quote();
                add(i);
                continue;
            }
            if (i) line_.append(sep_);
            // A value quoted by its type gets its opening quote first, so it is not moved after.
            if (quoted) line_.append(apos_);
            const size_t at = line_.size();
            c.reader.appendDisplayText(line_, position);
            delimited(at, quoted);
        }
        out_->line(line_);
        return true;
    }

    void end() override {
        if (e_.OnAfterExport) e_.OnAfterExport(e_);
    }

    QString commit() override {
        if (e_.ExportFile.isEmpty()) return {};
        out_->commit();
        return e_.ExportFile;
    }

private:
    struct Col {
        CellReader reader;
        bool quoted;
        int width;
        Qt::Alignment alignment;
        std::string title;
    };

    // The value at line_[at...] cleaned up and quoted: with its opening quote already in front when
    // quoted, else only when it would break the line into more values (a number written with a decimal
    // comma under the comma separator).
    void delimited(size_t at, bool quoted) {
        if (e_.TrimData) TrimControls(line_, at);
        if (e_.ExportMemoFields) ReplaceLineBreaks(line_, memoEol_, scratch_, at);
        if (apos_.empty()) return;
        if (!quoted) {
            if (!needsQuotes_(std::string_view(line_).substr(at))) return;
            line_.insert(at, apos_);
            at += apos_.size();
        }
        // A quote inside is doubled, so the value reads back as it was.
        DoubleInPlace(line_, at, apos_, scratch_);
        line_.append(apos_);
    }

    void cleanup() {
        if (e_.TrimData) TrimControls(value_);
        if (e_.ExportMemoFields) ReplaceLineBreaks(value_, memoEol_, scratch_);
    }

    void quote() {
        if (apos_.empty()) return;
        // A quote inside is doubled, so the value reads back as it was.
        scratch_.assign(apos_);
        AppendDoubling(scratch_, value_, apos_);
        scratch_.append(apos_);
        value_.swap(scratch_);
    }

    void add(size_t i) {
        if (i) line_.append(sep_);
        if (!fixed_) {
            line_.append(value_);
            return;
        }
        AppendFixedWidth(line_, value_, columns_[i].width, columns_[i].alignment, fill_);
    }

    TTXTExport& e_;
    std::unique_ptr<ExportWriter> out_;
    std::vector<Col> columns_;
    std::vector<int> widths_;
    bool bound_ = false;
    std::string apos_, sep_, memoEol_;
    bool fixed_;
    std::string fill_;
    QuoteTest needsQuotes_;
    std::string line_, value_, scratch_;
};

bool TTXTExport::Execute(TDataSet* dataset) {
    TDataSetSource source(dataset);
    return Execute(source);
}

bool TTXTExport::Execute(const TExportSource& source) {
    Run run(*this);
    return runExport(source, run);
}

bool TTXTExport::ExecuteForwardOnly(TDataSet* ds) {
    Run run(*this);
    return runForwardOnly(ds, run);
}

void TTXTExport::ExportLine(const QString& text) {
    if (out_)
        out_->lineText(text);
    else
        ExportResult.append(text);
}
