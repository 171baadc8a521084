#include <gtest/gtest.h>

#include <vector>

#include "machine/ChipPIT8253.h"

namespace {

// Drives one counter clock by clock and records its output level after every falling edge.
class CounterProbe {
  public:
    explicit CounterProbe(int counter = 0) : counter_(counter) {
        for (int i = 0; i < 3; ++i) pit.SetGate(i, 1);
    }
    void Program(uint8_t control, std::vector<uint8_t> count) {
        pit.WritePort(3, static_cast<uint8_t>(counter_ << 6 | control));
        for (uint8_t byte : count) pit.WritePort(counter_, byte);
    }
    // Output levels seen after each of the next n clocks.
    std::vector<int> Clock(int n) {
        std::vector<int> levels;
        for (int i = 0; i < n; ++i) {
            pit.SetClock(counter_, 1);
            pit.SetClock(counter_, 0);
            levels.push_back(pit.GetCounter(counter_).Out);
        }
        return levels;
    }
    uint16_t Count() const { return pit.GetCounter(counter_).Counter; }

    ChipPIT8253 pit;

  private:
    int counter_;
};

TEST(ChipPIT8253, Mode0GoesHighOnTheSixthClockForCountFive) {
    CounterProbe probe;
    probe.Program(0x30, {5, 0});
    EXPECT_EQ(probe.pit.GetCounter(0).Out, 0);
    EXPECT_EQ(probe.Clock(6), (std::vector<int>{0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(probe.Clock(3), (std::vector<int>{1, 1, 1}));  // stays high, keeps counting
}

TEST(ChipPIT8253, Mode0LsbWriteStopsTheCountUntilTheMsbArrives) {
    CounterProbe probe;
    probe.Program(0x30, {3, 0});
    probe.Clock(2);
    const uint16_t held = probe.Count();
    probe.pit.WritePort(0, 9);  // LSB of a new count
    probe.Clock(4);
    EXPECT_EQ(probe.Count(), held);
    probe.pit.WritePort(0, 0);
    EXPECT_EQ(probe.Clock(10).back(), 1);
}

TEST(ChipPIT8253, Mode2IsLowForOneClockInEveryThree) {
    CounterProbe probe;
    probe.Program(0x34, {3, 0});
    probe.Clock(1);  // load
    EXPECT_EQ(probe.Clock(9), (std::vector<int>{1, 0, 1, 1, 0, 1, 1, 0, 1}));
}

TEST(ChipPIT8253, Mode2NewCountWithoutControlWordWaitsForTheReload) {
    CounterProbe probe;
    probe.Program(0x34, {4, 0});
    probe.Clock(2);
    probe.pit.WritePort(0, 2);
    probe.pit.WritePort(0, 0);
    // The running period finishes with the old count, then the new one applies.
    EXPECT_EQ(probe.Clock(7), (std::vector<int>{1, 0, 1, 0, 1, 0, 1}));
}

struct SquareCase {
    uint16_t count;
    bool bcd;
    int high, low;
};

class Mode3Square : public ::testing::TestWithParam<SquareCase> {};

TEST_P(Mode3Square, HalfPeriodsMatchTheChip) {
    const SquareCase& c = GetParam();
    CounterProbe probe;
    probe.Program(c.bcd ? 0x37 : 0x36,
                  {static_cast<uint8_t>(c.count), static_cast<uint8_t>(c.count >> 8)});
    probe.Clock(1);  // load
    // Count the clocks of two whole periods.
    std::vector<int> levels = probe.Clock(2 * (c.high + c.low) + 1);
    std::vector<int> runs;
    int run = 1;
    for (size_t i = 1; i < levels.size(); ++i) {
        if (levels[i] == levels[i - 1]) {
            ++run;
        } else {
            runs.push_back(run);
            run = 1;
        }
    }
    ASSERT_GE(runs.size(), 3u);
    // The first run started one clock after the load; skip it.
    EXPECT_EQ(runs[1], c.low);
    EXPECT_EQ(runs[2], c.high);
}

INSTANTIATE_TEST_SUITE_P(Counts, Mode3Square,
                         ::testing::Values(SquareCase{2, false, 1, 1}, SquareCase{3, false, 2, 1},
                                           SquareCase{4, false, 2, 2}, SquareCase{5, false, 3, 2},
                                           SquareCase{13, false, 7, 6},
                                           SquareCase{0x15, true, 8, 7},
                                           SquareCase{1, false, 32769, 32768},
                                           SquareCase{1, true, 5001, 5000}));

TEST(ChipPIT8253, Mode4BcdCountZeroRunsTenThousandClocks) {
    CounterProbe probe;
    probe.Program(0x39, {0, 0});
    probe.Clock(1);  // load
    probe.Clock(1);
    EXPECT_EQ(probe.Count(), 0x9999);
    EXPECT_EQ(probe.pit.GetCounter(0).Out, 1);
    std::vector<int> levels = probe.Clock(9999);
    EXPECT_EQ(levels.back(), 0);  // the strobe at terminal count
    EXPECT_EQ(levels[9997], 1);
    EXPECT_EQ(probe.Clock(1).back(), 1);
}

TEST(ChipPIT8253, BcdDecrementBorrowsThroughEveryDigit) {
    CounterProbe probe;
    probe.Program(0x31, {0x00, 0x10});  // mode 0 BCD 1000
    probe.Clock(2);
    EXPECT_EQ(probe.Count(), 0x0999);
}

TEST(ChipPIT8253, LatchedReadsReturnTheLatchWhileTheCounterRuns) {
    CounterProbe probe;
    probe.Program(0x34, {0x34, 0x12});
    probe.Clock(1);
    probe.pit.WritePort(3, 0x00);  // latch counter 0
    probe.Clock(5);
    probe.pit.WritePort(3, 0x00);  // a second latch while the first is unread does nothing
    EXPECT_EQ(probe.pit.ReadPort(0), 0x34);
    EXPECT_EQ(probe.pit.ReadPort(0), 0x12);
    // Unlatched reads follow the counter, LSB then MSB.
    EXPECT_EQ(probe.pit.ReadPort(0), 0x2F);
    EXPECT_EQ(probe.pit.ReadPort(0), 0x12);
    EXPECT_EQ(probe.pit.ReadPort(3), 0xFF);
}

TEST(ChipPIT8253, SingleByteAccessModes) {
    CounterProbe probe(1);
    probe.Program(0x24, {0x02});  // MSB only: count 0x0200
    EXPECT_EQ(probe.pit.GetCounter(1).CountRegister, 0x0200);
    probe.Clock(1);
    probe.pit.WritePort(3, 0x40);
    EXPECT_EQ(probe.pit.ReadPort(1), 0x02);
    probe.Program(0x14, {0x80});  // LSB only
    EXPECT_EQ(probe.pit.GetCounter(1).CountRegister, 0x0080);
}

TEST(ChipPIT8253, GateControlsModes1And2) {
    CounterProbe probe;
    probe.pit.SetGate(0, 0);
    probe.Program(0x32, {3, 0});  // mode 1 waits for a gate edge
    probe.Clock(5);
    EXPECT_EQ(probe.pit.GetCounter(0).Out, 1);
    probe.pit.SetGate(0, 1);
    EXPECT_EQ(probe.Clock(4), (std::vector<int>{0, 0, 0, 1}));

    probe.Program(0x34, {4, 0});
    probe.Clock(3);
    probe.pit.SetGate(0, 0);
    EXPECT_EQ(probe.pit.GetCounter(0).Out, 1);
    const uint16_t held = probe.Count();
    probe.Clock(3);
    EXPECT_EQ(probe.Count(), held);
    probe.pit.SetGate(0, 1);  // rising gate restarts the count
    probe.Clock(1);
    EXPECT_EQ(probe.Count(), 4);
}

TEST(ChipPIT8253, Mode5StrobesAfterTheGateTrigger) {
    CounterProbe probe;
    probe.Program(0x3A, {2, 0});
    probe.pit.SetGate(0, 0);
    probe.pit.SetGate(0, 1);
    EXPECT_EQ(probe.Clock(4), (std::vector<int>{1, 1, 0, 1}));
}

TEST(ChipPIT8253, AProgrammedCounterShowsItsControlPresetCountAndPins) {
    CounterProbe probe(2);
    probe.Program(0x36, {0x10, 0x27});
    probe.Clock(1);
    const ChipPIT8253::CounterState& k = probe.pit.GetCounter(2);
    EXPECT_EQ(k.Control, 0xB6);  // the written word with the counter's number in bits 6-7
    EXPECT_EQ(k.CountRegister, 0x2710);
    EXPECT_EQ(k.Counter, 0x2710);  // loaded on the first clock, not yet counted
    EXPECT_EQ(k.Out, 1);
    EXPECT_EQ(k.Gate, 1);
    EXPECT_EQ(k.Clock, 0);
    EXPECT_EQ(probe.pit.GetCounter(0).Control, 0x32);  // untouched: RL 11, mode 1
}

}  // namespace
