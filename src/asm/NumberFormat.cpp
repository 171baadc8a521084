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

int32_t ReadFieldNumber(std::string_view text, bool hexadecimal) {
    const int base = hexadecimal ? 16 : 10;
    bool markAllowed = hexadecimal;
    bool anyDigit = false;
    int32_t value = 0;
    for (const char c : text) {
        if (c == ' ') continue;
        if (c == '#' && markAllowed && !anyDigit) {
            markAllowed = false;
            continue;
        }
        const int digit = hexadecimal ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) return -1;
        markAllowed = false;
        anyDigit = true;
        value = value * base + digit;
        if (value > kMaxFieldNumber) return -1;
    }
    return anyDigit ? value : -1;
}

}  // namespace assembler
