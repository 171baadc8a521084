#include "debugger/InlineAsmLine.h"

#include <cctype>

namespace debugger {

namespace {

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

size_t SkipBlanks(std::string_view text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

size_t SkipWord(std::string_view text, size_t at) {
    while (at < text.size() && !IsBlank(text[at])) ++at;
    return at;
}

}  // namespace

bool SplitInlineAsmLine(std::string_view text, InlineAsmLine& line) {
    line = InlineAsmLine{};
    line.EndPos = static_cast<int>(text.size());
    size_t mnemonicStart = SkipBlanks(text, 0);
    if (mnemonicStart == text.size()) return false;
    size_t mnemonicEnd = SkipWord(text, mnemonicStart);
    line.Mnemonic = text.substr(mnemonicStart, mnemonicEnd - mnemonicStart);
    line.Count = 1;

    size_t operandStart = SkipBlanks(text, mnemonicEnd);
    line.OperandPos = static_cast<int>(operandStart);
    if (operandStart == text.size()) return true;
    std::string_view word = text.substr(operandStart, SkipWord(text, operandStart) - operandStart);
    size_t comma = word.find(',');
    if (comma == std::string_view::npos) {
        line.First = word;
        line.Count = 2;
        return true;
    }
    line.First = word.substr(0, comma);
    line.Second = word.substr(comma + 1);
    line.CommaPos = static_cast<int>(operandStart + comma);
    line.AfterCommaPos = line.CommaPos + 1;
    line.Count = 3;
    return true;
}

bool ParseAsmNumber(std::string_view text, bool word, uint16_t& value) {
    int base = 10;
    if (!text.empty() && text[0] == '#') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    const uint32_t limit = word ? 0xFFFF : 0xFF;
    uint32_t result = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        if (digit < 0) return false;
        result = result * base + digit;
        if (result > limit) return false;
    }
    value = static_cast<uint16_t>(result);
    return true;
}

}  // namespace debugger
