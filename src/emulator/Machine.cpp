#include "emulator/Machine.h"

#include <algorithm>
#include <ctime>
#include <thread>

#include "emulator/SpeedControl.h"
#include "host/audio/SoundConfig.h"
#include "host/files/AtomicFile.h"

std::atomic<bool> ShuttingDown{false};

namespace {

using Clock = std::chrono::steady_clock;

using config::Group;
using config::GroupSet;

constexpr GroupSet kHardwareGroups{Group::MainRom, Group::Multiplier, Group::Timers,
                                   Group::InteOnPb0};
constexpr GroupSet kRomModuleGroups{Group::RomModuleFile, Group::RomModuleInserted};
constexpr GroupSet kModuleGroups{Group::RomModuleFile, Group::RomModuleInserted, Group::SdRomFolder,
                                 Group::SdRomConnected};

}  // namespace

Machine::Machine(config::Settings& settings, SoundDriver::StreamOpener soundOpener)
    : settings_(settings), usageSince_(Clock::now()) {
    board_ = std::make_unique<Board>(settings_, std::move(soundOpener));
    preciseTimer_.SetIntervalMicros(speed::kPeriodMicros * speed::kPeriodsPerWake);
    preciseTimer_.SetOnTimer(Closure<void()>::Bind<&Machine::TimerWake>(this));
    preciseTimer_.SetEnabled(false);
    history_ = std::make_unique<MachineHistory>(*board_, debugger_);
}

Machine::~Machine() {
    // A period that is still running (or waiting for the mutex) finishes before the devices go.
    preciseTimer_.SetEnabled(false);
    preciseTimer_.WaitIdle();
    std::lock_guard<std::mutex> lock(cpuMutex_);
    history_.reset();
    board_.reset();
}

void Machine::BuildMachine() {
    // A history of other hardware cannot be loaded into this one.
    history_->Clear();
    board_->Build();
    debugger_.BindMachine(board_->Cpu(), board_->Memory());
}

void Machine::OnSdRomFolderChanged(const std::string& folderUtf8) {
    if (sdRomFolderSink_) sdRomFolderSink_(folderUtf8);
}

void Machine::SampleJoystick(uint8_t keySwitches) {
    JoyOPVS* joy = board_->Joystick();
    if (joy == nullptr) return;
    uint8_t bits = 0;
    if (!joy->ReadSource(keySwitches, bits)) return;
    board_->LatchJoystick(bits);
    ApplyInputsWhilePaused();
}

bool Machine::ApplySettings(GroupSet groups) {
    history_->SetDepthSeconds(settings_.Get(config::keys::kRewindDepth));
    Board& board = *board_;
    SoundSystem& sound = board.Sound();
    bool rebuilt = false;
    const bool hardware = groups.HasAny(kHardwareGroups);
    if (groups.Has(Group::SoundDevice)) {
        // The speaker lets go of the old driver before it is replaced.
        if (board.SystemPio()) board.SystemPio()->SetSpeakerOutput({});
        board.Tape().SetSoundSink({});
        sound.ApplyDevice(soundconfig::Read(settings_));
        board.Tape().SetSoundSink(sound.LevelOutput());
        rebuilt = true;
    }
    if (groups.Has(Group::SoundVolumes)) sound.ApplyVolumes(soundconfig::Read(settings_));
    if (hardware) {
        BuildMachine();
        groups.Add({Group::Joystick, Group::RomModuleFile, Group::SdRomFolder, Group::Muse});
        rebuilt = true;
    }
    if (groups.HasAny(kModuleGroups)) {
        bool loadedNow = false;
        if (groups.HasAny(kRomModuleGroups) && settings_.Get(config::keys::kRomModuleInserted)) {
            board.InstallRomModule();
            loadedNow = true;
        }
        if (!loadedNow && !settings_.Get(config::keys::kRomModuleInserted) &&
            !settings_.Get(config::keys::kSdRomConnected)) {
            board.InstallBlankExternalRom();
        }
        history_->Clear();
        board.ConnectSdRom(
            SdRomCommands::FolderChanged::Bind<&Machine::OnSdRomFolderChanged>(this));
        rebuilt = true;
    }
    if (groups.Has(Group::SoundDevice) && !hardware && board.SystemPio()) {
        board.SystemPio()->SetSpeakerOutput(sound.LevelOutput());
    }
    if (groups.Has(Group::Joystick)) board.ConnectJoystick(runState_.load() == kRunning);
    if (groups.Has(Group::Muse)) {
        sound.ApplyMuse(soundconfig::Read(settings_), board.Gpio());
        rebuilt = true;
    }
    if (rebuilt && recorder_) recorder_->NoteChange();
    return rebuilt;
}

