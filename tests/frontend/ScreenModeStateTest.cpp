#include "frontend/ScreenModeState.h"

#include <gtest/gtest.h>

namespace {

using Change = ScreenModeState::Change;

TEST(ScreenModeState, StartsInTheStoredWindowedSize) {
    ScreenModeState normal(config::ScreenSize::Normal);
    EXPECT_EQ(normal.Mode(), ScreenModeState::kNormal);
    EXPECT_EQ(normal.CheckedItem(), ScreenModeState::kNormal);
    ScreenModeState doubled(config::ScreenSize::Double);
    EXPECT_EQ(doubled.Mode(), ScreenModeState::kDouble);
    EXPECT_EQ(doubled.StoredSize(), config::ScreenSize::Double);
}

TEST(ScreenModeState, ClickOnTheSizeShownChangesNothing) {
    ScreenModeState state(config::ScreenSize::Double);
    EXPECT_EQ(state.Select(ScreenModeState::kDouble), Change{});
    EXPECT_EQ(state.Select(ScreenModeState::kNormal),
              (Change{true, ScreenModeState::kNormal, false}));
    EXPECT_EQ(state.CheckedItem(), ScreenModeState::kNormal);
    state.Entered(ScreenModeState::kNormal);
    EXPECT_EQ(state.Select(ScreenModeState::kNormal), Change{});
    EXPECT_EQ(state.Select(7), Change{});
    EXPECT_EQ(state.Select(-1), Change{});
    EXPECT_EQ(state.CheckedItem(), ScreenModeState::kNormal);
}

TEST(ScreenModeState, FullScreenTwiceReturnsToTheSizeItCameFrom) {
    ScreenModeState state(config::ScreenSize::Normal);
    state.Select(ScreenModeState::kDouble);
    state.Entered(ScreenModeState::kDouble);

    EXPECT_EQ(state.Select(ScreenModeState::kFullScreen),
              (Change{true, ScreenModeState::kFullScreen, true}));
    EXPECT_EQ(state.CheckedItem(), ScreenModeState::kFullScreen);
    state.Entered(ScreenModeState::kFullScreen);
    EXPECT_TRUE(state.InFullScreen());
    // Full screen stores the normal size, whatever it came from.
    EXPECT_EQ(state.StoredSize(), config::ScreenSize::Normal);
    EXPECT_EQ(state.WindowedMode(), ScreenModeState::kDouble);

    EXPECT_EQ(state.Select(ScreenModeState::kFullScreen),
              (Change{true, ScreenModeState::kDouble, false}));
    EXPECT_EQ(state.CheckedItem(), ScreenModeState::kDouble);
    state.Entered(ScreenModeState::kDouble);
    EXPECT_FALSE(state.InFullScreen());
    EXPECT_EQ(state.StoredSize(), config::ScreenSize::Double);
}

TEST(ScreenModeState, ASizeChosenInFullScreenLeavesItForThatSize) {
    ScreenModeState state(config::ScreenSize::Double);
    state.Select(ScreenModeState::kFullScreen);
    state.Entered(ScreenModeState::kFullScreen);
    // The size full screen came from is a real change here: the screen is not in it.
    EXPECT_EQ(state.Select(ScreenModeState::kDouble),
              (Change{true, ScreenModeState::kDouble, false}));
    state.Select(ScreenModeState::kNormal);
    state.Entered(ScreenModeState::kNormal);
    EXPECT_EQ(state.WindowedMode(), ScreenModeState::kNormal);
    EXPECT_EQ(state.CheckedItem(), ScreenModeState::kNormal);
}

}  // namespace
