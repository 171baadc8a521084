#include "debugger/InstructionTrace.h"

#include <array>
#include <cstdio>

#include "debugger/Disassembler.h"
#include "machine/InstructionSet.h"

namespace debugger {

std::string FormatRegisterLine(const ChipCpu8080& cpu, int64_t ticks) {
    char line[96];
    std::snprintf(line, sizeof line, "A=%02X F=%02X BC=%04X DE=%04X HL=%04X SP=%04X T=%lld", cpu.A,
                  cpu.F, cpu.BC(), cpu.DE(), cpu.HL(), cpu.SP, static_cast<long long>(ticks));
    return line;
}

std::string FormatTraceLine(const ChipCpu8080& cpu, const ChipMemory& memory, int64_t ticks) {
    if (cpu.ResetPending || (cpu.Halted && !cpu.IntAck)) return std::string();
    std::array<uint8_t, 3> bytes{};
    if (cpu.IntAck) {
        InterruptController* unit = cpu.Controller();
        // Without a unit the processor reads FF from the bus: RST 7.
        bytes[0] = unit != nullptr ? unit->InterruptInstruction(0) : 0xFF;
        const int length = isa::InstructionLength[bytes[0]];
        for (int i = 1; i < length && unit != nullptr; ++i) {
            bytes[static_cast<size_t>(i)] = unit->InterruptInstruction(i);
        }
    } else {
        for (int i = 0; i < 3; ++i)
            bytes[static_cast<size_t>(i)] = memory.Peek(static_cast<uint16_t>(cpu.PC + i));
    }
    // " #0100 CD0002   CALL #0200": the listing's line without its address column.
    const std::string code = FormatCodeBytes(cpu.PC, bytes, {});
    char address[8];
    std::snprintf(address, sizeof address, "%04X", cpu.PC);
    std::string line = address;
    line += ' ';
    line += code.substr(7);
    if (line.size() < 34) line.resize(34, ' ');
    line += ' ';
    line += FormatRegisterLine(cpu, ticks);
    return line;
}

}  // namespace debugger
