#include "xml_report.h"

#include "safe_file.h"
#include "shell.h"
#include "tag_scanner.h"
#include "xml_element.h"
#include "xml_report_parts.h"
#include "zip_archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {
const QString kOpen = QStringLiteral("&lt;&lt;");
const QString kClose = QStringLiteral("&gt;&gt;");
const QString kDocxBreak = QStringLiteral("</w:t><w:br/><w:t xml:space=\"preserve\">");
const QString kDocxTab = QStringLiteral("</w:t><w:tab/><w:t xml:space=\"preserve\">");
constexpr int kMaxMarks = 100001;

// Wildcard patterns separated by ";", "*" any text, letter case ignored.
bool MatchesParts(const QString& name, const QString& patterns) {
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QRegularExpression re(QRegularExpression::anchoredPattern(QRegularExpression::escape(p).replace(
                                  QLatin1String("\\*"), QLatin1String(".*"))),
                              QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch()) return true;
    }
    return false;
}

// The run properties of the run that contains pos (text of its w:rPr), empty when none.
QString RunProperties(QStringView text, qsizetype pos) {
    const qsizetype run = FindElementStartBack(text, u"w:r", pos);
    if (run < 0) return QString();
    const qsizetype open = TagEnd(text, run);
    if (open < 0 || open > pos || !text.mid(open).startsWith(u"<w:rPr>")) return QString();
    const qsizetype end = text.indexOf(QLatin1String("</w:rPr>"), open);
    if (end < 0 || end > pos) return QString();
    return text.mid(open + 7, end - open - 7).toString();
}

// The font and size properties among run properties.
QString FontAndSize(QStringView props) {
    QString out;
    for (QStringView name : {QStringView(u"<w:rFonts"), QStringView(u"<w:sz "), QStringView(u"<w:szCs ")}) {
        const qsizetype p = props.indexOf(name);
        if (p < 0) continue;
        const qsizetype e = props.indexOf(QLatin1String("/>"), p);
        if (e >= 0) out += props.mid(p, e + 2 - p);
    }
    return out;
}

QString FontProperty(const QString& name) {
    QString n;
    AppendXmlText(n, name, QString(), QString());
    return QStringLiteral("<w:rFonts w:ascii=\"%1\" w:hAnsi=\"%1\" w:cs=\"%1\"/>").arg(n);
}

// Whether pos lies in character data of a w:t element (not inside markup).
bool InRunText(QStringView text, qsizetype pos) {
    const qsizetype lt = text.lastIndexOf(QLatin1Char('<'), pos - 1);
    if (lt < 0) return false;
    const qsizetype gt = text.indexOf(QLatin1Char('>'), lt);
    if (gt < 0 || gt >= pos) return false;
    const QStringView tag = text.mid(lt, gt - lt + 1);
    return tag == u"<w:t>" || tag.startsWith(u"<w:t ");
}

// The run boundary a format mark or inline rule becomes.
QString RunBoundary(const QString& props) {
    return props.isEmpty()
               ? QStringLiteral("</w:t></w:r><w:r><w:t xml:space=\"preserve\">")
               : QStringLiteral("</w:t></w:r><w:r><w:rPr>%1</w:rPr><w:t xml:space=\"preserve\">").arg(props);
}
} // namespace

QString CreatingError(const QString& detail) {
    return QStringLiteral("Error during creating of report.\r\n") + detail;
}

// --- the markup of the three kinds

