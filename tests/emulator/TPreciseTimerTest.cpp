#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "emulator/TPreciseTimer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Counter {
    void Tick() {
        stamps.push_back(Clock::now());
        if (sleepOnce.exchange(0ms) > 0ms) std::this_thread::sleep_for(7ms);
        if (stopAfter > 0 && static_cast<int>(stamps.size()) >= stopAfter) timer->SetEnabled(false);
        ++calls;
    }
    std::vector<Clock::time_point> stamps;
    std::atomic<int> calls{0};
    std::atomic<std::chrono::milliseconds> sleepOnce{0ms};
    int stopAfter = 0;
    TPreciseTimer* timer = nullptr;
};

TEST(TPreciseTimer, CallsPeriodicallyOnlyWhileEnabled) {
    TPreciseTimer timer;
    Counter counter;
    timer.SetOnTimer(Closure<void()>::Bind<&Counter::Tick>(&counter));
    timer.SetInterval(2);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(counter.calls, 0) << "disabled at construction";

    timer.SetEnabled(true);
    std::this_thread::sleep_for(200ms);
    timer.SetEnabled(false);
    int calls = counter.calls;
    // About 100 periods; generous bounds, the host may be loaded.
    EXPECT_GT(calls, 40);
    EXPECT_LE(calls, 101);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(counter.calls, calls) << "no call after disabling";
}

TEST(TPreciseTimer, ALateCallbackDropsPeriodsInsteadOfBursting) {
    TPreciseTimer timer;
    Counter counter;
    counter.sleepOnce = 1ms;  // the first call takes 7 ms: three 2 ms periods are missed
    timer.SetOnTimer(Closure<void()>::Bind<&Counter::Tick>(&counter));
    timer.SetInterval(2);
    timer.SetEnabled(true);
    std::this_thread::sleep_for(60ms);
    timer.SetEnabled(false);
    EXPECT_GE(timer.DroppedPeriods(), 2);
    // 30 periods in 60 ms; the slow call costs three of them for good. Making them up in a
    // burst would bring the count back to 30.
    EXPECT_LE(counter.calls.load(), 28);
}

TEST(TPreciseTimer, TheCallbackMayStopItsOwnTimer) {
    TPreciseTimer timer;
    Counter counter;
    counter.timer = &timer;
    counter.stopAfter = 3;
    timer.SetOnTimer(Closure<void()>::Bind<&Counter::Tick>(&counter));
    timer.SetInterval(2);
    timer.SetEnabled(true);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counter.calls, 3);
    EXPECT_FALSE(timer.Enabled());
    timer.SetEnabled(true);
    std::this_thread::sleep_for(30ms);
    timer.SetEnabled(false);
    EXPECT_GT(counter.calls, 3) << "it can be started again";
}

// The window's close waits on this instead of sleeping: a call that is under way when the timer is
// stopped has finished when WaitIdle returns, and none follows.
TEST(TPreciseTimer, WaitIdleReturnsOnlyAfterTheCallInProgress) {
    struct Slow {
        void Tick() {
            started = true;
            std::this_thread::sleep_for(30ms);
            ++finished;
        }
        std::atomic<bool> started{false};
        std::atomic<int> finished{0};
    } slow;
    TPreciseTimer timer;
    timer.SetOnTimer(Closure<void()>::Bind<&Slow::Tick>(&slow));
    timer.SetInterval(2);
    timer.SetEnabled(true);
    while (!slow.started) std::this_thread::sleep_for(1ms);
    timer.SetEnabled(false);
    timer.WaitIdle();
    const int finished = slow.finished;
    EXPECT_EQ(finished, 1) << "returned while the callback still ran";
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(slow.finished, finished);
    timer.WaitIdle();  // idle already: returns at once
}

TEST(TPreciseTimer, IntervalRulesAndDestructionWhileRunning) {
    auto timer = std::make_unique<TPreciseTimer>();
    EXPECT_EQ(timer->Interval(), 1000);
    timer->SetInterval(0);
    timer->SetInterval(-5);
    EXPECT_EQ(timer->Interval(), 1000);
    timer->SetInterval(2);
    EXPECT_EQ(timer->Interval(), 2);
    Counter counter;
    timer->SetOnTimer(Closure<void()>::Bind<&Counter::Tick>(&counter));
    timer->SetEnabled(true);
    std::this_thread::sleep_for(10ms);
    timer.reset();  // joins cleanly while enabled
    int calls = counter.calls;
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(counter.calls, calls);
}

}  // namespace
