// inserttable: a DOCX table generated from a dataset in place of a one-row template table.
#include "dataset.h"
#include "tag_scanner.h"
#include "xml_element.h"
#include "xml_report.h"
#include "xml_report_parts.h"

#include <cmath>

namespace {
constexpr double kTwipsPerMM = 56.6;

QString AlignName(Qt::Alignment a) {
    if (a & Qt::AlignRight) return QStringLiteral("right");
    if (a & Qt::AlignHCenter) return QStringLiteral("center");
    return QStringLiteral("left");
}

QString VAlignXml(const QString& v) {
    const QString s = v.toLower();
    if (s.isEmpty() || s == u"center") return QStringLiteral("center");
    if (s == u"bottom" || s == u"right") return QStringLiteral("bottom");
    return QStringLiteral("top");
}

QString HAlignXml(const QString& h) {
    const QString s = h.toLower();
    if (s == u"center") return QStringLiteral("center");
    if (s == u"right" || s == u"top") return QStringLiteral("right");
    return QString();
}

QString Hex(const QColor& c) {
    return QStringLiteral("%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString Attr(const QString& s) {
    QString out;
    AppendXmlText(out, s, QStringLiteral(" "), QStringLiteral(" "));
    return out;
}

struct TTableOptions {
    QString id, whileCond, skipCond, titleHAlign, titleVAlign, dataHAlign, dataVAlign;
    bool noIfEmpty = false, noFirst = false, titleRotate = false, dataWidth = false, sizeWidth = false;
    int minRows = 0, maxRows = 0, addSumRows = 0;
    double titleHeight = 0, rowHeight = 0;
};
} // namespace

QString TkXMLReport::generateTable(const TkXMLReportTable& t) {
    TTagCall call;
    SplitCall(t.tag, call);
    const QString letter = call.args.trimmed().toUpper();
    if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z')
        ThrowTemplateError(report_errors::IncorrectDataset(t.tag));
    const int slot = letter[0].unicode() - 'A';
    std::vector<TTagOption> options;
    if (!ParseOptions(call.rest, options)) ThrowTemplateError(report_errors::IncorrectTag(t.tag));
    TTableOptions o;
    for (const TTagOption& op : options) {
        const QString& n = op.name;
        const double num = op.arg.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        bool ok = true;
        if (op.hasArg) {
            if (n == u"id")
                o.id = op.arg;
            else if (n == u"while")
                o.whileCond = op.arg;
            else if (n == u"skipif")
                o.skipCond = op.arg;
            else if (n == u"minrows")
                o.minRows = std::max(0, op.arg.trimmed().toInt());
            else if (n == u"maxrows")
                o.maxRows = std::max(0, op.arg.trimmed().toInt());
            else if (n == u"addsumrows")
                o.addSumRows = std::max(0, op.arg.trimmed().toInt());
            else if (n == u"titlehalign")
                o.titleHAlign = op.arg.trimmed();
            else if (n == u"titlevalign")
                o.titleVAlign = op.arg.trimmed();
            else if (n == u"datahalign")
                o.dataHAlign = op.arg.trimmed();
            else if (n == u"datavalign")
                o.dataVAlign = op.arg.trimmed();
            else if (n == u"titleheight")
                o.titleHeight = num;
            else if (n == u"rowheight")
                o.rowHeight = num;
            else
                ok = false;
        } else {
            if (n == u"noifempty")
                o.noIfEmpty = true;
            else if (n == u"nofirst")
                o.noFirst = true;
            else if (n == u"titlerotate")
                o.titleRotate = true;
            else if (n == u"datawidth")
                o.dataWidth = true;
            else if (n == u"sizewidth")
                o.sizeWidth = true;
            else
                ok = false;
        }
        if (!ok) ThrowTemplateError(report_errors::IncorrectTag(t.tag));
    }
    if (o.maxRows > 1000000 || o.minRows > 1000000 || o.addSumRows > 1000000)
        ThrowTemplateError(report_errors::TooLarge(t.tag));

    QString out;
    auto cell = [&](TField* f, int row, int col, QString text, TTableCellFormatRec fmt, bool memo) {
        if (OnGetCellParams) OnGetCellParams(o.id, f, row, col, text, fmt);
        out += QLatin1String("<w:tc><w:tcPr>");
        QString h = fmt.HAlign, v = fmt.VAlign;
        if (fmt.RotateText) {
            std::swap(h, v);
            out += QLatin1String("<w:textDirection w:val=\"btLr\"/>");
        }
        if (fmt.BkColor.isValid())
            out += QStringLiteral("<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"%1\"/>")
                       .arg(Hex(fmt.BkColor));
        out += QStringLiteral("<w:vAlign w:val=\"%1\"/></w:tcPr><w:p><w:pPr>").arg(VAlignXml(v));
        const QString jc = HAlignXml(h);
        if (!jc.isEmpty()) out += QStringLiteral("<w:jc w:val=\"%1\"/>").arg(jc);
        out += QLatin1String("</w:pPr><w:r><w:rPr>");
        if (fmt.FontName.compare(u"default", Qt::CaseInsensitive) != 0 && !fmt.FontName.isEmpty())
            out += QStringLiteral("<w:rFonts w:ascii=\"%1\" w:hAnsi=\"%1\" w:cs=\"%1\"/>")
                       .arg(Attr(fmt.FontName));
        if (fmt.Bold) out += QLatin1String("<w:b/>");
        if (fmt.Italic) out += QLatin1String("<w:i/>");
        if (fmt.StrikeOut) out += QLatin1String("<w:strike/>");
        if (fmt.FontColor.isValid()) out += QStringLiteral("<w:color w:val=\"%1\"/>").arg(Hex(fmt.FontColor));
        if (fmt.FontSize != 0)
            out += QStringLiteral("<w:sz w:val=\"%1\"/><w:szCs w:val=\"%1\"/>").arg(2 * fmt.FontSize);
        if (fmt.Underline) out += QLatin1String("<w:u w:val=\"single\"/>");
        out += QLatin1String("</w:rPr><w:t xml:space=\"preserve\">");
        if (text.isEmpty())
            out += QLatin1Char(' ');
        else if (memo && text.trimmed().startsWith(QLatin1String("{\\rtf1"), Qt::CaseInsensitive))
            out += rtfMemoToXml(text);
        else
            AppendXmlText(out, text, QStringLiteral("</w:t><w:tab/><w:t xml:space=\"preserve\">"),
                          QStringLiteral("</w:t><w:br/><w:t xml:space=\"preserve\">"));
        out += QLatin1String("</w:t></w:r></w:p></w:tc>");
    };
    auto rowStart = [&](int row, double mm) {
        if (OnGetRowHeight) OnGetRowHeight(o.id, row, mm);
        out += QLatin1String("<w:tr>");
        if (mm > 0)
            out += QStringLiteral("<w:trPr><w:trHeight w:val=\"%1\"/></w:trPr>")
                       .arg(std::lround(mm * kTwipsPerMM));
    };
    const QString tableStart = QStringLiteral("<w:tbl>") + t.properties;

    TDataSet* ds = slotDataSet(slot);
    if (!ds || !ds->Active()) {
        out = tableStart + QStringLiteral("<w:tblGrid><w:gridCol w:w=\"%1\"/></w:tblGrid>")
                               .arg(t.firstColumnTwips > 0 ? t.firstColumnTwips : 9000);
        rowStart(-1, 0);
        cell(nullptr, -1, 1, ds ? QStringLiteral("closed dataset") : QStringLiteral("unknown dataset"), {},
             false);
        out += QLatin1String("</w:tr></w:tbl>");
        return out;
    }
    if (!o.noFirst) navigate(u"first", slot);
    if (o.noIfEmpty && !slotHasCurrent(slot)) return QString();

    std::vector<TField*> cols;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        const TFieldType k = f->DataType;
        if (f->Visible &&
            (IsStringType(k) || IsNumericType(k) || k == ftBoolean || IsDateTimeType(k) || IsMemoType(k)))
            cols.push_back(f);
    }
    // Rows are built first: the column widths may depend on the cell texts.
    std::vector<int> titleLen(cols.size()), dataLen(cols.size(), 0);
    QString rows;
    std::swap(out, rows);
    int maxLabel = 0;
    for (TField* f : cols)
        maxLabel = std::max(maxLabel, int(f->DisplayLabel().size()));
    rowStart(0, o.titleHeight > 0 ? o.titleHeight : o.titleRotate ? 2.0 * maxLabel : 0);
    for (size_t c = 0; c < cols.size(); ++c) {
        TTableCellFormatRec fmt;
        fmt.HAlign = !o.titleHAlign.isEmpty() ? o.titleHAlign
                     : o.titleRotate          ? QStringLiteral("center")
                                              : AlignName(cols[c]->Alignment);
        fmt.VAlign = o.titleVAlign;
        fmt.RotateText = o.titleRotate;
        titleLen[c] = int(cols[c]->DisplayLabel().size());
        cell(cols[c], 0, int(c) + 1, cols[c]->DisplayLabel(), fmt, false);
    }
    out += QLatin1String("</w:tr>");
    int written = 0;
    auto dataRow = [&](bool empty) {
        rowStart(written + 1, o.rowHeight);
        for (size_t c = 0; c < cols.size(); ++c) {
            TTableCellFormatRec fmt;
            fmt.HAlign = o.dataHAlign.isEmpty() ? AlignName(cols[c]->Alignment) : o.dataHAlign;
            fmt.VAlign = o.dataVAlign;
            const QString text = empty ? QString() : cols[c]->DisplayText();
            if (o.dataWidth) dataLen[c] = std::max(dataLen[c], int(text.size()));
            cell(cols[c], written + 1, int(c) + 1, text, fmt, IsMemoType(cols[c]->DataType));
        }
        out += QLatin1String("</w:tr>");
        ++written;
    };
    const qint64 limit = 4 * qint64(ds->RecordCount()) + 100000;
    for (qint64 steps = 0; slotHasCurrent(slot); ++steps) {
        if (steps > limit) ThrowTemplateError(report_errors::TooLarge(t.tag));
        if (!o.whileCond.isEmpty() && !evaluateCondition(o.whileCond)) break;
        if (o.skipCond.isEmpty() || !evaluateCondition(o.skipCond)) {
            if (o.maxRows > 0 && written >= o.maxRows) break;
            dataRow(false);
        }
        navigate(u"next", slot);
    }
    const int target = std::max(o.minRows, written) + o.addSumRows;
    while (written < target)
        dataRow(true);
    std::swap(out, rows);

