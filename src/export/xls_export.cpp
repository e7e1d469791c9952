#include "xls_export.h"

#include "cell_reader.h"
#include "color_text.h"
#include "messages.h"
#include "safe_file.h"
#include "text_cleanup.h"
#include "workbook_package.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace {
// Integers from 2^53 on may lose digits as a spreadsheet number.
constexpr double kExactIntLimit = 9007199254740992.0;
// 1900-03-01 in days since 1899-12-30: before it the spreadsheet's serials count a day that never
// was (1900-02-29), so earlier dates (other than times of day) are written as text.
constexpr double kFirstSerialDay = 61;
// The largest row height (points) and column width (characters) a sheet takes.
constexpr double kMaxRowPoints = 409;
constexpr double kMaxColumnWidth = 255;

enum class Kind { Text, DateTime, Float, Int, Bool };

Kind KindOf(const TField& f) {
    switch (StorageOf(f.DataType)) {
    case StorageKind::DateTime:
        return Kind::DateTime;
    case StorageKind::Float:
        return Kind::Float;
    case StorageKind::Int:
        return Kind::Int;
    case StorageKind::Bool:
        return Kind::Bool;
    default:
        return Kind::Text;
    }
}

QString DateFormatOf(const TField& f, const TkXLSExport& e) {
    if (f.DataType == ftTime) {
        if (!f.DisplayFormat.isEmpty()) return ConvertDateFormat(f.DisplayFormat);
        return e.DefaultTimeFormat.isEmpty() ? QStringLiteral("hh:mm:ss") : e.DefaultTimeFormat;
    }
    if (!f.DisplayFormat.isEmpty()) return ConvertDateFormat(f.DisplayFormat);
    if (!e.DefaultDateFormat.isEmpty()) return ConvertDateFormat(e.DefaultDateFormat);
    // Day, month, year; a date-time keeps its time visible.
    return f.DataType == ftDate ? QStringLiteral("dd/mm/yyyy") : QStringLiteral("dd/mm/yyyy hh:mm:ss");
}

// A column's own colour and font on its data cells, as the colour options ask.
void ApplyLook(CellFormat& f, const ExportColumnLook& look, TXLSExportColors colors) {
    if (!(colors & xleUseColumnsColor)) return;
    if ((colors & xleSetBkColor) && look.Background != ExportColumnLook::kNone)
        f.Background = look.Background;
    if (colors & xleSetFontColor) {
        if (!look.FontName.isEmpty()) f.FontName = look.FontName;
        if (look.FontSize > 0) f.FontSize = look.FontSize;
        f.Bold = f.Bold || look.Bold;
    }
}

// A cell's own look over its column's format: colours as the colour options ask.
CellFormat WithLook(CellFormat f, const ExportCellLook& look, TXLSExportColors colors) {
    if ((colors & xleSetBkColor) && look.Background != ExportCellLook::kNone) f.Background = look.Background;
    if (colors & xleSetFontColor) {
        if (look.FontColor != ExportCellLook::kNone) f.FontColor = look.FontColor;
        f.Bold = f.Bold || look.Bold;
    }
    return f;
}

// A colour of this program (0x00BBGGRR) as 0xRRGGBB; none (or a value that is no colour) as kNoColor.
uint32_t RgbOf(int bgr) {
    if (bgr < 0 || bgr > 0xFFFFFF) return CellFormat::kNoColor;
    return uint32_t((bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF));
}

// A colour value's text (a colour name or number) as 0xRRGGBB; kNone when it is none.
unsigned ValueColor(std::string_view utf8) {
    static_assert(ExportCellLook::kNone == CellFormat::kNoColor);
    return RgbOf(TextToColor(QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))));
}

size_t Lines(std::string_view text) {
    return size_t(std::count(text.begin(), text.end(), '\n')) + 1;
}

size_t NumberWidth(double v) {
    char buf[40];
    return size_t(std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr - buf);
}
} // namespace

QString ConvertDateFormat(const QString& fieldFormat) {
    QString s;
    s.reserve(fieldFormat.size());
    for (QChar c : fieldFormat) {
        char16_t u = c.unicode();
        if (u == 'n' || u == 'N')
            s += QLatin1Char('m');
        else if (QStringLiteral("DMYH").contains(c))
            s += c.toLower();
        else
            s += c;
    }
    return s;
}