class TkXMLReport::Markup : public TReportMarkup {
public:
    explicit Markup(TkXMLReport& owner) : owner_(owner) {
        open = kOpen;
        close = kClose;
        textOpen = QStringLiteral("<<");
        textClose = QStringLiteral(">>");
        extractedLineEnd.clear();
        passOverSpecialTags = false;
        rawInsertKeyword = QStringLiteral("insertxmlfile");
    }
    void setKind(TXmlTemplateFormat kind) {
        kind_ = kind;
        if (kind == xtfDOCX) {
            newPar = newLine = kDocxBreak;
            newPage = QStringLiteral("</w:t><w:br w:type=\"page\"/><w:t xml:space=\"preserve\">");
            newCol = QStringLiteral("</w:t><w:br w:type=\"column\"/><w:t xml:space=\"preserve\">");
            tab = kDocxTab;
            tableElement = QStringLiteral("w:tbl");
            rowElement = QStringLiteral("w:tr");
        } else {
            newPar = newLine = QStringLiteral("<text:line-break/>");
            newPage = QStringLiteral("<text:soft-page-break/>");
            newCol.clear();
            tab = QStringLiteral("<text:tab/>");
            tableElement = QStringLiteral("table:table");
            rowElement = QStringLiteral("table:table-row");
        }
        sepListBar = newLine;
    }
    void appendText(QString& out, QStringView text) const override {
        if (kind_ == xtfDOCX)
            AppendXmlText(out, text, tab, newLine);
        else
            AppendOdfText(out, text, tab, newLine);
    }
    void appendPicture(QString& out, const TReportPiece& picture) const override {
        owner_.writePicture(out, picture);
    }
    void addRaised(TReportValue& v, const QString& exponent) const override {
        if (kind_ != xtfDOCX) return TReportMarkup::addRaised(v, exponent);
        v.addMarkup(QStringLiteral("</w:t></w:r><w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:t "
                                   "xml:space=\"preserve\">"));
        v.addText(exponent);
        v.addMarkup(QStringLiteral("</w:t></w:r><w:r><w:t xml:space=\"preserve\">"));
    }
    void addRtfMemo(TReportValue& v, const QString& rtf) const override {
        if (rtf.trimmed().startsWith(QLatin1String("{\\rtf1"), Qt::CaseInsensitive))
            v.addMarkup(owner_.rtfMemoToXml(rtf));
        else
            v.addText(rtf);
    }
    // "?A.NAME? (message)".
    QString unknownFieldText(QChar letter, QStringView ref, const QString& message) const override {
        return QStringLiteral("?%1.%2? (%3)").arg(letter).arg(ref).arg(message);
    }
    QString decodeTag(QStringView text) const override { return DecodeXmlEntities(text); }
    QString errorText(QStringView text) const override { return DecodeXmlEntities(text); }

    QString tab;
    TXmlTemplateFormat kind_ = xtfAutoDetect;

private:
    TkXMLReport& owner_;
};

TkXMLReport::TkXMLReport() : TkXMLReport(std::make_unique<Markup>(*this)) {}
TkXMLReport::TkXMLReport(std::unique_ptr<Markup> markup)
    : TReportEngine(*markup), markup_(std::move(markup)) {}
TkXMLReport::~TkXMLReport() = default;

void TkXMLReport::appendPartText(QString& out, const QString& text) const {
    markup_->appendText(out, text);
}

TXmlTemplateFormat TkXMLReport::templateKind() const {
    if (TemplateFormat != xtfAutoDetect) return TemplateFormat;
    const QString ext = QFileInfo(ReportFile).suffix().toLower();
    if (ext == u"docx" || ext == u"docm" || ext == u"dotx") return xtfDOCX;
    if (ext == u"odt" || ext == u"ott") return xtfODT;
    if (ext == u"xml" || ext == u"fodt") return xtfXML;
    return xtfAutoDetect;
}

// --- the run

bool TkXMLReport::Execute(const std::vector<TDataSet*>& dataSets) {
    setDataSets(dataSets);
    kind_ = templateKind();
    markup_->setKind(kind_);
    PicCount = 0;
    mediaCounter_ = 0;
    if (TemplateFolder.isEmpty() && !ReportFile.isEmpty())
        TemplateFolder = QFileInfo(ReportFile).absolutePath();
    if (!OnGetTemplateStr || kind_ != xtfXML) {
        if (!QFileInfo(ReportFile).isFile()) ThrowCannotOpenTemplate(ReportFile);
    }
    if (OutputFile.isEmpty()) throw TReportException(CreatingError(QStringLiteral("No output file given.")));
    const QFileInfo in(ReportFile), out(OutputFile);
    if (out.exists() && in.exists() && in.canonicalFilePath() == out.canonicalFilePath())
        throw TReportException(
            CreatingError(QStringLiteral("The output file \"%1\" is the template itself.").arg(OutputFile)));
    if (OnReportProcess) {
        bool abort = false;
        OnReportProcess(0, abort);
        if (abort) throw TReportException(QStringLiteral("Action aborted."));
    }
    if (kind_ == xtfXML ? !runFlatXml() : !runPackage()) return false; // emptied by OnModifyBeforeSave
    if (OnReportProcess) {
        bool abort = false;
        OnReportProcess(-1, abort);
    }
    if (ActionAfter == aaPrint) {
        for (int copy = 0; copy < PrintCopies; ++copy)
            if (!DoActionAfter(OutputFile, aaPrint)) break; // a failure is shown once
    } else {
        DoActionAfter(OutputFile, ActionAfter);
    }
    return true;
}

