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
    if ((port & 0xFC) != 0xD0) return;
    // A latch command only copies one count: that counter is brought up to date, and nothing
    // about when the counters next act changes.
    const int latched = value >> 6;
    if ((port & 3) == 3 && (value & 0x30) == 0 && latched < 3) {
        SettleForRead(latched);
        chip_.WritePort(3, value);
        return;
    }
    Chip().WritePort(port & 3, value);
}

uint8_t IfTimer::PortRead(uint8_t port, int32_t /*ticks*/) {
    if ((port & 0xFC) != 0xD0) return 0xFF;
    // Reading moves the read toggle and the latch, never the counting.
    const int counter = port & 3;
    if (counter < 3) SettleForRead(counter);
    return chip_.ReadPort(counter);
}

void IfTimer::SettleForRead(int counter) const {
    // In the chain counter 1 moves with counter 0.
    Settle(counter == 1 && chain01_ ? 0 : counter);
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
            if (muted_[0]) {
                ++(level ? skippedRising_[0] : skippedFalling_[0]);
            } else if (chain01_) {
                chip_.SetClock(1, level);
            }
            break;
        case 1:
            if (level && interrupts_ != nullptr)
                interrupts_->SetSourceLine(IfInterrupt::kLineTimer, 1);
            break;
        default:
            if (muted_[2]) {
                ++(level ? skippedRising_[2] : skippedFalling_[2]);
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
    // Kept settled after every tick: a counter 2 edge may reach a device that asks the timer to
    // catch up (the recorder taking a byte), which must find nothing owed.
    for (int32_t i = 0; i < ticks; ++i) {
        ClockOnce();
        for (uint64_t& at : settledAt_) at = elapsed_;
    }
}

void IfTimer::Settle(int counter) const {
    const uint64_t owed = elapsed_ - settledAt_[counter];
    settledAt_[counter] = elapsed_;
    if (owed == 0 || !Clocked(counter)) return;
    if (counter == 2 && unobserved2_) {
        RunUnobserved(2, owed);
        HandOverCounter2Edges();
        return;
    }
    if (counter == 0) {
        const uint8_t startLevel = chip_.GetCounter(0).Out;
        RunUnobserved(0, owed);
        HandOverCounter0Edges(startLevel);
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
    if (counter == 0) {
        // Counter 0 needs an exact clock only where its output's fall is the clock on which
        // counter 1 acts.
        due_[0] = UINT64_MAX;
        if (!chain01_) return;
        const int32_t quiet1 = chip_.SafeClocks(1);
        if (quiet1 >= ChipPIT8253::kNoEvent) return;
        const uint64_t clocks = ClocksToCounter0Fall(static_cast<uint64_t>(quiet1) + 1);
        if (clocks != UINT64_MAX) due_[0] = settledAt_[0] + clocks - 1;
        return;
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

// Runs a counter whose output edges nobody needs to see one by one: they are counted. A square
// wave or a rate generator repeats exactly from one output change to the next of the same
// level, so whole periods are skipped by arithmetic once one has been measured.
void IfTimer::RunUnobserved(int counter, uint64_t clocks) const {
    muted_[counter] = true;
    const int mode = ChipPIT8253::ModeOf(chip_.GetCounter(counter).Control);
    const bool periodic = mode == 2 || mode == 3;
    int markLevel = -1;
    uint64_t markClocks = 0;
    bool periodsSkipped = !periodic;
    while (clocks > 0) {
        const int32_t quiet = chip_.SafeClocks(counter);
        if (clocks <= static_cast<uint64_t>(quiet)) {
            chip_.Advance(counter, static_cast<int32_t>(clocks));
            break;
        }
        chip_.Advance(counter, quiet);
        clocks -= static_cast<uint64_t>(quiet);
        const uint8_t before = chip_.GetCounter(counter).Out;
        chip_.SetClock(counter, 1);
        chip_.SetClock(counter, 0);
        --clocks;
        const uint8_t after = chip_.GetCounter(counter).Out;
        if (after == before || periodsSkipped) continue;
        if (markLevel == after) {
            const uint64_t period = markClocks - clocks;
            const uint64_t periods = clocks / period;
            clocks -= periods * period;
            skippedFalling_[counter] += periods;
            skippedRising_[counter] += periods;
            periodsSkipped = true;
        } else if (markLevel < 0) {
            markLevel = after;
            markClocks = clocks;
        }
    }
    muted_[counter] = false;
}

void IfTimer::HandOverCounter2Edges() const {
    if (skippedFalling_[2] == 0 && skippedRising_[2] == 0) return;
    const uint64_t falling = skippedFalling_[2], rising = skippedRising_[2];
    skippedFalling_[2] = skippedRising_[2] = 0;
    counter2_.Skip(falling, rising, chip_.GetCounter(2).Out);
}

// In the chain each fall of counter 0's output is a clock for counter 1; the schedule keeps
// their number within counter 1's quiet clocks, so they are applied in one step, and counter
// 1's clock pin then follows counter 0's output (a rise does nothing). Just after the chain is
// switched on the pin may be low already, and then the first fall is no clock.
void IfTimer::HandOverCounter0Edges(uint8_t startLevel) const {
    uint64_t falls = skippedFalling_[0];
    const uint64_t rises = skippedRising_[0];
    skippedFalling_[0] = skippedRising_[0] = 0;
    if (!chain01_ || falls + rises == 0) return;
    if (startLevel == 1 && chip_.GetCounter(1).Clock == 0) --falls;
    if (falls > 0) {
        chip_.Advance(1, static_cast<int32_t>(std::min<uint64_t>(falls, ChipPIT8253::kNoEvent)));
    }
    chip_.SetClock(1, chip_.GetCounter(0).Out);
}

// Clocks from now to the one on which counter 0's output falls for the `falls`-th time, worked
// out on a copy of the chip; UINT64_MAX if it never does. After its first fall a rate generator
// or square wave is back in the same state at every fall, so the rest follow one period apart.
// Any other mode gets the clock of its second fall at most, where the schedule is made again.
uint64_t IfTimer::ClocksToCounter0Fall(uint64_t falls) const {
    ChipPIT8253 probe = chip_;
    for (int i = 0; i < ChipPIT8253::kCounters; ++i) probe.SetOutputCallback(i, {});
    const int mode = ChipPIT8253::ModeOf(probe.GetCounter(0).Control);
    uint64_t clocks = 0, firstFall = 0, seen = 0;
    for (int events = 0; events < 64; ++events) {
        const int32_t quiet = probe.SafeClocks(0);
        if (quiet >= ChipPIT8253::kNoEvent) return UINT64_MAX;
        probe.Advance(0, quiet);
        const uint8_t before = probe.GetCounter(0).Out;
        probe.SetClock(0, 1);
        probe.SetClock(0, 0);
        clocks += static_cast<uint64_t>(quiet) + 1;
        if (!(before == 1 && probe.GetCounter(0).Out == 0)) continue;
        if (++seen == falls) return clocks;
        if (seen == 1) {
            firstFall = clocks;
        } else if (mode == 2 || mode == 3) {
            return firstFall + (falls - 1) * (clocks - firstFall);
        } else {
            return clocks;
        }
    }
    return clocks;
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
        // A callback may have written to the timer: start again from the chip's state.
        if (changed_) RescheduleAll();
    }
    elapsed_ = end;
}
