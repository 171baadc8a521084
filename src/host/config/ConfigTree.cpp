#include "host/config/ConfigTree.h"

#include <string>

#include "host/lang/AsciiText.h"

namespace config {
namespace {

// The indentation of the root's children (after the last line break of the whitespace before
// the first of them); empty when the document is written without whitespace.
std::string IndentUnit(pugi::xml_node anyNode) {
    pugi::xml_node root = anyNode.root().first_child();
    while (root && root.type() != pugi::node_element) root = root.next_sibling();
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (!IsWhitespaceText(child)) continue;
        std::string_view ws = child.value();
        size_t lineBreak = ws.rfind('\n');
        if (lineBreak != std::string_view::npos && lineBreak + 1 < ws.size()) {
            return std::string(ws.substr(lineBreak + 1));
        }
    }
    return {};
}

int Depth(pugi::xml_node node) {
    int depth = 0;
    for (pugi::xml_node p = node.parent(); p && p.type() == pugi::node_element; p = p.parent()) {
        ++depth;
    }
    return depth;
}

std::string LineAtDepth(const std::string& unit, int depth) {
    std::string line = "\n";
    for (int i = 0; i < depth; ++i) line += unit;
    return line;
}

void InsertWhitespaceBefore(pugi::xml_node parent, pugi::xml_node before, const std::string& ws) {
    pugi::xml_node node = before ? parent.insert_child_before(pugi::node_pcdata, before)
                                 : parent.append_child(pugi::node_pcdata);
    node.set_value(ws.c_str());
}

}  // namespace

bool IsWhitespaceText(pugi::xml_node node) {
    if (node.type() != pugi::node_pcdata) return false;
    for (const char* c = node.value(); *c != '\0'; ++c) {
        if (!text::IsXmlBlank(*c)) return false;
    }
    return true;
}

pugi::xml_node FindChildPath(pugi::xml_node node, std::string_view path) {
    while (node && !path.empty()) {
        size_t slash = path.find('/');
        std::string name(path.substr(0, slash));
        node = node.child(name.c_str());
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return node;
}

pugi::xml_node EnsureChildElement(pugi::xml_node parent, std::string_view name) {
    pugi::xml_node existing = parent.child(std::string(name).c_str());
    return existing ? existing : AppendChildElement(parent, name);
}

pugi::xml_node EnsureChildPath(pugi::xml_node node, std::string_view path) {
    while (node && !path.empty()) {
        size_t slash = path.find('/');
        node = EnsureChildElement(node, path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return node;
}

pugi::xml_node AppendChildElement(pugi::xml_node parent, std::string_view name) {
    if (!parent || parent.type() != pugi::node_element) return {};
    const std::string tag(name);
    const std::string unit = IndentUnit(parent);
    if (unit.empty()) return parent.append_child(tag.c_str());
    const int depth = Depth(parent);
    pugi::xml_node last = parent.last_child();
    if (IsWhitespaceText(last)) {
        // <P>…<A/>⏎␣␣</P>: the closing tag's own line break stays last.
        InsertWhitespaceBefore(parent, last, LineAtDepth(unit, depth + 1));
        return parent.insert_child_before(tag.c_str(), last);
    }
    InsertWhitespaceBefore(parent, {}, LineAtDepth(unit, depth + 1));
    pugi::xml_node element = parent.append_child(tag.c_str());
    InsertWhitespaceBefore(parent, {}, LineAtDepth(unit, depth));
    return element;
}

pugi::xml_node InsertChildElementAtTop(pugi::xml_node parent, std::string_view name) {
    if (!parent || parent.type() != pugi::node_element) return {};
    pugi::xml_node first = parent.first_child();
    while (first && first.type() != pugi::node_element) first = first.next_sibling();
    if (!first) return AppendChildElement(parent, name);
    pugi::xml_node element = parent.insert_child_before(std::string(name).c_str(), first);
    pugi::xml_node before = element.previous_sibling();
    if (IsWhitespaceText(before)) {
        // The old top entry keeps a line of its own, indented as the new one is.
        parent.insert_child_after(pugi::node_pcdata, element).set_value(before.value());
    }
    return element;
}

}  // namespace config