// The rows of the sheet, with their formats and sizes.
class TkXLSExport::Run {
public:
    Run(TkXLSExport& e, SheetWriter& wb) : e_(e), wb_(wb) {}
    // The formats of the columns from the first source bound; the readers of every one.
    void bind(const TExportSource& source);
    void titles();
    bool record(int pos);
    // After the records: the data rows' range, the auto filter over them and the sum row.
    void afterRecords();
    // The column widths, page set-up and frozen titles.
    void finish();
    void autoFilter();

    QString limitError; // the sheet could not hold all: the rows before stay
    int bigInts = 0;    // integers written as text
    QString firstBigCell;

private:
    struct Col {
        CellReader reader;
        Kind kind;
        bool quotedText;
        int fmt = 0, titleFmt = 0, sumFmt = 0;
        bool wrap = false;       // wrapped texts show their lines
        bool colorValue = false; // the value names the cell's colour
        bool picture = false;    // the cells show pictures ...
        bool graphic = false;    // ... read from the field
        int fieldType = 0;       // GetFieldType's kind
        double pictureWidth = 0; // column width its pictures need, 0: none yet
        size_t width = 0;
        double sum = 0;
        CellFormat data = {};         // the data cells' format
        ExportCellLook lastLook = {}; // the last cell look of the column ...
        int lastFmt = 0;              // ... and its format
    };
    // One pooled format per distinct look over a column's format.
    struct LookKey {
        int base;
        uint32_t background, fontColor;
        bool bold;
        auto operator<=>(const LookKey&) const = default;
    };
    struct Cell {
        enum Type { Blank, Number, Text, Bool } type;
        double value;
        size_t offset, length;
        int fmt;
    };
    void setUp();
    void readPicture(size_t i, int pos);
    int lookFormat(Col& c, const ExportCellLook& look);
    void sumRow();
    void conditionalFormats();
    int sheetRow() const { return e_.startRow_ - 1 + e_.RowIdx; }

    TkXLSExport& e_;
    const TExportSource* source_ = nullptr;
    SheetWriter& wb_;
    std::vector<ExportColumn> cols_;
    std::vector<Col> cs_;
    std::vector<Cell> cells_;
    std::string buf_;
    double lineHeight_ = 15; // points per text line of the default font (11 points)
    bool cellLooks_ = false; // cells take the source's looks
    bool valueColors_ = false;
    std::map<LookKey, int> pooled_;
    struct Picture {
        int col;
        QByteArray png;
        int width, height;
    };
    std::vector<Picture> pictures_; // of the current row
};

void TkXLSExport::Run::bind(const TExportSource& source) {
    source_ = &source;
    if (cs_.empty()) {
        setUp();
        return;
    }
    // A later block of a forward-only read: its own rows, and a column may have widened its type.
    cols_ = source.Columns(e_.has(xleOnlyVisibleFields), true, e_.has(xleExportPictures));
    for (size_t i = 0; i < cs_.size() && i < cols_.size(); ++i) {
        cs_[i].reader = CellReader(*source.DataSet(), *cols_[i].field);
        cs_[i].kind = KindOf(*cols_[i].field);
    }
}

