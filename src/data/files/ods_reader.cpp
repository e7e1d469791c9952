// OpenDocument spreadsheets: the tables of content.xml with their repeated rows and cells (a sheet's
// millions of repeated empty rows at the end are counted, never built).
#include "column_store.h"
#include "exceptions.h"
#include "sheet_readers.h"
#include "zip_archive.h"

#include <cstring>
#include <pugixml.hpp>

namespace {
bool named(const pugi::xml_node& n, const char* name) {
    return n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0;
}

// The text of a cell: its paragraphs joined by line breaks, with the spaces, tabs and breaks that
// OpenDocument writes as elements.
void appendText(const pugi::xml_node& n, std::string& out) {
    for (pugi::xml_node c : n.children()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
            out += c.value();
        } else if (named(c, "text:s")) {
            out.append(size_t(std::max(1, c.attribute("text:c").as_int(1))), ' ');
        } else if (named(c, "text:tab")) {
            out += '\t';
        } else if (named(c, "text:line-break")) {
            out += '\n';
        } else if (c.type() == pugi::node_element && !named(c, "office:annotation")) {
            appendText(c, out);
        }
    }
}

// "PT12H30M05.5S" as a fraction of a day.
bool durationDays(const char* s, double& days) {
    if (std::strncmp(s, "PT", 2) != 0 && std::strncmp(s, "-PT", 3) != 0) return false;
    bool neg = *s == '-';
    s += neg ? 3 : 2;
    double total = 0;
    while (*s) {
        char* end;
        double v = std::strtod(s, &end);
        if (end == s) return false;
        if (*end == 'H')
            total += v * 3600;
        else if (*end == 'M')
            total += v * 60;
        else if (*end == 'S')
            total += v;
        else
            return false;
        s = end + 1;
    }
    days = (neg ? -total : total) / 86400.0;
    return true;
}

// Repeated cells with values beyond the largest sheet mark a damaged file, not a sheet to build.
constexpr size_t kMaxRows = 1048576, kMaxColumns = 16384;

class OdsReader : public WorkbookReader {
public:
    explicit OdsReader(const FileSource& source) : WorkbookReader(source) {
        zip_.open(source.path);
        if (!zip_.contains("content.xml")) fail(QStringLiteral("the package holds no content.xml"));
        // The document is parsed again for each sheet read, so a connection does not hold it.
        Content c(*this);
        for (pugi::xml_node t : c.tables())
            sheets_ << QString::fromUtf8(t.attribute("table:name").value());
    }

protected:
    void loadSheet(int index, SheetTable& table) override {
        Content c(*this);
        std::vector<pugi::xml_node> tables = c.tables();
        if (size_t(index) >= tables.size()) fail(QStringLiteral("sheet \"%1\" is gone").arg(sheets_[index]));
        size_t row = 0;
        sheet_ = QStringLiteral("sheet \"%1\"").arg(sheets_[index]);
        addRows(tables[size_t(index)], table, row);
    }

private:
    // content.xml parsed.
    struct Content {
        explicit Content(const OdsReader& r) : xml(r.zip_.read("content.xml")) {
            pugi::xml_parse_result res = doc.load_buffer_inplace(xml.data(), size_t(xml.size()),
                                                                 pugi::parse_default | pugi::parse_ws_pcdata);
            if (!res)
                r.fail(QStringLiteral("content.xml is damaged at offset %1 (%2)")
                           .arg(res.offset)
                           .arg(res.description()));
        }
        std::vector<pugi::xml_node> tables() const {
            std::vector<pugi::xml_node> out;
            for (pugi::xml_node t : doc.document_element()
                                        .child("office:body")
                                        .child("office:spreadsheet")
                                        .children("table:table"))
                out.push_back(t);
            return out;
        }
        QByteArray xml;
        pugi::xml_document doc;
    };

    void addRows(const pugi::xml_node& parent, SheetTable& table, size_t& row) {
        for (pugi::xml_node n : parent.children()) {
            if (named(n, "table:table-row")) {
                size_t repeat = std::max<size_t>(1, n.attribute("table:number-rows-repeated").as_ullong(1));
                bool any = false;
                for (size_t k = 0; k < repeat; ++k) {
                    if (row >= kMaxRows)
                        fail(sheet_ + QStringLiteral(": the sheet runs past row %1").arg(kMaxRows));
                    any = addCells(n, table, row);
                    ++row;
                    if (!any) {
                        row += repeat - k - 1; // repeated empty rows: counted only
                        break;
                    }
                }
            } else if (named(n, "table:table-header-rows") || named(n, "table:table-rows") ||
                       named(n, "table:table-row-group")) {
                addRows(n, table, row);
            }
        }
    }

    // Returns whether the row holds a value.
    bool addCells(const pugi::xml_node& rowNode, SheetTable& table, size_t row) {
        size_t col = 0;
        bool any = false;
        std::string text;
        for (pugi::xml_node c : rowNode.children()) {
            bool cell = named(c, "table:table-cell"), covered = named(c, "table:covered-table-cell");
            if (!cell && !covered) continue;
            size_t repeat = std::max<size_t>(1, c.attribute("table:number-columns-repeated").as_ullong(1));
            SheetCell v;
            const char* type = c.attribute("office:value-type").value();
            if (std::strcmp(c.attribute("calcext:value-type").value(), "error") == 0) {
                v.kind = SheetCell::Error;
            } else if (!std::strcmp(type, "float") || !std::strcmp(type, "percentage") ||
                       !std::strcmp(type, "currency")) {
                v.kind = SheetCell::Number;
                v.num = c.attribute("office:value").as_double();
            } else if (!std::strcmp(type, "date")) {
                int64_t ms;
                if (dtconv::Parse(c.attribute("office:date-value").value(), ftDateTime, ms)) {
                    v.kind = SheetCell::Date;
                    v.num = dtconv::ToDays(ms);
                }
            } else if (!std::strcmp(type, "time")) {
                if (durationDays(c.attribute("office:time-value").value(), v.num)) v.kind = SheetCell::Time;
            } else if (!std::strcmp(type, "boolean")) {
                v.kind = SheetCell::Bool;
                v.num = std::strcmp(c.attribute("office:boolean-value").value(), "true") == 0;
            } else if (*type || c.child("text:p")) {
                text.clear();
                bool first = true;
                for (pugi::xml_node p : c.children("text:p")) {
                    if (!first) text += '\n';
                    first = false;
                    appendText(p, text);
                }
                v.kind = SheetCell::Text;
                v.str = table.addString(text);
            }
            if (v.kind != SheetCell::Empty) {
                if (col + repeat > kMaxColumns)
                    fail(sheet_ +
                         QStringLiteral(": row %1 runs past column %2").arg(row + 1).arg(kMaxColumns));
                any = true;
                for (size_t k = 0; k < repeat; ++k)
                    table.at(row, col + k) = v;
            }
            col += repeat;
        }
        return any;
    }

    [[noreturn]] void fail(const QString& what) const { throw EDatabaseError(FileError(source_.path, what)); }

    TZipArchive zip_;
    QString sheet_; // the sheet being read, for messages
};
} // namespace

std::unique_ptr<TableReader> OpenOdsReader(const FileSource& source) {
    return std::make_unique<OdsReader>(source);
}
