#include "emulator/Machine.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "emulator/SpeedControl.h"
#include "host/lang/Language.h"
#include "host/audio/SoundConfig.h"
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
    Screen = std::make_unique<ScreenTevrin>();
    Sound = std::make_unique<SoundSystem>(&ShuttingDown, std::move(soundOpener));
    // As the Sound settings page does when it loads: a configuration that names no device (a
    // fresh installation) gets the default output device, so the machine is heard at once.
    if (Sound->AudioAvailable()) soundconfig::SelectDevice(settings_);
    preciseTimer_.SetInterval(speed::kPeriodMs);
    preciseTimer_.SetOnTimer(Closure<void()>::Bind<&Machine::CpuTimerEvent>(this));
    preciseTimer_.SetEnabled(false);
}

Machine::~Machine() {
    preciseTimer_.SetEnabled(false);
    // Wait for a period that is still running to finish before the devices go.
    std::lock_guard<std::mutex> lock(cpuMutex_);
    Sound.reset();  // before the GPIO port its board sits on
    DestroyDevices();
    Screen.reset();
    Memory.reset();
    Organizer.reset();
}

void Machine::DestroyDevices() {
    // The sound board leaves the GPIO port before the port goes. The processor goes before the
    // devices it is bound to only because nothing runs it meanwhile; the timer and the serial
    // interface may go in either order.
    if (Sound) Sound->RemoveMuse();
    if (SystemPio) SystemPio->SetSpeakerOutput({});
    Multiplier.reset();
    Timer.reset();
    Serial.reset();
    Gpio.reset();
    Interrupts.reset();
    SystemPio.reset();
    Cpu.reset();
}

void Machine::BuildMachine() {
    DestroyDevices();
    VideoRam = nullptr;
    Memory.reset();
    Organizer.reset();

    const bool multiplier = settings_.Get(config::keys::kMultiplier);

    Organizer = std::make_unique<MemoryOrganizer>();
    Memory = std::make_unique<ChipMemory>(*Organizer);
    layout::BuildInternalMemory(*Memory,
                                layout::ReadRomImage(settings_.GetAbsolute(config::keys::kRomFile)));
    romModuleLoaded_ = false;

    Cpu = std::make_unique<ChipCpu8080P>(*Memory);
    Cpu->SetMachineTiming(true);

    Screen->InstallColourWrite(*Memory);
    VideoRam = Memory->PagePointer(layout::kRedPlanePage);

    Interrupts = std::make_unique<IfInterrupt>();
    Cpu->SetInterruptController(Interrupts.get());

    SystemPio = std::make_unique<SystemPIO>(
        SystemPIO::ScrollOutput::Bind<&ScreenTevrin::SetScroll>(Screen.get()), Interrupts.get());
    SystemPio->SetKeysReleased(keysReleased_);
    SystemPio->SetSpeakerOutput(Sound->LevelOutput());

    Gpio = std::make_unique<IfGPIO>(Cpu.get());
    Gpio->SetInteOnPB0(settings_.Get(config::keys::kInteOnPb0));

    Serial = std::make_unique<IfSerial>(Interrupts.get());

    Timer = std::make_unique<IfTimer>(Interrupts.get());
    Timer->ConnectSerial(Serial.get());
    Timer->SetClockOptions(settings_.Get(config::keys::kClockTimer0),
                           settings_.Get(config::keys::kClockTimer1),
                           settings_.Get(config::keys::kChainTimer01));

    if (multiplier) {
        Multiplier = std::make_unique<IfMultiplier>();
        Multiplier->SetEnablePaging(
            Closure<void()>::Bind<&MemoryOrganizer::EnablePaging>(Organizer.get()));
    }

    // The port map, in binding order: the first binding that matches a port answers it.
    Cpu->AttachPort(0xE0, 0xE0, true, Organizer.get());
    if (!multiplier) Cpu->AttachPort(0xD8, 0xFC, false, Organizer.get());
    Cpu->AttachPort(0xCC, 0xFC, true, Screen.get());
    Cpu->AttachPort(0xD4, 0xFC, false, Interrupts.get());
    Cpu->AttachPort(0xC0, 0xFC, true, SystemPio.get());
    Cpu->AttachPort(0xC4, 0xFC, true, Gpio.get());
    Cpu->AttachPort(0xD0, 0xFC, false, Timer.get());
    Cpu->AttachPort(0xC8, 0xFC, true, Serial.get());
    if (multiplier) Cpu->AttachPort(0xD8, 0xFC, false, Multiplier.get());

    Cpu->AddTickListener(TickListener::Bind<&IfTimer::OnTick>(Timer.get()),
                         QuietQuery::Bind<&IfTimer::QuietTicks>(Timer.get()));
    Cpu->AddTickListener(TickListener::Bind<&IfSerial::OnTick>(Serial.get()),
                         QuietQuery::Bind<&IfSerial::QuietTicks>(Serial.get()));
    Cpu->AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(Interrupts.get()),
                         QuietQuery::Bind<&IfInterrupt::QuietTicks>(Interrupts.get()));

    debugger_.BindMachine(Cpu.get(), Memory.get());
    layout::FillVideoPlanes(VideoRam, settings_.Get(config::keys::kResetPattern), fillRandom_);
}

