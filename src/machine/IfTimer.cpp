#include "machine/IfTimer.h"

#include <algorithm>

#include "machine/IfInterrupt.h"

IfTimer::IfTimer(IfInterrupt* interrupts) : interrupts_(interrupts) {
    for (int i = 0; i < ChipPIT8253::kCounters; ++i) {
        chip_.SetOutputCallback(i,
                                ChipPIT8253::OutputCallback::Bind<&IfTimer::OnCounterOutput>(this));
        chip_.SetGate(i, 1);
        chip_.SetClock(i, 0);
    }
}

void IfTimer::PortWrite(uint8_t port, uint8_t value, int32_t /*ticks*/) {
    if ((port & 0xFC) == 0xD0) Chip().WritePort(port & 3, value);
}

uint8_t IfTimer::PortRead(uint8_t port, int32_t /*ticks*/) {
    if ((port & 0xFC) == 0xD0) return Chip().ReadPort(port & 3);
    return 0xFF;
}

void IfTimer::SetClockOptions(bool clock0, bool clock1, bool chain01) {
    SettleAll();
    changed_ = true;
    chain01_ = chain01;
    clockCounter0_ = clock0 || chain01;
    clockCounter1_ = clock1 && !chain01;
}

IfTimer::LevelOutput IfTimer::SetCounter2Output(LevelOutput output) {
    LevelOutput previous = counter2Output_;
    counter2Output_ = output;
    return previous;
}

void IfTimer::OnCounterOutput(int counter, uint8_t level) {
    switch (counter) {
        case 0:
            if (chain01_) chip_.SetClock(1, level);
            break;
        case 1:
            if (level && interrupts_ != nullptr)
                interrupts_->SetSourceLine(IfInterrupt::kLineTimer, 1);
            break;
        default: counter2Output_(level); break;
    }
}

// One processor tick: every clocked counter sees its clock rise, then fall, counter 2 first.
void IfTimer::ClockOnce() {
    chip_.SetClock(2, 1);
    if (clockCounter0_) chip_.SetClock(0, 1);
    if (clockCounter1_) chip_.SetClock(1, 1);
    chip_.SetClock(2, 0);
    if (clockCounter0_) chip_.SetClock(0, 0);
    if (clockCounter1_) chip_.SetClock(1, 0);
    ++elapsed_;
}

void IfTimer::OnTickExact(int32_t /*periodTicks*/, int32_t ticks) {
    SettleAll();
    changed_ = true;
    for (int32_t i = 0; i < ticks; ++i) ClockOnce();
    for (uint64_t& at : settledAt_) at = elapsed_;
}

void IfTimer::Settle(int counter) const {
    const uint64_t owed = elapsed_ - settledAt_[counter];
    settledAt_[counter] = elapsed_;
    if (owed == 0 || !Clocked(counter)) return;
    // Only a counter that is not counting can owe more than a 16-bit range, and for it the
    // number does not matter.
    chip_.Advance(counter, static_cast<int32_t>(std::min<uint64_t>(owed, ChipPIT8253::kNoEvent)));
}

void IfTimer::SettleAll() const {
    for (int counter = 0; counter < ChipPIT8253::kCounters; ++counter) Settle(counter);
}

void IfTimer::Reschedule(int counter) {
    due_[counter] = settledAt_[counter] + static_cast<uint64_t>(chip_.SafeClocks(counter));
}

void IfTimer::RescheduleAll() {
    changed_ = false;
    nextDue_ = UINT64_MAX;
    for (int counter = 0; counter < ChipPIT8253::kCounters; ++counter) {
        if (!Clocked(counter)) continue;
        Settle(counter);
        Reschedule(counter);
        nextDue_ = std::min(nextDue_, due_[counter]);
    }
}

// The clock numbered elapsed_, for the counters that have more to do in it than count, in the
// order in which the clocks reach the chip.
void IfTimer::ClockDueCounters() {
    static constexpr int kOrder[3] = {2, 0, 1};
    for (int counter : kOrder) {
        if (Clocked(counter) && due_[counter] == elapsed_) {
            Settle(counter);
            chip_.SetClock(counter, 1);
        }
    }
    for (int counter : kOrder) {
        if (Clocked(counter) && due_[counter] == elapsed_) chip_.SetClock(counter, 0);
    }
    ++elapsed_;
    nextDue_ = UINT64_MAX;
    for (int counter : kOrder) {
        if (!Clocked(counter)) continue;
        if (due_[counter] == elapsed_ - 1) {
            settledAt_[counter] = elapsed_;
            Reschedule(counter);
        }
        nextDue_ = std::min(nextDue_, due_[counter]);
    }
}

void IfTimer::OnTick(int32_t /*periodTicks*/, int32_t ticks) {
    const uint64_t end = elapsed_ + static_cast<uint64_t>(ticks);
    if (changed_) RescheduleAll();
    while (nextDue_ < end) {
        elapsed_ = nextDue_;
        ClockDueCounters();
        // A chained counter 1 moved with counter 0's output, a callback may have written to
        // the timer: start again from the chip's state.
        if (changed_ || chain01_) RescheduleAll();
    }
    elapsed_ = end;
}
