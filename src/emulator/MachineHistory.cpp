#include "emulator/MachineHistory.h"

#include <algorithm>
#include <chrono>

#include "debugger/DebuggerCore.h"

namespace {

using Clock = std::chrono::steady_clock;

// The run speed is the runner's, which a restore leaves as it is: the states kept here carry a
// fixed one, so that two checkpoints of the same moment compare equal whatever the speed was.
constexpr double kKeptSpeed = 1.0;

// More Step calls than a logged stretch of debugger steps had mean the replay went astray.
constexpr int64_t kMaxOutsideCalls = int64_t{1} << 40;

uint64_t Mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash;
}

}  // namespace

MachineHistory::MachineHistory(Board& board, const debugger::DebuggerCore& debugger)
    : board_(board), debugger_(debugger) {}

MachineHistory::~MachineHistory() = default;

void MachineHistory::SetEnabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    Clear();
}

void MachineHistory::SetDepthSeconds(int seconds) {
    depthSeconds_ = std::clamp(seconds, 1, kMaxDepthSeconds);
    Trim();
}

void MachineHistory::Clear() {
    checkpoints_.clear();
    log_.clear();
    notes_.clear();
    firstEntry_ = 0;
    position_ = 0;
    ticks_ = 0;
    bytes_ = 0;
    started_ = false;
    checkpointWanted_ = false;
    busySinceCheckpoint_ = 0;
}

bool MachineHistory::Usable() const {
    return enabled_ && !replaying_ && board_.Built();
}

uint64_t MachineHistory::Fingerprint() const {
    // Packed into four words before mixing: it is taken twice a period.
    const ChipCpu8080& cpu = *board_.Cpu();
    const uint64_t registers =
        static_cast<uint64_t>(cpu.A) << 56 | static_cast<uint64_t>(cpu.F) << 48 |
        static_cast<uint64_t>(cpu.BC()) << 32 | static_cast<uint64_t>(cpu.DE()) << 16 | cpu.HL();
    const uint64_t pointers = static_cast<uint64_t>(cpu.SP) << 48 |
                              static_cast<uint64_t>(cpu.PC) << 32 |
                              static_cast<uint32_t>(cpu.InstructionCount);
    const uint64_t clocks = static_cast<uint64_t>(static_cast<uint32_t>(cpu.PeriodTicks)) << 32 |
                            static_cast<uint32_t>(cpu.ClockTicks);
    const uint64_t control = static_cast<uint64_t>(cpu.Inte) | cpu.Halted << 1 | cpu.IntAck << 2 |
                             cpu.EiPending << 3 | cpu.EiArmed << 4 | cpu.ResetPending << 5;
    return Mix(Mix(Mix(Mix(0, registers), pointers), clocks), control);
}

// The log now ends at the machine as it is: what it was checked against and what the outside
// counters read are taken from here on.
void MachineHistory::TakeOverTheMachine() {
    expected_ = Fingerprint();
    debuggerCalls_ = DebuggerCalls();
    debuggerSteps_ = DebuggerSteps();
    tapeRecordings_ = board_.Tape().RecordingsDone();
    if (const IfSdRom* sd = board_.SdRom()) {
        sdCommands_ = sd->CardCommands();
        sdWrites_ = sd->CardWrites();
    }
    busySinceCheckpoint_ = 0;
}

int64_t MachineHistory::DebuggerSteps() const {
    return debugger_.OutsideSteps.load();
}

int64_t MachineHistory::DebuggerCalls() const {
    return debugger_.OutsideCalls.load();
}

void MachineHistory::Append(const Entry& entry) {
    log_.push_back(entry);
    bytes_ += sizeof(Entry);
}

// Instructions just run (a period, or the debugger's steps) go into the log stamped with where
// they began and checked by the processor's state after them.
void MachineHistory::AppendRun(Entry entry) {
    entry.position = position_;
    entry.ticks = ticks_;
    entry.check = Fingerprint();
    Append(entry);
    position_ += entry.steps;
    expected_ = entry.check;
}

