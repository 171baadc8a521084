#include "machine/ChipCpu8080P.h"

#include "machine/Cpu8080Timing.h"

ChipCpu8080P::ChipCpu8080P(ChipMemory& memory) : ChipCpu8080(memory) { SetMachineTiming(true); }

void ChipCpu8080P::SetMachineTiming(bool on) {
    machineTiming_ = on;
    if (on) {
        tickTable_ = timing8080::kMachine.data();
        takenReturnTicks_ = timing8080::kMachineTakenReturn;
        takenCallTicks_ = timing8080::kMachineTakenCall;
        parityMask_ = 1;
    } else {
        tickTable_ = timing8080::kStandard.data();
        takenReturnTicks_ = timing8080::kStandardTakenReturn;
        takenCallTicks_ = timing8080::kStandardTakenCall;
        parityMask_ = 0;
    }
}

int ChipCpu8080P::InstructionTicks(uint8_t opcode, bool taken) {
    if (!machineTiming_) return ChipCpu8080::InstructionTicks(opcode, taken);
    return TicksFor(opcode, taken);
}
