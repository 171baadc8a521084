#include "machine/ChipUSART8251.h"

namespace {
constexpr uint8_t kBaudFactors[4] = {0, 1, 16, 64};
}

void ChipUSART8251::ResetChip(bool clearCallbacks) {
    if (clearCallbacks) {
        outputs_ = {};
        writeState_ = {};
        notice_ = {};
    }
    s_.WriteState = 0;
    s_.SynDet = 0;
}

ChipUSART8251::LevelCallback ChipUSART8251::SetOutputCallback(Output which,
                                                              LevelCallback callback) {
    LevelCallback previous = outputs_[which];
    outputs_[which] = callback;
    return previous;
}

ChipUSART8251::WriteStateCallback ChipUSART8251::SetWriteStateCallback(
    WriteStateCallback callback) {
    WriteStateCallback previous = writeState_;
    writeState_ = callback;
    return previous;
}

ChipUSART8251::NoticeCallback ChipUSART8251::SetNoticeCallback(NoticeCallback callback) {
    NoticeCallback previous = notice_;
    notice_ = callback;
    return previous;
}

uint8_t ChipUSART8251::ParityBit(uint8_t value) const {
    uint8_t x = 0;
    for (int bit = 0; bit < s_.CharBits; ++bit) x ^= (value >> bit) & 1;
    const bool even = (s_.ModeWord & 0x20) != 0;
    return even ? x : static_cast<uint8_t>(x ^ 1);
}

// The bits of a sync character as they arrive, first bit lowest, parity bit last.
uint16_t ChipUSART8251::HuntPattern(uint8_t syncChar) const {
    const uint8_t character = static_cast<uint8_t>(syncChar & CharMask());
    if (!ParityEnabled()) return character;
    return static_cast<uint16_t>(character | ParityBit(character) << s_.CharBits);
}

void ChipUSART8251::SetTxD(uint8_t level) {
    if (s_.TxD == level) return;
    s_.TxD = level;
    Emit(kOutTxD, level);
}

void ChipUSART8251::SetTxReady(uint8_t value) {
    if (s_.TxReady == value) return;
    s_.TxReady = value;
    Notify(kNoticeTxReady);
    Emit(kOutTxReady, value);
}

void ChipUSART8251::SetTxEmpty(uint8_t value) {
    if (s_.TxEmpty == value) return;
    s_.TxEmpty = value;
    Notify(kNoticeTxEmpty);
    Emit(kOutTxEmpty, value);
}

void ChipUSART8251::SetRxReady(uint8_t value) {
    if (s_.RxReady == value) return;
    s_.RxReady = value;
    Notify(kNoticeRxReady);
    Emit(kOutRxReady, value);
}

void ChipUSART8251::SetBreakDetect(uint8_t value) {
    if (s_.BreakDetect == value) return;
    s_.BreakDetect = value;
    Notify(kNoticeBreak);
    Emit(kOutBreakDetect, value);
}

void ChipUSART8251::WriteControl(uint8_t value) {
    switch (s_.WriteState) {
        case 0: WriteMode(value); break;
        case 1:
            s_.SyncChar1 = value;
            if (SingleSync()) {
                s_.WriteState = 3;
                SyncLoad();
                EnterHunt();
            } else {
                s_.WriteState = 2;
            }
            break;
        case 2:
            s_.SyncChar2 = value;
            s_.WriteState = 3;
            SyncLoad();
            EnterHunt();
            break;
        default: WriteCommand(value); break;
    }
    writeState_(s_.WriteState);
}

void ChipUSART8251::WriteMode(uint8_t value) {
    s_.ModeWord = value;
    s_.CharBits = static_cast<uint8_t>(((value >> 2) & 3) + 5);
    s_.RxBitsLeft = static_cast<uint8_t>(s_.CharBits + (ParityEnabled() ? 1 : 0));
    s_.TxBitsLeft = s_.CharBits;
    s_.BaudFactor = kBaudFactors[value & 3];
    s_.SyncMode = (value & 3) == 0;
    s_.SynDet = 0;
    s_.TxEmpty = 1;
    s_.TxReady = 1;
    s_.RxReady = 0;
    s_.ParityError = s_.OverrunError = s_.FramingError = 0;
    s_.RxState = kRxStopped;
    s_.FramingCount = 0;
    s_.TxState = kTxNone;
    s_.SendBreak = 0;
    s_.RxD = s_.RxC = s_.DsrPin = s_.CtsPin = 1;
    s_.TxC = 0;
    s_.TxSecondSyncDue = 0;
    s_.RxSyncPhase = 0;
    s_.HuntWindow = 0;
    s_.HuntBits = 0;
    // Line levels are seen by whoever listens to the line; tell them.
    SetTxD(1);
    SetBreakDetect(0);
    Notify(kNoticeMode);
    if (s_.SyncMode) {
        s_.WriteState = 1;
    } else {
        s_.WriteState = 3;
        AsyncLoad();
        s_.RxState = kRxIdle;
    }
}

