#include "emulator/RequestCell.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The poster is the emulation thread; this test's own thread plays the 20 ms refresh.
TEST(RequestCell, ThePosterWaitsUntilTheRequestIsServedAndItIsServedOnce) {
    std::atomic<bool> shuttingDown{false};
    RequestCell cell(shuttingDown);
    std::atomic<bool> returned{false};
    std::atomic<bool> served{false};
    std::thread poster([&] {
        served = cell.Post(8);
        returned = true;
    });
    int taken = RequestCell::kNone;
    while ((taken = cell.TryTake()) == RequestCell::kNone) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(taken, 8);
    EXPECT_EQ(cell.Pending(), 8);
    // A refresh re-entered while the first one serves finds nothing to do.
    EXPECT_EQ(cell.TryTake(), RequestCell::kNone);
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(returned) << "the poster went on before the request was served";
    cell.Complete();
    poster.join();
    EXPECT_TRUE(served);
    EXPECT_EQ(cell.Pending(), RequestCell::kNone);
    EXPECT_EQ(cell.TryTake(), RequestCell::kNone);
}

TEST(RequestCell, ShuttingDownEndsTheWaitAndWithdrawsARequestNobodyTook) {
    std::atomic<bool> shuttingDown{false};
    RequestCell cell(shuttingDown);
    std::atomic<bool> served{true};
    std::thread poster([&] { served = cell.Post(6); });
    while (cell.Pending() == RequestCell::kNone) std::this_thread::sleep_for(1ms);
    shuttingDown = true;
    poster.join();
    EXPECT_FALSE(served);
    EXPECT_EQ(cell.TryTake(), RequestCell::kNone) << "a withdrawn request was still served";
    EXPECT_FALSE(cell.Post(10)) << "nothing is posted while shutting down";
}

// Two posting threads and a serving one: every request is served exactly once, one at a time,
// and each poster returns only after its own request was completed.
TEST(RequestCell, RequestsFromTwoPostersAreServedOneAtATime) {
    constexpr int kEach = 150;
    std::atomic<bool> shuttingDown{false};
    RequestCell cell(shuttingDown);
    std::vector<int> servedCount(2 * kEach + 1, 0);
    std::atomic<int> completed[2 * kEach + 1] = {};
    std::atomic<int> early{0};
    auto post = [&](int first) {
        for (int r = first; r < first + kEach; ++r) {
            if (!cell.Post(r) || completed[r].load() != 1) ++early;
        }
    };
    std::thread a(post, 1);
    std::thread b(post, 1 + kEach);
    int total = 0;
    while (total < 2 * kEach) {
        const int r = cell.TryTake();
        if (r == RequestCell::kNone) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 2 * kEach);
        ++servedCount[r];
        completed[r] = 1;
        cell.Complete();
        ++total;
    }
    a.join();
    b.join();
    EXPECT_EQ(early, 0);
    for (int r = 1; r <= 2 * kEach; ++r) EXPECT_EQ(servedCount[r], 1) << "request " << r;
}

}  // namespace
