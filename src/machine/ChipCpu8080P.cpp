#include "machine/ChipCpu8080P.h"

ChipCpu8080P::ChipCpu8080P(ChipMemory& memory) : ChipCpu8080(memory) {
    SetMachineTiming(true);
}

void ChipCpu8080P::SetMachineTiming(bool on) {
    machineTiming_ = on;
    machineTicks_ = on;
}

int ChipCpu8080P::InstructionTicks(uint8_t opcode, bool taken) {
    if (!machineTiming_) return ChipCpu8080::InstructionTicks(opcode, taken);
    return TicksFor(opcode, taken);
}
