#include "frontend/SessionRecording.h"

#include "emulator/SpeedControl.h"
#include "machine/ScreenPalette.h"
#include "machine/ScreenRenderer.h"

SessionRecording::SessionRecording(Machine& machine, bool waitWhenFull)
    : machine_(machine), waitWhenFull_(waitWhenFull) {
    pixels_.resize(static_cast<size_t>(media::MediaRecorder::kWidth) *
                   media::MediaRecorder::kHeight);
}

SessionRecording::~SessionRecording() {
    Stop(Kind::Video, nullptr);
    Stop(Kind::Sound, nullptr);
}

bool SessionRecording::Start(Kind kind, const std::string& path, std::string* error) {
    if (Active(kind)) Stop(kind, nullptr);
    media::MediaRecorder::Options options;
    options.waitWhenFull = waitWhenFull_;
    std::unique_ptr<media::MediaRecorder> recorder =
        media::MediaRecorder::Open(path, kind, options, error);
    if (recorder == nullptr) return false;
    Machine::PausedScope paused(machine_);
    if (kind == Kind::Video) {
        video_ = std::move(recorder);
        lastTicks_ = machine_.EmulatedTicks();
        elapsed_ = 0;
        droppedReported_ = 0;
        nextPicture_ = 0;
        pending_ = false;
    } else {
        sound_ = std::move(recorder);
    }
    UpdateHooks();
    return true;
}

bool SessionRecording::Stop(Kind kind, std::string* error) {
    std::unique_ptr<media::MediaRecorder> recorder;
    {
        Machine::PausedScope paused(machine_);
        if (kind == Kind::Video && video_ != nullptr) {
            // The last picture taken belongs to the video when its moment lies before the end.
            if (pending_ && pendingIndex_ * kTicksPerPicture < elapsed_) {
                SubmitPending();
            }
            pending_ = false;
        }
        recorder = kind == Kind::Video ? std::move(video_) : std::move(sound_);
        UpdateHooks();
    }
    if (recorder == nullptr) return true;
    return recorder->Finish(error);
}

void SessionRecording::UpdateHooks() {
    const bool wanted = video_ != nullptr || sound_ != nullptr;
    machine_.SetRecordingHook(video_ != nullptr
                                  ? Closure<void()>::Bind<&SessionRecording::OnPeriod>(this)
                                  : Closure<void()>{});
    if (wanted && !capturing_) {
        machine_.StartSoundCapture([this](const SoundFrame* frames, int count) {
            if (video_ != nullptr) video_->SubmitSound(frames, count);
            if (sound_ != nullptr) sound_->SubmitSound(frames, count);
        });
        capturing_ = true;
    } else if (!wanted && capturing_) {
        machine_.StopSoundCapture();
        capturing_ = false;
    }
}

void SessionRecording::OnPeriod() {
    // The recording's own clock, period by period, as the sound's is: a rewind or a snapshot
    // loaded moves the machine's count of ticks, not the time recorded. Such a jump counts as
    // one period; a speed changed between two periods is well within four of them.
    const int64_t now = machine_.EmulatedTicks();
    const int64_t budget = speed::PeriodBudget(machine_.SpeedFactor());
    const int64_t step = now - lastTicks_;
    elapsed_ += step > 0 && step <= 4 * budget ? step : budget;
    lastTicks_ = now;
    const int64_t ticks = elapsed_;
    if (pending_ && pendingIndex_ * kTicksPerPicture < ticks) SubmitPending();
    if (nextPicture_ * kTicksPerPicture > ticks) return;
    // Several due at once (a period longer than a picture, at high speed): the newest stands
    // for them all.
    pendingIndex_ = ticks / kTicksPerPicture;
    nextPicture_ = pendingIndex_ + 1;
    const Machine::VideoView video = machine_.Video();
    screen::RenderPlanes(video.redPlane, video.scrollRegister, grey_.load(), true, pixels_.data());
    pending_ = true;
}

void SessionRecording::SubmitPending() {
    pending_ = false;
    if (video_ != nullptr) video_->SubmitPicture(pendingIndex_, pixels_.data(), screen::kPalette);
}

std::string SessionRecording::Failure(Kind kind) const {
    const media::MediaRecorder* recorder = Recorder(kind);
    return recorder != nullptr ? recorder->Failure() : std::string();
}

int64_t SessionRecording::TakeDroppedPictures() {
    if (video_ == nullptr) return 0;
    const int64_t dropped = video_->DroppedPictures();
    const int64_t fresh = dropped - droppedReported_;
    droppedReported_ = dropped;
    return fresh;
}

std::string SessionRecording::Path(Kind kind) const {
    const media::MediaRecorder* recorder = Recorder(kind);
    return recorder != nullptr ? recorder->Path() : std::string();
}
