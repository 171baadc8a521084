#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "debugger/DebuggerCore.h"
#include "emulator/Board.h"
#include "emulator/InputMovie.h"
#include "emulator/MachineHistory.h"
#include "emulator/ShuttingDown.h"
#include "emulator/Snapshot.h"
#include "emulator/TPreciseTimer.h"
#include "host/config/GroupSet.h"

// The Tevrin as it runs: a board (what a moment of the machine is, Board.h) moved on by the 2 ms
// run loop on its own thread, with pause, reset, speed and the history of its recent past. The
// main window and the headless runner each own one; everything that changes the machine from
// outside the run loop does so with the machine paused (pausing takes the processor mutex).
class Machine {
  public:
    enum RunState : int { kBeforeFirstRun = -1, kRunning = 0, kPaused = 1 };

    // What stopped the machine, for the lock message.
    struct Fault {
        enum class Kind { None, MemoryRead, MemoryWrite, PortRead, PortWrite } kind = Kind::None;
        uint16_t address = 0;  // memory address or port number
    };

    // Read-only views for status displays. They are taken without the processor mutex while
    // the machine may run: every field is a plain value read whole, so at worst a view is one
    // period old.
    struct VideoView {
        const uint8_t* redPlane = nullptr;  // page E6, the start of the three planes; null unbuilt
        uint8_t colourRegister = 0;
        uint8_t scrollRegister = 0;
    };
    struct ProcessorView {
        uint16_t pc = 0;
        uint16_t sp = 0;
        bool halted = false;
        bool inte = false;
        int32_t periodTicks = 0;  // position inside the current period
        int32_t clockTicks = 0;
        int32_t isrMax = -1;  // longest interrupt service measured, in ticks; negative: none yet
    };
    // The video between two periods: the run loop waits while this is held.
    struct HeldVideo {
        std::unique_lock<std::mutex> lock;
        VideoView video;
    };

    // Pauses a running machine for as long as it lives and lets it run again after, so that
    // the window thread can change it without the run loop finding half a change. A machine
    // that was paused (or had not run yet) stays as it was.
    class PausedScope {
      public:
        explicit PausedScope(Machine& machine);
        ~PausedScope();
        PausedScope(const PausedScope&) = delete;
        PausedScope& operator=(const PausedScope&) = delete;
        bool WasRunning() const { return wasRunning_; }
        // The memory to change (a file loaded into it, an edit); null while unbuilt.
        ChipMemory* Memory() const { return machine_.board_->Memory(); }

      private:
        Machine& machine_;
        bool wasRunning_;
    };

    // `soundOpener` replaces the audio device (tests); without it the machine opens PortAudio
    // and, at speed 1.0, is paced by the device's clock.
    explicit Machine(config::Settings& settings, SoundDriver::StreamOpener soundOpener = {});
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Destroys and rebuilds the processor, memory and devices from the configuration.
    void BuildMachine();
    // Applies the changed settings groups in their fixed order; true when something was rebuilt.
    // The presentation's groups (colour profile, border, full-screen mapping) are the front
    // end's.
    bool ApplySettings(config::GroupSet groups);

    // One 2 ms period of the run loop.
    void CpuTimerEvent();
    // The timer's callback: up to speed::kPeriodsPerWake periods, fewer when one of them
    // pauses, faults, breaks or stops the timer.
    void TimerWake();

    void SetPaused(bool paused);
    RunState GetRunState() const { return runState_.load(); }
    // Pauses and waits until the run loop has let go: the timer's callback in progress, if
    // any, has returned and no other will start. The window's close uses it.
    void StopRunLoop();
    // Stops the 2 ms timer without changing the run state: the period hook's way to end a run
    // at an exact emulated time.
    void StopTimer() { preciseTimer_.SetEnabled(false); }
    // Waits up to `ms` for the timer to stop (a timed run's end, a fault); true when stopped.
    bool WaitTimerStopped(int ms) {
        return preciseTimer_.WaitDisabled(std::chrono::milliseconds(ms));
    }
    // Processor reset at the next instruction, and the video planes filled as configured.
    void WarmReset();
    // The reset command: warm, or cold (rebuilt, so RAM is zero and the ROMs reloaded). Returns
    // true when the debugger holds the machine, so the caller shows the reset state there
    // instead of letting it run.
    bool ResetMachine(bool cold);

    double SpeedFactor() const { return speedFactor_.load(); }
    void SetSpeedFactor(double speed);
    // Menu step: +1 faster, 0 normal, -1 slower.
    void ChangeSpeed(int direction);

    // A fault has stopped the run loop and not been taken yet.
    bool FaultPending() const;
    // The fault that stopped the machine, if any; clears the fault flags.
    Fault TakeFault();

    // The whole program's share of one host core since the last call, in percent (every thread:
    // the run loop, sound, the window's drawing); -1 while less than a second has passed.
    double TakeHostUsage();

