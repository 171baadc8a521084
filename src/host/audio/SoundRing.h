#pragma once

#include <array>

#include "host/audio/SoundFrame.h"

// The queue between the emulation and the audio device: forty blocks of one emulation period
// each (about 80 ms). A PulseAudio or PipeWire stream takes three device buffers (2640 frames) at
// once when it starts and after a resume; the ring holds them and one buffer more, and stays within
// 100 ms of latency from a level change to the device. The producer appends whole blocks; the
// device takes any number of frames and, when the queue runs dry, hears the last frame it was given
// again instead of a drop to zero, which would click. Not thread-safe: the sound driver's mutex
// guards it.
class SoundRing {
  public:
    // A period of 2 ms is 88.2 frames of the device's 44,100 a second, so blocks are 88 frames
    // with one of 89 in every five periods.
    static constexpr int kMaxFramesPerBlock = 89;
    static constexpr int kBlocks = 40;
    static constexpr int kFrames = kMaxFramesPerBlock * kBlocks;

    // Appends one block of `count` frames (at most kMaxFramesPerBlock) unless the ring is full.
    // Returns true when the ring is full now.
    bool Push(const SoundFrame* block, int count);

    // Fills `count` frames of output: the buffered frames first, then the held frame. Returns how
    // many came from the ring.
    int Pull(SoundFrame* output, int count);

    // No room for another block of the longest kind: forty blocks fill it, whichever lengths
    // they had, and no unplayed frame is ever overwritten.
    bool Full() const { return kFrames - Buffered() < kMaxFramesPerBlock; }
    int Buffered() const;
    SoundFrame Held() const { return held_; }

  private:
    std::array<SoundFrame, kFrames> frames_{};
    int write_ = 0;
    int read_ = 0;
    bool wrapped_ = false;  // write and read positions are equal because the ring is full
    SoundFrame held_{};
};
