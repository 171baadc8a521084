#include "debugger/InstructionAccess.h"

namespace debugger {
namespace {

struct Planner {
    PlannedAccesses out;
    void Add(uint16_t address, bool write, bool port = false, int8_t ifMoved = 0) {
        out.list[static_cast<size_t>(out.count++)] = {address, write, port, ifMoved};
    }
    void Word(uint16_t address, bool write, int8_t ifMoved = 0) {
        Add(address, write, false, ifMoved);
        Add(static_cast<uint16_t>(address + 1), write, false, ifMoved);
    }
};

}  // namespace

PlannedAccesses PlanAccesses(const ChipCpu8080& cpu, const ChipMemory& memory) {
    Planner p;
    const uint16_t sp = cpu.SP;
    const auto below = [sp](int n) { return static_cast<uint16_t>(sp - n); };
    if (cpu.IntAck) {
        // The interrupt unit supplies a restart (or a call): the return address goes on the
        // stack, high byte first.
        p.Word(below(2), true, -2);
        return p.out;
    }
    const uint16_t pc = cpu.PC;
    const uint8_t op = memory.Peek(pc);
    const auto operand = [&] {
        return static_cast<uint16_t>(memory.Peek(static_cast<uint16_t>(pc + 1)) |
                                     memory.Peek(static_cast<uint16_t>(pc + 2)) << 8);
    };
    const uint16_t hl = cpu.HL();
    if (op == 0x76) return p.out;  // HLT shares the MOV M,M slot
    if ((op & 0xC0) == 0x40) {
        // MOV: source M in the low bits, destination M in the middle ones.
        if ((op & 0x07) == 6) p.Add(hl, false);
        if ((op & 0x38) == 0x30) p.Add(hl, true);
        return p.out;
    }
    if ((op & 0xC0) == 0x80) {
        if ((op & 0x07) == 6) p.Add(hl, false);  // ADD M ... CMP M
        return p.out;
    }
    switch (op) {
        case 0x34:  // INR M
        case 0x35:  // DCR M
            p.Add(hl, false);
            p.Add(hl, true);
            break;
        case 0x36: p.Add(hl, true); break;          // MVI M
        case 0x02: p.Add(cpu.BC(), true); break;    // STAX B
        case 0x12: p.Add(cpu.DE(), true); break;    // STAX D
        case 0x0A: p.Add(cpu.BC(), false); break;   // LDAX B
        case 0x1A: p.Add(cpu.DE(), false); break;   // LDAX D
        case 0x22: p.Word(operand(), true); break;  // SHLD
        case 0x2A: p.Word(operand(), false); break; // LHLD
        case 0x32: p.Add(operand(), true); break;   // STA
        case 0x3A: p.Add(operand(), false); break;  // LDA
        case 0xE3:                                  // XTHL
            p.Word(sp, false);
            p.Word(sp, true);
            break;
        case 0xD3: p.Add(memory.Peek(static_cast<uint16_t>(pc + 1)), true, true); break;   // OUT
        case 0xDB: p.Add(memory.Peek(static_cast<uint16_t>(pc + 1)), false, true); break;  // IN
        case 0xCD:
        case 0xDD:
        case 0xED:
        case 0xFD: p.Word(below(2), true); break;  // CALL and its undocumented twins
        case 0xC9:
        case 0xD9: p.Word(sp, false); break;  // RET and its twin
        default:
            switch (op & 0xCF) {
                case 0xC5: p.Word(below(2), true); return p.out;  // PUSH
                case 0xC1: p.Word(sp, false); return p.out;       // POP
                default: break;
            }
            switch (op & 0xC7) {
                case 0xC7: p.Word(below(2), true); break;      // RST
                case 0xC4: p.Word(below(2), true, -2); break;  // Ccc
                case 0xC0: p.Word(sp, false, 2); break;        // Rcc
                default: break;
            }
            break;
    }
    return p.out;
}

}  // namespace debugger
