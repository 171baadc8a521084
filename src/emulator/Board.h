#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "emulator/Snapshot.h"
#include "host/audio/SoundSystem.h"
#include "host/config/Settings.h"
#include "host/input/GameControllers.h"
#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/IfGPIO.h"
#include "machine/IfInterrupt.h"
#include "machine/IfMultiplier.h"
#include "machine/IfSdRom.h"
#include "machine/IfSerial.h"
#include "machine/IfTape.h"
#include "machine/IfTimer.h"
#include "machine/JoyOPVS.h"
#include "machine/MemoryLayout.h"
#include "machine/MemoryOrganizer.h"
#include "machine/ScreenTevrin.h"
#include "machine/SystemPIO.h"
#include "media/sdrom/SdRomFolder.h"

// What one moment of the Tevrin is: the processor, memory and devices built from the
// configuration and wired to their ports, the inputs from the host waiting for the next period,
// and the counters a snapshot keeps. It has no notion of time passing: the run loop (Machine)
// moves it on a period at a time and the history loads and replays it. Everything here runs on
// the thread that moves it, or while that thread is held off, except the latch's writers and the
// counters' readers.
class Board {
  public:
    // The inputs from outside as the machine sees them.
    struct Inputs {
        std::array<uint8_t, 16> keys{};
        uint8_t modifiers = 0;
        uint8_t joystick = 0;
        bool operator==(const Inputs&) const = default;
    };

    // Reads the configuration only; the front end writes it.
    Board(const config::Settings& settings, SoundDriver::StreamOpener soundOpener);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Destroys and rebuilds the processor, memory and devices from the configuration.
    void Build();
    // The ROM module file in the external ROM's pages, when the configuration inserts one.
    void InstallRomModule();
    void InstallBlankExternalRom();
    // Rebuilds the SD-ROM module from the configuration (or leaves it out); the module reports a
    // change of its current folder by the machine's software to `folderChanged`.
    void ConnectSdRom(SdRomCommands::FolderChanged folderChanged);
    // Rebuilds the joystick interface from the configuration; one on a machine that does not
    // run holds no controller.
    void ConnectJoystick(bool running);
    // The video planes as the configuration fills them at a reset.
    void FillVideoPlanes();

    // The processor and memory exist (they are absent only while being rebuilt).
    bool Built() const { return cpu_ != nullptr && memory_ != nullptr; }
    ChipCpu8080P* Cpu() { return cpu_.get(); }
    const ChipCpu8080P* Cpu() const { return cpu_.get(); }
    ChipMemory* Memory() { return memory_.get(); }
    const ChipMemory* Memory() const { return memory_.get(); }
    MemoryOrganizer* Organizer() { return organizer_.get(); }
    const MemoryOrganizer* Organizer() const { return organizer_.get(); }
    ScreenTevrin& Screen() { return *screen_; }
    const ScreenTevrin& Screen() const { return *screen_; }
    // The red plane's start (page E6); null while unbuilt.
    const uint8_t* VideoRam() const { return videoRam_; }
    SystemPIO* SystemPio() { return systemPio_.get(); }
    const SystemPIO* SystemPio() const { return systemPio_.get(); }
    const IfInterrupt* Interrupts() const { return interrupts_.get(); }
    IfGPIO* Gpio() { return gpio_.get(); }
    const IfGPIO* Gpio() const { return gpio_.get(); }
    IfSerial* Serial() { return serial_.get(); }
    const IfSerial* Serial() const { return serial_.get(); }
    const IfTimer* Timer() const { return timer_.get(); }
    bool MultiplierFitted() const { return multiplier_ != nullptr; }
    // The same recorder for the board's whole life: each build plugs it into the new serial
    // interface, so a deck attached to it stays attached.
    IfTape& Tape() { return *tape_; }
    const IfTape& Tape() const { return *tape_; }
    const IfSdRom* SdRom() const { return sdRom_.get(); }
    const media::SdRomFolder* SdCard() const { return sdCard_.get(); }
    JoyOPVS* Joystick() { return joy_.get(); }
    const JoyOPVS* Joystick() const { return joy_.get(); }
    SoundSystem& Sound() { return *sound_; }
    const SoundSystem& Sound() const { return *sound_; }
    std::shared_ptr<input::GameControllers> Controllers() const { return controllers_; }

    // How the main ROM file read at the last build, and its path.
    const layout::RomRead& MainRomRead() const { return mainRomRead_; }
    const std::string& MainRomPath() const { return mainRomPath_; }
    // Which external ROM the slot holds.
    bool RomModuleLoaded() const { return romModuleLoaded_; }

