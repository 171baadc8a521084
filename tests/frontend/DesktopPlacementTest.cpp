#include "frontend/DesktopPlacement.h"

#include <gtest/gtest.h>

namespace {

using placement::KeepOnDesktop;
using screen::Rect;

TEST(DesktopPlacement, KeepsAWindowInsideTheDesktopWithAMargin) {
    const Rect desktop{0, 0, 1024, 768};
    // Inside already: unchanged.
    EXPECT_EQ(KeepOnDesktop({100, 50, 300, 200}, desktop, 2), (Rect{100, 50, 300, 200}));
    // Off the right and bottom edges: pulled back to two pixels inside.
    EXPECT_EQ(KeepOnDesktop({900, 700, 300, 200}, desktop, 2), (Rect{722, 566, 300, 200}));
    // Off the left and top edges.
    EXPECT_EQ(KeepOnDesktop({-40, -1, 300, 200}, desktop, 2), (Rect{2, 2, 300, 200}));
}

TEST(DesktopPlacement, ADesktopThatDoesNotStartAtZeroAndAWindowTooLargeForIt) {
    const Rect desktop{1920, 100, 800, 600};
    EXPECT_EQ(KeepOnDesktop({0, 0, 300, 200}, desktop, 2), (Rect{1922, 102, 300, 200}));
    // Larger than the desktop: the top left corner stays visible.
    EXPECT_EQ(KeepOnDesktop({2000, 300, 900, 700}, desktop, 2), (Rect{1922, 102, 900, 700}));
}

}  // namespace
