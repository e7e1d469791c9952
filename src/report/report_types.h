#pragma once
// Shared types of the template reports: the template error, typed value pieces and the markup
// interface through which an output format (text, RTF, XML) plugs into the tag language.
#include "exceptions.h"

#include <QImage>
#include <QString>
#include <QStringView>
#include <vector>

// A template error; its message is "Bad format of template file." CR LF and a detail line.
class TReportException : public Exception {
public:
    using Exception::Exception;
};

// The detail lines of template errors.
namespace report_errors {
QString Bracket(const QString& tag);       // quotes or parentheses do not balance
QString DatabaseField(const QString& tag); // a field value or calculated field failed
QString IncorrectDataset(const QString& tag);
QString NotFound(const QString& tag);     // region or block end missing
QString CalcFunction(const QString& tag); // expression, condition or function failed
QString IncorrectTag(const QString& tag);
QString TooDeep(const QString& tag);  // nesting or self-reference beyond the depth limit
QString TooLarge(const QString& tag); // output or repetitions beyond the size limit
} // namespace report_errors

// "Bad format of template file." CR LF detail.
[[noreturn]] void ThrowTemplateError(const QString& detail);

// A template file that cannot be opened: "Cannot open file ..." CR LF "File not exist (probably).".
[[noreturn]] void ThrowCannotOpenTemplate(const QString& fileName);

// A piece of a value. Text is plain and gets escaped by the output format; Markup is already in the
// output format and is written as it stands; Picture is an image or a picture file with its
// parameter text, which the output format places.
struct TReportPiece {
    enum Kind { Text, Markup, Picture };
    Kind kind = Text;
    QString text; // Text and Markup: the content; Picture: the file path (empty when image is set)
    QImage image;
    QString params; // Picture: the parameter text of the tag
    // Picture from a field: its stored format as the image reader names it ("jpeg", "png", "bmp"),
    // the dataset slot (0 = A), the record number and the field name; slot -1 for other sources.
    QByteArray format;
    int slot = -1;
    int recNo = 0;
    QString fieldName;
};

// The picture parameters of a tag ("w=100;insertinrtf;..."); sizes as written, 0 = no limit.
struct TPictureParams {
    double w = 0, h = 0, wcm = 0, hcm = 0, winch = 0, hinch = 0, rotate = 0;
    bool enlarge = false, insertInRtf = false;
    QByteArray saveAs; // "bmp", "jpeg" or "png" when a saveas keyword asks for it
    QString nameField;
    QString quality; // as written; empty when absent
};
TPictureParams ParsePictureParams(QStringView params);
// Lets the image readers decode a picture as large as a quarter of the memory (at least Qt's own
// limit), so large photos load instead of being refused as bad pictures.
void AllowLargePictures();

class TReportValue {
public:
    void addText(const QString& s) {
        if (!s.isEmpty()) pieces_.push_back(piece(TReportPiece::Text, s));
    }
    void addMarkup(const QString& s) {
        if (!s.isEmpty()) pieces_.push_back(piece(TReportPiece::Markup, s));
    }
    void addPicture(TReportPiece p) {
        p.kind = TReportPiece::Picture;
        pieces_.push_back(std::move(p));
    }
    void add(const TReportPiece& p) { pieces_.push_back(p); }
    void append(const TReportValue& v) { pieces_.insert(pieces_.end(), v.pieces_.begin(), v.pieces_.end()); }
    const std::vector<TReportPiece>& pieces() const { return pieces_; }
    bool isEmpty() const { return pieces_.empty(); }
    // Text and markup joined, pictures left out: what functions and conditions work on.
    QString plain() const;

private:
    static TReportPiece piece(TReportPiece::Kind kind, const QString& s) {
        TReportPiece p;
        p.kind = kind;
        p.text = s;
        return p;
    }
    std::vector<TReportPiece> pieces_;
};

// What an output format supplies to the tag language. The defaults are the plain-text kind.
class TReportMarkup {
public:
    virtual ~TReportMarkup() = default;
    QString open = QStringLiteral("\\\\"); // tag delimiters as stored in the template
    QString close = QStringLiteral("\\\\");
    // Tag delimiters in plain text (memo values), before escaping for the output format.
    QString textOpen = QStringLiteral("\\\\");
    QString textClose = QStringLiteral("\\\\");
    QString newPar = QStringLiteral("\r\n");
    QString newLine = QStringLiteral("\r\n");
    QString newPage = QStringLiteral("\f\r");
    QString newCol = QStringLiteral("\r\n");
    // The paragraph end removed after a line that holds only a structure tag; empty: none removed.
    QString extractedLineEnd = QStringLiteral("\r\n");
    // Tags starting with "#", "*" or "@" or longer than 250 characters are passed over.
    bool passOverSpecialTags = true;
    // What "*|" in a seplist separator stands for.
    QString sepListBar = QStringLiteral("\\");
    // The paragraph end listallfields writes.
    QString listParEnd() const { return newPar; }
    // The insertion tag whose file becomes template text unchanged.
    QString rawInsertKeyword = QStringLiteral("insertrtffile");
    // Element names of a table and of its rows for table-row regions; empty: the format has none.
    QString tableElement, rowElement;

    // Appends a plain text escaped for the output format.
    virtual void appendText(QString& out, QStringView text) const { out.append(text); }
    // Appends a picture; formats without pictures write nothing.
    virtual void appendPicture(QString& out, const TReportPiece& picture) const {}
    // A formatted number's power of ten written raised (" x 10" is already in v).
    virtual void addRaised(TReportValue& v, const QString& exponent) const { v.addText("^" + exponent); }
    // A memo stored as RTF, added to the value; the default keeps it as markup of the format.
    virtual void addRtfMemo(TReportValue& v, const QString& rtf) const { v.addMarkup(rtf); }
    // The length of the paragraph end that starts text (extractedLineEnd by default; a text's LF line
    // end counts as its CR LF); 0 when none.
    virtual qsizetype lineEndAt(QStringView text) const {
        if (!extractedLineEnd.isEmpty() && text.startsWith(extractedLineEnd)) return extractedLineEnd.size();
        return extractedLineEnd == u"\r\n" && text.startsWith(QLatin1Char('\n')) ? 1 : 0;
    }
    // The mark written for a field that cannot be read: "?NAME?message?".
    virtual QString unknownFieldText(QChar letter, QStringView ref, const QString& message) const {
        return QLatin1Char('?') + ref.toString() + QLatin1Char('?') + message + QLatin1Char('?');
    }
    // Decodes escapes inside a tag's text before it is read.
    virtual QString decodeTag(QStringView text) const { return text.toString(); }
    // The tag text as error messages show it.
    virtual QString errorText(QStringView text) const { return text.toString().remove(QLatin1Char('\\')); }

    void appendValue(QString& out, const TReportValue& v) const;
};
