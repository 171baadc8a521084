#include "debugger/Disassembler.h"

#include <cstdio>

#include "asm/NumberFormat.h"
#include "debugger/SymbolTable.h"
#include "machine/InstructionSet.h"

namespace debugger {

using assembler::FormatNumber;

std::string_view GetMnemonic(uint8_t opcode, bool z80) {
    const isa::MnemonicText& entry = z80 ? isa::kMnemonicsZ80[opcode] : isa::kMnemonics8080[opcode];
    return std::string_view(entry.data());
}

size_t FindOperandMarker(std::string_view entry, bool z80) {
    for (char marker : {'@', '%', '*', '&'}) {
        if (marker == '@' && !z80) continue;
        size_t at = entry.find(marker);
        if (at != std::string_view::npos) return at;
    }
    return std::string_view::npos;
}

std::string FormatCodeLine(ChipMemory& memory, uint16_t& address, DisplayFlags flags,
                           const SymbolTable* symbols) {
    const uint16_t start = address;
    const uint8_t opcode = memory.Read(start);
    const int length = isa::InstructionLength[opcode];
    uint8_t second = 0;
    uint8_t third = 0;
    if (length >= 2) second = memory.Read(static_cast<uint16_t>(start + 1));
    if (length == 3) third = memory.Read(static_cast<uint16_t>(start + 2));
    address = static_cast<uint16_t>(start + length);
    return FormatCodeBytes(start, {opcode, second, third}, flags, symbols);
}

std::string FormatCodeBytes(uint16_t address, std::array<uint8_t, 3> bytes, DisplayFlags flags,
                            const SymbolTable* symbols) {
    const bool hex = !flags.DecimalRadix;
    const uint8_t opcode = bytes[0];
    const int length = isa::InstructionLength[opcode];
    const uint8_t second = bytes[1];
    const uint8_t third = bytes[2];

    std::string line = " ";
    line += FormatNumber(
        address, {.Word = true, .FixedWidth = true, .Hexadecimal = hex, .HashPrefix = true});
    line += ' ';
    char text[16];
    std::snprintf(text, sizeof text, "%02X", opcode);
    line += text;
    for (int i = 2; i <= 3; ++i) {
        if (length >= i) {
            std::snprintf(text, sizeof text, "%02X", i == 2 ? second : third);
            line += text;
        } else {
            line += "  ";
        }
    }
    line += "  ";

    std::string_view entry = GetMnemonic(opcode, flags.Z80Notation);
    size_t marker = FindOperandMarker(entry, flags.Z80Notation);
    if (marker == std::string_view::npos) {
        line += entry;
    } else {
        int32_t value = 0;
        bool word = false;
        switch (entry[marker]) {
            case '@': value = opcode & 0x38; break;
            case '%': value = second; break;
            default: value = second | third << 8, word = true; break;
        }
        line += entry.substr(0, marker);
        // Only a whole word can be an address; a byte operand that equals a label is a number.
        const std::string* name =
            word && symbols != nullptr ? symbols->NameAt(static_cast<uint16_t>(value)) : nullptr;
        line += name != nullptr
                    ? *name
                    : FormatNumber(value, {.Word = word, .Hexadecimal = hex, .HashPrefix = true});
        line += entry.substr(marker + 1);
    }
    return line;
}

uint16_t NextInstructionAddress(ChipMemory& memory, uint16_t address, int count) {
    for (int i = 0; i < count; ++i) {
        address = static_cast<uint16_t>(address + isa::InstructionLength[memory.Read(address)]);
    }
    return address;
}

uint16_t PreviousInstructionAddress(ChipMemory& memory, uint16_t address, int count) {
    if (count < 0) count = 0;
    if (count > 0x10000) count = 0x10000;  // more instructions than addresses says nothing new
    // Try the starts from the farthest a run of three-byte instructions could begin, moving up
    // until the walk no longer falls short; each try ends at least one byte further on.
    int32_t start = static_cast<int32_t>(address) - 3 * count;
    for (;;) {
        int32_t walk = start;
        for (int i = 0; i < count; ++i) {
            walk += isa::InstructionLength[memory.Read(static_cast<uint16_t>(walk))];
        }
        if (walk >= static_cast<int32_t>(address)) break;
        ++start;
    }
    return static_cast<uint16_t>(start);
}

}  // namespace debugger
