#include <gtest/gtest.h>

#include <vector>

#include "host/audio/FakeSoundStream.h"
#include "host/audio/SoundSystem.h"
#include "machine/IfGPIO.h"
#include "machine/SystemPIO.h"

namespace {

class SoundSystemTest : public ::testing::Test {
  protected:
    SoundSettings Settings(int device, bool withMuse = false) {
        SoundSettings s;
        s.deviceIndex = device;
        s.muse = withMuse;
        return s;
    }

    // The block the device plays for the period just ended.
    std::vector<SoundFrame> NextBlock() {
        const int frames = sound.Driver()->BlockFrames();
        EXPECT_FALSE(sound.ProduceBlock());
        return opener.last->Pull(frames);
    }

    void Prime() { PrimeAndDrain(*sound.Driver(), *opener.last); }

    // Writes an SAA1099 register through the GPIO as a program would.
    void MuseWrite(uint8_t reg, uint8_t value) {
        for (auto [data, strobe] : {std::pair{reg, 0x0B}, std::pair{value, 0x0F}}) {
            gpio.PortWrite(0xC6, 0x02, 0);
            gpio.PortWrite(0xC4, static_cast<uint8_t>(~data), 0);
            gpio.PortWrite(0xC6, static_cast<uint8_t>(strobe), 0);
        }
        gpio.PortWrite(0xC6, 0x02, 0);
    }

