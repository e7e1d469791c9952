#pragma once
// The template print: the records of a grid as a fixed-pitch text table, measured and laid out to fit
// the paper, font size and orientation, poured as header, data and sum fragments into one of six
// built-in RTF templates by the RTF report engine.
#include "action_after.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TDataSet;
class TField;

enum TPaperType { ptA4, ptLetter, ptLegal };

// The table of characters per line and lines per page of the templates (font index 0 to 6 for 6 to
// 12 points).
int TemplateCharsPerLine(int paper, int orientation, int fontIndex);
int TemplateLinesPerPage(int paper, int orientation, int fontIndex);
// paper × 2 + orientation + 1
inline int TemplateNumber(int paper, int orientation) {
    return paper * 2 + orientation + 1;
}
// The built-in template of a number (1 to 6), as stored in the program.
QByteArray BuiltInTemplate(int number);
// "Data to print is too wide, unselect some columns or select smaller font size."
QString TooWideText();

// A column of the grid as the template print sees it.
struct TTextColumn {
    QString fieldName;
    QString title;
    bool visible = true;
    bool bold = false, italic = false, underline = false;
};

class TTemplatePrint {
public:
    // --- choices of the dialog
    int Paper = ptA4;
    int Orientation = 0; // 0 portrait, 1 landscape
    int FontIndex = 2;   // 8 pt
    int Sep = 2;         // blanks between columns
    bool AllColumns = false;
    bool Sums = false;
    QString Caption;

    TDataSet* DataSet = nullptr;
    std::vector<TTextColumn> Columns;

    // Progress every 100th record (record, count) and the abort test after every record.
    std::function<void(int recIdx, int recCount)> OnProgress;
    std::function<bool()> IsAborted;

    int FontSize() const { return FontIndex + 6; }
    int CharsPerLine() const { return TemplateCharsPerLine(Paper, Orientation, FontIndex); }
    int LinesPerPage() const { return TemplateLinesPerPage(Paper, Orientation, FontIndex); }

    // Measures the widest display text of every plain column over all records (an abort keeps the
    // widths of the records seen). Titles count too.
    void Measure();
    bool Measured() const { return !measured_.isEmpty(); }
    // The total width of the printed columns (onlyFixed: fixed-width ones only; count: their number).
    int TotalWidth(bool onlyFixed = false, bool count = false) const;
    // Picks the largest font size whose line holds the total width, landscape when portrait holds
    // none, 6 pt when neither does.
    void Autoformat();
    // The estimate: records, pages, and whether text columns will be cut.
    struct Counts {
        int records = 0;
        int pages = 1;
        bool cut = false;
    };
    Counts counts() const;

    // Column widths of a run (throws the too-wide message) and the three fragments as RTF markup.
    void ComputeWidths();
    QString HeaderLine();
    QString DataLines(); // walks the records, adding up the sums
    QString SumLine();
    const std::vector<int>& wCol() const { return wCol_; }

    // One run: the template (the folder's copy "printdata_template%dc.rtf" of the current paper and
    // orientation; when missing the built-in one, written there first with extract), the result
    // (outputFile, or the folder's first free "printdata%d.rtf"), then the action through the shell.
    // An empty printer name prints to the default printer. Returns the result file; throws on a
    // layout, template or file error (a layout too wide writes nothing).
    QString Run(const QString& folder, TActionAfter action, const QString& outputFile = QString(),
                const QString& printerName = QString(), bool extract = true);
    bool Aborted = false;

private:
    struct Measure_ {
        int wMax = 0;
        int wSumAdd = 0;
    };
    bool printedColumn(const TTextColumn& c, TField*& f) const;
    QString cell(size_t i, TField* f, int kind);
    QString line(int kind);
    QHash<QString, Measure_> measured_; // by field name, lower case
    std::vector<int> wCol_;
    std::vector<double> sum_;
};

// The result files of the run in a folder ("printdata%d.rtf" for n from 0 to 100) are removed.
void RemovePrintResults(const QString& folder);