void MachineHistory::LogOutsideSteps() {
    const int64_t calls = DebuggerCalls() - debuggerCalls_;
    const int64_t steps = DebuggerSteps() - debuggerSteps_;
    debuggerCalls_ += calls;
    debuggerSteps_ += steps;
    if (calls > 0) {
        Entry entry;
        entry.kind = Entry::Outside;
        entry.calls = calls;
        entry.steps = steps;
        AppendRun(entry);
    } else if (Fingerprint() != expected_) {
        // Changed by something that did not say so (a snapshot loaded, a register set): the log
        // is right up to here, and a checkpoint takes over from the machine as it is.
        checkpointWanted_ = true;
    }
}

void MachineHistory::BeforePeriod(bool tapeCommanded) {
    if (!Usable()) return;
    if (!started_) {
        started_ = true;
        TakeCheckpoint(false);
    }
    LogOutsideSteps();
    if (tapeCommanded) checkpointWanted_ = true;
    const Inputs inputs = board_.CurrentInputs();
    if (!(inputs == inputs_) && !checkpointWanted_) {
        Entry entry;
        entry.kind = Entry::Input;
        entry.position = position_;
        entry.ticks = ticks_;
        entry.inputs = inputs;
        Append(entry);
        inputs_ = inputs;
    }
    const int64_t spacing = int64_t{depthSeconds_} * kTicksPerSecond / kMaxCheckpointsPerDepth;
    const int64_t sinceLast = checkpoints_.empty() ? spacing : ticks_ - checkpoints_.back().ticks;
    const bool due = fixedSpacing_ > 0
                         ? sinceLast >= fixedSpacing_
                         : busySinceCheckpoint_ >= kSaveRatio * saveNanos_ && sinceLast >= spacing;
    if (checkpointWanted_ || due) TakeCheckpoint(false);
}

void MachineHistory::AfterPeriod(int32_t budget, bool ranToBudget, bool faulted, int64_t steps,
                                 int64_t busyNanos) {
    if (!Usable() || !started_) return;
    Entry entry;
    entry.kind = Entry::Period;
    entry.ranToBudget = ranToBudget;
    entry.faulted = faulted;
    entry.budget = budget;
    entry.steps = steps;
    AppendRun(entry);
    if (!faulted) ticks_ += budget;
    busySinceCheckpoint_ += busyNanos;

    bool cut = false;
    const IfTape& tape = board_.Tape();
    if (tape.RecordingsDone() != tapeRecordings_) {
        tapeRecordings_ = tape.RecordingsDone();
        notes_.push_back(Note{position_, "tape", std::string()});
    }
    if (const IfSdRom* sd = board_.SdRom()) {
        if (sd->CardWrites() != sdWrites_) {
            sdWrites_ = sd->CardWrites();
            notes_.push_back(Note{position_, "sd-rom", sd->LastWritten()});
        }
        if (sd->CardCommands() != sdCommands_) cut = true;
    }
    if (cut) {
        TakeCheckpoint(true);
    } else {
        Trim();
    }
}

void MachineHistory::NoteChange() {
    if (!Usable() || !started_) return;
    LogOutsideSteps();
    TakeCheckpoint(false);
}

void MachineHistory::TakeCheckpoint(bool cut) {
    const Clock::time_point start = Clock::now();
    Checkpoint checkpoint;
    if (!spareStates_.empty()) {
        checkpoint.state = std::move(spareStates_.back());
        spareStates_.pop_back();
    }
    board_.SaveSnapshot(checkpoint.state, kKeptSpeed);
    checkpoint.position = position_;
    checkpoint.ticks = ticks_;
    checkpoint.entry = firstEntry_ + log_.size();
    inputs_ = board_.CurrentInputs();
    checkpoint.inputs = inputs_;
    // Nothing run and nothing changed since the last one (the debugger shows the same stop
    // again): the same state need not be kept twice.
    const bool same = !checkpoints_.empty() && checkpoints_.back().entry == checkpoint.entry &&
                      checkpoints_.back().position == checkpoint.position &&
                      checkpoints_.back().inputs == checkpoint.inputs &&
                      checkpoints_.back().state == checkpoint.state;
    if (same) {
        if (spareStates_.size() < 2) spareStates_.push_back(std::move(checkpoint.state));
    } else {
        bytes_ += checkpoint.state.capacity();
        checkpoints_.push_back(std::move(checkpoint));
    }

    TakeOverTheMachine();
    checkpointWanted_ = false;
    const int64_t nanos =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    // A running average: one slow save (the host busy elsewhere) moves it only a little.
    saveNanos_ = std::max<int64_t>(20000, (saveNanos_ * 7 + nanos) / 8);

    if (cut) {
        while (checkpoints_.size() > 1) {
            bytes_ -= checkpoints_.front().state.capacity();
            checkpoints_.pop_front();
        }
    }
    Trim();
}

