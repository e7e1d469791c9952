#pragma once
// The direct print: a table of a grid's (or a dataset's) columns drawn straight onto pages, with a
// title row on every page, optional sums and record count, a report name in the top margin and
// optional page numbers. The same drawing runs onto a printer, into a PDF file or into page images.
#include "page_props.h"
#include "print_pages.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class TDataSet;
class TField;

// One column of the printed table, as the grid shows it (or a dataset field).
struct TPrintColumn {
    TField* field = nullptr;
    QString title;
    bool visible = true;
    int screenWidth = 0;   // the grid column's width in screen pixels; 0: the dataset rule
    int defaultWidth = 64; // used when screenWidth is below 5
    Qt::Alignment alignment = Qt::AlignLeft;
    Qt::Alignment titleAlignment = Qt::AlignLeft;
    QFont::Weight weight = QFont::Normal, titleWeight = QFont::Normal;
    bool italic = false, underline = false, titleItalic = false, titleUnderline = false;
    QColor fontColor = Qt::black, titleFontColor = Qt::black;
    QColor color = Qt::white, titleColor = Qt::white; // cell and title backgrounds
    bool asBoolean = false;                           // the grid shows the field as a check box
};

// The printed source: a dataset and its columns in print order.
struct TPrintSource {
    TDataSet* dataSet = nullptr;
    std::vector<TPrintColumn> columns;
    // Width of "W" on the grid's canvas; 0 for a dataset source (widths by display width).
    double screenCharWidth = 0;
    // The grid's cell text for a column (current record); empty: the field's display text.
    std::function<QString(int column)> cellText;
    // The grid's boolean state of a column (current record); empty: the field's boolean value.
    std::function<bool(int column)> boolValue;
};
// The dataset's fields as print columns (display labels, field alignment, field visibility).
TPrintSource DataSetPrintSource(TDataSet* ds);

struct TDirectPrintOptions {
    QString caption; // report name; empty prints no name
    QFont font{QStringLiteral("DejaVu Sans"), 8};
    bool fitColumns = false;    // "Fit columns to line width"
    bool useColors = false;     // "Use items color"
    bool printGrid = false;     // "Print grid"
    bool printFooter = false;   // "Print page number"
    bool printRecCount = false; // "Print records count"
    bool allColumns = false;    // "All items"
    bool sums = false;          // "Insert sum of columns"
    int maxPreviewPages = 60;   // for page images
};

struct TDirectPrintResult {
    int records = 0; // records printed
    int pages = 0;
    bool aborted = false;
    bool previewLimited = false; // page images stopped at the preview limit
};

// "Total count of records: %d"
QString TotalCountText(int records);

class TDirectPrint {
public:
    TDirectPrint(const TPrintSource& source, const TDirectPrintOptions& options);

    // Progress after every 100th record (record, count); return true to abort after that record.
    std::function<void(int recIdx, int recCount)> OnProgress;
    // Asked after every record; true ends the run as aborted.
    std::function<bool()> IsAborted;

    // One run onto the target; the target is finished (or thrown away when aborted) at the end. An
    // error leaves the target unfinished for the caller to drop.
    TDirectPrintResult Run(TPrintPages& pages);

    // The estimate of the window: records and approximate pages for the target's geometry.
    struct Estimate {
        int records = 0;
        int lines = 0; // rows per page
        int pages = 1;
    };
    Estimate estimate(const TDeviceGeometry& printer) const;

    const TPageProps& PgProps() const { return pp_; }
    const std::vector<int>& ColW() const { return colW_; }

private:
    enum RowKind { rkTitle, rkData, rkSum };
    void geometry(const TDeviceGeometry& printer, double scale);
    void setFont();
    void columnWidths();
    bool printed(const TPrintColumn& c) const;
    int cellBox(int left, int right, int minHeight, int indent, Qt::Alignment align, bool frame, bool fill,
                bool advance, bool wrap, const QString& text);
    void drawCheckBox(int left, int top, int width, bool checked);
    void header();
    void footer();
    void pageBreak();
    void row(RowKind kind);
    void separator(int y, bool solid);
    QString sumText(int column) const;

    const TPrintSource& src_;
    TDirectPrintOptions opt_;
    TPageProps pp_;
    TPrintPages* pages_ = nullptr;
    QPainter* canvas_ = nullptr;
    std::vector<int> colW_;
    std::vector<double> sums_;
    bool widthsDone_ = false;
    bool inHeader_ = false;
    bool pageLimit_ = false;
    // Advances of the ASCII characters in the canvas font (-1: not measured yet), for the width of
    // plain values without shaping them twice.
    int textWidth(const QFontMetrics& fm, const QString& text);
    QFont advFont_;
    std::array<int, 128> adv_{};
};
