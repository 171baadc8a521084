#include "emulator/Machine.h"

#include <algorithm>
#include <ctime>
#include <thread>

#include "emulator/SpeedControl.h"
#include "host/audio/SoundConfig.h"
#include "host/files/ProgramPaths.h"
#include "host/input/JoystickConfig.h"
#include "machine/MemoryLayout.h"

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
    : settings_(settings),
      usageSince_(Clock::now()),
      fillRandom_(static_cast<uint32_t>(Clock::now().time_since_epoch().count())) {
    screen_ = std::make_unique<ScreenTevrin>();
    sound_ = std::make_unique<SoundSystem>(&ShuttingDown, std::move(soundOpener));
    // The recorder outlives rebuilds of the board, so a deck attached to it stays attached; each
    // build plugs it into the new serial interface.
    tape_ = std::make_unique<IfTape>();
    controllers_ = std::make_shared<input::GameControllers>();
    tape_->SetSoundSink(sound_->LevelOutput());
    // As the Sound settings page does when it loads: a configuration that names no device (a
    // fresh installation) gets the default output device, so the machine is heard at once.
    if (sound_->AudioAvailable()) soundconfig::SelectDevice(settings_);
    preciseTimer_.SetIntervalMicros(speed::kPeriodMicros * speed::kPeriodsPerWake);
    preciseTimer_.SetOnTimer(Closure<void()>::Bind<&Machine::TimerWake>(this));
    preciseTimer_.SetEnabled(false);
    history_ = std::make_unique<MachineHistory>(*this);
}

Machine::~Machine() {
    // A period that is still running (or waiting for the mutex) finishes before the devices go.
    preciseTimer_.SetEnabled(false);
    preciseTimer_.WaitIdle();
    std::lock_guard<std::mutex> lock(cpuMutex_);
    tape_->SetSoundSink({});
    sound_.reset();  // before the GPIO port its board sits on
    DestroyDevices();
    screen_.reset();
    memory_.reset();
    organizer_.reset();
}

void Machine::DestroyDevices() {
    // The sound board leaves the GPIO port before the port goes. The processor goes before the
    // devices it is bound to only because nothing runs it meanwhile; the timer and the serial
    // interface may go in either order.
    if (sound_) sound_->RemoveMuse();
    if (systemPio_) systemPio_->SetSpeakerOutput({});
    // The SD-ROM module leaves the serial line and the memory it shows its banks in first.
    sdRom_.reset();
    sdCard_.reset();
    joy_.reset();
    multiplier_.reset();
    timer_.reset();
    serial_.reset();
    gpio_.reset();
    interrupts_.reset();
    systemPio_.reset();
    cpu_.reset();
}

void Machine::BuildMachine() {
    // A history of other hardware cannot be loaded into this one.
    history_->Clear();
    DestroyDevices();
    videoRam_ = nullptr;
    memory_.reset();
    organizer_.reset();

    const bool multiplier = settings_.Get(config::keys::kMultiplier);

    organizer_ = std::make_unique<MemoryOrganizer>();
    memory_ = std::make_unique<ChipMemory>(*organizer_);
    mainRomPath_ = settings_.GetAbsolute(config::keys::kRomFile);
    layout::BuildInternalMemory(*memory_, layout::ReadRomImage(mainRomPath_, &mainRomRead_));
    romModuleLoaded_ = false;

    cpu_ = std::make_unique<ChipCpu8080P>(*memory_);
    cpu_->SetMachineTiming(true);

    screen_->InstallColourWrite(*memory_);
    videoRam_ = memory_->PagePointer(layout::kRedPlanePage);

    interrupts_ = std::make_unique<IfInterrupt>();
    cpu_->SetInterruptController(interrupts_.get());

    systemPio_ = std::make_unique<SystemPIO>(
        SystemPIO::ScrollOutput::Bind<&ScreenTevrin::SetScroll>(screen_.get()), interrupts_.get());
    systemPio_->SetSpeakerOutput(sound_->LevelOutput());

    gpio_ = std::make_unique<IfGPIO>(cpu_.get());
    gpio_->SetInteOnPB0(settings_.Get(config::keys::kInteOnPb0));

    serial_ = std::make_unique<IfSerial>(interrupts_.get());

    timer_ = std::make_unique<IfTimer>(interrupts_.get());
    timer_->ConnectSerial(serial_.get());
    tape_->Attach(*serial_);
    timer_->SetClockOptions(settings_.Get(config::keys::kClockTimer0),
                            settings_.Get(config::keys::kClockTimer1),
                            settings_.Get(config::keys::kChainTimer01));

    if (multiplier) {
        multiplier_ = std::make_unique<IfMultiplier>();
        multiplier_->SetEnablePaging(
            Closure<void()>::Bind<&MemoryOrganizer::EnablePaging>(organizer_.get()));
    }

    // The port map, in binding order: the first binding that matches a port answers it.
    cpu_->AttachPort(0xE0, 0xE0, true, organizer_.get());
    if (!multiplier) cpu_->AttachPort(0xD8, 0xFC, false, organizer_.get());
    cpu_->AttachPort(0xCC, 0xFC, true, screen_.get());
    cpu_->AttachPort(0xD4, 0xFC, false, interrupts_.get());
    cpu_->AttachPort(0xC0, 0xFC, true, systemPio_.get());
    cpu_->AttachPort(0xC4, 0xFC, true, gpio_.get());
    cpu_->AttachPort(0xD0, 0xFC, false, timer_.get());
    cpu_->AttachPort(0xC8, 0xFC, true, serial_.get());
    if (multiplier) cpu_->AttachPort(0xD8, 0xFC, false, multiplier_.get());

    cpu_->AddTickListener(TickListener::Bind<&IfTimer::OnTick>(timer_.get()),
                          QuietQuery::Bind<&IfTimer::QuietTicks>(timer_.get()));
    cpu_->AddTickListener(TickListener::Bind<&IfSerial::OnTick>(serial_.get()),
                          QuietQuery::Bind<&IfSerial::QuietTicks>(serial_.get()));
    cpu_->AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(interrupts_.get()),
                          QuietQuery::Bind<&IfInterrupt::QuietTicks>(interrupts_.get()));

    debugger_.BindMachine(cpu_.get(), memory_.get());
    layout::FillVideoPlanes(videoRam_, settings_.Get(config::keys::kResetPattern), fillRandom_);
}

