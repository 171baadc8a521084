#include "host/files/FileFilter.h"

#include "host/lang/AsciiText.h"

namespace {

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

std::vector<std::string> Patterns(std::string_view text) {
    std::vector<std::string> patterns;
    for (std::string_view part : SplitAt(text, ';')) {
        part = text::TrimControl(part);
        if (part.empty()) continue;
        patterns.emplace_back(part == "*.*" ? "*" : part);
    }
    return patterns;
}

std::string Joined(const std::vector<std::string>& patterns) {
    std::string joined;
    for (const std::string& p : patterns) joined += (joined.empty() ? "" : ";") + p;
    return joined;
}

}  // namespace

std::vector<FileFilter> ParseFileFilter(std::string_view text) {
    std::vector<FileFilter> filters;
    if (text::TrimControl(text).empty()) return filters;
    std::vector<std::string_view> parts = SplitAt(text, '|');
    for (size_t i = 0; i < parts.size(); i += 2) {
        FileFilter filter;
        filter.description = std::string(text::TrimControl(parts[i]));
        if (i + 1 < parts.size()) filter.patterns = Patterns(parts[i + 1]);
        if (filter.description.empty() && filter.patterns.empty()) continue;  // a stray "|"
        if (filter.patterns.empty()) filter.patterns.push_back("*");
        if (filter.description.empty()) filter.description = Joined(filter.patterns);
        filters.push_back(std::move(filter));
    }
    return filters;
}
