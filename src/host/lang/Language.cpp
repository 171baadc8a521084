#include "host/lang/Language.h"

#include "host/lang/LanguageFiles.h"

namespace lang {
namespace {

constexpr std::string_view kCharsetKey = "Charset";

// Replaces the first "%1" (and, when b is given, the first "%2") of the template in one pass,
// so neither inserted text is searched for the other placeholder.
std::string Substitute(std::string_view pattern, std::string_view a, const std::string_view* b) {
    size_t first = pattern.find("%1");
    size_t second = b != nullptr ? pattern.find("%2") : std::string_view::npos;
    std::string out;
    out.reserve(pattern.size() + a.size() + (b != nullptr ? b->size() : 0));
    size_t pos = 0;
    while (pos < pattern.size()) {
        if (pos == first) {
            out += a;
            pos += 2;
        } else if (pos == second) {
            out += *b;
            pos += 2;
        } else {
            out += pattern[pos++];
        }
    }
    return out;
}

}  // namespace

std::string WithLineBreaks(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\\') c = '\n';
    }
    return out;
}

bool Language::Load(const std::string& folder, std::string_view name) {
    Unload();
    name_ = std::string(name);
    loaded_ = true;
    const std::string path = FindLanguageFile(folder, name);
    return !path.empty() && file_.LoadFile(path);
}

void Language::Unload() {
    file_.Clear();
    name_.clear();
    loaded_ = false;
}

int Language::Charset() const {
    return file_.IntValue(kCommonSection, kCharsetKey, 0);
}

std::string Language::Text(std::string_view window, std::string_view key) const {
    const std::string* value = file_.Find(window, key);
    return value != nullptr ? WithLineBreaks(*value) : std::string();
}

Language& ActiveLanguage() {
    static Language language;
    return language;
}

bool LoadLanguageFile(std::string_view name) {
    return ActiveLanguage().Load(LanguageFolder(), name);
}

std::string LangText(std::string_view window, std::string_view key) {
    return ActiveLanguage().Text(window, key);
}

std::string LangText1(std::string_view window, std::string_view key, std::string_view a) {
    return Substitute(LangText(window, key), a, nullptr);
}

std::string LangText2(std::string_view window, std::string_view key, std::string_view a,
                      std::string_view b) {
    return Substitute(LangText(window, key), a, &b);
}

}  // namespace lang
