#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

// The accessors every part of the program uses on a section (or child) element of the
// configuration document. Reads never fail: a missing node, a missing attribute or text of the
// wrong form gives the caller's default. Writes on a missing node do nothing.
namespace config {

// Decimal integer, optionally signed, blanks around it allowed; false for anything else
// (including values beyond the int range).
bool ParseConfigInt(std::string_view text, int& value);

int GetIntAttr(pugi::xml_node node, std::string_view name, int fallback);
void SetIntAttr(pugi::xml_node node, std::string_view name, int value);

// Only the exact words "true" and "false" count; "True" or "1" read as the default.
bool GetBoolAttr(pugi::xml_node node, std::string_view name, bool fallback);
void SetBoolAttr(pugi::xml_node node, std::string_view name, bool value);

// True only when the attribute exists and equals word exactly (case-sensitively).
bool AttrIs(pugi::xml_node node, std::string_view name, std::string_view word);

std::string GetStrAttr(pugi::xml_node node, std::string_view name);
void SetStrAttr(pugi::xml_node node, std::string_view name, std::string_view text);

// The text of an element (blanks and line breaks around it dropped: a hand-formatted file may
// put the value on a line of its own).
std::string GetElementText(pugi::xml_node element);
void SetElementText(pugi::xml_node element, std::string_view text);

int GetChildInt(pugi::xml_node node, std::string_view child, int fallback);

struct ScreenArea {
    int width = 0;
    int height = 0;
};
struct WindowPos {
    int x = 0;
    int y = 0;
};

// The stored x and y of a window, pulled back so that a window of the given size lies on a
// screen of the given size: negative becomes 0, a window past the right or bottom edge moves
// left or up (but never below 0).
WindowPos GetWindowPos(pugi::xml_node node, int width, int height, ScreenArea screen);

// Deletes the element at position index of the node's child list (counting every child node,
// the whitespace between elements included) together with the whitespace just before it, and
// returns its text. Nothing happens (and the result is empty) when that child is not an element.
std::string RemoveChildAt(pugi::xml_node parent, int index);

}  // namespace config
