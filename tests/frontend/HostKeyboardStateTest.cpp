#include "frontend/HostKeyboardState.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/VirtualKeys.h"

namespace {

// What one keyboard scan shows of the keys named, as a string of the keys seen down.
std::string Scan(HostKeyboardState& keys, const std::string& watched) {
    std::string seen;
    for (char c : watched) {
        if (keys.IsDown(static_cast<uint8_t>(c))) seen += c;
    }
    keys.ScanDone();
    return seen;
}

TEST(HostKeyboardState, TapsBetweenTwoScansReachTheMachineOneScanEachInOrder) {
    HostKeyboardState keys;
    const char kReturn = static_cast<char>(vk::kReturn);
    const std::string watched = std::string("C") + kReturn;
    // Two taps with no hold time, both before the next scan.
    keys.Press('C');
    keys.Release('C');
    keys.Press(vk::kReturn);
    keys.Release(vk::kReturn);
    EXPECT_EQ(Scan(keys, watched), "C");
    EXPECT_EQ(Scan(keys, watched), std::string(1, kReturn));
    EXPECT_EQ(Scan(keys, watched), "");
    // A key held over several scans is released at once.
    keys.Press('C');
    EXPECT_EQ(Scan(keys, watched), "C");
    EXPECT_EQ(Scan(keys, watched), "C");
    keys.Release('C');
    EXPECT_FALSE(keys.IsDown('C'));
}

TEST(HostKeyboardState, ADoubleTapShowsTheGapBetweenThePresses) {
    HostKeyboardState keys;
    keys.Press('L');
    keys.Release('L');
    keys.Press('L');
    keys.Release('L');
    EXPECT_EQ(Scan(keys, "L"), "L");
    EXPECT_EQ(Scan(keys, "L"), "");
    EXPECT_EQ(Scan(keys, "L"), "L");
    EXPECT_EQ(Scan(keys, "L"), "");
}

TEST(HostKeyboardState, TwoHostKeysForOneKeyAndReleasingEverything) {
    HostKeyboardState keys;
    keys.Press(vk::kShift);  // left
    keys.Press(vk::kShift);  // right
    keys.ScanDone();
    keys.Release(vk::kShift);
    EXPECT_TRUE(keys.IsDown(vk::kShift));
    keys.Release(vk::kShift);
    EXPECT_FALSE(keys.IsDown(vk::kShift));
    keys.Release(vk::kShift);  // a stray release changes nothing
    keys.Press('A');
    keys.Release('A');
    keys.Press('B');
    keys.ReleaseAll();  // focus lost: nothing pending comes back
    EXPECT_EQ(Scan(keys, "AB"), "");
    EXPECT_EQ(Scan(keys, "AB"), "");
}

}  // namespace
