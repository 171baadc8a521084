#include "machine/ChipPIT8253.h"
#include "machine/IfTimer.h"
#include "machine/StateArchive.h"

void ChipPIT8253::Serialize(StateArchive& a) {
    for (CounterState& k : c_) {
        a.Field(k.Control);
        a.Field(k.NewControl);
        a.Field(k.CountRegister);
        a.Field(k.WriteState, 0, 2);
        a.Field(k.CountWritten, 0, 1);
        a.Field(k.Counter);
        a.Field(k.ReadToggle, 0, 1);
        a.Field(k.OutputLatch);
        a.Field(k.LatchState, 0, 2);
        for (uint8_t* level : {&k.Gate, &k.Clock, &k.Out, &k.Trigger, &k.Counting}) {
            a.Field(*level, 0, 1);
        }
    }
}

void IfTimer::Serialize(StateArchive& a) {
    chip_.Serialize(a);
    a.Field(elapsed_);
}

// The timer is brought up to date first (the skipped edges handed to the serial interface),
// so what is kept is the chip at the current clock; the schedule of quiet stretches is worked
// out again after a load.
void IfTimer::SaveState(StateWriter& out) {
    CatchUp();
    StateArchive::Save(*this, out);
}

bool IfTimer::LoadState(StateReader& in) {
    CatchUp();
    if (!StateArchive::Load(*this, in)) return false;
    settledAt_.fill(elapsed_);
    due_.fill(elapsed_);
    nextDue_ = elapsed_;
    unobserved2_ = false;
    muted_.fill(false);
    skippedFalling_.fill(0);
    skippedRising_.fill(0);
    changed_ = true;
    return true;
}
