#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Board.h"

namespace debugger {
class DebuggerCore;
}

// The machine's recent past, kept so that any moment of it can be had again exactly: full
// snapshots (checkpoints) now and then, and between them a log of what the run loop did (each
// period's budget and how it ended, the debugger's single steps) and of every input from
// outside as the run loop took it in (the key matrix and the joystick's switches, applied only
// between periods, so the period they came before is their exact time). A moment is restored by
// loading the nearest checkpoint at or before it and running the logged periods again; what
// came after it is dropped, as an editor's undo drops what was undone.
//
// Positions count instructions (processor steps that did something) since the history began;
// ticks count emulated ticks of whole periods. Everything runs under the processor mutex: from
// the run loop, or with the machine paused.
//
// The tape deck's commands come in between periods with the other inputs; the bytes a tape
// started plays are held by a checkpoint after it. What cannot be run again cuts the history
// (nothing before the cut can be restored): any SD-ROM command that reached the card (the card is
// the host's folder, which a replay must not read or write again), and a change of the hardware
// (the history is emptied). Host files written meanwhile stay written; the history notes where, and
// a restore that goes back past a note reports it.
class MachineHistory {
  public:
    static constexpr int kDefaultDepthSeconds = 60;
    static constexpr int kMaxDepthSeconds = 600;
    static constexpr size_t kMemoryLimit = size_t{64} << 20;
    static constexpr int64_t kTicksPerSecond = 2000000;
    // A checkpoint after at least this many times the host time one snapshot costs has been
    // spent running: saving then costs about 1 % of the run at full speed, and running forward
    // from a checkpoint to any moment takes at most about kSaveRatio saves (a save of the whole
    // machine is some 60 µs, so a step back stays within a few milliseconds).
    static constexpr int kSaveRatio = 100;
    // Checkpoints per depth at most, so that the ring stays within its memory however fast the
    // host saves.
    static constexpr int kMaxCheckpointsPerDepth = 400;

    using Inputs = Board::Inputs;

    // A host file written by the machine's software (SD-ROM) or by a recording (tape).
    struct Note {
        int64_t position = 0;
        std::string what;  // "sd-rom" or "tape"
        std::string path;  // the host file, when known
    };

    enum class Outcome {
        Done,
        Unreachable,  // before the oldest moment kept (or no history at all)
        Failed,       // the replay did not come out as logged: the machine is as it was
    };
    struct Restored {
        Outcome outcome = Outcome::Unreachable;
        int64_t position = 0;
        std::vector<Note> passed;  // host files written after the restored moment
    };