namespace {
// Why a result could not be saved: the usual causes, then the system's own reason.
[[noreturn]] void SaveError(const QString& output, const FileWriteError& e) {
    throw TReportException(CreatingError(
        QStringLiteral(
            "Error during saving file \"%1\".\r\nYou do not have access rights, target directory does "
            "not exist or target file is already opened in other application.\r\n%2")
            .arg(output, e.Message)));
}
} // namespace

bool TkXMLReport::runPackage() {
    QFile in(ReportFile);
    if (!in.open(QIODevice::ReadOnly)) ThrowCannotOpenTemplate(ReportFile);
    // The package is changed in a copy of the template that replaces the output when complete.
    std::optional<SafeFile> result;
    QString tmp;
    try {
        result.emplace(OutputFile, SafeFile::WorkFile);
        result->write(in.readAll());
        tmp = result->workFile();
    } catch (const FileWriteError& e) {
        SaveError(OutputFile, e);
    }
    // The messages of the package name the template (read) or the output (written), not the copy.
    const auto named = [&tmp](QString message, const QString& file) {
        return message.replace(QLatin1Char('"') + tmp + QLatin1Char('"'),
                               QLatin1Char('"') + file + QLatin1Char('"'));
    };
    TZipArchive zip;
    QStringList names;
    try {
        zip.open(tmp);
        names = zip.entries();
    } catch (const Exception& e) {
        throw TReportException(CreatingError(named(e.Message, ReportFile)));
    }
    zip_ = &zip;
    const auto reset = qScopeGuard([this] { zip_ = nullptr; });
    entryNames_.clear();
    for (const QString& n : names)
        entryNames_.insert(n.toLower());
    mediaTypes_.clear();
    manifestEntries_.clear();
    const QString patterns = kind_ == xtfDOCX
                                 ? QStringLiteral("word/header*.xml;word/footer*.xml;word/document.xml")
                             : kind_ == xtfODT ? QStringLiteral("content.xml;styles.xml")
                                               : QString();
    // All parts are read first: drawing ids must stay unique across the parts of the package.
    std::vector<std::pair<QString, QString>> parts;
    static const QRegularExpression docPrId(QStringLiteral("<wp:docPr [^>]*id=\"(\\d+)\""));
    nextDrawingId_ = 1;
    try {
        for (const QString& name : names) {
            if (patterns.isEmpty() || !MatchesParts(name, patterns)) continue;
            QString content;
            if (OnGetTemplateStr)
                OnGetTemplateStr(name, content);
            else
                content = QString::fromUtf8(zip.read(name));
            for (auto it = docPrId.globalMatch(content); it.hasNext();)
                nextDrawingId_ = std::max(nextDrawingId_, it.next().captured(1).toLongLong() + 1);
            parts.emplace_back(name, std::move(content));
        }
        for (auto& [name, content] : parts) {
            partRels_.clear();
            partRelsText_.clear();
            const QString relsName = QStringLiteral("word/_rels/") + name.mid(5) + QStringLiteral(".rels");
            if (kind_ == xtfDOCX && zip.contains(relsName))
                partRelsText_ = QString::fromUtf8(zip.read(relsName));
            QString out = processPart(std::move(content));
            if (Aborted) throw TReportException(QStringLiteral("Action aborted."));
            if (OnModifyBeforeSave) OnModifyBeforeSave(name, out);
            if (!out.isEmpty()) zip.write(name, out.toUtf8());
            finishPartPictures(name);
        }
        finishPackagePictures();
    } catch (const Exception& e) {
        if (dynamic_cast<const TReportException*>(&e)) throw;
        throw TReportException(CreatingError(named(e.Message, ReportFile)));
    }
    try {
        zip.close(true);
    } catch (const Exception& e) {
        throw TReportException(CreatingError(named(e.Message, OutputFile)));
    }
    try {
        result->commit();
    } catch (const FileWriteError& e) {
        SaveError(OutputFile, e);
    }
    return true;
}