    // Column widths: relative from the title and data lengths, absolute when the event says so.
    const int total = t.firstColumnTwips > 0 ? t.firstColumnTwips : 9000;
    std::vector<double> width(cols.size());
    std::vector<bool> absolute(cols.size(), false);
    double relSum = 0, absSum = 0;
    for (size_t c = 0; c < cols.size(); ++c) {
        double tw = o.sizeWidth ? cols[c]->DisplayWidth() : titleLen[c];
        double dw = o.sizeWidth ? cols[c]->DisplayWidth() : o.dataWidth ? dataLen[c] : tw;
        if (!o.titleRotate && dw < tw) dw += (tw - dw) / 2;
        double w = std::clamp(dw + 3, 6.0, 50.0);
        bool abs = false;
        if (OnGetColumnWidth) OnGetColumnWidth(o.id, cols[c], int(c) + 1, w, abs);
        width[c] = abs ? w * kTwipsPerMM : w;
        absolute[c] = abs;
        (abs ? absSum : relSum) += width[c];
    }
    QString grid = QStringLiteral("<w:tblGrid>");
    for (size_t c = 0; c < cols.size(); ++c) {
        double tw = absolute[c]  ? width[c]
                    : relSum > 0 ? std::max(0.0, total - absSum) * width[c] / relSum
                                 : 0;
        grid += QStringLiteral("<w:gridCol w:w=\"%1\"/>").arg(std::max(283L, std::lround(tw)));
    }
    grid += QLatin1String("</w:tblGrid>");
    return tableStart + grid + rows + QStringLiteral("</w:tbl>");
}
