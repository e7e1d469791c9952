#pragma once
// The engine-neutral core of the template reports: 26 dataset slots, variables and settings, the
// processing order of a template (info, insertions, if blocks, generation with regions and iif
// blocks) and the evaluation of value tags, expressions, conditions and functions. Output formats
// plug in through TReportMarkup; output is appended to one buffer in a single pass.
#include "report_types.h"
#include "tag_scanner.h"

#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class TDataSet;
class TField;

enum TMemoFormat { mfText, mfRTF, mfAutoDetect, mfRTFLine, mfPlain };

// The repeated region being generated.
struct TScanInfo {
    QString DS;
    int DSindex = -1;
    QString WhileCond, SkipCond, Sep;
    bool NewLine = false, NewPar = false, NewCol = false, NewPage = false;
    bool NoIfEmpty = false, NoFirst = false;
    int MinRows = 0, MaxRows = 0;
    bool TblScan = false;
    QStringList TblRowCond;
    QString Calc; // the calc(list) argument
};

// A running total over the repetitions of a region.
struct TCalcField {
    bool Init = false;
    int DSindex = 0;
    QString Name, Expression;
    double Max = 0, Min = 0, Sum = 0;
    int Count = 0;
    double GrandMax = 0, GrandMin = 0, GrandSum = 0;
    int GrandCount = 0;
    bool Restart = false; // the next value starts the current repetition's totals again
};

class TReportEngine {
public:
    explicit TReportEngine(const TReportMarkup& markup);
    virtual ~TReportEngine();

    // --- settings that steer evaluation
    QString DefaultCalcFormat, DefaultNumericFormat, DefaultBooleanFormat, DefaultDateFormat,
        DefaultTimeFormat;
    bool ConvertScientificFormat = false;
    QString FieldNotFoundValue;
    bool RaiseUnknownField = false;
    QStringList Variables;    // name=value
    QStringList MemoReplaces; // old=new
    TMemoFormat DefaultMemoFormat = mfAutoDetect;
    bool ExtractEOLAfterIf = false;
    QStringList ExtendedInfo; // info tags of the last run
    QString PrinterName;      // SetPrinterName of the last run
    QString TemplateFolder;   // insertfile paths are relative to it

    // --- caller-supplied functions and events
    std::function<void(QString& calcStr, bool& replace)> OnUserCalc;
    std::function<void(const QString& funcName, const QVariantList& params, QVariant& result, bool& replace)>
        OnUserCalcParams;
    std::function<void()> OnReadInfo;
    // Answers a name with markup of the output format, passed through as it stands (not escaped, no
    // tags resolved); asked before the variables and OnUserCalc.
    std::function<void(const QString& name, QString& markup, bool& replace)> OnUserCalcMarkup;
    std::function<void(int recNbr, bool& abort)> OnReportProcess;
    std::function<void(const QString& name, QImage& bmp)> OnGetPictureContent;

    // --- run state
    bool Aborted = false;
    int RecNbr = 1, RecNbrDS0 = -1, RecCountDS0 = -1;
    // Pictures of the run that could not be placed (their failure text stands in the result).
    int FailedPictures = 0;

    // Clears the slots and fills them from the list: "Too many datasets." beyond 26.
    void setDataSets(const std::vector<TDataSet*>& dataSets);
    // Processes a loaded template text (info, insertions, if blocks, generation); returns the output.
    // Calculated fields and bookmarks are cleared at the end, also after a failure.
    QString process(const QString& templateText);

    // --- building blocks, also for the engines
    // A tag's text (without delimiters): true with its value when recognised.
    bool evaluateTag(QStringView tag, TReportValue& value);
    double evaluateExpression(QStringView e);
    bool evaluateCondition(QStringView c);
    // Resolves every tag of a text without regions (iif blocks first); literals are template markup.
    void resolveTextPiece(QStringView text, QString& out);
    // Generates output from template text with regions and iif blocks.
    void generate(QStringView text, QString& out);
    const std::vector<TCalcField>& calcFields() const { return calc_; }

protected:
    // Called after the if blocks were decided, before generation: a format may rewrite the text.
    virtual void prepareGeneration(QString& text) {}
    // Tags a format evaluates itself, asked before all others; true when recognised.
    virtual bool evaluateFormatTag(QStringView tag, TReportValue& value) { return false; }
    bool slotOpen(int i) const;
    TDataSet* slotDataSet(int i) const { return i >= 0 && i < 26 ? slots_[size_t(i)].ds : nullptr; }
    // Whether slot i is open and stands on a record.
    bool slotHasCurrent(int i) const;
    // first, last, next, prev, getbookmark, gotobookmark on a slot.
    void navigate(QStringView kind, int slot);

private:
    struct Slot {
        TDataSet* ds = nullptr;
        bool eof = false;
        qint64 bookmark = -1;
    };
    // Nesting of generation, resolution and conditions (values that hold tags, nested blocks).
    static constexpr int kMaxDepth = 48;
    class DepthGuard {
    public:
        DepthGuard(TReportEngine& e, QStringView tag) : e_(e) {
            if (++e_.depth_ > kMaxDepth) {
                --e_.depth_;
                ThrowTemplateError(report_errors::TooDeep(e_.markup_.errorText(tag.left(100))));
            }
        }
        ~DepthGuard() { --e_.depth_; }

