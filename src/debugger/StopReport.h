#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "debugger/DebuggerCore.h"
#include "debugger/DisplayFlags.h"
#include "machine/ChipMemory.h"

// The parts of the debugger window's texts about where the machine is and how it got there:
// the call stack's lines and the pieces of the stop reason. The sentences round them are the
// language file's.
namespace debugger {

class SymbolTable;

// The instruction at `address` as the listing writes it, without its address and bytes:
// "STA #4020".
std::string InstructionText(ChipMemory& memory, uint16_t address, DisplayFlags flags,
                            const SymbolTable* symbols = nullptr);

// An address, with the label it is at or after when there is a table: "#0105", "#0105 MAIN+5".
std::string AddressText(uint16_t address, DisplayFlags flags, const SymbolTable* symbols);

// One line per frame, innermost first: "#0105 -> #0200", the target followed by
// `interruptMark` for an interrupt.
std::vector<std::string> CallStackLines(const std::vector<CallFrame>& frames, DisplayFlags flags,
                                        const SymbolTable* symbols,
                                        const std::string& interruptMark);

}  // namespace debugger
