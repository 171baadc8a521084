#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "host/audio/PortAudioSession.h"

namespace {

using namespace std::chrono_literals;

// A start that blocks (a lock a killed process left held) gives no answer, and the caller goes
// on; the blocked thread finishes on its own later without touching the caller's frame.
TEST(CallWithin, AStartThatBlocksGivesNoAnswerAndAnAnsweringOneItsResult) {
    auto release = std::make_shared<std::promise<void>>();
    auto ended = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    std::future<void> finished = ended->get_future();
    EXPECT_EQ(CallWithin(
                  [released, ended] {
                      released.wait();
                      ended->set_value();
                      return true;
                  },
                  50ms),
              std::nullopt);
    release->set_value();
    EXPECT_EQ(finished.wait_for(60s), std::future_status::ready);

    EXPECT_EQ(CallWithin([] { return false; }, 60s), std::optional<bool>(false));
    EXPECT_EQ(CallWithin([] { return true; }, 60s), std::optional<bool>(true));
}

}  // namespace
