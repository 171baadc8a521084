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
    if ((port & 0xFC) == 0xD0) chip_.WritePort(port & 3, value);
}

uint8_t IfTimer::PortRead(uint8_t port, int32_t /*ticks*/) {
    if ((port & 0xFC) == 0xD0) return chip_.ReadPort(port & 3);
    return 0xFF;
}

void IfTimer::SetClockOptions(bool clock0, bool clock1, bool chain01) {
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
    for (int32_t i = 0; i < ticks; ++i) ClockOnce();
}

void IfTimer::OnTick(int32_t /*periodTicks*/, int32_t ticks) {
    while (ticks > 0) {
        int32_t quiet = chip_.SafeClocks(2);
        if (clockCounter0_) quiet = std::min(quiet, chip_.SafeClocks(0));
        if (clockCounter1_) quiet = std::min(quiet, chip_.SafeClocks(1));
        if (quiet <= 0) {
            ClockOnce();
            --ticks;
            continue;
        }
        const int32_t run = std::min(quiet, ticks);
        chip_.Advance(2, run);
        if (clockCounter0_) chip_.Advance(0, run);
        if (clockCounter1_) chip_.Advance(1, run);
        elapsed_ += static_cast<uint64_t>(run);
        ticks -= run;
    }
}