void Machine::ApplyRomModule() {
    if (!settings_.Get(config::keys::kRomModuleInserted) || memory_ == nullptr) return;
    layout::InstallExternalRom(
        *memory_, layout::ReadRomImage(settings_.GetAbsolute(config::keys::kRomModuleFile)));
    romModuleLoaded_ = true;
}

void Machine::ApplySdRom() {
    history_->Clear();
    sdRom_.reset();
    sdCard_.reset();
    if (memory_ == nullptr || serial_ == nullptr) return;
    if (!settings_.Get(config::keys::kSdRomConnected)) return;
    // The module shows its banks in the external ROM's pages.
    if (memory_->PagePointer(layout::kExtRomFirstPage) == nullptr) {
        layout::InstallBlankExternalRom(*memory_);
    }
    romModuleLoaded_ = false;
    sdCard_ = std::make_unique<media::SdRomFolder>(
        settings_.GetAbsolute(config::keys::kSdRomRootPath), program::ProgramFolder());
    sdRom_ = std::make_unique<IfSdRom>(
        *memory_, *sdCard_, settings_.Get(config::keys::kSdRomCurrentFolder),
        SdRomCommands::FolderChanged::Bind<&Machine::OnSdRomFolderChanged>(this));
    sdRom_->Attach(*serial_);
}

// The machine's software changed the module's current folder: it is kept for the next start,
// as the module itself would keep it.
void Machine::OnSdRomFolderChanged(const std::string& folderUtf8) {
    settings_.Set(config::keys::kSdRomCurrentFolder, folderUtf8);
}

void Machine::ApplyJoystick() {
    joy_.reset();
    if (gpio_ == nullptr || !settings_.Get(config::keys::kJoystickConnected)) return;
    joyConfig_ = input::ReadJoystickConfig(settings_, *controllers_);
    joy_ = std::make_unique<JoyOPVS>(*gpio_, joyConfig_, controllers_.get());
    // A paused machine holds no controller; resuming takes it.
    if (runState_.load() != kRunning) joy_->Close(false);
}

void Machine::SampleJoystick(uint8_t keySwitches) {
    if (joy_ == nullptr) return;
    uint8_t bits = 0;
    if (!joy_->ReadSource(keySwitches, bits)) return;
    {
        std::lock_guard<std::mutex> lock(inputMutex_);
        pendingInputs_.joystick = bits;
        joystickPending_ = true;
        inputsPending_.store(true, std::memory_order_release);
    }
    ApplyInputsWhilePaused();
}

void Machine::ApplyBlankExternalRom() {
    if (memory_ == nullptr) return;
    layout::InstallBlankExternalRom(*memory_);
    romModuleLoaded_ = false;
}

