#include "machine/ChipUSART8251.h"
#include "machine/IfSerial.h"
#include "machine/StateArchive.h"

// The engines index and shift by the counts and states; anything a mode instruction cannot
// produce is a damaged stream.
void ChipUSART8251::Serialize(StateArchive& a) {
    State& s = s_;
    a.Field(s.WriteState, 0, 3);
    a.Field(s.ModeWord);
    a.Field(s.CommandWord);
    a.Field(s.CharBits, 5, 8);
    const uint8_t factor = a.Field(s.BaudFactor);
    a.Require(factor == 0 || factor == 1 || factor == 16 || factor == 64);
    a.Field(s.SyncMode, 0, 1);
    for (uint8_t* v : {&s.SyncChar1, &s.SyncChar2, &s.TxChar, &s.TxShift, &s.TxParityBit}) {
        a.Field(*v);
    }
    a.Field(s.TxBitsLeft, 0, 9);
    a.Field(s.TxState, 0, kTxStopSecond);
    a.Field(s.RxShift);
    a.Field(s.RxParity);
    a.Field(s.RxBitsLeft, 0, 9);
    a.Field(s.RxState, 0, kRxHuntSecond);
    a.Field(s.RxChar);
    for (uint8_t* level : {&s.TxReady, &s.RxReady, &s.TxEmpty}) a.Field(*level, 0, 1);
    for (uint8_t* v : {&s.ParityError, &s.OverrunError, &s.FramingError, &s.SynDet, &s.BreakDetect,
                       &s.FramingCount, &s.SendBreak}) {
        a.Field(*v);
    }
    for (uint8_t* level : {&s.TxD, &s.RxD, &s.TxC, &s.RxC, &s.DsrPin, &s.CtsPin, &s.ParallelTx}) {
        a.Field(*level, 0, 1);
    }
    for (uint8_t* v : {&s.TxSecondSyncDue, &s.RxSyncPhase, &s.HuntBits}) a.Field(*v);
    a.Field(s.TxClockCount);
    a.Field(s.RxClockCount);
    a.Field(s.HuntWindow);
}

void IfSerial::Serialize(StateArchive& a) {
    chip_.Serialize(a);
    a.Field<uint8_t>(selectedLine_, 0, kLines - 1);
}

void IfSerial::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool IfSerial::LoadState(StateReader& in) {
    catchUp_();
    if (!StateArchive::Load(*this, in)) return false;
    selectedTick_ = lines_[selectedLine_].OnTick;
    return true;
}
