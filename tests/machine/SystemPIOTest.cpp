#include <gtest/gtest.h>

#include <vector>

#include "machine/HostKeyboardState.h"
#include "machine/IfInterrupt.h"
#include "machine/KeyTable.h"
#include "machine/SystemPIO.h"
#include "machine/VirtualKeys.h"

namespace {

struct SpeakerLog {
    struct Entry {
        int channel, level;
        int32_t tick;
    };
    std::vector<Entry> entries;
    void SetLevel(int channel, int level, int32_t tick) {
        entries.push_back({channel, level, tick});
    }
};

struct ScrollLog {
    std::vector<uint8_t> rows;
    void SetScroll(uint8_t row) { rows.push_back(row); }
};

class SystemPIOTest : public ::testing::Test {
  protected:
    SystemPIOTest()
        : pio(SystemPIO::ScrollOutput::Bind<&ScrollLog::SetScroll>(&scroll), &interrupts) {
        pio.SetSpeakerOutput(SoundLevelOutput::Bind<&SpeakerLog::SetLevel>(&speaker));
        pio.Reset(0);
    }

    uint8_t ReadKeys(uint8_t column) {
        pio.PortWrite(0xC2, column, 0);
        return pio.PortRead(0xC1, 0);
    }

    ScrollLog scroll;
    SpeakerLog speaker;
    IfInterrupt interrupts;
    SystemPIO pio;
    HostKeyboardState host;
};

TEST_F(SystemPIOTest, KeyMatrixIsReadActiveLowThroughPortB) {
    pio.PortWrite(0xC3, 0x82, 0);  // A, C output; B input
    pio.ScanKeyboard(host);
    EXPECT_EQ(ReadKeys(0x05), 0xFF);
    host.Press(vk::Char('A'));
    pio.ScanKeyboard(host);
    EXPECT_EQ(ReadKeys(0x01), 0xEF);
    EXPECT_EQ(ReadKeys(0x02), 0xFF);
    host.Press(vk::kShift);
    pio.ScanKeyboard(host);
    EXPECT_EQ(ReadKeys(0x01), 0x6F);
    host.Press(vk::kControl);
    pio.ScanKeyboard(host);
    EXPECT_EQ(ReadKeys(0x01), 0x2F);
}

TEST_F(SystemPIOTest, EveryTableKeyLandsOnItsOwnMatrixPosition) {
    std::array<std::array<int, 6>, 16> hits{};
    pio.SetChangeZY(false);
    for (const KeyTableRow& row : keytable::kRows) {
        host.ReleaseAll();
        host.Press(row.virtualKey);
        pio.ScanKeyboard(host);
        for (int column = 0; column < 16; ++column) {
            const uint8_t expected = column == row.column ? row.mask : 0;
            EXPECT_EQ(pio.KeyMatrix(column), expected) << "key " << int(row.virtualKey);
        }
        int bit = 0;
        while (((row.mask >> bit) & 1) == 0) ++bit;
        ++hits[row.column][bit];
    }
    int used = 0;
    for (const auto& column : hits) {
        for (int count : column) {
            EXPECT_LE(count, 1);
            used += count;
        }
    }
    EXPECT_EQ(used, 90);
}

TEST_F(SystemPIOTest, AltOrLostFocusReleasesEveryKey) {
    host.Press(vk::Char('Q'));
    host.Press(vk::kShift);
    host.Press(vk::kControl);
    pio.ScanKeyboard(host);
    EXPECT_NE(pio.KeyMatrix(1), 0);
    host.Press(vk::kMenu);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(1), 0);
    EXPECT_EQ(pio.KeyModifiers(), 0);
    host.Release(vk::kMenu);
    pio.SetKeysReleased(true);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(1), 0);
    pio.SetKeysReleased(false);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(1), 0x20);
}

TEST_F(SystemPIOTest, YAndZTradePlacesUnlessChangeZYIsOff) {
    host.Press(vk::Char('Z'));
    pio.ScanKeyboard(host);  // ChangeZY is on after construction
    EXPECT_EQ(pio.KeyMatrix(10), 0x20);
    EXPECT_EQ(pio.KeyMatrix(9), 0);
    pio.SetChangeZY(false);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(9), 0x20);
    EXPECT_EQ(pio.KeyMatrix(10), 0);
}

TEST_F(SystemPIOTest, EditingKeysStandInForTheMachineOnes) {
    host.Press(vk::kBack);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(8), 0x01);
    host.Press(vk::kLeft);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(8), 0x01);  // the same as Left alone
    host.ReleaseAll();
    host.Press(vk::kInsert);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyModifiers(), SystemPIO::kModifierCtrl);
    EXPECT_EQ(pio.KeyMatrix(6), 0x10);
    host.ReleaseAll();
    host.Press(vk::kEnd);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyModifiers(), SystemPIO::kModifierCtrl);
    EXPECT_EQ(pio.KeyMatrix(11), 0x10);
    // With Ctrl really held, End is not turned into Ctrl+K.
    host.Press(vk::kControl);
    pio.ScanKeyboard(host);
    EXPECT_EQ(pio.KeyMatrix(11), 0);
}

TEST_F(SystemPIOTest, SpeakerFollowsLowerPortCAndIsCutByPc4) {
    pio.PortWrite(0xC3, 0x80, 100);
    speaker.entries.clear();
    pio.PortWrite(0xC2, 0x07, 250);
    ASSERT_EQ(speaker.entries.size(), 1u);
    EXPECT_EQ(speaker.entries[0].channel, 0);
    EXPECT_EQ(speaker.entries[0].level, 7);
    EXPECT_EQ(speaker.entries[0].tick, 250);
    // PC4 alone changes the upper nibble only: nothing is sent until the level changes.
    pio.PortWrite(0xC2, 0x17, 300);
    EXPECT_EQ(speaker.entries.size(), 1u);
    pio.PortWrite(0xC2, 0x18, 320);
    ASSERT_EQ(speaker.entries.size(), 2u);
    EXPECT_EQ(speaker.entries[1].level, 0);
    pio.PortWrite(0xC2, 0x0F, 330);
    EXPECT_EQ(speaker.entries.back().level, 15);
    // Disconnected, nothing is sent.
    pio.SetSpeakerOutput({});
    pio.PortWrite(0xC2, 0x01, 340);
    EXPECT_EQ(speaker.entries.size(), 3u);
}

TEST_F(SystemPIOTest, PortAWriteSetsTheScrollRegister) {
    pio.PortWrite(0xC3, 0x80, 0);
    pio.PortWrite(0xC0, 0x2A, 0);
    ASSERT_FALSE(scroll.rows.empty());
    EXPECT_EQ(scroll.rows.back(), 0x2A);
}

TEST_F(SystemPIOTest, UpperPortCDrivesTheInterruptControls) {
    pio.PortWrite(0xC3, 0x80, 0);
    pio.PortWrite(0xC2, 0x60, 0);
    EXPECT_EQ(interrupts.GetState().ControlPC5, 1);
    EXPECT_EQ(interrupts.GetState().ControlPC6, 1);
    pio.PortWrite(0xC3, 0x0C, 0);  // reset PC6
    EXPECT_EQ(interrupts.GetState().ControlPC6, 0);
    EXPECT_EQ(interrupts.GetState().ControlPC5, 1);
    EXPECT_EQ(pio.PortRead(0xC3, 0), 0x80);
}

}  // namespace
