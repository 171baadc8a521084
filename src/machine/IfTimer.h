#pragma once

#include <array>
#include <cstdint>

#include "machine/ChipPIT8253.h"
#include "machine/Closure.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

class IfInterrupt;
class IfSerial;

// The 8253 on ports D0-D3. Every processor tick is one clock for counter 2 (the serial
// interface's clock) and, by configuration, for counters 0 and 1; counter 0's output can clock
// counter 1 instead; each rising edge of counter 1's output raises interrupt line 6. The gates
// are tied high.
class IfTimer : public PeripheralDevice {
  public:
    using LevelOutput = Closure<void(uint8_t level)>;

    explicit IfTimer(IfInterrupt* interrupts);

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    // A read moves a counter's read toggle or latch, never its counting or its output: the
    // listeners hear the pending ticks first, and their schedule stands.
    uint8_t PortReadReach() const override { return kReachListenerTime; }
    int DeviceType() const override { return kDeviceTimer; }

    // With chain01 counter 0 runs on the processor clock and counter 1 on counter 0's output,
    // whatever clock0 and clock1 say.
    void SetClockOptions(bool clock0, bool clock1, bool chain01);
    bool ClockCounter0() const { return clockCounter0_; }
    bool ClockCounter1() const { return clockCounter1_; }
    bool Chain01() const { return chain01_; }

    // What counter 2 clocks. OnEdge gets every output change. When IsIdle says the consumer
    // would do nothing with edges but count them, counter 2 runs on unobserved and the edges
    // are handed over as counts through Skip; the consumer calls CatchUp before it changes.
    struct Counter2Consumer {
        LevelOutput OnEdge;
        Closure<bool()> IsIdle;
        Closure<void(uint64_t fallingEdges, uint64_t risingEdges, uint8_t level)> Skip;
    };
    Counter2Consumer SetCounter2Consumer(const Counter2Consumer& consumer);
    // Only the edges, nothing skipped.
    LevelOutput SetCounter2Output(LevelOutput output);
    // Wires counter 2 to the serial interface both ways. Neither calls the other while being
    // destroyed, so they may go in either order, but nothing may use the survivor's link after.
    void ConnectSerial(IfSerial* serial);
    // Brings every counter up to the current clock and hands over skipped edges.
    void CatchUp();

    // Tick listener: advances the counters by the instruction's ticks, skipping over stretches
    // in which no output can change.
    void OnTick(int32_t periodTicks, int32_t ticks);
    // Companion of OnTick for the processor: the clocks until the next one that must run
    // exactly, before which no output can change.
    int32_t QuietTicks();
    // The same, one clock at a time: the reference the fast path is held to.
    void OnTickExact(int32_t periodTicks, int32_t ticks);

    // For snapshots: saving first catches up (handing skipped edges to the serial interface);
    // the quiet-stretch schedule is worked out again after a load.
    void SaveState(StateWriter& out);
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    // Clock cycles delivered since construction; during an output callback, the cycle it
    // happens in.
    uint64_t ElapsedClocks() const { return elapsed_; }

    // The chip, brought up to date first (quiet stretches are applied lazily).
    ChipPIT8253& Chip() {
        SettleAll();
        changed_ = true;
        return chip_;
    }
    const ChipPIT8253& Chip() const {
        SettleAll();
        return chip_;
    }

  private:
    bool Clocked(int counter) const {
        return counter == 2 || (counter == 0 ? clockCounter0_ : clockCounter1_);
    }
    void ClockOnce();
    void ClockDueCounters();
    void Settle(int counter) const;
    void SettleAll() const;
    // Brings up to date what a read of the counter (or a latch command for it) shows.
    void SettleForRead(int counter) const;
    void Reschedule(int counter);
    void RescheduleAll();
    void OnCounterOutput(int counter, uint8_t level);
    bool Counter2MayRunUnobserved() const;
    void RunUnobserved(int counter, uint64_t clocks) const;
    void HandOverCounter2Edges() const;
    void HandOverCounter0Edges(uint8_t startLevel) const;
    uint64_t ClocksToCounter0Fall(uint64_t falls) const;

    // Each clocked counter's state is applied up to clock settledAt_ (clocks are counted by
    // elapsed_); up to clock due_ nothing but its count can change, so those clocks are applied
    // in one step when someone looks or when due_ comes round and that clock is run exactly.
    // Most instructions end before the next due clock and cost one comparison here.
    mutable ChipPIT8253 chip_;
    mutable std::array<uint64_t, ChipPIT8253::kCounters> settledAt_{};
    std::array<uint64_t, ChipPIT8253::kCounters> due_{};
    uint64_t nextDue_ = 0;
    bool changed_ = true;  // someone had the chip: every schedule is to be worked out again
    // Counter 2 running unobserved, and the edges its consumer has not been given yet. Counter 0
    // always runs unobserved: its output reaches nothing but counter 1 in the chain, and there
    // its falling edges are handed over as a count of counter 1's clocks.
    bool unobserved2_ = false;
    mutable std::array<bool, ChipPIT8253::kCounters> muted_{};
    mutable std::array<uint64_t, ChipPIT8253::kCounters> skippedFalling_{}, skippedRising_{};
    IfInterrupt* interrupts_;
    Counter2Consumer counter2_;
    bool clockCounter0_ = false;
    bool clockCounter1_ = false;
    bool chain01_ = false;
    uint64_t elapsed_ = 0;
};
