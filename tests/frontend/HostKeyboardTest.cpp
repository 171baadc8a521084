#include <gtest/gtest.h>

#include <cstdint>

#include "frontend/HostKeyboard.h"
#include "machine/SystemPIO.h"

namespace {

struct NoScreen {
    void SetScroll(uint8_t /*row*/) {}
};

// Host keys by their Windows virtual-key numbers, written out here rather than taken from the
// program's own names, and the board's 8255 reading the matrix they make: PC0-PC3 select the
// column, port B reads the rows on PB0-PB5, /Ctrl on PB6 and /Shift on PB7, all active low.
class HostKeyboardTest : public ::testing::Test {
  protected:
    HostKeyboardTest()
        : pio(SystemPIO::ScrollOutput::Bind<&NoScreen::SetScroll>(&screen), nullptr) {
        pio.Reset(0);
        pio.PortWrite(0xC3, 0x82, 0);  // A and C output, B input
    }

    void Scan() { pio.SetKeyMatrix(keyboard.Scan()); }
    uint8_t PortB(int column) {
        pio.PortWrite(0xC2, static_cast<uint8_t>(column), 0);
        return pio.PortRead(0xC1, 0);
    }
    // Port B for every column, after one scan of the keys held now.
    std::array<uint8_t, 16> Columns() {
        Scan();
        std::array<uint8_t, 16> read{};
        for (int column = 0; column < 16; ++column) read[column] = PortB(column);
        return read;
    }
    // What the board reads with exactly one key on `column` down (row `bit`), plus `modifiers`
    // (0x40 Ctrl, 0x80 Shift) on every column.
    static std::array<uint8_t, 16> Expect(int column, int bit, uint8_t modifiers = 0) {
        std::array<uint8_t, 16> read{};
        read.fill(static_cast<uint8_t>(0xFF & ~modifiers));
        if (column >= 0) read[column] &= static_cast<uint8_t>(~(1 << bit));
        return read;
    }

    NoScreen screen;
    SystemPIO pio;
    HostKeyboard keyboard;
    HostKeyboardState& keys = keyboard.Keys();
};

TEST_F(HostKeyboardTest, KeysLandOnTheMachinesMatrixAsTheBoardIsWired) {
    struct Place {
        uint8_t virtualKey;
        int column, bit;
    };
    // Spread over every column and every row the matrix has.
    const Place places[] = {
        {0x20, 0, 0},  {0x1B, 0, 1},  {0x60, 0, 2},  {0x30, 0, 3},  {0xBB, 0, 4},  {0x50, 0, 5},
        {0x71, 1, 0},  {0x70, 1, 1},  {0x42, 2, 4},  {0x33, 3, 3},  {0x64, 4, 2},  {0x55, 5, 5},
        {0x79, 5, 0},  {0x7A, 6, 1},  {0x7C, 7, 1},  {0x57, 7, 5},  {0x27, 8, 1},  {0x68, 8, 2},
        {0x09, 9, 0},  {0x6B, 9, 1},  {0x39, 9, 3},  {0x21, 10, 0}, {0x26, 10, 1}, {0xDE, 10, 3},
        {0x4A, 10, 4}, {0x28, 11, 0}, {0x14, 11, 1}, {0xBA, 11, 3}, {0xDB, 11, 5}, {0x6A, 12, 0},
        {0x6D, 12, 1}, {0xBC, 12, 3}, {0xDC, 12, 5}, {0x0D, 13, 0}, {0x24, 13, 1}, {0xBD, 13, 3},
        {0xDD, 13, 5}, {0x6F, 14, 0}, {0x5D, 14, 1}, {0x6E, 14, 2}, {0xBE, 14, 3}, {0x4E, 14, 4},
        {0xC0, 14, 5}, {0x2E, 15, 0}, {0x22, 15, 1}, {0xBF, 15, 3}, {0x4F, 15, 4},
    };
    for (const Place& place : places) {
        keys.Press(place.virtualKey);
        EXPECT_EQ(Columns(), Expect(place.column, place.bit)) << "key " << int(place.virtualKey);
        keys.Release(place.virtualKey);
    }
    EXPECT_EQ(Columns(), Expect(-1, 0));
}

TEST_F(HostKeyboardTest, ShiftAndCtrlAreTheirOwnLinesAndAltTakesEveryKeyAway) {
    keys.Press(0x41);  // A: column 1, row 4
    Scan();
    EXPECT_EQ(PortB(1), 0xEF);
    keys.Press(0x10);
    Scan();
    EXPECT_EQ(PortB(1), 0x6F);
    EXPECT_EQ(PortB(5), 0x7F);  // Shift reads on every column
    keys.Press(0x11);
    Scan();
    EXPECT_EQ(PortB(1), 0x2F);
    // Alt is the host's: with it down the machine sees nothing, Shift and Ctrl included.
    keys.Press(0x12);
    EXPECT_EQ(Columns(), Expect(-1, 0));
    keys.Release(0x12);
    Scan();
    EXPECT_EQ(PortB(1), 0x2F);
    // Without the focus the same, until it returns.
    keyboard.SetFocusLost(true);
    EXPECT_EQ(Columns(), Expect(-1, 0));
    keyboard.SetFocusLost(false);
    Scan();
    EXPECT_EQ(PortB(1), 0x2F);
}

TEST_F(HostKeyboardTest, YAndZTradePlacesForTheGermanLayoutWhenSet) {
    keys.Press(0x5A);  // Z
    EXPECT_EQ(Columns(), Expect(9, 5));
    keyboard.SetChangeZY(true);
    EXPECT_EQ(Columns(), Expect(10, 5));
    keys.Release(0x5A);
    keys.Press(0x59);  // Y
    EXPECT_EQ(Columns(), Expect(9, 5));
    keyboard.SetChangeZY(false);
    EXPECT_EQ(Columns(), Expect(10, 5));
}

TEST_F(HostKeyboardTest, EditingKeysStandInForTheMachineOnes) {
    keys.Press(0x08);  // Backspace: the machine's Left
    EXPECT_EQ(Columns(), Expect(8, 0));
    keys.Press(0x25);  // with Left itself: the same as Left alone
    EXPECT_EQ(Columns(), Expect(8, 0));
    keys.ReleaseAll();
    keys.Press(0x2D);  // Insert: Ctrl+F
    EXPECT_EQ(Columns(), Expect(6, 4, 0x40));
    keys.Press(0x46);  // with F really down, F alone
    EXPECT_EQ(Columns(), Expect(6, 4));
    keys.ReleaseAll();
    keys.Press(0x23);  // End: Ctrl+K
    EXPECT_EQ(Columns(), Expect(11, 4, 0x40));
    keys.Press(0x11);  // with Ctrl really down, Ctrl alone
    EXPECT_EQ(Columns(), Expect(-1, 0, 0x40));
}

}  // namespace
