#include "host/config/ConfigKeys.h"

namespace config {
namespace {

void Add(std::vector<KeyDescription>& out, const BoolKey& key) {
    out.push_back({key.place, "bool", key.fallback ? "true" : "false", key.groups});
}

void Add(std::vector<KeyDescription>& out, const IntKey& key) {
    std::string type = "int";
    if (key.min != INT_MIN || key.max != INT_MAX) {
        type += " " + std::to_string(key.min) + ".." + std::to_string(key.max);
    }
    out.push_back({key.place, type, std::to_string(key.fallback), key.groups});
}

template <typename E>
void Add(std::vector<KeyDescription>& out, const WordKey<E>& key) {
    std::string type = "word";
    std::string fallback;  // a fallback without a word is written as nothing
    for (std::size_t i = 0; i < key.words.size(); ++i) {
        type += (i == 0 ? " " : "|") + std::string(key.words[i].text);
        if (key.words[i].value == key.fallback) fallback = key.words[i].text;
    }
    out.push_back({key.place, type, fallback, key.groups});
}

void Add(std::vector<KeyDescription>& out, const TextKey& key) {
    out.push_back({key.place, "text", "", key.groups});
}

void Add(std::vector<KeyDescription>& out, const PathKey& key) {
    out.push_back({key.place, "path", "", key.groups});
}

void Add(std::vector<KeyDescription>& out, const WindowPosKey& key) {
    out.push_back({{key.section, "", "x"}, "int", "0", {}});
    out.push_back({{key.section, "", "y"}, "int", "0", {}});
}

std::vector<KeyDescription> BuildTable() {
    std::vector<KeyDescription> table;
#define TEVRIN_ADD_KEY(name, ...) Add(table, keys::name);
    TEVRIN_CONFIG_KEYS(TEVRIN_ADD_KEY)
#undef TEVRIN_ADD_KEY
    for (int n = 1; n <= static_cast<int>(keys::kMemViewElements.size()); ++n) {
        Add(table, keys::DebuggerMemAddress(n));
        Add(table, keys::DebuggerMemType(n));
    }
    for (int n = 1; n <= static_cast<int>(keys::kBreakpointElements.size()); ++n) {
        Add(table, keys::BreakpointAddress(n));
        Add(table, keys::BreakpointActive(n));
    }
    return table;
}

}  // namespace

const std::vector<KeyDescription>& AllKeys() {
    static const std::vector<KeyDescription> table = BuildTable();
    return table;
}

GroupSet GroupsChangedBy(const std::vector<KeyPlace>& changed) {
    GroupSet groups;
    for (const KeyPlace& place : changed) {
        for (const KeyDescription& key : AllKeys()) {
            if (key.place == place) groups.Add(key.groups);
        }
    }
    return groups;
}

}  // namespace config
