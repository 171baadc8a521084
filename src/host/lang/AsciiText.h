#pragma once

#include <string>
#include <string_view>

// Letter case and trimming by ASCII rules only: the names they serve (INI sections and keys,
// file extensions, language names) are ASCII, and a locale must never change how a setting reads.
namespace text {

constexpr char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr char ToUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

inline std::string ToLowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ToLowerAscii(c);
    return out;
}

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
    }
    return true;
}

constexpr bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// Characters 1 to 32: blanks, tabs, line ends and the other control characters an INI line may
// carry at its ends (a stray form feed or a NUL-free control byte from an odd editor).
constexpr bool IsControlOrBlank(char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

constexpr std::string_view TrimControl(std::string_view s) {
    while (!s.empty() && IsControlOrBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsControlOrBlank(s.back())) s.remove_suffix(1);
    return s;
}

constexpr bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr std::string_view TrimXmlBlanks(std::string_view s) {
    while (!s.empty() && IsXmlBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsXmlBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace text
