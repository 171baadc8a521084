#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "machine/ChipMemory.h"
#include "machine/Closure.h"
#include "machine/InterruptController.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

// One entry of the processor's port map: port p selects it when (p & mask) == base.
struct PortBinding {
    uint8_t base = 0;
    uint8_t mask = 0;
    PeripheralDevice* device = nullptr;
    bool resetWithCpu = false;
};

// Called after every instruction with the period tick position after it and its length in ticks.
using TickListener = Closure<void(int32_t periodTicks, int32_t ticks)>;

// Optional companion of a tick listener: how many ticks may pass before the listener must hear
// of them. A listener that answers Q promises that, as long as fewer than Q ticks have
// accumulated since its last call, nothing it does can be seen (no output changes, no
// interrupt), and that one call with the sum of several instructions' ticks leaves it exactly
// where the separate calls would. 0 (or no query) means: call after every instruction.
using QuietQuery = Closure<int32_t()>;

// The Intel 8080, instruction by instruction, with exact flags and tick counts. It owns neither
// memory nor devices: it reads and writes through ChipMemory, reaches ports through its binding
// list and lets the tick listeners advance the chips in step after every instruction.
class ChipCpu8080 {
  public:
    explicit ChipCpu8080(ChipMemory& memory);
    virtual ~ChipCpu8080();
    ChipCpu8080(const ChipCpu8080&) = delete;
    ChipCpu8080& operator=(const ChipCpu8080&) = delete;

    // Ticks an instruction costs; `taken` is true only for a conditional call or return whose
    // condition held.
    virtual int InstructionTicks(uint8_t opcode, bool taken);

    // Executes one instruction (or performs a pending reset). Returns its ticks, or 0 when nothing
    // was executed: reset, or a memory or port fault that abandoned the instruction.
    int Step();
    // Executes instructions exactly as repeated Step() calls would, until PeriodTicks reaches
    // `budget`, a fault abandons an instruction or RequestStop() is called (by a device during
    // an instruction). Returns the number of instructions completed.
    int64_t Run(int32_t budget);
    void RequestStop() { stopRequested_ = true; }
    void Reset();
    void RequestReset() { ResetPending = true; }
    bool AcceptInterrupt();
    void SetInte(bool value);
    void SetInterruptController(InterruptController* controller);
    InterruptController* Controller() const { return controller_; }

    void AttachPort(uint8_t base, uint8_t mask, bool resetWithCpu, PeripheralDevice* device);
    void DetachPort(uint8_t base);
    PeripheralDevice* FindPortDevice(uint8_t port) const { return portDevice_[port]; }
    const std::vector<PortBinding>& PortBindings() const { return ports_; }

    void AddTickListener(TickListener listener, QuietQuery quiet = {});
    bool RemoveTickListener(TickListener listener);

    // The state that decides the future, for snapshots; a load that returns false (a malformed
    // or mismatched stream) may have changed part of it, so the caller restores a saved state.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    ChipMemory& Memory() const { return memory_; }
    // True while Run reads and writes all 64 KB through one pointer (see CopyWindows).
    bool FlatMemory() const { return runMode_ == kFlat; }
    // True while Run reads all 64 KB through one pointer and writes through the windows.
    bool ViewedMemory() const { return runMode_ == kViewed; }

    uint16_t BC() const { return static_cast<uint16_t>(B << 8 | C); }
    uint16_t DE() const { return static_cast<uint16_t>(D << 8 | E); }
    uint16_t HL() const { return static_cast<uint16_t>(H << 8 | L); }
    uint16_t PSW() const { return static_cast<uint16_t>(A << 8 | F); }
    void SetBC(uint16_t v) { B = static_cast<uint8_t>(v >> 8), C = static_cast<uint8_t>(v); }
    void SetDE(uint16_t v) { D = static_cast<uint8_t>(v >> 8), E = static_cast<uint8_t>(v); }
    void SetHL(uint16_t v) { H = static_cast<uint8_t>(v >> 8), L = static_cast<uint8_t>(v); }
    void SetPSW(uint16_t v) { A = static_cast<uint8_t>(v >> 8), F = static_cast<uint8_t>(v); }

    // Flag bits of F.
    static constexpr uint8_t kFlagS = 0x80, kFlagZ = 0x40, kFlagAC = 0x10, kFlagP = 0x04,
                             kFlagCY = 0x01, kFlagAlwaysOne = 0x02;