bool TkXMLReport::runFlatXml() {
    QString content;
    if (OnGetTemplateStr) {
        OnGetTemplateStr(ReportFile, content);
    } else {
        QFile f(ReportFile);
        if (!f.open(QIODevice::ReadOnly)) ThrowCannotOpenTemplate(ReportFile);
        content = QString::fromUtf8(f.readAll());
    }
    content.replace(QLatin1String("<<"), kOpen);
    content.replace(QLatin1String(">>"), kClose);
    QString out = processPart(std::move(content));
    if (Aborted) throw TReportException(QStringLiteral("Action aborted."));
    if (OnModifyBeforeSave) OnModifyBeforeSave(OutputFile, out);
    if (out.isEmpty()) return false;
    try {
        SafeFile result(OutputFile);
        result.write(out.toUtf8());
        result.commit();
    } catch (const FileWriteError& e) {
        SaveError(OutputFile, e);
    }
    return true;
}

// --- processing a part

QString TkXMLReport::processPart(QString text) {
    if (kind_ != xtfXML) text.remove(QLatin1String("\r\n"));
    normalizeTags(text);
    if (kind_ == xtfDOCX) removeBookmarks(text);
    tables_.clear();
    QString out = process(text);
    readXmlInfo();
    removeEmptyParagraphs(out);
    if (JoinTouchingTables) joinTables(out);
    if (kind_ == xtfDOCX) {
        applyFormatMarks(out);
        applyInlineFormatting(out);
        // Values may start or end in blanks, which readers drop from text not marked to keep them.
        out.replace(QLatin1String("<w:t>"), QLatin1String("<w:t xml:space=\"preserve\">"));
    }
    return out;
}

void TkXMLReport::readXmlInfo() {
    for (const QString& line : ExtendedInfo) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1);
        if (key == u"jointouchingtables")
            JoinTouchingTables = value == u"1";
        else if (key == u"inlineformatting")
            InlineFormatting.append(QString(value).replace(QLatin1String("#9"), QLatin1String("\t")));
    }
}

// Markup inside a tag (the word processor split the tag into runs) is moved out of it: markup before
// any of the tag's text stays in front, the rest goes behind.
void TkXMLReport::normalizeTags(QString& text) const {
    if (!text.contains(kOpen)) return;
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (true) {
        const qsizetype s = text.indexOf(kOpen, pos);
        if (s < 0) break;
        const qsizetype e = text.indexOf(kClose, s + kOpen.size());
        if (e < 0) break;
        const QStringView inner = QStringView(text).mid(s + kOpen.size(), e - s - kOpen.size());
        out += QStringView(text).mid(pos, s - pos);
        pos = e + kClose.size();
        if (!inner.contains(QLatin1Char('<'))) {
            out += QStringView(text).mid(s, pos - s);
            continue;
        }
        QString front, plain, behind;
        for (qsizetype i = 0; i < inner.size();) {
            if (inner[i] == '<') {
                qsizetype gt = inner.indexOf(QLatin1Char('>'), i);
                if (gt < 0) gt = inner.size() - 1;
                (plain.isEmpty() ? front : behind) += inner.mid(i, gt + 1 - i);
                i = gt + 1;
            } else {
                plain += inner[i++];
            }
        }
        if (out.endsWith(QLatin1Char(' '))) out.back() = QChar(0x00A0);
        out += front + kOpen + plain + kClose + behind;
        if (pos < text.size() && text[pos] == ' ') {
            out += QChar(0x00A0);
            ++pos;
        }
    }
    out += QStringView(text).mid(pos);
    text = std::move(out);
}

