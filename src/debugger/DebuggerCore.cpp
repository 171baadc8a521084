#include "debugger/DebuggerCore.h"

#include <algorithm>

#include "debugger/Disassembler.h"
#include "debugger/InstructionAccess.h"

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
    commandLineAt_[address] = true;
    RebuildBreakMap();
}

void DebuggerCore::ClearExtraBreakpoints() {
    commandLineAt_.assign(0x10000, false);
    RebuildBreakMap();
}

void DebuggerCore::RebuildBreakMap() {
    extraBreakAt_ = commandLineAt_;
    for (const Breakpoint& b : breakpoints_) extraBreakAt_[b.address] = true;
    extraBreaks_ =
        std::find(extraBreakAt_.begin(), extraBreakAt_.end(), true) != extraBreakAt_.end();
}

int DebuggerCore::AddBreakpoint(Breakpoint breakpoint) {
    breakpoint.id = nextId_++;
    breakpoint.hits = 0;
    breakpoints_.push_back(std::move(breakpoint));
    RebuildBreakMap();
    return breakpoints_.back().id;
}

int DebuggerCore::AddWatchpoint(Watchpoint watch) {
    watch.id = nextId_++;
    if (watch.to < watch.from) std::swap(watch.from, watch.to);
    watches_.push_back(std::move(watch));
    return watches_.back().id;
}

void DebuggerCore::RemoveGroup(const std::string& group) {
    std::erase_if(breakpoints_, [&](const Breakpoint& b) { return b.group == group; });
    std::erase_if(watches_, [&](const Watchpoint& w) { return w.group == group; });
    RebuildBreakMap();
}

bool DebuggerCore::RemoveEntry(int id) {
    const size_t removed =
        std::erase_if(breakpoints_, [&](const Breakpoint& b) { return b.id == id; }) +
        std::erase_if(watches_, [&](const Watchpoint& w) { return w.id == id; });
    RebuildBreakMap();
    return removed != 0;
}

bool DebuggerCore::BreakHere(uint16_t pc) {
    for (size_t i = 0; i < Breakpoints.size(); ++i) {
        if (Breakpoints[i].active != 0 && Breakpoints[i].address == pc) {
            // Slot 0 is where a step over or a run to the next instruction ends.
            lastStop_ = {i == 0 ? StopInfo::Reason::Step : StopInfo::Reason::Breakpoint};
            return true;
        }
    }
    if (!extraBreaks_ || !extraBreakAt_[pc]) return false;
    if (commandLineAt_[pc]) {
        lastStop_ = {StopInfo::Reason::Breakpoint};
        return true;
    }
    bool stop = false;
    for (Breakpoint& b : breakpoints_) {
        if (b.address != pc || (b.condition && !b.condition(*cpu_, *memory_))) continue;
        ++b.hits;
        if (b.hitRule && !b.hitRule(b.hits)) continue;
        // Every breakpoint here counts its arrival, the first that fires names the stop.
        if (!stop) lastStop_ = {StopInfo::Reason::Breakpoint, b.id};
        stop = true;
    }
    return stop;
}

int32_t DebuggerCore::ExecuteOne() {
    watchFired_ = false;
    const uint16_t pc = cpu_->PC, sp = cpu_->SP;
    const bool acknowledge = cpu_->IntAck;
    const uint8_t opcode = memory_->Peek(pc);
    PlannedAccesses planned;
    if (!watches_.empty()) planned = PlanAccesses(*cpu_, *memory_);
    const int32_t ticks = cpu_->Step();
    if (ticks == 0) return 0;
    TrackCall(pc, sp, opcode, acknowledge);
    if (planned.count != 0) CheckWatches(pc, sp, planned);
    return ticks;
}

void DebuggerCore::TrackCall(uint16_t pc, uint16_t sp, uint8_t opcode, bool acknowledge) {
    const uint16_t now = cpu_->SP;
    // A return, or a stack pointer moved up past the return addresses: those calls are over.
    while (!callStack_.empty() && now > callStack_.back().returnSp) callStack_.pop_back();
    if (now != static_cast<uint16_t>(sp - 2)) return;
    const uint16_t pushed = static_cast<uint16_t>(
        memory_->Peek(now) | memory_->Peek(static_cast<uint16_t>(now + 1)) << 8);
    const bool call = IsCallOrRestart(opcode) &&
                      pushed == static_cast<uint16_t>(pc + ((opcode & 0xC7) == 0xC7 ? 1 : 3));
    // The interrupt unit's restart pushes the address it interrupted, not the one after it.
    const bool interrupt = acknowledge && (pushed == pc || pushed == static_cast<uint16_t>(pc + 1));
    if (!call && !interrupt) return;
    // Runaway recursion must not grow this without end; the outermost frames go first.
    constexpr size_t kMaxDepth = 1024;
    if (callStack_.size() == kMaxDepth) callStack_.erase(callStack_.begin());
    callStack_.push_back({pc, cpu_->PC, now, interrupt && !call});
}

void DebuggerCore::RewindCallStack() {
    if (cpu_ == nullptr) return;
    while (!callStack_.empty() && cpu_->SP > callStack_.back().returnSp) callStack_.pop_back();
}

void DebuggerCore::CheckWatches(uint16_t pc, uint16_t spBefore, const PlannedAccesses& planned) {
    for (int i = 0; i < planned.count && !watchFired_; ++i) {
        const DataAccess& access = planned.list[static_cast<size_t>(i)];
        if (!AccessHappened(access, spBefore, cpu_->SP)) continue;
        for (const Watchpoint& w : watches_) {
            if (w.port != access.port || access.address < w.from || access.address > w.to) continue;
            if (!(access.write ? w.onWrite : w.onRead)) continue;
            StopInfo stop{StopInfo::Reason::Watch, w.id, pc, access.address};
            stop.write = access.write;
            stop.port = access.port;
            // A port's value is the accumulator either way: OUT sends it, IN has just read it.
            stop.value = access.port ? cpu_->A : memory_->Peek(access.address);
            lastStop_ = stop;
            watchFired_ = true;
            break;
        }
    }
}

bool DebuggerCore::WatchReturnStep(int32_t& ticks) {
    if (cpu_ == nullptr || memory_ == nullptr) {
        ticks = 0;
        return false;
    }
    uint8_t opcode = memory_->Read(cpu_->PC);
    ticks = ExecuteOne();
    // A conditional return that took the long timing was taken.
    bool isReturn = opcode == 0xC9 || opcode == 0xD9 || ((opcode & 0xC7) == 0xC0 && ticks >= 11);
    if (!isReturn) return false;
    int32_t state = DebuggerState.load();
    if (state == kSteppingOver && cpu_->SP == ReturnSP) {
        cpu_->PrevPC = SavedPrevPC;
        cpu_->CurPC = SavedCurPC;
        lastStop_ = {StopInfo::Reason::Step};
        return true;
    }
    const bool out = state == kSteppingOut && cpu_->SP > ReturnSP;
    if (out) lastStop_ = {StopInfo::Reason::Step};
    return out;
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
    if (!watchFired_) lastStop_ = {StopInfo::Reason::Step};
}

void DebuggerCore::OutsideStep() {
    ++OutsideCalls;
    if (ExecuteOne() != 0) ++OutsideSteps;
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
