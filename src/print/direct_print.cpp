#include "direct_print.h"

#include "dataset.h"
#include "exceptions.h"
#include "field.h"
#include "float_text.h"
#include "print_config.h"
#include "scan_dataset.h"

#include <QFontMetrics>
#include <QPen>
#include <cmath>

TkPrintCfg& PrintConfig() {
    static TkPrintCfg cfg;
    return cfg;
}

namespace {
// Nearest whole number, halves to the even neighbour.
int Round(double v) {
    return int(std::nearbyint(v));
}

// The widest "W" in a font on a device.
double CharW(const QFont& font, QPaintDevice* device) {
    return QFontMetricsF(font, device).horizontalAdvance(QLatin1Char('W'));
}

// A 1x1 image with a printer's resolution, for measuring without drawing.
QImage MeasureImage(const TDeviceGeometry& g) {
    QImage img(1, 1, QImage::Format_RGB888);
    img.setDotsPerMeterX(int(std::lround(g.dpiX / 0.0254)));
    img.setDotsPerMeterY(int(std::lround(g.dpiY / 0.0254)));
    return img;
}
} // namespace

QString TotalCountText(int records) {
    return QStringLiteral("Total count of records: %1").arg(records);
}

TPrintSource DataSetPrintSource(TDataSet* ds) {
    TPrintSource s;
    s.dataSet = ds;
    for (int i = 0; ds && i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        TPrintColumn c;
        c.field = f;
        c.title = f->DisplayLabel();
        c.visible = f->Visible;
        c.alignment = c.titleAlignment = f->Alignment;
        s.columns.push_back(c);
    }
    return s;
}

TDirectPrint::TDirectPrint(const TPrintSource& source, const TDirectPrintOptions& options)
    : src_(source), opt_(options) {}

bool TDirectPrint::printed(const TPrintColumn& c) const {
    return c.field && IsPlainField(*c.field) && (c.visible || opt_.allColumns);
}

void TDirectPrint::geometry(const TDeviceGeometry& printer, double f) {
    const TkPrintCfg& cfg = PrintConfig();
    pp_ = TPageProps();
    pp_.ppix = printer.dpiX;
    pp_.ppiy = printer.dpiY;
    pp_.mmx = Round(pp_.ppix / 25.4);
    pp_.mmy = Round(pp_.ppiy / 25.4);
    pp_.Hmargin = pp_.mmx * cfg.HMarginMM;
    pp_.Vmargin = pp_.mmy * cfg.VMarginMM;
    pp_.PageWidth = printer.width;
    pp_.PageHeight = printer.height;
    if (f > 1) {
        for (int* v : {&pp_.ppix, &pp_.ppiy, &pp_.mmx, &pp_.mmy, &pp_.Hmargin, &pp_.Vmargin, &pp_.PageWidth,
                       &pp_.PageHeight})
            *v = Round(*v / f);
    }
}

void TDirectPrint::setFont() {
    canvas_->setFont(opt_.font);
    canvas_->setPen(Qt::black);
    canvas_->setBrush(Qt::white);
    pp_.LineH = canvas_->fontMetrics().boundingRect(QStringLiteral("Wg")).height();
    pp_.LineH = std::max(pp_.LineH, canvas_->fontMetrics().height());
    const double ratio = PrintConfig().LineSpaceRatio;
    pp_.LineHSpace = Round(pp_.LineH * ratio);
    pp_.ColVSpace = Round(pp_.mmx * (ratio + 1));
}

void TDirectPrint::columnWidths() {
    widthsDone_ = true;
    const size_t n = src_.columns.size();
    colW_.assign(n, 0);
    sums_.assign(n, 0.0);
    const double w = CharW(opt_.font, canvas_->device());
    for (size_t i = 0; i < n; ++i) {
        const TPrintColumn& c = src_.columns[i];
        if (src_.screenCharWidth > 0) {
            const int sw = c.screenWidth < 5 ? c.defaultWidth : c.screenWidth;
            colW_[i] = Round(w * sw / src_.screenCharWidth);
        } else {
            const int dw = c.field ? c.field->DisplayWidth() : 10;
            colW_[i] = Round(std::min(std::max(dw, 5), 50) * w);
        }
    }
    if (opt_.fitColumns) {
        double s = 0;
        for (size_t i = 0; i < n; ++i)
            if (printed(src_.columns[i])) s += colW_[i];
        // No printed column: nothing to share out.
        if (s > 0)
            for (size_t i = 0; i < n; ++i)
                colW_[i] = int(std::floor(colW_[i] * double(pp_.PageWidth - 2 * pp_.Hmargin) / s));
    }
}

