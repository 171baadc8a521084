#pragma once

#include <array>

#include "host/audio/SoundFrame.h"

// The queue between the emulation and the audio device: forty blocks of one emulation period
// each (80 ms). A PulseAudio or PipeWire stream takes three device buffers (2640 frames) at once
// when it starts and after a resume; the ring holds them and one buffer more, and stays within
// 100 ms of latency from a level change to the device. The producer appends whole blocks; the
// device takes any number of frames and, when the queue runs dry, hears the last frame it was given
// again instead of a drop to zero, which would click. Not thread-safe: the sound driver's mutex
// guards it.
class SoundRing {
  public:
    static constexpr int kFramesPerBlock = 88;
    static constexpr int kBlocks = 40;
    static constexpr int kFrames = kFramesPerBlock * kBlocks;

    // Appends one block of kFramesPerBlock frames unless the ring is full. Returns true when the
    // ring is full now.
    bool Push(const SoundFrame* block);

    // Fills `count` frames of output: the buffered frames first, then the held frame. Returns how
    // many came from the ring.
    int Pull(SoundFrame* output, int count);

    // No room for another block. The device takes whole buffers of ten blocks, so this is the
    // moment the write position catches up with the read position; a host that took odd
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
