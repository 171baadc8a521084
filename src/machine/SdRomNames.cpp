#include "machine/SdRomNames.h"

#include <vector>

namespace sdrom {

bool ValidCharacters(std::string_view name, NameKind kind) {
    for (char ch : name) {
        const auto c = static_cast<uint8_t>(ch);
        if (c < 0x20) return false;
        switch (c) {
            case ':':
            case '"':
            case '<':
            case '>':
            case '|': return false;
            case '/':
            case '\\':
                if (kind != NameKind::Path) return false;
                break;
            case '*':
            case '?':
                if (kind != NameKind::PlainWildcard) return false;
                break;
            default: break;
        }
    }
    return true;
}

bool NormalisePath(std::string_view path, std::string& normalised) {
    normalised.clear();
    if (!path.empty() && (path.front() == '/' || path.front() == '\\')) return false;
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    for (std::string_view part : parts) {
        if (!normalised.empty()) normalised += '/';
        normalised.append(part);
    }
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (char ch : latin1) {
        const auto c = static_cast<uint8_t>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8, bool* exact) {
    std::string out;
    bool allExact = true;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const int length = c >= 0xC2 && c < 0xE0   ? 2
                           : c >= 0xE0 && c < 0xF0 ? 3
                           : c >= 0xF0 && c < 0xF5 ? 4
                                                   : 0;
        uint32_t code = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        bool valid = length != 0 && i + static_cast<size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto follow = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
            valid = (follow & 0xC0) == 0x80;
            code = code << 6 | (follow & 0x3F);
        }
        if (valid && length == 2 && code <= 0xFF) {
            out += static_cast<char>(code);
        } else {
            out += '?';
            allExact = false;
        }
        i += valid ? static_cast<size_t>(length) : 1;
    }
    if (exact != nullptr) *exact = allExact;
    return out;
}

uint8_t LowerLatin1(uint8_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    return c;
}

}  // namespace sdrom
