#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/Closure.h"

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

// What the machine runs for while the debugger stays on screen and follows it: a step over or
// out, or a run to the next instruction, each of which may never reach its stop.
enum class Errand { None, StepOver, StepOut, ToNext };

struct BreakpointSlot {
    uint16_t address = 0;
    uint8_t active = 0;
};

struct PlannedAccesses;

// A breakpoint beyond the window's slots: the adapter's, the breakpoint list's. It fires when the
// processor is about to execute the instruction at its address, the condition holds, and the
// hit rule agrees with the count of such arrivals.
using StopCondition = std::function<bool(const ChipCpu8080&, const ChipMemory&)>;
using HitRule = std::function<bool(uint64_t hits)>;
struct Breakpoint {
    int id = 0;
    std::string group;  // who set it: a front end replaces its own group as a whole
    uint16_t address = 0;
    StopCondition condition;  // empty: always
    HitRule hitRule;          // empty: every arrival
    uint64_t hits = 0;        // arrivals with the condition holding
};

// A watch on data: stop after an instruction that reads or writes a byte of [from, to] of
// memory, or the port `from`.
struct Watchpoint {
    int id = 0;
    std::string group;
    uint16_t from = 0;
    uint16_t to = 0;
    bool port = false;
    bool onRead = false;
    bool onWrite = true;
};

// Why the machine stopped in the debugger last.
struct StopInfo {
    enum class Reason { None, Breakpoint, Step, Pause, Watch };
    Reason reason = Reason::None;
    int breakpointId = 0;  // the Breakpoint's or Watchpoint's id; 0 for a slot or the command line
    // A watch: the instruction that made the access, and the access.
    uint16_t instructionAt = 0;
    uint16_t address = 0;
    uint8_t value = 0;
    bool write = false;
    bool port = false;
};

// A call or interrupt not yet returned from, as tracked while the machine runs carefully.
struct CallFrame {
    uint16_t callAt = 0;    // the CALL or RST, or where the interrupt came in
    uint16_t target = 0;    // where it went
    uint16_t returnSp = 0;  // where the return address lies on the stack
    bool interrupt = false;
};

// What the refresh timer has to do after looking at the state.
struct RefreshAction {
    bool resume = false;  // let the machine run (a run or step the debugger asked for)
    bool enter = false;   // show the stopped machine in the debugger
};