int TDirectPrint::cellBox(int left, int right, int minHeight, int indent, Qt::Alignment align, bool frame,
                          bool fill, bool advance, bool wrap, const QString& text0) {
    QString text = text0.isEmpty() ? QStringLiteral(" ") : text0;
    if (!wrap) {
        // One line: line breaks inside a value print as blanks.
        for (QChar& ch : text)
            if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QLatin1Char('\t'))
                ch = QLatin1Char(' ');
    }
    const int flags = wrap ? Qt::TextWordWrap : Qt::TextSingleLine;
    const int half = pp_.ColVSpace / 2;
    const int textW = std::max(1, right - half - (left + indent + half));
    auto measure = [&] {
        return wrap ? canvas_->fontMetrics().boundingRect(QRect(0, 0, textW, 1 << 24), flags, text).height()
                    : canvas_->fontMetrics().height();
    };
    int textH = measure();
    int boxH = std::max(minHeight, textH + pp_.LineHSpace);
    if (!inHeader_ && pp_.CurY + boxH > pp_.PageHeight - pp_.Vmargin) {
        // The new page draws its header with its own font and colours; this cell keeps its own.
        const QFont font = canvas_->font();
        const QPen pen = canvas_->pen();
        const QBrush brush = canvas_->brush();
        pageBreak();
        canvas_->setFont(font);
        canvas_->setPen(pen);
        canvas_->setBrush(brush);
        textH = measure();
        boxH = std::max(minHeight, textH + pp_.LineHSpace);
    }
    const QRect box(left, pp_.CurY, right - left, boxH);
    const QRect textRect(left + indent + half, pp_.CurY + pp_.LineHSpace / 2, textW, textH);
    if (fill) canvas_->fillRect(box, canvas_->brush());
    // A value wider than its cell ends in an ellipsis (or wraps) and never reaches the next cell; a
    // wrapped text (or a box too narrow for an ellipsis) is clipped to its box as well.
    if (wrap) {
        canvas_->save();
        canvas_->setClipRect(box);
        canvas_->drawText(textRect, flags | int(align | Qt::AlignTop), text);
        canvas_->restore();
    } else {
        // One line placed by hand: measuring once is what the common case (a value that fits) needs.
        const QFontMetrics fm = canvas_->fontMetrics();
        QString shown = text;
        int w = textWidth(fm, shown);
        if (w > textW) {
            shown = fm.elidedText(text, Qt::ElideRight, textW);
            w = fm.horizontalAdvance(shown);
        }
        const int x = align & Qt::AlignRight     ? textRect.right() + 1 - w
                      : align & Qt::AlignHCenter ? textRect.left() + (textW - w) / 2
                                                 : textRect.left();
        const bool clip = w > textW;
        if (clip) {
            canvas_->save();
            canvas_->setClipRect(box);
        }
        canvas_->drawText(QPoint(std::max(x, textRect.left()), textRect.top() + fm.ascent()), shown);
        if (clip) canvas_->restore();
    }
    if (frame) {
        canvas_->save();
        canvas_->setPen(QPen(Qt::black, 1));
        canvas_->setBrush(Qt::NoBrush);
        canvas_->drawRect(box);
        canvas_->restore();
    }
    if (advance) {
        pp_.CurY += boxH;
        ++pp_.CurLine;
    }
    return boxH;
}

int TDirectPrint::textWidth(const QFontMetrics& fm, const QString& text) {
    if (advFont_ != canvas_->font() || adv_[0] == 0) {
        advFont_ = canvas_->font();
        adv_.fill(-1);
        adv_[0] = 1; // measured for this font
    }
    int w = 0;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        // Anything beyond ASCII may combine or shape: the whole text is measured then.
        if (c >= 128 || c < 32) return fm.horizontalAdvance(text);
        if (adv_[c] < 0) adv_[c] = fm.horizontalAdvance(ch);
        w += adv_[c];
    }
    return w;
}

