#include "sheet_pictures.h"

#include "package_xml.h"

#include <string>

using namespace pkgxml;

namespace {
constexpr long long kEmuPerPixel = 9525;

// The drawing's prefix with its colon ("xdr:"), from its root.
std::string PrefixOf(pugi::xml_node drawing) {
    std::string_view n = drawing.name();
    const size_t colon = n.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(n.substr(0, colon + 1));
}

pugi::xml_node Add(pugi::xml_node parent, const std::string& name) {
    return parent.append_child(name.c_str());
}

void AddText(pugi::xml_node parent, const std::string& name, long long value) {
    Add(parent, name).text().set(value);
}
} // namespace

const char* EmptyDrawingPart() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
           "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"/>";
}

void AppendPictureAnchor(pugi::xml_node drawing, const SheetPicture& p, int id, const char* relId) {
    const std::string x = PrefixOf(drawing);
    pugi::xml_node anchor = Add(drawing, x + "oneCellAnchor");
    pugi::xml_node from = Add(anchor, x + "from");
    AddText(from, x + "col", p.col);
    AddText(from, x + "colOff", p.offset * kEmuPerPixel);
    AddText(from, x + "row", p.row);
    AddText(from, x + "rowOff", p.offset * kEmuPerPixel);
    pugi::xml_node ext = Add(anchor, x + "ext");
    Set(ext, "cx", p.width * kEmuPerPixel);
    Set(ext, "cy", p.height * kEmuPerPixel);
    pugi::xml_node pic = Add(anchor, x + "pic");
    pugi::xml_node nv = Add(pic, x + "nvPicPr");
    pugi::xml_node props = Add(nv, x + "cNvPr");
    Set(props, "id", id);
    Set(props, "name", QStringLiteral("Picture %1").arg(id - 1));
    Set(Add(Add(nv, x + "cNvPicPr"), "a:picLocks"), "noChangeAspect", 1);
    pugi::xml_node fill = Add(pic, x + "blipFill");
    pugi::xml_node blip = Add(fill, "a:blip");
    Set(blip, "xmlns:r",
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"));
    Set(blip, "r:embed", QString::fromLatin1(relId));
    Add(Add(fill, "a:stretch"), "a:fillRect");
    pugi::xml_node sp = Add(pic, x + "spPr");
    pugi::xml_node xfrm = Add(sp, "a:xfrm");
    Set(Add(xfrm, "a:off"), "x", 0);
    pugi::xml_node size = Add(xfrm, "a:ext");
    Set(size, "cx", p.width * kEmuPerPixel);
    Set(size, "cy", p.height * kEmuPerPixel);
    pugi::xml_node geom = Add(sp, "a:prstGeom");
    Set(geom, "prst", QStringLiteral("rect"));
    Add(geom, "a:avLst");
    Add(anchor, x + "clientData");
}

QByteArray OneCellAnchors(const QByteArray& drawingPart) {
    pugi::xml_document doc;
    Parse(doc, drawingPart, QStringLiteral("drawing"), QString());
    pugi::xml_node root = doc.document_element();
    const std::string x = PrefixOf(root);
    for (pugi::xml_node a = root.first_child(); a; a = a.next_sibling()) {
        if (Local(a) != "twoCellAnchor") continue;
        pugi::xml_node size = Child(Child(Child(Child(a, "pic"), "spPr"), "xfrm"), "ext");
        pugi::xml_node to = Child(a, "to");
        if (!size || !to) continue;
        a.set_name((x + "oneCellAnchor").c_str());
        a.remove_attribute("editAs");
        pugi::xml_node ext = a.insert_child_after((x + "ext").c_str(), Child(a, "from"));
        ext.append_attribute("cx") = Attribute(size, "cx").value();
        ext.append_attribute("cy") = Attribute(size, "cy").value();
        a.remove_child(to);
    }
    return Save(doc);
}