    // The latch: inputs read from the host on any thread wait here for the start of the next
    // period, so that the history knows the exact tick of every one. A second change of the keys
    // before a period took the first (a short press and its release between two wake-ups of the
    // run loop) waits until the first has been in place for kKeyHoldTicks: both are seen, and
    // a press lasts long enough for a program that scans the keyboard once a frame.
    static constexpr int64_t kKeyHoldTicks = 20000;
    void LatchKeys(const std::array<uint8_t, 16>& columns, uint8_t modifiers);
    void LatchJoystick(uint8_t bits);
    // The tape deck's buttons: play `length` bytes from `data` (copied here, so the caller's
    // buffer may go at once), or stop on null. The last command before a period is the one it
    // finds.
    void LatchTapePlayback(const uint8_t* data, int32_t length, bool fast);
    // Puts what was latched in place; from the thread that moves the board, between periods.
    void ApplyLatchedInputs();
    // Forgets what was latched (an input movie plays: the host's inputs would disturb it).
    void DropLatchedInputs();
    // Whether a tape command was put in place since the last call: the recorder then holds
    // bytes that no input log can give back, so the history keeps a checkpoint of it.
    bool TakeTapeCommanded() {
        const bool commanded = tapeCommanded_;
        tapeCommanded_ = false;
        return commanded;
    }
    // The inputs in place now, and putting a set of them in place (the history's replay).
    Inputs CurrentInputs() const;
    void ApplyInputs(const Inputs& inputs);

    // Emulated ticks of whole periods and instructions executed; read from any thread.
    int64_t EmulatedTicks() const { return emulatedTicks_.load(); }
    int64_t Instructions() const { return instructions_.load(); }
    void AddTicks(int64_t ticks) { emulatedTicks_ += ticks; }
    void AddInstructions(int64_t count) { instructions_ += count; }
    void SetEmulatedTicks(int64_t ticks) { emulatedTicks_ = ticks; }

    // Snapshots (BoardSnapshot.cpp). The run speed is kept with the moment but is the runner's:
    // saving takes it, loading hands it back without using it. Saving writes the whole board into
    // `out` (empty while unbuilt). Loading checks the whole file before it changes anything and
    // leaves the board as it was when it refuses; `version` gets the file's format version.
    void SaveSnapshot(std::vector<uint8_t>& out, double speed);
    snapshot::LoadError LoadSnapshot(const uint8_t* data, size_t size, uint32_t* version,
                                     double* speed);

  private:
    void DestroyDevices();
    // Loads the parsed sections of a snapshot (a map private to BoardSnapshot.cpp) into the
    // parts; false when one refuses.
    bool ApplySnapshotSections(const void* parsed, bool multiplier, bool sdRom);

    const config::Settings& settings_;
    std::mt19937 fillRandom_;
    bool romModuleLoaded_ = false;
    layout::RomRead mainRomRead_;
    std::string mainRomPath_;
    std::atomic<int64_t> emulatedTicks_{0};
    std::atomic<int64_t> instructions_{0};

    // Puts a sample of the keys on the port; a change restarts its hold. Under inputMutex_.
    void ShowKeys(const std::array<uint8_t, 16>& columns, uint8_t modifiers, int64_t now);

    std::mutex inputMutex_;
    Inputs pendingInputs_;
    bool keysPending_ = false;
    // The change that came after the pending one, and the tick the keys in place came in.
    bool keysQueued_ = false;
    std::array<uint8_t, 16> queuedKeys_{};
    uint8_t queuedModifiers_ = 0;
    int64_t keysShownAt_ = 0;
    bool joystickPending_ = false;
    bool tapePending_ = false;
    std::vector<uint8_t> pendingTapeData_;
    bool pendingTapeFast_ = false;
    bool tapeCommanded_ = false;
    std::atomic<bool> inputsPending_{false};

    // Any part may be absent while the board is rebuilt.
    std::unique_ptr<MemoryOrganizer> organizer_;
    std::unique_ptr<ChipMemory> memory_;
    std::unique_ptr<ChipCpu8080P> cpu_;
    uint8_t* videoRam_ = nullptr;
    std::unique_ptr<ScreenTevrin> screen_;
    std::unique_ptr<SystemPIO> systemPio_;
    std::unique_ptr<IfInterrupt> interrupts_;
    std::unique_ptr<IfGPIO> gpio_;
    std::unique_ptr<IfSerial> serial_;
    std::unique_ptr<IfTape> tape_;
    std::unique_ptr<media::SdRomFolder> sdCard_;
    std::unique_ptr<IfSdRom> sdRom_;
    std::unique_ptr<IfTimer> timer_;
    std::unique_ptr<IfMultiplier> multiplier_;
    std::unique_ptr<SoundSystem> sound_;  // the driver inside is absent without a device
    std::shared_ptr<input::GameControllers> controllers_;
    JoyConfig joyConfig_;           // what joy_ reads
    std::unique_ptr<JoyOPVS> joy_;  // on gpio_, which it must not outlive
};
