#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "machine/Closure.h"
#include "machine/IfSerial.h"
#include "machine/SerialActivity.h"
#include "machine/SoundLevelOutput.h"

class StateArchive;
class StateReader;
class StateWriter;

// The cassette recorder on serial line 0. The machine has no tape hardware beyond the 8251: the
// recorder makes the receiver's clock itself (a half-period every 833 ticks, about 1200 bit/s),
// plays a record as a phase-encoded synchronous bit stream (leader, the stored bytes in blocks
// of 133 with short gaps, trailer) onto RxD with the raw level on /DSR, and collects the bytes
// the program transmits into a buffer that is a complete data record of a tape image.
//
// Threads: everything runs on the emulation thread (a deck's buttons reach the recorder between
// two periods, as the keys do), or while it is held off. The play state, the bytes still to play
// and the recorder state may be read from any thread. An event's handler may stop or start
// playback, except that of the monitoring query (code 4), which must only answer.
class IfTape {
  public:
    static constexpr int32_t kHalfPeriodTicks = 833;
    static constexpr int kHalfPeriodsPerByte = 16;
    static constexpr int kLeaderBytes = 750, kBlockBytes = 133, kGapBytes = 7, kTrailerBytes = 7;
    static constexpr uint8_t kFillByte = 0x3F, kSync1 = 0xAA, kSync2 = 0x55;
    // Half-periods (about 0.1 s) after a block with no new 0xAA that end a recording.
    static constexpr int kIdleLimit = 240;
    static constexpr int64_t kNoIdleLimit = int64_t{1} << 40;
    static constexpr int32_t kRecordingSize = 131072;
    static constexpr int32_t kRecordHead = 5;  // length field and type byte

    enum PlayStates : int { kIdle = 0, kLeader = 1, kData = 3, kTrailer = 4 };
    enum RecorderStates : int { kHunt = 0, kAfterBlock = 1, kAfterAA = 2, kInBlock = 3 };
    enum Events : int {
        kEventSerialReset = 1,
        kEventEndOfRecord = 2,
        kEventMonitorQuery = 4,
        kEventFirstBlock = 5,
        kEventRecordingDone = 6
    };

    using EventSink = Closure<bool(int code)>;

    IfTape();
    ~IfTape();
    IfTape(const IfTape&) = delete;
    IfTape& operator=(const IfTape&) = delete;

    // Registers the line-0 handlers on `serial`; returns what they replace.
    IfSerial::LineHandlers Attach(IfSerial& serial);
    // The handlers as registered by Attach.
    IfSerial::LineHandlers LineHandlers();

    SoundLevelOutput SetSoundSink(SoundLevelOutput sink);
    EventSink SetEventSink(EventSink sink);

    // Plays `length` bytes from `data`, which the recorder copies (the cassette is in it); a
    // null pointer or a zero length stops instead.
    void StartPlayback(const uint8_t* data, int32_t length, bool fast);
    void StopPlayback() { StartPlayback(nullptr, 0, false); }

    int PlayState() const;
    int32_t BytesRemaining() const;
    int RecorderState() const { return recorderState_.load(std::memory_order_relaxed); }
    SerialActivity Activity() const;

    // The finished recording: a data record as stored in a tape image (length field, 0xFF,
    // blocks). Valid while event 6 is being handled: the emulation thread waits meanwhile and
    // resets the recorder when the handler returns.
    struct Recording {
        const uint8_t* data = nullptr;
        int32_t size = 0;
    };
    Recording TakeRecording() const { return {recording_.get(), writeIndex_}; }

    // Serial line 0.
    void OnTicks(IfSerial* serial, int32_t tickPosition, int32_t ticks);
    void OnTransmit(IfSerial* serial);
    void OnSerialReset(IfSerial* serial);
    // Nothing happens before the next half-period, so the ticks up to it may be handed over in
    // one call. While nothing plays, the receiver ignores its clock but for its divider and no
    // recording is about to end, the half-periods only move the clock on: the answer then
    // covers all of them, and they are handed over in one go.
    int32_t QuietTicks(IfSerial* serial) const;

    // Recordings finished (event 6), each of which the deck writes to a host file.
    uint32_t RecordingsDone() const { return recordingsDone_.load(); }

    // For snapshots: the recorder's clock, the playback position with the bytes still to be
    // played (so a restored machine plays on without the tape file) and the recording so far.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

  private:
    enum class Step { Continue, EndCall };
    // How many of the coming half-periods would only move the clock on (a very large number
    // when nothing limits it); ReceiverIdleHalfPeriods leaves playback out of it.
    int64_t IdleHalfPeriods(IfSerial* serial) const;
    int64_t ReceiverIdleHalfPeriods(IfSerial* serial) const;
    void SkipIdleHalfPeriods(IfSerial* serial, int32_t count);
    Step HalfPeriod(IfSerial* serial, int32_t stamp, int& event, bool& finishRecording);
    Step FastDelivery(IfSerial* serial, int& event);
    void AdvanceBit();
    void StartGap(int bytes);
    void ResetRecorder(IfSerial* serial);
    bool Dispatch(int code);
    void FinishRecording();

    EventSink eventSink_;
    std::atomic<uint32_t> recordingsDone_{0};
    SoundLevelOutput soundSink_;
    int32_t accumulator_ = 0;
    uint8_t clockLevel_ = 1;
    // Half-periods the last quiet answer counted as idle; cleared by every OnTicks call.
    mutable int64_t idleGranted_ = 0;

    // Playback. The state and the count are read from other threads.
    std::atomic<bool> playActive_{false};  // playState_ or playData_ set
    const uint8_t* playData_ = nullptr;
    const uint8_t* playEnd_ = nullptr;   // the end of the bytes played
    std::vector<uint8_t> restoredPlay_;  // the recorder's copy of them
    std::atomic<int32_t> bytesRemaining_{0};
    bool fast_ = false;
    int32_t byteCounter_ = 0;
    std::atomic<int> playState_{kIdle};
    int32_t halfBits_ = 0;
    uint8_t shift_ = 0;
    uint8_t dataBit_ = 1;
    int32_t blocksPlayed_ = 0;

    // Recording, on the emulation thread only (the state is read for the status icon).
    std::atomic<int> recorderState_{kHunt};
    int32_t writeIndex_ = kRecordHead;
    int32_t blockByteCount_ = 0;
    int32_t blocksRecorded_ = 0;
    int32_t idleHalfPeriods_ = 0;
    std::unique_ptr<uint8_t[]> recording_;
};
