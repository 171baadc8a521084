#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How every debugger view, tool window and listing writes and reads numbers. Users switch the
// debugger between hexadecimal ("#1F" style) and decimal, and the same value must look the same
// in the register panel, the listing, the search dialog and a disassembly file.
namespace assembler {

struct NumberStyle {
    bool Word = false;        // 16-bit (four hex / five decimal digits) rather than 8-bit
    bool FixedWidth = false;  // decimal with leading zeros; hexadecimal is always fixed
    bool Hexadecimal = true;
    bool AsmSuffix = false;   // hexadecimal only: "0FFH", readable by an assembler
    bool HashPrefix = false;  // hexadecimal only: "#FF"
};

// The value is cut to 8 or 16 bits first, so -1 shows as FF / FFFF.
std::string FormatNumber(int32_t value, NumberStyle style);

// Reads the digits typed into a number field exactly as the field shows them: blanks (the
// unfilled places of a masked field) are skipped, never read as zeros, so "#1F  " is 0x1F and
// "100  " is 100; in hexadecimal one leading "#" is the notation's mark. Returns the value, or
// -1 for a text without digits, a character that is no digit of the notation, or a value above
// kMaxFieldNumber.
inline constexpr int32_t kMaxFieldNumber = 0xFFFFFF;
int32_t ReadFieldNumber(std::string_view text, bool hexadecimal);

}  // namespace assembler
