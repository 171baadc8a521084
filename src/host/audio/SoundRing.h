#pragma once

#include <array>

#include "host/audio/SoundFrame.h"

// The queue between the emulation and the audio device: thirty blocks of one emulation period
// each (60 ms). The device takes a buffer of twenty blocks at a time, so the ten left cover the
// run loop's next wake-ups; the ring and the device's buffer together stay within 102 ms of
// latency from a level change to the device taking it (60 + 2 for the block being built + the
// 40 ms buffer), as 80 ms of ring with 20 ms buffers did. The producer appends whole blocks; the
// device takes any number of frames and, when the queue runs dry, hears the last frame it was given
// again instead of a drop to zero, which would click. Not thread-safe: the sound driver's mutex
// guards it.
class SoundRing {
  public:
    static constexpr int kFramesPerBlock = 88;
    static constexpr int kBlocks = 30;
    static constexpr int kFrames = kFramesPerBlock * kBlocks;

    // Appends one block of kFramesPerBlock frames unless the ring is full. Returns true when the
    // ring is full now.
    bool Push(const SoundFrame* block);

    // Fills `count` frames of output: the buffered frames first, then the held frame. Returns how
    // many came from the ring.
    int Pull(SoundFrame* output, int count);

    // No room for another block. The device takes whole buffers of twenty blocks, so this is
    // the moment the write position catches up with the read position; a host that took odd
    // amounts would still never have unplayed frames overwritten.
    bool Full() const { return kFrames - Buffered() < kFramesPerBlock; }
    int Buffered() const;
    SoundFrame Held() const { return held_; }

  private:
    std::array<SoundFrame, kFrames> frames_{};
    int write_ = 0;
    int read_ = 0;
    bool wrapped_ = false;  // write and read positions are equal because the ring is full
    SoundFrame held_{};
};