// What the run loop asks before every instruction, the return watcher that runs the processor
// while stepping over or out of a routine, and the run and step commands. Slot 0 is the
// temporary breakpoint that step over and run-to-next plant; slots 1 to 6 are the user's.
//
// The breakpoints change only while the machine is stopped in the debugger, so the run loop may
// look at Careful() once per period.
class DebuggerCore {
  public:
    static constexpr int kSlots = 7;
    static constexpr int kUserSlots = 6;

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
        return extraBreaks_ && extraBreakAt_[address];
    }
    bool AnyBreakpointActive() const;
    // Whether the run loop has to go instruction by instruction: a breakpoint may fire or
    // someone watches every instruction. Otherwise the processor runs a period in one go.
    bool Careful() const {
        return extraBreaks_ || tracking_ || !watches_.empty() || BeforeInstruction ||
               AnyBreakpointActive();
    }
    // The run loop's question before every instruction on the careful path: whether to stop
    // here. It counts the arrival for the hit rules and notes why it stopped.
    bool BreakHere(uint16_t pc);
    // The careful path's one instruction: the processor's Step, with the call stack kept and
    // the watches looked at. Returns what Step returned; WatchFired tells whether a watch
    // wants the machine stopped after it.
    int32_t ExecuteOne();
    bool WatchFired() const { return watchFired_; }

    // Executes one instruction for a step over or out; true when it was the return that ends
    // the step. `ticks` receives what the processor's Step returned.
    bool WatchReturnStep(int32_t& ticks);

    // Breakpoints beyond the six slots, never shown in the window: the command line's.
    void AddExtraBreakpoint(uint16_t address);
    void ClearExtraBreakpoints();

    // The breakpoint list and the watches. Change them only while the machine does not run (or
    // from the thread that runs it). Returns the new entry's id.
    int AddBreakpoint(Breakpoint breakpoint);
    int AddWatchpoint(Watchpoint watch);
    void RemoveGroup(const std::string& group);
    // One entry of the list or the watches by its id; false when there is none.
    bool RemoveEntry(int id);
    const std::vector<Breakpoint>& BreakpointList() const { return breakpoints_; }
    const std::vector<Watchpoint>& Watchpoints() const { return watches_; }
    // Careful running even with nothing to stop at, so that the call stack is kept.
    void SetTracking(bool on) { tracking_ = on; }
    bool Tracking() const { return tracking_; }
    const std::vector<CallFrame>& CallStack() const { return callStack_; }
    // After the machine was put back to an earlier moment: the frames whose return address
    // lies below the stack pointer now are gone. Frames entered later cannot be had again.
    void RewindCallStack();
    void ClearCallStack() { callStack_.clear(); }
    const StopInfo& LastStop() const { return lastStop_; }
    // For a stop the front end caused itself (a pause, a fault): the run loop notes only the
    // stops it makes, and Break comes from another thread.
    void NoteStop(StopInfo::Reason reason) { lastStop_ = {reason}; }

    // Called by the run loop before every instruction while set (tracing); the processor is
    // about to execute the instruction at PC, or an interrupt acknowledge.
    Closure<void()> BeforeInstruction;

    // The commands. Each acts only in the stopped state; the caller checks CanCommand first.
    // State -1 and the temporary breakpoint cleared: the view of every stop.
    void Stop();
    // Run (F5): over a breakpoint at PC first, then ask the refresh timer to resume.
    void Run();
    // One instruction (F7), whatever stands at PC.
    void Step();
    // F8. True when the machine has to run (a call or restart), false when one step did.
    bool StepOver();
    // Shift+F8. True when the machine has to run, false when PC was at a return.
    bool StepOut();
    // Shift+F7: run until the instruction after the current one in memory.
    void RunToNext();
    // The slot a click in the address column uses: `selected` (1 to 6) when an item is
    // selected, else the first inactive user slot. Returns the slot set, or 0 for none.
    int SetBreakpointAt(uint16_t address, int selected = 0);
    // The user's Break while the machine runs: the run loop executes nothing more and the
    // refresh timer enters the debugger, as after a breakpoint. False when nothing runs.
    bool Break();
    // The errand the machine runs for with the window shown; None once stopped, and after Run,
    // which hides the window and leaves the machine to itself.
    Errand Running() const { return errand_; }
    // The refresh timer's part, every 20 ms on the window's thread.
    RefreshAction OnRefreshTimer();
    bool Stopped() const { return DebuggerState.load() == kStopped; }
    // The debugger is showing the machine, or about to (a breakpoint fired): a reset or a
    // memory load keeps it stopped and shows the result there.
    bool Holding() const {
        const int32_t state = DebuggerState.load();
        return state == kStopped || state == kBreakRequested;
    }

    std::atomic<int32_t> DebuggerState{kRunning};
    std::array<BreakpointSlot, kSlots> Breakpoints{};

    // Instructions the commands executed outside the run loop (Step calls, and those of them
    // that did something), for the machine's history.
    std::atomic<int64_t> OutsideCalls{0};
    std::atomic<int64_t> OutsideSteps{0};

    // Step context, valid while stepping over or out.
    uint16_t ReturnSP = 0;
    int32_t SavedPrevPC = -1;
    int32_t SavedCurPC = -1;

  private:
    void StepOverBreakpoint();
    void OutsideStep();

    void RebuildBreakMap();
    void TrackCall(uint16_t pc, uint16_t sp, uint8_t opcode, bool acknowledge);
    void CheckWatches(uint16_t pc, uint16_t spBefore, const PlannedAccesses& planned);

    ChipCpu8080* cpu_ = nullptr;
    ChipMemory* memory_ = nullptr;
    Errand errand_ = Errand::None;
    bool extraBreaks_ = false;
    bool tracking_ = false;
    bool watchFired_ = false;
    int nextId_ = 1;
    // Addresses where the command line or the list has a breakpoint: the run loop's quick
    // test before every instruction.
    std::vector<bool> extraBreakAt_ = std::vector<bool>(0x10000, false);
    std::vector<bool> commandLineAt_ = std::vector<bool>(0x10000, false);
    std::vector<Breakpoint> breakpoints_;
    std::vector<Watchpoint> watches_;
    std::vector<CallFrame> callStack_;
    StopInfo lastStop_;
};

}  // namespace debugger
