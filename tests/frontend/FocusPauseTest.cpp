#include "frontend/FocusPause.h"

#include <gtest/gtest.h>

namespace {

TEST(FocusPause, PausesARunningMachineAndResumesItOnReturn) {
    FocusPause focus;
    EXPECT_TRUE(focus.Deactivated(true, true));
    EXPECT_FALSE(focus.Active());
    EXPECT_TRUE(focus.Activated());
    EXPECT_TRUE(focus.Active());
    // A return without a loss before it (the first activation of the program) runs nothing.
    EXPECT_FALSE(focus.Activated());
}

TEST(FocusPause, OnlyARunningMachineWithTheOptionOnIsPausedAndResumed) {
    FocusPause focus;
    EXPECT_FALSE(focus.Deactivated(true, false));
    EXPECT_FALSE(focus.Activated());
    EXPECT_FALSE(focus.Deactivated(false, true));
    EXPECT_FALSE(focus.Activated());
    // A second loss, with the machine paused by the first, keeps the memory that it ran.
    EXPECT_TRUE(focus.Deactivated(true, true));
    EXPECT_FALSE(focus.Deactivated(true, false));
    EXPECT_TRUE(focus.Activated());
}

TEST(FocusPause, AFaultMeanwhileKeepsTheMachineStopped) {
    FocusPause focus;
    EXPECT_TRUE(focus.Deactivated(true, true));
    focus.Forget();
    EXPECT_FALSE(focus.Activated());
}

}  // namespace
