#include "asm/NumberFormat.h"

#include <cstdio>

namespace assembler {

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string FormatNumber(int32_t value, NumberStyle style) {
    uint32_t v = static_cast<uint32_t>(value) & (style.Word ? 0xFFFFu : 0xFFu);
    char digits[16];
    if (!style.Hexadecimal) {
        if (style.FixedWidth) {
            std::snprintf(digits, sizeof digits, style.Word ? "%05u" : "%03u", v);
        } else {
            std::snprintf(digits, sizeof digits, "%u", v);
        }
        return digits;
    }
    std::snprintf(digits, sizeof digits, style.Word ? "%04X" : "%02X", v);
    std::string text = style.HashPrefix ? "#" : "";
    // An assembler takes a token that starts with a letter for a name, hence the leading zero.
    bool letterFirst = v > (style.Word ? 0x9FFFu : 0x9Fu);
    if (style.AsmSuffix && letterFirst) text += '0';
    text += digits;
    if (style.AsmSuffix) text += 'H';
    return text;
}

int32_t ParseNumber(std::string_view text, bool hexadecimal) {
    if (text.empty()) return -1;
    size_t first = 0;
    int base = 10;
    if (hexadecimal) {
        first = 1;  // the mask's fixed "#", whatever the field returned in its place
        base = 16;
        if (text.size() == 1) return -1;  // "0x" alone is no number
    }
    int32_t value = 0;
    for (size_t i = first; i < text.size(); ++i) {
        char c = text[i] == ' ' ? '0' : text[i];
        int digit = base == 16 ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) return -1;
        value = value * base + digit;
        if (value > 0xFFFF) return -1;
    }
    return value;
}

}  // namespace assembler
