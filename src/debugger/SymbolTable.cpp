#include "debugger/SymbolTable.h"

#include <cctype>
#include <cstdio>

#include "debugger/DebugExpression.h"

namespace debugger {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '?' || c == '@';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The next blank-separated word from `at`, which moves past it.
std::string_view NextWord(std::string_view text, size_t& at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    const size_t start = at;
    while (at < text.size() && !IsBlank(text[at])) ++at;
    return text.substr(start, at - start);
}

using NameMap = std::map<std::string, uint16_t>;

std::string Put(NameMap& names, std::string_view name, uint16_t value) {
    if (!SymbolTable::IsName(name)) return QuoteInput(name) + " is not a name";
    if (name.size() > SymbolTable::kMaxNameLength) return "a name longer than 255 characters";
    names[Upper(name)] = value;
    if (names.size() > SymbolTable::kMaxNames) return "more than 65536 names";
    return {};
}

// "NAME EQU 1234H", the name also with the colon of a label.
std::string ReadSymbolsLine(std::string_view line, NameMap& names) {
    line = line.substr(0, line.find(';'));
    size_t at = 0;
    std::string_view name = NextWord(line, at);
    if (name.empty()) return {};
    const std::string_view equ = NextWord(line, at);
    const std::string_view value = NextWord(line, at);
    if (Upper(equ) != "EQU" || value.empty() || !NextWord(line, at).empty()) {
        return "expected NAME EQU 1234H, found " + QuoteInput(Trim(line));
    }
    if (name.size() > 1 && name.back() == ':') name.remove_suffix(1);
    const std::optional<uint16_t> number = ParseHexNumber(value, false);
    if (!number) return QuoteInput(value) + " is not a value such as 1234H, 0x1234 or #1234";
    return Put(names, name, *number);
}

// A listing line: the line number, the address (or "=" and the value of an EQU), up to four
// bytes, then the source from a fixed column. Longer data goes on in lines without a number.
std::string ReadListingLine(std::string_view line, NameMap& names) {
    size_t p = 0;
    while (p < line.size() && line[p] == ' ') ++p;
    const size_t digits = p;
    // The number stands right-aligned in five columns; a continuation leaves them blank.
    while (digits < 5 && p < line.size() && line[p] >= '0' && line[p] <= '9') ++p;
    if (p == digits) {
        for (char c : line) {
            if (!IsBlank(c) && !IsHexDigit(c))
                return "expected a listing line, found " + QuoteInput(Trim(line));
        }
        return {};
    }
    // Editors cut trailing blanks, so every column past the number may be missing.
    auto at = [&](size_t i) { return p + i < line.size() ? line[p + i] : ' '; };
    const bool equ = at(2) == '=';
    int hexDigits = 0;
    for (size_t i = 3; i < 7; ++i) hexDigits += IsHexDigit(at(i)) ? 1 : 0;
    bool blanks = at(0) == ' ' && at(1) == ' ' && (equ || at(2) == ' ') && at(7) == ' ' &&
                  at(8) == ' ' && at(17) == ' ' && at(18) == ' ';
    for (size_t i = 3; i < 7; ++i) blanks = blanks && (hexDigits == 4 || at(i) == ' ');
    for (size_t i = 9; i < 17; ++i) blanks = blanks && (at(i) == ' ' || IsHexDigit(at(i)));
    if (!blanks || (equ && hexDigits != 4)) {
        return "expected the address after the line number, found " + QuoteInput(Trim(line));
    }
    if (hexDigits != 4) return {};  // a line the assembler never reached
    const std::optional<uint16_t> value = ParseHexNumber(line.substr(p + 3, 4), true);
    const std::string_view source = p + 19 < line.size() ? line.substr(p + 19) : "";

    size_t n = 0;
    while (n < source.size() && IsBlank(source[n])) ++n;
    const size_t start = n;
    while (n < source.size() && IsNameChar(source[n])) ++n;
    const std::string_view name = source.substr(start, n - start);
    const bool label = n < source.size() && source[n] == ':';
    if (name.empty() || !IsNameStart(name[0])) return {};
    if (!equ) return label ? Put(names, name, *value) : std::string();
    // "NAME EQU" or "NAME: EQU"
    size_t after = label ? n + 1 : n;
    const std::string_view word = NextWord(source.substr(0, source.find(';')), after);
    return Upper(word) == "EQU" ? Put(names, name, *value) : std::string();
}

}  // namespace

SymbolTable::SymbolTable(const SymbolTable& other) : names_(other.names_) {
    Index();
}

SymbolTable& SymbolTable::operator=(const SymbolTable& other) {
    if (this != &other) {
        names_ = other.names_;
        Index();
    }
    return *this;
}

bool SymbolTable::IsName(std::string_view text) {
    if (text.empty() || !IsNameStart(text[0])) return false;
    for (char c : text) {
        if (!IsNameChar(c)) return false;
    }
    return true;
}

bool SymbolTable::Load(std::string_view text, std::string& error) {
    if (text.size() > kMaxFileBytes) {
        error = "the file is larger than 4 MB";
        return false;
    }
    NameMap read;
    bool decided = false;
    bool listing = false;
    size_t number = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        const std::string_view line = text.substr(at, end - at);
        at = end;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
        ++number;
        const std::string_view content = Trim(line);
        if (content.empty()) continue;
        if (!decided) {
            // A listing opens with its line number; a symbols file with a name or a comment.
            listing = content[0] >= '0' && content[0] <= '9';
            decided = true;
        }
        const std::string why = listing ? ReadListingLine(line, read) : ReadSymbolsLine(line, read);
        if (!why.empty()) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    names_ = std::move(read);
    Index();
    error.clear();
    return true;
}

void SymbolTable::Add(std::string name, uint16_t value) {
    if (name.empty()) return;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto [it, added] = names_.try_emplace(std::move(name), value);
    if (!added) {
        byAddress_.erase({it->second, &it->first});
        it->second = value;
    }
    byAddress_.insert({value, &it->first});
}

void SymbolTable::Clear() {
    byAddress_.clear();
    names_.clear();
}

std::optional<uint16_t> SymbolTable::Find(std::string_view name) const {
    const auto it = names_.find(Upper(name));
    if (it == names_.end()) return std::nullopt;
    return it->second;
}

const std::string* SymbolTable::NameAt(uint16_t address) const {
    const auto it = byAddress_.lower_bound(uint32_t{address});
    return it != byAddress_.end() && it->first == address ? it->second : nullptr;
}

std::string SymbolTable::Describe(uint16_t address, int reach) const {
    auto it = byAddress_.upper_bound(uint32_t{address});
    if (it == byAddress_.begin()) return {};
    const uint16_t base = (--it)->first;
    const int distance = address - base;
    if (distance > reach) return {};
    std::string out = *byAddress_.lower_bound(uint32_t{base})->second;
    if (distance == 0) return out;
    char digits[8];
    std::snprintf(digits, sizeof digits, distance <= 9 ? "%X" : "%XH", distance);
    // The assembler's way: a leading 0 keeps "0AH" from reading as a name.
    return out + (digits[0] > '9' ? "+0" : "+") + digits;
}

void SymbolTable::Index() {
    byAddress_.clear();
    for (const auto& [name, value] : names_) byAddress_.insert({value, &name});
}

}  // namespace debugger
