#pragma once
// Pieces shared by the files of the XML report engine.
#include <QString>
#include <QStringList>

// Format marks that RTF memos leave in a DOCX part until its last step turns them into runs. XML
// does not allow these characters, so neither a template nor a value can hold them.
constexpr char16_t kFormatBegin = 0x01;
constexpr char16_t kFormatEnd = 0x02;
// Where an inserttable tag stood once its table was cut out: the placeholder tag's first character.
constexpr char16_t kTablePlaceholder = 0x03;

// The run property of one kept RTF control word: a custom format, a supported format's on word, or
// "\fs" + n (then size is set and nothing returned). Off words and unknown words give nothing.
QString FormatWordProperty(const QString& word, unsigned supported, const QStringList& custom, QString& size);

// "Error during creating of report." CR LF detail.
QString CreatingError(const QString& detail);

// The template table around an inserttable tag.
struct TkXMLReportTable {
    QString tag;        // the tag's text, entities decoded
    QString properties; // the table's w:tblPr element
    int firstColumnTwips = 0;
};