    // The keys down now, from the front end's keyboard scan. The matrix takes them between two
    // periods (at once while the machine does not run), so that the history knows the exact
    // tick of every key.
    void SetKeyMatrix(const KeyMatrix& keys);
    // False while the debugger holds the machine: a scan then leaves the host's keys waiting.
    bool AcceptsKeys() const;
    // Reads the joystick's source for its switches, which take it between two periods as the
    // keys do; the window's 20 ms refresh calls it, on the thread that applies the settings (the
    // game controllers are used from that one thread). `keySwitches` are what the configured
    // host keys hold, for the key source.
    void SampleJoystick(uint8_t keySwitches = 0);
    // The joystick interface while the configuration connects it, else null.
    const JoyOPVS* Joystick() const { return board_->Joystick(); }
    // The host's game controllers, shared with the joystick dialog, which may outlive the
    // machine.
    std::shared_ptr<input::GameControllers> Controllers() const { return board_->Controllers(); }

    // Called at the end of every period under the processor mutex, in emulated time (headless
    // typing and timed stops use it).
    void SetPeriodHook(Closure<void()> hook) { periodHook_ = hook; }
    // Called after the period hook, for recordings of the session: they see the period as the
    // hook left it. With the machine paused or before it runs.
    void SetRecordingHook(Closure<void()> hook) { recordingHook_ = hook; }
    // What the machine plays, every emulated frame of it, from the next period on (see
    // SoundCapture), or no more. With the machine paused or before it runs.
    void StartSoundCapture(SoundCapture::Sink sink);
    void StopSoundCapture();
    // Emulated ticks run since construction (periods × their budgets), and the instructions
    // executed in them.
    int64_t EmulatedTicks() const { return board_->EmulatedTicks(); }
    int64_t ExecutedInstructions() const { return board_->Instructions(); }

    // Unthrottled, running does not start the 2 ms timer: the owner calls CpuTimerEvent itself
    // as fast as it likes (the headless runner's maximum speed).
    void SetThrottled(bool throttled) { throttled_ = throttled; }

    // Host time spent in the run loop since construction.
    int64_t HostBusyMicrosTotal() const { return hostBusyTotalNanos_.load() / 1000; }

    // Whether the processor and memory exist (they are absent only while being rebuilt).
    bool Built() const { return board_->Built(); }
    VideoView Video() const;
    HeldVideo HoldVideo();
    // Holds the run loop between two periods for as long as the lock lives: the debugger reads
    // the whole board through it while the machine runs on its behalf. Never pause, resume or
    // note a change while holding it (each takes the same lock).
    std::unique_lock<std::mutex> HoldBetweenPeriods() {
        return std::unique_lock<std::mutex>(cpuMutex_);
    }
    ProcessorView Processor() const;
    // The memory as it is, for dumps and views; null while unbuilt. Change it only through a
    // PausedScope.
    const ChipMemory* MemoryView() const { return board_->Memory(); }
    // The memory to change from the period hook, which runs under the processor mutex (from
    // the window thread use PausedScope::Memory); null while unbuilt.
    ChipMemory* MemoryInPeriodHook() const { return board_->Memory(); }
    // Sends the processor to `address` and releases a halted one: a program just loaded is
    // started from there. With the machine paused or from the period hook only.
    void StartProgramAt(uint16_t address);
    bool MultiplierFitted() const { return board_->MultiplierFitted(); }
    // The cassette recorder on serial line 0, the same object for the machine's whole life; a
    // front end's tape deck attaches to it and sends its commands to CommandTape. Its play and
    // recorder states may be read from any thread.
    IfTape& Tape() { return board_->Tape(); }
    // Plays `length` bytes from `data` (copied at once), or stops on null: from any thread, taken
    // in between two periods as the keys are (at once while the machine does not run). Never
    // blocks, so a tape event's handler may call it while the emulation thread waits for it.
    void CommandTape(const uint8_t* data, int32_t length, bool fast);
    const IfTape& Tape() const { return board_->Tape(); }
    // The SD-ROM module on serial line 3 while the configuration connects it, else null; its
    // status icon and bank letter may be read from any thread.
    const IfSdRom* SdRom() const { return board_->SdRom(); }

    config::Settings& Settings() const { return settings_; }
    debugger::DebuggerCore& Debugger() { return debugger_; }
    // For the debugger's page and interrupt labels; null while unbuilt.
    const MemoryOrganizer* Organizer() const { return board_->Organizer(); }
    const IfInterrupt* Interrupts() const { return board_->Interrupts(); }
    // The peripheral status window reads the timer and the serial chip while stopped.
    const IfTimer* Timer() const { return board_->Timer(); }
    const IfSerial* Serial() const { return board_->Serial(); }
    // And the two parallel ports, read the same way.
    const SystemPIO* SystemPio() const { return board_->SystemPio(); }
    const IfGPIO* Gpio() const { return board_->Gpio(); }

    // What the audio device has been given; all zero without a driver.
    SoundDriver::Statistics SoundStatistics() const;

