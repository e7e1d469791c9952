#include "workbook_styles.h"

#include "package_xml.h"

#include <QStringList>
#include <sstream>

using namespace pkgxml;

namespace {
const Order kStyleOrder = {"numFmts",    "fonts", "fills",       "borders", "cellStyleXfs", "cellXfs",
                           "cellStyles", "dxfs",  "tableStyles", "colors",  "extLst"};
const Order kFontOrder = {"b",         "i",  "strike", "condense", "extend", "outline", "shadow", "u",
                          "vertAlign", "sz", "color",  "name",     "family", "charset", "scheme"};

// The number formats every spreadsheet knows by number.
int BuiltInNumberFormat(const QString& code) {
    static const std::map<QString, int> kBuiltIn = {
        {QStringLiteral("General"), 0}, {QStringLiteral("0"), 1},         {QStringLiteral("0.00"), 2},
        {QStringLiteral("#,##0"), 3},   {QStringLiteral("#,##0.00"), 4},  {QStringLiteral("0%"), 9},
        {QStringLiteral("0.00%"), 10},  {QStringLiteral("0.00E+00"), 11}, {QStringLiteral("@"), 49},
    };
    auto it = kBuiltIn.find(code);
    return it == kBuiltIn.end() ? -1 : it->second;
}

QString Argb(uint32_t rgb) {
    return QStringLiteral("FF%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

void SetCount(pugi::xml_node list) {
    long long n = 0;
    for (pugi::xml_node c = list.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) ++n;
    Set(list, "count", n);
}
} // namespace

const char* WorkbookStyles::DefaultPart() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family "
           "val=\"2\"/></font></fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
           "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
           "borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
           "xfId=\"0\"/></cellXfs>"
           "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
           "</styleSheet>";
}

WorkbookStyles::WorkbookStyles(pugi::xml_node root) : root_(root) {
    if (pugi::xml_node list = Child(root_, "numFmts"))
        for (pugi::xml_node n = list.first_child(); n; n = n.next_sibling()) {
            const int id = Attribute(n, "numFmtId").as_int(-1);
            if (id < 0) continue;
            numFmts_.emplace(Text(Attribute(n, "formatCode")), id);
            nextNumFmt_ = std::max(nextNumFmt_, id + 1);
        }
    // A table without the lists every cell format refers to gets their first entries.
    const struct {
        const char* list;
        const char* item;
        const char* xml;
    } kFirst[] = {
        {"fonts", "font", "<font><sz val=\"11\"/><name val=\"Calibri\"/></font>"},
        {"fills", "fill",
         "<fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
         "patternType=\"gray125\"/></fill>"},
        {"borders", "border", "<border><left/><right/><top/><bottom/><diagonal/></border>"},
        {"cellXfs", "xf", "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"},
    };
    for (const auto& f : kFirst) {
        pugi::xml_node l = Ensure(root_, f.list, kStyleOrder);
        if (Child(l, f.item)) continue;
        pugi::xml_document scratch;
        scratch.load_string(f.xml);
        for (pugi::xml_node c = scratch.first_child(); c; c = c.next_sibling())
            l.append_copy(c);
        SetCount(l);
    }
}

// The entry's index; an equal entry already there (an earlier export's) is used again.
int WorkbookStyles::append(const char* list, pugi::xml_node item) {
    pugi::xml_node l = Child(root_, list);
    auto text = [](pugi::xml_node n) {
        std::ostringstream out;
        n.print(out, "", pugi::format_raw);
        return out.str();
    };
    const std::string mine = text(item);
    int index = 0;
    for (pugi::xml_node c = l.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        if (text(c) == mine) return index;
        ++index;
    }
    l.append_copy(item);
    Set(l, "count", index + 1);
    return index;
}

int WorkbookStyles::numberFormat(const QString& code) {
    if (code.isEmpty()) return 0;
    const int builtIn = BuiltInNumberFormat(code);
    if (builtIn >= 0) return builtIn;
    auto it = numFmts_.find(code);
    if (it != numFmts_.end()) return it->second;
    pugi::xml_node list = Ensure(root_, "numFmts", kStyleOrder);
    pugi::xml_node n = Insert(list, "numFmt", {});
    const int id = nextNumFmt_++;
    n.append_attribute("numFmtId") = id;
    n.append_attribute("formatCode") = code.toUtf8().constData();
    SetCount(list);
    numFmts_.emplace(code, id);
    return id;
}

// The workbook's first font (the one of unformatted cells) with the changes asked for.
int WorkbookStyles::font(const CellFormat& f) {
    if (f.FontName.isEmpty() && f.FontSize <= 0 && !f.Bold && f.FontColor == CellFormat::kNoColor) return 0;
    const std::string key = QStringLiteral("%1|%2|%3|%4")
                                .arg(f.FontName)
                                .arg(f.FontSize)
                                .arg(f.Bold)
                                .arg(f.FontColor)
                                .toStdString();
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    pugi::xml_document scratch;
    pugi::xml_node font = scratch.append_copy(Child(Child(root_, "fonts"), "font"));
    if (f.Bold) {
        RemoveAll(font, "b");
        Insert(font, "b", kFontOrder);
    }
    if (f.FontSize > 0) Set(Ensure(font, "sz", kFontOrder), "val", QString::number(f.FontSize));
    if (f.FontColor != CellFormat::kNoColor) {
        RemoveAll(font, "color");
        Set(Insert(font, "color", kFontOrder), "rgb", Argb(f.FontColor));
    }
    if (!f.FontName.isEmpty()) {
        Set(Ensure(font, "name", kFontOrder), "val", f.FontName);
        // A theme font scheme would show the theme's font instead of the name.
        for (const char* e : {"scheme", "family", "charset"})
            RemoveAll(font, e);
    }
    const int id = append("fonts", font);
    fonts_.emplace(key, id);
    return id;
}

int WorkbookStyles::fill(uint32_t color) {
    if (color == CellFormat::kNoColor) return 0;
    const std::string key = std::to_string(color);
    auto it = fills_.find(key);
    if (it != fills_.end()) return it->second;
    pugi::xml_document scratch;
    pugi::xml_node p = scratch.append_child("fill").append_child("patternFill");
    p.append_attribute("patternType") = "solid";
    Set(p.append_child("fgColor"), "rgb", Argb(color));
    p.append_child("bgColor").append_attribute("indexed") = 64;
    const int id = append("fills", scratch.first_child());
    fills_.emplace(key, id);
    return id;
}

int WorkbookStyles::thinBorder() {
    if (thinBorder_ >= 0) return thinBorder_;
    pugi::xml_document scratch;
    pugi::xml_node b = scratch.append_child("border");
    for (const char* e : {"left", "right", "top", "bottom"}) {
        pugi::xml_node side = b.append_child(e);
        side.append_attribute("style") = "thin";
        side.append_child("color").append_attribute("indexed") = 64;
    }
    b.append_child("diagonal");
    thinBorder_ = append("borders", b);
    return thinBorder_;
}

int WorkbookStyles::add(const CellFormat& f) {
    const int num = numberFormat(f.NumberFormat), fo = font(f), fi = fill(f.Background);
    const int bo = f.Borders ? thinBorder() : 0;
    const char* vertical = f.VerticalAlignment == CellFormat::vaTop      ? "top"
                           : f.VerticalAlignment == CellFormat::vaCenter ? "center"
                           : f.VerticalAlignment == CellFormat::vaBottom ? "bottom"
                                                                         : nullptr;
    const std::string key = std::to_string(num) + "|" + std::to_string(fo) + "|" + std::to_string(fi) + "|" +
                            std::to_string(bo) + "|" + (vertical ? vertical : "") + "|" + (f.Wrap ? "w" : "");
    auto it = xfs_.find(key);
    if (it != xfs_.end()) return it->second;
    pugi::xml_document scratch;
    pugi::xml_node x = scratch.append_child("xf");
    x.append_attribute("numFmtId") = num;
    x.append_attribute("fontId") = fo;
    x.append_attribute("fillId") = fi;
    x.append_attribute("borderId") = bo;
    x.append_attribute("xfId") = 0;
    if (num) x.append_attribute("applyNumberFormat") = 1;
    if (fo) x.append_attribute("applyFont") = 1;
    if (fi) x.append_attribute("applyFill") = 1;
    if (bo) x.append_attribute("applyBorder") = 1;
    if (vertical || f.Wrap) {
        x.append_attribute("applyAlignment") = 1;
        pugi::xml_node a = x.append_child("alignment");
        if (vertical) a.append_attribute("vertical") = vertical;
        if (f.Wrap) a.append_attribute("wrapText") = 1;
    }
    const int id = append("cellXfs", x);
    xfs_.emplace(key, id);
    return id;
}
