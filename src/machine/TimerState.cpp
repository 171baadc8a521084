#include "machine/ChipPIT8253.h"
#include "machine/IfTimer.h"
#include "machine/StateStream.h"

void ChipPIT8253::SaveState(StateWriter& out) const {
    for (const CounterState& k : c_) {
        out.U8(k.Control);
        out.U8(k.NewControl);
        out.U16(k.CountRegister);
        out.U8(k.WriteState);
        out.U8(k.CountWritten);
        out.U16(k.Counter);
        out.U8(k.ReadToggle);
        out.U16(k.OutputLatch);
        out.U8(k.LatchState);
        for (uint8_t level : {k.Gate, k.Clock, k.Out, k.Trigger, k.Counting}) out.U8(level);
    }
}

bool ChipPIT8253::LoadState(StateReader& in) {
    std::array<CounterState, kCounters> counters;
    for (CounterState& k : counters) {
        k.Control = in.U8();
        k.NewControl = in.U8();
        k.CountRegister = in.U16();
        k.WriteState = in.U8Max(2);
        k.CountWritten = in.U8Max(1);
        k.Counter = in.U16();
        k.ReadToggle = in.U8Max(1);
        k.OutputLatch = in.U16();
        k.LatchState = in.U8Max(2);
        for (uint8_t* level : {&k.Gate, &k.Clock, &k.Out, &k.Trigger, &k.Counting}) {
            *level = in.U8Max(1);
        }
    }
    if (in.Failed()) return false;
    c_ = counters;
    return true;
}

// The timer is brought up to date first (the skipped edges handed to the serial interface),
// so what is kept is the chip at the current clock; the schedule of quiet stretches is worked
// out again after a load.
void IfTimer::SaveState(StateWriter& out) {
    CatchUp();
    chip_.SaveState(out);
    out.U64(elapsed_);
}

bool IfTimer::LoadState(StateReader& in) {
    CatchUp();
    if (!chip_.LoadState(in)) return false;
    const uint64_t elapsed = in.U64();
    if (in.Failed()) return false;
    elapsed_ = elapsed;
    settledAt_.fill(elapsed);
    due_.fill(elapsed);
    nextDue_ = elapsed;
    unobserved2_ = false;
    muted_.fill(false);
    skippedFalling_.fill(0);
    skippedRising_.fill(0);
    changed_ = true;
    return true;
}
