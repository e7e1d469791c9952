#include "txt_export.h"

#include "cell_reader.h"
#include "export_writer.h"
#include "messages.h"
#include "scan_dataset.h"
#include "shell.h"
#include "text_cleanup.h"

#include <QScopeGuard>
#include <limits>
#include <memory>

namespace {
std::string Utf8(const QString& s) {
    return s.toUtf8().toStdString();
}
} // namespace

// One Execute: the settings in UTF-8 and the columns' readers, built once.
class TTXTExport::Run {
public:
    Run(TTXTExport& e, const std::vector<ExportColumn>& cols, ExportWriter& out)
        : e_(e), out_(out), apos_(Utf8(e.TextApostrophe)), sep_(Utf8(e.FieldSeparator)),
          memoEol_(Utf8(e.MemoEOLString)), fixed_(e.FillChar.unicode() != 0),
          fill_(fixed_ ? Utf8(QString(e.FillChar)) : std::string()) {
        for (const ExportColumn& c : cols) {
            TField& f = *c.field;
            columns_.push_back({CellReader(*e.Dataset, f, &out.encoding()), IsQuotedTextField(f),
                                f.DisplayWidth(), f.Alignment,
                                Utf8(e.RealFieldNamesAsTitle ? f.FieldName : c.title)});
        }
    }

    // Fixed-width columns keep the widths of the first block's run: a column whose type widens later
    // (a SQLite column meeting a fraction) must not shift the lines after it.
    void keepWidths(std::vector<int>& widths) {
        if (widths.empty()) {
            for (const Col& c : columns_)
                widths.push_back(c.width);
        } else {
            for (size_t i = 0; i < columns_.size() && i < widths.size(); ++i)
                columns_[i].width = widths[i];
        }
    }

    void titleLine() {
        line_.clear();
        for (size_t i = 0; i < columns_.size(); ++i) {
            value_ = columns_[i].title;
            cleanup();
            // Titles are not quoted, unless they would break the line into more values.
            if (!fixed_ && NeedsQuotes(value_, sep_, apos_)) quote();
            add(i);
        }
        out_.line(line_);
    }

    void recordLine(int position) {
        line_.clear();
        for (size_t i = 0; i < columns_.size(); ++i) {
            value_.clear();
            columns_[i].reader.appendDisplayText(value_, position);
            cleanup();
            // Any value that would break the line into more values is quoted too (a number written
            // with a decimal comma under the comma separator).
            if (e_.ExportAllAsText || columns_[i].quoted || (!fixed_ && NeedsQuotes(value_, sep_, apos_)))
                quote();
            add(i);
        }
        out_.line(line_);
    }

private:
    struct Col {
        CellReader reader;
        bool quoted;
        int width;
        Qt::Alignment alignment;
        std::string title;
    };

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
    ExportWriter& out_;
    std::vector<Col> columns_;
    std::string apos_, sep_, memoEol_;
    bool fixed_;
    std::string fill_;
    std::string line_, value_, scratch_;

    friend class TTXTExport;
};

bool TTXTExport::Execute(TDataSet* dataset) {
    TDataSetSource source(dataset);
    return Execute(source);
}

bool TTXTExport::Execute(const TExportSource& source) {
    SourceType = source.SourceType();
    SourceObject = &source;
    Dataset = nullptr;
    TDataSet* ds = source.DataSet();
    if (!ds || !ds->Active()) return false;
    Dataset = ds;
    return exportWith([&](ExportWriter& out, ExportProgress& progress) {
        Run run(*this, source.Columns(ExportOnlyVisibleFields, ExportMemoFields), out);
        run_ = &run;
        const auto reset = qScopeGuard([this] { run_ = nullptr; });
        if (OnBeforeExport) OnBeforeExport(*this);
        if (ExportFieldName || ExportStructureOnly) run.titleLine();
        if (!ExportStructureOnly) {
            RecCount = ds->RecordCount();
            bool selectedOnly = ExportOnlySelectedRows && source.HasSelection();
            ScanDataset(ds, UseDisableControl, UseDisableControl, true, [&](int recNo, bool& stop) {
                if (selectedOnly && !source.IsSelected()) return;
                RecIdx = recNo;
                run.recordLine(ds->currentPosition());
                progress.record(RecIdx, RecCount);
                if (progress.aborted()) Aborted = true;
                stop = Aborted;
            });
            if (Aborted) return false;
        }
        if (OnAfterExport) OnAfterExport(*this);
        return true;
    });
}

bool TTXTExport::ExecuteForwardOnly(TDataSet* ds) {
    SourceType = stDataset;
    SourceObject = nullptr;
    Dataset = ds;
    if (!ds) return false;
    return exportWith([&](ExportWriter& out, ExportProgress& progress) {
        bool first = true;
        std::vector<int> widths;
        ds->OnBlock = [&](TDataSet& block, bool) {
            // The readers are made for each block: a column may have changed its type in between.
            TDataSetSource source(&block);
            Run run(*this, source.Columns(ExportOnlyVisibleFields, ExportMemoFields), out);
            run.keepWidths(widths);
            run_ = &run;
            struct Reset {
                Run*& r;
                ~Reset() { r = nullptr; }
            } reset{run_};
            if (first) {
                first = false;
                if (OnBeforeExport) OnBeforeExport(*this);
                if (ExportFieldName || ExportStructureOnly) run.titleLine();
            }
            if (ExportStructureOnly || Aborted) return;
            RecCount = int(std::min<qint64>(block.store().fetchedRows(), std::numeric_limits<int>::max()));
            const int n = block.RecordCount();
            for (int p = 0; p < n && !Aborted; ++p) {
                ++RecIdx;
                run.recordLine(p);
                progress.record(RecIdx, RecCount);
                Aborted = progress.aborted();
            }
        };
        struct Detach {
            TDataSet* ds;
            ~Detach() { ds->OnBlock = nullptr; }
        } detach{ds};
        ds->Open();
        if (Aborted) return false;
        if (OnAfterExport) OnAfterExport(*this);
        return true;
    });
}

bool TTXTExport::exportWith(const std::function<bool(ExportWriter&, ExportProgress&)>& records) {
    RecIdx = RecCount = 0;
    Aborted = false;
    ExportProgress progress(ShowProgressBar, OnProgressEvent);
    ExportResult.clear();
    try {
        std::unique_ptr<ExportWriter> out =
            ExportFile.isEmpty() ? std::make_unique<ExportWriter>(&ExportResult)
                                 : std::make_unique<ExportWriter>(ExportFile, Encoding, AppendToFile);
        if (!records(*out, progress)) return false;
        if (ExportFile.isEmpty()) return true;
        out->commit();
    } catch (const ExportSaveError& e) {
        ShowException(QStringLiteral("Error: Cannot export data."), e);
        return false;
    }
    DoActionAfter(ExportFile, ActionAfter);
    return true;
}

void TTXTExport::ExportLine(const QString& text) {
    if (run_)
        run_->out_.lineText(text);
    else
        ExportResult.append(text);
}
