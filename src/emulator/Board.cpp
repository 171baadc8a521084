#include "emulator/Board.h"

#include <chrono>

#include "emulator/ShuttingDown.h"
#include "host/files/ProgramPaths.h"
#include "host/input/JoystickConfig.h"

Board::Board(const config::Settings& settings, SoundDriver::StreamOpener soundOpener)
    : settings_(settings),
      fillRandom_(
          static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())) {
    screen_ = std::make_unique<ScreenTevrin>();
    sound_ = std::make_unique<SoundSystem>(&ShuttingDown, std::move(soundOpener));
    tape_ = std::make_unique<IfTape>();
    controllers_ = std::make_shared<input::GameControllers>();
    tape_->SetSoundSink(sound_->LevelOutput());
}

Board::~Board() {
    tape_->SetSoundSink({});
    sound_.reset();  // before the GPIO port its board sits on
    DestroyDevices();
    screen_.reset();
    memory_.reset();
    organizer_.reset();
}

void Board::DestroyDevices() {
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

void Board::Build() {
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
    FillVideoPlanes();
}

void Board::FillVideoPlanes() {
    if (videoRam_ == nullptr) return;
    layout::FillVideoPlanes(videoRam_, settings_.Get(config::keys::kResetPattern), fillRandom_);
}

void Board::InstallRomModule() {
    if (!settings_.Get(config::keys::kRomModuleInserted) || memory_ == nullptr) return;
    layout::InstallExternalRom(
        *memory_, layout::ReadRomImage(settings_.GetAbsolute(config::keys::kRomModuleFile)));
    romModuleLoaded_ = true;
}

void Board::InstallBlankExternalRom() {
    if (memory_ == nullptr) return;
    layout::InstallBlankExternalRom(*memory_);
    romModuleLoaded_ = false;
}

void Board::ConnectSdRom(SdRomCommands::FolderChanged folderChanged) {
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
        *memory_, *sdCard_, settings_.Get(config::keys::kSdRomCurrentFolder), folderChanged);
    sdRom_->Attach(*serial_);
}

void Board::ConnectJoystick(bool running) {
    joy_.reset();
    if (gpio_ == nullptr || !settings_.Get(config::keys::kJoystickConnected)) return;
    joyConfig_ = input::ReadJoystickConfig(settings_, *controllers_);
    joy_ = std::make_unique<JoyOPVS>(*gpio_, joyConfig_, controllers_.get());
    // A paused machine holds no controller; resuming takes it.
    if (!running) joy_->Close(false);
}

void Board::LatchKeys(const std::array<uint8_t, 16>& columns, uint8_t modifiers) {
    std::lock_guard<std::mutex> lock(inputMutex_);
    if (keysQueued_ || (keysPending_ && (pendingInputs_.keys != columns ||
                                         pendingInputs_.modifiers != modifiers))) {
        // The pending change stays; of the ones after it the latest waits its turn.
        queuedKeys_ = columns;
        queuedModifiers_ = modifiers;
        keysQueued_ = true;
    } else {
        pendingInputs_.keys = columns;
        pendingInputs_.modifiers = modifiers;
        keysPending_ = true;
    }
    inputsPending_.store(true, std::memory_order_release);
}

void Board::LatchJoystick(uint8_t bits) {
    std::lock_guard<std::mutex> lock(inputMutex_);
    pendingInputs_.joystick = bits;
    joystickPending_ = true;
    inputsPending_.store(true, std::memory_order_release);
}

void Board::LatchTapePlayback(const uint8_t* data, int32_t length, bool fast) {
    std::lock_guard<std::mutex> lock(inputMutex_);
    if (data != nullptr && length > 0) {
        pendingTapeData_.assign(data, data + length);
    } else {
        pendingTapeData_.clear();
    }
    pendingTapeFast_ = fast;
    tapePending_ = true;
    inputsPending_.store(true, std::memory_order_release);
}

void Board::ApplyLatchedInputs() {
    // Most periods find nothing new: no lock for them.
    if (!inputsPending_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(inputMutex_);
    const int64_t now = emulatedTicks_.load(std::memory_order_relaxed);
    if (keysPending_ && systemPio_ != nullptr)
        ShowKeys(pendingInputs_.keys, pendingInputs_.modifiers, now);
    if (keysQueued_ && now - keysShownAt_ >= kKeyHoldTicks) {
        if (systemPio_ != nullptr) ShowKeys(queuedKeys_, queuedModifiers_, now);
        keysQueued_ = false;
    }
    if (joystickPending_ && joy_ != nullptr) joy_->Latch(pendingInputs_.joystick);
    if (tapePending_) {
        tape_->StartPlayback(pendingTapeData_.data(), static_cast<int32_t>(pendingTapeData_.size()),
                             pendingTapeFast_);
        tapeCommanded_ = true;
    }
    keysPending_ = joystickPending_ = tapePending_ = false;
    // A queued change keeps the periods looking until its turn comes.
    inputsPending_.store(keysQueued_, std::memory_order_relaxed);
}

void Board::ShowKeys(const std::array<uint8_t, 16>& columns, uint8_t modifiers, int64_t now) {
    bool changed = systemPio_->KeyModifiers() != modifiers;
    for (int column = 0; column < 16 && !changed; ++column) {
        changed = systemPio_->KeyMatrix(column) != columns[static_cast<size_t>(column)];
    }
    if (!changed) return;
    systemPio_->SetKeyMatrix(columns, modifiers);
    keysShownAt_ = now;
}

void Board::DropLatchedInputs() {
    if (!inputsPending_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(inputMutex_);
    inputsPending_.store(false, std::memory_order_relaxed);
    keysPending_ = keysQueued_ = joystickPending_ = tapePending_ = false;
    pendingTapeData_.clear();
}

Board::Inputs Board::CurrentInputs() const {
    Inputs inputs;
    if (systemPio_ != nullptr) {
        for (int column = 0; column < 16; ++column) {
            inputs.keys[static_cast<size_t>(column)] = systemPio_->KeyMatrix(column);
        }
        inputs.modifiers = systemPio_->KeyModifiers();
    }
    if (joy_ != nullptr) inputs.joystick = joy_->State();
    return inputs;
}

void Board::ApplyInputs(const Inputs& inputs) {
    if (systemPio_ != nullptr) systemPio_->SetKeyMatrix(inputs.keys, inputs.modifiers);
    if (joy_ != nullptr) joy_->Latch(inputs.joystick);
}