// Bookmarks that split a run are removed with the run break around them, so a tag typed across a
// bookmark reads as one text; then every bookmark element and every plain run break go.
void TkXMLReport::removeBookmarks(QString& text) {
    static const QString runEnd = QStringLiteral("</w:t></w:r>");
    qsizetype pos = 0;
    while ((pos = text.indexOf(runEnd + QStringLiteral("<w:bookmarkStart"), pos)) >= 0) {
        const qsizetype be = text.indexOf(QLatin1String("<w:bookmarkEnd"), pos);
        const qsizetype beEnd = be < 0 ? -1 : text.indexOf(QLatin1String("/>"), be);
        const qsizetype t = beEnd < 0 ? -1 : text.indexOf(QLatin1String("<w:t>"), beEnd + 2);
        if (t >= 0 && t - (beEnd + 2) <= 5) {
            text.remove(pos, t + 5 - pos);
        } else {
            pos += runEnd.size();
        }
    }
    for (QStringView name : {QStringView(u"w:bookmarkStart"), QStringView(u"w:bookmarkEnd")}) {
        QString out;
        qsizetype p = 0, s;
        while ((s = FindElementStart(text, name, p)) >= 0) {
            const qsizetype e = text.indexOf(QLatin1String("/>"), s);
            if (e < 0) break;
            out += QStringView(text).mid(p, s - p);
            p = e + 2;
        }
        if (p == 0) continue;
        out += QStringView(text).mid(p);
        text = std::move(out);
    }
    text.remove(QStringLiteral("</w:t></w:r><w:r><w:t>"));
}

namespace {
// Whether a paragraph's content (after its start tag) holds nothing but emptied runs.
bool EmptyDocxParagraph(QStringView content) {
    qsizetype i = 0;
    if (content.startsWith(u"<w:pPr>") || content.startsWith(u"<w:pPr ")) {
        const qsizetype e = content.indexOf(QLatin1String("</w:pPr>"));
        if (e < 0) return false;
        i = e + 8;
    }
    bool emptied = false;
    while (i < content.size()) {
        const QStringView rest = content.mid(i);
        if (rest.startsWith(u"<w:r>") || rest.startsWith(u"<w:r ") || rest.startsWith(u"</w:r>") ||
            rest.startsWith(u"<w:rPr/>") || rest.startsWith(u"</w:t>")) {
            i = TagEnd(content, i);
        } else if (rest.startsWith(u"<w:rPr>")) {
            const qsizetype e = content.indexOf(QLatin1String("</w:rPr>"), i);
            if (e < 0) return false;
            i = e + 8;
        } else if (rest.startsWith(u"<w:t>") || rest.startsWith(u"<w:t ")) {
            i = TagEnd(content, i);
            if (i < 0 || !content.mid(i).startsWith(u"</w:t>")) return false;
            emptied = true;
        } else {
            return false;
        }
        if (i < 0) return false;
    }
    return emptied;
}

bool EmptyOdfParagraph(QStringView content) {
    qsizetype i = 0;
    while (i < content.size()) {
        const QStringView rest = content.mid(i);
        if (!rest.startsWith(u"<text:span") && !rest.startsWith(u"</text:span>")) return false;
        i = TagEnd(content, i);
        if (i < 0) return false;
    }
    return true;
}
} // namespace

// Paragraphs that only held tags which produced nothing vanish (with or without properties);
// paragraphs inside tables stay, as a table cell must keep one.
void TkXMLReport::removeEmptyParagraphs(QString& text) const {
    const QString para = kind_ == xtfDOCX ? QStringLiteral("w:p") : QStringLiteral("text:p");
    const QString table = markup_->tableElement;
    const QString paraEnd = QStringLiteral("</") + para + QLatin1Char('>');
    QString out;
    qsizetype pos = 0, copied = 0, t = -2;
    while (true) {
        const qsizetype p = FindElementStart(text, para, pos);
        if (p < 0) break;
        // The next table is looked up again only once passed, which keeps the pass linear.
        if (t != -1 && t < pos) t = FindElementStart(text, table, pos);
        if (t >= 0 && t < p) {
            // Skip the table with the tables nested in it.
            int depth = 0;
            qsizetype q = t;
            while (true) {
                const qsizetype ns = FindElementStart(text, table, q + 1);
                const qsizetype ne = FindElementEnd(text, table, q + 1);
                if (ne < 0) {
                    q = text.size();
                    break;
                }
                if (ns >= 0 && ns < ne) {
                    ++depth;
                    q = ns;
                } else if (depth-- == 0) {
                    q = ne;
                    break;
                } else {
                    q = ne - 1;
                }
            }
            pos = q;
            continue;
        }
        const qsizetype open = TagEnd(text, p);
        if (open < 0) break;
        if (text[open - 2] == '/') {
            pos = open;
            continue;
        }
        const qsizetype end = text.indexOf(paraEnd, open);
        if (end < 0) break;
        const QStringView content = QStringView(text).mid(open, end - open);
        if (kind_ == xtfDOCX ? EmptyDocxParagraph(content) : EmptyOdfParagraph(content)) {
            out += QStringView(text).mid(copied, p - copied);
            copied = end + paraEnd.size();
        }
        pos = end + paraEnd.size();
    }
    if (copied == 0) return;
    out += QStringView(text).mid(copied);
    text = std::move(out);
}

