#include "machine/IfTape.h"

#include <algorithm>

IfTape::IfTape() : recording_(new uint8_t[kRecordingSize]()) {}

IfTape::~IfTape() = default;

IfSerial::LineHandlers IfTape::LineHandlers() {
    IfSerial::LineHandlers handlers;
    handlers.OnLineReset = IfSerial::LineNotify::Bind<&IfTape::OnSerialReset>(this);
    handlers.OnTxReady = IfSerial::LineNotify::Bind<&IfTape::OnTransmit>(this);
    handlers.OnTick = IfSerial::LineTick::Bind<&IfTape::OnTicks>(this);
    handlers.QuietTicks = Closure<int32_t(IfSerial*)>::Bind<&IfTape::QuietTicks>(this);
    return handlers;
}

IfSerial::LineHandlers IfTape::Attach(IfSerial& serial) {
    return serial.SetLineHandlers(IfSerial::kLineTape, LineHandlers());
}

SoundLevelOutput IfTape::SetSoundSink(SoundLevelOutput sink) {
    SoundLevelOutput previous = soundSink_;
    soundSink_ = sink;
    return previous;
}

IfTape::EventSink IfTape::SetEventSink(EventSink sink) {
    EventSink previous = eventSink_;
    eventSink_ = sink;
    return previous;
}

// The clock is not touched: it runs on without a jump.
void IfTape::StartPlayback(const uint8_t* data, int32_t length, bool fast) {
    playState_ = kIdle;
    fast_ = false;
    if (data == nullptr || length <= 0) {
        playData_ = playEnd_ = nullptr;
        bytesRemaining_ = 0;
        playActive_.store(false, std::memory_order_relaxed);
        return;
    }
    restoredPlay_.assign(data, data + length);
    playData_ = restoredPlay_.data();
    playEnd_ = playData_ + length;
    bytesRemaining_ = length;
    playActive_.store(true, std::memory_order_relaxed);
    fast_ = fast;
    playState_ = kLeader;
    halfBits_ = kHalfPeriodsPerByte;
    byteCounter_ = kLeaderBytes;
    blocksPlayed_ = 0;
    shift_ = kFillByte;
    dataBit_ = 1;
}

int IfTape::PlayState() const {
    return playState_.load(std::memory_order_relaxed);
}

int32_t IfTape::BytesRemaining() const {
    return bytesRemaining_.load(std::memory_order_relaxed);
}

SerialActivity IfTape::Activity() const {
    if (PlayState() != kIdle) return SerialActivity::TapePlaying;
    return RecorderState() != kHunt ? SerialActivity::TapeRecording : SerialActivity::None;
}

int64_t IfTape::ReceiverIdleHalfPeriods(IfSerial* serial) const {
    if (!serial->RxClockIdle()) return 0;
    // A recording ends on the half-period that takes the idle count past its limit.
    if (recorderState_.load(std::memory_order_relaxed) == kAfterBlock && blocksRecorded_ > 0) {
        return idleHalfPeriods_ >= kIdleLimit ? 0 : kIdleLimit - idleHalfPeriods_;
    }
    return kNoIdleLimit;
}

int64_t IfTape::IdleHalfPeriods(IfSerial* serial) const {
    if (playActive_.load(std::memory_order_relaxed)) return 0;
    return ReceiverIdleHalfPeriods(serial);
}

int32_t IfTape::QuietTicks(IfSerial* serial) const {
    idleGranted_ = IdleHalfPeriods(serial);
    const int64_t due = int64_t{kHalfPeriodTicks} * (idleGranted_ + 1) - accumulator_;
    return static_cast<int32_t>(std::clamp<int64_t>(due, 0, INT32_MAX));
}

// The receiver only counts the rising edges on its divider, which one call can do for all of
// them; the recorder's idle count stops just past its limit, where it has done its work.
void IfTape::SkipIdleHalfPeriods(IfSerial* serial, int32_t count) {
    if (count <= 0) return;
    serial->RxClockEdges(static_cast<uint64_t>(count), static_cast<uint8_t>(clockLevel_ ^ 1));
    clockLevel_ ^= static_cast<uint8_t>(count & 1);
    accumulator_ -= count * kHalfPeriodTicks;
    idleHalfPeriods_ = static_cast<int32_t>(
        std::min<int64_t>(int64_t{idleHalfPeriods_} + count, int64_t{kIdleLimit} + 1));
}