    // Registers, written directly by the debugger.
    uint8_t F = kFlagAlwaysOne, A = 0, B = 0, C = 0, D = 0, E = 0, H = 0, L = 0;
    uint16_t SP = 0, PC = 0;

    // Control state.
    bool Inte = false;
    bool EiPending = false;
    bool EiArmed = false;
    bool Halted = false;
    bool IntAck = false;
    bool ResetPending = false;
    bool PortFault = false;
    uint8_t FaultPort = 0;
    bool FaultPortWrite = false;

    int32_t PeriodTicks = 0;
    int32_t ClockTicks = 0;
    int32_t LastTicks = 0;
    int32_t InstructionCount = 0;
    int32_t PrevPC = -1;
    int32_t CurPC = -1;

    // Interrupt service timing: how long the routine entered at the last acceptance ran.
    int32_t IsrSP = -1;
    int32_t IsrTicks = 0;
    int32_t IsrMin = 0x7FFFFFFF;
    int32_t IsrMax = INT32_MIN;
    int32_t IsrMid = 0;

    // S, Z, P and the always-one bit for every result byte.
    std::array<uint8_t, 256> FlagTable{};
    // DAA results indexed by A | CY << 8 | AC << 9: new A in the high byte, new F in the low.
    std::array<uint16_t, 1024> DaaTable{};

  protected:
    // Timing in force while executing: Intel's, or the machine's (set by ChipCpu8080P).
    bool machineTicks_ = false;

    // Ticks of an instruction by the timing in force; the machine's odd-tick rule reads the
    // period position before the instruction's ticks are added.
    int TicksFor(uint8_t opcode, bool taken) const;

  private:
    void BuildTables();
    void CopyWindows();
    // How Execute reaches memory: through the window pointers; through one base pointer while
    // all 64 KB are plain RAM (no ROM, no hook, no absent page); reading through one base
    // pointer and writing through the window pointers while every window is present (ROM and
    // the hook allowed); or, for the one instruction an interrupt acknowledge supplies, with
    // operands from the interrupt unit.
    enum ExecuteMode { kWindowed, kFlat, kViewed, kSupplied };
    void UpdateMergeTicks();
    int32_t CallTickListeners(int32_t periodTicks, int32_t ticks);
    void HandTicksToListeners(int32_t periodTicks, int32_t ticks);
    int32_t ListenersQuiet() const;
    void RebuildPortMap();
    template <bool kSingleStep, typename Timing, int kMode>
    int64_t Execute(int32_t budget);
    void CloseServiceMeasurement(uint16_t sp, int32_t clockTicks);
    // The free-running clock after `elapsed` more ticks. Adding an instruction's ticks folds it
    // back by 0x7FFFFFFF when it turns negative; as long as fewer than 2^31 ticks pass (Run
    // executes in slices of at most kMaxSlice) it folds at most once, so the fold can be applied to
    // the sum. (A clock at 0x7FFFFFFF - n that gains exactly n + 1 ticks reads -1, as the stepwise
    // rule gives.) Inline: every port access and listener call derives the clock.
    static int32_t FoldedClock(int32_t start, uint32_t elapsed) {
        int64_t clock = static_cast<int64_t>(start) + elapsed;
        if (clock > INT32_MAX) clock -= int64_t{0x80000001};
        return static_cast<int32_t>(clock);
    }
    static constexpr int32_t kMaxSlice = 1 << 30;

    ChipMemory& memory_;
    Closure<void()> previousWindowsListener_;
    std::array<const uint8_t*, 16> readWindow_{};
    std::array<uint8_t*, 16> writeWindow_{};
    // The executor Run uses, and the 64 KB it reads through in kFlat and kViewed.
    int runMode_ = kWindowed;
    uint8_t* flatBase_ = nullptr;
    InterruptController* controller_ = nullptr;
    std::vector<PortBinding> ports_;
    std::array<PeripheralDevice*, 256> portDevice_{};
    std::array<uint8_t, 256> portReach_{};      // the device's PortReach, per port
    std::array<uint8_t, 256> portReadReach_{};  // and its PortReadReach
    struct ListenerEntry {
        TickListener call;
        QuietQuery quiet;
    };
    std::vector<ListenerEntry> tickListeners_;
    bool mergeTicks_ = false;  // every listener can say how long it stays quiet
    bool stopRequested_ = false;
    uint16_t ackAddress_ = 0;  // PC while executing an instruction the interrupt unit supplied
    uint16_t ackOperand_ = 0;  // its operand bytes, low first
    int32_t suppliedDeadline_ = INT32_MAX;  // listeners' deadline after the supplied instruction
};
