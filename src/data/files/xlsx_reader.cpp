// xlsx (and xlsm) workbooks: the workbook's sheet list, shared strings, the number formats that mark
// dates and times, and the sheets' cells.
#include "column_store.h"
#include "exceptions.h"
#include "sheet_readers.h"
#include "sheet_xml_scanner.h"
#include "zip_archive.h"

#include <QDir>
#include <QRegularExpression>
#include <cstring>
#include <map>
#include <pugixml.hpp>

namespace {
const char* localName(const pugi::xml_node& n) {
    const char* name = n.name();
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

bool is(const pugi::xml_node& n, const char* local) {
    return n.type() == pugi::node_element && std::strcmp(localName(n), local) == 0;
}

pugi::xml_node child(const pugi::xml_node& n, const char* local) {
    for (pugi::xml_node c : n.children())
        if (is(c, local)) return c;
    return {};
}

// The text of a string item: its <t> runs, phonetic runs left out.
void appendRuns(const pugi::xml_node& n, std::string& out) {
    for (pugi::xml_node c : n.children()) {
        if (c.type() != pugi::node_element) continue;
        if (is(c, "t"))
            out += c.text().get();
        else if (!is(c, "rPh"))
            appendRuns(c, out);
    }
}

// Date and time number formats: the built-in ids and codes with date or time letters outside
// quotes, escapes and [colour] sections.
enum class NumKind : uint8_t { Plain, Date, Time };
NumKind kindOfFormatCode(const std::string& code) {
    bool date = false, time = false, inQuote = false, inBracket = false;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (inQuote) {
            inQuote = c != '"';
            continue;
        }
        if (inBracket) {
            // [h], [mm], [ss]: elapsed time
            if (c == 'h' || c == 'H' || c == 's' || c == 'S') time = true;
            inBracket = c != ']';
            continue;
        }
        if (c == '"')
            inQuote = true;
        else if (c == '[')
            inBracket = true;
        else if (c == '\\' || c == '_' || c == '*')
            ++i;
        else if (c == 'd' || c == 'D' || c == 'y' || c == 'Y')
            date = true;
        else if (c == 'h' || c == 'H' || c == 's' || c == 'S')
            time = true;
        else if (c == ';')
            break; // the first section decides
    }
    return date ? NumKind::Date : time ? NumKind::Time : NumKind::Plain;
}

NumKind kindOfBuiltin(int id) {
    if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return NumKind::Date;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47)) return NumKind::Time;
    return NumKind::Plain;
}

// The grid of a worksheet: references beyond it mark a damaged file, not a huge sheet.
constexpr size_t kMaxRows = 1048576, kMaxColumns = 16384;