void TkXLSExport::Run::setUp() {
    cols_ = source_->Columns(e_.has(xleOnlyVisibleFields), true, e_.has(xleExportPictures));
    if (e_.startCol_ - 1 + int(cols_.size()) > SheetWriter::kMaxCols)
        throw WorkbookError(QStringLiteral("A sheet holds at most 16,384 columns."));
    const bool cellFormat = e_.has(xleSetCellFormat);
    CellFormat base;
    if (cellFormat) {
        base.FontName = e_.SetFontName;
        base.FontSize = e_.SetFontSize;
    }
    base.Borders = e_.has(xleSetCellBorders);
    base.VerticalAlignment = CellFormat::VAlign(e_.VerticalAlignment);
    for (const ExportColumn& c : cols_) {
        TField& f = *c.field;
        Col col{CellReader(*e_.Dataset, f), KindOf(f), IsQuotedTextField(f)};
        CellFormat data = base;
        if (col.kind == Kind::DateTime) {
            data.NumberFormat = DateFormatOf(f, e_);
        } else if (cellFormat && IsNumericField(f)) {
            data.NumberFormat = f.DisplayFormat;
            if (data.NumberFormat.isEmpty() && col.kind == Kind::Float)
                data.NumberFormat = e_.DefaultNumFormat;
        }
        data.Wrap = e_.has(xleWrapMemoField) && IsMemoField(f);
        int type = 0;
        if (e_.GetFieldType) e_.GetFieldType(e_, f, type);
        col.colorValue = type == xftColorValue && (e_.OptionColors & xleUseCellValueColor);
        // A blob field holds pictures when the one of the current record is one.
        col.graphic = IsGraphicField(f);
        col.picture = type == xftPicture || col.graphic;
        col.fieldType = type;
        valueColors_ = valueColors_ || col.colorValue;
        CellFormat bold = data;
        bold.Bold = e_.has(xleBoldTitles);
        col.sumFmt = wb_.addFormat(bold);
        bold.NumberFormat.clear();
        bold.Wrap = false;
        col.titleFmt = wb_.addFormat(bold);
        ApplyLook(data, c.look, e_.OptionColors);
        col.fmt = col.lastFmt = wb_.addFormat(data);
        col.data = data;
        col.wrap = data.Wrap;
        if (col.kind == Kind::DateTime) col.width = size_t(data.NumberFormat.size());
        cs_.push_back(std::move(col));
    }
    cells_.resize(cs_.size());
    cellLooks_ = (e_.OptionColors & xleUseCellsColor) && source_->HasCellLooks() &&
                 (e_.OptionColors & (xleSetBkColor | xleSetFontColor));
    if (cellFormat && e_.SetFontSize > 0) lineHeight_ = std::round(e_.SetFontSize * 15.0 / 11.0 * 4) / 4;
}

void TkXLSExport::Run::titles() {
    const int row = sheetRow();
    for (size_t i = 0; i < cs_.size(); ++i) {
        const ExportColumn& c = cols_[i];
        std::string t =
            (e_.has(xleRealFieldNamesAsTitle) ? c.field->FieldName : c.title).toUtf8().toStdString();
        if (e_.has(xleTrimData)) TrimControls(t);
        wb_.text(row, e_.startCol_ - 1 + int(i), t, cs_[i].titleFmt);
        cs_[i].width = std::max(cs_[i].width, Utf8Length(t));
    }
    ++e_.RowIdx;
}

