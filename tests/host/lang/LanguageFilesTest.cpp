// Checks of the delivered language files against the program and against each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "host/lang/AsciiText.h"
#include "host/lang/IniFile.h"
#include "host/lang/Language.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kLangFolder = std::string(TEVRIN_SOURCE_DIR) + "/resources/Lang/";

IniFile Load(const std::string& name) {
    IniFile ini;
    EXPECT_TRUE(ini.LoadFile(kLangFolder + name)) << name;
    return ini;
}

std::set<std::string> Keys(const IniFile& ini) {
    std::set<std::string> keys;
    for (const auto& section : ini.Sections()) {
        for (const auto& entry : section.entries) {
            keys.insert(text::ToLowerAscii(section.name) + "/" + text::ToLowerAscii(entry.key));
        }
    }
    return keys;
}

struct TextRequest {
    std::string file;
    std::string window;  // empty when the code passes a variable
    std::string key;
};

std::string_view SkipSpaces(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    return s;
}

std::string_view Trimmed(std::string_view s) {
    s = SkipSpaces(s);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The window and key of a call starting right after "LangText", "LangText1" or "LangText2":
// false unless the key is a string literal. The window is empty when the code passes a name.
bool ParseCall(std::string_view rest, std::string& window, std::string& key) {
    if (!rest.empty() && (rest[0] == '1' || rest[0] == '2')) rest.remove_prefix(1);
    rest = SkipSpaces(rest);
    if (rest.empty() || rest[0] != '(') return false;
    size_t comma = rest.find_first_of(",()", 1);
    if (comma == std::string_view::npos || rest[comma] != ',') return false;
    std::string_view first = Trimmed(rest.substr(1, comma - 1));
    std::string_view second = SkipSpaces(rest.substr(comma + 1));
    if (second.empty() || second[0] != '"') return false;
    size_t close = second.find('"', 1);
    if (close == std::string_view::npos) return false;
    key = std::string(second.substr(1, close - 1));
    window.clear();
    if (first.size() >= 2 && first.front() == '"' && first.back() == '"') {
        window = std::string(first.substr(1, first.size() - 2));
    }
    return true;
}

// Every LangText, LangText1 and LangText2 call under src/ whose key is a string literal.
std::vector<TextRequest> TextRequestsInSources() {
    std::vector<TextRequest> requests;
    for (const auto& entry :
         fs::recursive_directory_iterator(std::string(TEVRIN_SOURCE_DIR) + "/src")) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".h") continue;
        std::ifstream in(entry.path());
        std::stringstream source;
        source << in.rdbuf();
        const std::string code = source.str();
        for (size_t at = code.find("LangText"); at != std::string::npos;
             at = code.find("LangText", at + 1)) {
            TextRequest request{entry.path().filename().string(), "", ""};
            if (ParseCall(std::string_view(code).substr(at + 8), request.window, request.key)) {
                requests.push_back(request);
            }
        }
    }
    return requests;
}

// The "%1" and "%2" marks of a text, in order.
std::string Placeholders(const std::string& text) {
    std::string marks;
    for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
        if (at + 1 < text.size() && (text[at + 1] == '1' || text[at + 1] == '2')) {
            marks += text[at + 1];
        }
    }
    std::sort(marks.begin(), marks.end());
    return marks;
}

TEST(LanguageFiles, EnglishHoldsEveryTextTheCodeAsksFor) {
    IniFile english = Load("english.ini");
    const std::vector<TextRequest> requests = TextRequestsInSources();
    ASSERT_FALSE(requests.empty()) << "the scan finds nothing: the file dialogs ask for a text";
    for (const TextRequest& request : requests) {
        if (!request.window.empty()) {
            EXPECT_NE(english.Find(request.window, request.key), nullptr)
                << request.file << " asks for [" << request.window << "] " << request.key;
            continue;
        }
        bool anywhere = false;
        for (const auto& section : english.Sections()) {
            anywhere = anywhere || english.Find(section.name, request.key) != nullptr;
        }
        EXPECT_TRUE(anywhere) << request.file << " asks for " << request.key;
    }
}

TEST(LanguageFiles, EveryLanguageHasTheKeysOfEnglishAndTheSamePlaceholders) {
    IniFile english = Load("english.ini");
    const std::set<std::string> englishKeys = Keys(english);
    int languages = 0;
    for (const auto& entry : fs::directory_iterator(kLangFolder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".ini" || name == "english.ini") continue;
        ++languages;
        IniFile other = Load(name);
        std::set<std::string> keys = Keys(other);
        for (const std::string& key : englishKeys)
            EXPECT_EQ(keys.count(key), 1u) << name << " lacks " << key;
        for (const std::string& key : keys)
            EXPECT_EQ(englishKeys.count(key), 1u) << name << " adds " << key;
        for (const auto& section : english.Sections()) {
            for (const auto& e : section.entries) {
                const std::string* translated = other.Find(section.name, e.key);
                if (translated == nullptr) continue;
                EXPECT_EQ(Placeholders(*translated), Placeholders(e.value))
                    << name << ": " << e.key;
            }
        }
    }
    EXPECT_GE(languages, 1) << "a second language proves that switching works";
}

// A stray ";" in a value silently cuts it; every value in the delivered files must read in
// full (quoted values lose their quotes and nothing else).
TEST(LanguageFiles, NoValueIsCutByAnAccidentalComment) {
    for (const auto& entry : fs::directory_iterator(kLangFolder)) {
        if (entry.path().extension() != ".ini") continue;
        std::ifstream in(entry.path());
        IniFile ini = Load(entry.path().filename().string());
        std::string line, section;
        while (std::getline(in, line)) {
            std::string_view trimmed = text::TrimControl(line);
            if (trimmed.empty() || trimmed[0] == ';') continue;
            if (trimmed[0] == '[') {
                section = std::string(trimmed.substr(1, trimmed.size() - 2));
                continue;
            }
            size_t equals = trimmed.find('=');
            ASSERT_NE(equals, std::string_view::npos) << line;
            std::string key(text::TrimControl(trimmed.substr(0, equals)));
            std::string raw(text::TrimControl(trimmed.substr(equals + 1)));
            const std::string* parsed = ini.Find(section, key);
            ASSERT_NE(parsed, nullptr) << line;
            if (raw.size() > 1 && raw.front() == '"' && raw.back() == '"')
                raw = raw.substr(1, raw.size() - 2);
            EXPECT_EQ(*parsed, raw) << entry.path().filename() << ": " << key;
        }
    }
}

TEST(LanguageFiles, SectionsAreWindowsAndKeysHaveThreeParts) {
    std::set<std::string> known = {text::ToLowerAscii(lang::kCommonSection)};
    for (std::string_view window : lang::kWindowSections) known.insert(text::ToLowerAscii(window));
    IniFile english = Load("english.ini");
    for (const auto& section : english.Sections()) {
        EXPECT_EQ(known.count(text::ToLowerAscii(section.name)), 1u) << section.name;
        if (text::EqualsIgnoreCase(section.name, lang::kCommonSection)) continue;
        for (const auto& entry : section.entries) {
            size_t first = entry.key.find('.');
            size_t second = first == std::string::npos ? first : entry.key.find('.', first + 1);
            EXPECT_TRUE(first != std::string::npos && second != std::string::npos && first > 0 &&
                        second > first + 1 && second + 1 < entry.key.size())
                << section.name << ": " << entry.key;
        }
    }
}

}  // namespace
