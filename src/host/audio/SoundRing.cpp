#include "host/audio/SoundRing.h"

#include <algorithm>

int SoundRing::Buffered() const {
    if (write_ == read_) return wrapped_ ? kFrames : 0;
    return (write_ - read_ + kFrames) % kFrames;
}

bool SoundRing::Push(const SoundFrame* block) {
    if (Full()) return true;
    std::copy(block, block + kFramesPerBlock, frames_.begin() + write_);
    write_ += kFramesPerBlock;
    if (write_ == kFrames) write_ = 0;
    wrapped_ = write_ == read_;
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
