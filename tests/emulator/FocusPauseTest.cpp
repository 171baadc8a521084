#include "emulator/FocusPause.h"

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

TEST(FocusPause, LeavesAPausedMachinePausedAndIgnoresTheOptionOff) {
    FocusPause focus;
    EXPECT_FALSE(focus.Deactivated(true, false));
    EXPECT_FALSE(focus.Activated());
    EXPECT_FALSE(focus.Deactivated(false, true));
    EXPECT_FALSE(focus.Activated());
}

TEST(FocusPause, ASecondLossDoesNotForgetTheMachineRan) {
    FocusPause focus;
    EXPECT_TRUE(focus.Deactivated(true, true));
    // Paused by the first loss, so the machine no longer runs when the second one comes.
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
