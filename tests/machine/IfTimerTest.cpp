#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "machine/IfInterrupt.h"
#include "machine/IfTimer.h"

namespace {

// Records every output edge of every counter with the clock cycle it happened in, passing the
// edge on to whatever the timer had wired.
class EdgeRecorder {
  public:
    using Edge = std::tuple<int, int, uint64_t>;

    explicit EdgeRecorder(IfTimer& timer) : timer_(timer) {
        for (int i = 0; i < 3; ++i) {
            wired_[i] = timer.Chip().SetOutputCallback(
                i, ChipPIT8253::OutputCallback::Bind<&EdgeRecorder::OnOutput>(this));
        }
    }
    // Counter 0's output reaches nothing but counter 1 (in the chain), so only what counter 1
    // does with it is seen; the fast path counts its edges instead of placing them.
    void OnOutput(int counter, uint8_t level) {
        if (counter != 0) edges.emplace_back(counter, level, timer_.ElapsedClocks());
        wired_[counter](counter, level);
    }
    std::vector<Edge> edges;

  private:
    IfTimer& timer_;
    ChipPIT8253::OutputCallback wired_[3];
};

struct SerialClockLog {
    std::vector<uint8_t> levels;
    void Level(uint8_t level) { levels.push_back(level); }
};

TEST(IfTimer, PortsReachTheChip) {
    IfTimer timer(nullptr);
    timer.PortWrite(0xD3, 0x74, 0);  // counter 1, RL 11, mode 2
    timer.PortWrite(0xD1, 0x10, 0);
    timer.PortWrite(0xD1, 0x00, 0);
    EXPECT_EQ(timer.Chip().GetCounter(1).CountRegister, 0x10);
    timer.PortWrite(0xD3, 0x40, 0);
    EXPECT_EQ(timer.PortRead(0xD1, 0), 0xFF);  // never clocked: the count is untouched
    EXPECT_EQ(timer.PortRead(0xD3, 0), 0xFF);
    EXPECT_EQ(timer.PortRead(0x10, 0), 0xFF);
    // The gates are tied high.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(timer.Chip().GetCounter(i).Gate, 1);
}

TEST(IfTimer, Counter2ClocksTheSerialInterfaceEveryTick) {
    IfTimer timer(nullptr);
    SerialClockLog serial;
    timer.SetCounter2Output(IfTimer::LevelOutput::Bind<&SerialClockLog::Level>(&serial));
    timer.PortWrite(0xD3, 0xB6, 0);  // counter 2 mode 3
    timer.PortWrite(0xD2, 4, 0);
    timer.PortWrite(0xD2, 0, 0);
    serial.levels.clear();
    timer.OnTick(0, 1 + 40);  // load, then ten periods of four clocks
    EXPECT_EQ(serial.levels.size(), 20u);
}

TEST(IfTimer, Counter1RaisesInterruptLine6OnItsRisingEdges) {
    IfInterrupt interrupts;
    interrupts.SetPortControls(0, 1);
    IfTimer timer(&interrupts);
    timer.SetClockOptions(false, true, false);
    timer.PortWrite(0xD3, 0x74, 0);  // counter 1 mode 2, count 5
    timer.PortWrite(0xD1, 5, 0);
    timer.PortWrite(0xD1, 0, 0);
    timer.OnTick(0, 4);
    EXPECT_EQ(interrupts.GetState().Latched6, 0);
    timer.OnTick(0, 2);
    EXPECT_EQ(interrupts.GetState().Latched6, 1);
    EXPECT_EQ(interrupts.Chip().GetState().Requests & 0x02, 0x02);
}

TEST(IfTimer, ChainedCounter1CountsCounter0FallingEdges) {
    IfTimer timer(nullptr);
    timer.SetClockOptions(false, true, true);  // clock1 has no effect with the chain
    EXPECT_TRUE(timer.ClockCounter0());
    EXPECT_FALSE(timer.ClockCounter1());
    timer.PortWrite(0xD3, 0x36, 0);  // counter 0: square wave of 2 clocks
    timer.PortWrite(0xD0, 2, 0);
    timer.PortWrite(0xD0, 0, 0);
    timer.PortWrite(0xD3, 0x70, 0);  // counter 1: mode 0, count 100
    timer.PortWrite(0xD1, 100, 0);
    timer.PortWrite(0xD1, 0, 0);
    timer.OnTick(0, 1 + 2 * 12);  // counter 0 load, then twelve periods
    // The first fall of counter 0 finds counter 1's clock already low; of the eleven edges
    // that follow, one loads counter 1 and ten count.
    EXPECT_EQ(timer.Chip().GetCounter(1).Counter, 90);
}

// Random programs for the three counters: control words in every mode (with BCD and latch
// commands), counts, gate changes, clock options (the chain included) and runs of ticks of every
// length. The fast path must produce the same output edges of counters 1 and 2 in the same clock
// cycles and end in the same state.
class TimerFastPath : public ::testing::TestWithParam<unsigned> {};

void ExpectSameState(const ChipPIT8253& a, const ChipPIT8253& b, int step) {
    for (int i = 0; i < 3; ++i) {
        const ChipPIT8253::CounterState& x = a.GetCounter(i);
        const ChipPIT8253::CounterState& y = b.GetCounter(i);
        ASSERT_EQ(x.Counter, y.Counter) << "counter " << i << " step " << step;
        ASSERT_EQ(x.Out, y.Out) << "counter " << i << " step " << step;
        ASSERT_EQ(x.Clock, y.Clock) << "counter " << i << " step " << step;
        ASSERT_EQ(x.Trigger, y.Trigger) << "counter " << i << " step " << step;
        ASSERT_EQ(x.CountWritten, y.CountWritten) << "counter " << i << " step " << step;
        ASSERT_EQ(x.Counting, y.Counting) << "counter " << i << " step " << step;
    }
}

TEST_P(TimerFastPath, MatchesTheExactPathEdgeForEdge) {
    std::mt19937 random(GetParam());
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    IfTimer fast(nullptr), exact(nullptr);
    EdgeRecorder fastEdges(fast), exactEdges(exact);
    size_t edges = 0;
    for (int step = 0; step < 4000; ++step) {
        const int action = pick(20);
        if (action < 4) {
            const int counter = pick(3);
            const int mode = pick(8);
            const int rl = pick(8) == 0 ? 0 : 1 + pick(3);
            const uint8_t control =
                static_cast<uint8_t>(counter << 6 | rl << 4 | mode << 1 | (pick(4) == 0 ? 1 : 0));
            fast.PortWrite(0xD3, control, 0);
            exact.PortWrite(0xD3, control, 0);
        } else if (action < 9) {
            const uint8_t port = static_cast<uint8_t>(0xD0 + pick(3));
            // Mostly small counts so that edges are frequent, with BCD-looking and wild ones.
            const int kind = pick(4);
            const uint8_t value = static_cast<uint8_t>(kind == 0   ? pick(256)
                                                       : kind == 1 ? pick(10) << 4 | pick(10)
                                                                   : pick(8));
            fast.PortWrite(port, value, 0);
            exact.PortWrite(port, value, 0);
        } else if (action == 9) {
            const uint8_t port = static_cast<uint8_t>(0xD0 + pick(3));
            ASSERT_EQ(fast.PortRead(port, 0), exact.PortRead(port, 0)) << "step " << step;
        } else if (action == 10) {
            const int counter = pick(3);
            const uint8_t level = static_cast<uint8_t>(pick(4) != 0);
            fast.Chip().SetGate(counter, level);
            exact.Chip().SetGate(counter, level);
        } else if (action == 11) {
            const bool c0 = pick(2), c1 = pick(2), chain = pick(3) == 0;
            fast.SetClockOptions(c0, c1, chain);
            exact.SetClockOptions(c0, c1, chain);
        } else {
            const int ticks = pick(10) == 0 ? 1 + pick(70000) : 1 + pick(40);
            fast.OnTick(0, ticks);
            exact.OnTickExact(0, ticks);
        }
        ASSERT_EQ(fastEdges.edges.size(), exactEdges.edges.size()) << "step " << step;
        for (; edges < exactEdges.edges.size(); ++edges) {
            ASSERT_EQ(fastEdges.edges[edges], exactEdges.edges[edges]) << "step " << step;
        }
        ExpectSameState(fast.Chip(), exact.Chip(), step);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(edges, 1000u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, TimerFastPath, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u));

}  // namespace
