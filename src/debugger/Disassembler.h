#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "debugger/DisplayFlags.h"
#include "machine/ChipMemory.h"

// One-line disassembly and instruction boundaries, shared by the debugger's instruction panel and
// memory listing, the inline assembler and the disassembly to a file. Memory is read the way the
// processor reads it, so an unmapped page shows as FF and raises the memory's fault flag.
namespace debugger {

class SymbolTable;

// The mnemonic table entry of an opcode (leading blank or "!", mnemonic, operand markers).
std::string_view GetMnemonic(uint8_t opcode, bool z80);

// Position of the operand marker in a table entry, or npos. Markers are looked for in the order
// "@" (Z80 notation only), "%", "*", "&"; an entry holds at most one.
size_t FindOperandMarker(std::string_view entry, bool z80);

// The debugger's line for the instruction at `address`, which moves on past the instruction:
// " #1234 CD7856   CALL #5678" (address, the instruction's bytes in hexadecimal, the entry with
// its operand filled in). With a table, a 16-bit operand that is a label's address shows as the
// label ("CALL ADDIT").
std::string FormatCodeLine(ChipMemory& memory, uint16_t& address, DisplayFlags flags,
                           const SymbolTable* symbols = nullptr);
// The same line for an instruction whose bytes are already known (an interrupt acknowledge's,
// or ones read without touching the memory's fault state); bytes past its length are ignored.
std::string FormatCodeBytes(uint16_t address, std::array<uint8_t, 3> bytes, DisplayFlags flags,
                            const SymbolTable* symbols = nullptr);

// The address `count` instructions after `address`, wrapping at 64 KB.
uint16_t NextInstructionAddress(ChipMemory& memory, uint16_t address, int count);

// The lowest start from which `count` instructions reach or pass `address`. Code cannot be
// decoded backwards for certain; this is the guess the listing scrolls up by.
uint16_t PreviousInstructionAddress(ChipMemory& memory, uint16_t address, int count);

}  // namespace debugger
