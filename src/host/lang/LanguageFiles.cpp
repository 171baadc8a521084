#include "host/lang/LanguageFiles.h"

#include <algorithm>
#include <filesystem>

#include "host/files/ProgramPaths.h"
#include "host/lang/AsciiText.h"

namespace lang {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLanguageFolderName = "Lang";
constexpr std::string_view kLanguageExtension = ".ini";
constexpr std::string_view kFlagExtension = ".bmp";

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string ShownText(std::string_view name) {
    std::string shown = text::ToLowerAscii(name);
    if (!shown.empty()) shown[0] = text::ToUpperAscii(shown[0]);
    return shown;
}

bool EndsWithIgnoringCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           text::EqualsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

}  // namespace

std::string FindIgnoringCase(const std::string& folder, std::string_view name) {
    const std::string base = WithSlash(folder);
    std::error_code ec;
    const std::string exact = base + std::string(name);
    if (fs::exists(exact, ec)) return exact;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (text::EqualsIgnoreCase(entry, name)) return base + entry;
    }
    return {};
}

std::string LanguageFolder() {
    const std::string& programFolder = program::ProgramFolder();
    std::string folder = FindIgnoringCase(programFolder, kLanguageFolderName);
    return WithSlash(folder.empty() ? programFolder + std::string(kLanguageFolderName) : folder);
}

std::string FindLanguageFile(const std::string& folder, std::string_view name) {
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
        return {};
    }
    std::string path =
        FindIgnoringCase(folder, std::string(name) + std::string(kLanguageExtension));
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec) ? path : std::string();
}

std::vector<LanguageEntry> ListLanguages(const std::string& folder) {
    std::vector<LanguageEntry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(WithSlash(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string fileName = it->path().filename().string();
        if (!EndsWithIgnoringCase(fileName, kLanguageExtension)) continue;
        const std::string base = fileName.substr(0, fileName.size() - kLanguageExtension.size());
        LanguageEntry entry;
        entry.name = text::ToLowerAscii(base);
        entry.shownText = ShownText(base);
        entry.filePath = it->path().string();
        entry.flagPath = FindIgnoringCase(folder, base + std::string(kFlagExtension));
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const LanguageEntry& a, const LanguageEntry& b) {
        return a.shownText != b.shownText ? a.shownText < b.shownText : a.filePath < b.filePath;
    });
    return entries;
}

int FindLanguageEntry(const std::vector<LanguageEntry>& entries, std::string_view storedName) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (text::EqualsIgnoreCase(entries[i].shownText, storedName)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace lang
