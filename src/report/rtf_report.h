#pragma once
// TRTFReport2: the report engine for RTF templates and plain-text templates. It works on the RTF
// source text (the template is never parsed as a document), escapes values for RTF, turns pictures
// and barcodes into picture groups or linked files beside the result, writes the result through a
// temporary file and then opens or prints it.
#include "action_after.h"
#include "report_engine.h"

enum TTemplateFormat { tfAutoDetect, tfRTF, tfText };

// Appends text to RTF source: "\", "{" and "}" escaped, line ends as "\par ", tabs as "\tab ",
// other control characters dropped, characters above 127 as signed 16-bit "\uN?" (two of them,
// a surrogate pair, beyond the Basic Multilingual Plane).
void AppendRtfText(QString& out, QStringView text);

// The preparation of an RTF template before the tag language reads it: picture groups ("{\pict"
// to the brace that balances it) are kept as they are; outside them line ends are removed (one that
// ends a control word becomes its blank) and every tag is cleaned (control words inside the tag's
// text moved in front of it, with a single unpaired brace); "fcharset0" becomes "fcharset" and
// defaultCharset when that is not 0. A picture group without its closing brace is a template error.
QString PrepareRtfTemplate(const QString& text, int defaultCharset);

class TRTFReport2 : public TReportEngine {
public:
    TRTFReport2();

    QString ReportFile;
    QString OutputFile;
    TTemplateFormat TemplateFormat = tfAutoDetect;
    int DefaultCharset = 0; // written into the font table in place of charset 0; 0 leaves it
    TActionAfter ActionAfter = aaShow;
    bool ShowMaximized = false;
    bool AppendToFile = false; // text templates: append to an existing result
    // Text templates: the code page the result is written in (as "CP" and the number, e.g. 852);
    // 0: the system's 8-bit code page. Characters it cannot hold are written as "?".
    int TxtCodePage = 0;
    bool ShowSaveErrorDialog = false;
    bool ShowProgressBar = false;
    int PrintCopies = 1;
    int PicCount = 0; // linked picture files written in the last run

    // Supplies the template text instead of the file when set.
    std::function<void(QString& templateStr)> OnGetTemplateStr;
    // Sees and may change the finished result; an empty result is neither written nor opened.
    std::function<void(QString& fileContent)> OnModifyBeforeSave;

    void SetPrinterName(const QString& name) { PrinterName = name; }

    // One run: fills the template from the datasets, writes OutputFile and does ActionAfter.
    // Template, file and abort errors throw (nothing is written then). Returns false when nothing
    // was written: the result came back empty from OnModifyBeforeSave, or the user declined to try
    // saving again.
    bool Execute(const std::vector<TDataSet*>& dataSets);

    // Whether the last (or running) run treats its template as RTF.
    bool isRtf() const { return markup_.rtf; }

private:
    class Markup : public TReportMarkup {
    public:
        explicit Markup(TRTFReport2& owner) : owner_(owner) {}
        void setKind(bool rtfKind);
        bool rtf = true;

        void appendText(QString& out, QStringView text) const override;
        void appendPicture(QString& out, const TReportPiece& picture) const override;
        void addRaised(TReportValue& v, const QString& exponent) const override;
        qsizetype lineEndAt(QStringView text) const override;
        QString decodeTag(QStringView text) const override;

    private:
        TRTFReport2& owner_;
    };

    // The picture as RTF markup; a failure's message (plain text) when it cannot be placed.
    bool pictureMarkup(const TReportPiece& picture, QString& result);
    QString pictureFileName(const TReportPiece& picture, const QString& nameField);
    // The template text; latin1 tells that its bytes were not UTF-8 and were read as Latin-1.
    QString readTemplate(bool& latin1) const;
    // The result as the bytes written (latin1: the template's bytes were not UTF-8).
    QByteArray resultBytes(const QString& result, bool latin1) const;
    void writeResult(const QByteArray& bytes, bool& written);
    void report(int recNbr);
    void afterAction();

    Markup markup_;
};
