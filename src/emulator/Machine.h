#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "debugger/DebuggerCore.h"
#include "emulator/TPreciseTimer.h"
#include "host/config/GroupSet.h"
#include "host/config/Settings.h"
#include "host/audio/SoundSystem.h"
#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/HostKeyboardState.h"
#include "machine/IfGPIO.h"
#include "machine/IfInterrupt.h"
#include "machine/IfMultiplier.h"
#include "machine/IfSerial.h"
#include "machine/IfTimer.h"
#include "machine/MemoryOrganizer.h"
#include "machine/ScreenTevrin.h"
#include "machine/SystemPIO.h"

// Set once when the program is closing (or its configuration is unusable); every loop and
// callback of the emulation returns at once when it is set.
extern std::atomic<bool> ShuttingDown;

// The Tevrin, assembled: the processor, memory and devices built from the configuration, the
// 2 ms run loop on its own thread, pause, reset and speed. The main window and the headless
// runner each own one; everything that changes the machine from outside the run loop does so
// with the machine paused (pausing takes the processor mutex).
class Machine {
public:
    enum RunState : int { kBeforeFirstRun = -1, kRunning = 0, kPaused = 1 };

    // What stopped the machine, for the lock message.
    struct Fault {
        enum class Kind { None, MemoryRead, MemoryWrite, PortRead, PortWrite } kind = Kind::None;
        uint16_t address = 0;  // memory address or port number
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
    bool ApplySettings(config::GroupSet groups);

    // One 2 ms period of the run loop (the timer's callback).
    void CpuTimerEvent();

    void SetPaused(bool paused);
    RunState GetRunState() const { return runState_.load(); }
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

    // The fault that stopped the machine, if any; clears the fault flags.
    Fault TakeFault();
    // The lock message for a fault (from the language file): what happened, then what the user
    // can do (open the debugger, or only reset when there is none).
    static std::string FaultMessage(const Fault& fault, bool debuggerAvailable);

    // Share of host time spent in the run loop since the last call, 0-100; -1 while less than
    // a second has passed.
    int TakeHostUsage();

    // Copies the host keyboard into the key matrix, unless the debugger holds the machine.
    void ScanKeyboard();
    // Focus lost: the machine's keys all read as released until focus returns.
    void SetKeysReleased(bool released);

    // Called at the end of every period under the processor mutex, in emulated time (headless
    // typing and timed stops use it).
    void SetPeriodHook(Closure<void()> hook) { periodHook_ = hook; }
    // Emulated ticks run since construction (periods × their budgets), and the instructions
    // executed in them.
    int64_t EmulatedTicks() const { return emulatedTicks_.load(); }
    int64_t ExecutedInstructions() const { return instructions_.load(); }

    // Unthrottled, running does not start the 2 ms timer: the owner calls CpuTimerEvent itself
    // as fast as it likes (the headless runner's maximum speed).
    void SetThrottled(bool throttled) { throttled_ = throttled; }

    // Host time spent in the run loop since construction.
    int64_t HostBusyMicrosTotal() const { return hostBusyTotalMicros_.load(); }

    // Renders the video planes into the screen's bitmap.
    void RenderScreen();

    config::Settings& Settings() const { return settings_; }
    HostKeyboardState& Keyboard() { return keyboard_; }
    std::mutex& CpuMutex() { return cpuMutex_; }
    TPreciseTimer& PreciseTimer() { return preciseTimer_; }
    debugger::DebuggerCore& Debugger() { return debugger_; }

    // The object graph; any part may be absent while it is rebuilt.
    std::unique_ptr<MemoryOrganizer> Organizer;
    std::unique_ptr<ChipMemory> Memory;
    std::unique_ptr<ChipCpu8080P> Cpu;
    uint8_t* VideoRam = nullptr;  // the red plane's start (page E6)
    std::unique_ptr<ScreenTevrin> Screen;
    std::unique_ptr<SystemPIO> SystemPio;
    std::unique_ptr<IfInterrupt> Interrupts;
    std::unique_ptr<IfGPIO> Gpio;
    std::unique_ptr<IfSerial> Serial;
    std::unique_ptr<IfTimer> Timer;
    std::unique_ptr<IfMultiplier> Multiplier;
    std::unique_ptr<SoundSystem> Sound;  // the driver inside is absent without a device

    // The sound toggle: mutes or unmutes and stores the choice.
    void SetMuted(bool muted);
    bool Muted() const;

    // Which external ROM the slot holds after the last ApplySettings.
    bool RomModuleLoaded() const { return romModuleLoaded_; }

private:
    void DestroyDevices();
    void ApplyRomModule();
    void ApplyBlankExternalRom();
    void ApplyScreenSettings(config::Group group);

    config::Settings& settings_;
    // Every holder keeps it briefly (a period of the run loop, one change made from the window),
    // so waiting for it always ends.
    std::mutex cpuMutex_;
    TPreciseTimer preciseTimer_;
    debugger::DebuggerCore debugger_;
    HostKeyboardState keyboard_;
    std::atomic<RunState> runState_{kBeforeFirstRun};
    std::atomic<double> speedFactor_{1.0};
    std::atomic<int64_t> hostBusyMicros_{0};
    std::chrono::steady_clock::time_point usageSince_;
    std::atomic<int64_t> emulatedTicks_{0};
    std::atomic<int64_t> instructions_{0};
    std::atomic<int64_t> hostBusyTotalMicros_{0};
    bool throttled_ = true;
    Closure<void()> periodHook_;
    std::mt19937 fillRandom_;
    bool romModuleLoaded_ = false;
    bool keysReleased_ = false;
};
