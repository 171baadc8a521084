#include "host/audio/SoundDriver.h"

#include <algorithm>
#include <climits>

#include "host/audio/PortAudioStream.h"
#include "host/audio/SoundLevelTable.h"

namespace {

int16_t Saturate(int32_t value) {
    return static_cast<int16_t>(std::clamp(value, int32_t{INT16_MIN}, int32_t{INT16_MAX}));
}

}  // namespace

SoundDriver::SoundDriver(int deviceIndex, int channelCount, Volumes volumes,
                         const std::atomic<bool>* shuttingDown, const StreamOpener& opener)
    : channelCount_(std::clamp(channelCount, 2, kMaxChannels)), shuttingDown_(shuttingDown) {
    const SoundStream::Fill fill = SoundStream::Fill::Bind<&SoundDriver::FillOutput>(this);
    stream_ = opener ? opener(deviceIndex, fill) : PortAudioStream::Open(deviceIndex, fill);
    if (stream_ == nullptr) return;
    open_.store(true, std::memory_order_release);
    SetVolumes(volumes);
    priming_ = true;
}

SoundDriver::~SoundDriver() {
    open_.store(false, std::memory_order_release);
    // Aborted without the sound mutex held: a device callback waiting for it must be able to
    // finish, or the abort (which waits for the callback) would never return.
    if (stream_ != nullptr) {
        stream_->Abort();
        stream_.reset();
    }
    std::lock_guard lock(mutex_);
}

void SoundDriver::SetLevel(int channel, int level, int32_t tick) {
    if (!IsOpen() || ShuttingDown()) return;
    if (channel < 0 || channel >= channelCount_) return;
    std::lock_guard lock(mutex_);
    Channel& ch = channels_[channel];
    const auto value = static_cast<int16_t>(ch.volume.load(std::memory_order_relaxed) *
                                            kSoundLevelTable[level & 0x0F]);
    if (value == ch.last) return;

    // A change stamped before the period began (the tape reports the exact edge, which may lie
    // in the previous period) lands on the block's first frame.
    const int frames = blockFrames_;
    const int64_t frame = std::max<int64_t>(0, int64_t{frames} * tick / kTicksPerPeriod);
    const int end = static_cast<int>(std::min<int64_t>(frame, frames));
    for (int i = ch.position; i < end; ++i) ch.block[i] = {ch.current, ch.current};
    if (frame < frames) ch.block[frame] = {value, value};
    ch.position = static_cast<int32_t>(std::min<int64_t>(frame + 1, INT32_MAX));
    ch.current = value;
    ch.last = value;
}

bool SoundDriver::ProduceBlock() {
    if (!IsOpen() || ShuttingDown()) return false;
    bool startStream = false;
    {
        std::lock_guard lock(mutex_);
        const bool dropBlock = ring_.Full();
        if (dropBlock && stalledPeriods_ < kStallPeriods) {
            ++stalledPeriods_;
            ++statistics_.periodsSkipped;
            return true;
        }
        if (!dropBlock) stalledPeriods_ = 0;
        stalled_.store(dropBlock, std::memory_order_relaxed);

        const int frames = blockFrames_;
        if (generator_ && channelCount_ == kMaxChannels) {
            Channel& muse = channels_[soundchannel::kMuse];
            std::array<int16_t, kMaxFramesPerBlock * 2> samples{};
            generator_(samples.data(), frames);
            for (int i = 0; i < frames; ++i) {
                muse.block[i] = {samples[2 * i], samples[2 * i + 1]};
            }
            muse.position = frames;
            ScaleGeneratedBlock(muse);
        }
        for (int c = 0; c < channelCount_; ++c) {
            Channel& ch = channels_[c];
            for (int i = std::max(ch.position, 0); i < frames; ++i) {
                ch.block[i] = {ch.current, ch.current};
            }
            ch.position = 0;
        }
        blockFrames_ = FramesOfPeriod(++period_);
        // A device that stalled gets nothing more until it takes again; the machine goes on.
        if (dropBlock) return false;

        std::array<SoundFrame, kMaxFramesPerBlock> mixed;
        MixInto(mixed, frames);
        const bool full = ring_.Push(mixed.data(), frames);
        buffered_.store(ring_.Buffered(), std::memory_order_relaxed);
        ++statistics_.blocksProduced;
        statistics_.framesProduced += frames;
        if (full && priming_) {
            startStream = stream_->IsStopped();
            priming_ = false;
        }
    }
    // Started outside the sound mutex: a host may run the first callback before Start returns.
    if (startStream) stream_->Start();
    return false;
}

