#pragma once

#include <array>
#include <cstdint>

#include "machine/Closure.h"

class StateArchive;

// The Intel 8253 programmable interval timer, clock by clock: three 16-bit down counters with
// modes 0-5, binary or BCD counting, LSB/MSB access and count latching.
//
// Besides the exact clock edge the chip offers a bulk advance for its owner's hot path:
// SafeClocks says how many falling clock edges can pass with nothing happening but the count
// going down, and Advance applies that many at once with the same result as clocking them.
class ChipPIT8253 {
  public:
    static constexpr int kCounters = 3;
    static constexpr int32_t kNoEvent = 0x7FFFFFFF;

    struct CounterState {
        uint8_t Control = 0x32;  // RL 11, mode 1, binary
        uint8_t NewControl = 0;
        uint16_t CountRegister = 0xFFFF;
        uint8_t WriteState = 0;  // 0 complete, 2 LSB expected (RL 11), 1 MSB or single byte
        uint8_t CountWritten = 0;
        uint16_t Counter = 0xFFFF;  // the counting element
        uint8_t ReadToggle = 0;
        uint16_t OutputLatch = 0;
        uint8_t LatchState = 0;
        uint8_t Gate = 0, Clock = 0;
        uint8_t Out = 1;  // the mode 1 idle level, matching the control word above
        uint8_t Trigger = 0;
        uint8_t Counting = 0;
        bool operator==(const CounterState&) const = default;
    };

    using OutputCallback = Closure<void(int counter, uint8_t level)>;

    ChipPIT8253();

    void WritePort(int index, uint8_t value);
    uint8_t ReadPort(int index);
    void SetGate(int counter, uint8_t level);
    void SetClock(int counter, uint8_t level);
    OutputCallback SetOutputCallback(int counter, OutputCallback callback);

    // Falling clock edges that may pass before anything but the count can change.
    int32_t SafeClocks(int counter) const;
    // Applies `clocks` falling edges (at most SafeClocks) and leaves the clock pin low.
    void Advance(int counter, int32_t clocks);

    const CounterState& GetCounter(int counter) const { return c_[counter]; }
    static int ModeOf(uint8_t control);

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

  private:
    void WriteControl(uint8_t value);
    void WriteCount(int counter, uint8_t value);
    uint8_t ReadCount(int counter);
    void ClockEdge(int counter);
    void SetOut(int counter, uint8_t level);

    std::array<CounterState, kCounters> c_;
    std::array<OutputCallback, kCounters> output_;
};
