#include "debugger/InlineAssembler.h"

#include <cctype>

#include "asm/NumberFormat.h"
#include "debugger/Disassembler.h"
#include "debugger/LineAssembler.h"

namespace debugger {

using assembler::FormatNumber;

std::string InlineAsmAddressText(uint16_t address, DisplayFlags flags) {
    return FormatNumber(
        address,
        {.Word = true, .FixedWidth = true, .Hexadecimal = !flags.DecimalRadix, .HashPrefix = true});
}

std::string InlineAsmPrefill(ChipMemory& memory, uint16_t address, DisplayFlags flags) {
    // The code line from its fifteenth character sits after the five address characters; its
    // first two characters land on the field's fixed blanks.
    constexpr size_t kLineStart = 14;
    constexpr size_t kOnFixedBlanks = 2;
    uint16_t at = address;
    std::string line = FormatCodeLine(memory, at, flags);
    std::string text = line.size() > kLineStart + kOnFixedBlanks
                           ? line.substr(kLineStart + kOnFixedBlanks)
                           : std::string();
    const size_t width = flags.Z80Notation ? kInlineAsmWidthZ80 : kInlineAsmWidth8080;
    text.resize(width, ' ');
    for (char& c : text) {
        auto u = static_cast<unsigned char>(c);
        c = static_cast<char>(flags.Z80Notation ? std::tolower(u) : std::toupper(u));
    }
    return text;
}

InlineAsmOutcome InlineAsmEnter(ChipMemory& memory, uint16_t address, std::string_view text,
                                bool z80) {
    uint8_t opcode = 0;
    uint16_t operand = 0;
    int result = z80 ? AssembleZ80(text, opcode, operand) : Assemble8080(text, opcode, operand);
    InlineAsmOutcome outcome;
    if (result >= 0) {
        outcome.FailurePosition = result;
        outcome.NextAddress = address;
        return outcome;
    }
    outcome.Length = -result;
    memory.Write(address, opcode);
    const auto next = static_cast<uint16_t>(address + 1);
    if (outcome.Length == 2) memory.Write(next, static_cast<uint8_t>(operand));
    if (outcome.Length == 3) memory.WriteWord(next, operand);
    outcome.NextAddress = static_cast<uint16_t>(address + outcome.Length);
    return outcome;
}

}  // namespace debugger