void TDirectPrint::drawCheckBox(int left, int top, int side, bool checked) {
    if (side < 3) return;
    canvas_->save();
    const QRectF r(left, top, side, side);
    const double pw = std::max(1.0, side / 12.0);
    canvas_->setBrush(Qt::white);
    canvas_->setPen(QPen(Qt::black, pw));
    canvas_->drawRect(r.adjusted(pw / 2, pw / 2, -pw / 2, -pw / 2));
    if (checked) {
        canvas_->setPen(QPen(Qt::black, pw * 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF mark[3] = {{r.left() + side * 0.22, r.top() + side * 0.52},
                                 {r.left() + side * 0.42, r.top() + side * 0.74},
                                 {r.left() + side * 0.80, r.top() + side * 0.28}};
        canvas_->drawPolyline(mark, 3);
    }
    canvas_->restore();
}

void TDirectPrint::separator(int y, bool solid) {
    const int pw = solid ? 2 : 1;
    canvas_->save();
    canvas_->setPen(QPen(Qt::black, pw, solid ? Qt::SolidLine : Qt::DotLine, Qt::FlatCap));
    const int at = y + pw + 1;
    canvas_->drawLine(pp_.Hmargin, at, pp_.PageWidth - pp_.Hmargin, at);
    canvas_->restore();
    pp_.CurY += 2 * pw + 1;
}

void TDirectPrint::header() {
    inHeader_ = true;
    if (!opt_.caption.isEmpty()) {
        const QRect band(pp_.Hmargin, pp_.Vmargin - Round(1.5 * pp_.LineH), pp_.PageWidth - 2 * pp_.Hmargin,
                         pp_.LineH);
        canvas_->save();
        canvas_->setPen(Qt::black);
        canvas_->drawText(band, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                          canvas_->fontMetrics().elidedText(opt_.caption, Qt::ElideRight, band.width()));
        canvas_->setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
        canvas_->drawLine(band.left(), band.top() + band.height(), band.left() + band.width(),
                          band.top() + band.height());
        canvas_->restore();
    }
    pp_.CurY = pp_.Vmargin;
    row(rkTitle);
    inHeader_ = false;
}

void TDirectPrint::footer() {
    if (!opt_.printFooter) return;
    const QRect band(pp_.Hmargin, pp_.PageHeight - pp_.Vmargin + Round(0.5 * pp_.LineH),
                     pp_.PageWidth - 2 * pp_.Hmargin, Round(1.1 * pp_.LineH));
    canvas_->save();
    canvas_->setFont(opt_.font);
    canvas_->setPen(Qt::black);
    canvas_->drawText(band, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                      QString::number(pp_.CurPage + 1));
    canvas_->setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    canvas_->drawLine(band.left(), band.top(), band.left() + band.width(), band.top());
    canvas_->restore();
}

void TDirectPrint::pageBreak() {
    footer();
    canvas_ = pages_->newPage();
    setFont();
    ++pp_.CurPage;
    pp_.CurLine = 0;
    pp_.CurX = pp_.Hmargin;
    pp_.CurY = pp_.Vmargin;
    header();
}

QString TDirectPrint::sumText(int i) const {
    const TField* f = src_.columns[size_t(i)].field;
    if (!IsNumericField(*f)) return QString();
    if (!f->DisplayFormat.isEmpty()) return f->formatValue(QVariant(sums_[size_t(i)]));
    return FloatGeneral15Q(sums_[size_t(i)]);
}

void TDirectPrint::row(RowKind kind) {
    if (!widthsDone_) columnWidths();
    const QFont baseFont = canvas_->font();
    const QBrush baseBrush = canvas_->brush();
    const QPen basePen = canvas_->pen();
    int x = pp_.Hmargin;
    bool wrapped = false;
    int lastH = 0;
    if (kind == rkSum) separator(pp_.CurY, true);
    const int right = pp_.PageWidth - pp_.Hmargin;
    for (size_t i = 0; i < src_.columns.size(); ++i) {
        const TPrintColumn& c = src_.columns[i];
        if (!printed(c)) continue;
        TField* f = c.field;
        QString text;
        if (kind == rkTitle) {
            text = c.title;
        } else if (kind == rkData) {
            text = src_.cellText ? src_.cellText(int(i)) : f->DisplayText();
            if (IsNumericField(*f) && !f->IsNull()) sums_[i] += f->AsFloat();
        } else {
            text = sumText(int(i));
        }
        if (x > pp_.Hmargin && x + colW_[i] > right) {
            pp_.CurY += lastH;
            ++pp_.CurLine;
            x = pp_.Hmargin;
            wrapped = true;
        }
        QFont font = opt_.font;
        const bool title = kind == rkTitle;
        font.setWeight(title ? c.titleWeight : c.weight);
        font.setItalic(title ? c.titleItalic : c.italic);
        font.setUnderline(title ? c.titleUnderline : c.underline);
        if (canvas_->font() != font) canvas_->setFont(font);
        if (opt_.useColors) {
            canvas_->setPen(title ? c.titleFontColor : c.fontColor);
            canvas_->setBrush(title ? c.titleColor : c.color);
        }
        const Qt::Alignment a = (title ? c.titleAlignment : c.alignment) & Qt::AlignHorizontal_Mask;
        const Qt::Alignment align = a & Qt::AlignRight     ? Qt::AlignRight
                                    : a & Qt::AlignHCenter ? Qt::AlignHCenter
                                                           : Qt::AlignLeft;
        const bool asCheck =
            kind == rkData && PrintConfig().BooleanAsCheckBox && (c.asBoolean || IsBooleanField(*f));
        if (asCheck) {
            lastH = cellBox(x, x + colW_[i], 0, 0, Qt::AlignLeft, opt_.printGrid, opt_.useColors, false,
                            false, QStringLiteral(" "));
            const int side = pp_.LineH - 2;
            const bool on = src_.boolValue ? src_.boolValue(int(i)) : (!f->IsNull() && f->AsBoolean());
            drawCheckBox(x + std::max(1, (colW_[i] - pp_.LineH - 1) / 2), pp_.CurY + pp_.LineHSpace / 2 + 1,
                         side, on);
        } else {
            lastH = cellBox(x, x + colW_[i], 0, 0, align, opt_.printGrid, opt_.useColors, false, false, text);
        }
        x += colW_[i];
    }
    if (!opt_.printGrid && (kind != rkData || wrapped)) {
        separator(pp_.CurY + lastH, kind != rkData);
    }
    pp_.CurY += lastH;
    ++pp_.CurLine;
    canvas_->setFont(baseFont);
    canvas_->setBrush(baseBrush);
    canvas_->setPen(basePen);
}

TDirectPrintResult TDirectPrint::Run(TPrintPages& pages) {
    TDataSet* ds = src_.dataSet;
    if (!ds || !ds->Active()) throw Exception(QStringLiteral("The dataset is not open."));
    TDirectPrintResult result;
    pages_ = &pages;
    widthsDone_ = false;
    colW_.clear();
    sums_.assign(src_.columns.size(), 0.0);
    geometry(pages.geometry(), pages.scale());
    canvas_ = pages.begin(pp_.PageWidth, pp_.PageHeight);
    setFont();
    pp_.CurPage = 0;
    pp_.CurLine = 0;
    pp_.CurX = pp_.Hmargin;
    pp_.CurY = pp_.Vmargin;
    header();

    const bool images = dynamic_cast<TImagePages*>(&pages) != nullptr;
    const int recCount = ds->RecordCount();
    ScanDataset(ds, true, true, true, [&](int n, bool& stop) {
        row(rkData);
        result.records = n;
        if (n % 100 == 0 && OnProgress) OnProgress(n, recCount);
        if (IsAborted && IsAborted()) {
            result.aborted = true;
            stop = true;
        } else if (images && pages.pageCount() >= opt_.maxPreviewPages) {
            result.previewLimited = true;
            stop = true;
        }
    });
    // A limited preview ends with its last full page: sums of part of the records would mislead.
    if (!result.aborted && !result.previewLimited) {
        if (opt_.sums) row(rkSum);
        if (opt_.printRecCount) {
            pp_.CurY += pp_.LineH;
            cellBox(pp_.Hmargin, pp_.PageWidth - pp_.Hmargin, 0, 0, Qt::AlignLeft, false, false, true, false,
                    TotalCountText(result.records));
        }
    }
    if (!result.aborted) footer();
    result.pages = pages.pageCount();
    pages.finish(result.aborted);
    return result;
}

TDirectPrint::Estimate TDirectPrint::estimate(const TDeviceGeometry& printer) const {
    TDirectPrint probe(src_, opt_);
    probe.geometry(printer, 1);
    QImage img = MeasureImage(printer);
    QPainter p(&img);
    probe.canvas_ = &p;
    probe.setFont();
    Estimate e;
    const double ratio = PrintConfig().LineSpaceRatio;
    e.lines = int((probe.pp_.PageHeight - 2 * probe.pp_.Vmargin) / (probe.pp_.LineH * (ratio + 1)));
    e.records = src_.dataSet && src_.dataSet->Active() ? src_.dataSet->RecordCount() : 0;
    // A page that holds fewer than two lines counts one record a page.
    e.pages = e.records / std::max(1, e.lines - 1) + 1;
    return e;
}