    // The sound toggle: mutes or unmutes the output; the front end keeps the choice.
    void SetMuted(bool muted);
    // Whether an audio output device can be opened at all.
    bool AudioAvailable() const { return board_->Sound().AudioAvailable(); }
    // The SD-ROM module's software changed its current folder (on the emulation thread, under
    // the processor mutex); the front end keeps it for the next start. Set before the module is
    // connected.
    void SetSdRomFolderSink(std::function<void(const std::string& folderUtf8)> sink) {
        sdRomFolderSink_ = std::move(sink);
    }

    // How the main ROM file read at the last build, and its path.
    const layout::RomRead& MainRomRead() const { return board_->MainRomRead(); }
    const std::string& MainRomPath() const { return board_->MainRomPath(); }
    // False when the main ROM file gave the machine nothing to run (unreadable or empty): such a
    // machine would only run into a fault and stop again, so it stays paused until a build with
    // a ROM; SetPaused(false) leaves it paused.
    bool HasMainRom() const {
        const layout::RomRead& read = board_->MainRomRead();
        return read.status != layout::RomRead::Status::Unreadable && read.bytes > 0;
    }

    // Which external ROM the slot holds after the last ApplySettings.
    bool RomModuleLoaded() const { return board_->RomModuleLoaded(); }

    // The recent past, for rewinding and stepping back. Use it with the machine paused or from
    // the period hook.
    MachineHistory& History() { return *history_; }
    // The machine was changed from outside (a load, an edit of memory or registers): the history
    // takes note. NoteOutsideChange with the machine paused, the other from the period hook.
    void NoteOutsideChange();
    void NoteChangeInPeriodHook();

    // Snapshots (the board's, BoardSnapshot.cpp, with the run speed), with the machine paused or
    // from the period hook only. Saving writes the whole machine into `out` (empty while
    // unbuilt). Loading checks the whole file before it changes anything and leaves the machine
    // as it was when it refuses; `version` gets the file's format version. The files go through
    // the atomic writer.
    void SaveSnapshot(std::vector<uint8_t>& out);
    snapshot::LoadError LoadSnapshot(const uint8_t* data, size_t size, uint32_t* version = nullptr);
    bool SaveSnapshotFile(const std::string& path, std::string* error = nullptr);
    snapshot::LoadError LoadSnapshotFile(const std::string& path, uint32_t* version = nullptr);

    // Input movies. Recording takes the machine as it is now as the movie's start and then every
    // input from outside before each period; a playback loads the movie's start and from then
    // on puts the recorded inputs in place instead of the host's (keys, joystick and tape
    // commands latched meanwhile are dropped), until the movie's end, after which the run goes
    // on with the host's inputs. Each starts and stops between two periods (it waits for the one
    // under way), so never from the period hook.
    void StartRecordingInputs();
    bool RecordingInputs() const { return recording_.load(); }
    // Emulated ticks taken down so far.
    int64_t RecordedTicks() const { return recordedTicks_.load(); }
    movie::Movie StopRecordingInputs();
    snapshot::LoadError StartPlayingInputs(movie::Movie movie);
    bool PlayingInputs() const { return playing_.load(); }
    void StopPlayingInputs();
    // How the last playback ended, once: None when it played to its end (or none ended since the
    // last call); a held snapshot the machine refused ends it early with that refusal.
    struct PlaybackEnd {
        bool ended = false;
        snapshot::LoadError error = snapshot::LoadError::None;
    };
    PlaybackEnd TakePlaybackEnd();

  private:
    // One period; false when the run loop should not go on with another now.
    bool RunPeriod();
    friend struct MachineTestAccess;  // tests reach the board where no view shows it
    // Puts the keys and switches latched from the host in place while nothing runs.
    void ApplyInputsWhilePaused();
    // The movie's part of the end of a period, under the processor mutex.
    void AfterMoviePeriod();
    void EndPlayback(snapshot::LoadError error);
    void OnSdRomFolderChanged(const std::string& folderUtf8);

    config::Settings& settings_;
    std::function<void(const std::string&)> sdRomFolderSink_;
    // Every holder keeps it briefly (a period of the run loop, one change made from the window),
    // so waiting for it always ends.
    std::mutex cpuMutex_;
    TPreciseTimer preciseTimer_;
    debugger::DebuggerCore debugger_;
    std::atomic<RunState> runState_{kBeforeFirstRun};
    std::atomic<double> speedFactor_{1.0};
    std::chrono::steady_clock::time_point usageSince_;
    int64_t usageCpuSinceNanos_ = -1;
    std::atomic<int64_t> hostBusyTotalNanos_{0};
    bool throttled_ = true;
    Closure<void()> periodHook_;
    Closure<void()> recordingHook_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<MachineHistory> history_;
    std::unique_ptr<movie::MovieRecorder> recorder_;
    std::unique_ptr<movie::MoviePlayer> player_;
    std::atomic<bool> recording_{false}, playing_{false};
    std::atomic<int64_t> recordedTicks_{0};
    std::mutex playbackEndMutex_;
    PlaybackEnd playbackEnd_;
};
