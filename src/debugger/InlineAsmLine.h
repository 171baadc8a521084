#pragma once

#include <cstdint>
#include <string_view>

// The shape of one line typed into the debugger's inline assembler, common to both notations:
// a mnemonic word and an optional operand word, cut at its comma. The positions are where a
// failure points, so the debugger can select the offending character.
namespace debugger {

struct InlineAsmLine {
    std::string_view Mnemonic;
    std::string_view First;
    std::string_view Second;
    int Count = 0;          // 1 mnemonic only, 2 one operand, 3 two operands
    int OperandPos = 0;     // first character after the blanks that follow the mnemonic
    int CommaPos = 0;       // the comma, when there is one
    int AfterCommaPos = 0;  // just past the comma
    int EndPos = 0;         // length of the whole text, trailing blanks included
};

// Reads the text as a "%s %s" scan would: two blank-separated words, anything after the second
// ignored. False when there is no word at all.
bool SplitInlineAsmLine(std::string_view text, InlineAsmLine& line);

// A number as the inline assembler takes it: "#" and hexadecimal digits (either case), or decimal
// digits; no sign, no suffix; at most 65535 (word) or 255.
bool ParseAsmNumber(std::string_view text, bool word, uint16_t& value);

}  // namespace debugger
