#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "debugger/DisplayFlags.h"
#include "machine/ChipMemory.h"

// What the debugger's one-line assembler field does with memory, apart from the widget: the text
// it starts with and the storing of an accepted instruction. The field shows the address as
// fixed text followed by two fixed blanks; only the instruction part is edited.
namespace debugger {

inline constexpr int kInlineAsmFixedWidth = 7;  // address text and two blanks
inline constexpr int kInlineAsmWidth8080 = 13;  // editable characters
inline constexpr int kInlineAsmWidthZ80 = 15;

// The address as the field shows it: "#1234" or "04660".
std::string InlineAsmAddressText(uint16_t address, DisplayFlags flags);

// The editable text that starts the field when it is opened to change the instruction already
// at `address`: its mnemonic and operands as the debugger shows them (an undocumented opcode's
// "!" falls on a fixed blank and is dropped), in the notation's case, padded with blanks.
std::string InlineAsmPrefill(ChipMemory& memory, uint16_t address, DisplayFlags flags);

struct InlineAsmOutcome {
    int FailurePosition = -1;  // index in the editable text, or -1 when accepted
    int Length = 0;
    uint16_t NextAddress = 0;  // where the field moves on to
};

// Assembles `text` in the given notation and stores the bytes at `address` (wrapping at 64 KB)
// with the processor's write accessors: a write into ROM or an unmapped page is refused by the
// memory, which raises its fault flag, and the field still moves on.
InlineAsmOutcome InlineAsmEnter(ChipMemory& memory, uint16_t address, std::string_view text,
                                bool z80);

}  // namespace debugger
