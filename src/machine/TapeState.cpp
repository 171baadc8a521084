#include "machine/IfTape.h"
#include "machine/StateArchive.h"

void IfTape::Serialize(StateArchive& a) {
    a.Field(accumulator_, 0, kHalfPeriodTicks);
    a.Field(clockLevel_, 0, 1);
    const bool playing = a.Value(playData_ != nullptr);
    // A record is at most a 32-bit length, but one larger than the recorder's own buffer
    // cannot have come from a tape image either; it bounds what a damaged file can allocate.
    const size_t left =
        a.Value<uint32_t>(playData_ != nullptr ? static_cast<size_t>(playEnd_ - playData_) : 0, 0,
                          size_t{kRecordingSize} * 64);
    // What is still to play is the deck's buffer while it plays; restored, it is kept here.
    if (a.Loading()) {
        a.Bytes(restoredPlay_, left);
    } else {
        a.Bytes(const_cast<uint8_t*>(playData_), left);
    }
    const int32_t remaining = a.Field(bytesRemaining_, 0);
    a.Field(fast_);
    a.Field(byteCounter_, 0, kLeaderBytes);
    const int playState = a.Field(playState_, kIdle, kTrailer);
    const int32_t halfBits = a.Field(halfBits_, -3, kHalfPeriodsPerByte);
    a.Field(shift_);
    a.Field(dataBit_, 0, 1);
    a.Field(blocksPlayed_, 0);
    a.Field(recorderState_, kHunt, kInBlock);
    const int32_t written = a.Field(writeIndex_, kRecordHead, kRecordingSize);
    a.Bytes(recording_.get(), static_cast<size_t>(written));
    a.Field(blockByteCount_, 0, kBlockBytes);
    a.Field(blocksRecorded_, 0);
    a.Field(idleHalfPeriods_, 0);
    // Playing, every byte still to be read must be among those kept: in a data stretch the
    // byte being shifted out has been read already, in the trailer nothing is read.
    const int64_t reads = playState == kTrailer                ? 0
                          : playState == kData && halfBits > 0 ? int64_t{remaining} - 1
                                                               : int64_t{remaining};
    a.Require(!playing || (reads >= 0 && reads <= static_cast<int64_t>(left)));
    a.OnCommit([this, playing] {
        playData_ = playing ? restoredPlay_.data() : nullptr;
        playEnd_ = playing ? restoredPlay_.data() + restoredPlay_.size() : nullptr;
        if (!playing) bytesRemaining_ = 0;
        playActive_.store(playState_ != kIdle || playData_ != nullptr, std::memory_order_relaxed);
    });
}

void IfTape::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool IfTape::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}
