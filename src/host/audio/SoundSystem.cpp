#include "host/audio/SoundSystem.h"

#include <utility>

SoundSystem::SoundSystem(const std::atomic<bool>* shuttingDown, SoundDriver::StreamOpener opener)
    : shuttingDown_(shuttingDown), opener_(std::move(opener)) {
    if (!opener_) session_.emplace();
}

SoundSystem::~SoundSystem() {
    StopCapture();
    RemoveMuse();
    driver_.reset();
}

int SoundSystem::SanitizedVolume(int percent) {
    return percent < 0 || percent > 100 ? 90 : percent;
}

void SoundSystem::ApplyDevice(const SoundSettings& settings) {
    if (driver_ != nullptr) driver_->SetGenerator({});
    driver_.reset();
    if (settings.deviceIndex < 0) return;
    const SoundDriver::Volumes volumes{SanitizedVolume(settings.volumeSpeaker),
                                       SanitizedVolume(settings.volumeTape),
                                       SanitizedVolume(settings.volumeMuse)};
    driver_ = std::make_unique<SoundDriver>(settings.deviceIndex, settings.muse ? 3 : 2, volumes,
                                            shuttingDown_, opener_);
    // A device change alone keeps the board and the mute state; without these the board fell
    // silent and a muted machine was heard again until the next restart.
    WireMuse();
    if (settings.mute) driver_->Mute();
}

void SoundSystem::ApplyVolumes(const SoundSettings& settings) {
    if (driver_ == nullptr) return;
    driver_->SetVolumes({SanitizedVolume(settings.volumeSpeaker),
                         SanitizedVolume(settings.volumeTape),
                         SanitizedVolume(settings.volumeMuse)});
    if (settings.mute) driver_->Mute();
}

void SoundSystem::ApplyMuse(const SoundSettings& settings, IfGPIO* gpio) {
    RemoveMuse();
    if (driver_ == nullptr || !settings.muse) return;
    muse_ = std::make_unique<Muse>(gpio);
    WireMuse();
}

void SoundSystem::WireMuse() {
    const SoundGenerator board = muse_ != nullptr ? muse_->Generator() : SoundGenerator{};
    if (capture_ != nullptr) {
        capture_->SetGenerator(board);
        if (driver_ != nullptr) driver_->SetGenerator(board ? capture_->Replay() : board);
    } else if (driver_ != nullptr) {
        driver_->SetGenerator(board);
    }
}

void SoundSystem::StartCapture(const SoundSettings& settings, SoundCapture::Sink sink) {
    const int channels = driver_ != nullptr ? driver_->ChannelCount() : settings.muse ? 3 : 2;
    capture_ =
        std::make_unique<SoundCapture>(channels,
                                       std::array<int, 3>{SanitizedVolume(settings.volumeSpeaker),
                                                          SanitizedVolume(settings.volumeTape),
                                                          SanitizedVolume(settings.volumeMuse)},
                                       std::move(sink));
    WireMuse();
}

void SoundSystem::StopCapture() {
    if (capture_ == nullptr) return;
    capture_->SetGenerator({});
    capture_.reset();
    WireMuse();
}

void SoundSystem::RemoveMuse() {
    if (muse_ == nullptr) return;
    if (driver_ != nullptr) driver_->SetGenerator({});
    if (capture_ != nullptr) capture_->SetGenerator({});
    muse_.reset();
}

void SoundSystem::SetMuted(bool muted) {
    if (driver_ == nullptr) return;
    if (muted) {
        driver_->Mute();
    } else {
        driver_->Unmute();
    }
}

SoundLevelOutput SoundSystem::LevelOutput() {
    if (driver_ == nullptr && capture_ == nullptr) return {};
    return SoundLevelOutput::Bind<&SoundSystem::ForwardLevel>(this);
}

void SoundSystem::ForwardLevel(int channel, int level, int32_t tick) {
    if (driver_ != nullptr) driver_->SetLevel(channel, level, tick);
    if (capture_ != nullptr) capture_->SetLevel(channel, level, tick);
}

bool SoundSystem::ProducePeriod(bool normalSpeed) {
    const bool returned = normalSpeed && !normalSpeed_;
    normalSpeed_ = normalSpeed;
    if (driver_ == nullptr || !normalSpeed) return false;
    if (returned) driver_->Reprime();
    return driver_->ProduceBlock();
}

void SoundSystem::PauseStream() {
    if (driver_ != nullptr) driver_->PauseStream();
}

void SoundSystem::ResumeStream() {
    if (driver_ != nullptr) driver_->ResumeStream();
}