bool Machine::ApplySettings(GroupSet groups) {
    history_->SetDepthSeconds(settings_.Get(config::keys::kRewindDepth));
    bool rebuilt = false;
    const bool hardware = groups.HasAny(kHardwareGroups);
    if (groups.Has(Group::SoundDevice)) {
        // The speaker lets go of the old driver before it is replaced.
        if (systemPio_) systemPio_->SetSpeakerOutput({});
        tape_->SetSoundSink({});
        sound_->ApplyDevice(soundconfig::Read(settings_));
        tape_->SetSoundSink(sound_->LevelOutput());
        rebuilt = true;
    }
    if (groups.Has(Group::SoundVolumes)) sound_->ApplyVolumes(soundconfig::Read(settings_));
    if (hardware) {
        BuildMachine();
        groups.Add({Group::Joystick, Group::RomModuleFile, Group::SdRomFolder, Group::Muse});
        rebuilt = true;
    }
    if (groups.HasAny(kModuleGroups)) {
        bool loadedNow = false;
        if (groups.HasAny(kRomModuleGroups) && settings_.Get(config::keys::kRomModuleInserted)) {
            ApplyRomModule();
            loadedNow = true;
        }
        if (!loadedNow && !settings_.Get(config::keys::kRomModuleInserted) &&
            !settings_.Get(config::keys::kSdRomConnected)) {
            ApplyBlankExternalRom();
        }
        ApplySdRom();
        rebuilt = true;
    }
    if (groups.Has(Group::SoundDevice) && !hardware && systemPio_) {
        systemPio_->SetSpeakerOutput(sound_->LevelOutput());
    }
    if (groups.Has(Group::Joystick)) ApplyJoystick();
    if (groups.Has(Group::Muse)) {
        sound_->ApplyMuse(soundconfig::Read(settings_), gpio_.get());
        rebuilt = true;
    }
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
    const int32_t budget = speed::PeriodBudget(factor);
    if (ShuttingDown || debugger_.DebuggerState.load() == debugger::kBreakRequested) return false;
    std::unique_lock<std::mutex> lock(cpuMutex_);
    // Paused while this call waited for the mutex: nothing more to run.
    if (runState_.load() != kRunning || cpu_ == nullptr) return false;
    // At normal speed the audio device's clock paces the machine: the periods come early (the
    // more so when it has drained the ring) and are skipped while its ring is full.
    const bool paced = factor == 1.0 && sound_->Paces();
    const int periodMicros = !paced             ? speed::kPeriodMicros
                             : sound_->Behind() ? speed::kCatchUpPeriodMicros
                                                : speed::kPacedPeriodMicros;
    preciseTimer_.SetIntervalMicros(periodMicros * speed::kPeriodsPerWake);
    // A period the full ring has no room for is skipped; the rest of the wake-up's periods are
    // still offered, so a device that stopped taking is noticed after as many periods as before.
    if (sound_->ProducePeriod(factor == 1.0)) return true;

    ApplyPendingInputs();
    history_->BeforePeriod();

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
        steps = cpu_->Run(budget);
        instructions_ += steps;
        if (cpu_->PortFault || memory_->Fault()) {
            history_->AfterPeriod(budget, false, true, steps, busyNanos());
            preciseTimer_.SetEnabled(false);
            return false;
        }
    } else {
        do {
            if (debugger_.IsBreakpoint(cpu_->PC)) {
                stop = true;
                break;
            }
            debugger_.BeforeInstruction();
            if (stepping) {
                int32_t ticks = 0;
                bool returned = debugger_.WatchReturnStep(ticks);
                if (ticks != 0) ++steps, ++instructions_;
                if (returned) {
                    stop = true;
                    break;
                }
            } else if (cpu_->Step() != 0) {
                ++steps, ++instructions_;
            }
            if (cpu_->PortFault || memory_->Fault()) {
                history_->AfterPeriod(budget, false, true, steps, busyNanos());
                preciseTimer_.SetEnabled(false);
                return false;
            }
        } while (cpu_->PeriodTicks < budget);
    }
    const bool ranToBudget = !stop && cpu_->PeriodTicks >= budget;
    cpu_->PeriodTicks -= budget;
    emulatedTicks_ += budget;
    // One reading of the clock for both: the period hook's own work (typing, timed stops) is
    // small, and it changes the machine from outside, so the history hears of the period first.
    const int64_t busy = busyNanos();
    history_->AfterPeriod(budget, ranToBudget, false, steps, busy);
    periodHook_();
    hostBusyTotalNanos_ += busy;
    lock.unlock();
    if (stop) debugger_.DebuggerState = debugger::kBreakRequested;
    // The period hook ends timed runs by stopping the timer: no further period of this wake-up.
    return !stop && preciseTimer_.Enabled();
}

