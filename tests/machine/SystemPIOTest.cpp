#include <gtest/gtest.h>

#include <vector>

#include "machine/IfInterrupt.h"
#include "machine/SystemPIO.h"

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
};

TEST_F(SystemPIOTest, KeyMatrixIsReadActiveLowThroughPortB) {
    pio.PortWrite(0xC3, 0x82, 0);  // A, C output; B input
    EXPECT_EQ(ReadKeys(0x05), 0xFF);
    KeyMatrix keys;
    keys.columns[1] = 0x10;
    keys.columns[14] = 0x21;
    pio.SetKeyMatrix(keys);
    EXPECT_EQ(ReadKeys(0x01), 0xEF);
    EXPECT_EQ(ReadKeys(0x02), 0xFF);
    EXPECT_EQ(ReadKeys(0x0E), 0xDE);
    // Only PC0-PC3 select the column.
    EXPECT_EQ(ReadKeys(0x11), 0xEF);
    keys.modifiers = KeyMatrix::kShift;
    pio.SetKeyMatrix(keys);
    EXPECT_EQ(ReadKeys(0x01), 0x6F);
    EXPECT_EQ(ReadKeys(0x05), 0x7F);
    keys.modifiers |= KeyMatrix::kCtrl;
    pio.SetKeyMatrix(keys);
    EXPECT_EQ(ReadKeys(0x01), 0x2F);
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