void MachineHistory::Trim() {
    const int64_t depth = int64_t{depthSeconds_} * kTicksPerSecond;
    auto dropFront = [&] {
        bytes_ -= checkpoints_.front().state.capacity();
        if (spareStates_.size() < 2) spareStates_.push_back(std::move(checkpoints_.front().state));
        checkpoints_.pop_front();
    };
    // The oldest checkpoint kept is the last one at or before the depth, so the history always
    // reaches the whole depth back.
    while (checkpoints_.size() > 1 && checkpoints_[1].ticks <= ticks_ - depth) dropFront();
    while (checkpoints_.size() > 1 && bytes_ > kMemoryLimit) dropFront();
    if (checkpoints_.empty()) return;
    const uint64_t keepFrom = checkpoints_.front().entry;
    while (firstEntry_ < keepFrom && !log_.empty()) {
        log_.pop_front();
        ++firstEntry_;
        bytes_ -= sizeof(Entry);
    }
    const int64_t oldest = checkpoints_.front().position;
    while (!notes_.empty() && notes_.front().position < oldest) notes_.pop_front();
}

int64_t MachineHistory::OldestPosition() const {
    return checkpoints_.empty() ? position_ : checkpoints_.front().position;
}

int64_t MachineHistory::OldestTicks() const {
    return checkpoints_.empty() ? ticks_ : checkpoints_.front().ticks;
}

size_t MachineHistory::MemoryBytes() const {
    return bytes_;
}

// While the past runs again, nothing may leave the machine: no sound, and none of the deck's
// answers to tape events (the deck would move on to another record, or write a recording to
// its file again). The deck's part that it does at once on the emulation thread, stopping at
// the end of a record, is done here instead; its other answers (a stop on a serial reset) came
// in between periods and are held by the checkpoint after them.
struct MachineHistory::Connections {
    IfTape* tape = nullptr;
    IfTape::EventSink tapeEvents;
    SoundLevelOutput tapeSound;
    SoundLevelOutput speaker;
    bool OnTapeEvent(int code) {
        if (code == IfTape::kEventEndOfRecord) tape->StopPlayback();
        return code != IfTape::kEventMonitorQuery;
    }
};

void MachineHistory::Disconnect() {
    replaying_ = true;
    connections_ = std::make_unique<Connections>();
    connections_->tape = &board_.Tape();
    connections_->tapeEvents = board_.Tape().SetEventSink(
        IfTape::EventSink::Bind<&Connections::OnTapeEvent>(connections_.get()));
    connections_->tapeSound = board_.Tape().SetSoundSink({});
    if (board_.SystemPio()) connections_->speaker = board_.SystemPio()->SetSpeakerOutput({});
}

void MachineHistory::Reconnect() {
    board_.Tape().SetEventSink(connections_->tapeEvents);
    board_.Tape().SetSoundSink(connections_->tapeSound);
    if (board_.SystemPio()) board_.SystemPio()->SetSpeakerOutput(connections_->speaker);
    connections_.reset();
    replaying_ = false;
}