void Machine::ApplyRomModule() {
    if (!settings_.Get(config::keys::kRomModuleInserted) || Memory == nullptr) return;
    layout::InstallExternalRom(
        *Memory, layout::ReadRomImage(settings_.GetAbsolute(config::keys::kRomModuleFile)));
    romModuleLoaded_ = true;
}

void Machine::ApplyBlankExternalRom() {
    if (Memory == nullptr) return;
    layout::InstallBlankExternalRom(*Memory);
    romModuleLoaded_ = false;
}

void Machine::ApplyScreenSettings(Group which) {
    switch (which) {
        case Group::ColourProfile:
            Screen->SetColourProfile(settings_.Get(config::keys::kColorProfile) !=
                                     config::ColorProfile::GreyScale);
            break;
        case Group::Border: Screen->SetBorder(settings_.Get(config::keys::kScreenBorder)); break;
        case Group::FullScreen:
            Screen->SetFullScreenFit(settings_.Get(config::keys::kFullScreenFit));
            Screen->SetFullScreenDoubled(settings_.Get(config::keys::kFullScreenSize) ==
                                         config::FullScreenSize::Size200);
            break;
        default: break;
    }
}

bool Machine::ApplySettings(GroupSet groups) {
    bool rebuilt = false;
    const bool hardware = groups.HasAny(kHardwareGroups);
    if (groups.Has(Group::SoundDevice)) {
        // The speaker lets go of the old driver before it is replaced.
        if (SystemPio) SystemPio->SetSpeakerOutput({});
        Sound->ApplyDevice(soundconfig::Read(settings_));
        rebuilt = true;
    }
    if (groups.Has(Group::SoundVolumes)) Sound->ApplyVolumes(soundconfig::Read(settings_));
    if (hardware) {
        BuildMachine();
        groups.Add({Group::Keyboard, Group::Joystick, Group::RomModuleFile, Group::SdRomFolder,
                    Group::Muse});
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
        rebuilt = true;
    }
    for (Group which : {Group::ColourProfile, Group::Border, Group::FullScreen}) {
        if (groups.Has(which)) ApplyScreenSettings(which);
    }
    if (groups.Has(Group::SoundDevice) && !hardware && SystemPio) {
        SystemPio->SetSpeakerOutput(Sound->LevelOutput());
    }
    if (groups.Has(Group::Keyboard) && SystemPio != nullptr) {
        SystemPio->SetChangeZY(settings_.Get(config::keys::kChangeZy));
    }
    if (groups.Has(Group::Muse)) {
        Sound->ApplyMuse(soundconfig::Read(settings_), Gpio.get());
        rebuilt = true;
    }
    return rebuilt;
}

void Machine::CpuTimerEvent() {
    const Clock::time_point start = Clock::now();
    const double factor = speedFactor_.load();
    const int32_t budget = speed::PeriodBudget(factor);
    if (ShuttingDown || debugger_.DebuggerState.load() == debugger::kBreakRequested) return;
    std::unique_lock<std::mutex> lock(cpuMutex_);
    // Paused while this call waited for the mutex: nothing more to run.
    if (runState_.load() != kRunning || Cpu == nullptr) return;
    // At normal speed the audio device's clock paces the machine: while its ring is full the
    // period is skipped.
    if (factor == 1.0 && Sound->ProduceBlock()) return;

    const int32_t state = debugger_.DebuggerState.load();
    const bool stepping = state == debugger::kSteppingOver || state == debugger::kSteppingOut;
    bool stop = false;
    if (!stepping && !debugger_.AnyBreakpointActive()) {
        // No breakpoint can fire: the processor runs the whole period in one go.
        instructions_ += Cpu->Run(budget);
        if (Cpu->PortFault || Memory->Fault()) {
            preciseTimer_.SetEnabled(false);
            return;
        }
    } else {
        do {
            if (debugger_.IsBreakpoint(Cpu->PC)) {
                stop = true;
                break;
            }
            if (stepping) {
                int32_t ticks = 0;
                bool returned = debugger_.WatchReturnStep(ticks);
                if (ticks != 0) ++instructions_;
                if (returned) {
                    stop = true;
                    break;
                }
            } else if (Cpu->Step() != 0) {
                ++instructions_;
            }
            if (Cpu->PortFault || Memory->Fault()) {
                preciseTimer_.SetEnabled(false);
                return;
            }
        } while (Cpu->PeriodTicks < budget);
    }
    Cpu->PeriodTicks -= budget;
    emulatedTicks_ += budget;
    periodHook_();
    int64_t busy =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    hostBusyMicros_ += busy;
    hostBusyTotalMicros_ += busy;
    lock.unlock();
    if (stop) debugger_.DebuggerState = debugger::kBreakRequested;
}

