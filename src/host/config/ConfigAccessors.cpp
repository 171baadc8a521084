#include "host/config/ConfigAccessors.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "host/config/ConfigTree.h"
#include "host/lang/AsciiText.h"

namespace config {
namespace {

pugi::xml_attribute FindAttr(pugi::xml_node node, std::string_view name) {
    return node.attribute(std::string(name).c_str());
}

pugi::xml_attribute EnsureAttr(pugi::xml_node node, std::string_view name) {
    if (!node || node.type() != pugi::node_element) return {};
    std::string key(name);
    pugi::xml_attribute attr = node.attribute(key.c_str());
    return attr ? attr : node.append_attribute(key.c_str());
}

int ClampedAxis(int stored, int size, int screen) {
    // 64-bit sums: a stored coordinate near INT_MAX must not overflow when the size is added.
    int64_t position = stored;
    if (position < 0) return 0;
    if (position + size > screen)
        return static_cast<int>(std::max<int64_t>(0, int64_t(screen) - size));
    return stored;
}

}  // namespace

bool ParseConfigInt(std::string_view textValue, int& value) {
    std::string_view digits = text::TrimXmlBlanks(textValue);
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
    if (digits.empty()) return false;
    int parsed = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (error != std::errc() || end != digits.data() + digits.size()) return false;
    value = parsed;
    return true;
}

int GetIntAttr(pugi::xml_node node, std::string_view name, int fallback) {
    pugi::xml_attribute attr = FindAttr(node, name);
    int value = fallback;
    return attr && ParseConfigInt(attr.value(), value) ? value : fallback;
}

void SetIntAttr(pugi::xml_node node, std::string_view name, int value) {
    EnsureAttr(node, name).set_value(std::to_string(value).c_str());
}

bool GetBoolAttr(pugi::xml_node node, std::string_view name, bool fallback) {
    pugi::xml_attribute attr = FindAttr(node, name);
    if (!attr) return fallback;
    std::string_view value = attr.value();
    if (value == "true") return true;
    if (value == "false") return false;
    return fallback;
}

void SetBoolAttr(pugi::xml_node node, std::string_view name, bool value) {
    EnsureAttr(node, name).set_value(value ? "true" : "false");
}

bool AttrIs(pugi::xml_node node, std::string_view name, std::string_view word) {
    pugi::xml_attribute attr = FindAttr(node, name);
    return attr && std::string_view(attr.value()) == word;
}

std::string GetStrAttr(pugi::xml_node node, std::string_view name) {
    return FindAttr(node, name).value();
}

void SetStrAttr(pugi::xml_node node, std::string_view name, std::string_view textValue) {
    EnsureAttr(node, name).set_value(std::string(textValue).c_str());
}

std::string GetElementText(pugi::xml_node element) {
    return std::string(text::TrimXmlBlanks(element.text().get()));
}

void SetElementText(pugi::xml_node element, std::string_view textValue) {
    if (!element || element.type() != pugi::node_element) return;
    element.text().set(std::string(textValue).c_str());
}

int GetChildInt(pugi::xml_node node, std::string_view child, int fallback) {
    pugi::xml_node element = node.child(std::string(child).c_str());
    int value = fallback;
    return element && ParseConfigInt(GetElementText(element), value) ? value : fallback;
}

WindowPos GetWindowPos(pugi::xml_node node, int width, int height, ScreenArea screen) {
    return {ClampedAxis(GetIntAttr(node, "x", 0), width, screen.width),
            ClampedAxis(GetIntAttr(node, "y", 0), height, screen.height)};
}

std::string RemoveChildAt(pugi::xml_node parent, int index) {
    if (index < 0) return {};
    pugi::xml_node child = parent.first_child();
    for (int i = 0; child && i < index; ++i) child = child.next_sibling();
    if (!child || child.type() != pugi::node_element) return {};
    std::string removedText = GetElementText(child);
    pugi::xml_node before = child.previous_sibling();
    if (IsWhitespaceText(before)) parent.remove_child(before);
    parent.remove_child(child);
    return removedText;
}

}  // namespace config
