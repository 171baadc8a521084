#include "machine/SdRomPattern.h"

#include "machine/SdRomNames.h"

SdRomPattern::SdRomPattern(std::string_view text) {
    std::string lowered;
    for (char ch : text) {
        if (ch == '*' && !lowered.empty() && lowered.back() == '*') continue;
        lowered += static_cast<char>(sdrom::LowerLatin1(static_cast<uint8_t>(ch)));
    }
    const size_t dot = lowered.rfind('.');
    name_ = lowered.substr(0, dot);
    extension_ = dot == std::string::npos ? std::string() : lowered.substr(dot + 1);
    if (name_.empty()) name_ = "*";
    if (extension_.empty()) extension_ = "*";
}

bool SdRomPattern::Matches(std::string_view fileName) const {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return extension_ == "*" && Glob(name_, fileName);
    return Glob(name_, fileName.substr(0, dot)) && Glob(extension_, fileName.substr(dot + 1));
}

bool SdRomPattern::HasWildcards() const {
    return name_.find_first_of("*?") != std::string::npos ||
           extension_.find_first_of("*?") != std::string::npos;
}

// Greedy with one point to return to: the last "*" seen. Linear in practice and never worse
// than pattern length times text length, whatever the machine sends.
bool SdRomPattern::Glob(std::string_view pattern, std::string_view text) {
    size_t p = 0, t = 0;
    size_t starAt = std::string_view::npos, resumeAt = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || static_cast<uint8_t>(pattern[p]) ==
                                             sdrom::LowerLatin1(static_cast<uint8_t>(text[t])))) {
            ++p;
            ++t;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}