class XlsxReader : public WorkbookReader {
public:
    explicit XlsxReader(const FileSource& source) : WorkbookReader(source) {
        zip_.open(source.path);
        QString wbPath = QStringLiteral("xl/workbook.xml");
        pugi::xml_document rels;
        if (zip_.contains("_rels/.rels") && parse(rels, "_rels/.rels"))
            for (pugi::xml_node r : rels.document_element().children())
                if (QString::fromUtf8(r.attribute("Type").value()).endsWith("/officeDocument"))
                    wbPath =
                        QString::fromUtf8(r.attribute("Target").value()).remove(QRegularExpression("^/"));
        const QString base = wbPath.contains('/') ? wbPath.left(wbPath.lastIndexOf('/') + 1) : QString();
        pugi::xml_document wb;
        if (!zip_.contains(wbPath) || !parse(wb, wbPath))
            fail(QStringLiteral("the package holds no workbook"));
        std::map<std::string, QString> targets;
        QString relsPath = base + "_rels/" + wbPath.mid(base.size()) + ".rels";
        QString sharedPath, stylesPath;
        pugi::xml_document wbRels;
        if (zip_.contains(relsPath) && parse(wbRels, relsPath))
            for (pugi::xml_node r : wbRels.document_element().children()) {
                QString target = QString::fromUtf8(r.attribute("Target").value());
                target = target.startsWith('/') ? target.mid(1) : QDir::cleanPath(base + target);
                QString type = QString::fromUtf8(r.attribute("Type").value());
                targets[r.attribute("Id").value()] = target;
                if (type.endsWith("/sharedStrings")) sharedPath = target;
                if (type.endsWith("/styles")) stylesPath = target;
            }
        pugi::xml_node root = wb.document_element();
        if (pugi::xml_node pr = child(root, "workbookPr")) date1904_ = pr.attribute("date1904").as_bool();
        for (pugi::xml_node s : child(root, "sheets").children()) {
            if (!is(s, "sheet")) continue;
            QString rid;
            for (pugi::xml_attribute a : s.attributes())
                if (QByteArray(a.name()).endsWith(":id")) rid = QString::fromUtf8(a.value());
            auto t = targets.find(rid.toStdString());
            sheets_ << QString::fromUtf8(s.attribute("name").value());
            sheetPaths_ << (t != targets.end()
                                ? t->second
                                : QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheets_.size()));
        }
        if (sharedPath.isEmpty() && zip_.contains("xl/sharedStrings.xml"))
            sharedPath = "xl/sharedStrings.xml";
        if (stylesPath.isEmpty() && zip_.contains("xl/styles.xml")) stylesPath = "xl/styles.xml";
        if (!sharedPath.isEmpty() && zip_.contains(sharedPath)) {
            pugi::xml_document ss;
            if (!parse(ss, sharedPath)) fail(QStringLiteral("the shared strings cannot be read"));
            for (pugi::xml_node si : ss.document_element().children()) {
                if (!is(si, "si")) continue;
                std::string s;
                appendRuns(si, s);
                shared_.push_back(std::move(s));
            }
        }
        if (!stylesPath.isEmpty() && zip_.contains(stylesPath)) {
            pugi::xml_document st;
            if (parse(st, stylesPath)) {
                std::map<int, NumKind> custom;
                pugi::xml_node sroot = st.document_element();
                for (pugi::xml_node f : child(sroot, "numFmts").children())
                    if (is(f, "numFmt"))
                        custom[f.attribute("numFmtId").as_int()] =
                            kindOfFormatCode(f.attribute("formatCode").value());
                for (pugi::xml_node xf : child(sroot, "cellXfs").children()) {
                    if (!is(xf, "xf")) continue;
                    int id = xf.attribute("numFmtId").as_int();
                    auto c = custom.find(id);
                    xfKinds_.push_back(c != custom.end() ? c->second : kindOfBuiltin(id));
                }
            }
        }
    }

