#include "debugger/DebuggerCore.h"

#include "debugger/Disassembler.h"

namespace debugger {
namespace {

bool IsCallOrRestart(uint8_t opcode) {
    // CD and its undocumented twins DD, ED, FD; the conditional calls; the restarts.
    return opcode == 0xCD || opcode == 0xDD || opcode == 0xED || opcode == 0xFD ||
           (opcode & 0xC7) == 0xC4 || (opcode & 0xC7) == 0xC7;
}

bool IsReturn(uint8_t opcode) {
    return opcode == 0xC9 || opcode == 0xD9 || (opcode & 0xC7) == 0xC0;
}

}  // namespace

bool DebuggerCore::AnyBreakpointActive() const {
    for (const BreakpointSlot& slot : Breakpoints) {
        if (slot.active != 0) return true;
    }
    return false;
}

void DebuggerCore::AddExtraBreakpoint(uint16_t address) {
    extraBreakAt_[address] = true;
    extraBreaks_ = true;
}

void DebuggerCore::ClearExtraBreakpoints() {
    extraBreakAt_.assign(0x10000, false);
    extraBreaks_ = false;
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

void DebuggerCore::Stop() {
    Breakpoints[0] = {};
    DebuggerState = kStopped;
    errand_ = Errand::None;
}

bool DebuggerCore::Break() {
    const int32_t state = DebuggerState.load();
    if (state == kStopped || state == kBreakRequested) return false;
    // Only the window's thread writes anything but 5, so this cannot undo a resume or a stop
    // being written meanwhile; the run loop writes 5 itself at most.
    DebuggerState = kBreakRequested;
    return true;
}

void DebuggerCore::StepOverBreakpoint() {
    // Leaving a breakpoint where the machine stands: without this step it would stop there
    // again before executing anything.
    if (IsBreakpoint(cpu_->PC)) OutsideStep();
}

void DebuggerCore::Run() {
    errand_ = Errand::None;
    if (DebuggerState.load() != kStopped || cpu_ == nullptr) return;
    Breakpoints[0].active = 0;
    StepOverBreakpoint();
    DebuggerState = kResumeRequested;
}

void DebuggerCore::Step() {
    if (cpu_ == nullptr) return;
    OutsideStep();
    Stop();
}

void DebuggerCore::OutsideStep() {
    ++OutsideCalls;
    if (cpu_->Step() != 0) ++OutsideSteps;
}

bool DebuggerCore::StepOver() {
    if (cpu_ == nullptr || memory_ == nullptr) return false;
    const uint16_t start = cpu_->PC;
    const uint8_t opcode = memory_->Read(start);
    if (!IsCallOrRestart(opcode)) {
        Step();
        return false;
    }
    ReturnSP = cpu_->SP;
    Breakpoints[0].active = 0;
    StepOverBreakpoint();
    Breakpoints[0] = {NextInstructionAddress(*memory_, start, 1), 1};
    DebuggerState = kSteppingOver;
    SavedPrevPC = cpu_->CurPC;
    SavedCurPC = start;
    errand_ = Errand::StepOver;
    return true;
}

bool DebuggerCore::StepOut() {
    if (cpu_ == nullptr || memory_ == nullptr) return false;
    if (IsReturn(memory_->Read(cpu_->PC))) {
        Step();
        return false;
    }
    ReturnSP = cpu_->SP;
    Breakpoints[0].active = 0;
    StepOverBreakpoint();
    DebuggerState = kSteppingOut;
    errand_ = Errand::StepOut;
    return true;
}

void DebuggerCore::RunToNext() {
    if (cpu_ == nullptr || memory_ == nullptr) return;
    const uint16_t start = cpu_->PC;
    Breakpoints[0].active = 0;
    StepOverBreakpoint();
    Breakpoints[0] = {NextInstructionAddress(*memory_, start, 1), 1};
    DebuggerState = kResumeRequested;
    errand_ = Errand::ToNext;
}

int DebuggerCore::SetBreakpointAt(uint16_t address, int selected) {
    int slot = 0;
    if (selected >= 1 && selected <= kUserSlots) {
        slot = selected;
    } else {
        for (int i = 1; i <= kUserSlots && slot == 0; ++i) {
            if (Breakpoints[static_cast<size_t>(i)].active == 0) slot = i;
        }
    }
    if (slot != 0) Breakpoints[static_cast<size_t>(slot)] = {address, 1};
    return slot;
}

RefreshAction DebuggerCore::OnRefreshTimer() {
    RefreshAction action;
    int32_t state = DebuggerState.load();
    if (state == kSteppingOver || state == kSteppingOut || state == kResumeRequested) {
        // The run loop may turn 7 or 8 into 5 at any moment; only 9 is ours to change.
        int32_t expected = kResumeRequested;
        DebuggerState.compare_exchange_strong(expected, kRunning);
        action.resume = true;
    }
    action.enter = DebuggerState.load() == kBreakRequested;
    return action;
}

}  // namespace debugger