int SoundDriver::BlockFrames() const {
    std::lock_guard lock(mutex_);
    return blockFrames_;
}

void SoundDriver::Reprime() {
    if (!IsOpen()) return;
    std::lock_guard lock(mutex_);
    if (ring_.Full()) return;
    priming_ = true;
    primingFrame_ = ring_.Held();
}

void SoundDriver::ScaleGeneratedBlock(Channel& channel) {
    const int32_t volume = channel.volume.load(std::memory_order_relaxed);
    for (SoundFrame& frame : channel.block) {
        frame.left = Saturate(frame.left * volume / 16384);
        frame.right = Saturate(frame.right * volume / 16384);
    }
}

void SoundDriver::MixInto(std::array<SoundFrame, kMaxFramesPerBlock>& mixed, int frames) {
    // Summed wide and saturated: full-scale channels together would otherwise wrap round into a
    // loud click of the opposite sign.
    for (int i = 0; i < frames; ++i) {
        int32_t left = 0;
        int32_t right = 0;
        for (int c = 0; c < channelCount_; ++c) {
            left += channels_[c].block[i].left;
            right += channels_[c].block[i].right;
        }
        mixed[i] = {Saturate(left), Saturate(right)};
    }
}

void SoundDriver::SetVolumes(Volumes volumes) {
    if (!IsOpen()) return;
    const int percentages[kMaxChannels] = {volumes.speaker, volumes.tape, volumes.muse};
    for (int c = 0; c < channelCount_; ++c) {
        // Each channel gets its share of full scale, so that all of them at full level together
        // stay within 16 bits.
        const double share = std::clamp(percentages[c], 0, 100) / (channelCount_ * 100.0);
        const auto volume = static_cast<int16_t>(share * 32767.0);
        channels_[c].volume.store(volume, std::memory_order_relaxed);
        channels_[c].savedVolume.store(volume, std::memory_order_relaxed);
    }
}

void SoundDriver::Mute() {
    if (!IsOpen()) return;
    for (Channel& ch : channels_) ch.volume.store(0, std::memory_order_relaxed);
}

void SoundDriver::Unmute() {
    if (!IsOpen()) return;
    for (Channel& ch : channels_) {
        ch.volume.store(ch.savedVolume.load(std::memory_order_relaxed), std::memory_order_relaxed);
    }
}

int16_t SoundDriver::ChannelVolume(int channel) const {
    if (channel < 0 || channel >= channelCount_) return 0;
    return channels_[channel].volume.load(std::memory_order_relaxed);
}

void SoundDriver::PauseStream() {
    if (!IsOpen() || !stream_->IsActive()) return;
    stream_->Stop();
    std::lock_guard lock(mutex_);
    priming_ = true;
    primingFrame_ = {};
}

void SoundDriver::ResumeStream() {
    if (!IsOpen() || !stream_->IsStopped()) return;
    stream_->Start();
}

SoundDriver::Generator SoundDriver::SetGenerator(Generator generator) {
    if (generator && channelCount_ < kMaxChannels) return {};
    std::lock_guard lock(mutex_);
    Generator previous = generator_;
    generator_ = generator;
    return previous;
}

void SoundDriver::FillOutput(SoundFrame* output, unsigned long frames) {
    if (output == nullptr || frames == 0) return;
    // Whatever a closed or closing driver leaves in the device buffer is heard: make it silence.
    if (!IsOpen() || ShuttingDown()) {
        std::fill(output, output + frames, SoundFrame{});
        return;
    }
    std::lock_guard lock(mutex_);
    statistics_.framesPlayed += static_cast<int64_t>(frames);
    if (priming_) {
        if (!ring_.Full()) {
            std::fill(output, output + frames, primingFrame_);
            statistics_.framesPrimed += static_cast<int64_t>(frames);
            return;
        }
        // Resumed with the ring still full from before the pause: it is primed already, and
        // playing silence again once the first buffer was taken would leave a hole.
        priming_ = false;
    }
    while (frames > 0) {
        const int count = static_cast<int>(std::min<unsigned long>(frames, INT_MAX));
        const int taken = ring_.Pull(output, count);
        statistics_.framesHeld += count - taken;
        buffered_.store(ring_.Buffered(), std::memory_order_relaxed);
        output += count;
        frames -= static_cast<unsigned long>(count);
    }
}

SoundDriver::Statistics SoundDriver::GetStatistics() const {
    std::lock_guard lock(mutex_);
    return statistics_;
}