    // The debugger's count of the steps it ran outside the run loop is what the log takes them
    // from.
    MachineHistory(Board& board, const debugger::DebuggerCore& debugger);
    ~MachineHistory();
    MachineHistory(const MachineHistory&) = delete;
    MachineHistory& operator=(const MachineHistory&) = delete;

    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }
    void SetDepthSeconds(int seconds);
    int DepthSeconds() const { return depthSeconds_; }
    // Checkpoints at this many emulated ticks apart instead of by the host time they cost (0:
    // by the host time); for checks that must know where the checkpoints fall.
    void SetFixedSpacing(int64_t ticks) { fixedSpacing_ = ticks; }
    // Forgets everything; the next period starts a new history.
    void Clear();

    // The run loop's part, under the processor mutex; `tapeCommanded` when the recorder was
    // started or stopped from outside since the last period.
    void BeforePeriod(bool tapeCommanded = false);
    void AfterPeriod(int32_t budget, bool ranToBudget, bool faulted, int64_t steps,
                     int64_t busyNanos);
    // The machine was changed from outside between periods (a file loaded, an edit, a reset):
    // the debugger's steps until now are logged, then a checkpoint holds the changed machine.
    void NoteChange();

    int64_t Position() const { return position_; }
    int64_t Ticks() const { return ticks_; }
    // The oldest moment that can be restored; the current position when there is none.
    int64_t OldestPosition() const;
    int64_t OldestTicks() const;
    size_t CheckpointCount() const { return checkpoints_.size(); }
    size_t MemoryBytes() const;
    const std::deque<Note>& Notes() const { return notes_; }

    // `count` instructions back.
    Restored StepBack(int64_t count);
    // To the last whole period at least `ticks` emulated ticks back, or the oldest moment.
    Restored RewindTicks(int64_t ticks);
    // The `count`-th moment back at which `wanted` holds, looked at before each instruction (the
    // moment before the first instruction of the history included); with `toOldest` the oldest
    // moment when there are fewer.
    using Predicate = std::function<bool(const ChipCpu8080&, const ChipMemory&)>;
    Restored StepBackWhere(int64_t count, const Predicate& wanted, bool toOldest);
    Restored RestorePosition(int64_t position);

  private:
    struct Entry {
        enum Kind : uint8_t { Period, Outside, Input } kind = Period;
        bool ranToBudget = false;
        bool faulted = false;
        bool open = false;  // a period left halfway by a restore: no end, its rest follows
        int32_t budget = 0;
        int64_t steps = 0;     // instructions in it
        int64_t calls = 0;     // Outside: Step calls, counting those that did nothing
        int64_t position = 0;  // at its start
        int64_t ticks = 0;     // at its start
        uint64_t check = 0;    // the processor's fingerprint after it
        Inputs inputs;
    };
    // A double-ended queue in one ring of power-of-two size: the run loop appends an entry every
    // period, and a node allocation every few entries (std::deque) showed in its cost.
    class EntryLog {
      public:
        size_t size() const { return count_; }
        bool empty() const { return count_ == 0; }
        void clear() { head_ = count_ = 0; }
        Entry& operator[](size_t index) { return ring_[(head_ + index) & (ring_.size() - 1)]; }
        const Entry& operator[](size_t index) const {
            return ring_[(head_ + index) & (ring_.size() - 1)];
        }
        void push_back(const Entry& entry) {
            if (count_ == ring_.size()) Grow();
            ring_[(head_ + count_) & (ring_.size() - 1)] = entry;
            ++count_;
        }
        void pop_front() {
            head_ = (head_ + 1) & (ring_.size() - 1);
            --count_;
        }
        void pop_back() { --count_; }

      private:
        void Grow() {
            std::vector<Entry> larger(ring_.empty() ? 1024 : ring_.size() * 2);
            for (size_t i = 0; i < count_; ++i) larger[i] = (*this)[i];
            ring_.swap(larger);
            head_ = 0;
        }
        std::vector<Entry> ring_;
        size_t head_ = 0, count_ = 0;
    };
    struct Checkpoint {
        int64_t position = 0;
        int64_t ticks = 0;
        uint64_t entry = 0;  // absolute index of the first entry after it
        Inputs inputs;
        std::vector<uint8_t> state;
    };

    bool Usable() const;
    void LogOutsideSteps();
    void TakeCheckpoint(bool cut);
    void Trim();
    void Append(const Entry& entry);
    void AppendRun(Entry entry);
    void TakeOverTheMachine();
    uint64_t Fingerprint() const;
    int64_t DebuggerSteps() const;
    int64_t DebuggerCalls() const;
    // Loads checkpoint `index` and runs the log up to `target`; `visit` sees every moment
    // before an instruction (and the target itself). False when the replay went astray.
    bool ReplayTo(size_t index, int64_t target,
                  const std::function<void(int64_t position)>& visit = {});
    bool ReplayEntry(const Entry& entry, int64_t stopAt, int64_t& position,
                     const std::function<void(int64_t)>& visit);
    void Disconnect();
    void Reconnect();
    void DropAfter(int64_t position, uint64_t entryIndex);
    Restored Finish(int64_t position, uint64_t entryIndex);

    Board& board_;
    const debugger::DebuggerCore& debugger_;
    struct Connections;
    std::unique_ptr<Connections> connections_;  // what a replay took away from the machine
    uint64_t replayStop_ = 0;                   // the first entry a replay did not finish
    size_t replayFrom_ = 0;                     // the checkpoint a replay started from
    bool replayPartial_ = false;                // ... and it went part of the way into it
    int64_t partialCalls_ = 0;                  // Step calls of that part (debugger steps)
    bool enabled_ = true;
    int depthSeconds_ = kDefaultDepthSeconds;
    bool started_ = false;
    bool replaying_ = false;
    bool checkpointWanted_ = false;
    int64_t fixedSpacing_ = 0;

    std::deque<Checkpoint> checkpoints_;
    EntryLog log_;
    uint64_t firstEntry_ = 0;  // absolute index of log_.front()
    std::deque<Note> notes_;
    std::vector<std::vector<uint8_t>> spareStates_;

    int64_t position_ = 0;
    int64_t ticks_ = 0;
    Inputs inputs_;
    uint64_t expected_ = 0;  // the processor's fingerprint after the last entry
    int64_t debuggerSteps_ = 0, debuggerCalls_ = 0;
    uint32_t tapeRecordings_ = 0, sdCommands_ = 0, sdWrites_ = 0;
    int64_t busySinceCheckpoint_ = 0;
    int64_t saveNanos_ = 100000;
    size_t bytes_ = 0;
};
