#pragma once

#include <array>
#include <cstdint>

#include "machine/Closure.h"

class StateArchive;

// The Intel 8251 USART, bit by bit on its TxC and RxC clocks: asynchronous mode with ×1, ×16 and
// ×64 clocks, 5-8 data bits, parity and 1, 1.5 or 2 stop bits, break and framing detection;
// synchronous mode with one or two sync characters, hunt and sync fill. Devices that move whole
// bytes can bypass the bit engines (PutReceivedByte, TakeTransmitByte).
class ChipUSART8251 {
  public:
    enum RxStates : uint8_t {
        kRxStopped = 0,
        kRxIdle = 1,
        kRxStart = 3,
        kRxData = 4,
        kRxParity = 5,
        kRxStop = 6,
        kRxHuntFirst = 8,
        kRxHuntSecond = 9
    };
    enum TxStates : uint8_t {
        kTxNone = 0,
        kTxIdle = 2,
        kTxWaiting = 3,
        kTxData = 4,
        kTxParity = 5,
        kTxStop = 6,
        kTxStopHalf = 7,
        kTxStopSecond = 8
    };
    // Level outputs.
    enum Output : int {
        kOutTxD,
        kOutTxReady,
        kOutTxEmpty,
        kOutRxReady,
        kOutDtr,
        kOutRts,
        kOutSynDet,
        kOutBreakDetect,
        kOutputCount
    };
    // Status notifications for viewers and the owner.
    enum Notice : int {
        kNoticeTxD,
        kNoticeTxReady,
        kNoticeTxEmpty,
        kNoticeRxReady,
        kNoticeCommand,
        kNoticeCommandApplied,
        kNoticeMode,
        kNoticeBreak
    };

    static constexpr uint8_t kCmdTxEnable = 0x01, kCmdDtr = 0x02, kCmdRxEnable = 0x04,
                             kCmdSendBreak = 0x08, kCmdErrorReset = 0x10, kCmdRts = 0x20,
                             kCmdInternalReset = 0x40, kCmdEnterHunt = 0x80;

    // Before the first mode instruction the chip holds what mode byte 0 decodes to, every flag
    // clear and the lines at their idle (high) levels.
    struct State {
        uint8_t WriteState = 0;  // 0 mode, 1 first sync, 2 second sync, 3 command
        uint8_t ModeWord = 0;
        uint8_t CommandWord = 0;
        uint8_t CharBits = 5;
        uint8_t BaudFactor = 0;
        uint8_t SyncMode = 1;
        uint8_t SyncChar1 = 0, SyncChar2 = 0;
        uint8_t TxChar = 0;
        uint8_t TxShift = 0, TxParityBit = 0, TxBitsLeft = 0, TxState = kTxNone;
        int16_t TxClockCount = 0;
        uint8_t RxShift = 0, RxParity = 0, RxBitsLeft = 0, RxState = kRxStopped;
        int16_t RxClockCount = 0;
        uint8_t RxChar = 0;
        uint8_t TxReady = 0, RxReady = 0, TxEmpty = 0;
        uint8_t ParityError = 0, OverrunError = 0, FramingError = 0;
        uint8_t SynDet = 0;
        uint8_t BreakDetect = 0, FramingCount = 0;
        uint8_t SendBreak = 0;
        uint8_t TxD = 1, RxD = 1, TxC = 0, RxC = 1;
        uint8_t DsrPin = 1, CtsPin = 1;  // 0 = active
        uint8_t ParallelTx = 0;
        // Sync bookkeeping: the fill's second sync character is due next; which sync character
        // the received data is compared with; the last bits seen while hunting.
        uint8_t TxSecondSyncDue = 0;
        uint8_t RxSyncPhase = 0;
        uint16_t HuntWindow = 0;
        uint8_t HuntBits = 0;
        bool operator==(const State&) const = default;
    };

    using LevelCallback = Closure<void(uint8_t level)>;
    using WriteStateCallback = Closure<void(int writeState)>;
    using NoticeCallback = Closure<void(int notice)>;

    void ResetChip(bool clearCallbacks);
    void WriteControl(uint8_t value);
    void WriteData(uint8_t value);
    uint8_t ReadStatus();
    uint8_t ReadData();

    void TxClockEdge(uint8_t level);
    void RxClockEdge(uint8_t level);
    void SetRxD(uint8_t level);
    void SetDsr(uint8_t level) { s_.DsrPin = level ? 1 : 0; }
    void SetCts(uint8_t level) { s_.CtsPin = level ? 1 : 0; }

    // Whether clock edges would do nothing now but move the baud-rate dividers on; while they
    // would not, an owner may count them and hand them over in one go.
    bool TxClockIdle() const;
    bool RxClockIdle() const;
    void SkipTxClocks(uint64_t fallingEdges, uint8_t level);
    void SkipRxClocks(uint64_t risingEdges, uint8_t level);

    void PutReceivedByte(uint8_t value);
    uint8_t TakeTransmitByte();
    void SetParallelTx(uint8_t on) { s_.ParallelTx = on ? 1 : 0; }

    bool TxReadyPin() const { return TxReadyPinOf(s_); }
    static bool TxReadyPinOf(const State& s) {
        return s.TxReady && (s.CommandWord & kCmdTxEnable) && s.CtsPin == 0;
    }
    uint8_t DtrPin() const { return (s_.CommandWord & kCmdDtr) ? 0 : 1; }
    uint8_t RtsPin() const { return (s_.CommandWord & kCmdRts) ? 0 : 1; }

    LevelCallback SetOutputCallback(Output which, LevelCallback callback);
    WriteStateCallback SetWriteStateCallback(WriteStateCallback callback);
    NoticeCallback SetNoticeCallback(NoticeCallback callback);

    const State& GetState() const { return s_; }

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

  private:
    bool ParityEnabled() const { return (s_.ModeWord & 0x10) != 0; }
    bool SingleSync() const { return (s_.ModeWord & 0x80) != 0; }
    bool InternalSync() const { return (s_.ModeWord & 0x40) == 0; }
    uint8_t ParityBit(uint8_t value) const;
    uint16_t HuntPattern(uint8_t syncChar) const;
    uint8_t CharMask() const { return static_cast<uint8_t>((1 << s_.CharBits) - 1); }
    int FrameBits() const { return s_.CharBits + (ParityEnabled() ? 1 : 0); }

    void WriteMode(uint8_t value);
    void WriteCommand(uint8_t value);
    void AsyncLoad();
    void SyncLoad();
    void AsyncTxEdge();
    void SyncTxEdge();
    void AsyncRxSample();
    void SyncRxBit();
    void ShiftInDataBit();
    void NextSyncCharacter();
    void EnterHunt();
    void SyncAcquired();
    void RaiseSynDet();
    void CompareWithSync(uint8_t value);
    void Deliver();

    void SetTxD(uint8_t level);
    void SetTxReady(uint8_t value);
    void SetTxEmpty(uint8_t value);
    void SetRxReady(uint8_t value);
    void SetBreakDetect(uint8_t value);
    void Emit(Output which, uint8_t level) { outputs_[which](level); }
    void Notify(Notice notice) { notice_(notice); }

    State s_;
    std::array<LevelCallback, kOutputCount> outputs_{};
    WriteStateCallback writeState_;
    NoticeCallback notice_;
};
