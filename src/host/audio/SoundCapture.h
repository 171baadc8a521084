#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "host/audio/SoundFrame.h"
#include "machine/SoundLevelOutput.h"

// What the machine plays, mixed in emulated time for a recording: the speaker's and the tape's
// level changes at their ticks and the Muse board's samples, at 88 frames per 4000 ticks
// (44,000 frames per emulated second), whatever the speed and whether or not an audio device
// exists. The audio device's driver mixes the same sources against the host's clock and drops
// nothing but has no blocks at all away from normal speed; a recording needs every emulated
// frame, so it keeps its own mix.
//
// Everything runs on the thread that moves the machine (or with it held off).
class SoundCapture {
  public:
    static constexpr int kFramesPerSecond = 44000;
    static constexpr int kFramesPerBlock = 88;
    static constexpr int32_t kTicksPerBlock = 4000;
    // The driver's blocks are the device's 44,100 frames a second: 88 or 89 a period.
    static constexpr int kReplayFrames = 89;
    // Receives every finished stretch of frames in order, none left out.
    using Sink = std::function<void(const SoundFrame* frames, int count)>;

    // Percentages 0..100 in the order speaker, tape, Muse, shared out of full scale as the
    // driver shares them (channelCount 2, or 3 with the Muse fitted).
    SoundCapture(int channelCount, const std::array<int, 3>& volumes, Sink sink);

    void SetLevel(int channel, int level, int32_t tick);
    // The Muse board's sample source, or none.
    void SetGenerator(SoundGenerator generator) { generator_ = generator; }
    // The period of `budget` ticks has ended: its frames go to the sink.
    void EndPeriod(int32_t budget);
    // The board advances once per emulated frame, here; the driver, which would advance it again
    // at normal speed, is handed the frames this mix generated last instead.
    void ReplayMuse(int16_t* block, int frames);
    SoundGenerator Replay() { return SoundGenerator::Bind<&SoundCapture::ReplayMuse>(this); }

    int64_t FramesDone() const { return framesDone_; }

  private:
    struct Change {
        int64_t frame;
        int16_t value;
    };
    struct Channel {
        int16_t volume = 0;
        int16_t current = 0;
        std::vector<Change> changes;  // of the period running, in order
    };

    static int64_t FrameOfTick(int64_t tick) { return tick * kFramesPerBlock / kTicksPerBlock; }

    const int channelCount_;
    Sink sink_;
    SoundGenerator generator_;
    int16_t museVolume_ = 0;
    std::array<Channel, 2> channels_;
    int64_t periodStartTick_ = 0;
    int64_t framesDone_ = 0;
    std::vector<SoundFrame> mixed_;
    std::vector<int16_t> muse_;
    std::array<int16_t, 2 * kReplayFrames> lastMuse_{};  // the newest frames, oldest first
};
