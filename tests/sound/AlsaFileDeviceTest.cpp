#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "host/audio/PortAudioSession.h"
#include "host/audio/SoundConfig.h"
#include "host/audio/SoundDevices.h"
#include "host/audio/SoundDriver.h"
#include "host/audio/SoundSystem.h"
#include "machine/SystemPIO.h"
#include "sound/SoundTestEnvironment.h"
#include "support/SignalAnalysis.h"

namespace {

// ALSA's default device made a file: PortAudio lists it like any sound card, and what the
// driver plays can be read back sample by sample.
class AlsaFileDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Ok());
        soundtest::WriteFile(folder.Dir() / ".asoundrc", soundtest::AlsaFileDeviceConfig(output));
    }

    testing_support::TempFolder folder;
    std::filesystem::path output = folder.Dir() / "played.raw";
    soundtest::ScopedEnv home{"HOME", folder.Dir().string()};
    soundtest::ScopedEnv noXdgConfig{"XDG_CONFIG_HOME", (folder.Dir() / ".config").string()};
};

TEST_F(AlsaFileDeviceTest, DeviceIsListedAndChosenWhenNoneIsStored) {
    PortAudioSession session;
    ASSERT_TRUE(session.Ready());
    const std::vector<SoundDeviceInfo> devices = SoundDevices::List(SoundOutputType::WaveOut);
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [](const SoundDeviceInfo& d) { return d.name == "default"; });
    ASSERT_NE(found, devices.end());
    EXPECT_EQ(SoundDevices::DefaultDevice(SoundOutputType::WaveOut), found->index);

    // The settings page's choice: the stored device when listed, else the default.
    EXPECT_EQ(SoundDevices::Select(SoundOutputType::WaveOut, -1), found->index);
    EXPECT_EQ(SoundDevices::Select(SoundOutputType::WaveOut, found->index), found->index);
    EXPECT_EQ(SoundDevices::Select(SoundOutputType::WaveOut, 4000), found->index);
    // The other stored word finds a device too (another host API's, or ALSA's again).
    EXPECT_FALSE(SoundDevices::List(SoundOutputType::DSound).empty());
    EXPECT_GE(SoundDevices::Select(SoundOutputType::DSound, -1), 0);
}

TEST_F(AlsaFileDeviceTest, StartUpStoresTheDefaultDeviceWhenNoneIsStored) {
    PortAudioSession session;
    config::ConfigDocument document;
    ASSERT_EQ(document.LoadFromText("<T version=\"1\">\n<Sound device-index=\"-1\"/>\n</T>\n", "1"),
              config::ConfigLoadResult::Usable);
    config::Settings settings(document);
    const int chosen = soundconfig::SelectDevice(settings);
    EXPECT_EQ(chosen, SoundDevices::DefaultDevice(SoundOutputType::WaveOut));
    EXPECT_GE(chosen, 0);
    EXPECT_EQ(soundconfig::Read(settings).deviceIndex, chosen);
    EXPECT_EQ(soundconfig::SelectDevice(settings), chosen);  // kept from now on
}

TEST_F(AlsaFileDeviceTest, DeviceIndexWithoutADeviceLeavesTheDriverClosedAndSilent) {
    PortAudioSession session;
    for (int index : {4000, -3}) {
        SoundDriver driver(index, 2, {90, 50, 50});
        EXPECT_FALSE(driver.IsOpen());
        for (int i = 0; i < 30; ++i) ASSERT_FALSE(driver.ProduceBlock());
    }
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(AlsaFileDeviceTest, SpeakerToggledAt440HzIsPlayedAsThatSquareWave) {
    std::vector<int16_t> played;
    {
        SoundSystem sound;
        ASSERT_TRUE(sound.AudioAvailable());
        SoundSettings settings;
        settings.deviceIndex = SoundDevices::Select(SoundOutputType::WaveOut, -1);
        settings.volumeSpeaker = 100;
        sound.ApplyDevice(settings);
        ASSERT_NE(sound.Driver(), nullptr);
        ASSERT_TRUE(sound.Driver()->IsOpen());

        SystemPIO pio({}, nullptr);
        pio.Reset(0);
        pio.PortWrite(0xC3, 0x80, 0);
        pio.SetSpeakerOutput(sound.LevelOutput());

        // The run loop's order: close the last period's block, then run this period, here a
        // program flipping the speaker between levels 3 and 12 every 1/880 s (2272.7 ticks).
        constexpr double kHalfPeriodTicks = 2'000'000.0 / 880;
        int64_t toggles = 0;
        int64_t nextToggle = 0;
        int level = 3;
        int periods = 0;
        for (; periods < SoundRing::kBlocks; ++periods) {
            ASSERT_FALSE(sound.ProduceBlock());
            const int64_t periodStart = int64_t{periods} * SoundDriver::kTicksPerPeriod;
            while (nextToggle < periodStart + SoundDriver::kTicksPerPeriod) {
                pio.PortWrite(0xC2, static_cast<uint8_t>(level),
                              static_cast<int32_t>(nextToggle - periodStart));
                level = 15 - level;
                nextToggle = static_cast<int64_t>(++toggles * kHalfPeriodTicks);
            }
        }
        // The twentieth block filled the ring and started the stream; the device has no clock
        // and drains it at once, then repeats the last frame until the stream is closed.
        for (int i = 0; i < 200 && sound.Driver()->GetStatistics().framesPlayed < 4 * 880; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pio.SetSpeakerOutput({});
    }
    played = soundtest::ReadSamples(output);

    // Skip the device's own start-up silence and the first block (the period before the first
    // change); 19 blocks of the square wave follow.
    const auto firstSound =
        std::find_if(played.begin(), played.end(), [](int16_t s) { return s != 0; });
    ASSERT_NE(firstSound, played.end());
    const size_t start = static_cast<size_t>(firstSound - played.begin());
    const size_t length = 2 * 19 * 88;
    ASSERT_GE(played.size(), start + length);
    const std::vector<int16_t> wave(played.begin() + start, played.begin() + start + length);

    // Levels 3 and 12 at 100 % of half the range (two channels: 16383):
    // 16383 * 0.1977 = 3238.9191 and 16383 * 0.7876 = 12903.2508, truncated.
    const int16_t low = 3238;
    const int16_t high = 12903;
    EXPECT_EQ(std::set<int16_t>(wave.begin(), wave.end()), (std::set<int16_t>{low, high}));
    EXPECT_EQ(waveform::Side(wave, 0), waveform::Side(wave, 1));
    // The device gets 44,100 frames per emulated second and plays 44,100: the program's 440 Hz
    // (fed 88 frames a period, it would have been 441).
    const double frequency =
        waveform::Frequency(waveform::Side(wave, 0), (low + high) / 2.0, 44100.0);
    EXPECT_NEAR(frequency, 440.0, 0.5);
}

}  // namespace