void Machine::TimerWake() {
    for (int i = 0; i < speed::kPeriodsPerWake; ++i) {
        if (!RunPeriod()) return;
    }
}

void Machine::CpuTimerEvent() {
    RunPeriod();
}

bool Machine::RunPeriod() {
    const Clock::time_point start = Clock::now();
    const double factor = speedFactor_.load();
    int32_t budget = speed::PeriodBudget(factor);
    if (ShuttingDown || debugger_.DebuggerState.load() == debugger::kBreakRequested) return false;
    std::unique_lock<std::mutex> lock(cpuMutex_);
    // Paused while this call waited for the mutex: nothing more to run.
    if (runState_.load() != kRunning || !board_->Built()) return false;
    Board& board = *board_;
    ChipCpu8080P& cpu = *board.Cpu();
    const ChipMemory& memory = *board.Memory();
    SoundSystem& sound = board.Sound();
    // At normal speed the audio device's clock paces the machine: the periods come early (the
    // more so when it has drained the ring) and are skipped while its ring is full.
    const bool paced = factor == 1.0 && sound.Paces();
    const int periodMicros = !paced           ? speed::kPeriodMicros
                             : sound.Behind() ? speed::kCatchUpPeriodMicros
                                              : speed::kPacedPeriodMicros;
    preciseTimer_.SetIntervalMicros(periodMicros * speed::kPeriodsPerWake);
    // A period the full ring has no room for is skipped; the rest of the wake-up's periods are
    // still offered, so a device that stopped taking is noticed after as many periods as before.
    if (sound.ProducePeriod(factor == 1.0)) return true;

    bool periodTaken = false;
    if (player_) {
        // The movie's inputs are the only ones: what the host latched meanwhile would take the
        // run off the recorded one.
        board.DropLatchedInputs();
        const movie::MoviePlayer::Due due = player_->BeforePeriod(board, budget);
        periodTaken = due.periodTaken;
        if (due.stateLoaded) NoteChangeInPeriodHook();
        if (due.ended) {
            EndPlayback(due.error);
        } else {
            budget = due.budget;
        }
    } else {
        board.ApplyLatchedInputs();
    }
    const bool tapeCommanded = board.TakeTapeCommanded();
    history_->BeforePeriod(tapeCommanded);
    if (recorder_) recorder_->BeforePeriod(board, tapeCommanded);
    if (periodTaken) {
        // The movie gave the whole period (its run reached the SD-ROM card): nothing to run.
        AfterMoviePeriod();
        periodHook_();
        return preciseTimer_.Enabled();
    }

    const int32_t state = debugger_.DebuggerState.load();
    const bool stepping = state == debugger::kSteppingOver || state == debugger::kSteppingOut;
    bool stop = false;
    int64_t steps = 0;
    // In nanoseconds: at full speed a period takes a couple of microseconds, and whole
    // microseconds would lose half of it from the sums.
    auto busyNanos = [&] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    };
    if (!stepping && !debugger_.Careful()) {
        // No breakpoint can fire and nobody traces: the processor runs the whole period in one
        // go.
        steps = cpu.Run(budget);
        board.AddInstructions(steps);
        if (cpu.PortFault || memory.Fault()) {
            history_->AfterPeriod(budget, false, true, steps, busyNanos());
            AfterMoviePeriod();
            preciseTimer_.SetEnabled(false);
            return false;
        }
    } else {
        do {
            if (debugger_.BreakHere(cpu.PC)) {
                stop = true;
                break;
            }
            debugger_.BeforeInstruction();
            if (stepping) {
                int32_t ticks = 0;
                bool returned = debugger_.WatchReturnStep(ticks);
                if (ticks != 0) ++steps, board.AddInstructions(1);
                if (returned) {
                    stop = true;
                    break;
                }
            } else if (debugger_.ExecuteOne() != 0) {
                ++steps, board.AddInstructions(1);
            }
            if (cpu.PortFault || memory.Fault()) {
                history_->AfterPeriod(budget, false, true, steps, busyNanos());
                AfterMoviePeriod();
                preciseTimer_.SetEnabled(false);
                return false;
            }
            if (debugger_.WatchFired()) {
                stop = true;
                break;
            }
        } while (cpu.PeriodTicks < budget);
    }
    const bool ranToBudget = !stop && cpu.PeriodTicks >= budget;
    cpu.PeriodTicks -= budget;
    board.AddTicks(budget);
    sound.EndPeriod(budget);
    // One reading of the clock for both: the period hook's own work (typing, timed stops) is
    // small, and it changes the machine from outside, so the history hears of the period first.
    const int64_t busy = busyNanos();
    history_->AfterPeriod(budget, ranToBudget, false, steps, busy);
    AfterMoviePeriod();
    periodHook_();
    recordingHook_();
    hostBusyTotalNanos_ += busy;
    lock.unlock();
    if (stop) debugger_.DebuggerState = debugger::kBreakRequested;
    // The period hook ends timed runs by stopping the timer: no further period of this wake-up.
    return !stop && preciseTimer_.Enabled();
}

