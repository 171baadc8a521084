#include "host/config/Settings.h"

#include "host/config/ConfigTree.h"
#include "host/files/ProgramPaths.h"

namespace config {

pugi::xml_node Settings::FindElement(const KeyPlace& place) const {
    return FindChildPath(document_.Section(place.section), place.child);
}

pugi::xml_node Settings::EnsureElement(const KeyPlace& place) {
    return EnsureChildPath(document_.EnsureSection(place.section), place.child);
}

bool Settings::ReadRaw(const KeyPlace& place, std::string& value) const {
    pugi::xml_node element = FindElement(place);
    if (!element) return false;
    if (place.attribute.empty()) {
        value = GetElementText(element);
        return true;
    }
    pugi::xml_attribute attr = element.attribute(std::string(place.attribute).c_str());
    if (!attr) return false;
    value = attr.value();
    return true;
}

void Settings::WriteRaw(const KeyPlace& place, std::string_view value) {
    pugi::xml_node element = EnsureElement(place);
    if (place.attribute.empty()) {
        SetElementText(element, value);
    } else {
        SetStrAttr(element, place.attribute, value);
    }
}

bool Settings::Get(const BoolKey& key) const {
    std::string stored;
    if (!ReadRaw(key.place, stored)) return key.fallback;
    if (stored == "true") return true;
    if (stored == "false") return false;
    return key.fallback;
}

void Settings::Set(const BoolKey& key, bool value) {
    WriteRaw(key.place, value ? "true" : "false");
}

int Settings::Get(const IntKey& key) const {
    std::string stored;
    int value = 0;
    if (!ReadRaw(key.place, stored) || !ParseConfigInt(stored, value)) return key.fallback;
    return value < key.min || value > key.max ? key.outOfRange : value;
}

void Settings::Set(const IntKey& key, int value) {
    WriteRaw(key.place, std::to_string(value));
}

std::string Settings::Get(const TextKey& key) const {
    std::string stored;
    ReadRaw(key.place, stored);
    return stored;
}

void Settings::Set(const TextKey& key, std::string_view value) {
    WriteRaw(key.place, value);
}

std::string Settings::GetStored(const PathKey& key) const {
    std::string stored;
    ReadRaw(key.place, stored);
    return stored;
}

std::string Settings::GetAbsolute(const PathKey& key) const {
    std::string stored = GetStored(key);
    return stored.empty() ? stored : program::FromProgramRelative(stored);
}

void Settings::SetPath(const PathKey& key, std::string_view path) {
    WriteRaw(key.place, program::ToProgramRelative(std::string(path)));
}

WindowPos Settings::GetWindowPos(const WindowPosKey& key, int width, int height,
                                 ScreenArea screen) const {
    return config::GetWindowPos(document_.Section(key.section), width, height, screen);
}

bool Settings::HasWindowPos(const WindowPosKey& key) const {
    const pugi::xml_node section = document_.Section(key.section);
    return section && section.attribute("x") && section.attribute("y");
}

void Settings::SetWindowPos(const WindowPosKey& key, WindowPos pos) {
    pugi::xml_node section = document_.EnsureSection(key.section);
    SetIntAttr(section, "x", pos.x);
    SetIntAttr(section, "y", pos.y);
}

}  // namespace config