void Machine::ApplyPendingInputs() {
    // Most periods find nothing new: no lock for them.
    if (!inputsPending_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(inputMutex_);
    inputsPending_.store(false, std::memory_order_relaxed);
    if (keysPending_ && systemPio_ != nullptr) {
        systemPio_->SetKeyMatrix(pendingInputs_.keys, pendingInputs_.modifiers);
    }
    if (joystickPending_ && joy_ != nullptr) joy_->Latch(pendingInputs_.joystick);
    keysPending_ = joystickPending_ = false;
}

void Machine::NoteOutsideChange() {
    std::lock_guard<std::mutex> lock(cpuMutex_);
    history_->NoteChange();
}

void Machine::SetPaused(bool paused) {
    if (!paused && cpu_ != nullptr && !HasMainRom()) paused = true;
    const RunState wanted = paused ? kPaused : kRunning;
    if (runState_.load() == wanted) return;
    std::lock_guard<std::mutex> lock(cpuMutex_);
    if (ShuttingDown && runState_.load() == kPaused) return;
    runState_ = wanted;
    if (paused) {
        preciseTimer_.SetEnabled(false);
        sound_->PauseStream();
        if (joy_ != nullptr) joy_->Close(false);
    } else {
        if (joy_ != nullptr) joy_->Open();
        sound_->ResumeStream();
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
    if (cpu_ == nullptr) return;
    cpu_->RequestReset();
    layout::FillVideoPlanes(videoRam_, settings_.Get(config::keys::kResetPattern), fillRandom_);
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
    return cpu_ != nullptr && memory_ != nullptr && (cpu_->PortFault || memory_->Fault());
}

Machine::Fault Machine::TakeFault() {
    Fault fault;
    {
        // The flags belong to the emulation thread; the run loop has stopped the timer when one
        // is set, so the mutex is free at once then.
        std::lock_guard<std::mutex> lock(cpuMutex_);
        if (cpu_ == nullptr || memory_ == nullptr) return fault;
        if (!cpu_->PortFault && !memory_->Fault()) return fault;
    }
    SetPaused(true);
    if (memory_->Fault()) {
        fault.kind = memory_->FaultWrite ? Fault::Kind::MemoryWrite : Fault::Kind::MemoryRead;
        fault.address = memory_->FaultAddress;
    } else {
        fault.kind = cpu_->FaultPortWrite ? Fault::Kind::PortWrite : Fault::Kind::PortRead;
        fault.address = cpu_->FaultPort;
    }
    cpu_->PortFault = false;
    memory_->ClearFault();
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
    sound_->SetMuted(muted);
    settings_.Set(config::keys::kMute, muted);
}

SoundDriver::Statistics Machine::SoundStatistics() const {
    const SoundDriver* driver = sound_->Driver();
    return driver != nullptr ? driver->GetStatistics() : SoundDriver::Statistics{};
}

bool Machine::Muted() const {
    return settings_.Get(config::keys::kMute);
}

bool Machine::AcceptsKeys() const {
    return systemPio_ != nullptr && debugger_.DebuggerState.load() != debugger::kStopped;
}

void Machine::SetKeyMatrix(const KeyMatrix& keys) {
    if (!AcceptsKeys()) return;
    {
        std::lock_guard<std::mutex> lock(inputMutex_);
        pendingInputs_.keys = keys.columns;
        pendingInputs_.modifiers = keys.modifiers;
        keysPending_ = true;
        inputsPending_.store(true, std::memory_order_release);
    }
    ApplyInputsWhilePaused();
}

// Nothing runs while the machine is paused, so what was read may go in at once; the processor
// mutex keeps a period that starts meanwhile from finding half of it.
void Machine::ApplyInputsWhilePaused() {
    if (runState_.load() == kRunning) return;
    std::unique_lock<std::mutex> lock(cpuMutex_, std::try_to_lock);
    if (lock.owns_lock() && runState_.load() != kRunning) ApplyPendingInputs();
}

Machine::VideoView Machine::Video() const {
    VideoView view;
    view.redPlane = videoRam_;
    view.colourRegister = screen_->ColourRegister();
    view.scrollRegister = screen_->ScrollRegister();
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
    if (cpu_ == nullptr) return view;
    view.pc = cpu_->PC;
    view.sp = cpu_->SP;
    view.halted = cpu_->Halted;
    view.inte = cpu_->Inte;
    view.periodTicks = cpu_->PeriodTicks;
    view.clockTicks = cpu_->ClockTicks;
    view.isrMax = cpu_->IsrMax;
    return view;
}

void Machine::StartProgramAt(uint16_t address) {
    if (cpu_ == nullptr) return;
    cpu_->PC = address;
    cpu_->Halted = false;
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
