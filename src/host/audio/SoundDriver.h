#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "host/audio/SoundFrame.h"
#include "host/audio/SoundRing.h"
#include "host/audio/SoundStream.h"
#include "machine/Closure.h"
#include "machine/SoundLevelOutput.h"

// Turns the machine's audio sources into one stereo 16-bit stream at 44,100 frames per second.
// The speaker (channel 0) and the tape (channel 1) report level changes stamped with the
// processor tick inside the current 2 ms period; the Muse board (channel 2) hands over finished
// samples. Once per period the run loop closes the block into the ring, and the answer paces
// the emulation: while the ring is full the period is skipped, so at normal speed the machine
// runs on the audio device's clock. A block is the period's share of the device's 44,100 frames a
// second (88, and 89 in every fifth period): fed 88 a period, the device's clock would drive the
// machine 2,273 ppm fast, eight seconds an hour.
//
// Threads: SetLevel and ProduceBlock run on the emulation thread (holding the processor mutex),
// FillOutput on the device's thread; all three take the sound mutex (after the processor mutex,
// never before). Volumes, mute, pause and resume come from the window's thread.
class SoundDriver {
  public:
    static constexpr int kMaxFramesPerBlock = SoundRing::kMaxFramesPerBlock;
    static constexpr int32_t kTicksPerPeriod = 4000;
    static constexpr int kFramesPerSecond = 44100;
    static constexpr int kPeriodsPerSecond = 500;
    // The frames of the period with the given running number: period n ends on frame
    // floor(44,100 (n + 1) / 500), so five periods make 441 frames.
    static int FramesOfPeriod(int64_t period) {
        const int64_t phase = period % 5;
        return static_cast<int>((phase + 1) * 441 / 5 - phase * 441 / 5);
    }
    static constexpr int kMaxChannels = 3;
    // A device that has taken nothing for this many periods (about half a second) while the
    // ring is full has stalled or died; the emulation then runs on its timer instead of waiting
    // for ever.
    static constexpr int kStallPeriods = 250;

    // Writes `frames` interleaved stereo frames (left, right) of signed 16-bit samples.
    using Generator = SoundGenerator;
    using StreamOpener =
        std::function<std::unique_ptr<SoundStream>(int deviceIndex, SoundStream::Fill fill)>;

    // Percentages 0..100 in the order speaker, tape, Muse.
    struct Volumes {
        int speaker = 90;
        int tape = 50;
        int muse = 50;
    };

    struct Statistics {
        int64_t blocksProduced = 0;
        int64_t framesProduced = 0;
        int64_t periodsSkipped = 0;
        int64_t framesPlayed = 0;  // every frame handed to the device, the held ones included
        int64_t framesHeld = 0;    // frames the device got while the ring was empty
        // Frames the device got while the ring was being primed: silence, or the held frame
        // after a return to normal speed.
        int64_t framesPrimed = 0;
    };

    // Opens the stream on the PortAudio device (global index) but does not start it: it starts
    // once the ring is full. Any failure leaves the driver closed, every operation a no-op and
    // the emulation on its own timer; nothing is reported. channelCount is 2, or 3 with the Muse.
    // shuttingDown, when given, is the program-wide flag that silences every entry point.
    SoundDriver(int deviceIndex, int channelCount, Volumes volumes,
                const std::atomic<bool>* shuttingDown = nullptr, const StreamOpener& opener = {});
    ~SoundDriver();
    SoundDriver(const SoundDriver&) = delete;
    SoundDriver& operator=(const SoundDriver&) = delete;

    bool IsOpen() const { return open_.load(std::memory_order_acquire); }
    int ChannelCount() const { return channelCount_; }

    // A level change (0..15) of the speaker or the tape at the given tick of the current period.
    void SetLevel(int channel, int level, int32_t tick);
    // The length of the block the current period closes.
    int BlockFrames() const;
    // The closure the sources hold: this driver's SetLevel.
    SoundLevelOutput LevelOutput() { return SoundLevelOutput::Bind<&SoundDriver::SetLevel>(this); }

    // Closes the current block into the ring. True: the ring is full, skip this period.
    bool ProduceBlock();
    // The run loop comes back to normal speed after a stretch without blocks, in which the
    // device drained the ring: it hears the held frame until the ring is full again, instead
    // of a trickle of blocks with the held frame in every gap between them.
    void Reprime();
    // The device's clock sets the pace: the stream is open and has not stalled. The run loop
    // then runs its periods a little early and lets the full ring skip the surplus.
    bool Paces() const { return IsOpen() && !stalled_.load(std::memory_order_relaxed); }
    // The ring is less than half full: the host kept the run loop from its periods for a
    // while, and the device has eaten into the margin. The run loop catches up faster.
    bool Behind() const {
        return buffered_.load(std::memory_order_relaxed) < SoundRing::kFrames / 2;
    }

    void SetVolumes(Volumes volumes);
    void Mute();
    void Unmute();
    int16_t ChannelVolume(int channel) const;

    void PauseStream();
    void ResumeStream();

    // Attaches (or with an empty closure detaches) the Muse's sample source; only a driver with
    // three channels takes one. Returns the generator it replaces.
    Generator SetGenerator(Generator generator);

    // The device's callback: hands `frames` frames to the device.
    void FillOutput(SoundFrame* output, unsigned long frames);

    Statistics GetStatistics() const;

  private:
    struct Channel {
        std::atomic<int16_t> volume{0};
        std::atomic<int16_t> savedVolume{0};
        std::array<SoundFrame, kMaxFramesPerBlock> block{};
        int16_t current = 0;
        int16_t last = 0;
        int32_t position = 0;
    };

    bool ShuttingDown() const {
        return shuttingDown_ != nullptr && shuttingDown_->load(std::memory_order_relaxed);
    }
    void ScaleGeneratedBlock(Channel& channel);
    void MixInto(std::array<SoundFrame, kMaxFramesPerBlock>& mixed, int frames);

    const int channelCount_;
    const std::atomic<bool>* const shuttingDown_;
    std::atomic<bool> open_{false};
    mutable std::mutex mutex_;
    std::array<Channel, kMaxChannels> channels_;
    SoundRing ring_;
    int64_t period_ = 0;  // running number of the period whose block is open
    int blockFrames_ = FramesOfPeriod(0);
    bool priming_ = false;
    SoundFrame primingFrame_{};  // what the device hears while the ring fills: silence or held
    int stalledPeriods_ = 0;
    std::atomic<bool> stalled_{false};
    std::atomic<int> buffered_{0};  // frames in the ring, for Behind without the mutex
    Generator generator_;
    Statistics statistics_;
    std::unique_ptr<SoundStream> stream_;
};