    private:
        TReportEngine& e_;
    };

    // processing order (report_engine.cpp)
    void readInfoTags(QString& text);
    void applyInfo();
    void insertFiles(QString& text, QStringView keyword, bool generated);
    void resolveIfBlocks(QString& text);
    // Decides the first block of kind ("if" or "iif") in text from pos: [start, end) of the block
    // and the chosen branch. False when there is none. plainText: the text is a value whose tags
    // have the plain-text delimiters (textOpen, textClose).
    bool decideBlock(QStringView text, qsizetype from, bool inPlace, qsizetype& start, qsizetype& end,
                     QString& branch, bool plainText = false);
    // The first in-place block start (iif) at or after from; not found when there is none.
    TTagSpan findIif(QStringView text, qsizetype from, bool plainText = false) const;
    // A scan region: from its tag at pos up to its endscan tag (pos moves past it).
    void generateRegion(QStringView text, qsizetype& pos, QString& out);
    // The dataset and options of a scan tag; raises naming the tag on a bad one.
    TScanInfo scanInfoOf(const TTagCall& call, const QString& errTag) const;
    // The repetitions of a region's body: per record (or while its condition holds), then the padding
    // up to minrows.
    struct TableRows;
    void repeatRegion(const TScanInfo& si, QStringView body, const TableRows& rows, const QString& inner,
                      QStringView tag, const QString& errTag, QString& out);
    void checkProgress();
    void checkSize(const QString& out, QStringView tag) const;
    qsizetype skipLineEnd(QStringView text, qsizetype pos) const;

    // navigation
    int slotIndex(QStringView arg, QStringView tagForError) const;
    // Table-row regions: the rows of the table in body written per repetition (report_engine.cpp).
    void splitTableRows(QStringView body, TableRows& t) const;
    void writeTableRows(const TScanInfo& si, const TableRows& t, int which, QString& out);

    // value tags (report_eval.cpp)
    bool evaluateValue(QStringView tag, TReportValue& value);
    void fieldValue(int slot, QStringView ref, QStringView format, TReportValue& value);
    void formatNumber(double v, const QString& picture, TReportValue& value);
    void memoValue(const QString& raw, QStringView format, TReportValue& value);
    // Plain text with tags (textOpen, textClose): the text escaped as a value, the tags resolved.
    void resolveTextTags(QStringView text, TReportValue& value);
    bool lookupName(QStringView name, TReportValue& value);
    bool lookupNameText(QStringView name, QString& text);
    void pictureTag(QStringView tag, TReportValue& value);
    void barcodeTag(QStringView tag, TReportValue& value);
    // The value of an argument resolved as a tag; an unrecognised tag yields its own text.
    QString resolveArg(QStringView arg);
    TField* findField(int slot, QStringView name, QString& error) const;
    QVariant currentValue(int slot, TField* f) const;

    // functions (report_functions.cpp)
    QString stringFunction(QStringView tag, QStringView expr);
    void sepList(QStringView args, TReportValue& value);
    QString firstValue(QStringView args);
    void caseFunction(QStringView args, TReportValue& value);
    QString numToText(QStringView expr, QStringView format);
    void defVar(QStringView args);
    void listAllFields(TReportValue& value) const;

    // expressions and conditions (report_expr.cpp)
    double operand(QStringView e);
    bool fieldNumber(int slot, QStringView name, double& v);
    double calcRead(QStringView kind, QStringView name);
    void declareCalc(int slot, const QString& list);
    void updateCalc(int slot);
    bool decideSimple(QStringView c);

    const TReportMarkup& markup_;
    std::array<Slot, 26> slots_{};
    std::vector<TCalcField> calc_;
    bool inCalcUpdate_ = false;
    int depth_ = 0;
    qint64 steps_ = 0;
    QString currentTag_; // for error texts of nested evaluation
};