void ChipUSART8251::WriteCommand(uint8_t value) {
    const uint8_t old = s_.CommandWord;
    s_.CommandWord = value;
    if (value & kCmdInternalReset) {
        s_.WriteState = 0;
        return;
    }
    if (value & kCmdErrorReset) s_.ParityError = s_.OverrunError = s_.FramingError = 0;
    if (value & kCmdSendBreak) {
        s_.SendBreak = 1;
        SetTxD(0);
    } else if (s_.SendBreak) {
        s_.SendBreak = 0;
        SetTxD(1);
        if (s_.SyncMode) {
            SyncLoad();
        } else {
            AsyncLoad();
        }
    }
    Notify(kNoticeCommand);
    if ((old ^ value) & kCmdDtr) Emit(kOutDtr, DtrPin());
    Notify(kNoticeCommandApplied);
    if ((old ^ value) & kCmdRts) Emit(kOutRts, RtsPin());
    if (s_.SyncMode && (value & kCmdEnterHunt)) {
        if (InternalSync()) {
            EnterHunt();
        } else {
            s_.RxState = kRxStopped;
        }
    }
}

void ChipUSART8251::WriteData(uint8_t value) {
    if (s_.WriteState != 3) return;
    s_.TxChar = value;
    SetTxEmpty(0);
    SetTxReady(0);
}

uint8_t ChipUSART8251::ReadStatus() {
    const uint8_t bit6 = s_.SyncMode ? s_.SynDet : s_.BreakDetect;
    const uint8_t status = static_cast<uint8_t>(
        s_.TxReady | s_.RxReady << 1 | s_.TxEmpty << 2 | s_.ParityError << 3 |
        s_.OverrunError << 4 | s_.FramingError << 5 | bit6 << 6 | (s_.DsrPin ? 0 : 0x80));
    if (s_.SyncMode && InternalSync() && s_.SynDet) s_.SynDet = 0;
    return status;
}

uint8_t ChipUSART8251::ReadData() {
    if (!s_.RxReady) return 0xFF;
    SetRxReady(0);
    return s_.RxChar;
}

// ---- Transmitter ----

void ChipUSART8251::AsyncLoad() {
    if (s_.TxReady) {
        SetTxEmpty(1);
        s_.TxState = kTxIdle;
    } else {
        s_.TxState = kTxWaiting;
        s_.TxShift = s_.TxChar;
        s_.TxParityBit = ParityBit(s_.TxChar);
        s_.TxBitsLeft = s_.CharBits;
        SetTxReady(1);
    }
    s_.TxClockCount = s_.BaudFactor;
}

// With nothing to send the synchronous line is filled with sync characters (both of them, in
// turn, in double-sync mode).
void ChipUSART8251::SyncLoad() {
    if (s_.TxSecondSyncDue && !SingleSync()) {
        s_.TxShift = s_.SyncChar2;
        s_.TxSecondSyncDue = 0;
    } else if (s_.TxReady) {
        s_.TxShift = s_.SyncChar1;
        s_.TxSecondSyncDue = SingleSync() ? 0 : 1;
        SetTxEmpty(1);
    } else {
        s_.TxShift = s_.TxChar;
        SetTxReady(1);
    }
    s_.TxParityBit = ParityBit(s_.TxShift);
    s_.TxBitsLeft = s_.CharBits;
    s_.TxState = kTxData;
}

void ChipUSART8251::TxClockEdge(uint8_t level) {
    level = level ? 1 : 0;
    const bool falling = s_.TxC && !level;
    s_.TxC = level;
    if (!falling || s_.WriteState != 3 || s_.SendBreak) return;
    if (s_.SyncMode) {
        SyncTxEdge();
    } else {
        AsyncTxEdge();
    }
}

void ChipUSART8251::SyncTxEdge() {
    if (s_.TxState == kTxParity) {
        SetTxD(s_.TxParityBit);
        SyncLoad();
    } else {
        const bool startOfCharacter = s_.TxBitsLeft == s_.CharBits;
        if (startOfCharacter && (s_.CtsPin || !(s_.CommandWord & kCmdTxEnable))) return;
        SetTxD(s_.TxShift & 1);
        s_.TxShift = static_cast<uint8_t>(s_.TxShift >> 1);
        if (--s_.TxBitsLeft == 0) {
            if (ParityEnabled()) {
                s_.TxState = kTxParity;
            } else {
                SyncLoad();
            }
        }
    }
    Notify(kNoticeTxD);
}