bool MachineHistory::ReplayEntry(const Entry& entry, int64_t stopAt, int64_t& position,
                                 const std::function<void(int64_t)>& visit) {
    ChipCpu8080& cpu = *board_.Cpu();
    ChipMemory& memory = *board_.Memory();
    auto fault = [&] { return cpu.PortFault || memory.Fault(); };
    if (entry.kind == Entry::Input) {
        board_.ApplyInputs(entry.inputs);
        return true;
    }
    const bool partial = stopAt < entry.position + entry.steps;
    int64_t done = 0;
    if (entry.kind == Entry::Outside) {
        int64_t calls = 0;
        for (; calls < entry.calls; ++calls) {
            if (partial && done >= stopAt - entry.position) break;
            if (visit) visit(entry.position + done);
            if (cpu.Step() != 0) ++done;
        }
        partialCalls_ = calls;
        position = entry.position + done;
        return partial || (done == entry.steps && Fingerprint() == entry.check);
    }
    // A period.
    if (entry.ranToBudget && !partial && !visit) {
        // The same stop as the run loop's: the first instruction that reaches the budget. A
        // device's stop request only ends one Run early, so Run goes on.
        while (cpu.PeriodTicks < entry.budget && !fault()) done += cpu.Run(entry.budget);
    } else {
        const int64_t want = partial ? stopAt - entry.position : entry.steps;
        while (done < want) {
            if (visit) visit(entry.position + done);
            if (cpu.Step() != 0) ++done;
            if (fault()) break;
        }
        if (!partial && entry.faulted && !entry.open && !fault()) {
            if (visit) visit(entry.position + done);
            cpu.Step();
        }
    }
    board_.AddInstructions(done);
    position = entry.position + done;
    if (partial) return done == stopAt - entry.position;
    if (!entry.faulted && !entry.open) {
        cpu.PeriodTicks -= entry.budget;
        board_.AddTicks(entry.budget);
    }
    return done == entry.steps && Fingerprint() == entry.check;
}

bool MachineHistory::ReplayTo(size_t index, int64_t target,
                              const std::function<void(int64_t)>& visit) {
    const Checkpoint& checkpoint = checkpoints_[index];
    replayFrom_ = index;
    if (board_.LoadSnapshot(checkpoint.state.data(), checkpoint.state.size(), nullptr, nullptr) !=
        snapshot::LoadError::None) {
        return false;
    }
    board_.ApplyInputs(checkpoint.inputs);
    int64_t position = checkpoint.position;
    const uint64_t last = firstEntry_ + log_.size();
    replayStop_ = last;
    replayPartial_ = false;
    for (uint64_t at = checkpoint.entry; at < last; ++at) {
        const Entry& entry = log_[static_cast<size_t>(at - firstEntry_)];
        // The moment wanted is the one the next instruction ran from: what was taken in at its
        // position (the keys before a period) belongs to it, the instructions after it do not.
        const bool runs = entry.kind != Entry::Input && entry.steps > 0;
        if (runs && entry.position >= target) {
            replayStop_ = at;
            break;
        }
        if (!ReplayEntry(entry, target, position, visit)) return false;
        if (runs && position < entry.position + entry.steps) {
            replayStop_ = at;
            replayPartial_ = true;
            break;
        }
    }
    return position == target;
}

MachineHistory::Restored MachineHistory::RestorePosition(int64_t target) {
    Restored result;
    if (!Usable() || !started_) return result;
    LogOutsideSteps();
    result.position = position_;
    if (target > position_ || checkpoints_.empty() || target < checkpoints_.front().position) {
        return result;
    }
    // Of the moments at one position the latest is meant, the one its next instruction ran
    // from: a change from outside made there (a file loaded, a register or memory edited, a
    // snapshot loaded) is what the user saw and what ran on. Such a change is held by the
    // checkpoint taken after it, so the last checkpoint at or before the position is the start.
    size_t index = checkpoints_.size() - 1;
    while (index > 0 && checkpoints_[index].position > target) --index;

    std::vector<uint8_t> before;
    board_.SaveSnapshot(before, kKeptSpeed);
    const int64_t ticks = board_.EmulatedTicks();
    Disconnect();
    const bool replayed = ReplayTo(index, target);
    Reconnect();
    if (!replayed) {
        board_.LoadSnapshot(before.data(), before.size(), nullptr, nullptr);
        board_.SetEmulatedTicks(ticks);
        result.outcome = Outcome::Failed;
        return result;
    }
    return Finish(target, std::min(replayStop_, firstEntry_ + log_.size()));
}

