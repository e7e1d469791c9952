#include "package_xml.h"

#include "sheet_writer.h"

#include <QStringList>
#include <algorithm>
#include <sstream>

namespace pkgxml {

std::string_view Local(const pugi::xml_node& node) {
    std::string_view n = node.name();
    const size_t colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

std::string_view Local(const pugi::xml_attribute& attribute) {
    std::string_view n = attribute.name();
    const size_t colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& parent, std::string_view local) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && Local(c) == local) return c;
    return {};
}

pugi::xml_attribute Attribute(const pugi::xml_node& node, std::string_view local) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (Local(a) == local) return a;
    return {};
}

pugi::xml_node Insert(pugi::xml_node parent, std::string_view local, Order order) {
    std::string_view name = parent.name();
    const size_t colon = name.find(':');
    std::string full =
        colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
    full += local;
    auto rank = [&](std::string_view n) {
        auto it = std::find(order.begin(), order.end(), n);
        return it == order.end() ? -1 : int(it - order.begin());
    };
    const int mine = rank(local);
    if (mine >= 0)
        for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element && rank(Local(c)) > mine)
                return parent.insert_child_before(full.c_str(), c);
    return parent.append_child(full.c_str());
}

pugi::xml_node Ensure(pugi::xml_node parent, std::string_view local, Order order) {
    pugi::xml_node c = Child(parent, local);
    return c ? c : Insert(parent, local, order);
}

void RemoveAll(pugi::xml_node parent, std::string_view local) {
    while (pugi::xml_node c = Child(parent, local))
        parent.remove_child(c);
}

void Set(pugi::xml_node node, const char* name, const QString& value) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) a = node.append_attribute(name);
    a.set_value(value.toUtf8().constData());
}

void Set(pugi::xml_node node, const char* name, long long value) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) a = node.append_attribute(name);
    a.set_value(value);
}

void Parse(pugi::xml_document& doc, const QByteArray& data, const QString& part, const QString& file) {
    const pugi::xml_parse_result r = doc.load_buffer(
        data.constData(), size_t(data.size()),
        pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single, pugi::encoding_auto);
    if (!r)
        throw WorkbookError(QStringLiteral("The workbook \"%1\" is damaged: part %2, offset %3: %4.")
                                .arg(file, part)
                                .arg(qlonglong(r.offset))
                                .arg(QString::fromUtf8(r.description())));
}

QByteArray Save(const pugi::xml_document& doc) {
    std::ostringstream out;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() != pugi::node_declaration) n.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    // The parts are written in UTF-8 whatever they were read in.
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n") +
           QByteArray::fromStdString(out.str());
}

QString Folder(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString Resolve(const QString& folder, const QString& target) {
    QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : folder + target;
    QStringList out;
    for (const QString& s : path.split(QLatin1Char('/'))) {
        if (s == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
        } else if (s != QLatin1String(".") && !s.isEmpty())
            out.append(s);
    }
    return out.join(QLatin1Char('/'));
}

QString RelsOf(const QString& part) {
    return Folder(part) + QStringLiteral("_rels/") + part.mid(Folder(part).size()) + QStringLiteral(".rels");
}

} // namespace pkgxml