void Machine::StartSoundCapture(SoundCapture::Sink sink) {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    Board& board = *board_;
    board.Sound().StartCapture(soundconfig::Read(settings_), std::move(sink));
    // Without a device the sources held nothing to send their changes to.
    if (board.SystemPio()) board.SystemPio()->SetSpeakerOutput(board.Sound().LevelOutput());
    board.Tape().SetSoundSink(board.Sound().LevelOutput());
}

void Machine::StopSoundCapture() {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    board_->Sound().StopCapture();
}

void Machine::NoteOutsideChange() {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    NoteChangeInPeriodHook();
}

void Machine::NoteChangeInPeriodHook() {
    history_->NoteChange();
    if (recorder_) recorder_->NoteChange();
}

void Machine::AfterMoviePeriod() {
    if (recorder_) {
        recorder_->AfterPeriod(*board_);
        recordedTicks_ = recorder_->Length();
    }
    if (!player_) return;
    const movie::MoviePlayer::Due due = player_->AfterPeriod(*board_);
    if (due.stateLoaded) NoteChangeInPeriodHook();
    if (due.ended) EndPlayback(due.error);
}

void Machine::EndPlayback(snapshot::LoadError error) {
    player_.reset();
    playing_ = false;
    std::lock_guard<std::mutex> lock(playbackEndMutex_);
    playbackEnd_ = PlaybackEnd{true, error};
}

void Machine::StartRecordingInputs() {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    if (!board_->Built()) return;
    recorder_ = std::make_unique<movie::MovieRecorder>();
    recorder_->Start(*board_, speedFactor_.load());
    recordedTicks_ = 0;
    recording_ = true;
}

movie::Movie Machine::StopRecordingInputs() {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    if (!recorder_) return {};
    movie::Movie done = recorder_->Finish(*board_);
    recorder_.reset();
    recording_ = false;
    return done;
}

snapshot::LoadError Machine::StartPlayingInputs(movie::Movie movie) {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    if (!board_->Built()) return snapshot::LoadError::NotBuilt;
    auto player = std::make_unique<movie::MoviePlayer>(std::move(movie));
    const snapshot::LoadError error = player->Start(*board_);
    if (error != snapshot::LoadError::None) return error;
    board_->DropLatchedInputs();
    player_ = std::move(player);
    playing_ = true;
    {
        std::lock_guard<std::mutex> endLock(playbackEndMutex_);
        playbackEnd_ = PlaybackEnd{};
    }
    if (player_->Length() == 0) {
        const movie::MoviePlayer::Due due = player_->ApplyDue(*board_);
        EndPlayback(due.error);
    }
    NoteChangeInPeriodHook();
    return error;
}

void Machine::StopPlayingInputs() {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    player_.reset();
    playing_ = false;
}

Machine::PlaybackEnd Machine::TakePlaybackEnd() {
    std::lock_guard<std::mutex> lock(playbackEndMutex_);
    const PlaybackEnd end = playbackEnd_;
    playbackEnd_ = PlaybackEnd{};
    return end;
}

