#include "machine/IfTimer.h"

#include <algorithm>

#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"

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

IfTimer::Counter2Consumer IfTimer::SetCounter2Consumer(const Counter2Consumer& consumer) {
    CatchUp();
    Counter2Consumer previous = counter2_;
    counter2_ = consumer;
    return previous;
}

IfTimer::LevelOutput IfTimer::SetCounter2Output(LevelOutput output) {
    return SetCounter2Consumer({output, {}, {}}).OnEdge;
}

void IfTimer::ConnectSerial(IfSerial* serial) {
    SetCounter2Consumer(
        {LevelOutput::Bind<&IfSerial::TimerOutput>(serial),
         Closure<bool()>::Bind<&IfSerial::TimerClockIdle>(serial),
         decltype(Counter2Consumer::Skip)::Bind<&IfSerial::SkipTimerEdges>(serial)});
    serial->SetClockCatchUp(Closure<void()>::Bind<&IfTimer::CatchUp>(this));
}

void IfTimer::CatchUp() {
    SettleAll();
    changed_ = true;
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
        default:
            if (muted2_) {
                ++(level ? skippedRising_ : skippedFalling_);
            } else {
                counter2_.OnEdge(level);
            }
            break;
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
    if (counter == 2 && unobserved2_) {
        RunCounter2Unobserved(owed);
        return;
    }
    // Only a counter that is not counting can owe more than a 16-bit range, and for it the
    // number does not matter.
    chip_.Advance(counter, static_cast<int32_t>(std::min<uint64_t>(owed, ChipPIT8253::kNoEvent)));
}

void IfTimer::SettleAll() const {
    for (int counter = 0; counter < ChipPIT8253::kCounters; ++counter) Settle(counter);
}

void IfTimer::Reschedule(int counter) {
    if (counter == 2) {
        unobserved2_ = Counter2MayRunUnobserved();
        if (unobserved2_) {
            due_[2] = UINT64_MAX;
            return;
        }
    }
    due_[counter] = settledAt_[counter] + static_cast<uint64_t>(chip_.SafeClocks(counter));
}

// A square wave nobody needs to watch edge by edge: it changes nothing but itself until someone
// looks, and then every clock since is worked out at once.
bool IfTimer::Counter2MayRunUnobserved() const {
    if (!counter2_.IsIdle || !counter2_.IsIdle()) return false;
    const ChipPIT8253::CounterState& k = chip_.GetCounter(2);
    return ChipPIT8253::ModeOf(k.Control) == 3 && k.Counting && !k.Trigger;
}

void IfTimer::RunCounter2Unobserved(uint64_t clocks) const {
    muted2_ = true;
    // The wave repeats exactly from one reload to the next of the same level, so whole periods
    // are skipped by arithmetic once one has been measured.
    int markLevel = -1;
    uint64_t markClocks = 0;
    bool periodsSkipped = false;
    while (clocks > 0) {
        const int32_t quiet = chip_.SafeClocks(2);
        if (clocks <= static_cast<uint64_t>(quiet)) {
            chip_.Advance(2, static_cast<int32_t>(clocks));
            break;
        }
        chip_.Advance(2, quiet);
        clocks -= static_cast<uint64_t>(quiet);
        const uint8_t before = chip_.GetCounter(2).Out;
        chip_.SetClock(2, 1);
        chip_.SetClock(2, 0);
        --clocks;
        const uint8_t after = chip_.GetCounter(2).Out;
        if (after == before || periodsSkipped) continue;
        if (markLevel == after) {
            const uint64_t period = markClocks - clocks;
            const uint64_t periods = clocks / period;
            clocks -= periods * period;
            skippedFalling_ += periods;
            skippedRising_ += periods;
            periodsSkipped = true;
        } else if (markLevel < 0) {
            markLevel = after;
            markClocks = clocks;
        }
    }
    muted2_ = false;
    if (skippedFalling_ != 0 || skippedRising_ != 0) {
        const uint64_t falling = skippedFalling_, rising = skippedRising_;
        skippedFalling_ = skippedRising_ = 0;
        counter2_.Skip(falling, rising, chip_.GetCounter(2).Out);
    }
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

int32_t IfTimer::QuietTicks() {
    if (changed_) RescheduleAll();
    // OnTick runs the due clock once the ticks it is given reach past it.
    if (nextDue_ == UINT64_MAX || nextDue_ - elapsed_ >= static_cast<uint64_t>(INT32_MAX)) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(nextDue_ - elapsed_ + 1);
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