    FakeStreamOpener opener;
    IfGPIO gpio{nullptr};
    SoundSystem sound{nullptr, opener.Opener()};
};

TEST_F(SoundSystemTest, NegativeDeviceMeansNoDriverAndNothingToPace) {
    sound.ApplyDevice(Settings(-1));
    EXPECT_EQ(sound.Driver(), nullptr);
    EXPECT_FALSE(sound.LevelOutput());
    EXPECT_FALSE(sound.ProduceBlock());
    sound.ApplyVolumes(Settings(-1));
    sound.ApplyMuse(Settings(-1, true), &gpio);
    EXPECT_EQ(sound.MuseUnit(), nullptr);
    sound.SetMuted(true);
    sound.PauseStream();
    sound.ResumeStream();
    EXPECT_EQ(opener.lastDevice, -2);  // no device was ever opened
}

TEST_F(SoundSystemTest, DeviceGroupBuildsTheDriverFromTheSettings) {
    SoundSettings s = Settings(4);
    s.volumeSpeaker = 100;
    s.volumeTape = 150;  // outside 0..100: read as 90
    sound.ApplyDevice(s);
    ASSERT_NE(sound.Driver(), nullptr);
    EXPECT_EQ(opener.lastDevice, 4);
    EXPECT_EQ(sound.Driver()->ChannelCount(), 2);
    EXPECT_EQ(sound.Driver()->ChannelVolume(0), 16383);  // 100 / 200 * 32767 = 16383.5
    EXPECT_EQ(sound.Driver()->ChannelVolume(1), 14745);  // 90 / 200 * 32767 = 14745.15

    sound.ApplyDevice(Settings(5, true));
    EXPECT_EQ(sound.Driver()->ChannelCount(), 3);
    EXPECT_EQ(sound.Driver()->ChannelVolume(2), 5461);  // 50 / 300 * 32767 = 5461.17
}

TEST_F(SoundSystemTest, MuteHoldsThroughVolumeChangesAndADeviceChange) {
    SoundSettings s = Settings(0);
    sound.ApplyDevice(s);
    s.mute = true;
    sound.ApplyVolumes(s);
    EXPECT_EQ(sound.Driver()->ChannelVolume(0), 0);
    sound.ApplyDevice(s);  // another device alone: still muted
    EXPECT_EQ(sound.Driver()->ChannelVolume(0), 0);
    sound.SetMuted(false);
    EXPECT_EQ(sound.Driver()->ChannelVolume(0), 14745);
    s.mute = false;
    s.volumeSpeaker = 40;
    sound.ApplyVolumes(s);
    EXPECT_EQ(sound.Driver()->ChannelVolume(0), 6553);  // 40 / 200 * 32767 = 6553.4
}

TEST_F(SoundSystemTest, SpeakerReachesTheDriverThroughTheLevelOutput) {
    SystemPIO pio({}, nullptr);
    pio.Reset(0);
    pio.PortWrite(0xC3, 0x80, 0);
    sound.ApplyDevice(Settings(0));
    pio.SetSpeakerOutput(sound.LevelOutput());
    Prime();
    pio.PortWrite(0xC2, 0x0F, 2000);
    std::vector<SoundFrame> block = NextBlock();
    EXPECT_EQ(block[43].left, 0);
    EXPECT_EQ(block[44].left, 14745);  // level 15 at the default 90 %: 90 / 200 * 32767

    // A source left connected across a device change reaches the new driver, never the old one.
    sound.ApplyDevice(Settings(1));
    Prime();
    pio.PortWrite(0xC2, 0x00, 0);
    pio.PortWrite(0xC2, 0x0F, 1000);
    block = NextBlock();
    EXPECT_EQ(block[22].left, 14745);
}

TEST_F(SoundSystemTest, MuseBoardIsHeardOnChannelTwoAndSurvivesADeviceChange) {
    gpio.Reset(0);
    gpio.PortWrite(0xC7, 0x80, 0);
    const SoundSettings s = Settings(0, true);
    sound.ApplyDevice(s);
    sound.ApplyMuse(s, &gpio);
    ASSERT_NE(sound.MuseUnit(), nullptr);
    MuseWrite(0x00, 0x0F);  // left only
    MuseWrite(0x08, 0xFF);  // 7.8 kHz: high in every block
    MuseWrite(0x10, 0x07);
    MuseWrite(0x14, 0x01);
    MuseWrite(0x1C, 0x02);
    MuseWrite(0x1C, 0x01);

    auto heardLeftOnly = [this] {
        Prime();
        std::vector<SoundFrame> block = NextBlock();
        int16_t loudest = 0;
        for (const SoundFrame& f : block) {
            EXPECT_EQ(f.right, 0);
            loudest = std::max(loudest, f.left);
        }
        return loudest;
    };
    EXPECT_GT(heardLeftOnly(), 0);
    sound.ApplyDevice(s);  // group 8 alone, as a new device index brings it
    EXPECT_GT(heardLeftOnly(), 0);

    SoundSettings without = s;
    without.muse = false;
    sound.ApplyDevice(without);
    sound.ApplyMuse(without, &gpio);
    EXPECT_EQ(sound.MuseUnit(), nullptr);
}

TEST_F(SoundSystemTest, RemovingTheBoardHandsThePortBack) {
    gpio.Reset(0);
    gpio.PortWrite(0xC7, 0x82, 0);
    const SoundSettings s = Settings(0, true);
    sound.ApplyDevice(s);
    sound.ApplyMuse(s, &gpio);
    sound.RemoveMuse();
    EXPECT_EQ(sound.MuseUnit(), nullptr);
    gpio.PortWrite(0xC6, 0x24, 0);
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 0xEC, 0x24);
}

TEST_F(SoundSystemTest, OnlyNormalSpeedProducesAndComingBackToItPrimesTheRingAgain) {
    sound.ApplyDevice(Settings(1));
    Prime();
    SoundDriver& driver = *sound.Driver();
    EXPECT_TRUE(sound.Paces());
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(sound.ProducePeriod(false));
    EXPECT_EQ(driver.GetStatistics().blocksProduced, SoundRing::kBlocks);

    EXPECT_FALSE(sound.ProducePeriod(true));
    opener.last->Pull(880);
    EXPECT_EQ(driver.GetStatistics().framesPrimed, 880);
    while (!sound.ProducePeriod(true)) {
    }
    EXPECT_EQ(driver.GetStatistics().blocksProduced, 2 * SoundRing::kBlocks);
    // Normal speed throughout: no priming in between.
    opener.last->Pull(880);
    EXPECT_FALSE(sound.ProducePeriod(true));
    opener.last->Pull(880);
    EXPECT_EQ(driver.GetStatistics().framesPrimed, 880);
    EXPECT_EQ(driver.GetStatistics().framesHeld, 0);
}

}  // namespace
