#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTimer.h"

namespace {

// A timer clocking a serial interface whose TxD is looped back to RxD. The fast rig lets counter
// 2 run unobserved while the USART idles; the reference clocks every edge one tick at a time.
struct Rig {
    using Event = std::tuple<int, int, uint64_t>;

    explicit Rig(bool fast) : fast(fast) {
        if (fast) {
            timer.ConnectSerial(&serial);
        } else {
            timer.SetCounter2Output(IfTimer::LevelOutput::Bind<&IfSerial::TimerOutput>(&serial));
        }
        serial.Chip().SetOutputCallback(ChipUSART8251::kOutTxD,
                                        ChipUSART8251::LevelCallback::Bind<&Rig::OnTxD>(this));
        serial.Chip().SetOutputCallback(ChipUSART8251::kOutRxReady,
                                        ChipUSART8251::LevelCallback::Bind<&Rig::OnRxReady>(this));
    }
    void OnTxD(uint8_t level) {
        events.emplace_back(0, level, timer.ElapsedClocks());
        serial.SetRxD(level);
    }
    void OnRxReady(uint8_t level) {
        events.emplace_back(1, level, timer.ElapsedClocks());
        // What IfSerial itself does with RxRDY.
        interrupts.SetSourceLine(IfInterrupt::kLineRxReady, level);
    }
    void Ticks(int32_t n) {
        if (fast) {
            timer.OnTick(0, n);
        } else {
            timer.OnTickExact(0, n);
        }
    }

    bool fast;
    IfInterrupt interrupts;
    IfTimer timer{&interrupts};
    IfSerial serial{&interrupts};
    std::vector<Event> events;
};

void ExpectSameUsart(IfSerial& a, IfSerial& b, int step) {
    const ChipUSART8251::State& x = a.Chip().GetState();  // non-const Chip(): caught up
    const ChipUSART8251::State& y = b.Chip().GetState();
    ASSERT_TRUE(x == y) << "step " << step;
    ASSERT_EQ(x.TxClockCount, y.TxClockCount) << "step " << step;
    ASSERT_EQ(x.RxClockCount, y.RxClockCount) << "step " << step;
    ASSERT_EQ(x.TxState, y.TxState) << "step " << step;
    ASSERT_EQ(x.RxState, y.RxState) << "step " << step;
    ASSERT_EQ(x.TxC, y.TxC) << "step " << step;
    ASSERT_EQ(x.RxC, y.RxC) << "step " << step;
}

class UnobservedSerialClock : public ::testing::TestWithParam<unsigned> {};

TEST_P(UnobservedSerialClock, MatchesClockingEveryEdge) {
    std::mt19937 random(GetParam());
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Rig fast(true), exact(false);
    auto both = [&](auto&& action) {
        action(fast);
        action(exact);
    };
    both([](Rig& r) {
        r.timer.PortWrite(0xD3, 0xB6, 0);
        r.timer.PortWrite(0xD2, 3, 0);
        r.timer.PortWrite(0xD2, 0, 0);
        r.serial.Reset(0);
    });
    static const uint8_t kModes[] = {0x4D, 0x4E, 0x4F, 0xDE, 0x7A, 0x8C, 0x0C};
    static const uint8_t kCommands[] = {0x05, 0x15, 0x27, 0x37, 0x25, 0x04, 0x1D, 0x95};
    for (int step = 0; step < 3000; ++step) {
        const int action = pick(20);
        if (action == 0) {
            const uint8_t mode = kModes[pick(7)];
            const uint8_t command = kCommands[pick(8)];
            both([&](Rig& r) {
                r.serial.PortWrite(0xC9, 0x40, 0);
                r.serial.PortWrite(0xC9, mode, 0);
                if ((mode & 3) == 0) r.serial.PortWrite(0xC9, 0x16, 0);
                r.serial.PortWrite(0xC9, command, 0);
            });
        } else if (action == 1) {
            const uint8_t command = kCommands[pick(8)];
            both([&](Rig& r) { r.serial.PortWrite(0xC9, command, 0); });
        } else if (action < 5) {
            const uint8_t value = static_cast<uint8_t>(pick(256));
            both([&](Rig& r) { r.serial.PortWrite(0xC8, value, 0); });
        } else if (action < 7) {
            const uint8_t port = static_cast<uint8_t>(0xC8 + pick(2));
            ASSERT_EQ(fast.serial.PortRead(port, 0), exact.serial.PortRead(port, 0)) << step;
        } else if (action == 7) {
            const uint8_t count = static_cast<uint8_t>(1 + pick(9));
            const uint8_t control = pick(5) == 0 ? 0xB4 : 0xB6;
            both([&](Rig& r) {
                r.timer.PortWrite(0xD3, control, 0);
                r.timer.PortWrite(0xD2, count, 0);
                r.timer.PortWrite(0xD2, 0, 0);
            });
        } else {
            const int32_t ticks = pick(8) == 0 ? 1 + pick(20000) : 1 + pick(30);
            both([&](Rig& r) { r.Ticks(ticks); });
        }
        ASSERT_EQ(fast.events, exact.events) << "step " << step;
        ExpectSameUsart(fast.serial, exact.serial, step);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(fast.timer.Chip().GetCounter(i) == exact.timer.Chip().GetCounter(i))
                << step << " counter " << i;
        }
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(fast.events.size(), 100u);
}

// A device on line 3 that only sometimes needs the clock, as a sender does between bytes.
struct ClockedDevice {
    bool idle = true;
    int edges = 0;
    void OnClock(IfSerial*, uint8_t) { ++edges; }
    bool IsClockIdle(IfSerial*) { return idle; }
};

TEST(UnobservedSerialClock, LineDeviceDecidesWhetherItNeedsEdges) {
    IfInterrupt interrupts;
    IfTimer timer(&interrupts);
    IfSerial serial(&interrupts);
    timer.ConnectSerial(&serial);
    ClockedDevice device;
    IfSerial::LineHandlers handlers;
    handlers.OnClock = IfSerial::LineClock::Bind<&ClockedDevice::OnClock>(&device);
    handlers.IsClockIdle = Closure<bool(IfSerial*)>::Bind<&ClockedDevice::IsClockIdle>(&device);
    serial.SetLineHandlers(3, handlers);
    timer.PortWrite(0xD3, 0xB6, 0);
    timer.PortWrite(0xD2, 4, 0);
    timer.PortWrite(0xD2, 0, 0);
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.PortWrite(0xC9, 0x05, 0);
    timer.OnTick(0, 1000);
    EXPECT_EQ(device.edges, 0);
    serial.CatchUpClock();
    device.idle = false;
    timer.OnTick(0, 40);
    EXPECT_EQ(device.edges, 20);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UnobservedSerialClock, ::testing::Values(11u, 12u, 13u, 14u));

}  // namespace
