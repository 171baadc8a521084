#include "frontend/ManualPages.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace manual {

namespace {

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// The level of an ATX heading (1 to 6), none for any other line. Up to three blanks may
// stand before the marks, as Markdown allows.
std::optional<int> HeadingLevel(std::string_view line) {
    size_t at = 0;
    while (at < line.size() && at < 3 && line[at] == ' ') ++at;
    size_t marks = 0;
    while (at + marks < line.size() && line[at + marks] == '#') ++marks;
    if (marks == 0 || marks > 6) return std::nullopt;
    if (at + marks < line.size() && line[at + marks] != ' ' && line[at + marks] != '\t')
        return std::nullopt;
    return static_cast<int>(marks);
}

bool IsFence(std::string_view line) {
    size_t at = line.find_first_not_of(' ');
    if (at == std::string_view::npos || at > 3) return false;
    line.remove_prefix(at);
    return line.starts_with("```") || line.starts_with("~~~");
}

}  // namespace

std::string ManualPath(const std::string& folder, std::string_view translation) {
    const bool plainName = !translation.empty() &&
                           translation.find('/') == std::string_view::npos && translation != "." &&
                           translation != "..";
    if (plainName) {
        std::string translated = folder + std::string(translation);
        if (IsFile(translated)) return translated;
    }
    std::string english = folder + kEnglishFile;
    return IsFile(english) ? english : std::string();
}

std::string Section(std::string_view markdown, std::string_view anchor) {
    const std::string mark = "<a name=\"" + std::string(anchor) + "\">";
    std::string section;
    std::optional<int> level;
    bool inCode = false;
    size_t start = 0;
    while (start < markdown.size()) {
        size_t end = markdown.find('\n', start);
        if (end == std::string_view::npos) end = markdown.size();
        std::string_view line = markdown.substr(start, end - start);
        start = end + 1;
        std::optional<int> heading = inCode ? std::nullopt : HeadingLevel(line);
        if (IsFence(line)) inCode = !inCode;
        if (!level) {
            if (heading && line.find(mark) != std::string_view::npos)
                level = heading;
            else
                continue;
        } else if (heading && *heading <= *level) {
            break;
        }
        section.append(line);
        section.push_back('\n');
    }
    return section;
}

}  // namespace manual