// Reads the record's cells, checks that the sheet can hold them, then writes the row.
bool TkXLSExport::Run::record(int pos) {
    if (sheetRow() >= SheetWriter::kMaxRows) {
        limitError =
            QStringLiteral("A sheet holds at most 1,048,576 rows: record %1 and the ones after it were "
                           "not written; the rows before it were saved.")
                .arg(e_.RecIdx);
        return false;
    }
    buf_.clear();
    const bool trim = e_.has(xleTrimData);
    pictures_.clear();
    for (size_t i = 0; i < cs_.size(); ++i) {
        Col& c = cs_[i];
        Cell& cell = cells_[i];
        cell = {Cell::Blank, 0, 0, 0, c.fmt};
        if (c.picture) {
            readPicture(i, pos);
            continue;
        }
        if (cellLooks_ || c.colorValue) {
            ExportCellLook look;
            if (cellLooks_) source_->CellLook(cols_[i].field, pos, look);
            if (c.colorValue && !c.reader.isNull(pos)) {
                size_t at = buf_.size();
                c.reader.appendText(buf_, pos);
                const unsigned color = ValueColor(std::string_view(buf_).substr(at));
                buf_.resize(at);
                if (color != ExportCellLook::kNone) {
                    if (e_.OptionColors & xleSetBkColor)
                        look.Background = color;
                    else
                        look.FontColor = color;
                    // The colour stands for the value: with HideText only the colour is shown.
                    if (e_.OptionColors & xleHideText) {
                        cell.fmt = lookFormat(c, look);
                        continue;
                    }
                }
            }
            cell.fmt = lookFormat(c, look);
        }
        if (c.reader.isNull(pos)) continue;
        auto appendText = [&](Cell::Type type) {
            size_t at = buf_.size();
            c.reader.appendText(buf_, pos);
            if (trim && c.kind == Kind::Text) {
                std::string t = buf_.substr(at);
                TrimControls(t);
                buf_.resize(at);
                buf_ += t;
            }
            cell = {type, 0, at, buf_.size() - at, cell.fmt};
        };
        switch (c.kind) {
        case Kind::Text: {
            // A text cell is never read as a formula or a number, "=" first or not.
            appendText(Cell::Text);
            break;
        }
        case Kind::DateTime: {
            double days = dtconv::ToDays(c.reader.msAt(pos));
            if ((days >= 0 && days < 1) || days >= kFirstSerialDay)
                cell = {Cell::Number, days, 0, 0, cell.fmt};
            else
                appendText(Cell::Text);
            break;
        }
        case Kind::Float:
        case Kind::Int: {
            double v = c.reader.floatAt(pos);
            if (!std::isfinite(v)) {
                appendText(Cell::Text);
            } else if (c.kind == Kind::Int && std::fabs(v) >= kExactIntLimit) {
                appendText(Cell::Text);
                if (bigInts++ == 0)
                    firstBigCell =
                        QString::fromStdString(SheetWriter::ColumnName(e_.startCol_ - 1 + int(i))) +
                        QString::number(sheetRow() + 1);
            } else {
                cell = {Cell::Number, v, 0, 0, cell.fmt};
            }
            break;
        }
        case Kind::Bool: {
            size_t at = buf_.size();
            c.reader.appendText(buf_, pos);
            cell = {Cell::Bool, buf_.compare(at, std::string::npos, "True") == 0 ? 1.0 : 0.0, 0, 0, cell.fmt};
            buf_.resize(at);
            break;
        }
        }
        if (cell.type == Cell::Text && Utf8Length(std::string_view(buf_).substr(cell.offset, cell.length)) >
                                           size_t(SheetWriter::kMaxText)) {
            limitError =
                QStringLiteral("Record %1, field \"%2\": the text is longer than a cell can hold (32,767 "
                               "characters). The rows before it were saved.")
                    .arg(e_.RecIdx)
                    .arg(cols_[i].field->FieldName);
            return false;
        }
    }
    const int row = sheetRow();
    const bool widths = e_.has(xleSetColumnWidth), borders = e_.has(xleSetCellBorders);
    double rowPoints = 0;
    if (e_.has(xleSetRowHeight) && !e_.has(xleExportPictures)) {
        // Wrapped texts of several lines make the row as high as they need, up to MaxRowHeight.
        size_t lines = 1;
        for (size_t i = 0; i < cs_.size(); ++i)
            if (cs_[i].wrap && cells_[i].type == Cell::Text)
                lines =
                    std::max(lines, Lines(std::string_view(buf_).substr(cells_[i].offset, cells_[i].length)));
        if (lines > 1) rowPoints = std::min(double(lines) * lineHeight_, double(e_.MaxRowHeight));
    }
    // A row is as high as its pictures with their margins.
    for (const Picture& p : pictures_)
        rowPoints = std::max(rowPoints, (p.height + 2 * e_.PictureCellMargin) / e_.RowHeightPixelRatio);
    if (rowPoints > 0) wb_.rowHeight(row, std::min(rowPoints, kMaxRowPoints));
    for (size_t i = 0; i < cs_.size(); ++i) {
        Col& c = cs_[i];
        const Cell& cell = cells_[i];
        const int col = e_.startCol_ - 1 + int(i);
        std::string_view text = std::string_view(buf_).substr(cell.offset, cell.length);
        switch (cell.type) {
        case Cell::Blank:
            if (borders || cell.fmt != c.fmt) wb_.blank(row, col, cell.fmt);
            break;
        case Cell::Number:
            wb_.number(row, col, cell.value, cell.fmt);
            c.sum += c.kind == Kind::DateTime ? 0 : cell.value;
            if (widths && c.kind != Kind::DateTime) c.width = std::max(c.width, NumberWidth(cell.value));
            break;
        case Cell::Bool:
            wb_.boolean(row, col, cell.value != 0, cell.fmt);
            c.width = std::max(c.width, size_t(5));
            break;
        case Cell::Text:
            wb_.text(row, col, text, cell.fmt);
            if (widths && c.width < size_t(e_.MaxColWidth)) c.width = std::max(c.width, Utf8Length(text));
            break;
        }
    }
    for (const Picture& p : pictures_) {
        wb_.picture(row, e_.startCol_ - 1 + p.col, p.png, p.width, p.height, e_.PictureCellMargin);
        ++e_.PicExported;
    }
    ++e_.RowIdx;
    ++e_.RecExported;
    return true;
}