MachineHistory::Restored MachineHistory::Finish(int64_t position, uint64_t entryIndex) {
    Restored result;
    result.outcome = Outcome::Done;
    result.position = position;
    // The ticks of the moment: those at the start of the first entry dropped.
    int64_t ticks = ticks_;
    if (entryIndex < firstEntry_ + log_.size()) {
        ticks = log_[static_cast<size_t>(entryIndex - firstEntry_)].ticks;
    }
    // An entry left halfway stays as far as it went: the period it began is finished by the
    // next one the run loop runs.
    uint64_t keep = entryIndex;
    if (replayPartial_ && entryIndex < firstEntry_ + log_.size()) {
        Entry& entry = log_[static_cast<size_t>(entryIndex - firstEntry_)];
        entry.steps = position - entry.position;
        entry.calls = partialCalls_;
        entry.open = true;
        entry.ranToBudget = false;
        entry.check = Fingerprint();
        keep = entryIndex + 1;
    }
    while (firstEntry_ + log_.size() > keep) {
        log_.pop_back();
        bytes_ -= sizeof(Entry);
    }
    while (checkpoints_.size() > 1 && checkpoints_.size() - 1 > replayFrom_ &&
           (checkpoints_.back().position > position || checkpoints_.back().entry >= entryIndex)) {
        bytes_ -= checkpoints_.back().state.capacity();
        checkpoints_.pop_back();
    }
    while (!notes_.empty() && notes_.back().position > position) {
        result.passed.insert(result.passed.begin(), notes_.back());
        notes_.pop_back();
    }
    position_ = position;
    ticks_ = ticks;
    inputs_ = board_.CurrentInputs();
    TakeOverTheMachine();
    return result;
}

MachineHistory::Restored MachineHistory::StepBack(int64_t count) {
    if (Usable() && started_) LogOutsideSteps();
    return RestorePosition(position_ - std::max<int64_t>(count, 0));
}

MachineHistory::Restored MachineHistory::RewindTicks(int64_t ticks) {
    Restored result;
    if (!Usable() || !started_) return result;
    LogOutsideSteps();
    const int64_t wanted = ticks_ - std::max<int64_t>(ticks, 0);
    int64_t target = OldestPosition();
    for (size_t i = log_.size(); i-- > 0;) {
        const Entry& entry = log_[i];
        if (entry.kind == Entry::Period && !entry.faulted && !entry.open &&
            entry.ticks + entry.budget <= wanted) {
            target = entry.position + entry.steps;
            break;
        }
    }
    return RestorePosition(target);
}

MachineHistory::Restored MachineHistory::StepBackWhere(int64_t count, const Predicate& wanted,
                                                       bool toOldest) {
    Restored result;
    if (!Usable() || !started_ || count < 1) return result;
    LogOutsideSteps();
    result.position = position_;
    std::vector<uint8_t> before;
    board_.SaveSnapshot(before, kKeptSpeed);
    const int64_t ticks = board_.EmulatedTicks();

    const ChipCpu8080& cpu = *board_.Cpu();
    const ChipMemory& memory = *board_.Memory();
    int64_t end = position_;
    int64_t need = count;
    int64_t found = -1;
    bool failed = false;
    Disconnect();
    for (size_t i = checkpoints_.size(); i-- > 0 && found < 0;) {
        const int64_t from = checkpoints_[i].position;
        if (from >= end && i > 0) continue;
        std::vector<int64_t> hits;
        auto visit = [&](int64_t position) {
            if (position < end && (hits.empty() || hits.back() != position) &&
                wanted(cpu, memory)) {
                hits.push_back(position);
            }
        };
        if (!ReplayTo(i, end, visit)) {
            failed = true;
            break;
        }
        // The moment at the end of the stretch is the next stretch's first: looked at there.
        if (static_cast<int64_t>(hits.size()) >= need) {
            found = hits[hits.size() - static_cast<size_t>(need)];
        } else {
            need -= static_cast<int64_t>(hits.size());
            end = from;
        }
    }
    Reconnect();
    board_.LoadSnapshot(before.data(), before.size(), nullptr, nullptr);
    board_.SetEmulatedTicks(ticks);
    if (failed) {
        result.outcome = Outcome::Failed;
        return result;
    }
    if (found < 0) {
        if (!toOldest) return result;
        found = OldestPosition();
    }
    return RestorePosition(found);
}
