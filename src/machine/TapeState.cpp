#include "machine/IfTape.h"
#include "machine/StateStream.h"

void IfTape::SaveState(StateWriter& out) const {
    out.I32(accumulator_);
    out.U8(clockLevel_);
    {
        const size_t left = playData_ != nullptr ? static_cast<size_t>(playEnd_ - playData_) : 0;
        out.Bool(playData_ != nullptr);
        out.U32(static_cast<uint32_t>(left));
        out.Bytes(playData_, left);
        out.I32(bytesRemaining_);
        out.Bool(fast_);
        out.I32(byteCounter_);
        out.I32(playState_);
        out.I32(halfBits_);
        out.U8(shift_);
        out.U8(dataBit_);
        out.I32(blocksPlayed_);
    }
    out.I32(recorderState_.load());
    out.I32(writeIndex_);
    out.Bytes(recording_.get(), static_cast<size_t>(writeIndex_));
    out.I32(blockByteCount_);
    out.I32(blocksRecorded_);
    out.I32(idleHalfPeriods_);
}

bool IfTape::LoadState(StateReader& in) {
    const int32_t accumulator = in.I32In(0, kHalfPeriodTicks);
    const uint8_t clockLevel = in.U8Max(1);
    const bool playing = in.Bool();
    const uint32_t left = in.U32();
    // A record is at most a 32-bit length, but one larger than the recorder's own buffer
    // cannot have come from a tape image either; it bounds what a damaged file can allocate.
    if (in.Failed() || left > static_cast<uint32_t>(kRecordingSize) * 64) return false;
    std::vector<uint8_t> play(left);
    in.Bytes(play.data(), left);
    const int32_t remaining = in.I32In(0, INT32_MAX);
    const bool fast = in.Bool();
    const int32_t byteCounter = in.I32In(0, kLeaderBytes);
    const int32_t playState = in.I32In(kIdle, kTrailer);
    const int32_t halfBits = in.I32In(-3, kHalfPeriodsPerByte);
    const uint8_t shift = in.U8();
    const uint8_t dataBit = in.U8Max(1);
    const int32_t blocksPlayed = in.I32In(0, INT32_MAX);
    const int32_t recorderState = in.I32In(kHunt, kInBlock);
    const int32_t writeIndex = in.I32In(kRecordHead, kRecordingSize);
    if (in.Failed()) return false;
    std::vector<uint8_t> recorded(static_cast<size_t>(writeIndex));
    in.Bytes(recorded.data(), recorded.size());
    const int32_t blockBytes = in.I32In(0, kBlockBytes);
    const int32_t blocksRecorded = in.I32In(0, INT32_MAX);
    const int32_t idle = in.I32In(0, INT32_MAX);
    if (in.Failed()) return false;
    // Playing, every byte still to be read must be among those kept: in a data stretch the
    // byte being shifted out has been read already, in the trailer nothing is read.
    if (playing) {
        const int64_t reads = playState == kTrailer                ? 0
                              : playState == kData && halfBits > 0 ? int64_t{remaining} - 1
                                                                   : int64_t{remaining};
        if (reads < 0 || reads > static_cast<int64_t>(left)) return false;
    }

    accumulator_ = accumulator;
    clockLevel_ = clockLevel;
    {
        restoredPlay_ = std::move(play);
        playData_ = playing ? restoredPlay_.data() : nullptr;
        playEnd_ = playing ? restoredPlay_.data() + restoredPlay_.size() : nullptr;
        bytesRemaining_ = playing ? remaining : 0;
        fast_ = fast;
        byteCounter_ = byteCounter;
        playState_ = playState;
        halfBits_ = halfBits;
        shift_ = shift;
        dataBit_ = dataBit;
        blocksPlayed_ = blocksPlayed;
        playActive_.store(playState_ != kIdle || playData_ != nullptr, std::memory_order_relaxed);
    }
    recorderState_.store(recorderState);
    writeIndex_ = writeIndex;
    std::copy(recorded.begin(), recorded.end(), recording_.get());
    blockByteCount_ = blockBytes;
    blocksRecorded_ = blocksRecorded;
    idleHalfPeriods_ = idle;
    return true;
}
