#include "host/lang/IniFile.h"

#include <cstdint>

#include "host/config/ConfigAccessors.h"
#include "host/files/AtomicFile.h"
#include "host/lang/AsciiText.h"
#include "host/lang/TextDecoding.h"

namespace {

std::string_view CutComment(std::string_view value) {
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '"') quoted = !quoted;
        if (value[i] == ';' && !quoted) return text::TrimControl(value.substr(0, i));
    }
    return value;
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

bool IniFile::LoadFile(const std::string& path) {
    Clear();
    std::string bytes;
    if (files::ReadWholeFile(path, kMaxFileSize, bytes) != files::ReadResult::Ok) return false;
    LoadText(bytes);
    return true;
}

void IniFile::Clear() {
    sections_.clear();
    sectionIndex_.clear();
    keyIndex_.clear();
}

// Look-ups go through hash indexes so that even a hostile file of a million sections or keys
// reads in linear time.
size_t IniFile::SectionNamed(std::string_view name) {
    auto [it, added] = sectionIndex_.try_emplace(text::ToLowerAscii(name), sections_.size());
    if (added) {
        sections_.push_back({std::string(name), {}});
        keyIndex_.emplace_back();
    }
    return it->second;
}

void IniFile::LoadText(std::string_view bytes) {
    Clear();
    const std::string utf8 = text::DecodeToUtf8(bytes);
    std::string_view rest = utf8;
    size_t current = SIZE_MAX;
    while (!rest.empty()) {
        size_t end = rest.find_first_of("\r\n");
        std::string_view line = rest.substr(0, end);
        if (end == std::string_view::npos) {
            rest = {};
        } else {
            size_t next = end + 1;
            if (rest[end] == '\r' && next < rest.size() && rest[next] == '\n') ++next;
            rest.remove_prefix(next);
        }
        line = text::TrimControl(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            current = SectionNamed(text::TrimControl(line.substr(1, line.size() - 2)));
            continue;
        }
        size_t equals = line.find('=');
        if (current == SIZE_MAX || equals == std::string_view::npos) continue;
        std::string_view key = text::TrimControl(line.substr(0, equals));
        if (key.empty()) continue;
        std::string_view value = text::TrimControl(line.substr(equals + 1));
        value = StripQuotes(CutComment(value));
        std::vector<Entry>& entries = sections_[current].entries;
        keyIndex_[current].try_emplace(text::ToLowerAscii(key), entries.size());
        entries.push_back({std::string(key), std::string(value)});
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(text::ToLowerAscii(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const std::string* IniFile::Find(std::string_view section, std::string_view key) const {
    auto found = sectionIndex_.find(text::ToLowerAscii(section));
    if (found == sectionIndex_.end()) return nullptr;
    const Index& keys = keyIndex_[found->second];
    auto entry = keys.find(text::ToLowerAscii(key));
    return entry == keys.end() ? nullptr : &sections_[found->second].entries[entry->second].value;
}

std::string IniFile::Value(std::string_view section, std::string_view key,
                           std::string_view fallback) const {
    const std::string* value = Find(section, key);
    return value != nullptr ? *value : std::string(fallback);
}

int IniFile::IntValue(std::string_view section, std::string_view key, int fallback) const {
    const std::string* value = Find(section, key);
    int parsed = fallback;
    return value != nullptr && config::ParseConfigInt(*value, parsed) ? parsed : fallback;
}