protected:
    void loadSheet(int index, SheetTable& table) override {
        const QString path = sheetPaths_[index];
        const QString where = QStringLiteral("sheet \"%1\"").arg(sheets_[index]);
        if (!zip_.contains(path)) fail(where + QStringLiteral(": the package has no part %1").arg(path));
        const QByteArray xml = zip_.read(path);
        SheetXmlScanner sc(xml.constData(), size_t(xml.size()));
        auto damaged = [&] {
            fail(where + QStringLiteral(": the XML is damaged at offset %1").arg(sc.offset()));
        };
        table.shared = &shared_;
        const uint32_t sharedCount = uint32_t(shared_.size());
        SheetXmlScanner::Tag t;
        while (sc.nextTag(t) && !(t.local == "sheetData" && !t.close)) {
        }
        if (sc.damaged()) damaged();
        if (t.local != "sheetData" || t.selfClose) return;
        size_t rowIndex = 0, col = 0;
        std::string v, text;
        while (sc.nextTag(t)) {
            if (t.local == "sheetData" && t.close) return;
            if (t.local == "row") {
                if (t.close) {
                    ++rowIndex;
                    continue;
                }
                std::string_view r = SheetXmlScanner::attr(t.attrs, "r");
                if (!r.empty()) {
                    unsigned long long n = std::strtoull(std::string(r).c_str(), nullptr, 10);
                    if (n < 1 || n > kMaxRows)
                        fail(where + QStringLiteral(": row number %1 is out of range")
                                         .arg(QString::fromLatin1(r.data(), qsizetype(r.size()))));
                    rowIndex = size_t(n - 1);
                }
                col = 0;
                if (t.selfClose) ++rowIndex;
                continue;
            }
            if (t.local != "c" || t.close) continue;
            std::string_view ref = SheetXmlScanner::attr(t.attrs, "r");
            if (!ref.empty()) {
                col = 0;
                for (char ch : ref) {
                    if (ch < 'A' || ch > 'Z') break;
                    col = col * 26 + size_t(ch - 'A' + 1);
                }
                if (col < 1 || col > kMaxColumns)
                    fail(where + QStringLiteral(": cell reference %1 is out of range")
                                     .arg(QString::fromLatin1(ref.data(), qsizetype(ref.size()))));
                --col;
            }
            if (rowIndex >= kMaxRows || col >= kMaxColumns)
                fail(where + QStringLiteral(": the sheet runs past row %1 or column %2")
                                 .arg(kMaxRows)
                                 .arg(kMaxColumns));
            const std::string type(SheetXmlScanner::attr(t.attrs, "t"));
            const unsigned style =
                unsigned(std::strtoul(std::string(SheetXmlScanner::attr(t.attrs, "s")).c_str(), nullptr, 10));
            v.clear();
            text.clear();
            bool hasV = false, hasIs = false;
            if (!t.selfClose) {
                bool inIs = false, closed = false;
                int phonetic = 0;
                SheetXmlScanner::Tag u;
                while (sc.nextTag(u)) {
                    if (u.local == "c" && u.close) {
                        closed = true;
                        break;
                    }
                    if (u.selfClose) continue;
                    if (u.local == "v" && !u.close) {
                        sc.text(v);
                        hasV = true;
                    } else if (u.local == "is") {
                        inIs = !u.close;
                        hasIs = true;
                    } else if (u.local == "rPh") {
                        phonetic += u.close ? -1 : 1;
                    } else if (u.local == "t" && !u.close && inIs && phonetic == 0) {
                        sc.text(text);
                    }
                }
                if (!closed) damaged();
            }
            SheetCell cell;
            if (type == "s") {
                if (hasV) {
                    unsigned long long i = std::strtoull(v.c_str(), nullptr, 10);
                    if (i >= sharedCount)
                        fail(where + QStringLiteral(": cell %1 names shared string %2 of %3")
                                         .arg(QString::fromUtf8(ref.data(), qsizetype(ref.size())))
                                         .arg(i)
                                         .arg(sharedCount));
                    cell.kind = SheetCell::SharedText;
                    cell.str = uint32_t(i);
                }
            } else if (type == "inlineStr" || type == "str") {
                cell.kind = SheetCell::Text;
                cell.str = table.addString(hasIs ? text : v);
            } else if (type == "b") {
                if (hasV) {
                    cell.kind = SheetCell::Bool;
                    cell.num = std::strtol(v.c_str(), nullptr, 10) != 0;
                }
            } else if (type == "e") {
                cell.kind = SheetCell::Error;
            } else if (type == "d") {
                int64_t ms;
                if (hasV && dtconv::Parse(v, ftDateTime, ms)) {
                    cell.kind = SheetCell::Date;
                    cell.num = dtconv::ToDays(ms);
                }
            } else if (hasV) {
                cell.kind = SheetCell::Number;
                cell.num = std::strtod(v.c_str(), nullptr);
                NumKind k = style < xfKinds_.size() ? xfKinds_[style] : NumKind::Plain;
                if (k != NumKind::Plain) {
                    if (date1904_) cell.num += 1462;
                    cell.kind = k == NumKind::Time && cell.num < 1 ? SheetCell::Time : SheetCell::Date;
                }
            }
            if (cell.kind != SheetCell::Empty) table.at(rowIndex, col) = cell;
            ++col;
        }
        if (sc.damaged()) damaged();
        fail(where + QStringLiteral(": the XML ends before the end of its rows (the file may be truncated)"));
    }

private:
    bool parse(pugi::xml_document& doc, const QString& entry) {
        QByteArray xml = zip_.read(entry);
        pugi::xml_parse_result res =
            doc.load_buffer(xml.constData(), size_t(xml.size()), pugi::parse_default | pugi::parse_ws_pcdata);
        return bool(res);
    }
    [[noreturn]] void fail(const QString& what) const { throw EDatabaseError(FileError(source_.path, what)); }

    TZipArchive zip_;
    QStringList sheetPaths_;
    std::vector<std::string> shared_;
    std::vector<NumKind> xfKinds_;
    bool date1904_ = false;
};
} // namespace

std::unique_ptr<TableReader> OpenXlsxReader(const FileSource& source) {
    return std::make_unique<XlsxReader>(source);
}
