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

// Reads the text of a five-character address field: in hexadecimal its first character (the
// fixed "#") stands for "0x"; blanks (unfilled positions) count as "0". Returns 0 to 65535, or -1
// for anything unreadable or out of range.
int32_t ParseNumber(std::string_view text, bool hexadecimal);

}  // namespace assembler
