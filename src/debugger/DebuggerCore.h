#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"

namespace debugger {

// The debugger's state as the run loop and the window's refresh timer share it.
enum DebuggerStateValue : int32_t {
    kRunning = 0,
    kStopped = -1,
    kBreakRequested = 5,
    kSteppingOver = 7,
    kSteppingOut = 8,
    kResumeRequested = 9,
};

struct BreakpointSlot {
    uint16_t address = 0;
    uint8_t active = 0;
};

// What the run loop asks before every instruction, and the return watcher that runs the
// processor while stepping over or out of a routine. Slot 0 is the temporary breakpoint that
// step over and run-to-next plant; slots 1 to 6 are the user's.
//
// The breakpoints change only while the machine is stopped in the debugger, so the run loop may
// look at AnyBreakpointActive() once per period.
class DebuggerCore {
  public:
    static constexpr int kSlots = 7;

    void BindMachine(ChipCpu8080* cpu, ChipMemory* memory) {
        cpu_ = cpu;
        memory_ = memory;
    }
    ChipCpu8080* Cpu() const { return cpu_; }
    ChipMemory* Memory() const { return memory_; }

    bool IsBreakpoint(uint16_t address) const {
        for (const BreakpointSlot& slot : Breakpoints) {
            if (slot.active != 0 && slot.address == address) return true;
        }
        return false;
    }
    bool AnyBreakpointActive() const;

    // Executes one instruction for a step over or out; true when it was the return that ends
    // the step. `ticks` receives what the processor's Step returned.
    bool WatchReturnStep(int32_t& ticks);

    std::atomic<int32_t> DebuggerState{kRunning};
    std::array<BreakpointSlot, kSlots> Breakpoints{};

    // Step context, valid while stepping over or out.
    uint16_t ReturnSP = 0;
    int32_t SavedPrevPC = -1;
    int32_t SavedCurPC = -1;

  private:
    ChipCpu8080* cpu_ = nullptr;
    ChipMemory* memory_ = nullptr;
};

}  // namespace debugger