// Tables that follow each other directly become one: the end of the first and the start of the
// second up to its first row go.
void TkXMLReport::joinTables(QString& text) const {
    const QString table = markup_->tableElement;
    const QString end = QStringLiteral("</") + table + QLatin1Char('>');
    qsizetype pos = 0;
    while ((pos = text.indexOf(end, pos)) >= 0) {
        const qsizetype next = pos + end.size();
        if (FindElementStart(text, table, next) != next) {
            pos = next;
            continue;
        }
        const qsizetype row = FindElementStart(text, markup_->rowElement, next);
        const qsizetype nextEnd = text.indexOf(end, next);
        if (row < 0 || (nextEnd >= 0 && nextEnd < row)) {
            pos = next;
            continue;
        }
        text.remove(pos, row - pos);
    }
}

// Format marks of RTF memos become run boundaries with the properties of their words.
void TkXMLReport::applyFormatMarks(QString& text) const {
    if (!text.contains(QChar(kFormatBegin))) return;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype pos = 0;
    int count = 0;
    QString lastFont, lastSize;
    while (count++ < kMaxMarks) {
        const qsizetype b = text.indexOf(QChar(kFormatBegin), pos);
        if (b < 0) break;
        const qsizetype e = text.indexOf(QChar(kFormatEnd), b);
        if (e < 0) break;
        const QString runProps = RunProperties(text, b);
        QString props, font, size;
        bool closing = false;
        for (const QString& word : text.mid(b + 1, e - b - 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (word == u"\\plain") {
                closing = true;
                continue;
            }
            if (word.startsWith(u"\\font*")) {
                font = FontProperty(word.mid(6));
                continue;
            }
            props += FormatWordProperty(word, RtfSupportedFormats, RtfCustomFormats, size);
        }
        if (closing) {
            lastFont.clear();
            lastSize.clear();
        }
        if (!font.isEmpty()) lastFont = font;
        if (!size.isEmpty()) lastSize = size;
        const QString own = FontAndSize(runProps);
        QString fs = (lastFont.isEmpty() && lastSize.isEmpty()) ? own : lastFont + lastSize;
        if (closing) fs = runProps;
        // Blanks before the mark keep a run of their own, written to be preserved.
        qsizetype blanks = b;
        while (blanks > pos && text[blanks - 1] == ' ')
            --blanks;
        out += QStringView(text).mid(pos, blanks - pos);
        if (blanks < b) {
            out += RunBoundary(runProps);
            out += QStringView(text).mid(blanks, b - blanks);
        }
        out += RunBoundary(props + fs);
        pos = e + 1;
    }
    out += QStringView(text).mid(pos);
    text = std::move(out);
}

void TkXMLReport::applyInlineFormatting(QString& text) const {
    for (const QString& rule : InlineFormatting) {
        const QStringList f = rule.split(QLatin1Char('\t'));
        if (f.size() < 3 || f[0].isEmpty()) continue;
        const QString& start = f[0];
        const QString& stop = f[1];
        QString out;
        qsizetype pos = 0;
        int count = 0;
        for (qsizetype s = 0; count < kMaxMarks && (s = text.indexOf(start, pos)) >= 0;) {
            if (!InRunText(text, s)) {
                out += QStringView(text).mid(pos, s + 1 - pos);
                pos = s + 1;
                continue;
            }
            ++count;
            const QString runProps = RunProperties(text, s);
            out += QStringView(text).mid(pos, s - pos);
            out += RunBoundary(f[2] + FontAndSize(runProps));
            pos = s + start.size();
            const qsizetype runEnd = text.indexOf(QLatin1String("</w:t>"), pos);
            const qsizetype e = stop.isEmpty() ? -1 : text.indexOf(stop, pos);
            if (e >= 0 && (runEnd < 0 || e < runEnd)) {
                out += QStringView(text).mid(pos, e - pos);
                out += RunBoundary(runProps);
                pos = e + stop.size();
            }
        }
        if (count == 0) continue;
        out += QStringView(text).mid(pos);
        text = std::move(out);
    }
}

// --- inserttable: the template table is cut out before generation and generated where its tag is met

void TkXMLReport::prepareGeneration(QString& text) {
    qsizetype pos = 0;
    while (true) {
        TTagSpan t = FindTag(text, kOpen, kClose, pos, u"inserttable");
        if (!t.found()) break;
        const QString inner = DecodeXmlEntities(t.inner);
        TTagCall call;
        if (!SplitCall(inner, call)) ThrowTemplateError(report_errors::Bracket(inner));
        if (call.name.compare(u"inserttable", Qt::CaseInsensitive) != 0) {
            pos = t.start + 1;
            continue;
        }
        if (kind_ != xtfDOCX)
            ThrowTemplateError(
                QStringLiteral("Tag \"%1\" is not supported in this template format.").arg(inner));
        const qsizetype start = FindElementStartBack(text, u"w:tbl", t.start);
        const qsizetype end = FindElementEnd(text, u"w:tbl", t.end);
        int rows = 0;
        for (qsizetype r = start; r >= 0 && (r = FindElementStart(text, u"w:tr", r + 1)) >= 0 && r < end;)
            ++rows;
        const qsizetype nested = start < 0 ? -1 : FindElementStart(text, u"w:tbl", start + 1);
        const qsizetype firstTag = start < 0 ? -1 : text.indexOf(kOpen, start);
        if (start < 0 || end < 0 || rows != 1 || (nested >= 0 && nested < end) || firstTag != t.start)
            ThrowTemplateError(
                QStringLiteral("Tag \"%1\" can be used only inside table with one row.").arg(inner));
        auto table = std::make_unique<TkXMLReportTable>();
        table->tag = inner;
        const QStringView tbl = QStringView(text).mid(start, end - start);
        const qsizetype pr = FindElementStart(tbl, u"w:tblPr");
        const qsizetype prEnd = pr < 0 ? -1 : FindElementEnd(tbl, u"w:tblPr", pr);
        if (prEnd > 0) table->properties = tbl.mid(pr, prEnd - pr).toString();
        const qsizetype grid = tbl.indexOf(QLatin1String("<w:tblGrid>"));
        if (grid >= 0) {
            const qsizetype q = tbl.indexOf(QLatin1Char('"'), grid);
            const qsizetype q2 = q < 0 ? -1 : tbl.indexOf(QLatin1Char('"'), q + 1);
            if (q2 > 0) table->firstColumnTwips = tbl.mid(q + 1, q2 - q - 1).toInt();
        }
        const QString placeholder =
            kOpen + QChar(kTablePlaceholder) + QString::number(tables_.size()) + kClose;
        tables_.push_back(std::move(table));
        text.replace(start, end - start, placeholder);
        pos = start + placeholder.size();
    }
}

bool TkXMLReport::evaluateFormatTag(QStringView tag, TReportValue& value) {
    if (tag.isEmpty() || tag[0] != QChar(kTablePlaceholder)) return false;
    const qsizetype i = tag.mid(1).toLongLong();
    if (i < 0 || i >= qsizetype(tables_.size())) return false;
    value.addMarkup(generateTable(*tables_[size_t(i)]));
    return true;
}

bool IsXmlTemplate(const QString& path) {
    static const QStringList kinds = {"docx", "docm", "dotx", "odt", "ott", "fodt", "xml"};
    return kinds.contains(QFileInfo(path).suffix().toLower());
}
