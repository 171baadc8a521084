#include "debugger/DebuggerCore.h"

namespace debugger {

bool DebuggerCore::AnyBreakpointActive() const {
    for (const BreakpointSlot& slot : Breakpoints) {
        if (slot.active != 0) return true;
    }
    return false;
}

bool DebuggerCore::WatchReturnStep(int32_t& ticks) {
    if (cpu_ == nullptr || memory_ == nullptr) {
        ticks = 0;
        return false;
    }
    uint8_t opcode = memory_->Read(cpu_->PC);
    ticks = cpu_->Step();
    // A conditional return that took the long timing was taken.
    bool isReturn = opcode == 0xC9 || opcode == 0xD9 || ((opcode & 0xC7) == 0xC0 && ticks >= 11);
    if (!isReturn) return false;
    int32_t state = DebuggerState.load();
    if (state == kSteppingOver && cpu_->SP == ReturnSP) {
        cpu_->PrevPC = SavedPrevPC;
        cpu_->CurPC = SavedCurPC;
        return true;
    }
    return state == kSteppingOut && cpu_->SP > ReturnSP;
}

}  // namespace debugger
