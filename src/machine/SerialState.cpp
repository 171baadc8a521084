#include "machine/ChipUSART8251.h"
#include "machine/IfSerial.h"
#include "machine/StateStream.h"

namespace {
std::array<uint8_t*, 38> Bytes(ChipUSART8251::State& s) {
    return {&s.WriteState,  &s.ModeWord,    &s.CommandWord,  &s.CharBits,
            &s.BaudFactor,  &s.SyncMode,    &s.SyncChar1,    &s.SyncChar2,
            &s.TxChar,      &s.TxShift,     &s.TxParityBit,  &s.TxBitsLeft,
            &s.TxState,     &s.RxShift,     &s.RxParity,     &s.RxBitsLeft,
            &s.RxState,     &s.RxChar,      &s.TxReady,      &s.RxReady,
            &s.TxEmpty,     &s.ParityError, &s.OverrunError, &s.FramingError,
            &s.SynDet,      &s.BreakDetect, &s.FramingCount, &s.SendBreak,
            &s.TxD,         &s.RxD,         &s.TxC,          &s.RxC,
            &s.DsrPin,      &s.CtsPin,      &s.ParallelTx,   &s.TxSecondSyncDue,
            &s.RxSyncPhase, &s.HuntBits};
}
}  // namespace

void ChipUSART8251::SaveState(StateWriter& out) const {
    State copy = s_;
    for (uint8_t* v : Bytes(copy)) out.U8(*v);
    out.U16(static_cast<uint16_t>(s_.TxClockCount));
    out.U16(static_cast<uint16_t>(s_.RxClockCount));
    out.U16(s_.HuntWindow);
}

bool ChipUSART8251::LoadState(StateReader& in) {
    State s;
    for (uint8_t* v : Bytes(s)) *v = in.U8();
    s.TxClockCount = static_cast<int16_t>(in.U16());
    s.RxClockCount = static_cast<int16_t>(in.U16());
    s.HuntWindow = in.U16();
    if (in.Failed()) return false;
    // The engines index and shift by these; anything a mode instruction cannot produce is a
    // damaged stream.
    const bool factorOk =
        s.BaudFactor == 0 || s.BaudFactor == 1 || s.BaudFactor == 16 || s.BaudFactor == 64;
    if (s.WriteState > 3 || s.CharBits < 5 || s.CharBits > 8 || !factorOk || s.TxBitsLeft > 9 ||
        s.RxBitsLeft > 9 || s.TxState > kTxStopSecond || s.RxState > kRxHuntSecond ||
        s.SyncMode > 1) {
        return false;
    }
    for (uint8_t level : {s.TxReady, s.RxReady, s.TxEmpty, s.TxD, s.RxD, s.TxC, s.RxC, s.DsrPin,
                          s.CtsPin, s.ParallelTx}) {
        if (level > 1) return false;
    }
    s_ = s;
    return true;
}

void IfSerial::SaveState(StateWriter& out) const {
    chip_.SaveState(out);
    out.U8(static_cast<uint8_t>(selectedLine_));
}

bool IfSerial::LoadState(StateReader& in) {
    catchUp_();
    if (!chip_.LoadState(in)) return false;
    const uint8_t line = in.U8Max(kLines - 1);
    if (in.Failed()) return false;
    selectedLine_ = line;
    selectedTick_ = lines_[selectedLine_].OnTick;
    return true;
}
