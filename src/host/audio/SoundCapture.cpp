#include "host/audio/SoundCapture.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>

#include "host/audio/SoundLevelTable.h"

namespace {

int16_t Saturate(int32_t value) {
    return static_cast<int16_t>(std::clamp(value, int32_t{INT16_MIN}, int32_t{INT16_MAX}));
}

int16_t Share(int percent, int channelCount) {
    return static_cast<int16_t>(std::clamp(percent, 0, 100) / (channelCount * 100.0) * 32767.0);
}

}  // namespace

SoundCapture::SoundCapture(int channelCount, const std::array<int, 3>& volumes, Sink sink)
    : channelCount_(std::clamp(channelCount, 2, 3)), sink_(std::move(sink)) {
    channels_[0].volume = Share(volumes[0], channelCount_);
    channels_[1].volume = Share(volumes[1], channelCount_);
    museVolume_ = channelCount_ == 3 ? Share(volumes[2], channelCount_) : 0;
    for (Channel& ch : channels_) ch.changes.reserve(64);
}

void SoundCapture::SetLevel(int channel, int level, int32_t tick) {
    if (channel < 0 || channel > 1) return;
    Channel& ch = channels_[static_cast<size_t>(channel)];
    const auto value = static_cast<int16_t>(ch.volume * kSoundLevelTable[level & 0x0F]);
    // The tape reports an edge where it happened, which may lie before this period (or before a
    // change already heard): it takes effect from the earliest frame still open.
    int64_t frame = std::max(FrameOfTick(periodStartTick_ + tick), framesDone_);
    if (!ch.changes.empty()) frame = std::max(frame, ch.changes.back().frame);
    ch.changes.push_back({frame, value});
}

void SoundCapture::EndPeriod(int32_t budget) {
    periodStartTick_ += budget;
    const int64_t end = FrameOfTick(periodStartTick_);
    const int count = static_cast<int>(end - framesDone_);
    if (count <= 0) return;
    mixed_.assign(static_cast<size_t>(count), SoundFrame{});
    std::vector<int32_t> left(static_cast<size_t>(count)), right(static_cast<size_t>(count));
    for (Channel& ch : channels_) {
        size_t next = 0;
        for (int i = 0; i < count; ++i) {
            const int64_t frame = framesDone_ + i;
            while (next < ch.changes.size() && ch.changes[next].frame <= frame) {
                ch.current = ch.changes[next++].value;
            }
            left[static_cast<size_t>(i)] += ch.current;
            right[static_cast<size_t>(i)] += ch.current;
        }
        // A change stamped past the period's end is heard in the next one.
        ch.changes.erase(ch.changes.begin(), ch.changes.begin() + static_cast<ptrdiff_t>(next));
    }
    if (generator_) {
        muse_.assign(static_cast<size_t>(count) * 2, 0);
        generator_(muse_.data(), count);
        for (int i = 0; i < count; ++i) {
            left[static_cast<size_t>(i)] += muse_[2 * static_cast<size_t>(i)] * museVolume_ / 16384;
            right[static_cast<size_t>(i)] +=
                muse_[2 * static_cast<size_t>(i) + 1] * museVolume_ / 16384;
        }
        // The driver's next block is the newest frames; a block longer than this period's mix
        // starts with the end of the one before, so the board is never heard to fall silent.
        const int keep = std::min(count, kReplayFrames);
        std::copy(lastMuse_.begin() + 2 * keep, lastMuse_.end(), lastMuse_.begin());
        std::copy(muse_.end() - 2 * keep, muse_.end(),
                  lastMuse_.begin() + 2 * (kReplayFrames - keep));
    }
    for (int i = 0; i < count; ++i) {
        mixed_[static_cast<size_t>(i)] = {Saturate(left[static_cast<size_t>(i)]),
                                          Saturate(right[static_cast<size_t>(i)])};
    }
    framesDone_ = end;
    if (sink_) sink_(mixed_.data(), count);
}

void SoundCapture::ReplayMuse(int16_t* block, int frames) {
    const int count = std::min(frames, kReplayFrames);
    std::copy(lastMuse_.end() - 2 * count, lastMuse_.end(), block);
    std::fill(block + 2 * count, block + 2 * frames, int16_t{0});
}
