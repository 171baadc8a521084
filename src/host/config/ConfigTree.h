#pragma once

#include <pugixml.hpp>

#include <string_view>

// Creating elements in the configuration document so that the file stays readable: the
// document keeps the whitespace between elements as it was written, so a new element gets the
// line break and indentation of its depth (learnt from the document's own first level; a
// document written without whitespace stays without).
namespace config {

bool IsWhitespaceText(pugi::xml_node node);

// The first child element of that name, or a new one appended after the existing children.
pugi::xml_node EnsureChildElement(pugi::xml_node parent, std::string_view name);

// Follows a "/"-separated chain of child element names; an empty path is the node itself.
pugi::xml_node FindChildPath(pugi::xml_node node, std::string_view path);
pugi::xml_node EnsureChildPath(pugi::xml_node node, std::string_view path);

pugi::xml_node AppendChildElement(pugi::xml_node parent, std::string_view name);

// A new element in front of the first child element (after the whitespace that leads the list),
// so that it becomes the top entry of a list such as the recent files.
pugi::xml_node InsertChildElementAtTop(pugi::xml_node parent, std::string_view name);

}  // namespace config