void Machine::SetPaused(bool paused) {
    if (!paused && board_->Cpu() != nullptr && !HasMainRom()) paused = true;
    const RunState wanted = paused ? kPaused : kRunning;
    if (runState_.load() == wanted) return;
    std::lock_guard<std::mutex> lock(cpuMutex_);
    if (ShuttingDown && runState_.load() == kPaused) return;
    runState_ = wanted;
    if (paused) {
        preciseTimer_.SetEnabled(false);
        board_->Sound().PauseStream();
        if (board_->Joystick() != nullptr) board_->Joystick()->Close(false);
    } else {
        if (board_->Joystick() != nullptr) board_->Joystick()->Open();
        board_->Sound().ResumeStream();
        // The first wake-up comes one period after resuming, not a whole wake-up's worth: a
        // machine paused and resumed often (a dialog, the debugger's refresh) keeps running.
        // The run loop sets the longer interval again at its first period.
        preciseTimer_.SetIntervalMicros(speed::kPeriodMicros);
        preciseTimer_.SetEnabled(throttled_);
    }
}

void Machine::StopRunLoop() {
    SetPaused(true);
    // A callback that started before the pause may still be waiting for the mutex; it finds the
    // machine paused and returns at once.
    preciseTimer_.WaitIdle();
}

void Machine::WarmReset() {
    if (board_->Cpu() == nullptr) return;
    board_->Cpu()->RequestReset();
    board_->FillVideoPlanes();
}

bool Machine::ResetMachine(bool cold) {
    SetPaused(true);
    if (cold) ApplySettings({Group::MainRom, Group::RomModuleFile, Group::SdRomFolder});
    WarmReset();
    NoteOutsideChange();
    int32_t state = debugger_.DebuggerState.load();
    if (state != debugger::kStopped && state != debugger::kBreakRequested) {
        SetPaused(false);
        return false;
    }
    return true;
}

void Machine::SetSpeedFactor(double factor) {
    speedFactor_ = factor < speed::kSlowest ? speed::kSlowest : factor;
}

void Machine::ChangeSpeed(int direction) {
    SetSpeedFactor(speed::Step(speedFactor_, direction));
}

bool Machine::FaultPending() const {
    // Set and read by the emulation thread only while it runs; the run loop stops its timer as
    // soon as one is set, and the refresh reads them afterwards.
    return board_->Built() && (board_->Cpu()->PortFault || board_->Memory()->Fault());
}

Machine::Fault Machine::TakeFault() {
    Fault fault;
    {
        // The flags belong to the emulation thread; the run loop has stopped the timer when one
        // is set, so the mutex is free at once then.
        std::lock_guard<std::mutex> lock(cpuMutex_);
        if (!board_->Built()) return fault;
        if (!board_->Cpu()->PortFault && !board_->Memory()->Fault()) return fault;
    }
    SetPaused(true);
    if (board_->Memory()->Fault()) {
        fault.kind =
            board_->Memory()->FaultWrite ? Fault::Kind::MemoryWrite : Fault::Kind::MemoryRead;
        fault.address = board_->Memory()->FaultAddress;
    } else {
        fault.kind = board_->Cpu()->FaultPortWrite ? Fault::Kind::PortWrite : Fault::Kind::PortRead;
        fault.address = board_->Cpu()->FaultPort;
    }
    board_->Cpu()->PortFault = false;
    board_->Memory()->ClearFault();
    return fault;
}

namespace {
int64_t ProcessCpuNanos() {
    timespec spent{};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent) != 0) return -1;
    return static_cast<int64_t>(spent.tv_sec) * 1000000000 + spent.tv_nsec;
}
}  // namespace

double Machine::TakeHostUsage() {
    // The run loop's own busy time leaves out the sound threads and the drawing, which at the
    // monitor's prompt are most of what the program costs: the figure is the process's.
    const Clock::time_point now = Clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - usageSince_);
    const int64_t cpu = ProcessCpuNanos();
    if (usageCpuSinceNanos_ < 0 || cpu < 0) {
        usageSince_ = now;
        usageCpuSinceNanos_ = cpu;
        return -1;
    }
    if (elapsed < std::chrono::seconds(1)) return -1;
    const int64_t spent = cpu - usageCpuSinceNanos_;
    usageSince_ = now;
    usageCpuSinceNanos_ = cpu;
    return 100.0 * static_cast<double>(spent) / static_cast<double>(elapsed.count());
}

void Machine::SetMuted(bool muted) {
    board_->Sound().SetMuted(muted);
}

SoundDriver::Statistics Machine::SoundStatistics() const {
    const SoundDriver* driver = board_->Sound().Driver();
    return driver != nullptr ? driver->GetStatistics() : SoundDriver::Statistics{};
}