void ChipUSART8251::AsyncTxEdge() {
    if (--s_.TxClockCount > 0) return;
    s_.TxClockCount = s_.BaudFactor;
    const bool mayStart = s_.CtsPin == 0 && (s_.CommandWord & kCmdTxEnable);
    switch (s_.TxState) {
        case kTxIdle:
            AsyncLoad();
            // A disabled transmitter keeps the character in its buffer.
            if (s_.TxState == kTxWaiting && mayStart) {
                SetTxD(0);
                s_.TxState = kTxData;
            }
            break;
        case kTxWaiting:
            if (mayStart) {
                SetTxD(0);
                s_.TxState = kTxData;
            }
            break;
        case kTxData:
            SetTxD(s_.TxShift & 1);
            s_.TxShift = static_cast<uint8_t>(s_.TxShift >> 1);
            if (--s_.TxBitsLeft == 0) s_.TxState = ParityEnabled() ? kTxParity : kTxStop;
            break;
        case kTxParity:
            SetTxD(s_.TxParityBit);
            s_.TxState = kTxStop;
            break;
        case kTxStop: {
            SetTxD(1);
            const int stopBits = s_.ModeWord >> 6;
            s_.TxState = stopBits == 2 ? kTxStopHalf : stopBits == 3 ? kTxStopSecond : kTxIdle;
            break;
        }
        case kTxStopHalf:
            if (s_.TxClockCount > 1) s_.TxClockCount = static_cast<int16_t>(s_.TxClockCount / 2);
            [[fallthrough]];
        case kTxStopSecond:
            SetTxD(1);
            s_.TxState = kTxIdle;
            break;
        default: break;
    }
    Notify(kNoticeTxD);
}

uint8_t ChipUSART8251::TakeTransmitByte() {
    if (s_.TxReady) return 0;
    if (!s_.ParallelTx) return s_.TxChar;
    SetTxReady(1);
    if (s_.SyncMode) {
        SyncLoad();
    } else {
        AsyncLoad();
    }
    return s_.TxChar;
}

bool ChipUSART8251::TxClockIdle() const {
    if (s_.WriteState != 3 || s_.SendBreak) return true;
    if (s_.SyncMode) return false;
    return s_.TxState == kTxIdle && s_.TxReady && s_.TxEmpty;
}

bool ChipUSART8251::RxClockIdle() const {
    if (s_.WriteState != 3) return true;
    if (s_.SyncMode) return s_.RxState == kRxStopped;
    return s_.RxState == kRxIdle && !(s_.RxD == 0 && s_.FramingCount > 0);
}

namespace {
// A divider that counts down to 0 and then starts again from `factor`, after `edges` more edges.
// It may start above the factor when the mode changed under it.
int16_t DividerAfter(int16_t count, uint8_t factor, uint64_t edges) {
    const uint64_t period = factor > 0 ? factor : 1;
    const uint64_t start = static_cast<uint64_t>(count < 1 ? 1 : count);
    if (edges < start) return static_cast<int16_t>(start - edges);
    return static_cast<int16_t>(period - (edges - start) % period);
}
}  // namespace

void ChipUSART8251::SkipTxClocks(uint64_t fallingEdges, uint8_t level) {
    if (fallingEdges > 0 && s_.WriteState == 3 && !s_.SendBreak && !s_.SyncMode) {
        s_.TxClockCount = DividerAfter(s_.TxClockCount, s_.BaudFactor, fallingEdges);
    }
    s_.TxC = level ? 1 : 0;
}

void ChipUSART8251::SkipRxClocks(uint64_t risingEdges, uint8_t level) {
    if (risingEdges > 0 && s_.WriteState == 3 && !s_.SyncMode) {
        s_.RxClockCount = DividerAfter(s_.RxClockCount, s_.BaudFactor, risingEdges);
    }
    s_.RxC = level ? 1 : 0;
}

// ---- Receiver ----

void ChipUSART8251::SetRxD(uint8_t level) {
    level = level ? 1 : 0;
    if (!s_.SyncMode) {
        if (s_.RxState == kRxIdle && s_.RxD && !level) {
            // A start bit: sample it again in its middle.
            s_.RxState = kRxStart;
            s_.RxClockCount = s_.BaudFactor >= 2 ? s_.BaudFactor / 2 : s_.BaudFactor;
        }
        if (level) {
            SetBreakDetect(0);
            s_.FramingCount = 0;
        }
    }
    s_.RxD = level;
}

void ChipUSART8251::RxClockEdge(uint8_t level) {
    level = level ? 1 : 0;
    const bool rising = !s_.RxC && level;
    s_.RxC = level;
    if (!rising || s_.WriteState != 3) return;
    if (s_.SyncMode) {
        SyncRxBit();
    } else {
        AsyncRxSample();
    }
}

