#include "frontend/ScreenModeState.h"

#include <gtest/gtest.h>

namespace {

using Change = ScreenModeState::Change;

// The menu items' tags are the modes.
int Tag(ScreenMode mode) {
    return static_cast<int>(mode);
}

TEST(ScreenModeState, StartsInTheStoredWindowedSize) {
    ScreenModeState normal(config::ScreenSize::Normal);
    EXPECT_EQ(normal.Mode(), ScreenMode::Normal);
    EXPECT_EQ(normal.CheckedItem(), ScreenMode::Normal);
    ScreenModeState doubled(config::ScreenSize::Double);
    EXPECT_EQ(doubled.Mode(), ScreenMode::Double);
    EXPECT_EQ(doubled.StoredSize(), config::ScreenSize::Double);
}

TEST(ScreenModeState, ClickOnTheSizeShownChangesNothing) {
    ScreenModeState state(config::ScreenSize::Double);
    EXPECT_EQ(state.Select(Tag(ScreenMode::Double)), Change{});
    EXPECT_EQ(state.Select(Tag(ScreenMode::Normal)), (Change{true, ScreenMode::Normal, false}));
    EXPECT_EQ(state.CheckedItem(), ScreenMode::Normal);
    state.Entered(ScreenMode::Normal);
    EXPECT_EQ(state.Select(Tag(ScreenMode::Normal)), Change{});
    EXPECT_EQ(state.Select(7), Change{});
    EXPECT_EQ(state.Select(-1), Change{});
    EXPECT_EQ(state.CheckedItem(), ScreenMode::Normal);
}

TEST(ScreenModeState, FullScreenTwiceReturnsToTheSizeItCameFrom) {
    ScreenModeState state(config::ScreenSize::Normal);
    state.Select(Tag(ScreenMode::Double));
    state.Entered(ScreenMode::Double);

    EXPECT_EQ(state.Select(Tag(ScreenMode::FullScreen)),
              (Change{true, ScreenMode::FullScreen, true}));
    EXPECT_EQ(state.CheckedItem(), ScreenMode::FullScreen);
    state.Entered(ScreenMode::FullScreen);
    EXPECT_TRUE(state.InFullScreen());
    // Full screen stores the normal size, whatever it came from.
    EXPECT_EQ(state.StoredSize(), config::ScreenSize::Normal);
    EXPECT_EQ(state.WindowedMode(), ScreenMode::Double);

    EXPECT_EQ(state.Select(Tag(ScreenMode::FullScreen)), (Change{true, ScreenMode::Double, false}));
    EXPECT_EQ(state.CheckedItem(), ScreenMode::Double);
    state.Entered(ScreenMode::Double);
    EXPECT_FALSE(state.InFullScreen());
    EXPECT_EQ(state.StoredSize(), config::ScreenSize::Double);
}

TEST(ScreenModeState, ASizeChosenInFullScreenLeavesItForThatSize) {
    ScreenModeState state(config::ScreenSize::Double);
    state.Select(Tag(ScreenMode::FullScreen));
    state.Entered(ScreenMode::FullScreen);
    // The size full screen came from is a real change here: the screen is not in it.
    EXPECT_EQ(state.Select(Tag(ScreenMode::Double)), (Change{true, ScreenMode::Double, false}));
    state.Select(Tag(ScreenMode::Normal));
    state.Entered(ScreenMode::Normal);
    EXPECT_EQ(state.WindowedMode(), ScreenMode::Normal);
    EXPECT_EQ(state.CheckedItem(), ScreenMode::Normal);
}

}  // namespace