void IfTape::OnTicks(IfSerial* serial, int32_t tickPosition, int32_t ticks) {
    accumulator_ += ticks;
    if (accumulator_ >= kHalfPeriodTicks) {
        int64_t idle = IdleHalfPeriods(serial);
        // Playback started after the quiet answer (between two periods, or by an event's
        // handler): the half-periods that answer counted as idle pass as such, and the record
        // starts on the next one instead of arriving in a burst.
        if (idle == 0 && idleGranted_ > 0) {
            idle = std::min(idleGranted_, ReceiverIdleHalfPeriods(serial));
        }
        SkipIdleHalfPeriods(
            serial, static_cast<int32_t>(std::min<int64_t>(idle, accumulator_ / kHalfPeriodTicks)));
    }
    idleGranted_ = 0;
    while (accumulator_ >= kHalfPeriodTicks) {
        accumulator_ -= kHalfPeriodTicks;
        clockLevel_ ^= 1;
        int event = 0;
        bool finish = false;
        const Step step = HalfPeriod(serial, tickPosition - accumulator_, event, finish);
        playActive_.store(playState_ != kIdle || playData_ != nullptr, std::memory_order_relaxed);
        if (finish) {
            FinishRecording();
            recordingsDone_.fetch_add(1);
            Dispatch(kEventRecordingDone);
            ResetRecorder(serial);
        }
        if (event != 0) Dispatch(event);
        if (finish || step == Step::EndCall) return;
    }
}

IfTape::Step IfTape::HalfPeriod(IfSerial* serial, int32_t stamp, int& event, bool& finish) {
    const bool playing = playState_ != kIdle;
    // While bytes are handed over whole, the line is not driven and the receiver's clock is held
    // low: a free-running synchronous receiver would otherwise assemble bytes from the idle line
    // in between, and it must still be at a character boundary when the next gap plays.
    const bool delivering = fast_ && playState_ == kData && halfBits_ <= 0;
    const uint8_t level = clockLevel_ ^ dataBit_;
    if (playing && !delivering) {
        serial->SetRxD(dataBit_);
        serial->SetDsr(level);
    }
    if (playing && !fast_ && soundSink_ && eventSink_ && eventSink_(kEventMonitorQuery)) {
        soundSink_(soundchannel::kTape, level ? 15 : 0, stamp);
    }
    serial->RxClockEdge(delivering ? 0 : clockLevel_);

    // Held just past the limit: the count only matters up to there, and a recorder left waiting
    // for hours would otherwise overflow it.
    if (idleHalfPeriods_ <= kIdleLimit) ++idleHalfPeriods_;
    if (idleHalfPeriods_ > kIdleLimit &&
        recorderState_.load(std::memory_order_relaxed) == kAfterBlock && blocksRecorded_ > 0) {
        finish = true;
    }
    if (playData_ == nullptr) return Step::EndCall;

    switch (playState_) {
        case kIdle: dataBit_ = 1; break;
        case kLeader:
            if (--halfBits_ == 0) {
                if (--byteCounter_ == 0) {
                    playState_ = kData;
                    shift_ = *playData_++;
                    byteCounter_ = kBlockBytes;
                } else {
                    shift_ = byteCounter_ == 1 ? kSync2 : byteCounter_ == 2 ? kSync1 : kFillByte;
                }
                dataBit_ = shift_ & 1;
                halfBits_ = kHalfPeriodsPerByte;
            } else {
                AdvanceBit();
            }
            break;
        case kData:
            if (fast_ && halfBits_ < 0) return FastDelivery(serial, event);
            if (--halfBits_ == 0) {
                --bytesRemaining_;
                --byteCounter_;
                if (bytesRemaining_ <= 0) {
                    playState_ = kTrailer;
                    StartGap(kTrailerBytes);
                } else if (byteCounter_ == 0) {
                    ++blocksPlayed_;
                    playState_ = kLeader;
                    StartGap(kGapBytes);
                } else if (fast_) {
                    halfBits_ = -3;
                } else {
                    halfBits_ = kHalfPeriodsPerByte;
                    shift_ = *playData_++;
                    dataBit_ = shift_ & 1;
                }
            } else {
                AdvanceBit();
            }
            break;
        case kTrailer:
            if (--halfBits_ == 0) {
                if (--byteCounter_ == 0) {
                    playState_ = kIdle;
                    playData_ = nullptr;
                    event = kEventEndOfRecord;
                } else {
                    shift_ = kFillByte;
                }
                dataBit_ = shift_ & 1;
                halfBits_ = kHalfPeriodsPerByte;
            } else {
                AdvanceBit();
            }
            break;
        default: break;
    }
    return Step::Continue;
}

