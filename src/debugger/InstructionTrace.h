#pragma once

#include <cstdint>
#include <string>

#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"

// The lines of an instruction trace and of a break report, for scripts and bug reports: what the
// processor is about to execute and its registers at that moment.
namespace debugger {

// "A=3E F=46 BC=0000 DE=1234 HL=FFFF SP=3000 T=1234567": the registers and the emulated ticks
// since the machine started.
std::string FormatRegisterLine(const ChipCpu8080& cpu, int64_t ticks);

// "0100 CD0002   CALL #0200          A=.. F=.. ...": the address, the instruction as the
// debugger's listing shows it in 8080 notation, and the register line. During an interrupt
// acknowledge the instruction is the one the interrupt unit supplies. Memory is looked at
// without reading through the processor's accessors, so tracing never raises a fault. Empty
// when the next Step executes nothing (a pending reset, a halted processor).
std::string FormatTraceLine(const ChipCpu8080& cpu, const ChipMemory& memory, int64_t ticks);

}  // namespace debugger