void ChipUSART8251::AsyncRxSample() {
    if (--s_.RxClockCount > 0) return;
    s_.RxClockCount = s_.BaudFactor;
    switch (s_.RxState) {
        case kRxIdle:
            // A line held low after a framing error starts the next character by itself.
            if (!s_.RxD && s_.FramingCount > 0) {
                s_.RxState = kRxStart;
                s_.RxClockCount = s_.BaudFactor >= 2 ? s_.BaudFactor / 2 : s_.BaudFactor;
            }
            break;
        case kRxStart:
            if (!s_.RxD) {
                s_.RxState = kRxData;
                s_.RxShift = 0;
                s_.RxBitsLeft = s_.CharBits;
            } else {
                s_.RxState = kRxIdle;  // a glitch, not a start bit
            }
            break;
        case kRxData: ShiftInDataBit(); break;
        case kRxParity:
            if (s_.RxD != s_.RxParity) s_.ParityError = 1;
            s_.RxState = kRxStop;
            break;
        case kRxStop:
            if (!s_.RxD) {
                s_.FramingError = 1;
                if (s_.FramingCount < 2) ++s_.FramingCount;
                if (s_.FramingCount == 2) SetBreakDetect(1);
            }
            Deliver();
            s_.RxState = kRxIdle;
            break;
        default: break;
    }
}

void ChipUSART8251::ShiftInDataBit() {
    s_.RxShift = static_cast<uint8_t>(s_.RxShift >> 1 | s_.RxD << 7);
    if (--s_.RxBitsLeft > 0) return;
    s_.RxShift = static_cast<uint8_t>(s_.RxShift >> (8 - s_.CharBits));
    if (ParityEnabled()) {
        s_.RxParity = ParityBit(s_.RxShift);
        s_.RxState = kRxParity;
    } else if (s_.SyncMode) {
        Deliver();
        NextSyncCharacter();
    } else {
        s_.RxState = kRxStop;
    }
}

void ChipUSART8251::NextSyncCharacter() {
    s_.RxState = kRxData;
    s_.RxShift = 0;
    s_.RxBitsLeft = s_.CharBits;
}

void ChipUSART8251::SyncRxBit() {
    switch (s_.RxState) {
        case kRxHuntFirst:
        case kRxHuntSecond: {
            // The receiver compares the last character's worth of bits after every bit, so a
            // sync character is found wherever the stream happens to be picked up.
            const int frame = FrameBits();
            s_.HuntWindow = static_cast<uint16_t>((s_.HuntWindow >> 1) | s_.RxD << (frame - 1));
            if (s_.HuntBits < frame) ++s_.HuntBits;
            if (s_.HuntBits < frame) break;
            if (s_.RxState == kRxHuntSecond) {
                if (s_.HuntWindow == HuntPattern(s_.SyncChar2)) {
                    SyncAcquired();
                    break;
                }
                s_.RxState = kRxHuntFirst;
            }
            if (s_.HuntWindow == HuntPattern(s_.SyncChar1)) {
                if (SingleSync()) {
                    SyncAcquired();
                } else {
                    s_.RxState = kRxHuntSecond;
                    s_.HuntBits = 0;
                }
            }
            break;
        }
        case kRxData: ShiftInDataBit(); break;
        case kRxParity:
            if (s_.RxD != s_.RxParity) s_.ParityError = 1;
            Deliver();
            NextSyncCharacter();
            break;
        default: break;
    }
}

void ChipUSART8251::EnterHunt() {
    s_.RxState = kRxHuntFirst;
    s_.HuntWindow = 0;
    s_.HuntBits = 0;
    s_.RxSyncPhase = 0;
    SetRxReady(0);
}

void ChipUSART8251::SyncAcquired() {
    NextSyncCharacter();
    s_.RxSyncPhase = 0;
    RaiseSynDet();
}

void ChipUSART8251::RaiseSynDet() {
    if (s_.SynDet) return;
    s_.SynDet = 1;
    Emit(kOutSynDet, 1);
}

// Received characters keep being compared with the sync characters; double sync needs the
// second one as the very next character.
void ChipUSART8251::CompareWithSync(uint8_t value) {
    const uint8_t mask = CharMask();
    if (s_.RxSyncPhase == 1) {
        s_.RxSyncPhase = 0;
        if (value == (s_.SyncChar2 & mask)) {
            RaiseSynDet();
            return;
        }
    }
    if (value == (s_.SyncChar1 & mask)) {
        if (SingleSync()) {
            RaiseSynDet();
        } else {
            s_.RxSyncPhase = 1;
        }
    }
}

void ChipUSART8251::Deliver() {
    s_.RxChar = s_.RxShift;
    if (s_.RxReady) s_.OverrunError = 1;
    if (s_.RxReady) {
        Notify(kNoticeRxReady);
    } else {
        SetRxReady(1);
    }
    if (s_.SyncMode) CompareWithSync(s_.RxChar);
}

void ChipUSART8251::PutReceivedByte(uint8_t value) {
    s_.RxShift = value;
    Deliver();
}
