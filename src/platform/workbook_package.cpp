#include "workbook_package.h"

#include "package_xml.h"
#include "safe_file.h"
#include "sheet_conditional_formats.h"
#include "sheet_pictures.h"
#include "sheet_rows.h"
#include "workbook_styles.h"
#include "workbook_writer.h"
#include "zip_archive.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

using namespace pkgxml;

namespace {
const char kWorksheetType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
const char kStylesType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
const char kWorksheetContent[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
const char kStylesContent[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
const char kRelsNamespace[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char kDrawingType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing";
const char kImageType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
const char kDrawingContent[] = "application/vnd.openxmlformats-officedocument.drawing+xml";
const char kEmptyRels[] =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";

const Order kWorksheetOrder = {"sheetPr",
                               "dimension",
                               "sheetViews",
                               "sheetFormatPr",
                               "cols",
                               "sheetData",
                               "sheetCalcPr",
                               "sheetProtection",
                               "protectedRanges",
                               "scenarios",
                               "autoFilter",
                               "sortState",
                               "dataConsolidate",
                               "customSheetViews",
                               "mergeCells",
                               "phoneticPr",
                               "conditionalFormatting",
                               "dataValidations",
                               "hyperlinks",
                               "printOptions",
                               "pageMargins",
                               "pageSetup",
                               "headerFooter",
                               "rowBreaks",
                               "colBreaks",
                               "customProperties",
                               "cellWatches",
                               "ignoredErrors",
                               "smartTags",
                               "drawing",
                               "legacyDrawing",
                               "legacyDrawingHF",
                               "drawingHF",
                               "picture",
                               "oleObjects",
                               "controls",
                               "webPublishItems",
                               "tableParts",
                               "extLst"};
const Order kWorkbookOrder = {"fileVersion",    "fileSharing",
                              "workbookPr",     "workbookProtection",
                              "bookViews",      "sheets",
                              "functionGroups", "externalReferences",
                              "definedNames",   "calcPr",
                              "oleSize",        "customWorkbookViews",
                              "pivotCaches",    "smartTagPr",
                              "smartTagTypes",  "webPublishing",
                              "fileRecoveryPr", "webPublishObjects",
                              "extLst"};
const Order kSheetPrOrder = {"tabColor", "outlinePr", "pageSetUpPr"};
const Order kSheetViewOrder = {"pane", "selection", "pivotSelection", "extLst"};

// What the scan of a worksheet part found: the part up to and including the start tag of its cell
// table, the rest after the table, and where the rows worth keeping end.
struct SheetScan {
    QByteArray head, tail;
    QByteArray prefix;             // namespace prefix of the part's elements with its colon ("x:"), or empty
    qint64 bodyBegin = 0;          // offset of the first byte inside the cell table
    qint64 keepEnd = 0;            // end of the last row that holds a cell
    int lastRow = 0;               // 1-based last row holding a cell; 0: none
    int firstCol = 0, lastCol = 0; // 1-based columns of the used area
};

// A part read in chunks: find() reads on until the text is there.
class PartReader {
public:
    explicit PartReader(TZipArchive::Stream& s) : s_(s) {}
    bool more() {
        char chunk[1 << 16];
        const qint64 n = s_.read(chunk, sizeof chunk);
        if (n <= 0) return false;
        buf.append(chunk, n);
        return true;
    }
    qsizetype find(QByteArrayView what, qsizetype from) {
        for (;;) {
            const qsizetype i = buf.indexOf(what, from);
            if (i >= 0) return i;
            from = std::max(from, buf.size() - what.size() + 1);
            if (!more()) return -1;
        }
    }
    bool have(qsizetype n) {
        while (buf.size() < n)
            if (!more()) return false;
        return true;
    }
    // The end ('>') of the tag starting at lt, passing over quoted attribute values.
    qsizetype tagEnd(qsizetype lt) {
        char quote = 0;
        for (qsizetype i = lt + 1;; ++i) {
            if (i >= buf.size() && !more()) return -1;
            const char c = buf[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i;
            }
        }
    }
    void drop(qsizetype n) {
        buf.remove(0, n);
        offset += n;
    }
    void readAll() {
        while (more()) {
        }
    }
    QByteArray buf;
    qint64 offset = 0; // of buf[0] in the part

private:
    TZipArchive::Stream& s_;
};

// The element name of a tag text starting after '<' (with a prefix), and its local part.
std::string_view TagName(std::string_view tag) {
    size_t end = 0;
    while (end < tag.size() && !std::strchr(" \t\r\n/>", tag[end]))
        ++end;
    return tag.substr(0, end);
}

std::string_view LocalOf(std::string_view name) {
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The value of the attribute r in a tag text.
std::string_view RefAttribute(std::string_view tag) {
    for (size_t i = 1; i + 2 < tag.size(); ++i) {
        if (tag[i] != 'r' || !std::strchr(" \t\r\n", tag[i - 1])) continue;
        size_t j = i + 1;
        while (j < tag.size() && std::strchr(" \t\r\n", tag[j]))
            ++j;
        if (j >= tag.size() || tag[j] != '=') continue;
        ++j;
        while (j < tag.size() && std::strchr(" \t\r\n", tag[j]))
            ++j;
        if (j >= tag.size() || (tag[j] != '"' && tag[j] != '\'')) continue;
        const char q = tag[j];
        const size_t end = tag.find(q, j + 1);
        if (end == std::string_view::npos) return {};
        return tag.substr(j + 1, end - j - 1);
    }
    return {};
}

// "AB12" → column 28 (from 1); 0 when the text has no letters.
int ColumnOf(std::string_view ref) {
    int col = 0;
    for (char c : ref) {
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        if (c < 'A' || c > 'Z') break;
        col = col * 26 + (c - 'A' + 1);
        if (col > SheetWriter::kMaxCols) return 0;
    }
    return col;
}

int RowOf(std::string_view ref) {
    int row = 0;
    for (char c : ref) {
        if (c >= '0' && c <= '9') {
            row = row * 10 + (c - '0');
            if (row > SheetWriter::kMaxRows) return SheetWriter::kMaxRows;
        }
    }
    return row;
}

// Reads a worksheet part: head, tail, and with rows the used area and the end of the rows to keep.
// headOnly stops after the head (the rest is not read).
SheetScan ScanSheet(TZipArchive::Stream& stream, bool rows, bool headOnly, const QString& part,
                    const QString& file) {
    auto damaged = [&](const char* what) {
        return WorkbookError(QStringLiteral("The workbook \"%1\" is damaged: part %2: %3.")
                                 .arg(file, part, QLatin1String(what)));
    };
    PartReader r(stream);
    SheetScan s;
    // The start tag of the cell table.
    qsizetype lt = 0, gt = 0;
    for (qsizetype from = 0;;) {
        lt = r.find("sheetData", from);
        if (lt < 0) throw damaged("it has no cell table (sheetData)");
        qsizetype open = lt - 1;
        while (open >= 0 && r.buf[open] != '<' && r.buf[open] != '/' &&
               !std::strchr(" \t\r\n>\"'", r.buf[open]))
            --open;
        if (open >= 0 && r.buf[open] == '<' && r.have(lt + 10) && std::strchr(" \t\r\n/>", r.buf[lt + 9])) {
            s.prefix = r.buf.mid(open + 1, lt - open - 1);
            lt = open;
            break;
        }
        from = lt + 9;
    }
    gt = r.tagEnd(lt);
    if (gt < 0) throw damaged("the cell table is not closed");
    s.head = r.buf.left(gt + 1);
    s.bodyBegin = s.keepEnd = gt + 1;
    if (r.buf[gt - 1] == '/') { // an empty table
        if (headOnly) return s;
        r.readAll();
        s.tail = r.buf.mid(gt + 1);
        return s;
    }
    if (headOnly) return s;
    int row = 0, col = 0;
    bool rowHasCells = false;
    qsizetype pos = gt + 1;
    for (;;) {
        if (pos > (1 << 20)) {
            r.drop(pos);
            pos = 0;
        }
        lt = r.find("<", pos);
        if (lt < 0) throw damaged("the cell table is not closed");
        r.have(lt + 9);
        const QByteArrayView at(r.buf.constData() + lt, r.buf.size() - lt);
        if (at.startsWith("<!--") || at.startsWith("<![CDATA[") || at.startsWith("<?")) {
            const char* close = at.startsWith("<!--") ? "-->" : at.startsWith("<?") ? "?>" : "]]>";
            const qsizetype e = r.find(close, lt + 2);
            if (e < 0) throw damaged("the cell table is not closed");
            pos = e + qsizetype(std::strlen(close));
            continue;
        }
        gt = r.tagEnd(lt);
        if (gt < 0) throw damaged("the cell table is not closed");
        const std::string_view tag(r.buf.constData() + lt + 1, size_t(gt - lt - 1));
        pos = gt + 1;
        if (tag.empty()) continue;
        if (tag.front() == '/') {
            const std::string_view local = LocalOf(TagName(tag.substr(1)));
            if (local == "sheetData") {
                r.readAll();
                s.tail = r.buf.mid(lt);
                return s;
            }
            if (local == "row" && rowHasCells) s.keepEnd = r.offset + gt + 1;
            continue;
        }
        if (!rows) continue;
        const std::string_view local = LocalOf(TagName(tag));
        if (local == "row") {
            const std::string_view ref = RefAttribute(tag);
            row = ref.empty() ? row + 1 : RowOf(ref);
            col = 0;
            rowHasCells = false;
        } else if (local == "c") {
            const std::string_view ref = RefAttribute(tag);
            const int c = ref.empty() ? col + 1 : ColumnOf(ref);
            col = c > 0 ? c : col + 1;
            rowHasCells = true;
            s.lastRow = std::max(s.lastRow, row);
            if (s.firstCol == 0 || col < s.firstCol) s.firstCol = col;
            s.lastCol = std::max(s.lastCol, col);
        }
    }
}

// A sheet name quoted for a reference ('It''s'!$A$1).
QString Quoted(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + n + QLatin1Char('\'');
}

QString Cell(int row, int col) {
    return QString::fromStdString(SheetWriter::ColumnName(col)) + QString::number(row + 1);
}

QString AbsoluteRange(int r1, int c1, int r2, int c2) {
    auto cell = [](int r, int c) {
        return QStringLiteral("$%1$%2").arg(QString::fromStdString(SheetWriter::ColumnName(c))).arg(r + 1);
    };
    return cell(r1, c1) + QLatin1Char(':') + cell(r2, c2);
}

// The prefix a part's root gives the relationships namespace ("r"); declared as "r" when it has none.
QByteArray RelsPrefix(pugi::xml_node root) {
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute())
        if (std::string_view(a.name()).starts_with("xmlns:") && std::string_view(a.value()) == kRelsNamespace)
            return QByteArray(a.name() + 6);
    Set(root, "xmlns:r", QString::fromLatin1(kRelsNamespace));
    return "r";
}

// A part name not in the package: folder + stem + number + extension, numbers from 1.
QString FreePartName(const TZipArchive& zip, const QString& folder, const char* stem, const char* ext) {
    QString name;
    for (int n = 1;; ++n)
        if (!zip.contains(name =
                              folder + QString::fromLatin1(stem) + QString::number(n) + QLatin1String(ext)))
            return name;
}

// A width in characters as a sheet part stores it: with the cell's padding, in whole pixels of the
// default font's 7 pixel digits (as new workbooks have it).
double FileColumnWidth(double chars) {
    if (chars <= 0) return 0;
    const int pixels = chars < 1 ? int(chars * 12 + 0.5) : int(chars * 7 + 0.5) + 5;
    return std::floor(pixels / 7.0 * 256) / 256;
}

struct SheetEntry {
    QString name;
    QString relId;
    QString part; // empty when the relationship is not a worksheet
    pugi::xml_node node;
};

// One sheet of an existing workbook package being written.
class PackageSheet final : public SheetWriter {
public:
    PackageSheet(SafeFile& out, const QString& path, const QString& sheetName, SheetTarget target);
    int usedRows() const { return scan_.lastRow; }

    int addFormat(const CellFormat& format) override {
        xfs_.push_back(styles_->add(format));
        return int(xfs_.size() - 1);
    }
    void number(int row, int col, double value, int format) override {
        rows_.number(row, col, value, xfs_[size_t(format)]);
    }
    void text(int row, int col, std::string_view utf8, int format) override;
    void boolean(int row, int col, bool value, int format) override {
        rows_.boolean(row, col, value, xfs_[size_t(format)]);
    }
    void formula(int row, int col, const std::string& formula, double value, int format) override {
        rows_.formula(row, col, std::string_view(formula).substr(formula.starts_with('=') ? 1 : 0), value,
                      xfs_[size_t(format)]);
    }
    void blank(int row, int col, int format) override { rows_.blank(row, col, xfs_[size_t(format)]); }
    void rowHeight(int row, double points) override { rows_.height(row, points); }
    void picture(int row, int col, const QByteArray& png, int width, int height, int offset) override {
        pictures_.push_back({{row, col, offset, width, height}, png});
    }
    void columnWidth(int col, double width) override { widths_[col] = FileColumnWidth(width); }
    void freezePanes(int row, int col) override { freeze_ = {row, col}; }
    void autoFilter(int firstRow, int firstCol, int lastRow, int lastCol) override {
        filter_ = {firstRow, firstCol, lastRow, lastCol};
    }
    void pageSetup(bool landscape, int scale, int fitWide, int fitTall) override {
        page_ = {landscape, scale, fitWide, fitTall};
    }
    void repeatRows(int firstRow, int lastRow) override { titles_ = {firstRow, lastRow}; }
    void zoom(int percent) override { zoom_ = percent; }
    void conditionalFormat(const ConditionalFormat& format) override { formats_.push_back(format); }
    void save() override;

private:
    struct Filter {
        int r1, c1, r2, c2;
    };
    struct Page {
        bool landscape;
        int scale, wide, tall;
    };
    WorkbookError fail(const Exception& e) const {
        QString m = e.Message;
        m.replace(work_, file_);
        return WorkbookError(QStringLiteral("Cannot change the workbook \"%1\": %2").arg(file_, m));
    }
    pugi::xml_document& part(const QString& name, pugi::xml_document& doc, const char* missing = nullptr);
    void load(const QString& sheetName, SheetTarget target);
    void addSheet(const QString& wanted);
    QString newRelationship(pugi::xml_document& rels, const char* type, const QString& target);
    void override(const QString& part, const char* contentType);
    void removePart(const QString& part);
    void clearSheet();
    void setDefinedName(const char* name, const QString& value);
    void removeDefinedName(const char* name);
    void finishSheet();
    void addPictures();
    void addConditionalFormats();
    pugi::xml_node barExtensions();
    void setColumnWidth(pugi::xml_node cols, int col, double width);
    void unselectOtherSheets();
    void streamSheet(const QString& name, const QByteArray& head, qint64 from, qint64 to, bool rows,
                     const QByteArray& tail);

    QString file_, work_;
    TZipArchive zip_;      // the copy being changed
    TZipArchive original_; // the file itself, read while the copy is written
    pugi::xml_document types_, workbook_, workbookRels_, stylesDoc_, sheet_, sheetRels_;
    QString workbookPart_, stylesPart_;
    bool sheetRelsChanged_ = false;
    std::vector<SheetEntry> sheets_;
    int index_ = -1; // of the sheet in the workbook's list
    bool newSheet_ = false;
    SheetScan scan_;
    std::optional<WorkbookStyles> styles_;
    std::vector<int> xfs_{0};
    SheetRows rows_;
    std::map<int, double> widths_;
    std::optional<std::pair<int, int>> freeze_, titles_;
    std::optional<Filter> filter_;
    std::optional<Page> page_;
    int zoom_ = 0;
    QStringList removed_;
    std::vector<std::pair<SheetPicture, QByteArray>> pictures_; // PNG bytes
    std::vector<ConditionalFormat> formats_;
};

pugi::xml_document& PackageSheet::part(const QString& name, pugi::xml_document& doc, const char* missing) {
    if (!zip_.contains(name)) {
        if (!missing)
            throw WorkbookError(
                QStringLiteral("The file \"%1\" is not a workbook: it has no part %2.").arg(file_, name));
        doc.load_string(missing);
        return doc;
    }
    Parse(doc, zip_.read(name), name, file_);
    return doc;
}

PackageSheet::PackageSheet(SafeFile& out, const QString& path, const QString& sheetName, SheetTarget target)
    : file_(path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw WorkbookError(
            QStringLiteral("Cannot open the workbook \"%1\": %2").arg(path, in.errorString()));
    const QByteArray magic = in.peek(8);
    if (magic.startsWith("\xD0\xCF\x11\xE0"))
        throw WorkbookError(QStringLiteral("The workbook \"%1\" is password-protected or in the old binary "
                                           "format (.xls): only xlsx and xlsm workbooks can be changed.")
                                .arg(path));
    if (!magic.startsWith("PK\x03\x04"))
        throw WorkbookError(
            QStringLiteral("The file \"%1\" is not an xlsx or xlsm workbook (it is not a zip package).")
                .arg(path));
    // The package is changed in a copy that replaces the file when complete.
    for (QByteArray chunk; !(chunk = in.read(1 << 20)).isEmpty();)
        out.write(chunk);
    if (in.error() != QFileDevice::NoError)
        throw WorkbookError(
            QStringLiteral("Cannot read the workbook \"%1\": %2").arg(path, in.errorString()));
    work_ = out.workFile();
    try {
        zip_.open(work_);
        original_.open(path);
        load(sheetName, target);
    } catch (const WorkbookError&) {
        throw;
    } catch (const Exception& e) {
        throw fail(e);
    }
}

void PackageSheet::load(const QString& sheetName, SheetTarget target) {
    part(QStringLiteral("[Content_Types].xml"), types_);
    pugi::xml_document rootRels;
    part(QStringLiteral("_rels/.rels"), rootRels);
    for (pugi::xml_node r : rootRels.document_element().children())
        if (Text(Attribute(r, "Type")).endsWith(QLatin1String("/officeDocument")))
            workbookPart_ = Resolve(QString(), Text(Attribute(r, "Target")));
    if (workbookPart_.isEmpty())
        throw WorkbookError(
            QStringLiteral("The file \"%1\" is not a workbook: it names no main part.").arg(file_));
    part(workbookPart_, workbook_);
    part(RelsOf(workbookPart_), workbookRels_,
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>");
    const QString folder = Folder(workbookPart_);
    std::map<QString, std::pair<QString, QString>> rels; // id: type, part
    for (pugi::xml_node r : workbookRels_.document_element().children()) {
        const QString type = Text(Attribute(r, "Type"));
        const QString target = Resolve(folder, Text(Attribute(r, "Target")));
        rels[Text(Attribute(r, "Id"))] = {type, target};
        if (type.endsWith(QLatin1String("/styles"))) stylesPart_ = target;
    }
    for (pugi::xml_node s : Child(workbook_.document_element(), "sheets").children()) {
        if (s.type() != pugi::node_element) continue;
        SheetEntry e{Text(Attribute(s, "name")), Text(Attribute(s, "id")), QString(), s};
        auto it = rels.find(e.relId);
        if (it != rels.end() && it->second.first.endsWith(QLatin1String("/worksheet")))
            e.part = it->second.second;
        sheets_.push_back(e);
    }
    if (stylesPart_.isEmpty()) {
        stylesPart_ = folder + QStringLiteral("styles.xml");
        stylesDoc_.load_string(WorkbookStyles::DefaultPart());
        newRelationship(workbookRels_, kStylesType, QStringLiteral("styles.xml"));
        override(stylesPart_, kStylesContent);
    } else {
        part(stylesPart_, stylesDoc_);
    }
    styles_.emplace(stylesDoc_.document_element());

    const QString wanted = sheetName.isEmpty() ? QString() : ValidSheetName(sheetName);
    if (target == SheetTarget::NewSheet) {
        addSheet(wanted);
    } else {
        if (!wanted.isEmpty()) {
            for (size_t i = 0; i < sheets_.size(); ++i)
                if (sheets_[i].name.compare(wanted, Qt::CaseInsensitive) == 0) index_ = int(i);
            if (index_ < 0) addSheet(wanted);
        } else {
            pugi::xml_node view = Child(Child(workbook_.document_element(), "bookViews"), "workbookView");
            index_ = std::clamp(Attribute(view, "activeTab").as_int(0), 0, int(sheets_.size()) - 1);
            if (sheets_.empty()) addSheet(QString());
        }
    }
    SheetEntry& sheet = sheets_[size_t(index_)];
    if (sheet.part.isEmpty())
        throw WorkbookError(
            QStringLiteral("The sheet \"%1\" of \"%2\" is not a worksheet (a chart or dialog sheet).")
                .arg(sheet.name, file_));
    if (newSheet_) {
        scan_.head = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                     "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                     "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
                     "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData>";
        scan_.tail = "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
                     "header=\"0.3\" footer=\"0.3\"/></worksheet>";
    } else {
        auto stream = zip_.stream(sheet.part);
        scan_ = ScanSheet(*stream, target == SheetTarget::Append, false, sheet.part, file_);
        if (target != SheetTarget::Append) scan_.keepEnd = scan_.bodyBegin;
    }
    // The part without its rows, for the changes around them.
    QByteArray rest = scan_.head;
    const qsizetype tagAt = rest.lastIndexOf("<" + scan_.prefix + "sheetData");
    rest.truncate(tagAt);
    rest += "<" + scan_.prefix + "sheetData/>";
    const qsizetype close = scan_.tail.indexOf('>');
    if (scan_.tail.startsWith("</"))
        rest += scan_.tail.mid(close + 1);
    else
        rest += scan_.tail;
    Parse(sheet_, rest, sheet.part, file_);
    if (newSheet_)
        sheetRels_.load_string(kEmptyRels);
    else
        part(RelsOf(sheet.part), sheetRels_, kEmptyRels);
    if (target == SheetTarget::Replace && !newSheet_) clearSheet();
}

void PackageSheet::addSheet(const QString& wanted) {
    auto taken = [&](const QString& name) {
        for (const SheetEntry& e : sheets_)
            if (e.name.compare(name, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    QString name = wanted;
    if (name.isEmpty()) {
        for (int n = int(sheets_.size()) + 1;; ++n)
            if (!taken(name = QStringLiteral("Sheet%1").arg(n))) break;
    } else {
        for (int n = 2; taken(name); ++n) {
            const QString suffix = QStringLiteral(" (%1)").arg(n);
            name = wanted.left(31 - suffix.size()) + suffix;
        }
    }
    // The part beside the other sheets.
    QString folder = Folder(workbookPart_) + QStringLiteral("worksheets/");
    for (const SheetEntry& e : sheets_)
        if (!e.part.isEmpty()) {
            folder = Folder(e.part);
            break;
        }
    QString partName;
    for (int n = int(sheets_.size()) + 1;; ++n)
        if (!zip_.contains(partName = folder + QStringLiteral("sheet%1.xml").arg(n))) break;
    QString target = partName;
    if (target.startsWith(Folder(workbookPart_)))
        target = target.mid(Folder(workbookPart_).size());
    else
        target.prepend(QLatin1Char('/'));
    const QString id = newRelationship(workbookRels_, kWorksheetType, target);
    override(partName, kWorksheetContent);

    pugi::xml_node root = workbook_.document_element();
    pugi::xml_node list = Ensure(root, "sheets", kWorkbookOrder);
    long long sheetId = 0;
    for (const SheetEntry& e : sheets_)
        sheetId = std::max(sheetId, Attribute(e.node, "sheetId").as_llong());
    const QByteArray rel = RelsPrefix(root);
    pugi::xml_node s = Insert(list, "sheet", {});
    Set(s, "name", name);
    Set(s, "sheetId", sheetId + 1);
    Set(s, (rel + ":id").constData(), id);
    sheets_.push_back({name, id, partName, s});
    index_ = int(sheets_.size() - 1);
    newSheet_ = true;
}

QString PackageSheet::newRelationship(pugi::xml_document& rels, const char* type, const QString& target) {
    QSet<QString> ids;
    pugi::xml_node root = rels.document_element();
    for (pugi::xml_node r : root.children())
        ids.insert(Text(Attribute(r, "Id")));
    QString id;
    for (int n = int(ids.size()) + 1;; ++n)
        if (!ids.contains(id = QStringLiteral("rId%1").arg(n))) break;
    pugi::xml_node r = root.append_child("Relationship");
    Set(r, "Id", id);
    Set(r, "Type", QString::fromLatin1(type));
    Set(r, "Target", target);
    return id;
}

void PackageSheet::override(const QString& partName, const char* contentType) {
    pugi::xml_node root = types_.document_element();
    pugi::xml_node o = root.append_child("Override");
    Set(o, "PartName", QLatin1Char('/') + partName);
    Set(o, "ContentType", QString::fromLatin1(contentType));
}

void PackageSheet::removePart(const QString& partName) {
    removed_ << partName;
    pugi::xml_node root = types_.document_element();
    for (pugi::xml_node o = root.first_child(); o;) {
        pugi::xml_node next = o.next_sibling();
        if (Text(Attribute(o, "PartName")).compare(QLatin1Char('/') + partName, Qt::CaseInsensitive) == 0)
            root.remove_child(o);
        o = next;
    }
}

// What a cleared sheet no longer has: cells, merged ranges, conditional formats, validations, links,
// its filter and its tables (a table over cleared cells would not match its header cells).
void PackageSheet::clearSheet() {
    pugi::xml_node root = sheet_.document_element();
    for (const char* e : {"mergeCells", "conditionalFormatting", "dataValidations", "hyperlinks",
                          "autoFilter", "sortState", "ignoredErrors", "tableParts"})
        RemoveAll(root, e);
    // Formats described in the extension list (bars with borders and the like) go with them.
    if (pugi::xml_node list = Child(root, "extLst")) {
        for (pugi::xml_node ext = list.first_child(); ext;) {
            pugi::xml_node next = ext.next_sibling();
            if (Text(Attribute(ext, "uri"))
                    .compare(QLatin1String(kFormatsExtensionUri), Qt::CaseInsensitive) == 0)
                list.remove_child(ext);
            ext = next;
        }
        if (!Child(list, "ext")) root.remove_child(list);
    }
    removeDefinedName("_xlnm._FilterDatabase");
    if (pugi::xml_node pr = Child(root, "sheetPr")) pr.remove_attribute("filterMode");
    pugi::xml_node rels = sheetRels_.document_element();
    const QString folder = Folder(sheets_[size_t(index_)].part);
    for (pugi::xml_node r = rels.first_child(); r;) {
        pugi::xml_node next = r.next_sibling();
        if (Text(Attribute(r, "Type")).endsWith(QLatin1String("/table"))) {
            removePart(Resolve(folder, Text(Attribute(r, "Target"))));
            rels.remove_child(r);
            sheetRelsChanged_ = true;
        }
        r = next;
    }
}

void PackageSheet::setDefinedName(const char* name, const QString& value) {
    pugi::xml_node list = Ensure(workbook_.document_element(), "definedNames", kWorkbookOrder);
    pugi::xml_node n;
    for (pugi::xml_node d : list.children())
        if (std::string_view(Attribute(d, "name").value()) == name &&
            Attribute(d, "localSheetId").as_int(-1) == index_)
            n = d;
    if (!n) {
        n = Insert(list, "definedName", {});
        Set(n, "name", QString::fromLatin1(name));
        Set(n, "localSheetId", index_);
        if (std::string_view(name) == "_xlnm._FilterDatabase") Set(n, "hidden", 1);
    }
    n.text().set(value.toUtf8().constData());
}

void PackageSheet::removeDefinedName(const char* name) {
    pugi::xml_node list = Child(workbook_.document_element(), "definedNames");
    for (pugi::xml_node d = list.first_child(); d;) {
        pugi::xml_node next = d.next_sibling();
        if (std::string_view(Attribute(d, "name").value()) == name &&
            Attribute(d, "localSheetId").as_int(-1) == index_)
            list.remove_child(d);
        d = next;
    }
    if (list && !list.first_child()) workbook_.document_element().remove_child(list);
}

void PackageSheet::text(int row, int col, std::string_view utf8, int format) {
    rows_.text(row, col, utf8, xfs_[size_t(format)]);
}

// Sets one column's width, splitting a range of columns that shares one entry.
void PackageSheet::setColumnWidth(pugi::xml_node cols, int col, double width) {
    const long long c = col + 1;
    for (pugi::xml_node e = cols.first_child(); e; e = e.next_sibling()) {
        const long long min = Attribute(e, "min").as_llong(), max = Attribute(e, "max").as_llong();
        if (c < min) {
            pugi::xml_node n = cols.insert_child_before(e.name(), e);
            Set(n, "min", c);
            Set(n, "max", c);
            Set(n, "width", QString::number(width));
            Set(n, "customWidth", 1);
            return;
        }
        if (c > max) continue;
        if (scan_.lastRow > 0 && Attribute(e, "width").as_double() >= width) return; // keeps wider columns
        if (min < c) {
            pugi::xml_node before = cols.insert_copy_before(e, e);
            Set(before, "max", c - 1);
            Set(e, "min", c);
        }
        if (max > c) {
            pugi::xml_node after = cols.insert_copy_after(e, e);
            Set(after, "min", c + 1);
            Set(e, "max", c);
        }
        Set(e, "width", QString::number(width));
        Set(e, "customWidth", 1);
        return;
    }
    pugi::xml_node n = Insert(cols, "col", {});
    Set(n, "min", c);
    Set(n, "max", c);
    Set(n, "width", QString::number(width));
    Set(n, "customWidth", 1);
}

// The sheet's settings after its rows: used area, views, widths, filter, page set-up.
void PackageSheet::finishSheet() {
    pugi::xml_node root = sheet_.document_element();
    const QString name = sheets_[size_t(index_)].name;
    int r1 = scan_.lastRow > 0 ? 0 : -1, r2 = scan_.lastRow - 1;
    int c1 = scan_.firstCol - 1, c2 = scan_.lastCol - 1;
    if (rows_.firstRow >= 0) {
        r1 = r1 < 0 ? rows_.firstRow : std::min(r1, rows_.firstRow);
        r2 = std::max(r2, rows_.lastRow);
        c1 = c1 < 0 ? rows_.firstCol : std::min(c1, rows_.firstCol);
        c2 = std::max(c2, rows_.lastCol);
    }
    Set(Ensure(root, "dimension", kWorksheetOrder), "ref",
        r1 < 0 ? QStringLiteral("A1") : Cell(r1, c1) + QLatin1Char(':') + Cell(r2, c2));

    pugi::xml_node views = Ensure(root, "sheetViews", kWorksheetOrder);
    pugi::xml_node view = Child(views, "sheetView");
    if (!view) Set(view = Insert(views, "sheetView", {}), "workbookViewId", 0);
    if (newSheet_) Set(view, "tabSelected", 1);
    if (zoom_ >= 10 && zoom_ <= 400) Set(view, "zoomScale", zoom_);
    if (freeze_) {
        RemoveAll(view, "pane");
        RemoveAll(view, "selection");
        const auto [row, col] = *freeze_;
        const char* pane = row > 0 && col > 0 ? "bottomRight" : row > 0 ? "bottomLeft" : "topRight";
        pugi::xml_node p = Insert(view, "pane", kSheetViewOrder);
        if (col > 0) Set(p, "xSplit", col);
        if (row > 0) Set(p, "ySplit", row);
        Set(p, "topLeftCell", Cell(row, col));
        Set(p, "activePane", QString::fromLatin1(pane));
        Set(p, "state", QStringLiteral("frozen"));
        Set(Insert(view, "selection", kSheetViewOrder), "pane", QString::fromLatin1(pane));
    }
    if (!widths_.empty()) {
        pugi::xml_node cols = Ensure(root, "cols", kWorksheetOrder);
        for (const auto& [col, width] : widths_)
            setColumnWidth(cols, col, width);
    }
    if (filter_) {
        const Filter& f = *filter_;
        RemoveAll(root, "autoFilter");
        RemoveAll(root, "sortState");
        Set(Insert(root, "autoFilter", kWorksheetOrder), "ref",
            Cell(f.r1, f.c1) + QLatin1Char(':') + Cell(f.r2, f.c2));
        setDefinedName("_xlnm._FilterDatabase",
                       Quoted(name) + QLatin1Char('!') + AbsoluteRange(f.r1, f.c1, f.r2, f.c2));
    }
    if (page_) {
        pugi::xml_node setup = Ensure(root, "pageSetup", kWorksheetOrder);
        Set(setup, "orientation",
            page_->landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"));
        if (page_->scale >= 10 && page_->scale <= 400) Set(setup, "scale", page_->scale);
        if (page_->wide > 0 || page_->tall > 0) {
            Set(setup, "fitToWidth", page_->wide);
            Set(setup, "fitToHeight", page_->tall);
            Set(Ensure(Ensure(root, "sheetPr", kWorksheetOrder), "pageSetUpPr", kSheetPrOrder), "fitToPage",
                1);
        }
    }
    if (titles_)
        setDefinedName(
            "_xlnm.Print_Titles",
            QStringLiteral("%1!$%2:$%3").arg(Quoted(name)).arg(titles_->first + 1).arg(titles_->second + 1));
}

// The export's pictures go into the sheet's drawing (a new one when it has none), their images into
// the package's media folder.
void PackageSheet::addPictures() {
    if (pictures_.empty()) return;
    const QString sheetPart = sheets_[size_t(index_)].part;
    pugi::xml_node root = sheet_.document_element();
    QString drawingPart;
    if (pugi::xml_node d = Child(root, "drawing")) {
        const QString id = Text(Attribute(d, "id"));
        for (pugi::xml_node r : sheetRels_.document_element().children())
            if (Text(Attribute(r, "Id")) == id)
                drawingPart = Resolve(Folder(sheetPart), Text(Attribute(r, "Target")));
    }
    pugi::xml_document drawing, drawingRels;
    if (!drawingPart.isEmpty() && zip_.contains(drawingPart)) {
        part(drawingPart, drawing);
        part(RelsOf(drawingPart), drawingRels, kEmptyRels);
    } else {
        drawingPart =
            FreePartName(zip_, Folder(workbookPart_) + QStringLiteral("drawings/"), "drawing", ".xml");
        drawing.load_string(EmptyDrawingPart());
        drawingRels.load_string(kEmptyRels);
        const QString id = newRelationship(sheetRels_, kDrawingType, QLatin1Char('/') + drawingPart);
        sheetRelsChanged_ = true;
        override(drawingPart, kDrawingContent);
        RemoveAll(root, "drawing"); // one whose part is missing
        Set(Insert(root, "drawing", kWorksheetOrder), (RelsPrefix(root) + ":id").constData(), id);
    }
    pugi::xml_node types = types_.document_element();
    bool png = false;
    for (pugi::xml_node d : types.children())
        png = png || Text(Attribute(d, "Extension")).compare(QLatin1String("png"), Qt::CaseInsensitive) == 0;
    if (!png) {
        pugi::xml_node d = types.prepend_child("Default");
        Set(d, "Extension", QStringLiteral("png"));
        Set(d, "ContentType", QStringLiteral("image/png"));
    }
    // Shape ids are unique in the drawing.
    int id = 1;
    for (pugi::xpath_node n : drawing.select_nodes("//*[local-name()='cNvPr']"))
        id = std::max(id, n.node().attribute("id").as_int());
    const QString media = Folder(workbookPart_) + QStringLiteral("media/");
    for (const auto& [p, bytes] : pictures_) {
        const QString image = FreePartName(zip_, media, "image", ".png");
        zip_.write(image, bytes);
        const QString rel = newRelationship(drawingRels, kImageType, QLatin1Char('/') + image);
        AppendPictureAnchor(drawing.document_element(), p, ++id, rel.toUtf8().constData());
    }
    zip_.write(drawingPart, Save(drawing));
    zip_.write(RelsOf(drawingPart), Save(drawingRels));
}

// The conditionalFormattings element of the sheet's extension list, made when missing.
pugi::xml_node PackageSheet::barExtensions() {
    pugi::xml_node list = Ensure(sheet_.document_element(), "extLst", kWorksheetOrder);
    for (pugi::xml_node ext : list.children())
        if (Text(Attribute(ext, "uri")).compare(QLatin1String(kFormatsExtensionUri), Qt::CaseInsensitive) ==
            0)
            if (pugi::xml_node formattings = Child(ext, "conditionalFormattings")) return formattings;
    pugi::xml_node ext = Insert(list, "ext", {});
    ext.append_attribute("xmlns:x14").set_value(kX14Namespace);
    ext.append_attribute("uri").set_value(kFormatsExtensionUri);
    return ext.append_child("x14:conditionalFormattings");
}

// The export's data bars, colour scales and icon sets, after the sheet's own formats in priority.
void PackageSheet::addConditionalFormats() {
    if (formats_.empty()) return;
    int priority = 0;
    for (pugi::xpath_node n : sheet_.select_nodes("//*[local-name()='cfRule']"))
        priority = std::max(priority, n.node().attribute("priority").as_int());
    pugi::xml_node formattings;
    for (const ConditionalFormat& f : formats_) {
        std::string guid;
        if (f.kind == ConditionalFormat::DataBar && f.borderColor != CellFormat::kNoColor) {
            guid = QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
            if (!formattings) formattings = barExtensions();
            AppendBarExtension(formattings, f, guid);
        }
        FillConditionalFormat(Insert(sheet_.document_element(), "conditionalFormatting", kWorksheetOrder), f,
                              ++priority, guid);
    }
}

// The part: head, kept rows of the original part [from, to), the new rows, tail; read when the
// package is written.
void PackageSheet::streamSheet(const QString& name, const QByteArray& head, qint64 from, qint64 to, bool rows,
                               const QByteArray& tail) {
    struct State {
        QByteArray head, tail;
        std::unique_ptr<TZipArchive::Stream> original;
        int piece = 0;
        qint64 done = 0; // of the current piece
    };
    auto st = std::make_shared<State>();
    st->head = head;
    st->tail = tail;
    const qint64 size = head.size() + (to - from) + (rows ? rows_.size() : 0) + tail.size();
    TZipArchive* original = &original_;
    SheetRows* newRows = rows ? &rows_ : nullptr;
    auto rewind = [=]() {
        st->piece = 0;
        st->done = 0;
        st->original.reset();
        try {
            if (to > from) {
                st->original = original->stream(name);
                char skip[1 << 16];
                for (qint64 left = from; left > 0;) {
                    const qint64 n = st->original->read(skip, std::min<qint64>(left, sizeof skip));
                    if (n <= 0) return false;
                    left -= n;
                }
            }
        } catch (const Exception&) {
            return false;
        }
        return !newRows || newRows->rewind();
    };
    auto read = [=](char* data, qint64 n) -> qint64 {
        try {
            for (;;) {
                switch (st->piece) {
                case 0:
                case 3: {
                    const QByteArray& b = st->piece == 0 ? st->head : st->tail;
                    const qint64 k = std::min<qint64>(n, b.size() - st->done);
                    if (k > 0) {
                        std::memcpy(data, b.constData() + st->done, size_t(k));
                        st->done += k;
                        return k;
                    }
                    break;
                }
                case 1: {
                    const qint64 left = (to - from) - st->done;
                    if (left > 0) {
                        const qint64 k = st->original->read(data, std::min(n, left));
                        if (k <= 0) return -1; // the part ended early
                        st->done += k;
                        return k;
                    }
                    break;
                }
                case 2:
                    if (newRows) {
                        const qint64 k = newRows->read(data, n);
                        if (k != 0) return k;
                    }
                    break;
                default:
                    return 0;
                }
                ++st->piece;
                st->done = 0;
            }
        } catch (const Exception&) {
            return -1;
        }
    };
    zip_.write(name, size, rewind, read);
}

// The sheets shown as selected before the new one is made active are not selected any more (two
// selected sheets would be grouped, and an edit would change both). Only their view settings change.
void PackageSheet::unselectOtherSheets() {
    for (size_t i = 0; i < sheets_.size(); ++i) {
        if (int(i) == index_ || sheets_[i].part.isEmpty()) continue;
        auto stream = original_.stream(sheets_[i].part);
        const qint64 total = stream->size();
        SheetScan s = ScanSheet(*stream, false, true, sheets_[i].part, file_);
        static const QRegularExpression kSelected(
            QStringLiteral("\\s+tabSelected\\s*=\\s*([\"'])(1|true)\\1"));
        QString head = QString::fromUtf8(s.head);
        if (!head.contains(kSelected)) continue;
        head.remove(kSelected);
        streamSheet(sheets_[i].part, head.toUtf8(), s.head.size(), total, false, QByteArray());
    }
}

void PackageSheet::save() {
    try {
        rows_.finish();
        finishSheet();
        addConditionalFormats();
        addPictures();
        pugi::xml_node wb = workbook_.document_element();
        if (newSheet_) {
            pugi::xml_node view = Child(Ensure(wb, "bookViews", kWorkbookOrder), "workbookView");
            if (!view) view = Insert(Child(wb, "bookViews"), "workbookView", {});
            Set(view, "activeTab", index_);
            unselectOtherSheets();
        }
        // Formulas elsewhere may refer to the changed cells: the spreadsheet recalculates on opening, and
        // builds its own calculation chain again.
        Set(Ensure(wb, "calcPr", kWorkbookOrder), "fullCalcOnLoad", 1);
        pugi::xml_node rels = workbookRels_.document_element();
        for (pugi::xml_node r = rels.first_child(); r;) {
            pugi::xml_node next = r.next_sibling();
            if (Text(Attribute(r, "Type")).endsWith(QLatin1String("/calcChain"))) {
                removePart(Resolve(Folder(workbookPart_), Text(Attribute(r, "Target"))));
                rels.remove_child(r);
            }
            r = next;
        }
        for (const QString& p : removed_)
            zip_.remove(p);
        const SheetEntry& sheet = sheets_[size_t(index_)];
        // The part around the rows, cut where its empty cell table is.
        QByteArray xml = Save(sheet_);
        const QByteArray tag = "<" + scan_.prefix + "sheetData";
        const qsizetype at = xml.indexOf(tag);
        const qsizetype end = xml.indexOf('>', at);
        QByteArray open = tag;
        if (!scan_.prefix.isEmpty()) {
            // The new rows are written without a prefix: their namespace is made the default one here.
            const QByteArray p = scan_.prefix.left(scan_.prefix.size() - 1);
            const pugi::xml_attribute ns = sheet_.document_element().attribute(("xmlns:" + p).constData());
            open += " xmlns=\"" + QByteArray(ns.value()) + "\"";
        }
        open += ">";
        const QByteArray head = xml.left(at) + open;
        const QByteArray tail = "</" + scan_.prefix + "sheetData>" + xml.mid(end + 1);
        streamSheet(sheet.part, head, scan_.bodyBegin, scan_.keepEnd, true, tail);
        if (sheetRelsChanged_) zip_.write(RelsOf(sheet.part), Save(sheetRels_));
        zip_.write(stylesPart_, Save(stylesDoc_));
        zip_.write(workbookPart_, Save(workbook_));
        zip_.write(RelsOf(workbookPart_), Save(workbookRels_));
        zip_.write(QStringLiteral("[Content_Types].xml"), Save(types_));
        zip_.close(true);
    } catch (const WorkbookError&) {
        throw;
    } catch (const Exception& e) {
        throw fail(e);
    }
}
} // namespace

WorkbookSheet OpenWorkbookSheet(SafeFile& out, const QString& path, const QString& sheetName,
                                SheetTarget target) {
    WorkbookSheet s;
    if (!out.replacesFile() || QFileInfo(path).size() == 0) {
        const bool macros = QFileInfo(path).suffix().compare(QLatin1String("xlsm"), Qt::CaseInsensitive) == 0;
        s.writer = std::make_unique<WorkbookWriter>(out.workFile(), sheetName, macros);
        return s;
    }
    auto sheet = std::make_unique<PackageSheet>(out, path, sheetName, target);
    s.usedRows = target == SheetTarget::Append ? sheet->usedRows() : 0;
    s.existing = true;
    s.writer = std::move(sheet);
    return s;
}