void Machine::SetPaused(bool paused) {
    const RunState wanted = paused ? kPaused : kRunning;
    if (runState_.load() == wanted) return;
    std::lock_guard<std::mutex> lock(cpuMutex_);
    if (ShuttingDown && runState_.load() == kPaused) return;
    runState_ = wanted;
    if (paused) {
        preciseTimer_.SetEnabled(false);
        Sound->PauseStream();
    } else {
        Sound->ResumeStream();
        preciseTimer_.SetEnabled(throttled_);
    }
}

void Machine::WarmReset() {
    if (Cpu == nullptr) return;
    Cpu->RequestReset();
    layout::FillVideoPlanes(VideoRam, settings_.Get(config::keys::kResetPattern), fillRandom_);
}

bool Machine::ResetMachine(bool cold) {
    SetPaused(true);
    if (cold) ApplySettings({Group::MainRom, Group::RomModuleFile, Group::SdRomFolder});
    WarmReset();
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

void Machine::ChangeSpeed(int direction) { SetSpeedFactor(speed::Step(speedFactor_, direction)); }

Machine::Fault Machine::TakeFault() {
    Fault fault;
    {
        // The flags belong to the emulation thread; the run loop has stopped the timer when one
        // is set, so the mutex is free at once then.
        std::lock_guard<std::mutex> lock(cpuMutex_);
        if (Cpu == nullptr || Memory == nullptr) return fault;
        if (!Cpu->PortFault && !Memory->Fault()) return fault;
    }
    SetPaused(true);
    if (Memory->Fault()) {
        fault.kind = Memory->FaultWrite ? Fault::Kind::MemoryWrite : Fault::Kind::MemoryRead;
        fault.address = Memory->FaultAddress;
    } else {
        fault.kind = Cpu->FaultPortWrite ? Fault::Kind::PortWrite : Fault::Kind::PortRead;
        fault.address = Cpu->FaultPort;
    }
    Cpu->PortFault = false;
    Memory->ClearFault();
    return fault;
}

std::string Machine::FaultMessage(const Fault& fault, bool debuggerAvailable) {
    char number[8];
    const char* key = nullptr;
    switch (fault.kind) {
        case Fault::Kind::MemoryRead: key = "err.I41LockMemRD.Message"; break;
        case Fault::Kind::MemoryWrite: key = "err.I41LockMemWR.Message"; break;
        case Fault::Kind::PortRead: key = "err.I41LockPortRD.Message"; break;
        case Fault::Kind::PortWrite: key = "err.I41LockPortWR.Message"; break;
        case Fault::Kind::None: return std::string();
    }
    bool port = fault.kind == Fault::Kind::PortRead || fault.kind == Fault::Kind::PortWrite;
    std::snprintf(number, sizeof number, port ? "%02X" : "%04X", fault.address);
    return lang::LangText1("FormMain", key, number) +
           lang::LangText("FormMain", debuggerAvailable ? "err.I41Lock.Message"
                                                        : "err.I41LockReset.Message");
}

int Machine::TakeHostUsage() {
    const Clock::time_point now = Clock::now();
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - usageSince_).count();
    if (elapsed < 1000000) return -1;
    int64_t busy = hostBusyMicros_.exchange(0);
    usageSince_ = now;
    return static_cast<int>(std::min<int64_t>(100, busy * 100 / elapsed));
}

void Machine::SetMuted(bool muted) {
    Sound->SetMuted(muted);
    settings_.Set(config::keys::kMute, muted);
}

bool Machine::Muted() const { return settings_.Get(config::keys::kMute); }

void Machine::ScanKeyboard() {
    if (SystemPio == nullptr || debugger_.DebuggerState.load() == debugger::kStopped) return;
    SystemPio->ScanKeyboard(keyboard_);
}

void Machine::SetKeysReleased(bool released) {
    keysReleased_ = released;
    if (SystemPio != nullptr) SystemPio->SetKeysReleased(released);
}

void Machine::RenderScreen() {
    if (ShuttingDown || Screen == nullptr) return;
    // Between periods, so the picture never shows a half-written byte; a period lasts well
    // under 2 ms.
    std::lock_guard<std::mutex> lock(cpuMutex_);
    Screen->Render(VideoRam);
}
