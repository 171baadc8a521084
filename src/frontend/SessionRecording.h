#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Machine.h"
#include "media/recording/MediaRecorder.h"

// The session recorded as it runs, in emulated time: a video (the picture as the window shows
// it, colour or grey, doubled to 512 × 512, 50 times a second, with the sound) and the sound
// alone, each started and stopped on its own. Picture n is the screen at n × 40,000 ticks after
// the start (20 ms at 2 MHz), so a run at any speed gives a video of the time the machine saw.
// The window and the headless runner each own one.
class SessionRecording {
  public:
    using Kind = media::MediaRecorder::Kind;
    static constexpr int64_t kTicksPerPicture = 40000;

    // `waitWhenFull`: the machine waits for the encoder instead of dropping pictures; only for
    // runs nobody watches at their pace (the headless maximum speed).
    SessionRecording(Machine& machine, bool waitWhenFull);
    // Finishes what is still being recorded.
    ~SessionRecording();
    SessionRecording(const SessionRecording&) = delete;
    SessionRecording& operator=(const SessionRecording&) = delete;

    // From the thread that pauses the machine. False, with the reason, when the file cannot be
    // started (its name gives no format, an encoder is missing, it cannot be created).
    bool Start(Kind kind, const std::string& path, std::string* error);
    // Finishes the file (the run's last moment belongs to it). False, with the reason, when
    // writing it failed at some point.
    bool Stop(Kind kind, std::string* error);
    bool Active(Kind kind) const { return Recorder(kind) != nullptr; }
    // Any time, from any thread: the colour profile of the pictures from now on.
    void SetColourProfile(bool colour) { grey_ = !colour; }

    // The first failure met while writing (a full disk) of a running recording, or empty.
    std::string Failure(Kind kind) const;
    // Pictures dropped because the encoder fell behind, since the last call.
    int64_t TakeDroppedPictures();
    // The path being recorded to, or empty.
    std::string Path(Kind kind) const;

  private:
    media::MediaRecorder* Recorder(Kind kind) const {
        return kind == Kind::Video ? video_.get() : sound_.get();
    }
    void OnPeriod();
    void SubmitPending();
    void UpdateHooks();

    Machine& machine_;
    const bool waitWhenFull_;
    std::atomic<bool> grey_{false};
    std::unique_ptr<media::MediaRecorder> video_;
    std::unique_ptr<media::MediaRecorder> sound_;
    bool capturing_ = false;
    int64_t lastTicks_ = 0;  // the machine's count at the last period
    int64_t elapsed_ = 0;    // ticks recorded
    int64_t nextPicture_ = 0;
    bool pending_ = false;
    int64_t pendingIndex_ = 0;
    std::vector<uint8_t> pixels_;
    int64_t droppedReported_ = 0;
};
