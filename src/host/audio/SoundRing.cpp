#include "host/audio/SoundRing.h"

#include <algorithm>

int SoundRing::Buffered() const {
    if (write_ == read_) return wrapped_ ? kFrames : 0;
    return (write_ - read_ + kFrames) % kFrames;
}

bool SoundRing::Push(const SoundFrame* block, int count) {
    if (Full()) return true;
    count = std::clamp(count, 0, kMaxFramesPerBlock);
    // Blocks of unequal length do not divide the ring: one may wrap round its end.
    const int first = std::min(count, kFrames - write_);
    std::copy(block, block + first, frames_.begin() + write_);
    std::copy(block + first, block + count, frames_.begin());
    write_ = (write_ + count) % kFrames;
    wrapped_ = count > 0 && write_ == read_;
    return Full();
}

int SoundRing::Pull(SoundFrame* output, int count) {
    if (count <= 0) return 0;
    const int taken = std::min(count, Buffered());
    int done = 0;
    while (done < taken) {
        // At most two stretches: up to the end of the ring, then from its start.
        const int stretch = std::min(taken - done, kFrames - read_);
        std::copy(frames_.begin() + read_, frames_.begin() + read_ + stretch, output + done);
        done += stretch;
        read_ += stretch;
        if (read_ == kFrames) read_ = 0;
    }
    if (taken > 0) {
        held_ = output[taken - 1];
        wrapped_ = false;
    }
    std::fill(output + taken, output + count, held_);
    return taken;
}
