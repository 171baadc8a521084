#include "machine/ChipCpu8080.h"

#include <cstdint>

#include "machine/Cpu8080Tables.h"
#include "machine/Cpu8080Timing.h"

ChipCpu8080::ChipCpu8080(ChipMemory& memory)
    : memory_(memory),
      previousWindowsListener_(
          memory.SetWindowsChanged(Closure<void()>::Bind<&ChipCpu8080::CopyWindows>(this))) {
    CopyWindows();
    BuildTables();
    Reset();
}

ChipCpu8080::~ChipCpu8080() {
    memory_.SetWindowsChanged(previousWindowsListener_);
}

// The processor keeps its own copy of the memory's window pointers, so that its inner loop
// reaches them from the object it already holds in a register.
void ChipCpu8080::CopyWindows() {
    for (int window = 0; window < 16; ++window) {
        readWindow_[window] = memory_.ReadWindows()[window];
        writeWindow_[window] = memory_.WriteWindows()[window];
    }
    bool allWritable = true;
    for (int window = 0; window < 16; ++window) allWritable &= writeWindow_[window] != nullptr;
    // Flat: every window writable. Sixteen pages lying one after another in one block are used
    // as they are (the CP/M harness, a ROM that maps E0-EF); any other writable mapping through
    // the memory's view.
    runMode_ = kWindowed;
    flatBase_ = allWritable ? writeWindow_[0] : nullptr;
    for (int window = 0; window < 16 && flatBase_ != nullptr; ++window) {
        const uintptr_t expected = reinterpret_cast<uintptr_t>(flatBase_) +
                                   static_cast<uintptr_t>(window) * ChipMemory::kPageSize;
        if (writeWindow_[window] != readWindow_[window] ||
            reinterpret_cast<uintptr_t>(writeWindow_[window]) != expected) {
            flatBase_ = nullptr;
        }
    }
    if (flatBase_ != nullptr) runMode_ = kFlat;
    // Viewed: every window present, ROM and the hook allowed; the view shows ROM read-only and
    // RAM writable in one block, whatever the pages.
    if (flatBase_ == nullptr && memory_.View() != nullptr) {
        flatBase_ = memory_.View();
        runMode_ = allWritable ? kFlat : kViewed;
        // A byte written through one address and read back through another (the page and its
        // alias in the view) defeats the host's store-to-load forwarding: a POP right after a
        // PUSH would wait for the store to retire. So the windows point into the view too.
        for (int window = 0; window < 16; ++window) {
            uint8_t* alias = flatBase_ + static_cast<size_t>(window) * ChipMemory::kPageSize;
            readWindow_[window] = alias;
            if (writeWindow_[window] != nullptr) writeWindow_[window] = alias;
        }
    }
    previousWindowsListener_();
}

void ChipCpu8080::BuildTables() {
    FlagTable = tables8080::kFlagTable;
    DaaTable = tables8080::kDaaTable;
}

int ChipCpu8080::InstructionTicks(uint8_t opcode, bool taken) {
    if (taken) {
        return timing8080::IsConditionalReturn(opcode) ? timing8080::kStandardTakenReturn
                                                       : timing8080::kStandardTakenCall;
    }
    return timing8080::kStandard[opcode];
}

void ChipCpu8080::Reset() {
    PC = 0;
    Inte = EiPending = EiArmed = Halted = IntAck = ResetPending = PortFault = false;
    memory_.ClearFault();
    IsrSP = -1;
    IsrTicks = 0;
    IsrMin = 0x7FFFFFFF;
    IsrMax = INT32_MIN;
    IsrMid = 0;
    for (const PortBinding& binding : ports_) {
        if (binding.resetWithCpu) binding.device->Reset(0);
    }
    if (controller_) controller_->SetInteInput(false);
}

int ChipCpu8080::TicksFor(uint8_t opcode, bool taken) const {
    int32_t odd = machineTicks_ ? (PeriodTicks & 1) : 0;
    if (taken) {
        bool ret = timing8080::IsConditionalReturn(opcode);
        if (machineTicks_) {
            return (ret ? timing8080::kMachineTakenReturn : timing8080::kMachineTakenCall) + odd;
        }
        return ret ? timing8080::kStandardTakenReturn : timing8080::kStandardTakenCall;
    }
    return (machineTicks_ ? timing8080::kMachine[opcode] : timing8080::kStandard[opcode]) + odd;
}

int ChipCpu8080::Step() {
    return static_cast<int>(machineTicks_ ? Execute<true, timing8080::Machine, kWindowed>(0)
                                          : Execute<true, timing8080::Standard, kWindowed>(0));
}

int64_t ChipCpu8080::Run(int32_t budget) {
    stopRequested_ = false;
    // A fault already pending stops the run after one step, as it would stop a loop of steps.
    if (PortFault || memory_.Fault()) return PeriodTicks < budget && Step() != 0 ? 1 : 0;
    // The clock derivation needs the clock in its normal range; only a direct write leaves it
    // elsewhere, and the stepwise rule would fold it at the next instruction anyway.
    if (ClockTicks < -1)
        ClockTicks = static_cast<int32_t>(static_cast<uint32_t>(ClockTicks) + 0x7FFFFFFFu);
    int64_t done = 0;
    while (PeriodTicks < budget) {
        int32_t slice = static_cast<int64_t>(budget) - PeriodTicks > kMaxSlice
                            ? PeriodTicks + kMaxSlice
                            : budget;
        // The executor leaves when the mapping calls for another one.
        if (runMode_ == kFlat) {
            done += machineTicks_ ? Execute<false, timing8080::Machine, kFlat>(slice)
                                  : Execute<false, timing8080::Standard, kFlat>(slice);
        } else if (runMode_ == kViewed) {
            done += machineTicks_ ? Execute<false, timing8080::Machine, kViewed>(slice)
                                  : Execute<false, timing8080::Standard, kViewed>(slice);
        } else {
            done += machineTicks_ ? Execute<false, timing8080::Machine, kWindowed>(slice)
                                  : Execute<false, timing8080::Standard, kWindowed>(slice);
        }
        if (PortFault || memory_.Fault() || stopRequested_) break;
    }
    return done;
}