bool Machine::AcceptsKeys() const {
    return board_->SystemPio() != nullptr && debugger_.DebuggerState.load() != debugger::kStopped;
}

void Machine::SetKeyMatrix(const KeyMatrix& keys) {
    if (!AcceptsKeys()) return;
    board_->LatchKeys(keys.columns, keys.modifiers);
    ApplyInputsWhilePaused();
}

void Machine::CommandTape(const uint8_t* data, int32_t length, bool fast) {
    board_->LatchTapePlayback(data, length, fast);
    ApplyInputsWhilePaused();
}

// Nothing runs while the machine is paused, so what was read may go in at once; the processor
// mutex keeps a period that starts meanwhile from finding half of it.
void Machine::ApplyInputsWhilePaused() {
    if (runState_.load() == kRunning) return;
    std::unique_lock<std::mutex> lock(cpuMutex_, std::try_to_lock);
    if (!lock.owns_lock() || runState_.load() == kRunning) return;
    if (player_) {
        board_->DropLatchedInputs();
    } else {
        board_->ApplyLatchedInputs();
    }
}

Machine::VideoView Machine::Video() const {
    VideoView view;
    view.redPlane = board_->VideoRam();
    view.colourRegister = board_->Screen().ColourRegister();
    view.scrollRegister = board_->Screen().ScrollRegister();
    return view;
}

Machine::HeldVideo Machine::HoldVideo() {
    HeldVideo held;
    held.lock = std::unique_lock<std::mutex>(cpuMutex_);
    held.video = Video();
    return held;
}

Machine::ProcessorView Machine::Processor() const {
    ProcessorView view;
    if (board_->Cpu() == nullptr) return view;
    view.pc = board_->Cpu()->PC;
    view.sp = board_->Cpu()->SP;
    view.halted = board_->Cpu()->Halted;
    view.inte = board_->Cpu()->Inte;
    view.periodTicks = board_->Cpu()->PeriodTicks;
    view.clockTicks = board_->Cpu()->ClockTicks;
    view.isrMax = board_->Cpu()->IsrMax;
    return view;
}

void Machine::StartProgramAt(uint16_t address) {
    if (board_->Cpu() == nullptr) return;
    board_->Cpu()->PC = address;
    board_->Cpu()->Halted = false;
}

void Machine::SaveSnapshot(std::vector<uint8_t>& out) {
    board_->SaveSnapshot(out, speedFactor_.load());
}

snapshot::LoadError Machine::LoadSnapshot(const uint8_t* data, size_t size, uint32_t* version) {
    double speed = speedFactor_.load();
    const snapshot::LoadError error = board_->LoadSnapshot(data, size, version, &speed);
    if (error == snapshot::LoadError::None) speedFactor_ = speed;
    if (error == snapshot::LoadError::None && recorder_) recorder_->NoteChange();
    return error;
}

bool Machine::SaveSnapshotFile(const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    SaveSnapshot(bytes);
    if (bytes.empty()) {
        if (error != nullptr) {
            *error = snapshot::DescribeLoadError(snapshot::LoadError::NotBuilt, 0);
        }
        return false;
    }
    return files::WriteFileAtomically(path, std::span<const uint8_t>(bytes), error);
}

snapshot::LoadError Machine::LoadSnapshotFile(const std::string& path, uint32_t* version) {
    if (version != nullptr) *version = 0;
    std::string contents;
    if (files::ReadWholeFile(path, snapshot::kMaxFileSize, contents) != files::ReadResult::Ok) {
        return snapshot::LoadError::Unreadable;
    }
    const snapshot::LoadError error =
        LoadSnapshot(reinterpret_cast<const uint8_t*>(contents.data()), contents.size(), version);
    // A change from outside, held by the history at this moment (the period hook holds the
    // processor mutex, and a paused machine runs no period: no lock is taken here).
    if (error == snapshot::LoadError::None) history_->NoteChange();
    return error;
}

Machine::PausedScope::PausedScope(Machine& machine)
    : machine_(machine), wasRunning_(machine.GetRunState() == kRunning) {
    if (wasRunning_) machine_.SetPaused(true);
}

Machine::PausedScope::~PausedScope() {
    // Whatever was done meanwhile, the history starts again from the machine as it is now.
    machine_.NoteOutsideChange();
    if (wasRunning_) machine_.SetPaused(false);
}