// A bit lasts two half-periods: the next one goes on the line when the count is even again.
void IfTape::AdvanceBit() {
    if ((halfBits_ & 1) == 0) {
        shift_ >>= 1;
        dataBit_ = shift_ & 1;
    }
}

void IfTape::StartGap(int bytes) {
    halfBits_ = kHalfPeriodsPerByte;
    byteCounter_ = bytes;
    shift_ = kFillByte;
    dataBit_ = 1;
}

// The counter climbs from -3 to -1 between bytes; at -1 a byte goes in when the program has
// read the last one. Two half-periods pass before the next try.
IfTape::Step IfTape::FastDelivery(IfSerial* serial, int& event) {
    if (playData_ == nullptr || halfBits_ != -1 || serial->RxReady()) {
        ++halfBits_;
        return Step::EndCall;
    }
    serial->PutReceivedByte(*playData_++);
    --bytesRemaining_;
    --byteCounter_;
    halfBits_ = -2;
    if (bytesRemaining_ <= 0) {
        playState_ = kIdle;
        playData_ = nullptr;
        event = kEventEndOfRecord;
    } else if (byteCounter_ == 0) {
        ++blocksPlayed_;
        playState_ = kLeader;
        StartGap(kGapBytes);
    }
    return Step::EndCall;
}

void IfTape::OnTransmit(IfSerial* serial) {
    if (serial->TxReadyPin()) return;
    if (playState_ != kIdle) {
        // Recording and playback exclude each other.
        ResetRecorder(serial);
        return;
    }
    const uint8_t value = serial->TakeTransmitByte();
    recording_[writeIndex_] = value;
    bool firstBlock = false;
    switch (recorderState_.load(std::memory_order_relaxed)) {
        case kHunt:
            if (value != kFillByte) return ResetRecorder(serial);
            recorderState_ = kAfterBlock;
            blocksRecorded_ = 0;
            idleHalfPeriods_ = 0;
            break;
        case kAfterBlock:
            if (value != kSync1) return ResetRecorder(serial);
            recorderState_ = kAfterAA;
            break;
        case kAfterAA:
            if (value != kSync2) return ResetRecorder(serial);
            blockByteCount_ = 0;
            recorderState_ = kInBlock;
            // From here the program may write the block at full speed.
            serial->SetParallelTx(1);
            break;
        case kInBlock:
            ++writeIndex_;
            if (++blockByteCount_ < kBlockBytes) break;
            idleHalfPeriods_ = 0;
            recorderState_ = kAfterBlock;
            firstBlock = ++blocksRecorded_ == 1;
            // A full buffer ends the recording at the last whole block.
            if (writeIndex_ + kBlockBytes > kRecordingSize) {
                FinishRecording();
                recordingsDone_.fetch_add(1);
                Dispatch(kEventRecordingDone);
                return ResetRecorder(serial);
            }
            break;
        default: break;
    }
    if (firstBlock) Dispatch(kEventFirstBlock);
}

void IfTape::OnSerialReset(IfSerial* /*serial*/) {
    Dispatch(kEventSerialReset);
}

bool IfTape::Dispatch(int code) {
    return eventSink_(code);
}

void IfTape::ResetRecorder(IfSerial* serial) {
    recorderState_ = kHunt;
    writeIndex_ = kRecordHead;
    serial->SetParallelTx(0);
}

void IfTape::FinishRecording() {
    const uint32_t length = static_cast<uint32_t>(writeIndex_ - 4);
    for (int i = 0; i < 4; ++i) recording_[i] = static_cast<uint8_t>(length >> (8 * i));
    recording_[4] = 0xFF;
}
