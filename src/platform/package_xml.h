#pragma once
// Small helpers over pugixml for the XML parts of office packages: elements found by their local
// name whatever namespace prefix the producer chose, new elements placed where the part's schema
// orders them, and parts read and written in UTF-8 without reformatting.
#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <pugixml.hpp>
#include <string_view>

namespace pkgxml {

using Order = std::initializer_list<std::string_view>;

// The name without its namespace prefix.
std::string_view Local(const pugi::xml_node& node);
std::string_view Local(const pugi::xml_attribute& attribute);
// The first child element with that local name (null when none).
pugi::xml_node Child(const pugi::xml_node& parent, std::string_view local);
// The attribute with that local name ("r:id" for "id"), null when none.
pugi::xml_attribute Attribute(const pugi::xml_node& node, std::string_view local);
// A new child with the parent's prefix, before the first child that comes after it in order
// (children the order does not name are passed over); at the end when none does or order is empty.
pugi::xml_node Insert(pugi::xml_node parent, std::string_view local, Order order);
// The child, inserted in order when missing.
pugi::xml_node Ensure(pugi::xml_node parent, std::string_view local, Order order);
// Removes every child with that local name.
void RemoveAll(pugi::xml_node parent, std::string_view local);
// Sets an attribute, adding it when missing.
void Set(pugi::xml_node node, const char* name, const QString& value);
void Set(pugi::xml_node node, const char* name, long long value);

// Parses a part; a part that is not XML raises WorkbookError naming the part and the file.
void Parse(pugi::xml_document& doc, const QByteArray& data, const QString& part, const QString& file);
QByteArray Save(const pugi::xml_document& doc);

// Text for an attribute value or element text (the escaping is done by pugixml).
inline QString Text(const pugi::xml_attribute& a) {
    return QString::fromUtf8(a.value());
}

// Folder of a part ("xl/" for "xl/workbook.xml"), and a relationship target resolved against it
// (absolute targets start at the package root).
QString Folder(const QString& part);
QString Resolve(const QString& folder, const QString& target);
// The relationships part of a part ("xl/_rels/workbook.xml.rels").
QString RelsOf(const QString& part);

} // namespace pkgxml