// A picture cell: the field's picture (or the one the event supplies) scaled down to fit, kept for the
// row; a text instead when there is none to show.
void TkXLSExport::Run::readPicture(size_t i, int pos) {
    Col& c = cs_[i];
    const TField& f = *cols_[i].field;
    QImage image;
    QString text;
    if (c.graphic) {
        const QByteArray bytes = e_.Dataset->valueOfRow(&f, e_.Dataset->rowIdAt(pos)).toByteArray();
        if (!bytes.isEmpty() && !image.loadFromData(bytes)) text = QStringLiteral("Bad picture format.");
    } else if (!e_.OnPreparePictureEvent) {
        text = QStringLiteral("Use OnPreparePictureEvent to define picture");
    }
    if (e_.OnPreparePictureEvent)
        e_.OnPreparePictureEvent(e_, sheetRow() + 1, e_.startCol_ + int(i), f, image);
    if (!text.isEmpty()) {
        const size_t at = buf_.size();
        buf_ += text.toUtf8().toStdString();
        cells_[i] = {Cell::Text, 0, at, buf_.size() - at, c.fmt};
    }
    if (image.isNull()) return;
    const int maxW = std::max(1, e_.PictureMaxWidth), maxH = std::max(1, e_.PictureMaxHeight);
    if (image.width() > maxW || image.height() > maxH)
        image = image.scaled(maxW, maxH, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG")) throw WorkbookError(QStringLiteral("Cannot store a picture as PNG."));
    pictures_.push_back({int(i), png, image.width(), image.height()});
    // The first picture sets the column's width, later ones only widen it.
    const double width =
        std::min((image.width() + 2 * e_.PictureCellMargin - 5) / e_.ColWidthPixelRatio, kMaxColumnWidth);
    c.pictureWidth = std::max(c.pictureWidth, width);
}

// The format of a data cell with its own look: the column's when the look changes nothing, else one
// pooled format per distinct look (never one per cell).
int TkXLSExport::Run::lookFormat(Col& c, const ExportCellLook& look) {
    if (look == ExportCellLook{}) return c.fmt;
    if (look == c.lastLook) return c.lastFmt;
    const CellFormat f = WithLook(c.data, look, e_.OptionColors);
    int fmt = c.fmt;
    if (f.Background != c.data.Background || f.FontColor != c.data.FontColor || f.Bold != c.data.Bold) {
        auto [it, added] = pooled_.try_emplace(LookKey{c.fmt, f.Background, f.FontColor, f.Bold}, 0);
        if (added) it->second = wb_.addFormat(f);
        fmt = it->second;
    }
    c.lastLook = look;
    c.lastFmt = fmt;
    return fmt;
}

// "Sum:" in the first text column, a SUM formula over the data rows in every other non-text column.
void TkXLSExport::Run::sumRow() {
    const int row = sheetRow();
    if (row >= SheetWriter::kMaxRows) {
        limitError = QStringLiteral("A sheet holds at most 1,048,576 rows: the sum row was not written.");
        return;
    }
    bool labelled = false;
    for (size_t i = 0; i < cs_.size(); ++i) {
        Col& c = cs_[i];
        const int col = e_.startCol_ - 1 + int(i);
        if (c.picture) continue;
        if (c.quotedText) {
            if (labelled) continue;
            labelled = true;
            wb_.text(row, col, "Sum:", c.titleFmt);
            continue;
        }
        std::string name = SheetWriter::ColumnName(col);
        std::string f = "=SUM(" + name + std::to_string(e_.FirstDataRow) + ":" + name +
                        std::to_string(e_.LastDataRow) + ")";
        wb_.formula(row, col, f, c.sum, c.sumFmt);
    }
    ++e_.RowIdx;
}

// Titles and data rows, not the sum row. Called while the last data row is the current one: rows
// that were already written can no longer be changed.
void TkXLSExport::Run::autoFilter() {
    if (!e_.has(xleSetAutoFilter) || cs_.empty()) return;
    const int first = e_.startRow_ - 1, firstCol = e_.startCol_ - 1;
    wb_.autoFilter(first, firstCol, std::max(sheetRow() - 1, first), firstCol + int(cs_.size()) - 1);
}

// Data bar, colour scale and icon set columns get their formats over the data rows, as the events
// leave the settings. Points or thresholds that are no numbers (NaN, infinite) would make the file
// unreadable: the format then spans the cells' own range instead.
void TkXLSExport::Run::conditionalFormats() {
    if (e_.RecExported == 0) return;
    auto finite = [](const double* v, size_t n) {
        return std::all_of(v, v + n, [](double d) { return std::isfinite(d); });
    };
    for (size_t i = 0; i < cs_.size(); ++i) {
        const int type = cs_[i].fieldType;
        if (type < xftDataBar || type > xftIconSet || cs_[i].picture) continue;
        const TField& field = *cols_[i].field;
        ConditionalFormat f;
        f.firstRow = e_.FirstDataRow - 1;
        f.lastRow = e_.LastDataRow - 1;
        f.col = e_.startCol_ - 1 + int(i);
        if (type == xftDataBar) {
            TDatabarSetting s;
            if (e_.OnPrepareDatabarEvent) e_.OnPrepareDatabarEvent(e_, field, s);
            f.kind = ConditionalFormat::DataBar;
            const double points[] = {s.MinValue, s.MaxValue};
            f.atNumbers = (s.MinValue != 0 || s.MaxValue != 0) && finite(points, 2);
            f.min = s.MinValue;
            f.max = s.MaxValue;
            f.barColor = RgbOf(s.FillColor);
            f.borderColor = RgbOf(s.BorderColor);
            f.showValue = s.ShowValue;
        } else if (type == xftColorScale) {
            TColorScaleSetting s;
            if (e_.OnPrepareColorScaleEvent) e_.OnPrepareColorScaleEvent(e_, field, s);
            f.kind = ConditionalFormat::ColorScale;
            f.middleStop = s.UseMidValue;
            const double points[] = {s.MinValue, s.MidValue, s.MaxValue};
            f.atNumbers = (s.MinValue != 0 || s.MaxValue != 0) && finite(points, 3);
            f.min = s.MinValue;
            f.mid = s.MidValue;
            f.max = s.MaxValue;
            f.minColor = RgbOf(s.MinColor);
            f.midColor = RgbOf(s.MidColor);
            f.maxColor = RgbOf(s.MaxColor);
        } else {
            TIconSetSetting s;
            if (e_.OnPrepareIconSetEvent) e_.OnPrepareIconSetEvent(e_, field, s);
            f.kind = ConditionalFormat::IconSet;
            f.iconSet = s.IconSetType;
            f.showValue = !s.ShowIconOnly;
            const size_t steps = size_t(std::min(4, f.icons() - 1));
            if (s.UseThresholds && finite(s.ThresholdValues, steps))
                f.thresholds.assign(s.ThresholdValues, s.ThresholdValues + steps);
        }
        wb_.conditionalFormat(f);
    }
}

void TkXLSExport::Run::finish() {
    const int first = e_.startRow_ - 1, firstCol = e_.startCol_ - 1;
    conditionalFormats();
    for (size_t i = 0; i < cs_.size(); ++i) {
        // Picture columns are as wide as their pictures; the others fit their data when asked.
        if (cs_[i].pictureWidth > 0)
            wb_.columnWidth(firstCol + int(i), cs_[i].pictureWidth);
        else if (e_.has(xleSetColumnWidth) && !cs_[i].picture)
            wb_.columnWidth(firstCol + int(i),
                            std::min(double(std::max(cs_[i].width, size_t(6)) + 2), double(e_.MaxColWidth)));
    }
    const bool titled = e_.has(xleExportTitles) || e_.ExportStructureOnly;
    if (e_.has(xleSetPageSetup)) {
        if (e_.WindowZoom != 0) wb_.zoom(e_.WindowZoom);
        if (e_.PageZoom > 0) wb_.pageSetup(false, e_.PageZoom, 1, 1);
        if (titled) wb_.repeatRows(first, first);
    }
    if (titled && e_.has(xleFreezeTitles)) wb_.freezePanes(first + 1, 0);
}

void TkXLSExport::Run::afterRecords() {
    e_.FirstDataRow = sheetRow() + 1 - e_.RecExported;
    e_.LastDataRow = sheetRow();
    autoFilter();
    if (e_.has(xleAddSumRow) && e_.RecExported > 0 && limitError.isEmpty()) sumRow();
}

// The workbook file of a run and the sheet in it, as the shared export run drives them.
class TkXLSExport::Book : public ExportFormat {
public:
    Book(TkXLSExport& e, const QString& sheetName) : e_(e), sheetName_(sheetName), startRow_(e.startRow_) {
        e.RowIdx = e.RecExported = e.PicExported = e.FirstDataRow = e.LastDataRow = 0;
        e.SavedFile.clear();
        withTitles = e.has(xleExportTitles);
        selectedOnly = e.has(xleOnlySelectedRows);
    }
    // Below the sheet's used area for this run; the property stays as the caller set it.
    ~Book() override { e_.startRow_ = startRow_; }

    bool ready() const override { return !e_.ExportFile.isEmpty() || e_.ActionAfter != aaNone; }

    void open() override {
        path_ = e_.ExportFile;
        if (path_.isEmpty()) {
            QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/tabulo-export-XXXXXX.xlsx"));
            temp.setAutoRemove(false);
            if (!temp.open())
                throw FileWriteError(QStringLiteral("Cannot create a temporary file."), temp.errorString());
            path_ = temp.fileName();
        }
        file_ = std::make_unique<SafeFile>(path_, SafeFile::WorkFile);
        const SheetTarget target = e_.has(xleAddAsNewSheet)       ? SheetTarget::NewSheet
                                   : e_.has(xleAddToExistingRows) ? SheetTarget::Append
                                                                  : SheetTarget::Replace;
        sheet_ = OpenWorkbookSheet(*file_, path_, sheetName_, target);
        if (sheet_.usedRows > 0) e_.startRow_ = sheet_.usedRows + 1;
        run_ = std::make_unique<Run>(e_, *sheet_.writer);
    }
    void bind(const TExportSource& source) override { run_->bind(source); }
    void begin() override {
        if (e_.OnBeforeExport) e_.OnBeforeExport(e_);
    }
    void titles() override {
        run_->titles();
        if (e_.ExportStructureOnly) run_->autoFilter();
    }
    bool row(int position) override { return run_->record(position); }
    void sums() override { run_->afterRecords(); }
    void end() override {
        run_->finish();
        if (e_.OnAfterExport) e_.OnAfterExport(e_);
    }
    // A sheet that could not hold every record is saved with the rows before and then reported.
    QString commit() override {
        sheet_.writer->save();
        file_->commit();
        e_.SavedFile = path_;
        if (run_->bigInts > 0)
            Messages().warning(
                QStringLiteral("Integers with more digits than a spreadsheet number holds were "
                               "written as text: %1, the first in cell %2.")
                    .arg(run_->bigInts)
                    .arg(run_->firstBigCell));
        if (!run_->limitError.isEmpty()) throw Exception(run_->limitError);
        return path_;
    }

private:
    TkXLSExport& e_;
    QString sheetName_;
    const int startRow_;
    QString path_;
    std::unique_ptr<SafeFile> file_;
    WorkbookSheet sheet_;
    std::unique_ptr<Run> run_;
};

bool TkXLSExport::ExportDBTable(TDataSet* dataset, bool AutoCloseApp, const QString& ExportToSheetName) {
    if (!dataset) return false;
    TDataSetSource source(dataset);
    return ExportDBTable(source, AutoCloseApp, ExportToSheetName);
}

bool TkXLSExport::ExportDBTable(const TExportSource& source, bool, const QString& ExportToSheetName) {
    Book book(*this, ExportToSheetName);
    return runExport(source, book);
}

bool TkXLSExport::ExportForwardOnly(TDataSet* dataset, const QString& ExportToSheetName) {
    Book book(*this, ExportToSheetName);
    return runForwardOnly(dataset, book);
}
